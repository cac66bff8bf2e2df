#pragma once

// The keyboard focus order of the Win32 controls, kept as window properties.

#include <windows.h>

#include <vector>

namespace quelvo::frontend::win32 {

// Tab order: controls with WS_TABSTOP, visible and enabled, depth first;
// siblings in the order SetTabOrder gave, the others after them in the order
// they were made.
std::vector<HWND> TabStops(HWND container);
// Records a control's place among its siblings.
void SetTabIndex(HWND control, int index);
// Records the order in which controls were made.
void SetCreationOrder(HWND control);

}  // namespace quelvo::frontend::win32
