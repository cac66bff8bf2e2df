#include "frontend/win32/Win32BitmapButton.h"

#include "frontend/win32/Win32Helpers.h"

#include <windowsx.h>

namespace quelvo::frontend::win32 {

namespace {

const wchar_t kButtonClass[] = L"QuelvoBitmapButton";

TButtonKey KeyOf(WPARAM key)
{
    switch (key) {
    case VK_RETURN:
        return TButtonKey::Enter;
    case VK_SPACE:
        return TButtonKey::Space;
    default:
        return TButtonKey::Other;
    }
}

}  // namespace

Win32BitmapButton::Win32BitmapButton(const CreateArgs& args) : Win32Control(args.name)
{
    const COLORREF transparent = RGB(128, 128, 0);  // clOlive
    const Win32Bitmap up = DecodePicture(args.up);
    const Win32Bitmap hot = DecodePicture(args.hot);
    auto fill = [&](TBmpSlot slot, const Win32Bitmap& picture) {
        m_pictures[static_cast<std::size_t>(slot)] = Win32MaskedBitmap(picture, transparent);
        m_core.SetPresent(slot, !picture.Empty());
    };
    fill(TBmpSlot::Up, up);
    // Hot and Down are one and the same highlighted picture.
    fill(TBmpSlot::Hot, hot);
    fill(TBmpSlot::Down, hot);
    if (args.hotAsDisabled)
        fill(TBmpSlot::Disabled, hot);
    m_core.OnMouseDown = [this](TMouseButton button, std::uint32_t shift, int x, int y) {
        if (OnMouseDown)
            OnMouseDown(this, button, shift, x, y);
    };
    m_core.OnClick = [this] {
        if (OnClick)
            OnClick(this);
    };

    // Sized to the Up picture.
    const int width = up.Empty() ? kDefaultWidth : up.Width();
    const int height = up.Empty() ? kDefaultHeight : up.Height();
    RegisterNodeClass(kButtonClass, CS_DBLCLKS, LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_HAND)));
    CreateNode(args.parent, kButtonClass, WS_VISIBLE | WS_TABSTOP, 0,
               RECT{args.left, args.top, args.left + width, args.top + height});
}

void Win32BitmapButton::Host::Repaint() { win32::Repaint(m_button.Handle()); }

void Win32BitmapButton::Host::ReleaseMouse()
{
    if (GetCapture() == m_button.Handle())
        ReleaseCapture();
}

int Win32BitmapButton::Host::Width() const { return ClientSize(m_button.Handle()).cx; }

int Win32BitmapButton::Host::Height() const { return ClientSize(m_button.Handle()).cy; }

void Win32BitmapButton::Click() { m_core.Click(); }

void Win32BitmapButton::PaintSelf(HDC dc)
{
    const TButtonPicture picture = CurrentPicture();
    if (picture == TButtonPicture::EmbossedUp) {
        m_pictures[static_cast<std::size_t>(TBmpSlot::Up)].DrawEmbossed(dc, 0, 0);
        return;
    }
    // The picture kinds and the slots share their order.
    m_pictures[static_cast<std::size_t>(picture)].Draw(dc, 0, 0);
}

LRESULT Win32BitmapButton::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    const int x = GET_X_LPARAM(lParam);
    const int y = GET_Y_LPARAM(lParam);
    TMouseButton button{};
    if (MouseDownMessage(message, wParam, &button)) {
        // The second press of a double click is a press.
        m_core.MouseDown(button, ShiftFromKeys(wParam), x, y);
        return 0;
    }
    switch (message) {
    case WM_MOUSEMOVE:
        if (!m_mouseInside) {
            m_mouseInside = true;
            TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, Handle(), 0};
            TrackMouseEvent(&track);
            m_core.MouseEnter();
        }
        m_core.MouseMove(x, y);
        return 0;
    case WM_MOUSELEAVE:
        m_mouseInside = false;
        m_core.MouseLeave();
        return 0;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
        m_core.MouseUp(x, y);
        return 0;
    case WM_CAPTURECHANGED:
        if (reinterpret_cast<HWND>(lParam) != Handle())
            m_core.CaptureLost();
        return 0;
    case WM_KEYDOWN:
        if (m_core.KeyDown(KeyOf(wParam)))
            return 0;
        break;
    case WM_KEYUP:
        // Held keys repeat their WM_KEYDOWN; a WM_KEYUP is always the release.
        if (m_core.KeyUp(false))
            return 0;
        break;
    case WM_CHAR:
        if (wParam == L'\r' || wParam == L' ')
            return 0;  // no beep
        break;
    case WM_KILLFOCUS:
        m_core.FocusOut();
        break;
    case WM_SETFOCUS:
        m_core.FocusIn();
        break;
    case WM_ENABLE:
        m_core.SetEnabled(wParam != FALSE);
        return 0;
    default:
        break;
    }
    return Win32Node::HandleMessage(message, wParam, lParam);
}

}  // namespace quelvo::frontend::win32
