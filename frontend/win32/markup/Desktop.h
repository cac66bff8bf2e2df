#pragma once

// Web and mail addresses of links, handed to the desktop's default handler.

#include <string>

namespace quelvo::frontend::win32 {

// The shell's "open" verb in a normal window (or the replaced shell opener
// of the tests) for a whole web or mail address; anything else is refused,
// since row targets carry registry key names that anyone can write.
void OpenWithDesktop(const std::u16string& target);

}  // namespace quelvo::frontend::win32
