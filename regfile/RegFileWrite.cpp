#include "regfile/RegFileWrite.h"

#include "regfile/ValueText.h"

namespace quelvo::regfile {

using namespace platform;

namespace {

constexpr std::u16string_view kHeader = u"Windows Registry Editor Version 5.00\r\n\r\n";

std::u16string Ascii(std::string_view text) { return std::u16string(text.begin(), text.end()); }

// "a\\b\"c": the quoting regedit uses for names and strings.
std::u16string Quote(std::u16string_view text)
{
    std::u16string out = u"\"";
    for (char16_t c : text) {
        switch (c) {
        case u'\\': out += u"\\\\"; break;
        case u'"': out += u"\\\""; break;
        case u'\n': out += u"\\n"; break;
        case u'\r': out += u"\\r"; break;
        case u'\0': out += u"\\0"; break;
        default: out += c;
        }
    }
    out += u'"';
    return out;
}

// A REG_SZ that regedit writes as "text": terminated, even, no controls.
bool IsPlainString(const RegValue& v)
{
    if (v.type != RegType::Sz || v.data.size() < 2 || v.data.size() % 2)
        return false;
    const std::size_t n = v.data.size() / 2;
    for (std::size_t i = 0; i < n; ++i) {
        const char16_t c = char16_t(v.data[2 * i] | (v.data[2 * i + 1] << 8));
        if (i + 1 == n)
            return c == 0;
        if (c < 32)
            return false;
    }
    return false;
}

std::u16string ValueLine(const RegValue& v)
{
    std::u16string line = v.name.empty() ? std::u16string(u"@") : Quote(v.name);
    line += u'=';
    if (IsPlainString(v)) {
        line += Quote(std::u16string(reinterpret_cast<const char16_t*>(v.data.data()), v.data.size() / 2 - 1));
        return line;
    }
    if (const std::string dword = DwordText(v); !dword.empty())
        return line + Ascii(dword);
    return line + Ascii(HexText(v, line.size(), "\r\n"));
}

void ExportInto(RegKey& key, std::u16string_view rootName, std::u16string& out)
{
    out += u'[';
    out += rootName;
    const std::u16string path = key.Path();
    if (!path.empty()) {
        out += u'\\';
        out += path;
    }
    out += u"]\r\n";
    for (const RegValue& v : key.Values())
        out += ValueLine(v) + u"\r\n";
    out += u"\r\n";
    for (const auto& child : key.Children())
        ExportInto(*child, rootName, out);
}

}  // namespace

std::u16string_view RegFileHeader() { return kHeader; }

std::u16string ExportRegKeyTree(RegKey& key, std::u16string_view rootName)
{
    std::u16string out;
    ExportInto(key, rootName, out);
    return out;
}

std::string EncodeUtf16Le(std::u16string_view text)
{
    std::string out = "\xFF\xFE";
    out.reserve(2 + text.size() * 2);
    for (char16_t c : text) {
        out += char(c & 0xFF);
        out += char(c >> 8);
    }
    return out;
}


}  // namespace quelvo::regfile
