#pragma once

// One Wine prefix read two ways: through the Win32 API under Wine, and on
// Linux through its system.reg. Both sides write the same canonical texts,
// which must then be equal.

#include "platform/RegistryStore.h"

#include <string>

namespace quelvo::test {

// The key tree below HKLM\SOFTWARE\Classes with every default value.
std::string CanonicalClassesTree(platform::RegistryStore& store);

// A scan of the active target: one record per examined extension, its name
// call and its outcome if any, sorted by name so that the two enumeration
// orders (Wine's and the file store's) do not matter.
std::string CanonicalScan();

}  // namespace quelvo::test
