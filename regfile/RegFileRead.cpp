#include "regfile/RegFileRead.h"

#include "platform/NameCase.h"
#include "platform/Text.h"
#include "regfile/SystemRegFile.h"
#include "regfile/ValueText.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

namespace quelvo::regfile {

using namespace platform;


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
        const int byte = ReadHexByte(text, i);
        if (byte < 0)
            return false;
        out->push_back(std::uint8_t(byte));
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

// Reads an export's lines into sections before any key is made, so that a
// malformed line leaves the tree alone. One function per kind of line.
class ExportReader {
public:
    ExportReader(std::u16string_view text, std::u16string* error) : m_reader{text}, m_error(error) {}

    bool Read(std::vector<Section>* sections)
    {
        std::u16string_view line;
        if (!m_reader.Next(&line) || (line != u"Windows Registry Editor Version 5.00" && line != u"REGEDIT4"))
            return Fail(1, u"not a registry export (no \"Windows Registry Editor Version 5.00\")");
        m_sections = sections;
        while (m_reader.Next(&line)) {
            if (line.empty() || line[0] == u';')
                continue;
            const bool read = line[0] == u'[' ? KeyLine(line) : ValueLine(line);
            if (!read)
                return false;
        }
        return true;
    }

private:
    bool Fail(std::size_t line, std::u16string_view what)
    {
        *m_error = LineError(line, what);
        return false;
    }

    // "[HKEY_LOCAL_MACHINE\path]" starts a section; "[-...]" (a deletion)
    // starts none, so that values after it are refused.
    bool KeyLine(std::u16string_view line)
    {
        const std::size_t number = m_reader.number;
        if (line.back() != u']')
            return Fail(number, u"key line without \"]\"");
        std::u16string_view path = line.substr(1, line.size() - 2);
        m_key = nullptr;
        if (!path.empty() && path[0] == u'-')
            return true;
        bool machine = false;
        for (std::u16string_view root : {std::u16string_view(u"HKEY_LOCAL_MACHINE"), std::u16string_view(u"HKLM")}) {
            if (path.size() >= root.size() && EqualsIgnoreCaseAscii(path.substr(0, root.size()), root)
                && (path.size() == root.size() || path[root.size()] == u'\\')) {
                machine = true;
                path.remove_prefix(root.size());
                break;
            }
        }
        if (!machine)
            return Fail(number, u"only HKEY_LOCAL_MACHINE keys can be restored");
        std::size_t depth = 0, pos = 0;
        std::u16string_view part;
        while (NextComponent(path, pos, &part))
            ++depth;
        if (depth > kMaxKeyDepth)
            return Fail(number, u"a key path deeper than 512 levels");
        m_key = &m_sections->emplace_back(Section{path, number, {}});
        return true;
    }

    // @=data or "name"=data; "=-" (a value's deletion) adds nothing.
    bool ValueLine(std::u16string_view line)
    {
        const std::size_t number = m_reader.number;
        if (line[0] != u'@' && line[0] != u'"')
            return Fail(number, u"unrecognised line");
        if (!m_key)
            return Fail(number, u"value outside a key");
        RegValue value;
        std::size_t pos = 0;
        if (line[0] == u'@')
            pos = 1;
        else if (!ReadQuoted(line, pos, &value.name))
            return Fail(number, u"unterminated value name");
        if (pos >= line.size() || line[pos] != u'=')
            return Fail(number, u"\"=\" expected after the value name");
        const std::u16string_view data = line.substr(pos + 1);
        if (data == u"-")
            return true;
        const char16_t* what = nullptr;
        if (!ValueData(data, &value, &what))
            return Fail(number, what);
        m_key->values.push_back(std::move(value));
        return true;
    }

    bool ValueData(std::u16string_view data, RegValue* value, const char16_t** what)
    {
        if (!data.empty() && data[0] == u'"')
            return StringData(data, value, what);
        if (data.substr(0, 6) == u"dword:") {
            std::size_t p = 6;
            std::uint32_t v = 0;
            *what = u"malformed dword";
            if (!ReadHexNumber(data, p, &v) || p != data.size())
                return false;
            value->type = RegType::Dword;
            value->data = DwordBytes(v);
            return true;
        }
        if (data.substr(0, 3) == u"hex")
            return HexData(data, value, what);
        *what = u"unrecognised value data";
        return false;
    }

