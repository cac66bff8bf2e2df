#include "regfile/ValueText.h"

#include <cstdio>

namespace quelvo::regfile {

std::string DwordText(const RegValue& value)
{
    if (value.type != RegType::Dword || value.data.size() != 4)
        return {};
    const auto& d = value.data;
    char buf[16];
    std::snprintf(buf, sizeof buf, "dword:%08x", unsigned(d[0] | (d[1] << 8) | (d[2] << 16)) | (unsigned(d[3]) << 24));
    return buf;
}

std::string HexText(const RegValue& value, std::size_t column, std::string_view lineEnd)
{
    char buf[24];
    if (value.type == RegType::Binary)
        std::snprintf(buf, sizeof buf, "hex:");
    else
        std::snprintf(buf, sizeof buf, "hex(%x):", unsigned(value.type));
    std::string text = buf;
    column += text.size();
    for (std::size_t i = 0; i < value.data.size(); ++i) {
        std::snprintf(buf, sizeof buf, "%02x", unsigned(value.data[i]));
        text += buf;
        column += 2;
        if (i + 1 == value.data.size())
            break;
        text += ',';
        if (++column > 76) {
            text += '\\';
            text += lineEnd;
            text += "  ";
            column = 2;
        }
    }
    return text;
}

std::vector<std::uint8_t> DwordBytes(std::uint32_t value)
{
    return {std::uint8_t(value), std::uint8_t(value >> 8), std::uint8_t(value >> 16), std::uint8_t(value >> 24)};
}

}  // namespace quelvo::regfile
