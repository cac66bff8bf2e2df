#include "platform/files/RestorePlan.h"

#include "platform/Text.h"
#include "platform/files/FileIo.h"
#include "platform/files/RegExport.h"
#include "platform/files/SystemRegFile.h"

#include <algorithm>
#include <cstdio>
#include <unordered_set>

namespace quelvo::platform::files {

namespace restore {

namespace {

std::u16string Join(const std::vector<std::u16string>& parts)
{
    std::u16string out;
    for (const auto& part : parts) {
        if (!out.empty())
            out += u'\\';
        out += part;
    }
    return out;
}

}  // namespace

std::u16string ShownKeyPath(const std::vector<std::u16string>& parts) { return u"HKEY_LOCAL_MACHINE\\" + Join(parts); }

std::u16string LowerKeyPath(const std::vector<std::u16string>& parts) { return ToLowerAscii(Join(parts)); }

std::vector<std::u16string> NewKey::Path() const
{
    std::vector<std::u16string> parts = existing->PathComponents();
    std::vector<std::u16string> shown = source->PathComponents();
    parts.insert(parts.end(), std::make_move_iterator(shown.begin() + static_cast<std::ptrdiff_t>(parts.size())),
                 std::make_move_iterator(shown.end()));
    return parts;
}

}  // namespace restore

using namespace restore;

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

// Matches the backup's tree against the target's. Keys missing from the
// target are planned in parents-first order; listed keys that exist are
// reported as kept.
class Planner {
public:
    Planner(const RegBackupContents& backup, RestoreResult* result)
        : m_result(result), m_listed(backup.keys.begin(), backup.keys.end())
    {
    }

    bool Plan(RegKey& backupRoot, RegKey& targetRoot, std::vector<NewKey>* add)
    {
        m_add = add;
        return Walk(backupRoot, &targetRoot, &targetRoot, 0);
    }

private:
    // `into`: the target's key matching `from`, if it has one; `deepest`:
    // the deepest of `from` and its ancestors the target has.
    bool Walk(RegKey& from, RegKey* into, RegKey* deepest, std::size_t depth)
    {
        for (const auto& child : from.Children()) {
            RegKey* existing = into ? into->Child(child->Name()) : nullptr;
            if (!existing && depth < 2) {
                m_result->error = u"The target has no " + ShownKeyPath(child->PathComponents())
                    + u", so the backup does not fit it; nothing was written.";
                return false;
            }
            if (existing && existing->isLink && !child->Children().empty()) {
                m_result->error = u"In the target, " + ShownKeyPath(existing->PathComponents())
                    + u" is a symbolic link; keys below it are not restored through it, so nothing was written.";
                return false;
            }
            if (existing) {
                if (depth >= 2 && m_listed.count(child.get()))
                    m_result->kept.push_back(ShownKeyPath(child->PathComponents()));
            } else {
                m_add->push_back({child.get(), deepest});
            }
            if (!Walk(*child, existing, existing ? existing : deepest, depth + 1))
                return false;
        }
        return true;
    }

    RestoreResult* m_result;
    std::unordered_set<const RegKey*> m_listed;
    std::vector<NewKey>* m_add = nullptr;
};

bool PathLess(const std::vector<std::u16string>& a, const std::vector<std::u16string>& b)
{
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](const std::u16string& x, const std::u16string& y) { return KeyNameLess(x, y); });
}

// A value line as wineserver writes it.
std::string WineValueLine(const RegValue& v)
{
    std::string line = v.name.empty() ? std::string("@") : "\"" + EscapeWineString(v.name, "\"") + "\"";
    line += '=';
    const bool stringType = v.type == RegType::Sz || v.type == RegType::ExpandSz || v.type == RegType::MultiSz;
    if (stringType && v.data.size() >= 2 && v.data.size() % 2 == 0 && v.data[v.data.size() - 1] == 0
        && v.data[v.data.size() - 2] == 0) {
        std::u16string text(v.data.size() / 2 - 1, u'\0');
        for (std::size_t i = 0; i < text.size(); ++i)
            text[i] = char16_t(v.data[2 * i] | (v.data[2 * i + 1] << 8));
        char buf[24];
        if (v.type != RegType::Sz) {
            std::snprintf(buf, sizeof buf, "str(%x):", unsigned(v.type));
            line += buf;
        }
        return line + "\"" + EscapeWineString(text, "\"") + "\"\n";
    }
    char buf[24];
    if (v.type == RegType::Dword && v.data.size() == 4) {
        std::snprintf(buf, sizeof buf, "dword:%08x",
                      unsigned(v.data[0] | (v.data[1] << 8) | (v.data[2] << 16)) | (unsigned(v.data[3]) << 24));
        return line + buf + "\n";
    }
    if (v.type == RegType::Binary)
        std::snprintf(buf, sizeof buf, "hex:");
    else
        std::snprintf(buf, sizeof buf, "hex(%x):", unsigned(v.type));
    line += buf;
    std::size_t count = line.size();
    for (std::size_t i = 0; i < v.data.size(); ++i) {
        std::snprintf(buf, sizeof buf, "%02x", unsigned(v.data[i]));
        line += buf;
        count += 2;
        if (i + 1 < v.data.size()) {
            line += ',';
            if (++count > 76) {
                line += "\\\n  ";
                count = 2;
            }
        }
    }
    return line + "\n";
}

}  // namespace

