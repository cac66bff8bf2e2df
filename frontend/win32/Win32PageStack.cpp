#include "frontend/win32/Win32PageStack.h"

#include "frontend/win32/Win32Gdi.h"
#include "frontend/win32/Win32Helpers.h"
#include "frontend/win32/Win32TabOrder.h"

#include <algorithm>

namespace quelvo::frontend::win32 {

namespace {
const wchar_t kPageClass[] = L"QuelvoPage";
const wchar_t kPageStackClass[] = L"QuelvoPageStack";
}  // namespace

Win32Page::Win32Page(Win32Node* stack, std::string name, TRect bounds, TColor colour)
    : Win32Control(std::move(name)), m_colour(colour)
{
    RegisterNodeClass(kPageClass);
    CreateNode(stack, kPageClass, WS_CLIPCHILDREN, 0, ToRect(bounds));  // hidden until made active
}

void Win32Page::PaintSelf(HDC dc)
{
    const SIZE size = ClientSize(Handle());
    HBRUSH brush = CreateSolidBrush(ToColorRef(m_colour));
    RECT all{0, 0, size.cx, size.cy};
    FillRect(dc, &all, brush);
    DeleteObject(brush);
}

Win32PageStack::Win32PageStack(Win32Node* parent, std::string name, TRect bounds)
    : Win32Control(std::move(name))
{
    RegisterNodeClass(kPageStackClass);
    CreateNode(parent, kPageStackClass, WS_VISIBLE | WS_CLIPCHILDREN, 0, ToRect(bounds));
}

void Win32PageStack::AddPage(Win32Page* page)
{
    m_pages.push_back(page);
    m_core.AddPage();
    const SIZE size = ClientSize(Handle());
    SetWindowPos(page->Handle(), nullptr, 0, 0, size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32PageStack::SetActivePage(TPage* page)
{
    const auto it = std::find_if(m_pages.begin(), m_pages.end(), [&](Win32Page* p) { return p == page; });
    if (it != m_pages.end())
        m_core.SetActivePage(static_cast<int>(it - m_pages.begin()));
}

TPage* Win32PageStack::ActivePage() const
{
    const int active = m_core.ActivePage();
    return active < 0 ? nullptr : m_pages[static_cast<std::size_t>(active)];
}

HWND Win32PageStack::Host::Page(int page) const { return m_stack.m_pages[static_cast<std::size_t>(page)]->Handle(); }

bool Win32PageStack::Host::FocusInside(int page) const
{
    const HWND focus = GetFocus();
    return focus && IsChild(Page(page), focus);
}

bool Win32PageStack::Host::FocusOnPage(int page) const { return GetFocus() == Page(page); }

bool Win32PageStack::Host::PageCanFocus(int page) const
{
    return IsWindowEnabled(Page(page)) && IsWindowVisible(Page(page));
}

void Win32PageStack::Host::FocusPage(int page) { SetFocus(Page(page)); }

void Win32PageStack::Host::FocusStack() { SetFocus(m_stack.Handle()); }

void Win32PageStack::Host::FocusFirstTabStop(int page)
{
    const std::vector<HWND> stops = TabStops(Page(page));
    if (!stops.empty())
        SetFocus(stops.front());
}

void Win32PageStack::Host::ShowOnTop(int page)
{
    SetWindowPos(Page(page), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

void Win32PageStack::Host::Hide(int page) { ShowWindow(Page(page), SW_HIDE); }

LRESULT Win32PageStack::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_SIZE) {
        for (Win32Page* page : m_pages)
            SetWindowPos(page->Handle(), nullptr, 0, 0, LOWORD(lParam), HIWORD(lParam), SWP_NOZORDER | SWP_NOACTIVATE);
    }
    return Win32Node::HandleMessage(message, wParam, lParam);
}

}  // namespace quelvo::frontend::win32
