#pragma once

// Small helpers the Win32 controls share: rectangles, repaints and the
// mouse messages' buttons and modifier keys.

#include "frontend/Controls.h"

#include <windows.h>

#include <cstdint>

namespace quelvo::frontend::win32 {

inline RECT ToRect(TRect r) { return RECT{r.left, r.top, r.left + r.width, r.top + r.height}; }

// Repaints a control's window at once, through its own buffer.
void Repaint(HWND hwnd);

inline SIZE ClientSize(HWND hwnd)
{
    RECT r{};
    GetClientRect(hwnd, &r);
    return SIZE{r.right, r.bottom};
}

// The desktop colours the controls use, as Windows shows them by default
// (the Qt front end uses the same values).
inline constexpr COLORREF kBtnShadow = RGB(160, 160, 160);
inline constexpr COLORREF kGrayText = RGB(109, 109, 109);

// The button of a mouse press message (double clicks included); false for
// any other message.
bool MouseDownMessage(UINT message, WPARAM wParam, TMouseButton* button);
// The modifier keys of a mouse message.
std::uint32_t ShiftFromKeys(WPARAM wParam);

}  // namespace quelvo::frontend::win32
