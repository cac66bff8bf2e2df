#include "platform/files/RegExport.h"

#include "platform/Text.h"
#include "platform/NameCase.h"
#include "platform/files/SystemRegFile.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

namespace quelvo::platform::files {

namespace {

constexpr std::u16string_view kHeader = u"Windows Registry Editor Version 5.00\r\n\r\n";

std::u16string Ascii(std::string_view text) { return std::u16string(text.begin(), text.end()); }

std::u16string Hex2(unsigned v)
{
    char buf[4];
    std::snprintf(buf, sizeof buf, "%02x", v & 0xFF);
    return Ascii(buf);
}

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
    if (v.type == RegType::Dword && v.data.size() == 4) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "dword:%08x",
                      unsigned(v.data[0] | (v.data[1] << 8) | (v.data[2] << 16)) | (unsigned(v.data[3]) << 24));
        return line + Ascii(buf);
    }
    if (v.type == RegType::Binary) {
        line += u"hex:";
    } else {
        char buf[24];
        std::snprintf(buf, sizeof buf, "hex(%x):", unsigned(v.type));
        line += Ascii(buf);
    }
    // regedit wraps hex data at about 80 columns with "\" and two spaces.
    std::size_t column = line.size();
    for (std::size_t i = 0; i < v.data.size(); ++i) {
        line += Hex2(v.data[i]);
        column += 2;
        if (i + 1 < v.data.size()) {
            line += u',';
            ++column;
            if (column > 76) {
                line += u"\\\r\n  ";
                column = 2;
            }
        }
    }
    return line;
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

std::u16string DecodeTextFile(std::string_view bytes)
{
    auto u16 = [&](bool little) {
        std::u16string out;
        for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
            const auto a = static_cast<unsigned char>(bytes[i]);
            const auto b = static_cast<unsigned char>(bytes[i + 1]);
            out += char16_t(little ? (a | (b << 8)) : ((a << 8) | b));
        }
        return out;
    };
    if (bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE')
        return u16(true);
    if (bytes.size() >= 2 && bytes[0] == '\xFE' && bytes[1] == '\xFF')
        return u16(false);
    if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF")
        bytes.remove_prefix(3);
    return FromUtf8(bytes);
}

namespace {

struct LineReader {
    std::u16string_view text;
    std::size_t pos = 0;
    std::size_t number = 0;

    bool Next(std::u16string_view* line)
    {
        if (pos >= text.size())
            return false;
        std::size_t end = text.find(u'\n', pos);
        if (end == std::u16string_view::npos)
            end = text.size();
        std::u16string_view l = text.substr(pos, end - pos);
        if (!l.empty() && l.back() == u'\r')
            l.remove_suffix(1);
        pos = end + 1;
        ++number;
        *line = l;
        return true;
    }
};

// Reads a quoted string starting at text[pos] == '"'; pos ends after the quote.
bool ReadQuoted(std::u16string_view text, std::size_t& pos, std::u16string* out)
{
    if (pos >= text.size() || text[pos] != u'"')
        return false;
    ++pos;
    while (pos < text.size()) {
        char16_t c = text[pos++];
        if (c == u'"')
            return true;
        if (c == u'\\' && pos < text.size()) {
            c = text[pos++];
            if (c == u'n')
                c = u'\n';
            else if (c == u'r')
                c = u'\r';
            else if (c == u'0')
                c = u'\0';
        }
        *out += c;
    }
    return false;
}

bool ParseHexBytes(std::u16string_view text, std::vector<std::uint8_t>* out)
{
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && (text[i] == u' ' || text[i] == u'\t'))
            ++i;
        if (i == text.size())
            break;
        const int hi = HexDigitValue(text[i]);
        const int lo = i + 1 < text.size() ? HexDigitValue(text[i + 1]) : -1;
        if (hi < 0 || lo < 0)
            return false;
        out->push_back(std::uint8_t(hi * 16 + lo));
        i += 2;
        while (i < text.size() && (text[i] == u' ' || text[i] == u'\t'))
            ++i;
        if (i < text.size()) {
            if (text[i] != u',')
                return false;
            ++i;
        }
    }
    return true;
}

std::u16string LineError(std::size_t line, std::u16string_view what)
{
    return u"line " + IntToText(static_cast<long long>(line)) + u": " + std::u16string(what);
}

}  // namespace

