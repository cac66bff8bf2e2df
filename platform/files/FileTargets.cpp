#include "platform/files/FileTargets.h"

#include "platform/NameCase.h"
#include "platform/Text.h"
#include "platform/files/HiveStore.h"
#include "platform/files/RegBackup.h"
#include "platform/files/SystemRegStore.h"

#include <cerrno>
#include <cstdlib>
#include <sys/xattr.h>

namespace quelvo::platform::files {

using regfile::RegKey;
using regfile::RegValue;

namespace {

namespace fs = std::filesystem;

std::u16string PathText(const fs::path& p) { return FromUtf8(p.string()); }

std::optional<std::u16string> StringValue(TreeStore& store, std::u16string_view path, std::u16string_view name)
{
    RegKey* key = store.Find(path);
    if (!key)
        return std::nullopt;
    const RegValue* v = key->Value(name);
    if (!v || (v->type != RegType::Sz && v->type != RegType::ExpandSz))
        return std::nullopt;
    std::u16string text(v->data.size() / 2, u'\0');
    for (std::size_t i = 0; i < text.size(); ++i)
        text[i] = char16_t(v->data[2 * i] | (v->data[2 * i + 1] << 8));
    return std::u16string(UpToNul(text));
}

void SetVariable(HostTarget::Environment& env, const std::u16string& name, std::u16string value)
{
    for (auto it = env.begin(); it != env.end();) {
        if (NamesEqual(it->first, name))
            it = env.erase(it);
        else
            ++it;
    }
    env[name] = std::move(value);
}

std::u16string Expand(const HostTarget::Environment& env, std::u16string_view text)
{
    std::u16string out;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t open = text.find(u'%', pos);
        const std::size_t close = open == std::u16string_view::npos ? open : text.find(u'%', open + 1);
        if (close == std::u16string_view::npos) {
            out.append(text.substr(pos));
            break;
        }
        out.append(text.substr(pos, open - pos));
        const std::u16string_view name = text.substr(open + 1, close - open - 1);
        auto it = std::find_if(env.begin(), env.end(), [&](const auto& e) { return NamesEqual(e.first, name); });
        if (it != env.end()) {
            out += it->second;
            pos = close + 1;
        } else {
            out.append(text.substr(open, close - open));
            pos = close;
        }
    }
    return out;
}

HostTarget::Environment WineEnvironment(TreeStore& store)
{
    HostTarget::Environment env;
    SetVariable(env, u"SystemRoot", u"C:\\windows");
    SetVariable(env, u"windir", u"C:\\windows");
    SetVariable(env, u"ProgramFiles", u"C:\\Program Files");
    if (auto root = StringValue(store, u"Software\\Microsoft\\Windows NT\\CurrentVersion", u"SystemRoot")) {
        SetVariable(env, u"SystemRoot", *root);
        SetVariable(env, u"windir", *root);
    }
    if (auto programs = StringValue(store, u"Software\\Microsoft\\Windows\\CurrentVersion", u"ProgramFilesDir"))
        SetVariable(env, u"ProgramFiles", *programs);
    constexpr std::u16string_view kEnvironment = u"System\\CurrentControlSet\\Control\\Session Manager\\Environment";
    if (RegKey* key = store.Find(kEnvironment)) {
        for (const RegValue& v : key->Values()) {
            if (v.name.empty())
                continue;
            if (auto text = StringValue(store, kEnvironment, v.name))
                SetVariable(env, v.name, v.type == RegType::ExpandSz ? Expand(env, *text) : *text);
        }
    }
    return env;
}

HostTarget::Drives WineDrives(const fs::path& prefix)
{
    HostTarget::Drives drives;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(prefix / "dosdevices", ec)) {
        const std::string name = entry.path().filename().string();
        if (name.size() != 2 || name[1] != ':' || !std::isalpha(static_cast<unsigned char>(name[0])))
            continue;
        if (fs::is_directory(entry.path(), ec))
            drives[char16_t(std::toupper(static_cast<unsigned char>(name[0])))] = entry.path();
    }
    return drives;
}

// Backups go to the invoking user's data folder, never into the target.
std::shared_ptr<RegBackup> Backups(const fs::path& target)
{
    return std::make_shared<RegBackup>(DefaultBackupFolder(), target);
}

}  // namespace

FileTarget::FileTarget(std::unique_ptr<TreeStore> owned, Environment environment, Drives drives,
                       std::u16string description, bool wineShortNames)
    : StoreHolder{std::move(owned)},
      HostTarget(*store, std::move(environment), std::move(drives), std::move(description)),
      m_wineShortNames(wineShortNames)
{
    if (!m_wineShortNames)
        m_dosNames = ReadNtfsDosName;
}

