#include "tests/support/Bytes.h"

#include <fstream>
#include <sstream>

namespace quelvo::test {

namespace fs = std::filesystem;

std::string ReadBytes(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteBytes(const fs::path& file, std::string_view bytes)
{
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

fs::path DataFile(const std::string& name) { return fs::path(QUELVO_TEST_DATA) / name; }

std::string Utf16Sz(std::u16string_view text)
{
    std::string out;
    for (char16_t c : text) {
        out += char(c & 0xFF);
        out += char(c >> 8);
    }
    out += std::string(2, '\0');
    return out;
}

}  // namespace quelvo::test
