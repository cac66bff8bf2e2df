#pragma once

#include "platform/RegistryStore.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace quelvo::platform::files::test {

// A fresh folder, removed with its content at the end of the scope.
class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::filesystem::path& Path() const { return m_path; }
    std::filesystem::path operator/(const std::filesystem::path& p) const { return m_path / p; }

private:
    std::filesystem::path m_path;
};

std::string ReadBytes(const std::filesystem::path& file);
void WriteBytes(const std::filesystem::path& file, std::string_view bytes);
std::filesystem::path DataFile(const std::string& name);

// The repair's recursive removal, highest index first, through the six calls.
bool DeleteKeyTree(RegistryStore& store, const std::u16string& path);

// A valid, empty registry hive: the base block and one hbin holding the root
// key (named "ROOT") and its security cell.
void WriteEmptyHive(const std::filesystem::path& file);

// Text of a REG_SZ value with its terminating NUL.
std::string Utf16Sz(std::u16string_view text);

}  // namespace quelvo::platform::files::test