std::u16string WineShortName(std::u16string_view name)
{
    static constexpr char kHashChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345";
    // Wine hashes the name lower-cased with its Unicode table.
    auto lower = LowerUnit;
    auto upper = [](char16_t c) { return (c >= u'a' && c <= u'z') ? char16_t(c - 32) : c; };
    auto invalid = [](char16_t c) {
        return c > 0x7F || std::u16string_view(u"*?<>|\"+=,;[] ~.").find(c) != std::u16string_view::npos;
    };
    if (name.empty())
        return {};
    std::uint16_t hash = 0xBEEF;
    for (std::size_t i = 0; i + 1 < name.size(); ++i)
        hash = std::uint16_t((hash << 3) ^ (hash >> 5) ^ lower(name[i]) ^ (lower(name[i + 1]) << 8));
    hash = std::uint16_t((hash << 3) ^ (hash >> 5) ^ lower(name.back()));

    std::size_t ext = std::u16string_view::npos;
    for (std::size_t i = 1; i + 1 < name.size(); ++i) {
        if (name[i] == u'.')
            ext = i;
    }
    std::u16string out;
    int left = 4;
    for (std::size_t i = 0; left > 0 && i < name.size() && i != ext; ++i, --left)
        out += invalid(name[i]) ? u'_' : upper(name[i]);
    while (left-- >= 0)
        out += u'~';
    out += char16_t(kHashChars[(hash >> 10) & 0x1F]);
    out += char16_t(kHashChars[(hash >> 5) & 0x1F]);
    out += char16_t(kHashChars[hash & 0x1F]);
    if (ext != std::u16string_view::npos) {
        out += u'.';
        for (std::size_t i = ext + 1; i < name.size() && i < ext + 4; ++i)
            out += invalid(name[i]) ? u'_' : upper(name[i]);
    }
    return out;
}

bool IsWineLegalShortName(std::u16string_view name)
{
    if (name.size() > 12)
        return false;
    if (!name.empty() && name[0] == u'.')
        return name == u"." || name == u"..";
    std::size_t dot = std::u16string_view::npos;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const char16_t c = name[i];
        if (c > 0x7F || std::u16string_view(u"*?<>|\"+=,;[] :/\\").find(c) != std::u16string_view::npos)
            return false;
        if (c == u'.') {
            if (dot != std::u16string_view::npos)
                return false;
            dot = i;
        }
    }
    if (dot == std::u16string_view::npos)
        return name.size() <= 8;
    return name.size() - dot <= 4 && dot <= 8;
}

DosName ReadNtfsDosName(const fs::path& entry)
{
    char buffer[64];
    const ssize_t n = ::getxattr(entry.c_str(), "system.ntfs_dos_name", buffer, sizeof buffer);
    if (n >= 0)
        return DosName{DosName::Stored, FromUtf8(std::string_view(buffer, std::size_t(n)))};
    if (errno == ENODATA)
        return DosName{DosName::None, {}};
    return DosName{DosName::Unsupported, {}};
}

void FileTarget::SetDosNameReader(DosNameReader reader)
{
    m_dosNames = std::move(reader);
}

std::u16string FileTarget::LongNameOfShort(const fs::path& folder, const std::vector<std::u16string>& entries,
                                           std::u16string_view name) const
{
    if (m_wineShortNames) {
        // Wine hands out its hashed names only; an entry that is a valid 8.3
        // name already has no other.
        for (const std::u16string& entry : entries) {
            if (!IsWineLegalShortName(entry) && NamesEqual(WineShortName(entry), name))
                return entry;
        }
        return {};
    }
    if (m_dosNames) {
        // ntfs-3g shows the short name NTFS stored for each entry; where the
        // file system keeps them, they are the only ones.
        bool stored = false;
        for (const std::u16string& entry : entries) {
            const DosName dos = m_dosNames(folder / fs::path(entry));
            if (dos.kind == DosName::Unsupported)
                break;
            stored = true;
            if (dos.kind == DosName::Stored && NamesEqual(dos.name, name))
                return entry;
        }
        if (stored)
            return {};
    }
    return HostTarget::LongNameOfShort(folder, entries, name);
}

std::optional<fs::path> FindIgnoringCase(const fs::path& folder, const fs::path& relative)
{
    fs::path current = folder;
    for (const auto& part : relative) {
        std::error_code ec;
        if (fs::exists(current / part, ec)) {
            current /= part;
            continue;
        }
        const std::u16string wanted = FromUtf8(part.string());
        std::optional<fs::path> match;
        for (const auto& entry : fs::directory_iterator(current, ec)) {
            if (NamesEqual(FromUtf8(entry.path().filename().string()), wanted)) {
                match = entry.path();
                break;
            }
        }
        if (!match)
            return std::nullopt;
        current = *match;
    }
    return current;
}

