#pragma once

// The page stack with hidden tabs and its pages: the shared page stack
// behaviour (frontend/PageStackBehaviour.h) over child windows.

#include "frontend/PageStackBehaviour.h"
#include "frontend/win32/Win32Control.h"

#include <string>
#include <vector>

namespace quelvo::frontend::win32 {

class Win32Page : public Win32Control<TPage> {
public:
    Win32Page(Win32Node* stack, std::string name, TRect bounds, TColor colour);
    void PaintSelf(HDC dc) override;

private:
    TColor m_colour;
};

class Win32PageStack : public Win32Control<TPageStack> {
public:
    Win32PageStack(Win32Node* parent, std::string name, TRect bounds);

    void AddPage(Win32Page* page);
    void SetActivePage(TPage* page) override;
    TPage* ActivePage() const override;

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    // What the shared behaviour asks of the pages' windows.
    class Host : public TPageStackHost {
    public:
        explicit Host(Win32PageStack& stack) : m_stack(stack) {}
        bool FocusInside(int page) const override;
        bool FocusOnPage(int page) const override;
        bool PageCanFocus(int page) const override;
        void FocusPage(int page) override;
        void FocusStack() override;
        void FocusFirstTabStop(int page) override;
        void ShowOnTop(int page) override;
        void Hide(int page) override;

    private:
        HWND Page(int page) const;
        Win32PageStack& m_stack;
    };

    std::vector<Win32Page*> m_pages;
    Host m_host{*this};
    TPageStackBehaviour m_core{m_host};
};

}  // namespace quelvo::frontend::win32
