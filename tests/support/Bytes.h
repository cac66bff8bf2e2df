#pragma once

// Files' bytes as tests read and write them, and the fixture files.

#include <filesystem>
#include <string>
#include <string_view>

namespace quelvo::test {

std::string ReadBytes(const std::filesystem::path& file);
// Writes the file whole, replacing what it held.
void WriteBytes(const std::filesystem::path& file, std::string_view bytes);
// A fixture of tests/support/data (system.reg, user.reg, userdef.reg of a Wine prefix).
std::filesystem::path DataFile(const std::string& name);
// The bytes of a REG_SZ value: UTF-16 LE with its terminating NUL.
std::string Utf16Sz(std::u16string_view text);

}  // namespace quelvo::test
