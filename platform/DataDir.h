#pragma once

// Where the program's own files (the file type library, the help file, the
// lookup catalogue) are found. Beside the executable comes first, as in a
// build folder or a Windows installation; an installed program on Linux has
// them in its prefix's share/quelvo/ (bin/quelvo -> share/quelvo/).

#include <filesystem>
#include <string>
#include <string_view>

namespace quelvo::platform {

// The folder, ending with a separator, that holds `fileName`: `appDir`
// itself when the file is there, else <appDir>/../share/quelvo/ when it is
// there, else `appDir` (so that the caller reports the file as missing
// where it was looked for first). `appDir` may end with a separator or not.
std::u16string func_DataDirFor(std::u16string_view appDir, std::u16string_view fileName);

// The folder of the running executable (as the system names it: the module
// file on Windows, /proc/self/exe elsewhere), else that of argv0 made
// absolute.
std::filesystem::path func_ProgramDir(const char* argv0);

}  // namespace quelvo::platform
