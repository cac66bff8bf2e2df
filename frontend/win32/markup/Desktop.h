#pragma once

// Web and mail addresses of links, handed to the desktop's default handler.

#include <string>

namespace quelvo::frontend::win32 {

// The desktop's shell, with the user's rights (or the replaced shell opener
// of the tests), for a whole web or mail address; anything else is refused,
// since row targets carry registry key names that anyone can write.
void OpenWithDesktop(const std::u16string& target);

}  // namespace quelvo::frontend::win32