std::unique_ptr<FileTarget> OpenWinePrefix(const fs::path& prefix, std::u16string* error)
{
    auto store = SystemRegStore::Open(prefix / "system.reg", error);
    if (!store)
        return nullptr;
    auto env = WineEnvironment(*store);
    store->SetBackup(Backups(prefix));
    return std::make_unique<FileTarget>(std::move(store), std::move(env), WineDrives(prefix),
                                        u"Wine prefix " + PathText(prefix), true);
}

std::unique_ptr<FileTarget> OpenWindowsInstallation(const fs::path& root, std::u16string* error)
{
    const auto hive = FindIgnoringCase(root, fs::path("Windows") / "System32" / "config" / "SOFTWARE");
    if (!hive) {
        *error = PathText(root) + u" has no Windows/System32/config/SOFTWARE hive";
        return nullptr;
    }
    HiveStore::Options options;
    options.installationRoot = root;
    auto store = HiveStore::Open(*hive, error, options);
    if (!store)
        return nullptr;
    HostTarget::Environment env;
    std::u16string systemRoot = u"C:\\Windows";
    if (auto v = StringValue(*store, u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", u"SystemRoot"))
        systemRoot = *v;
    SetVariable(env, u"SystemRoot", systemRoot);
    SetVariable(env, u"windir", systemRoot);
    std::u16string programs = u"C:\\Program Files";
    if (auto v = StringValue(*store, u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion", u"ProgramFilesDir"))
        programs = Expand(env, *v);
    SetVariable(env, u"ProgramFiles", programs);
    std::u16string description = u"Windows installation " + PathText(root);
    if (!store->RecoveredFrom().empty()) {
        std::u16string logs;
        for (const auto& log : store->RecoveredFrom())
            logs += (logs.empty() ? u"" : u", ") + FromUtf8(log);
        description += u" (its registry recovered from " + logs + u")";
    }
    store->SetBackup(Backups(root));
    std::vector<std::string> recovered = store->RecoveredFrom();
    auto target = std::make_unique<FileTarget>(std::move(store), std::move(env), HostTarget::Drives{{u'C', root}},
                                               std::move(description));
    target->SetRecoveredFrom(std::move(recovered));
    return target;
}

TargetChoice ChooseTarget(const EnvironmentReader& environment)
{
    TargetChoice choice;
    std::u16string source;
    if (auto named = environment("QUELVO_TARGET"); named && !named->empty()) {
        choice.tried = *named;
        source = u"QUELVO_TARGET";
    } else if (auto prefix = environment("WINEPREFIX"); prefix && !prefix->empty()) {
        choice.tried = *prefix;
        source = u"WINEPREFIX";
    } else {
        auto home = environment("HOME");
        choice.tried = fs::path(home && !home->empty() ? *home : std::string("/")) / ".wine";
        source = u"the default Wine prefix";
    }
    const std::u16string where = PathText(choice.tried) + u" (" + source + u")";
    std::error_code ec;
    if (!fs::is_directory(choice.tried, ec)) {
        choice.error = u"No Windows registry to check at " + where
            + (fs::exists(choice.tried, ec) ? u": it is not a folder." : u": the folder does not exist.");
        return choice;
    }
    std::u16string error;
    if (fs::is_regular_file(choice.tried / "system.reg", ec)) {
        choice.target = OpenWinePrefix(choice.tried, &error);
        if (!choice.target)
            choice.error = u"Cannot read the Wine prefix at " + where + u": " + error;
        return choice;
    }
    if (FindIgnoringCase(choice.tried, fs::path("Windows") / "System32" / "config" / "SOFTWARE")) {
        choice.target = OpenWindowsInstallation(choice.tried, &error);
        if (!choice.target)
            choice.error = u"Cannot read the Windows installation at " + where + u": " + error;
        else
            choice.notice = choice.target->Store().ReadState().text;
        return choice;
    }
    choice.error = u"No Windows registry to check at " + where
        + u": it has neither system.reg (a Wine prefix) nor Windows/System32/config/SOFTWARE (a Windows "
          u"installation).";
    return choice;
}

TargetChoice ChooseTarget()
{
    return ChooseTarget([](const char* name) -> std::optional<std::string> {
        const char* value = std::getenv(name);
        if (!value)
            return std::nullopt;
        return std::string(value);
    });
}

}  // namespace quelvo::platform::files
