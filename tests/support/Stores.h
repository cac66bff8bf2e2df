#pragma once

// The file-backed stores as tests drive them.

#include "platform/RegistryStore.h"
#include "platform/files/SystemRegStore.h"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace quelvo::test {

// The repair's recursive removal, highest index first, through the six calls.
bool DeleteKeyTree(platform::RegistryStore& store, const std::u16string& path);

// The Wine registry store of `file`, with no wineserver check (the tests
// say when one runs); throws, with the reason, when it cannot be read.
std::unique_ptr<platform::files::SystemRegStore> OpenWineStore(const std::filesystem::path& file);

// A Wine registry file's text with every block whose key line starts with one
// of `keys` cut out: what a store that removed those keys writes.
std::string WithoutBlocks(const std::string& text, const std::vector<std::string>& keys);

}  // namespace quelvo::test
