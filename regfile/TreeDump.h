#pragma once

// A canonical text form of a registry tree, for comparing one machine read
// two ways (a Wine prefix through its system.reg and through the Win32 API
// under Wine; a store before and after a backup round trip). One line per
// key, parents first, sub-keys in case-insensitive order, names compared and
// printed in lower case (ASCII):
//   software\classes\.txt = 1:7400780074000000
// "= type:hex bytes" is the key's default value, left out when it has none.
// Values other than the default value are not part of the form, because a
// registry store can only be asked for values it is given the name of.

#include "platform/RegistryStore.h"
#include "regfile/RegTree.h"

#include <string>
#include <string_view>

namespace quelvo::regfile {

// Through the six calls, from `path` under HKEY_LOCAL_MACHINE down; each
// line's path is the full path from HKEY_LOCAL_MACHINE. A key that does not
// open gives an empty text.
std::string DumpStoreTree(platform::RegistryStore& store, std::u16string_view path);

// The same form from a tree, from `key` down (paths from the tree's root).
// Links are not followed here.
std::string DumpKeyTree(RegKey& key);

// Every value of every key, in full ("name" = type:hex per value line below
// each key): for comparing whole trees in tests.
std::string DumpKeyTreeWithValues(RegKey& key);

}  // namespace quelvo::regfile