bool restore::PlanRestore(const RegBackupContents& backup, RegKey& target, std::vector<NewKey>* add,
                          RestoreResult* result)
{
    return Planner(backup, result).Plan(*backup.root, target, add);
}

namespace {

std::u16string HexText(unsigned value, int digits)
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
                    return fault(u"a lone UTF-16 surrogate (U+" + HexText(c, 4) + u"): the file is not text");
                *text += c;
                *text += next;
                i = j;
                continue;
            }
            if (c >= 0xDC00 && c <= 0xDFFF)
                return fault(u"a lone UTF-16 surrogate (U+" + HexText(c, 4) + u"): the file is not text");
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
            return fault(u"bytes that are not valid UTF-8 (0x" + HexText(b0, 2) + u" at byte "
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

// The checks and the import of a decoded backup.
bool ReadBackupText(std::u16string_view text, RegBackupContents* backup, std::u16string* error)
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

bool DecodeBackup(std::string_view bytes, std::u16string* text, std::u16string* error)
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

}  // namespace

bool ReadRegBackup(std::string_view bytes, RegBackupContents* backup, std::u16string* error)
{
    std::u16string text;
    return DecodeBackup(bytes, &text, error) && ReadBackupText(text, backup, error);
}

bool ReadRegBackupFile(const std::filesystem::path& file, RegBackupContents* backup, std::u16string* error)
{
    std::string bytes, readError;
    ReadOptions options;
    options.maxBytes = kMaxBackupBytes;
    options.followLinks = false;
    if (!ReadWholeFile(file, &bytes, &readError, options)) {
        *error = FromUtf8(readError) + u".";
        return false;
    }
    std::u16string text;
    const bool decoded = DecodeBackup(bytes, &text, error);
    std::string().swap(bytes);  // the file's bytes are not needed past this point
    return decoded && ReadBackupText(text, backup, error);
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

bool RestoreIntoSystemRegText(std::string_view bytes, const RegBackupContents& backup, long long unixSeconds,
                              std::string* text, RestoreResult* result)
{
    SystemRegDocument document;
    std::u16string parseError;
    if (!ParseSystemReg(bytes, &document, &parseError)) {
        result->error = u"The Wine registry cannot be read, " + parseError + u"; nothing was written.";
        return false;
    }
    RegKey target(u"", nullptr, nullptr);
    target.MarkLoaded();
    BuildTree(document, target);

    std::vector<NewKey> add;
    if (!PlanRestore(backup, target, &add, result))
        return false;

    // The plan is in the registry's order, so one pass puts each new block
    // before the first block that sorts after it: a file in wineserver's
    // order stays in order, and every old byte stays as it was.
    std::string out = document.header;
    out.reserve(bytes.size() + add.size() * 64);
    std::size_t next = 0;  // the next old block
    std::vector<std::u16string> restored;
    restored.reserve(add.size());
    for (const NewKey& key : add) {
        restored.push_back(ShownKeyPath(key.ShownPath()));
        if (key.source->Values().empty() && !key.source->Children().empty())
            continue;  // exists through its sub-keys, as wineserver writes it
        const std::vector<std::u16string> path = key.Path();
        std::string block = "\n" + FormatKeyHeader(path, unixSeconds);
        for (const RegValue& v : key.source->Values())
            block += WineValueLine(v);
        // Read back before anything is written: the key with exactly the
        // backup's values. Old blocks keep their bytes, and a new block goes
        // only between two of them, so this is how wineserver reads it too.
        SystemRegDocument check;
        if (!ParseSystemReg("WINE REGISTRY Version 2\n" + block, &check, &parseError) || check.blocks.size() != 1
            || check.blocks[0].path != path || check.blocks[0].values != key.source->Values()) {
            result->error = u"The restored key " + restored.back()
                + u" would not read back as the backup holds it; nothing was written.";
            return false;
        }
        while (next < document.blocks.size() && !PathLess(path, document.blocks[next].path))
            out += document.blocks[next++].text;
        if (!out.empty() && out.back() != '\n')
            out += '\n';
        out += block;
    }
    while (next < document.blocks.size())
        out += document.blocks[next++].text;
    result->restored = std::move(restored);
    *text = std::move(out);
    return true;
}

}  // namespace quelvo::platform::files
