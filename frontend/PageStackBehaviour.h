#pragma once

// The page stack written once: exactly one page shows, and switching pages
// moves the keyboard focus with them. Pages are numbered in the order they
// were added; the front end shows, hides and focuses the native pages.

namespace quelvo::frontend {

// What the page stack's behaviour asks of the window its pages live in.
class TPageStackHost {
public:
    virtual ~TPageStackHost() = default;
    // Where the window's keyboard focus rests (also while the window itself
    // is not active): on a control inside the page, not the page itself...
    virtual bool FocusInside(int page) const = 0;
    // ...or on the page itself.
    virtual bool FocusOnPage(int page) const = 0;
    // The page is enabled and shown, so it can hold the focus.
    virtual bool PageCanFocus(int page) const = 0;
    virtual void FocusPage(int page) = 0;
    virtual void FocusStack() = 0;
    // Gives the focus to the first control on the page, in tab order, that
    // can take it (enabled, shown, a tab stop); nothing when none can.
    virtual void FocusFirstTabStop(int page) = 0;
    // Brings the page to the front, filling the stack, and shows it.
    virtual void ShowOnTop(int page) = 0;
    virtual void Hide(int page) = 0;
};

class TPageStackBehaviour {
public:
    explicit TPageStackBehaviour(TPageStackHost& host) : m_host(host) {}

    // A new page, hidden until made active; returns its number.
    int AddPage() { return m_count++; }
    int PageCount() const { return m_count; }
    // -1 before the first SetActivePage.
    int ActivePage() const { return m_active; }

    // Makes the page the one shown. A number that names no page, and the
    // page already active, change nothing: false then.
    bool SetActivePage(int page);

private:
    TPageStackHost& m_host;
    int m_count = 0;
    int m_active = -1;
};

}  // namespace quelvo::frontend
