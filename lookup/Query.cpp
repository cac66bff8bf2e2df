#include "lookup/Query.h"

#include "lookup/Catalogue.h"

#include <unordered_set>

namespace quelvo::lookup {

namespace {

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

}  // namespace

std::string_view QueryErrorText(QueryError error)
{
    switch (error) {
    case QueryError::None: return "";
    case QueryError::NoExtension: return "The address names no extension: add ext[]= followed by one.";
    case QueryError::TooMany: return "The address names more than 64 extensions.";
    case QueryError::TooLong: return "An extension in the address is longer than 64 characters.";
    case QueryError::BadEncoding: return "The address holds a '%' that is not followed by two hexadecimal digits.";
    case QueryError::NotUtf8: return "An extension in the address is not UTF-8 text.";
    case QueryError::ControlCharacter: return "An extension in the address holds a control character.";
    }
    return "";
}

bool PercentDecode(std::string_view text, std::string& out, bool plusIsSpace)
{
    out.clear();
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '+' && plusIsSpace) {
            out += ' ';
        } else if (c == '%') {
            if (i + 2 >= text.size())
                return false;
            const int high = HexValue(text[i + 1]);
            const int low = HexValue(text[i + 2]);
            if (high < 0 || low < 0)
                return false;
            out += static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            out += c;
        }
    }
    return true;
}

std::size_t Utf16Length(std::string_view utf8)
{
    std::size_t units = 0;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto b0 = static_cast<unsigned char>(utf8[i]);
        std::size_t length = 0;
        char32_t cp = 0;
        if (b0 < 0x80) {
            length = 1;
            cp = b0;
        } else if (b0 >= 0xC2 && b0 <= 0xDF) {
            length = 2;
            cp = b0 & 0x1Fu;
        } else if (b0 >= 0xE0 && b0 <= 0xEF) {
            length = 3;
            cp = b0 & 0x0Fu;
        } else if (b0 >= 0xF0 && b0 <= 0xF4) {
            length = 4;
            cp = b0 & 0x07u;
        } else {
            return std::string_view::npos;
        }
        if (i + length > utf8.size())
            return std::string_view::npos;
        for (std::size_t k = 1; k < length; ++k) {
            const auto b = static_cast<unsigned char>(utf8[i + k]);
            if ((b & 0xC0u) != 0x80u)
                return std::string_view::npos;
            cp = (cp << 6) | (b & 0x3Fu);
        }
        if ((length == 3 && cp < 0x800) || (length == 4 && (cp < 0x10000 || cp > 0x10FFFF))
            || (cp >= 0xD800 && cp <= 0xDFFF))
            return std::string_view::npos;
        units += cp >= 0x10000 ? 2 : 1;
        i += length;
    }
    return units;
}

Query ParseQuery(std::string_view rawQuery)
{
    Query query;
    std::unordered_set<std::string> seen;
    std::string name;
    std::string value;
    std::size_t count = 0;
    while (true) {
        const std::size_t end = rawQuery.find('&');
        const std::string_view pair = rawQuery.substr(0, end);
        const std::size_t equals = pair.find('=');
        if (!pair.empty()) {
            if (!PercentDecode(pair.substr(0, equals), name)
                || !PercentDecode(equals == std::string_view::npos ? std::string_view{} : pair.substr(equals + 1), value)) {
                query.error = QueryError::BadEncoding;
                break;
            }
            if (name == "ext[]") {
                std::string_view ext = value;
                while (!ext.empty() && (ext.front() == ' ' || ext.front() == '\t'))
                    ext.remove_prefix(1);
                while (!ext.empty() && (ext.back() == ' ' || ext.back() == '\t'))
                    ext.remove_suffix(1);
                if (!ext.empty() && ext.front() == '.')
                    ext.remove_prefix(1);
                if (!ext.empty()) {
                    const std::size_t units = Utf16Length(ext);
                    if (units == std::string_view::npos) {
                        query.error = QueryError::NotUtf8;
                        break;
                    }
                    if (units > kMaxExtensionUnits) {
                        query.error = QueryError::TooLong;
                        break;
                    }
                    for (const char c : ext) {
                        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
                            query.error = QueryError::ControlCharacter;
                            break;
                        }
                    }
                    if (query.error != QueryError::None)
                        break;
                    if (++count > kMaxExtensions) {
                        query.error = QueryError::TooMany;
                        break;
                    }
                    if (seen.insert(AsciiLower(ext)).second)
                        query.extensions.emplace_back(ext);
                }
            }
        }
        if (end == std::string_view::npos)
            break;
        rawQuery.remove_prefix(end + 1);
    }
    if (query.error == QueryError::None && query.extensions.empty())
        query.error = QueryError::NoExtension;
    if (query.error != QueryError::None)
        query.extensions.clear();
    return query;
}

}  // namespace quelvo::lookup
