#include "regfile/SystemRegFile.h"

#include "platform/Text.h"
#include "regfile/ValueText.h"

#include <cstdio>

namespace quelvo::regfile {

using namespace platform;

namespace {

constexpr std::string_view kSignature = "WINE REGISTRY Version 2";

// One UTF-8 sequence at text[pos]; invalid bytes become U+FFFD one at a time.
void DecodeUtf8At(std::string_view text, std::size_t& pos, std::u16string& out)
{
    const auto b0 = static_cast<unsigned char>(text[pos]);
    int extra = b0 >= 0xF0 && b0 < 0xF5 ? 3 : b0 >= 0xE0 ? 2 : b0 >= 0xC2 && b0 < 0xE0 ? 1 : -1;
    if (b0 >= 0xF5)
        extra = -1;
    if (extra < 0 || pos + static_cast<std::size_t>(extra) >= text.size()) {
        ++pos;
        out += u'\xFFFD';
        return;
    }
    char32_t cp = b0 & (0x3F >> extra);
    for (int i = 1; i <= extra; ++i) {
        const auto b = static_cast<unsigned char>(text[pos + i]);
        if ((b & 0xC0) != 0x80) {
            ++pos;
            out += u'\xFFFD';
            return;
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    pos += static_cast<std::size_t>(extra) + 1;
    if (cp >= 0x10000) {
        cp -= 0x10000;
        out += char16_t(0xD800 + (cp >> 10));
        out += char16_t(0xDC00 + (cp & 0x3FF));
    } else {
        out += char16_t(cp);
    }
}

// Reads Wine-escaped text from text[pos] up to an unescaped `end`; pos ends
// after it. False when the line ends first.
bool Unescape(std::string_view text, std::size_t& pos, char end, std::u16string* out)
{
    while (pos < text.size()) {
        const auto c = static_cast<unsigned char>(text[pos]);
        if (c == static_cast<unsigned char>(end)) {
            ++pos;
            return true;
        }
        if (c == '\\') {
            ++pos;
            if (pos >= text.size())
                return false;
            const auto e = static_cast<unsigned char>(text[pos]);
            char16_t simple = 0;
            switch (e) {
            case 'a': simple = 7; break;
            case 'b': simple = 8; break;
            case 'e': simple = 27; break;
            case 'f': simple = 12; break;
            case 'n': simple = 10; break;
            case 'r': simple = 13; break;
            case 't': simple = 9; break;
            case 'v': simple = 11; break;
            default: break;
            }
            if (simple) {
                *out += simple;
                ++pos;
                continue;
            }
            if (e == 'x') {
                ++pos;
                if (pos >= text.size() || HexDigitValue(static_cast<unsigned char>(text[pos])) < 0) {
                    *out += u'x';
                    continue;
                }
                unsigned v = 0;
                for (int i = 0; i < 4 && pos < text.size(); ++i) {
                    const int d = HexDigitValue(static_cast<unsigned char>(text[pos]));
                    if (d < 0)
                        break;
                    v = v * 16 + unsigned(d);
                    ++pos;
                }
                *out += char16_t(v);
                continue;
            }
            if (e >= '0' && e <= '7') {
                unsigned v = 0;
                for (int i = 0; i < 3 && pos < text.size() && text[pos] >= '0' && text[pos] <= '7'; ++i)
                    v = v * 8 + unsigned(text[pos++] - '0');
                *out += char16_t(v);
                continue;
            }
            // Any other escaped character stands for itself.
        }
        if (text[pos] & 0x80)
            DecodeUtf8At(text, pos, *out);
        else
            *out += char16_t(text[pos++]);
    }
    return false;
}

void AppendUtf16Bytes(std::u16string_view text, std::vector<std::uint8_t>& bytes)
{
    for (char16_t c : text) {
        bytes.push_back(std::uint8_t(c & 0xFF));
        bytes.push_back(std::uint8_t(c >> 8));
    }
}

bool OnlySpaces(std::string_view text)
{
    for (char c : text) {
        if (c != ' ' && c != '\t')
            return false;
    }
    return true;
}

bool IsBlank(std::string_view line) { return OnlySpaces(line); }

struct Lines {
    std::string_view text;
    std::size_t pos = 0;
    std::size_t number = 0;
    std::size_t start = 0;  // offset of the current line

    bool Next(std::string_view* line)
    {
        if (pos >= text.size())
            return false;
        start = pos;
        std::size_t end = text.find('\n', pos);
        const std::size_t next = end == std::string_view::npos ? text.size() : end + 1;
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view l = text.substr(pos, end - pos);
        if (!l.empty() && l.back() == '\r')
            l.remove_suffix(1);
        pos = next;
        ++number;
        *line = l;
        return true;
    }
};

class Parser {
public:
    Parser(std::string_view bytes, SystemRegDocument* doc, std::u16string* error)
        : m_lines{bytes}, m_bytes(bytes), m_doc(doc), m_error(error)
    {
    }

    bool Run()
    {
        std::string_view line;
        if (!m_lines.Next(&line) || line != kSignature)
            return Fail(1, u"not a Wine registry file (the first line is not \"WINE REGISTRY Version 2\")");
        std::size_t blankStart = std::string_view::npos;
        std::size_t headerEnd = std::string_view::npos;
        while (m_lines.Next(&line)) {
            const std::size_t number = m_lines.number;
            if (IsBlank(line)) {
                if (blankStart == std::string_view::npos)
                    blankStart = m_lines.start;
                continue;
            }
            const std::size_t blockStart = blankStart == std::string_view::npos ? m_lines.start : blankStart;
            blankStart = std::string_view::npos;
            switch (line[0]) {
            case '[':
                if (m_doc->blocks.empty())
                    headerEnd = blockStart;
                else
                    CloseBlock(blockStart);
                m_blockStart = blockStart;
                if (!KeyLine(line, number))
                    return false;
                break;
            case ';':
                break;
            case '#':
                if (!m_doc->blocks.empty() && !Option(line, number))
                    return false;
                break;
            case '@':
            case '"':
                if (m_doc->blocks.empty())
                    return Fail(number, u"a value before the first key");
                if (!ValueLine(line, number))
                    return false;
                break;
            default:
                return Fail(number, u"unrecognised line");
            }
        }
        if (m_doc->blocks.empty())
            m_doc->header = std::string(m_bytes);
        else {
            m_doc->header = std::string(m_bytes.substr(0, headerEnd));
            CloseBlock(m_bytes.size());
        }
        return true;
    }

private:
    bool Fail(std::size_t line, std::u16string_view what)
    {
        if (m_error)
            *m_error = u"line " + IntToText(static_cast<long long>(line)) + u": " + std::u16string(what);
        return false;
    }

    void CloseBlock(std::size_t end)
    {
        m_doc->blocks.back().text = std::string(m_bytes.substr(m_blockStart, end - m_blockStart));
    }

    bool KeyLine(std::string_view line, std::size_t number)
    {
        std::size_t pos = 1;
        std::u16string path;
        if (!Unescape(line, pos, ']', &path))
            return Fail(number, u"a key name without its closing \"]\"");
        std::string_view rest = line.substr(pos);
        std::size_t i = 0;
        while (i < rest.size() && (rest[i] == ' ' || rest[i] == '\t'))
            ++i;
        while (i < rest.size() && rest[i] >= '0' && rest[i] <= '9')
            ++i;
        if (!OnlySpaces(rest.substr(i)))
            return Fail(number, u"unexpected text after the key name");
        SystemRegBlock block;
        block.line = number;
        std::size_t begin = 0;
        for (;;) {
            const std::size_t sep = path.find(u'\\', begin);
            const std::size_t end = sep == std::u16string::npos ? path.size() : sep;
            if (end == begin)
                return Fail(number, u"an empty key name in the path");
            if (end - begin > kMaxKeyNameLength)
                return Fail(number, u"a key name longer than 255 characters");
            block.path.push_back(path.substr(begin, end - begin));
            if (block.path.size() > kMaxKeyDepth)
                return Fail(number, u"a key path deeper than 512 levels");
            if (sep == std::u16string::npos)
                break;
            begin = sep + 1;
        }
        m_doc->blocks.push_back(std::move(block));
        return true;
    }

    bool Option(std::string_view line, std::size_t number)
    {
        SystemRegBlock& block = m_doc->blocks.back();
        if (line.substr(0, 5) == "#link" && OnlySpaces(line.substr(5))) {
            block.link = true;
        } else if (line.substr(0, 7) == "#class=") {
            std::size_t pos = 8;
            block.className.clear();
            if (line.size() < 8 || line[7] != '"' || !Unescape(line, pos, '"', &block.className)
                || !OnlySpaces(line.substr(pos)))
                return Fail(number, u"a malformed #class line");
        }
        return true;  // #time and unknown options carry nothing the store needs
    }

    bool ValueLine(std::string_view line, std::size_t number)
    {
        RegValue value;
        std::size_t pos = 1;
        if (line[0] == '"' && !Unescape(line, pos, '"', &value.name))
            return Fail(number, u"a value name without its closing quote");
        if (pos >= line.size() || line[pos] != '=')
            return Fail(number, u"\"=\" expected after the value name");
        ++pos;
        std::string_view data = line.substr(pos);
        std::u16string text;
        if (!data.empty() && data[0] == '"') {
            value.type = RegType::Sz;
            return StringData(line, pos, number, value);
        }
        if (data.substr(0, 4) == "str(") {
            std::size_t p = 4;
            std::uint32_t type = 0;
            if (!ReadHexNumber(data, p, &type) || data.substr(p, 3) != "):\"")
                return Fail(number, u"a malformed str(N): value");
            value.type = static_cast<RegType>(type);
            return StringData(line, pos + p + 2, number, value);
        }
        if (data.substr(0, 6) == "dword:") {
            std::size_t p = 6;
            std::uint32_t v = 0;
            if (!ReadHexNumber(data, p, &v) || !OnlySpaces(data.substr(p)))
                return Fail(number, u"a malformed dword: value");
            value.type = RegType::Dword;
            value.data = DwordBytes(v);
            return Store(std::move(value));
        }
        if (data.substr(0, 3) == "hex") {
            std::size_t p = 0;
            const HexPrefix prefix = ReadHexType(data, p, &value.type);
            if (prefix == HexPrefix::BadType)
                return Fail(number, u"a malformed hex(N): value");
            if (prefix == HexPrefix::NoColon)
                return Fail(number, u"\":\" expected after hex");
            return HexData(data.substr(p), number, value);
        }
        return Fail(number, u"unrecognised value data");
    }

    bool StringData(std::string_view line, std::size_t quote, std::size_t number, RegValue& value)
    {
        std::size_t pos = quote + 1;
        std::u16string text;
        if (!Unescape(line, pos, '"', &text) || !OnlySpaces(line.substr(pos)))
            return Fail(number, u"a malformed string value");
        text += u'\0';
        AppendUtf16Bytes(text, value.data);
        return Store(std::move(value));
    }

    bool HexData(std::string_view data, std::size_t number, RegValue& value)
    {
        for (;;) {
            std::size_t i = 0;
            bool continued = false;
            while (i < data.size()) {
                while (i < data.size() && (data[i] == ' ' || data[i] == '\t'))
                    ++i;
                if (i >= data.size())
                    break;
                if (data[i] == '\\' && OnlySpaces(data.substr(i + 1))) {
                    continued = true;
                    break;
                }
                const int byte = ReadHexByte(data, i);
                if (byte < 0)
                    return Fail(m_lines.number, u"malformed hex data");
                value.data.push_back(std::uint8_t(byte));
                i += 2;
                if (i < data.size() && data[i] == ',')
                    ++i;
                else if (i < data.size() && !(data[i] == ' ' || data[i] == '\t' || data[i] == '\\'))
                    return Fail(m_lines.number, u"malformed hex data");
            }
            if (!continued)
                break;
            if (!m_lines.Next(&data))
                return Fail(number, u"hex data continues past the end of the file");
        }
        return Store(std::move(value));
    }

    bool Store(RegValue value)
    {
        auto& values = m_doc->blocks.back().values;
        for (RegValue& v : values) {
            if (EqualsIgnoreCaseAscii(v.name, value.name)) {
                v = std::move(value);
                return true;
            }
        }
        values.push_back(std::move(value));
        return true;
    }

    Lines m_lines;
    std::string_view m_bytes;
    SystemRegDocument* m_doc;
    std::u16string* m_error;
    std::size_t m_blockStart = 0;
};

}  // namespace

std::string SystemRegDocument::Text() const
{
    std::string text = header;
    for (const auto& block : blocks) {
        if (!block.removed)
            text += block.text;
    }
    return text;
}

bool ParseSystemReg(std::string_view bytes, SystemRegDocument* document, std::u16string* error)
{
    SystemRegDocument parsed;
    Parser parser(bytes, &parsed, error);
    if (!parser.Run())
        return false;
    *document = std::move(parsed);
    return true;
}

void BuildTree(const SystemRegDocument& document, RegKey& root)
{
    for (std::size_t i = 0; i < document.blocks.size(); ++i) {
        const SystemRegBlock& block = document.blocks[i];
        if (block.removed)
            continue;
        RegKey* key = &root;
        for (const auto& part : block.path)
            key = &key->AddChild(part);
        key->blocks.push_back(i);
        key->isLink = key->isLink || block.link;
        if (!block.className.empty())
            key->className = block.className;
        for (const RegValue& v : block.values)
            key->SetValue(v);
    }
}

std::string EscapeWineString(std::u16string_view text, std::string_view also)
{
    static constexpr char kEscapes[33] = ".......abtnvfr.............e....";
    std::string out;
    char buf[16];
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        const bool more = i + 1 < text.size();
        const char16_t next = more ? text[i + 1] : 0;
        if (c > 127) {
            const bool hexNext = more && next < 128 && HexDigitValue(static_cast<unsigned char>(next)) >= 0;
            std::snprintf(buf, sizeof buf, hexNext ? "\\x%04x" : "\\x%x", unsigned(c));
            out += buf;
        } else if (c < 32) {
            if (kEscapes[c] != '.') {
                out += '\\';
                out += kEscapes[c];
            } else {
                const bool octalNext = more && next >= u'0' && next <= u'7';
                std::snprintf(buf, sizeof buf, octalNext ? "\\%03o" : "\\%o", unsigned(c));
                out += buf;
            }
        } else {
            if (c == u'\\' || also.find(char(c)) != std::string_view::npos)
                out += '\\';
            out += char(c);
        }
    }
    return out;
}

std::string FormatKeyHeader(const std::vector<std::u16string>& path, long long unixSeconds)
{
    std::string line = "[";
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (i)
            line += "\\\\";
        line += EscapeWineString(path[i], "[]");
    }
    // FILETIME: 100 ns ticks since 1601.
    const unsigned long long ticks = (static_cast<unsigned long long>(unixSeconds) + 11644473600ULL) * 10000000ULL;
    char buf[64];
    std::snprintf(buf, sizeof buf, "] %lld\n#time=%llx\n", unixSeconds, ticks);
    return line + buf;
}

std::string FormatValueLine(const RegValue& v)
{
    std::string line = v.name.empty() ? std::string("@") : "\"" + EscapeWineString(v.name, "\"") + "\"";
    line += '=';
    const bool stringType = v.type == RegType::Sz || v.type == RegType::ExpandSz || v.type == RegType::MultiSz;
    if (stringType && v.data.size() >= 2 && v.data.size() % 2 == 0 && v.data[v.data.size() - 1] == 0
        && v.data[v.data.size() - 2] == 0) {
        std::u16string text(v.data.size() / 2 - 1, u'\0');
        for (std::size_t i = 0; i < text.size(); ++i)
            text[i] = char16_t(v.data[2 * i] | (v.data[2 * i + 1] << 8));
        if (v.type != RegType::Sz) {
            char buf[24];
            std::snprintf(buf, sizeof buf, "str(%x):", unsigned(v.type));
            line += buf;
        }
        return line + "\"" + EscapeWineString(text, "\"") + "\"\n";
    }
    if (const std::string dword = DwordText(v); !dword.empty())
        return line + dword + "\n";
    return line + HexText(v, line.size(), "\n") + "\n";
}

std::string FormatKeyBlock(const std::vector<std::u16string>& path, const std::vector<RegValue>& values,
                           long long unixSeconds)
{
    std::string block = "\n" + FormatKeyHeader(path, unixSeconds);
    for (const RegValue& v : values)
        block += FormatValueLine(v);
    return block;
}

}  // namespace quelvo::regfile
