#include "frontend/win32/markup/Win32MarkupLabel.h"

#include "frontend/LinkTargets.h"
#include "frontend/win32/markup/GdiSurface.h"
#include "markup/engine/RenderMarkup.h"

#include <windowsx.h>

#include <utility>

namespace quelvo::frontend::win32 {

namespace {
constexpr wchar_t kClassName[] = L"QuelvoMarkupLabel";
}

Win32MarkupLabel::Win32MarkupLabel(Win32Node* parent, std::string name, TRect bounds, const markup::FontSpec& font,
                                   std::function<void(const std::u16string&)> openDesktop)
    : Win32Control<TMarkupLabel>(std::move(name)), m_font(font), m_openDesktop(std::move(openDesktop))
{
    RegisterNodeClass(kClassName);
    CreateNode(parent, kClassName, WS_VISIBLE, 0,
               RECT{bounds.left, bounds.top, bounds.left + bounds.width, bounds.top + bounds.height});
}

std::u16string Win32MarkupLabel::Joined() const
{
    std::u16string text;
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        if (i > 0)
            text += u' ';
        text += m_lines[i];
    }
    return text;
}

void Win32MarkupLabel::Changed()
{
    RepaintSelf();
}

void Win32MarkupLabel::ClearText()
{
    m_lines.clear();
    Changed();
}

void Win32MarkupLabel::AddText(const std::u16string& line)
{
    m_lines.push_back(line);
    Changed();
}

void Win32MarkupLabel::PaintSelf(HDC dc)
{
    RECT client{};
    GetClientRect(Handle(), &client);
    GdiSurface surface(dc);
    markup::DrawMarkup(surface, Joined(), markup::Rect{0, 0, client.right, client.bottom}, m_font, URLColor, true, 0,
                       nullptr);
}

std::u16string Win32MarkupLabel::AnchorAt(POINT pos) const
{
    RECT client{};
    GetClientRect(Handle(), &client);
    HDC dc = GetDC(Handle());
    markup::MarkupResult found;
    {
        GdiSurface metrics(dc);
        found = markup::LocateMarkupLink(metrics, Joined(), markup::Rect{0, 0, client.right, client.bottom}, m_font,
                                         URLColor, true, 0, nullptr, markup::Point{pos.x, pos.y});
    }
    ReleaseDC(Handle(), dc);
    return found.overLink ? found.linkTarget : std::u16string();
}

LRESULT Win32MarkupLabel::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SETCURSOR:
        if (LOWORD(lParam) == HTCLIENT) {
            POINT at{};
            GetCursorPos(&at);
            ScreenToClient(Handle(), &at);
            const bool overLink = !AnchorAt(at).empty();
            SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(overLink ? IDC_HAND : IDC_ARROW)));
            return TRUE;
        }
        break;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDBLCLK: {
        // The event first, then the desktop: both for a web link with an event.
        const std::u16string anchor = AnchorAt(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        if (anchor.empty())
            return 0;
        if (OnAnchorClick)
            OnAnchorClick(this, anchor);
        if (IsDesktopTarget(anchor) && m_openDesktop)
            m_openDesktop(anchor);
        return 0;
    }
    default:
        break;
    }
    return Win32Node::HandleMessage(message, wParam, lParam);
}

}  // namespace quelvo::frontend::win32
