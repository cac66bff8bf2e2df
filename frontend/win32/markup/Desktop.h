#pragma once

// Web and mail addresses of links, handed to the desktop's default handler.

#include <windows.h>

#include <string>

namespace quelvo::frontend::win32 {

// The desktop's shell, with the user's rights (or the replaced shell opener
// of the tests), for an openable address (frontend/LinkTargets.h); anything
// else is refused, since row targets carry registry key names that anyone
// can write. Every link of the front end reaches the desktop through here.
void OpenWithDesktop(const std::u16string& target, HWND owner = nullptr);

}  // namespace quelvo::frontend::win32
