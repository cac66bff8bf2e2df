#include "frontend/win32/Win32Helpers.h"

#include "frontend/win32/Win32Control.h"

namespace quelvo::frontend::win32 {

void Repaint(HWND hwnd)
{
    if (Win32Node* node = Win32Node::FromHandle(hwnd))
        node->RepaintSelf();
}

bool MouseDownMessage(UINT message, WPARAM, TMouseButton* button)
{
    switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        *button = TMouseButton::mbLeft;
        return true;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
        *button = TMouseButton::mbRight;
        return true;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK:
        *button = TMouseButton::mbMiddle;
        return true;
    default:
        return false;
    }
}

std::uint32_t ShiftFromKeys(WPARAM wParam)
{
    std::uint32_t shift = ssNone;
    if (wParam & MK_SHIFT)
        shift |= ssShift;
    if (wParam & MK_CONTROL)
        shift |= ssCtrl;
    if (GetKeyState(VK_MENU) < 0)
        shift |= ssAlt;
    return shift;
}

}  // namespace quelvo::frontend::win32