    static bool StringData(std::u16string_view data, RegValue* value, const char16_t** what)
    {
        std::u16string text;
        std::size_t p = 0;
        if (!ReadQuoted(data, p, &text) || p != data.size()) {
            *what = u"malformed string";
            return false;
        }
        value->type = RegType::Sz;
        text += u'\0';
        for (char16_t c : text) {
            value->data.push_back(std::uint8_t(c & 0xFF));
            value->data.push_back(std::uint8_t(c >> 8));
        }
        return true;
    }

    // hex(N):bytes, continued on the next lines after a trailing "\".
    bool HexData(std::u16string_view data, RegValue* value, const char16_t** what)
    {
        std::size_t p = 0;
        if (const HexPrefix prefix = ReadHexType(data, p, &value->type); prefix != HexPrefix::Read) {
            *what = prefix == HexPrefix::BadType ? u"malformed hex type" : u"\":\" expected after hex";
            return false;
        }
        std::u16string bytes(data.substr(p));
        while (!bytes.empty() && bytes.back() == u'\\') {
            bytes.pop_back();
            std::u16string_view more;
            if (!m_reader.Next(&more))
                break;
            bytes += more;
        }
        *what = u"malformed hex data";
        return ParseHexBytes(bytes, &value->data);
    }

    LineReader m_reader;
    std::u16string* m_error;
    std::vector<Section>* m_sections = nullptr;
    Section* m_key = nullptr;
};

// Makes the sections' keys in registry order, each added at the end of its
// parent's sub-keys, whatever order the file has; a key listed more than
// once gets the values of every listing.
void MakeKeys(std::vector<Section>& sections, RegKey& machineRoot, std::vector<RegKey*>* listed)
{
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
}

}  // namespace

bool ImportRegFile(std::u16string_view text, RegKey& machineRoot, std::u16string* error,
                   std::vector<RegKey*>* listed)
{
    std::u16string ignored;
    std::vector<Section> sections;
    if (!ExportReader(text, error ? error : &ignored).Read(&sections))
        return false;
    MakeKeys(sections, machineRoot, listed);
    return true;
}


// The strict reading of a backup.

namespace {

constexpr std::u16string_view kMachine = u"HKEY_LOCAL_MACHINE";
constexpr std::u16string_view kClasses = u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes";

std::u16string LineText(std::size_t line) { return u"line " + IntToText(static_cast<long long>(line)) + u": "; }

bool StartsWithLine(std::u16string_view text, std::u16string_view first)
{
    if (text.substr(0, first.size()) != first)
        return false;
    return text.size() == first.size() || text[first.size()] == u'\r' || text[first.size()] == u'\n';
}

// What a backup may hold, line by line, before the importer reads it.
bool CheckBackupLines(std::u16string_view text, std::u16string* error)
{
    std::size_t pos = 0;
    std::size_t number = 0;
    bool continued = false;  // the previous line was hex data ending with "\"
    while (pos < text.size()) {
        std::size_t end = text.find(u'\n', pos);
        if (end == std::u16string_view::npos)
            end = text.size();
        std::u16string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        ++number;
        if (!line.empty() && line.back() == u'\r')
            line.remove_suffix(1);
        if (continued) {
            if (TrimBlanks(line).empty()) {
                *error = LineText(number) + u"the hex data of the value above breaks off: the file is cut short.";
                return false;
            }
            continued = line.back() == u'\\';
            continue;
        }
        if (line.empty() || line[0] == u';')
            continue;
        if (line[0] == u'[') {
            if (line.size() < 2 || line.back() != u']')
                continue;  // the importer names it
            std::u16string_view path = line.substr(1, line.size() - 2);
            if (!path.empty() && path[0] == u'-') {
                *error = LineText(number) + u"it removes the key " + std::u16string(path.substr(1))
                    + u"; a backup only adds keys back, so nothing is restored from this file.";
                return false;
            }
            const std::vector<std::u16string> parts = SplitKeyPath(path);
            const bool inside = parts.size() >= 4
                && (EqualsIgnoreCaseAscii(parts[0], kMachine) || EqualsIgnoreCaseAscii(parts[0], u"HKLM"))
                && EqualsIgnoreCaseAscii(parts[1], u"SOFTWARE") && EqualsIgnoreCaseAscii(parts[2], u"Classes");
            if (!inside) {
                *error = LineText(number) + u"the key " + std::u16string(path) + u" is outside "
                    + std::u16string(kClasses) + u"; nothing is restored from this file.";
                return false;
            }
            for (const auto& part : parts) {
                if (part.size() > kMaxKeyNameLength) {
                    *error = LineText(number) + u"a key name longer than 255 characters.";
                    return false;
                }
            }
            continue;
        }
        if (line[0] == u'"' || line[0] == u'@') {
            if (line.size() >= 2 && line.substr(line.size() - 2) == u"=-") {
                *error = LineText(number)
                    + u"it removes a value; a backup only adds keys back, so nothing is restored from this file.";
                return false;
            }
            // Hex data is the only value form continued on the next line.
            const std::size_t equals = line.find(u"=hex");
            continued = equals != std::u16string_view::npos && line.back() == u'\\';
        }
    }
    if (continued) {
        *error = u"the hex data of the last value breaks off: the file is cut short.";
        return false;
    }
    return true;
}

std::u16string HexCode(unsigned value, int digits)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%0*X", digits, value);
    return FromUtf8(buf);
}

