#include "platform/files/RestorePlan.h"

#include "platform/Text.h"
#include "platform/files/RegExport.h"
#include "platform/files/SystemRegFile.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>

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
bool CheckBackupLines(std::u16string_view text, std::vector<std::vector<std::u16string>>* keys, std::u16string* error)
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
            std::vector<std::u16string> parts = SplitKeyPath(path);
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
            parts.erase(parts.begin());
            keys->push_back(std::move(parts));
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
    Planner(const RegBackupContents& backup, RestoreResult* result) : m_result(result)
    {
        for (const auto& key : backup.keys)
            m_listed.insert(LowerKeyPath(key));
    }

    bool Plan(RegKey& backupRoot, RegKey& targetRoot, std::vector<NewKey>* add)
    {
        m_add = add;
        std::vector<std::u16string> path, shown;
        return Walk(backupRoot, &targetRoot, path, shown);
    }

private:
    bool Walk(RegKey& from, RegKey* into, std::vector<std::u16string>& path, std::vector<std::u16string>& shown)
    {
        for (const auto& child : from.Children()) {
            RegKey* existing = into ? into->Child(child->Name()) : nullptr;
            path.push_back(existing ? existing->Name() : child->Name());
            shown.push_back(child->Name());
            if (!existing && path.size() <= 2) {
                m_result->error = u"The target has no " + ShownKeyPath(shown) + u", so the backup does not fit it; nothing was written.";
                return false;
            }
            if (existing && existing->isLink && !child->Children().empty()) {
                m_result->error = u"In the target, " + ShownKeyPath(path)
                    + u" is a symbolic link; keys below it are not restored through it, so nothing was written.";
                return false;
            }
            if (existing) {
                if (path.size() > 2 && m_listed.count(LowerKeyPath(shown)))
                    m_result->kept.push_back(ShownKeyPath(shown));
            } else {
                m_add->push_back({path, shown, child.get()});
            }
            if (!Walk(*child, existing, path, shown))
                return false;
            path.pop_back();
            shown.pop_back();
        }
        return true;
    }

    RestoreResult* m_result;
    std::set<std::u16string> m_listed;
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

RegKey* FindPath(RegKey& root, const std::vector<std::u16string>& path)
{
    RegKey* key = &root;
    for (const auto& part : path) {
        key = key->Child(part);
        if (!key)
            return nullptr;
    }
    return key;
}

}  // namespace

bool restore::PlanRestore(const RegBackupContents& backup, RegKey& target, std::vector<NewKey>* add,
                          RestoreResult* result)
{
    return Planner(backup, result).Plan(*backup.root, target, add);
}

bool ReadRegBackup(std::string_view bytes, RegBackupContents* backup, std::u16string* error)
{
    const bool utf16 = bytes.size() >= 2
        && ((bytes[0] == '\xFF' && bytes[1] == '\xFE') || (bytes[0] == '\xFE' && bytes[1] == '\xFF'));
    const std::u16string text = DecodeTextFile(bytes);
    if (!StartsWithLine(text, u"Windows Registry Editor Version 5.00") && !StartsWithLine(text, u"REGEDIT4")) {
        *error = u"not a registry export (.reg file): it does not start with \"Windows Registry Editor Version "
                 u"5.00\".";
        return false;
    }
    if (utf16 && bytes.size() % 2) {
        *error = u"the file is cut short: it ends in the middle of a UTF-16 character.";
        return false;
    }
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
    RegBackupContents read;
    if (!CheckBackupLines(text, &read.keys, error))
        return false;
    read.root = std::make_unique<RegKey>(u"", nullptr, nullptr);
    read.root->MarkLoaded();
    std::u16string importError;
    if (!ImportRegFile(text, *read.root, &importError)) {
        *error = importError;
        return false;
    }
    *backup = std::move(read);
    return true;
}

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

    // Each new block goes before the first block that sorts after it, so a
    // file in wineserver's order stays in order.
    std::map<std::size_t, std::string> before;  // block index -> new blocks in front of it
    for (const NewKey& key : add) {
        if (key.source->Values().empty() && !key.source->Children().empty())
            continue;  // exists through its sub-keys, as wineserver writes it
        std::string block = "\n" + FormatKeyHeader(key.path, unixSeconds);
        for (const RegValue& v : key.source->Values())
            block += WineValueLine(v);
        std::size_t at = 0;
        while (at < document.blocks.size() && !PathLess(key.path, document.blocks[at].path))
            ++at;
        before[at] += block;
    }
    for (const NewKey& key : add)
        result->restored.push_back(ShownKeyPath(key.shownPath));

    std::string out = document.header;
    auto insert = [&](std::size_t index) {
        auto it = before.find(index);
        if (it == before.end())
            return;
        if (!out.empty() && out.back() != '\n')
            out += '\n';
        out += it->second;
    };
    for (std::size_t i = 0; i < document.blocks.size(); ++i) {
        insert(i);
        out += document.blocks[i].text;
    }
    insert(document.blocks.size());

    // Read the new text back before anything is written: every planned key
    // with exactly the backup's values, and every old key still there.
    SystemRegDocument check;
    if (!ParseSystemReg(out, &check, &parseError)) {
        result->error = u"The restored registry would not read back (" + parseError + u"); nothing was written.";
        return false;
    }
    RegKey back(u"", nullptr, nullptr);
    back.MarkLoaded();
    BuildTree(check, back);
    for (const NewKey& key : add) {
        RegKey* found = FindPath(back, key.path);
        if (!found || found->Values() != key.source->Values()) {
            result->restored.clear();
            result->error = u"The restored key " + ShownKeyPath(key.shownPath)
                + u" would not read back as the backup holds it; nothing was written.";
            return false;
        }
    }
    *text = std::move(out);
    return true;
}

}  // namespace quelvo::platform::files
