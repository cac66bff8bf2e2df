#pragma once

// The registry layer: five stateless operations over the active target's
// registry store. None of them throws; failure is a false result, an empty
// list or an empty text. A key that refuses full access counts as absent.
// The view selector picks the access mask: false 0xF003F (KEY_ALL_ACCESS),
// true 0xF013F (the same plus KEY_WOW64_64KEY).

#include "platform/RegistryStore.h"

#include <string>
#include <string_view>
#include <vector>

namespace quelvo::scan {

using quelvo::platform::RegRoot;
using StringList = std::vector<std::u16string>;

// Empties list, then fills it with the key's trimmed sub-key names in
// enumeration order (empty or repeated names included).
void func_Reg_GetSubKeyNames(RegRoot root, std::u16string_view path, StringList& list, bool view = false);

// True when the key opens.
bool func_Reg_KeyExists(RegRoot root, std::u16string_view path, bool view = false);

// Reads a value (empty name: the default value) as UTF-16 text, whatever its
// type: at most 256 units, cut at the first NUL. False, with value empty, when
// the key does not open or has no such value.
bool func_Reg_ReadString(RegRoot root, std::u16string_view path, std::u16string_view valueName,
                         std::u16string& value, bool view = false);

// True when the key opens and has at least one sub-key.
bool func_Reg_HasSubKeys(RegRoot root, std::u16string_view path, bool view = false);

// Removes the key and its whole sub-tree, highest sub-key index first; true
// when everything was removed. A failure stops the walk and leaves the
// failing key and its ancestors in place (nothing is rolled back).
bool func_Reg_DeleteKeyTree(RegRoot root, std::u16string_view path, bool view = false);

}  // namespace quelvo::scan
