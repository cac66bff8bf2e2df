#include "desktop/WineEntries.h"

#include "desktop/DesktopEntry.h"

#include <algorithm>
#include <array>

namespace quelvo::desktop {

namespace {

constexpr std::string_view kGroup = "Desktop Entry";
constexpr std::string_view kExtensionPrefix = "wine-extension-";
constexpr std::string_view kProtocolPrefix = "wine-protocol-";
constexpr std::string_view kDesktopSuffix = ".desktop";
constexpr std::string_view kPackagePrefix = "x-wine-extension-";
constexpr std::string_view kPackageSuffix = ".xml";

bool StartsWith(std::string_view text, std::string_view start) { return text.substr(0, start.size()) == start; }
bool EndsWith(std::string_view text, std::string_view end)
{
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

std::string_view BaseName(std::string_view path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
               return lower(x) == lower(y);
           });
}

bool IsVariableName(std::string_view name)
{
    if (name.empty() || (name[0] >= '0' && name[0] <= '9'))
        return false;
    return std::all_of(name.begin(), name.end(), [](char c) {
        return c == '_' || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
    });
}

// Reads the arguments of Exec as Wine writes them: env and its
// assignments (WINEPREFIX among them), the launcher, "start", then
// "/ProgIDOpen <ProgID>" for a file type.
bool ReadExecShape(const std::vector<std::string>& args, WineEntry* entry, std::string* whyNot)
{
    std::size_t i = 0;
    if (i < args.size() && BaseName(args[i]) == "env") {
        for (++i; i < args.size(); ++i) {
            const std::size_t equals = args[i].find('=');
            if (equals == std::string::npos || !IsVariableName(std::string_view(args[i]).substr(0, equals)))
                break;
            if (args[i].compare(0, equals, "WINEPREFIX") == 0)
                entry->prefix = args[i].substr(equals + 1);
        }
    }
    if (i >= args.size() || !IsWineLauncherName(BaseName(args[i]))) {
        *whyNot = "its Exec does not start Wine";
        return false;
    }
    entry->launcher = args[i++];
    if (i >= args.size() || args[i] != "start") {
        *whyNot = "its Exec does not run Wine's start";
        return false;
    }
    ++i;
    const bool opensProgId = i < args.size() && EqualsIgnoringAsciiCase(args[i], "/ProgIDOpen");
    if (entry->kind == WineEntry::Extension) {
        if (!opensProgId || i + 1 >= args.size() || args[i + 1].empty()) {
            *whyNot = "its Exec opens no ProgID";
            return false;
        }
        entry->progId = args[i + 1];
    } else if (opensProgId) {
        *whyNot = "its Exec opens a ProgID, which Wine's protocol entries never do";
        return false;
    }
    if (entry->prefix && (entry->prefix->empty() || entry->prefix->front() != '/')) {
        *whyNot = "its WINEPREFIX is not an absolute path";
        return false;
    }
    return true;
}

void Note(std::vector<std::string>* changes, std::string change)
{
    if (std::find(changes->begin(), changes->end(), change) == changes->end())
        changes->push_back(std::move(change));
}

// How the file's lines differ from Wine's for the same values.
std::vector<std::string> CompareWithWine(const KeyFile& file, std::string_view bytes, const WineEntry& entry)
{
    std::vector<std::string> changes;
    // Wine writes its launcher by name; one given by its path was put there by hand.
    if (entry.launcher.find('/') != std::string::npos)
        changes.push_back("another Exec");
    const std::string wine = WineEntryText(entry);
    if (bytes == wine)
        return changes;
    static constexpr std::array<std::string_view, 7> kOrder = {"Type",     "Name",          "MimeType", "Exec",
                                                               "NoDisplay", "StartupNotify", "Icon"};
    std::vector<std::string> extra;
    std::vector<std::string> seen;
    bool otherLines = false;
    for (const KeyFileLine& line : file.lines) {
        if (line.kind == KeyFileLine::Blank || line.kind == KeyFileLine::Comment
            || (line.kind == KeyFileLine::Group && line.group != kGroup))
            otherLines = true;
        if (line.kind != KeyFileLine::Entry)
            continue;
        if (line.group != kGroup) {
            otherLines = true;
            continue;
        }
        if (std::find(kOrder.begin(), kOrder.end(), line.key) == kOrder.end()) {
            if (std::find(extra.begin(), extra.end(), line.key) == extra.end())
                extra.push_back(line.key);
        } else if (std::find(seen.begin(), seen.end(), line.key) != seen.end()) {
            Note(&changes, line.key + " given twice");
        } else {
            seen.push_back(line.key);
        }
    }
    const auto value = [&](std::string_view key) { return file.Raw(kGroup, key); };
    if (value("Type") != "Application")
        Note(&changes, value("Type") ? "another Type" : "Type removed");
    if (value("StartupNotify") != "true")
        Note(&changes, value("StartupNotify") ? "another StartupNotify" : "StartupNotify=true removed");
    if (value("NoDisplay") != "true")
        Note(&changes, value("NoDisplay") ? "another NoDisplay" : "NoDisplay=true removed");
    if (!value("Name"))
        Note(&changes, "Name removed");
    const std::optional<std::string> mime = value("MimeType");
    if (!mime)
        Note(&changes, "MimeType removed");
    else if (*mime != entry.mimeType + ";")
        Note(&changes, "another MimeType");
    const std::size_t wineExec = wine.find("\nExec=") + 6;
    if (value("Exec") != wine.substr(wineExec, wine.find('\n', wineExec) - wineExec))
        Note(&changes, "another Exec");
    if (!extra.empty()) {
        std::string keys;
        for (const std::string& key : extra)
            keys += (keys.empty() ? "" : ", ") + key;
        Note(&changes, "keys Wine does not write: " + keys);
    }
    if (otherLines)
        Note(&changes, "lines Wine does not write (comments, blank lines or other groups)");
    if (changes.empty()) {
        // Same keys and values: what is left is order, spacing or line ends.
        std::vector<std::string> expected;
        for (std::string_view key : kOrder) {
            if (std::find(seen.begin(), seen.end(), key) != seen.end())
                expected.emplace_back(key);
        }
        Note(&changes, seen == expected ? "written with other spacing or line ends" : "its keys in another order");
    }
    return changes;
}

std::string XmlText(std::string_view text)
{
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '\'': out += "&apos;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
    return out;
}

// Reads back what XmlText wrote: the five entities, nothing else.
bool FromXmlText(std::string_view text, std::string* out)
{
    static constexpr std::array<std::pair<std::string_view, char>, 5> kEntities = {
        {{"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&apos;", '\''}, {"&quot;", '"'}}};
    out->clear();
    for (std::size_t i = 0; i < text.size();) {
        if (text[i] == '<' || text[i] == '>' || text[i] == '"' || text[i] == '\'')
            return false;
        if (text[i] != '&') {
            out->push_back(text[i++]);
            continue;
        }
        const auto found = std::find_if(kEntities.begin(), kEntities.end(),
                                        [&](const auto& e) { return text.substr(i, e.first.size()) == e.first; });
        if (found == kEntities.end())
            return false;
        out->push_back(found->second);
        i += found->first.size();
    }
    return true;
}

// The text between `before` and `after` at the start of `rest`, which moves past them.
bool Take(std::string_view* rest, std::string_view before, std::string_view after, std::string* inside)
{
    if (!StartsWith(*rest, before))
        return false;
    const std::size_t end = rest->find(after, before.size());
    if (end == std::string_view::npos)
        return false;
    const std::string_view raw = rest->substr(before.size(), end - before.size());
    if (raw.find('\n') != std::string_view::npos || !FromXmlText(raw, inside))
        return false;
    rest->remove_prefix(end + after.size());
    return true;
}

}  // namespace

