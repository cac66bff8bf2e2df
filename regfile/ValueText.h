#pragma once

// The value data both registry text formats share, written and read once:
// regedit's .reg files (RegFileWrite, RegFileRead) and Wine's registry files
// (SystemRegFile) spell a REG_DWORD as "dword:0000002a" and any other bytes
// as "hex:" (REG_BINARY) or "hex(N):" with two hex digits a byte, comma
// separated, wrapped with "\" before column 80 and continued two spaces in.
// Strings and names differ between the two (each quotes and escapes in its
// own way) and stay with their format.

#include "platform/Text.h"
#include "regfile/RegTree.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quelvo::regfile {

// "dword:0000002a" for a REG_DWORD of four bytes; empty for any other value.
std::string DwordText(const RegValue& value);

// "hex:…" or "hex(N):…" for the value's type and bytes. `column` is where the
// text starts on its line (after "name="); a wrapped line ends with "\" and
// `lineEnd`.
std::string HexText(const RegValue& value, std::size_t column, std::string_view lineEnd);

// The data bytes of a REG_DWORD.
std::vector<std::uint8_t> DwordBytes(std::uint32_t value);

// Up to eight hex digits at text[pos] (pos ends after them); false when there
// are none or more than eight.
template<class Char>
bool ReadHexNumber(std::basic_string_view<Char> text, std::size_t& pos, std::uint32_t* value)
{
    std::size_t digits = 0;
    *value = 0;
    while (pos < text.size() && platform::HexDigitValue(text[pos]) >= 0) {
        if (++digits > 8)
            return false;
        *value = *value * 16 + std::uint32_t(platform::HexDigitValue(text[pos++]));
    }
    return digits > 0;
}

// The type of "hex:" (REG_BINARY) or "hex(N):" at the start of `data`; pos
// ends after the ":".
enum class HexPrefix { Read, BadType, NoColon };
template<class Char>
HexPrefix ReadHexType(std::basic_string_view<Char> data, std::size_t& pos, RegType* type)
{
    pos = 3;  // after "hex"
    std::uint32_t number = std::uint32_t(RegType::Binary);
    if (pos < data.size() && data[pos] == Char('(')) {
        ++pos;
        if (!ReadHexNumber(data, pos, &number) || pos >= data.size() || data[pos] != Char(')'))
            return HexPrefix::BadType;
        ++pos;
    }
    if (pos >= data.size() || data[pos] != Char(':'))
        return HexPrefix::NoColon;
    ++pos;
    *type = static_cast<RegType>(number);
    return HexPrefix::Read;
}

// One byte as two hex digits at text[pos]; -1 when they are not.
template<class Char>
int ReadHexByte(std::basic_string_view<Char> text, std::size_t pos)
{
    const int hi = pos < text.size() ? platform::HexDigitValue(text[pos]) : -1;
    const int lo = pos + 1 < text.size() ? platform::HexDigitValue(text[pos + 1]) : -1;
    return hi < 0 || lo < 0 ? -1 : hi * 16 + lo;
}

}  // namespace quelvo::regfile
