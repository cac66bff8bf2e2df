#include "platform/Text.h"

#include <algorithm>

namespace quelvo::platform {

namespace {
constexpr char16_t LowerAscii(char16_t c) { return (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c; }
constexpr char16_t UpperAscii(char16_t c) { return (c >= u'a' && c <= u'z') ? char16_t(c - 32) : c; }
}  // namespace

std::u16string ToLowerAscii(std::u16string_view text)
{
    std::u16string out(text);
    std::transform(out.begin(), out.end(), out.begin(), LowerAscii);
    return out;
}

std::u16string ToUpperAscii(std::u16string_view text)
{
    std::u16string out(text);
    std::transform(out.begin(), out.end(), out.begin(), UpperAscii);
    return out;
}

bool EqualsIgnoreCaseAscii(std::u16string_view a, std::u16string_view b)
{
    return a.size() == b.size()
        && std::equal(a.begin(), a.end(), b.begin(),
                      [](char16_t x, char16_t y) { return LowerAscii(x) == LowerAscii(y); });
}

std::u16string_view TrimBlanks(std::u16string_view text)
{
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && text[begin] <= 32)
        ++begin;
    while (end > begin && text[end - 1] <= 32)
        --end;
    return text.substr(begin, end - begin);
}

std::u16string_view UpToNul(std::u16string_view text)
{
    return text.substr(0, text.find(u'\0'));
}

std::size_t FindIgnoreCaseAscii(std::u16string_view haystack, std::u16string_view needle)
{
    if (needle.empty())
        return 0;
    if (needle.size() > haystack.size())
        return std::u16string_view::npos;
    for (std::size_t i = 0; i + needle.size() <= haystack.size(); ++i) {
        if (EqualsIgnoreCaseAscii(haystack.substr(i, needle.size()), needle))
            return i;
    }
    return std::u16string_view::npos;
}

namespace {
template<typename Find>
std::u16string ReplaceAllWith(std::u16string_view text, std::u16string_view from,
                              std::u16string_view to, Find find)
{
    if (from.empty())
        return std::u16string(text);
    std::u16string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    for (;;) {
        std::size_t hit = find(text.substr(pos), from);
        if (hit == std::u16string_view::npos)
            break;
        out.append(text.substr(pos, hit));
        out.append(to);
        pos += hit + from.size();
    }
    out.append(text.substr(pos));
    return out;
}
}  // namespace

std::u16string ReplaceAll(std::u16string_view text, std::u16string_view from, std::u16string_view to)
{
    return ReplaceAllWith(text, from, to,
                          [](std::u16string_view h, std::u16string_view n) { return h.find(n); });
}

std::u16string ReplaceAllIgnoreCaseAscii(std::u16string_view text, std::u16string_view from,
                                         std::u16string_view to)
{
    return ReplaceAllWith(text, from, to, FindIgnoreCaseAscii);
}

std::u16string FromUtf8(std::string_view s)
{
    std::u16string out;
    out.reserve(s.size());
    std::size_t i = 0;
    auto cont = [&](std::size_t k) { return i + k < s.size() && (static_cast<unsigned char>(s[i + k]) & 0xC0) == 0x80; };
    while (i < s.size()) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        char32_t cp = 0xFFFD;
        std::size_t len = 1;
        if (c < 0x80) {
            cp = c;
        } else if (c >= 0xC2 && c <= 0xDF && cont(1)) {
            cp = ((c & 0x1F) << 6) | (s[i + 1] & 0x3F);
            len = 2;
        } else if (c >= 0xE0 && c <= 0xEF && cont(1) && cont(2)) {
            cp = ((c & 0x0F) << 12) | ((s[i + 1] & 0x3F) << 6) | (s[i + 2] & 0x3F);
            if (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))
                cp = 0xFFFD;
            len = 3;
        } else if (c >= 0xF0 && c <= 0xF4 && cont(1) && cont(2) && cont(3)) {
            cp = ((c & 0x07) << 18) | ((s[i + 1] & 0x3F) << 12) | ((s[i + 2] & 0x3F) << 6) | (s[i + 3] & 0x3F);
            if (cp < 0x10000 || cp > 0x10FFFF)
                cp = 0xFFFD;
            len = 4;
        }
        i += len;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(char16_t(0xD800 + (cp >> 10)));
            out.push_back(char16_t(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(char16_t(cp));
        }
    }
    return out;
}

std::string ToUtf8(std::u16string_view s)
{
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        char32_t cp = s[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        if (cp < 0x80) {
            out.push_back(char(cp));
        } else if (cp < 0x800) {
            out.push_back(char(0xC0 | (cp >> 6)));
            out.push_back(char(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(char(0xE0 | (cp >> 12)));
            out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(char(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(char(0xF0 | (cp >> 18)));
            out.push_back(char(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(char(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

std::u16string IntToText(long long value)
{
    std::string s = std::to_string(value);
    return std::u16string(s.begin(), s.end());
}

int HexDigitValue(char32_t c)
{
    if (c >= U'0' && c <= U'9')
        return int(c - U'0');
    if (c >= U'a' && c <= U'f')
        return int(c - U'a' + 10);
    if (c >= U'A' && c <= U'F')
        return int(c - U'A' + 10);
    return -1;
}

}  // namespace quelvo::platform