bool IsWineLauncherName(std::string_view launcher)
{
    for (std::string_view base : {"wine64", "wine"}) {
        if (!StartsWith(launcher, base))
            continue;
        const std::string_view rest = launcher.substr(base.size());
        if (rest.empty())
            return true;
        if (rest.size() >= 2 && rest[0] == '-'
            && std::all_of(rest.begin() + 1, rest.end(), [](char c) {
                   return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.'
                       || c == '_' || c == '+' || c == '-';
               }))
            return true;
    }
    return false;
}

std::optional<WineEntry> WineEntryName(std::string_view fileName)
{
    if (!EndsWith(fileName, kDesktopSuffix) || fileName.find('/') != std::string_view::npos)
        return std::nullopt;
    const std::string_view stem = fileName.substr(0, fileName.size() - kDesktopSuffix.size());
    WineEntry entry;
    entry.fileName = fileName;
    if (StartsWith(stem, kExtensionPrefix) && stem.size() > kExtensionPrefix.size()) {
        entry.kind = WineEntry::Extension;
        entry.typeName = "." + std::string(stem.substr(kExtensionPrefix.size()));
    } else if (StartsWith(stem, kProtocolPrefix) && stem.size() > kProtocolPrefix.size()) {
        entry.kind = WineEntry::Protocol;
        entry.typeName = stem.substr(kProtocolPrefix.size());
    } else {
        return std::nullopt;
    }
    return entry;
}