// The code point of the UTF-8 sequence (of two bytes or more) at bytes[i],
// and its length; 0 when it is not valid UTF-8 (a stray or missing
// continuation byte, an overlong form, an encoded surrogate, a code point
// above U+10FFFF).
std::size_t Utf8SequenceAt(std::string_view bytes, std::size_t i, char32_t* cp)
{
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(bytes[k]); };
    const unsigned char b0 = byte(i);
    const int extra = b0 >= 0xC2 && b0 <= 0xDF ? 1 : b0 >= 0xE0 && b0 <= 0xEF ? 2 : b0 >= 0xF0 && b0 <= 0xF4 ? 3 : 0;
    if (!extra)
        return 0;
    *cp = b0 & (0x3F >> extra);
    for (int k = 1; k <= extra; ++k) {
        const std::size_t at = i + static_cast<std::size_t>(k);
        if (at >= bytes.size() || (byte(at) & 0xC0) != 0x80)
            return 0;
        *cp = (*cp << 6) | (byte(at) & 0x3F);
    }
    if ((extra == 2 && (*cp < 0x800 || (*cp >= 0xD800 && *cp <= 0xDFFF))) || (extra == 3 && (*cp < 0x10000 || *cp > 0x10FFFF)))
        return 0;
    return static_cast<std::size_t>(extra) + 1;
}

// The backup's text, decoded strictly: UTF-16 (little or big endian, by its
// byte-order mark) whose surrogates come in pairs, or UTF-8 (mark optional)
// without overlong forms, encoded surrogates or code points above
// U+10FFFF. On the first fault, false with the line it is on; *text then
// holds what came before it.
bool DecodeStrictly(std::string_view bytes, std::u16string* text, std::u16string* error)
{
    std::size_t line = 1;
    auto fault = [&](std::u16string what) {
        *error = LineText(line) + what + u".";
        return false;
    };
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    text->clear();
    const bool little = bytes.size() >= 2 && byte(0) == 0xFF && byte(1) == 0xFE;
    const bool big = bytes.size() >= 2 && byte(0) == 0xFE && byte(1) == 0xFF;
    if (little || big) {
        text->reserve(bytes.size() / 2);
        for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
            const char16_t c = little ? char16_t(byte(i) | (byte(i + 1) << 8)) : char16_t((byte(i) << 8) | byte(i + 1));
            if (c >= 0xD800 && c <= 0xDBFF) {
                const std::size_t j = i + 2;
                const char16_t next = j + 1 < bytes.size()
                    ? (little ? char16_t(byte(j) | (byte(j + 1) << 8)) : char16_t((byte(j) << 8) | byte(j + 1)))
                    : char16_t(0);
                if (next < 0xDC00 || next > 0xDFFF)
                    return fault(u"a lone UTF-16 surrogate (U+" + HexCode(c, 4) + u"): the file is not text");
                *text += c;
                *text += next;
                i = j;
                continue;
            }
            if (c >= 0xDC00 && c <= 0xDFFF)
                return fault(u"a lone UTF-16 surrogate (U+" + HexCode(c, 4) + u"): the file is not text");
            if (c == u'\n')
                ++line;
            *text += c;
        }
        if (bytes.size() % 2)
            return fault(u"the file is cut short: it ends in the middle of a UTF-16 character");
        return true;
    }
    std::size_t i = bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
    text->reserve(bytes.size() - i);
    while (i < bytes.size()) {
        const unsigned char b0 = byte(i);
        if (b0 < 0x80) {
            if (b0 == '\n')
                ++line;
            *text += char16_t(b0);
            ++i;
            continue;
        }
        char32_t cp = 0;
        const std::size_t length = Utf8SequenceAt(bytes, i, &cp);
        if (!length)
            return fault(u"bytes that are not valid UTF-8 (0x" + HexCode(b0, 2) + u" at byte "
                         + IntToText(static_cast<long long>(i)) + u"): the file is not UTF-8 text");
        if (cp >= 0x10000) {
            cp -= 0x10000;
            *text += char16_t(0xD800 + (cp >> 10));
            *text += char16_t(0xDC00 + (cp & 0x3FF));
        } else {
            *text += char16_t(cp);
        }
        i += length;
    }
    return true;
}

