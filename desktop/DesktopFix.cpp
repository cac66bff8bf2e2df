#include "desktop/DesktopFix.h"

#include "platform/FileDescriptor.h"
#include "platform/NameCase.h"
#include "platform/Text.h"
#include "platform/files/RegBackup.h"
#include "platform/files/WineServer.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <map>
#include <set>
#include <unistd.h>

namespace quelvo::desktop {

namespace fs = std::filesystem;
namespace pf = quelvo::platform;
namespace files = quelvo::platform::files;

namespace {

constexpr std::uint64_t kMaxListBytes = 1 << 20;
constexpr std::uint64_t kMaxPackageBytes = 64 * 1024;
constexpr std::uint64_t kMaxIconBytes = 4 << 20;
constexpr std::size_t kMaxIconFolders = 1000;
const std::vector<std::u16string> kRecords = {u"Software", u"Wine", u"FileOpenAssociations"};

std::string Utc()
{
    char stamp[32];
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    gmtime_r(&now, &tm);
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &tm);
    return stamp;
}

std::string KeyText(const std::vector<std::u16string>& key)
{
    std::u16string text;
    for (const std::u16string& part : key)
        text += (text.empty() ? u"" : u"\\") + part;
    return pf::ToUtf8(text);
}

bool SameKey(const std::vector<std::u16string>& a, const std::vector<std::u16string>& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](const auto& x, const auto& y) {
               return pf::NamesEqual(x, y);
           });
}

bool Below(const std::vector<std::u16string>& path, const std::vector<std::u16string>& key)
{
    return path.size() >= key.size() && SameKey({path.begin(), path.begin() + std::ptrdiff_t(key.size())}, key);
}

// A file to remove: its folder, its name, and what it was when read.
struct Removal {
    fs::path folder;
    std::string name;
    FileIdentity identity;
};