namespace {

// A key of an export as the file lists it: its path below
// HKEY_LOCAL_MACHINE as written, the line naming it, and its values.
struct Section {
    std::u16string_view path;
    std::size_t line = 0;
    std::vector<RegValue> values;
};

// The next non-empty component of a path ("A\\B" has two), or false.
bool NextComponent(std::u16string_view path, std::size_t& pos, std::u16string_view* part)
{
    while (pos < path.size() && path[pos] == u'\\')
        ++pos;
    if (pos >= path.size())
        return false;
    std::size_t end = path.find(u'\\', pos);
    if (end == std::u16string_view::npos)
        end = path.size();
    *part = path.substr(pos, end - pos);
    pos = end;
    return true;
}

// Registry order of two paths: component by component, as sub-keys sort.
bool PathLess(std::u16string_view a, std::u16string_view b)
{
    // Paths of one export share long prefixes: start with the component
    // where they first differ.
    const auto differ = std::mismatch(a.begin(), a.begin() + std::ptrdiff_t(std::min(a.size(), b.size())), b.begin());
    const std::size_t p = std::size_t(differ.first - a.begin());
    if (p == a.size() && p == b.size())
        return false;
    const std::size_t slash = a.substr(0, p).rfind(u'\\');
    const std::size_t start = slash == std::u16string_view::npos ? 0 : slash + 1;
    a.remove_prefix(start);
    b.remove_prefix(start);
    std::size_t i = 0, j = 0;
    std::u16string_view x, y;
    for (;;) {
        const bool hasX = NextComponent(a, i, &x);
        const bool hasY = NextComponent(b, j, &y);
        if (!hasX || !hasY)
            return !hasX && hasY;
        if (const int order = CompareNames(x, y))
            return order < 0;
    }
}

// Values as SetValue leaves them when set one after another: a name given
// again replaces the earlier value in its place.
std::vector<RegValue> MergeSameNames(std::vector<RegValue> values)
{
    if (values.size() < 2)
        return values;
    std::vector<std::size_t> byName(values.size());
    for (std::size_t i = 0; i < byName.size(); ++i)
        byName[i] = i;
    std::stable_sort(byName.begin(), byName.end(),
                     [&](std::size_t a, std::size_t b) { return KeyNameLess(values[a].name, values[b].name); });
    std::vector<bool> keep(values.size(), true);
    for (std::size_t at = 0; at < byName.size();) {
        std::size_t end = at + 1;
        while (end < byName.size() && NamesEqual(values[byName[at]].name, values[byName[end]].name))
            ++end;
        if (end - at > 1) {
            values[byName[at]] = std::move(values[byName[end - 1]]);
            for (std::size_t i = at + 1; i < end; ++i)
                keep[byName[i]] = false;
        }
        at = end;
    }
    std::vector<RegValue> merged;
    merged.reserve(values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (keep[i])
            merged.push_back(std::move(values[i]));
    }
    return merged;
}

}  // namespace

