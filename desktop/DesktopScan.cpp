#include "desktop/DesktopScan.h"

#include "platform/FileDescriptor.h"
#include "platform/NameCase.h"
#include "platform/Text.h"
#include "platform/files/FileIo.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace quelvo::desktop {

namespace fs = std::filesystem;
namespace pf = quelvo::platform;
namespace files = quelvo::platform::files;

namespace {

std::u16string U16(const std::string& text) { return pf::FromUtf8(text); }
std::string U8(const std::u16string& text) { return pf::ToUtf8(text); }

// The names of Wine's form in the folder, sorted; `more` when there were
// more than the limit.
std::vector<std::string> WineNames(int folder, bool* more)
{
    std::vector<std::string> names;
    *more = false;
    const int copy = ::fcntl(folder, F_DUPFD_CLOEXEC, 0);
    DIR* dir = copy >= 0 ? ::fdopendir(copy) : nullptr;
    if (!dir) {
        if (copy >= 0)
            ::close(copy);
        return names;
    }
    while (const dirent* item = ::readdir(dir)) {
        if (!WineEntryName(item->d_name))
            continue;
        if (names.size() == kMaxEntries) {
            *more = true;
            break;
        }
        names.emplace_back(item->d_name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

// Decides the state by Wine's rule; the command and program when live.
void Classify(FoundEntry& found, PrefixClasses& classes, const ProgramProbe& probe)
{
    switch (classes.GetState()) {
    case PrefixClasses::State::Gone:
        found.state = EntryState::PrefixGone;
        found.reason = classes.Problem();
        return;
    case PrefixClasses::State::Unreadable:
        found.state = EntryState::Unchecked;
        found.reason = "the prefix could not be read: " + classes.Problem();
        return;
    case PrefixClasses::State::Present: break;
    }
    const WineEntry& entry = found.entry;
    const std::u16string type = U16(entry.typeName);
    std::u16string classKey;
    found.state = EntryState::AssociationGone;
    if (entry.kind == WineEntry::Extension) {
        const std::optional<std::u16string> progId = classes.ClassString(type);
        if (!progId || progId->empty()) {
            found.reason = classes.ClassKey(type) ? "the extension " + entry.typeName + " names no ProgID any more"
                                                  : "the extension " + entry.typeName + " is not registered any more";
            return;
        }
        if (!pf::NamesEqual(*progId, U16(entry.progId))) {
            found.reason = "the extension " + entry.typeName + " now names " + U8(*progId) + ", not " + entry.progId;
            return;
        }
        classKey = *progId;
    } else {
        regfile::RegKey* scheme = classes.ClassKey(type);
        if (!scheme || !scheme->Value(u"URL Protocol")) {
            found.reason = entry.typeName + " is not a URL protocol any more";
            return;
        }
        classKey = type;
    }
    const std::optional<std::u16string> command = classes.ClassString(classKey + u"\\shell\\open\\command");
    if (!command) {
        found.reason = U8(classKey) + " has no open command any more";
        return;
    }
    found.command = *command;
    found.state = EntryState::Live;
    if (!probe || !classes.Target())
        return;
    found.program = probe(*classes.Target(), *command);
    if (!found.program.empty() && !classes.Target()->FileExists(found.program)) {
        found.state = EntryState::ProgramGone;
        found.reason = "its program " + U8(found.program) + " is missing";
    }
}

// The record of this entry in its prefix, and how the file differs from it.
void CompareWithRecord(FoundEntry& found, PrefixClasses& classes, const std::vector<fs::path>& applications)
{
    std::optional<FileOpenRecord> record = classes.Record(U16(found.entry.typeName));
    if (!record)
        return;
    if (const auto named = record->DesktopFilePath()) {
        const bool ours = std::any_of(applications.begin(), applications.end(), [&](const fs::path& folder) {
            return (folder / found.entry.fileName).lexically_normal() == *named;
        });
        if (!ours)
            return;
    }
    const WineEntry& entry = found.entry;
    const auto differs = [](const std::optional<std::u16string>& recorded, const std::string& value) {
        return recorded && *recorded != U16(value);
    };
    if (differs(record->appName, entry.name))
        found.changes.push_back("a Name other than the one Wine recorded");
    if (differs(record->mimeType, entry.mimeType))
        found.changes.push_back("a MimeType other than the one Wine recorded");
    if (entry.kind == WineEntry::Extension && differs(record->progId, entry.progId))
        found.changes.push_back("a ProgID other than the one Wine recorded");
    if (record->openWithIcon.has_value() != entry.icon.has_value() || differs(record->openWithIcon, entry.icon.value_or("")))
        found.changes.push_back(entry.icon ? "an Icon Wine did not record" : "its Icon removed");
    found.record = std::move(record);
}

}  // namespace

FileIdentity FileIdentity::Of(const struct stat& st)
{
    FileIdentity id;
    id.device = st.st_dev;
    id.inode = st.st_ino;
    id.size = st.st_size;
    id.modifiedNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    id.mode = st.st_mode;
    return id;
}

bool FoundEntry::Stale(bool programsToo) const
{
    if (ChangedByUser())
        return false;
    return state == EntryState::PrefixGone || state == EntryState::AssociationGone
        || (programsToo && state == EntryState::ProgramGone);
}

bool DesktopScan::Complete() const
{
    return problems.empty()
        && std::none_of(skipped.begin(), skipped.end(), [](const SkippedFile& file) { return file.unread; })
        && std::none_of(entries.begin(), entries.end(),
                        [](const FoundEntry& found) { return found.state == EntryState::Unchecked; });
}

const char* StateName(EntryState state)
{
    switch (state) {
    case EntryState::Live: return "live";
    case EntryState::PrefixGone: return "prefix gone";
    case EntryState::AssociationGone: return "association gone";
    case EntryState::ProgramGone: return "program gone";
    case EntryState::Unchecked: return "not checked";
    }
    return "";
}

DesktopScan ScanDesktop(const DesktopFolders& folders, const ProgramProbe& probe)
{
    DesktopScan scan;
    scan.folders = folders;
    AsDesktopUser as(folders);
    if (!as.Ok()) {
        scan.problems.push_back("cannot take the file rights of " + folders.userName);
        return scan;
    }
    const fs::path applications = folders.Applications();
    pf::FileDescriptor folder(::open(applications.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.Get() < 0) {
        if (errno != ENOENT)
            scan.problems.push_back("cannot open " + applications.string() + ": " + std::strerror(errno));
        return scan;
    }
    struct stat st {};
    // The folder as named and as it really is: a record may name either.
    std::vector<fs::path> named{applications.lexically_normal()};
    std::error_code ec;
    if (const fs::path real = fs::canonical(applications, ec); !ec && real != named.front())
        named.push_back(real);

    bool more = false;
    for (const std::string& name : WineNames(folder.Get(), &more)) {
        std::string bytes;
        std::string error;
        if (::fstatat(folder.Get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            scan.skipped.push_back({name, std::string("cannot be looked at: ") + std::strerror(errno), true});
            continue;
        }
        if (!S_ISREG(st.st_mode)) {
            scan.skipped.push_back({name, std::string("is ") + files::KindOf(st.st_mode) + ", not a file Wine wrote"});
            continue;
        }
        if (static_cast<std::uint64_t>(st.st_size) > kMaxEntryBytes) {
            scan.skipped.push_back({name, "is larger than " + std::to_string(kMaxEntryBytes)
                                              + " bytes: Wine's entries are a few hundred, so it is not read"});
            continue;
        }
        struct stat opened {};
        if (!files::ReadWholeFile(name, &bytes, &error,
                                  {.maxBytes = kMaxEntryBytes, .followLinks = false, .folder = folder.Get(), .info = &opened})) {
            scan.skipped.push_back({name, "cannot be read: " + error, true});
            continue;
        }
        FoundEntry found;
        std::string whyNot;
        if (!RecogniseWineEntry(name, bytes, &found.entry, &whyNot)) {
            scan.skipped.push_back({name, "is not Wine's entry: " + whyNot});
            continue;
        }
        found.file = applications / name;
        found.identity = FileIdentity::Of(opened);
        found.bytes = std::move(bytes);
        found.prefix = NormalPrefixPath(found.entry.prefix ? fs::path(*found.entry.prefix) : folders.DefaultPrefix());
        found.changes = found.entry.changes;
        auto& classes = scan.prefixes[found.prefix];
        if (!classes)
            classes = PrefixClasses::Load(found.prefix);
        Classify(found, *classes, probe);
        CompareWithRecord(found, *classes, named);
        scan.entries.push_back(std::move(found));
    }
    if (more)
        scan.problems.push_back(applications.string() + " holds more than " + std::to_string(kMaxEntries)
                                + " files named as Wine names its entries; only the first were looked at");

    // Which other prefixes recorded a file that now names another prefix.
    for (FoundEntry& found : scan.entries) {
        for (auto& [prefix, classes] : scan.prefixes) {
            if (prefix == found.prefix)
                continue;
            const auto record = classes->Record(U16(found.entry.typeName));
            const auto file = record ? record->DesktopFilePath() : std::nullopt;
            if (file && std::any_of(named.begin(), named.end(), [&](const fs::path& f) { return f / found.entry.fileName == *file; }))
                found.alsoRecordedBy.push_back(prefix);
        }
    }
    std::stable_sort(scan.entries.begin(), scan.entries.end(), [](const FoundEntry& a, const FoundEntry& b) {
        return a.prefix != b.prefix ? a.prefix < b.prefix : a.entry.fileName < b.entry.fileName;
    });
    return scan;
}

}  // namespace quelvo::desktop
