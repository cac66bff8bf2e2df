#pragma once

// Extraction of an executable's path from an open command as the registry
// stores it, over the active target's environment and drives. Stateless.

#include <string>
#include <string_view>

namespace quelvo::scan {

// The executable path of command, or empty text when none is usable. A
// non-empty result always contains ":\".
std::u16string func_GetExePathFromCommand(std::u16string_view command);

// The expansion of "%systemroot%", "%programfiles%" or "%windir%" (any case);
// empty text for any other name or when the expansion fails.
std::u16string func_ExpandSysVar(std::u16string_view name);

// The long form of an existing path; empty text when the conversion fails.
std::u16string func_GetLongPath(std::u16string_view path);

}  // namespace quelvo::scan