bool RecogniseWineEntry(std::string_view fileName, std::string_view bytes, WineEntry* entry, std::string* whyNot)
{
    const std::optional<WineEntry> named = WineEntryName(fileName);
    if (!named) {
        *whyNot = "its name is not one Wine gives its entries";
        return false;
    }
    *entry = *named;
    KeyFile file;
    std::string error;
    if (!ParseKeyFile(bytes, &file, &error)) {
        *whyNot = "it is not a desktop entry (" + error + ")";
        return false;
    }
    const auto first = std::find_if(file.lines.begin(), file.lines.end(),
                                    [](const KeyFileLine& l) { return l.kind == KeyFileLine::Group; });
    if (first == file.lines.end() || first->group != kGroup) {
        *whyNot = "it does not begin with a [Desktop Entry] group";
        return false;
    }
    const std::optional<std::string> exec = file.Raw(kGroup, "Exec");
    std::string unescaped;
    std::vector<std::string> args;
    if (!exec) {
        *whyNot = "it has no Exec";
        return false;
    }
    if (!UnescapeString(*exec, &unescaped)) {
        *whyNot = "its Exec holds an escape the desktops refuse";
        return false;
    }
    if (!SplitExec(unescaped, &args, &error)) {
        *whyNot = "its Exec cannot be read: " + error;
        return false;
    }
    if (!ReadExecShape(args, entry, whyNot))
        return false;
    entry->name = file.Raw(kGroup, "Name").value_or("");
    const std::string mime = file.Raw(kGroup, "MimeType").value_or("");
    // One type, as Wine writes it; anything else is kept as written and
    // shows as a change.
    entry->mimeType = !mime.empty() && mime.back() == ';' && mime.find(';') == mime.size() - 1
        ? mime.substr(0, mime.size() - 1)
        : mime;
    entry->icon = file.Raw(kGroup, "Icon");
    entry->changes = CompareWithWine(file, bytes, *entry);
    return true;
}

std::string WineExecEscape(std::string_view argument)
{
    static constexpr std::string_view kSpecial = " \t\n\"'><~|&;$*?#()`";
    std::string out;
    for (char c : argument) {
        if (c == '\\')
            out += "\\\\\\\\";
        else if (kSpecial.find(c) != std::string_view::npos)
            out += std::string("\\\\") + c;
        else
            out += c;
    }
    return out;
}

std::string WineEntryText(const WineEntry& entry)
{
    std::string text = "[Desktop Entry]\nType=Application\nName=" + entry.name + "\nMimeType=" + entry.mimeType
        + ";\nExec=";
    if (entry.prefix)
        text += "env WINEPREFIX=\"" + *entry.prefix + "\" ";
    text += entry.launcher + " start ";
    if (entry.kind == WineEntry::Extension)
        text += "/ProgIDOpen " + WineExecEscape(entry.progId) + " %f\n";
    else
        text += "%u\n";
    text += "NoDisplay=true\nStartupNotify=true\n";
    if (entry.icon)
        text += "Icon=" + *entry.icon + "\n";
    return text;
}

std::string WineMimePackageText(const WineMimePackage& package)
{
    std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                       "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
                       "  <mime-type type=\""
        + XmlText(package.type) + "\">\n    <glob pattern=\"*" + XmlText(package.extension) + "\"/>\n";
    if (package.comment)
        text += "    <comment>" + XmlText(*package.comment) + "</comment>\n";
    text += "  </mime-type>\n</mime-info>\n";
    return text;
}

bool RecogniseWineMimePackage(std::string_view fileName, std::string_view bytes, WineMimePackage* package)
{
    if (!StartsWith(fileName, kPackagePrefix) || !EndsWith(fileName, kPackageSuffix)
        || fileName.size() <= kPackagePrefix.size() + kPackageSuffix.size() || !IsUtf8Text(bytes))
        return false;
    std::string_view rest = bytes;
    constexpr std::string_view kHead = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                       "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n";
    if (!StartsWith(rest, kHead))
        return false;
    rest.remove_prefix(kHead.size());
    WineMimePackage read;
    std::string glob;
    if (!Take(&rest, "  <mime-type type=\"", "\">\n", &read.type) || read.type.empty()
        || !Take(&rest, "    <glob pattern=\"*", "\"/>\n", &glob))
        return false;
    read.extension = glob;
    std::string comment;
    if (Take(&rest, "    <comment>", "</comment>\n", &comment))
        read.comment = comment;
    if (rest != "  </mime-type>\n</mime-info>\n")
        return false;
    const std::string_view named =
        fileName.substr(kPackagePrefix.size(), fileName.size() - kPackagePrefix.size() - kPackageSuffix.size());
    if (read.extension.size() < 2 || read.extension[0] != '.' || std::string_view(read.extension).substr(1) != named)
        return false;
    *package = std::move(read);
    return true;
}

std::string IconNameOfType(std::string_view mimeType)
{
    std::string name(mimeType);
    std::replace(name.begin(), name.end(), '/', '-');
    return name;
}

std::string MimePackageName(std::string_view extension)
{
    return std::string(kPackagePrefix) + std::string(extension.substr(extension.empty() || extension[0] != '.' ? 0 : 1))
        + std::string(kPackageSuffix);
}

}  // namespace quelvo::desktop