// Removes `name` from the folder when it is still the file that was read
// (as the caller's identity); empty when it went, else why not.
std::string RemoveIfSame(const Removal& removal)
{
    const fs::path path = removal.folder / removal.name;
    pf::FileDescriptor folder(::open(removal.folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    struct stat st {};
    if (folder.Get() < 0 || ::fstatat(folder.Get(), removal.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return "cannot reach " + path.string() + ": " + std::strerror(errno);
    if (!(FileIdentity::Of(st) == removal.identity))
        return path.string() + " changed since it was read; it is left as it is";
    if (::unlinkat(folder.Get(), removal.name.c_str(), 0) != 0)
        return "cannot remove " + path.string() + ": " + std::strerror(errno);
    return {};
}

// Reads a regular file of the user's; `missing` when there is none.
bool ReadUserFile(const fs::path& file, std::uint64_t limit, bool followLinks, std::string* bytes, struct stat* info,
                  bool* missing, std::string* error)
{
    *missing = false;
    struct stat st {};
    if (::lstat(file.c_str(), &st) != 0 && errno == ENOENT) {
        *missing = true;
        return false;
    }
    return files::ReadWholeFile(file, bytes, error, {.maxBytes = limit, .followLinks = followLinks, .info = info});
}

// The hicolor size folders' apps/<name>.png icons, read for their backup.
void FindIcons(const fs::path& hicolor, const std::string& name, std::vector<BackupFile>* found,
               std::vector<Removal>* removals, std::vector<std::string>* notes)
{
    pf::FileDescriptor root(::open(hicolor.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    const int copy = root.Get() >= 0 ? ::fcntl(root.Get(), F_DUPFD_CLOEXEC, 0) : -1;
    DIR* dir = copy >= 0 ? ::fdopendir(copy) : nullptr;
    if (!dir) {
        if (copy >= 0)
            ::close(copy);
        return;
    }
    std::vector<std::string> sizes;
    while (const dirent* item = ::readdir(dir)) {
        const std::string size = item->d_name;
        if (size != "." && size != ".." && sizes.size() < kMaxIconFolders)
            sizes.push_back(size);
    }
    ::closedir(dir);
    std::sort(sizes.begin(), sizes.end());
    for (const std::string& size : sizes) {
        pf::FileDescriptor sizeFolder(::openat(root.Get(), size.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        pf::FileDescriptor apps(sizeFolder.Get() < 0 ? -1
                                                     : ::openat(sizeFolder.Get(), "apps", O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        struct stat st {};
        if (apps.Get() < 0 || ::fstatat(apps.Get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        const fs::path icon = hicolor / size / "apps" / name;
        BackupFile file;
        std::string error;
        struct stat opened {};
        if (!S_ISREG(st.st_mode)
            || !files::ReadWholeFile(name, &file.bytes, &error,
                                     {.maxBytes = kMaxIconBytes, .followLinks = false, .folder = apps.Get(), .info = &opened})) {
            notes->push_back(icon.string() + " is left: " + (S_ISREG(st.st_mode) ? error : "it is not a regular file"));
            continue;
        }
        file.path = icon;
        file.mode = opened.st_mode & 07777;
        found->push_back(std::move(file));
        removals->push_back({hicolor / size / "apps", name, FileIdentity::Of(opened)});
    }
}

// One prefix's records to remove from its user.reg.
struct RecordRemoval {
    std::shared_ptr<PrefixClasses> classes;
    std::set<std::size_t> blocks;
    std::vector<std::string> keys;
};

void RefreshNote(DesktopFixResult& result, const std::string& outcome, const std::string& tool, const fs::path& folder)
{
    if (outcome.empty())
        result.refreshed.push_back(tool + " " + folder.string());
    else
        result.notes.push_back(folder.string() + " was not refreshed: " + outcome);
}

// A file the tool would read that is not a regular file (a FIFO, a
// device, a socket, or a link to one): the tool would wait on it forever.
// Only names ending with `suffix`, below `folder` (`depth` levels).
std::optional<fs::path> BlockingFile(const fs::path& folder, const std::string& suffix, int depth)
{
    std::error_code ec;
    std::size_t seen = 0;
    for (auto it = fs::recursive_directory_iterator(folder, fs::directory_options::skip_permission_denied, ec);
         !ec && it != fs::recursive_directory_iterator() && ++seen < 20000; it.increment(ec)) {
        if (it.depth() >= depth)
            it.disable_recursion_pending();
        const std::string name = it->path().filename().string();
        if (name.size() < suffix.size() || name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
            continue;
        struct stat st {};
        if (::stat(it->path().c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode))
            return it->path();
    }
    return std::nullopt;
}

}  // namespace

std::string RunDesktopTool(const DesktopFolders& folders, const std::string& tool, const fs::path& folder)
{
    const std::optional<std::string> program = pf::FindProgram(tool);
    if (!program)
        return tool + " is not installed";
    {
        AsDesktopUser as(folders);
        const bool mime = tool == "update-mime-database";
        if (const auto blocking = mime ? BlockingFile(folder / "packages", ".xml", 1) : BlockingFile(folder, ".desktop", 8))
            return blocking->string() + " is not a regular file, and " + tool
                + " would wait on it forever; remove it, then run " + tool + " " + folder.string();
    }
    std::optional<pf::DesktopUser> user;
    if (folders.asUser) {
        user = pf::DesktopUserFor(folders.uid);
        if (!user)
            return "the account of uid " + std::to_string(folders.uid) + " is not known";
    }
    const std::vector<std::string> environment = {"PATH=/usr/local/bin:/usr/bin:/bin", "HOME=" + folders.home.string(),
                                                  "XDG_DATA_HOME=" + folders.dataHome.string()};
    const pf::RunResult run =
        pf::RunAndWait(user ? &*user : nullptr, *program, {folder.string()}, environment, std::chrono::seconds(60));
    if (!run.ran)
        return run.error;
    if (run.exitStatus != 0)
        return tool + " ended with status " + std::to_string(run.exitStatus);
    return {};
}

DesktopFixResult FixDesktop(const DesktopScan& scan, const DesktopFixOptions& options)
{
    DesktopFixResult result;
    const DesktopFolders& folders = scan.folders;
    std::vector<const FoundEntry*> stale;
    std::set<std::string> staying;  // the types of every entry that stays
    for (const FoundEntry& found : scan.entries) {
        const bool chosen = !options.select || options.select(found);
        if (chosen && found.Stale(options.programsToo)) {
            stale.push_back(&found);
            continue;
        }
        staying.insert(found.entry.mimeType);
        if (chosen && found.ChangedByUser() && found.state != EntryState::Live)
            result.notes.push_back(found.file.string() + " is kept: its user changed it (" + found.changes.front() + ")");
    }
    if (stale.empty())
        return result;

    DesktopBackup backup;
    backup.uid = folders.uid;
    backup.userName = folders.userName;
    std::vector<Removal> removals;
    struct ListChange {
        fs::path path;
        std::string before, after;
    };
    std::vector<ListChange> lists;
    std::map<fs::path, RecordRemoval> records;
    const auto serverRunning = [&](const fs::path& prefix) {
        return options.serverRunning ? options.serverRunning(prefix) : files::IsWineServerRunning(prefix);
    };
    {
        AsDesktopUser as(folders);
        if (!as.Ok()) {
            result.failures.push_back("cannot take the file rights of " + folders.userName + "; nothing was removed");
            return result;
        }
        std::set<std::string> ids;
        for (const FoundEntry* found : stale) {
            backup.files.push_back({found->file, unsigned(found->identity.mode & 07777), found->bytes});
            removals.push_back({folders.Applications(), found->entry.fileName, found->identity});
            ids.insert(found->entry.fileName);
        }
        for (const fs::path& list : folders.MimeAppsLists()) {
            std::string bytes, error, text;
            bool missing = false;
            if (!ReadUserFile(list, kMaxListBytes, true, &bytes, nullptr, &missing, &error)) {
                if (!missing)
                    result.failures.push_back("the ids in " + list.string() + " are left: " + error);
                continue;
            }
            std::vector<MimeAppsEdit> edits;
            if (!RemoveDesktopIds(bytes, ids, &text, &edits))
                continue;
            backup.lists.push_back({list, edits});
            lists.push_back({list, bytes, text});
        }
        std::set<std::string> packages;
        for (const FoundEntry* found : stale) {
            const WineEntry& entry = found->entry;
            const std::string name = MimePackageName(entry.typeName);
            if (entry.kind != WineEntry::Extension || entry.mimeType.empty() || !packages.insert(name).second)
                continue;
            const fs::path file = folders.MimePackages() / name;
            BackupFile saved;
            std::string error;
            struct stat info {};
            bool missing = false;
            if (!ReadUserFile(file, kMaxPackageBytes, false, &saved.bytes, &info, &missing, &error)) {
                if (!missing)
                    result.notes.push_back(file.string() + " is left: " + error);
                continue;
            }
            WineMimePackage package;
            if (!RecogniseWineMimePackage(name, saved.bytes, &package)) {
                result.notes.push_back(file.string() + " is left: it is not the package Wine writes");
                continue;
            }
            if (package.type != entry.mimeType) {
                result.notes.push_back(file.string() + " is left: it declares " + package.type + ", not the entry's "
                                       + entry.mimeType);
                continue;
            }
            if (staying.count(package.type)) {
                result.notes.push_back(file.string() + " is left: an entry that stays still uses " + package.type);
                continue;
            }
            saved.path = file;
            saved.mode = info.st_mode & 07777;
            backup.files.push_back(std::move(saved));
            removals.push_back({folders.MimePackages(), name, FileIdentity::Of(info)});
            FindIcons(folders.HicolorIcons(), IconNameOfType(package.type) + ".png", &backup.files, &removals,
                      &result.notes);
        }
        for (const FoundEntry* found : stale) {
            const auto it = scan.prefixes.find(found->prefix);
            if (!found->record || it == scan.prefixes.end() || it->second->GetState() != PrefixClasses::State::Present)
                continue;
            const std::shared_ptr<PrefixClasses>& classes = it->second;
            std::vector<std::u16string> key = kRecords;
            key.push_back(found->record->name);
            const std::string shown = classes->UserRegFile().string() + ": " + KeyText(key);
            if (classes->OwnerUid() != folders.uid) {
                result.notes.push_back(shown + " is left: the prefix belongs to another user");
                continue;
            }
            if (serverRunning(found->prefix)) {
                result.notes.push_back(shown + " is left: a wineserver is running for " + found->prefix.string()
                                       + " (stop it with \"wineserver -k\" and fix again)");
                continue;
            }
            const auto& blocks = classes->UserReg().blocks;
            RecordRemoval& removal = records[found->prefix];
            removal.classes = classes;
            for (std::size_t i = 0; i < blocks.size(); ++i) {
                if (!Below(blocks[i].path, key) || !removal.blocks.insert(i).second)
                    continue;
                std::vector<std::u16string> previous;
                for (std::size_t k = i; k-- > 0;) {
                    if (!removal.blocks.count(k)) {
                        previous = blocks[k].path;
                        break;
                    }
                }
                backup.records.push_back({classes->UserRegFile(), blocks[i].path, previous, blocks[i].text});
            }
            removal.keys.push_back(shown);
        }
    }

    std::string error;
    const fs::path folder = options.backupFolder.empty() ? files::DefaultBackupFolder() : options.backupFolder;
    result.backup = SaveDesktopBackup(folder, options.backupName.empty() ? "desktop-" + Utc() + ".json" : options.backupName,
                                      backup, &error);
    if (result.backup.empty()) {
        result.failures.push_back("the backup could not be written (" + error + "); nothing was removed");
        return result;
    }

    bool entriesGone = false, packagesGone = false;
    {
        AsDesktopUser as(folders);
        for (const Removal& removal : removals) {
            const std::string failed = RemoveIfSame(removal);
            if (!failed.empty()) {
                result.failures.push_back(failed);
                continue;
            }
            result.removed.push_back(removal.folder / removal.name);
            entriesGone = entriesGone || removal.folder == folders.Applications();
            packagesGone = packagesGone || removal.folder == folders.MimePackages();
        }
        for (const ListChange& list : lists) {
            std::string now, failed;
            bool missing = false;
            if (!ReadUserFile(list.path, kMaxListBytes, true, &now, nullptr, &missing, &failed) || now != list.before) {
                result.failures.push_back(list.path.string() + " changed since it was read; its ids are left");
                continue;
            }
            if (!files::ReplaceFile(list.path, list.after, &failed)) {
                result.failures.push_back(failed);
                continue;
            }
            result.changedLists.push_back(list.path);
        }
        for (auto& [prefix, removal] : records) {
            const fs::path userReg = removal.classes->UserRegFile();
            std::string now, failed;
            bool missing = false;
            if (!ReadUserFile(userReg, regfile::kMaxRegistryFileBytes, true, &now, nullptr, &missing, &failed)
                || now != removal.classes->UserRegBytes()) {
                result.failures.push_back(userReg.string() + " changed since it was read; its records are left");
                continue;
            }
            if (serverRunning(prefix)) {
                result.failures.push_back(userReg.string() + " is left: a wineserver started for " + prefix.string());
                continue;
            }
            regfile::SystemRegDocument document = removal.classes->UserReg();
            for (std::size_t block : removal.blocks)
                document.blocks[block].removed = true;
            if (!files::ReplaceFile(userReg, document.Text(), &failed)) {
                result.failures.push_back(failed);
                continue;
            }
            for (std::string& key : removal.keys)
                result.removedRecords.push_back(std::move(key));
        }
    }
    const ToolRunner run = options.runTool ? options.runTool : RunDesktopTool;
    if (entriesGone || !result.changedLists.empty())
        RefreshNote(result, run(folders, "update-desktop-database", folders.Applications()), "update-desktop-database",
                    folders.Applications());
    if (packagesGone)
        RefreshNote(result, run(folders, "update-mime-database", folders.Mime()), "update-mime-database", folders.Mime());
    return result;
}

namespace {

bool IsUnder(const fs::path& file, const fs::path& folder)
{
    return file.parent_path() == folder.lexically_normal();
}

// Whether a file of a backup may be written for this user: Wine's names in
// their own folders, nowhere else.
bool AllowedFile(const fs::path& file, const DesktopFolders& folders)
{
    const std::string name = file.filename().string();
    if (IsUnder(file, folders.Applications()))
        return WineEntryName(name).has_value();
    if (IsUnder(file, folders.MimePackages()))
        return name.rfind("x-wine-extension-", 0) == 0 && file.extension() == ".xml";
    const fs::path apps = file.parent_path();
    return apps.filename() == "apps" && IsUnder(apps.parent_path(), folders.HicolorIcons()) && file.extension() == ".png"
        && apps.parent_path().filename() != "..";
}

// A saved block: one key block, of a FileOpenAssociations record.
bool AllowedRecord(const BackupRecord& record)
{
    if (record.userReg.filename() != "user.reg" || record.key.size() != kRecords.size() + 1
        || !Below(record.key, kRecords))
        return false;
    regfile::SystemRegDocument document;
    std::u16string error;
    return regfile::ParseSystemReg("WINE REGISTRY Version 2\n" + record.block, &document, &error)
        && document.blocks.size() == 1 && SameKey(document.blocks[0].path, record.key);
}

// Writes a missing file exclusively; false and `kept` when one is there.
std::string CreateFile(const BackupFile& file, bool* kept)
{
    *kept = false;
    std::string error;
    pf::FileDescriptor folder(files::OpenFolderCreating(file.path.parent_path(), &error));
    if (folder.Get() < 0)
        return error;
    const std::string name = file.path.filename().string();
    pf::FileDescriptor fd(::openat(folder.Get(), name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                                   file.mode & 0777));
    if (fd.Get() < 0 && errno == EEXIST) {
        *kept = true;
        return {};
    }
    if (fd.Get() < 0)
        return "cannot create " + file.path.string() + ": " + std::strerror(errno);
    if (!files::WriteAll(fd.Get(), file.bytes) || ::fsync(fd.Get()) != 0) {
        const std::string why = "cannot write " + file.path.string() + ": " + std::strerror(errno);
        ::unlinkat(folder.Get(), name.c_str(), 0);
        return why;
    }
    return {};
}

}  // namespace

DesktopRestoreResult RestoreDesktop(const DesktopBackup& backup, const DesktopFolders& folders,
                                    const DesktopFixOptions& options)
{
    DesktopRestoreResult result;
    if (backup.uid != folders.uid) {
        result.error = "it holds the entries of " + backup.userName + " (uid " + std::to_string(backup.uid)
            + "), not of " + folders.userName + "; restore it as that user";
        return result;
    }
    const std::vector<fs::path> lists = folders.MimeAppsLists();
    for (const BackupFile& file : backup.files) {
        if (!AllowedFile(file.path, folders)) {
            result.error = "it names " + file.path.string()
                + ", which is not one of Wine's desktop files of this user; nothing was restored";
            return result;
        }
    }
    for (const BackupMimeApps& list : backup.lists) {
        if (std::find(lists.begin(), lists.end(), list.path) == lists.end()) {
            result.error = "it names " + list.path.string() + ", which is not a mimeapps.list of this user; nothing was restored";
            return result;
        }
    }
    for (const BackupRecord& record : backup.records) {
        if (!AllowedRecord(record)) {
            result.error = "a record of it is not one of Wine's FileOpenAssociations in a user.reg; nothing was restored";
            return result;
        }
    }
    AsDesktopUser as(folders);
    if (!as.Ok()) {
        result.error = "cannot take the file rights of " + folders.userName;
        return result;
    }
    bool entries = false, packages = false;
    for (const BackupFile& file : backup.files) {
        bool kept = false;
        const std::string failed = CreateFile(file, &kept);
        if (!failed.empty())
            result.failures.push_back(failed);
        else if (kept)
            result.kept.push_back(file.path.string() + " exists already, left as it is");
        else {
            result.restored.push_back(file.path.string());
            entries = entries || IsUnder(file.path, folders.Applications());
            packages = packages || IsUnder(file.path, folders.MimePackages());
        }
    }
    for (const BackupMimeApps& list : backup.lists) {
        std::string bytes, error, text;
        bool missing = false;
        if (!ReadUserFile(list.path, kMaxListBytes, true, &bytes, nullptr, &missing, &error) && !missing) {
            result.failures.push_back(error);
            continue;
        }
        if (!RestoreDesktopIds(bytes, list.edits, &text)) {
            result.kept.push_back(list.path.string() + " lists its ids already");
            continue;
        }
        if (!files::ReplaceFile(list.path, text, &error))
            result.failures.push_back(error);
        else
            result.restored.push_back(list.path.string());
    }
    std::map<fs::path, std::vector<const BackupRecord*>> byFile;
    for (const BackupRecord& record : backup.records)
        byFile[record.userReg].push_back(&record);
    for (const auto& [userReg, saved] : byFile) {
        const fs::path prefix = userReg.parent_path();
        struct stat st {};
        std::string bytes, error;
        bool missing = false;
        regfile::SystemRegDocument document;
        std::u16string parseError;
        if (::stat(prefix.c_str(), &st) != 0 || st.st_uid != folders.uid) {
            result.failures.push_back("the records of " + userReg.string() + " are not restored: the prefix is not "
                                      + folders.userName + "'s any more");
            continue;
        }
        if (!ReadUserFile(userReg, regfile::kMaxRegistryFileBytes, true, &bytes, nullptr, &missing, &error)
            || !regfile::ParseSystemReg(bytes, &document, &parseError)) {
            result.failures.push_back("the records of " + userReg.string() + " are not restored: "
                                      + (error.empty() ? pf::ToUtf8(parseError) : error));
            continue;
        }
        if (options.serverRunning ? options.serverRunning(prefix) : files::IsWineServerRunning(prefix)) {
            result.failures.push_back("the records of " + userReg.string() + " are not restored: a wineserver is running for "
                                      + prefix.string() + " (stop it with \"wineserver -k\" and restore again)");
            continue;
        }
        std::string text = document.header;
        std::vector<const BackupRecord*> pending;
        for (const BackupRecord* record : saved) {
            const bool exists = std::any_of(document.blocks.begin(), document.blocks.end(),
                                            [&](const regfile::SystemRegBlock& b) { return SameKey(b.path, record->key); });
            if (exists)
                result.kept.push_back(userReg.string() + ": " + KeyText(record->key) + " exists already, left as it is");
            else
                pending.push_back(record);
        }
        if (pending.empty())
            continue;
        // Each goes back after the block it followed (or the record before
        // it, restored with it); when that is gone, at the end, where Wine
        // reads it as well.
        const std::size_t atEnd = document.blocks.size();
        std::vector<std::size_t> places;
        for (std::size_t i = 0; i < pending.size(); ++i) {
            const BackupRecord& record = *pending[i];
            std::size_t place = record.previous.empty() ? 0 : atEnd;
            for (std::size_t b = 0; b < document.blocks.size() && !record.previous.empty(); ++b) {
                if (SameKey(document.blocks[b].path, record.previous))
                    place = b + 1;
            }
            for (std::size_t k = 0; k < i; ++k) {
                if (SameKey(pending[k]->key, record.previous))
                    place = places[k];
            }
            places.push_back(place);
        }
        std::vector<std::string> shown;
        const auto insertAt = [&](std::size_t place) {
            for (std::size_t i = 0; i < pending.size(); ++i) {
                if (places[i] == place)
                    text += pending[i]->block;
            }
        };
        for (std::size_t place = 0; place <= atEnd; ++place) {
            if (place > 0)
                text += document.blocks[place - 1].text;
            insertAt(place);
        }
        for (const BackupRecord* record : pending)
            shown.push_back(userReg.string() + ": " + KeyText(record->key));
        if (!files::ReplaceFile(userReg, text, &error)) {
            result.failures.push_back(error);
            continue;
        }
        result.restored.insert(result.restored.end(), shown.begin(), shown.end());
    }
    const ToolRunner run = options.runTool ? options.runTool : RunDesktopTool;
    if (entries || !backup.lists.empty()) {
        if (const std::string failed = run(folders, "update-desktop-database", folders.Applications()); !failed.empty())
            result.kept.push_back(folders.Applications().string() + " was not refreshed: " + failed);
    }
    if (packages) {
        if (const std::string failed = run(folders, "update-mime-database", folders.Mime()); !failed.empty())
            result.kept.push_back(folders.Mime().string() + " was not refreshed: " + failed);
    }
    return result;
}

DesktopRestoreResult RestoreDesktopFile(const fs::path& file, const DesktopFolders& folders,
                                        const DesktopFixOptions& options)
{
    DesktopRestoreResult result;
    std::string bytes, error;
    if (!files::ReadWholeFile(file, &bytes, &error, {.maxBytes = kMaxDesktopBackupBytes, .followLinks = false})) {
        result.error = error;
        return result;
    }
    DesktopBackup backup;
    if (!ReadDesktopBackup(bytes, &backup, &error)) {
        result.error = file.string() + ": " + error;
        return result;
    }
    return RestoreDesktop(backup, folders, options);
}

bool IsDesktopBackupName(const fs::path& file)
{
    const std::string name = file.filename().string();
    const auto ends = [&](std::string_view end) { return name.size() > end.size() && name.substr(name.size() - end.size()) == end; };
    return ends(".desktop.json") || (name.rfind("desktop-", 0) == 0 && ends(".json"));
}

}  // namespace quelvo::desktop
