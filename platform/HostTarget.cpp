#include "platform/HostTarget.h"

#include "platform/NameCase.h"
#include "platform/Text.h"

#include <algorithm>
#include <set>
#include <system_error>

namespace quelvo::platform {

namespace fs = std::filesystem;

namespace {

// A Windows path taken apart: drive letter, names, and whether it ended in a
// separator. "." is dropped and ".." steps back, never above the drive.
struct WindowsPath {
    char16_t drive = 0;
    std::vector<std::u16string> names;
    bool trailingSeparator = false;
};

bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

std::optional<WindowsPath> ParseWindowsPath(std::u16string_view text)
{
    if (text.size() < 2 || text[1] != u':')
        return std::nullopt;
    char16_t letter = ToUpperAscii(text.substr(0, 1))[0];
    if (letter < u'A' || letter > u'Z')
        return std::nullopt;
    WindowsPath path;
    path.drive = letter;
    std::u16string_view rest = text.substr(2);
    if (!rest.empty() && !IsSeparator(rest.front()))
        return std::nullopt;  // "C:foo" is relative to a current folder we do not have
    path.trailingSeparator = rest.size() > 1 && IsSeparator(rest.back());
    std::size_t start = 0;
    while (start < rest.size()) {
        std::size_t end = start;
        while (end < rest.size() && !IsSeparator(rest[end]))
            ++end;
        std::u16string_view name = rest.substr(start, end - start);
        if (name == u"..") {
            if (!path.names.empty())
                path.names.pop_back();
        } else if (!name.empty() && name != u".") {
            path.names.emplace_back(name);
        }
        start = end + 1;
    }
    return path;
}

// Copies text cut to fit with its NUL into buffer; returns the units copied.
std::size_t CopyCut(std::u16string_view text, char16_t* buffer, std::size_t capacity)
{
    const std::size_t count = std::min(text.size(), capacity - 1);
    std::copy_n(text.begin(), count, buffer);
    buffer[count] = u'\0';
    return count;
}

bool IsShortNameChar(char16_t c)
{
    if ((c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9'))
        return true;
    return std::u16string_view(u"!#$%&'()-@^_`{}~").find(c) != std::u16string_view::npos;
}

bool IsValidShortName(std::u16string_view name)
{
    const std::size_t dot = name.find(u'.');
    const std::u16string_view base = name.substr(0, dot);
    const std::u16string_view ext = dot == std::u16string_view::npos ? std::u16string_view{} : name.substr(dot + 1);
    if (base.empty() || base.size() > 8 || ext.size() > 3)
        return false;
    if (dot != std::u16string_view::npos && ext.empty())
        return false;
    return std::all_of(base.begin(), base.end(), IsShortNameChar)
        && std::all_of(ext.begin(), ext.end(), IsShortNameChar);
}

// Upper-cased, with spaces, dots and characters not allowed in short names
// removed; characters beyond ASCII become "_".
std::u16string ShortNamePart(std::u16string_view text)
{
    std::u16string out;
    for (char16_t c : ToUpperAscii(text)) {
        if (c > 0x7F)
            out.push_back(u'_');
        else if (IsShortNameChar(c))
            out.push_back(c);
    }
    return out;
}

}  // namespace

std::vector<std::u16string> HostTarget::FolderEntries(const fs::path& folder)
{
    std::vector<std::u16string> names;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        names.push_back(it->path().filename().u16string());
    return names;
}

std::u16string HostTarget::MatchEntry(const fs::path& folder, const std::u16string& name, bool resolveShort) const
{
#ifndef _WIN32
    // On a case-sensitive file system an exact hit is the entry itself; this
    // spares a folder listing for most components. (Windows file systems
    // would also accept other cases and their own short names here.)
    std::error_code ec;
    if (fs::exists(folder / fs::path(name), ec))
        return name;
#endif
    const std::vector<std::u16string> entries = FolderEntries(folder);
    for (const std::u16string& entry : entries) {
        if (entry == name)
            return entry;
    }
    for (const std::u16string& entry : entries) {
        if (NamesEqual(entry, name))
            return entry;
    }
    if (resolveShort && name.find(u'~') != std::u16string::npos)
        return LongNameOfShort(folder, entries, name);
    return {};
}

std::u16string HostTarget::LongNameOfShort(const fs::path&, const std::vector<std::u16string>& entries,
                                           std::u16string_view name) const
{
    for (const auto& [longName, shortName] : GenerateShortNames(entries)) {
        if (NamesEqual(shortName, name))
            return longName;
    }
    return {};
}

std::map<std::u16string, std::u16string> GenerateShortNames(const std::vector<std::u16string>& longNames)
{
    std::map<std::u16string, std::u16string> shortNames;
    std::set<std::u16string> taken;  // upper-cased short names in use
    std::vector<std::u16string> toGenerate;
    for (const std::u16string& name : longNames) {
        if (IsValidShortName(name)) {
            shortNames[name] = name;
            taken.insert(ToUpperAscii(name));
        } else {
            toGenerate.push_back(name);
        }
    }
    std::sort(toGenerate.begin(), toGenerate.end(), [](const std::u16string& a, const std::u16string& b) {
        const std::u16string ua = ToUpperAscii(a), ub = ToUpperAscii(b);
        return ua != ub ? ua < ub : a < b;
    });
    for (const std::u16string& name : toGenerate) {
        // The extension is what follows the last dot, unless that dot leads the name.
        const std::size_t dot = name.rfind(u'.');
        const bool hasExt = dot != std::u16string::npos && dot > 0;
        std::u16string base = ShortNamePart(hasExt ? std::u16string_view(name).substr(0, dot) : name);
        std::u16string ext = hasExt ? ShortNamePart(std::u16string_view(name).substr(dot + 1)).substr(0, 3) : u"";
        if (base.empty())
            base.push_back(u'_');
        for (unsigned n = 1;; ++n) {
            const std::u16string digits = IntToText(n);
            const std::size_t prefix = std::min<std::size_t>(6, 7 - std::min<std::size_t>(digits.size(), 6));
            std::u16string candidate = base.substr(0, prefix);
            candidate += u'~';
            candidate += digits;
            if (!ext.empty()) {
                candidate += u'.';
                candidate += ext;
            }
            if (taken.insert(candidate).second) {
                shortNames[name] = std::move(candidate);
                break;
            }
        }
    }
    return shortNames;
}

HostTarget::HostTarget(RegistryStore& registry, Environment environment, Drives drives,
                       std::u16string description)
    : m_registry(registry), m_description(std::move(description))
{
    // Kept with upper-cased names, the lookup key.
    for (auto& [name, value] : environment)
        m_environment.emplace(ToUpperName(name), std::move(value));
    for (auto& [letter, folder] : drives)
        m_drives.emplace(ToUpperAscii(std::u16string(1, letter))[0], std::move(folder));
}

RegistryStore& HostTarget::Registry()
{
    return m_registry;
}

std::size_t HostTarget::ExpandEnvironmentStrings(std::u16string_view source, char16_t* buffer,
                                                 std::size_t capacity)
{
    if (!buffer || capacity == 0)
        return 0;
    std::u16string out;
    std::size_t i = 0;
    while (i < source.size()) {
        const std::size_t close = source[i] == u'%' ? source.find(u'%', i + 1) : std::u16string_view::npos;
        if (close == std::u16string_view::npos) {
            out.push_back(source[i++]);
            continue;
        }
        auto it = m_environment.find(ToUpperName(source.substr(i + 1, close - i - 1)));
        if (close > i + 1 && it != m_environment.end()) {
            out += it->second;
            i = close + 1;
        } else {
            // Left as it is; the closing "%" may open the next reference.
            out.append(source.substr(i, close - i));
            i = close;
        }
    }
    return CopyCut(out, buffer, capacity) + 1;
}

std::optional<fs::path> HostTarget::Resolve(std::u16string_view windowsPath, bool resolveShort,
                                            std::u16string* longPath) const
{
    const std::optional<WindowsPath> parsed = ParseWindowsPath(windowsPath);
    if (!parsed)
        return std::nullopt;
    auto drive = m_drives.find(parsed->drive);
    std::error_code ec;
    if (drive == m_drives.end() || !fs::is_directory(drive->second, ec))
        return std::nullopt;
    fs::path host = drive->second;
    std::u16string spelled(windowsPath.substr(0, 2));
    for (const std::u16string& name : parsed->names) {
        const std::u16string entry = MatchEntry(host, name, resolveShort);
        if (entry.empty())
            return std::nullopt;
        host /= fs::path(entry);
        // Only short components change; the others keep the caller's spelling.
        spelled += u'\\';
        spelled += name.find(u'~') != std::u16string::npos ? entry : name;
    }
    if (parsed->names.empty() || parsed->trailingSeparator)
        spelled += u'\\';
    if (longPath)
        *longPath = std::move(spelled);
    return host;
}

std::optional<fs::path> HostTarget::HostPath(std::u16string_view windowsPath) const
{
    return Resolve(windowsPath, false, nullptr);
}

std::size_t HostTarget::GetLongPathName(std::u16string_view path, char16_t* buffer, std::size_t capacity)
{
    std::u16string longPath;
    if (!buffer || capacity == 0 || !Resolve(path, true, &longPath))
        return 0;
    return CopyCut(longPath, buffer, capacity);
}

bool HostTarget::FileExists(std::u16string_view path)
{
    // Short components count here too, as they do for the Windows file test.
    const std::optional<fs::path> host = Resolve(path, true, nullptr);
    std::error_code ec;
    return host && fs::is_regular_file(*host, ec);
}

std::u16string HostTarget::Description() const
{
    return m_description;
}

}  // namespace quelvo::platform
