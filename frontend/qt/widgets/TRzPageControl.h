#pragma once

// A stack of pages with hidden tabs: exactly one page is visible and fills
// the control. Switching pages moves the keyboard focus with the page as the
// shared page stack behaviour says (frontend/PageStackBehaviour.h): a focus
// that lay on the old page ends on the first tab stop of the new one.

#include "frontend/PageStackBehaviour.h"
#include "frontend/qt/widgets/Events.h"

#include <QColor>
#include <QWidget>

#include <vector>

namespace quelvo::widgets {

class TRzPageControl;

class TRzTabSheet : public QWidget {
    Q_OBJECT
public:
    // The page is added to `pageControl` (last in order) when one is given.
    explicit TRzTabSheet(TRzPageControl* pageControl = nullptr);

    TRzPageControl* PageControl() const { return FPageControl; }
    int PageIndex() const;

    // The page's background colour.
    QColor Color() const { return FColor; }
    void SetColor(const QColor& colour);

    bool TabVisible() const { return false; }

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    friend class TRzPageControl;
    TRzPageControl* FPageControl = nullptr;
    QColor FColor;
};

class TRzPageControl : public QWidget {
    Q_OBJECT
public:
    explicit TRzPageControl(QWidget* parent = nullptr);

    // Appends a page; it stays hidden until made active.
    void AddPage(TRzTabSheet* page);
    int PageCount() const { return static_cast<int>(FPages.size()); }
    TRzTabSheet* Pages(int index) const;

    TRzTabSheet* ActivePage() const { return Pages(FCore.ActivePage()); }
    int ActivePageIndex() const;
    // Pages of another stack and the page already active change nothing.
    void SetActivePage(TRzTabSheet* page);

    // Fires after the active page changed.
    TNotifyEvent OnChange;

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    // What the shared behaviour asks of the pages.
    class Host : public frontend::TPageStackHost {
    public:
        explicit Host(TRzPageControl& stack) : m_stack(stack) {}
        bool FocusInside(int page) const override;
        bool FocusOnPage(int page) const override;
        bool PageCanFocus(int page) const override;
        void FocusPage(int page) override;
        void FocusStack() override;
        void FocusFirstTabStop(int page) override;
        void ShowOnTop(int page) override;
        void Hide(int page) override;

    private:
        TRzPageControl& m_stack;
    };

    std::vector<TRzTabSheet*> FPages;
    Host FHost{*this};
    frontend::TPageStackBehaviour FCore{FHost};
};

// The first widget inside `container`, in tab order, that can take the focus
// by tabbing (enabled, shown, a tab stop); none when there is none.
QWidget* FirstTabStop(QWidget* container);

}  // namespace quelvo::widgets