bool ImportRegFile(std::u16string_view text, RegKey& machineRoot, std::u16string* error,
                   std::vector<RegKey*>* listed)
{
    std::u16string ignored;
    if (!error)
        error = &ignored;
    LineReader reader{text};
    std::u16string_view line;
    if (!reader.Next(&line) || (line != u"Windows Registry Editor Version 5.00" && line != u"REGEDIT4")) {
        *error = LineError(1, u"not a registry export (no \"Windows Registry Editor Version 5.00\")");
        return false;
    }
    // First every line is read into sections, so that a malformed line
    // leaves the tree alone; then the keys are made in registry order, each
    // added at the end of its parent's sub-keys, whatever order the file has.
    std::vector<Section> sections;
    Section* key = nullptr;
    while (reader.Next(&line)) {
        const std::size_t lineNumber = reader.number;
        if (line.empty() || line[0] == u';')
            continue;
        if (line[0] == u'[') {
            if (line.back() != u']') {
                *error = LineError(lineNumber, u"key line without \"]\"");
                return false;
            }
            std::u16string_view path = line.substr(1, line.size() - 2);
            key = nullptr;
            if (!path.empty() && path[0] == u'-')
                continue;  // a deletion: nothing to restore
            bool machine = false;
            for (std::u16string_view root : {std::u16string_view(u"HKEY_LOCAL_MACHINE"), std::u16string_view(u"HKLM")}) {
                if (path.size() >= root.size() && EqualsIgnoreCaseAscii(path.substr(0, root.size()), root)
                    && (path.size() == root.size() || path[root.size()] == u'\\')) {
                    machine = true;
                    path.remove_prefix(root.size());
                    break;
                }
            }
            if (!machine) {
                *error = LineError(lineNumber, u"only HKEY_LOCAL_MACHINE keys can be restored");
                return false;
            }
            std::size_t depth = 0, pos = 0;
            std::u16string_view part;
            while (NextComponent(path, pos, &part))
                ++depth;
            if (depth > kMaxKeyDepth) {
                *error = LineError(lineNumber, u"a key path deeper than 512 levels");
                return false;
            }
            key = &sections.emplace_back(Section{path, lineNumber, {}});
            continue;
        }
        if (line[0] != u'@' && line[0] != u'"') {
            *error = LineError(lineNumber, u"unrecognised line");
            return false;
        }
        if (!key) {
            *error = LineError(lineNumber, u"value outside a key");
            return false;
        }
        RegValue value;
        std::size_t pos = 0;
        if (line[0] == u'@') {
            pos = 1;
        } else if (!ReadQuoted(line, pos, &value.name)) {
            *error = LineError(lineNumber, u"unterminated value name");
            return false;
        }
        if (pos >= line.size() || line[pos] != u'=') {
            *error = LineError(lineNumber, u"\"=\" expected after the value name");
            return false;
        }
        ++pos;
        std::u16string_view data = line.substr(pos);
        if (data == u"-")
            continue;
        if (!data.empty() && data[0] == u'"') {
            std::u16string str;
            std::size_t p = 0;
            if (!ReadQuoted(data, p, &str) || p != data.size()) {
                *error = LineError(lineNumber, u"malformed string");
                return false;
            }
            value.type = RegType::Sz;
            str += u'\0';
            for (char16_t c : str) {
                value.data.push_back(std::uint8_t(c & 0xFF));
                value.data.push_back(std::uint8_t(c >> 8));
            }
        } else if (data.substr(0, 6) == u"dword:") {
            std::uint32_t v = 0;
            data.remove_prefix(6);
            if (data.empty() || data.size() > 8) {
                *error = LineError(lineNumber, u"malformed dword");
                return false;
            }
            for (char16_t c : data) {
                const int d = HexDigitValue(c);
                if (d < 0) {
                    *error = LineError(lineNumber, u"malformed dword");
                    return false;
                }
                v = v * 16 + std::uint32_t(d);
            }
            value.type = RegType::Dword;
            value.data = {std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16), std::uint8_t(v >> 24)};
        } else if (data.substr(0, 3) == u"hex") {
            std::size_t p = 3;
            std::uint32_t type = 3;
            if (p < data.size() && data[p] == u'(') {
                type = 0;
                ++p;
                std::size_t digits = 0;
                while (p < data.size() && HexDigitValue(data[p]) >= 0 && digits < 8) {
                    type = type * 16 + std::uint32_t(HexDigitValue(data[p++]));
                    ++digits;
                }
                if (!digits || p >= data.size() || data[p] != u')') {
                    *error = LineError(lineNumber, u"malformed hex type");
                    return false;
                }
                ++p;
            }
            if (p >= data.size() || data[p] != u':') {
                *error = LineError(lineNumber, u"\":\" expected after hex");
                return false;
            }
            std::u16string bytes(data.substr(p + 1));
            while (!bytes.empty() && bytes.back() == u'\\') {
                bytes.pop_back();
                std::u16string_view more;
                if (!reader.Next(&more))
                    break;
                bytes += more;
            }
            value.type = static_cast<RegType>(type);
            if (!ParseHexBytes(bytes, &value.data)) {
                *error = LineError(lineNumber, u"malformed hex data");
                return false;
            }
        } else {
            *error = LineError(lineNumber, u"unrecognised value data");
            return false;
        }
        key->values.push_back(std::move(value));
    }

    std::vector<std::size_t> order(sections.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    // Stable: a key listed twice gets its values in file order.
    const auto less = [&](std::size_t a, std::size_t b) { return PathLess(sections[a].path, sections[b].path); };
    if (!std::is_sorted(order.begin(), order.end(), less))
        std::stable_sort(order.begin(), order.end(), less);
    if (listed)
        listed->assign(sections.size(), nullptr);
    for (std::size_t at = 0; at < order.size();) {
        // A key listed more than once gets the values of every listing.
        std::size_t end = at + 1;
        while (end < order.size() && !PathLess(sections[order[at]].path, sections[order[end]].path))
            ++end;
        RegKey* made = &machineRoot;
        std::size_t pos = 0;
        std::u16string_view part;
        while (NextComponent(sections[order[at]].path, pos, &part))
            made = &made->AddChild(part);
        std::vector<RegValue> values(made->Values());
        for (std::size_t i = at; i < end; ++i) {
            Section& section = sections[order[i]];
            std::move(section.values.begin(), section.values.end(), std::back_inserter(values));
            section.values = {};
            if (listed)
                (*listed)[order[i]] = made;
        }
        made->ReplaceValues(MergeSameNames(std::move(values)));
        at = end;
    }
    return true;
}

}  // namespace quelvo::platform::files