constexpr std::u16string_view kNotAnExport =
    u"not a registry export (.reg file): it does not start with \"Windows Registry Editor Version 5.00\".";

bool IsExportStart(std::u16string_view text)
{
    return StartsWithLine(text, u"Windows Registry Editor Version 5.00") || StartsWithLine(text, u"REGEDIT4");
}

}  // namespace

// The checks and the import of a decoded backup.
bool ReadRegBackupText(std::u16string_view text, RegBackupContents* backup, std::u16string* error)
{
    if (text.find(u'\0') != std::u16string::npos) {
        *error = u"the file holds NUL characters: it is damaged or cut short.";
        return false;
    }
    std::u16string_view rest = text;
    if (rest.empty() || rest.back() != u'\n') {
        *error = u"the file is cut short: its last line has no line end.";
        return false;
    }
    rest.remove_suffix(1);
    if (!rest.empty() && rest.back() == u'\r')
        rest.remove_suffix(1);
    if (rest.empty() || rest.back() != u'\n') {
        *error = u"the file is cut short: it does not end with the blank line that closes every key.";
        return false;
    }
    if (!CheckBackupLines(text, error))
        return false;
    RegBackupContents read;
    read.root = std::make_unique<RegKey>(u"", nullptr, nullptr);
    read.root->MarkLoaded();
    std::u16string importError;
    if (!ImportRegFile(text, *read.root, &importError, &read.keys)) {
        *error = importError;
        return false;
    }
    *backup = std::move(read);
    return true;
}

bool DecodeRegBackup(std::string_view bytes, std::u16string* text, std::u16string* error)
{
    std::u16string decodeError;
    const bool decoded = DecodeStrictly(bytes, text, &decodeError);
    // What does not even start as an export is named as such first.
    if (!IsExportStart(*text)) {
        *error = kNotAnExport;
        return false;
    }
    if (!decoded)
        *error = decodeError;
    return decoded;
}

bool ReadRegBackup(std::string_view bytes, RegBackupContents* backup, std::u16string* error)
{
    std::u16string text;
    return DecodeRegBackup(bytes, &text, error) && ReadRegBackupText(text, backup, error);
}

std::string PrintableText(std::string_view utf8)
{
    std::string out;
    out.reserve(utf8.size());
    char buf[16];
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto b0 = static_cast<unsigned char>(utf8[i]);
        char32_t cp = b0;
        const std::size_t length = b0 < 0x80 ? 1 : Utf8SequenceAt(utf8, i, &cp);
        if (!length) {
            std::snprintf(buf, sizeof buf, "\\x%02x", b0);  // a byte that is not UTF-8
            out += buf;
            ++i;
            continue;
        }
        const bool control = cp < 0x20 || cp == 0x7F || (cp >= 0x80 && cp <= 0x9F);
        const bool reorders = (cp >= 0x202A && cp <= 0x202E) || (cp >= 0x2066 && cp <= 0x2069) || cp == 0x200E
            || cp == 0x200F || cp == 0x061C;
        if (control) {
            std::snprintf(buf, sizeof buf, "\\x%02x", unsigned(cp));
            out += buf;
        } else if (reorders) {
            std::snprintf(buf, sizeof buf, "\\u%04x", unsigned(cp));
            out += buf;
        } else {
            out.append(utf8.substr(i, length));
        }
        i += length;
    }
    return out;
}

std::string PrintableText(std::u16string_view text) { return PrintableText(ToUtf8(text)); }

}  // namespace quelvo::regfile
