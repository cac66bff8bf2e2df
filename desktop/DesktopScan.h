#pragma once

// Finding the desktop user's Wine entries and telling which are stale.
//
// Every file named wine-extension-*.desktop or wine-protocol-*.desktop
// directly in the user's applications folder is read (a regular file of at
// most kMaxEntryBytes, never through a link, as the user). A Wine entry is
// tied to its prefix by the exact normal path its Exec names, and given a
// state by Wine's own rule:
//
// | State           | When                                                                     |
// |-----------------|--------------------------------------------------------------------------|
// | Live            | the prefix's classes still map the extension to the entry's ProgID (the  |
// |                 | scheme is still a URL protocol) and that has a shell\open\command         |
// | PrefixGone      | no folder at the prefix's path, or no system.reg in it                   |
// | AssociationGone | the extension names no ProgID or another one, or the ProgID (scheme) has |
// |                 | no open command: Wine itself removes such an entry when it runs there    |
// | ProgramGone     | live by Wine's rule, but the program the command names is missing        |
// | Unchecked       | the prefix could not be read: nothing is decided                         |
//
// An entry whose text differs from what Wine writes for its values (or
// from what Wine recorded for it in the prefix's user.reg) was changed by
// its user: it is reported, and kept whatever its state.

#include "desktop/DesktopFolders.h"
#include "desktop/PrefixClasses.h"
#include "desktop/WineEntries.h"
#include "platform/Target.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace quelvo::desktop {

// A Wine entry is a few hundred bytes; larger files are not read.
inline constexpr std::uint64_t kMaxEntryBytes = 64 * 1024;
// At most this many files of Wine's names are looked at; the scan says so
// when there are more.
inline constexpr std::size_t kMaxEntries = 10000;

enum class EntryState { Live, PrefixGone, AssociationGone, ProgramGone, Unchecked };

// The path of the program an open command names, read as the scan reads
// commands (the caller's command path extraction over the prefix's
// environment and drives); empty when the command names none usable.
using ProgramProbe = std::function<std::u16string(platform::Target& prefix, std::u16string_view command)>;

// What a file was when it was read, to notice a change before removing it.
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    std::int64_t modifiedNs = 0;
    mode_t mode = 0;

    static FileIdentity Of(const struct stat& st);
    bool operator==(const FileIdentity&) const = default;
};

struct FoundEntry {
    WineEntry entry;
    std::filesystem::path file;
    FileIdentity identity;
    std::string bytes;
    std::filesystem::path prefix;  // normal form
    EntryState state = EntryState::Unchecked;
    std::string reason;            // why the state, in words
    std::u16string command;        // the open command Wine would run (live and program gone)
    std::u16string program;        // the program it names, when known
    // The prefix's user.reg record of this entry (its DesktopFile names this
    // file, or it names none).
    std::optional<FileOpenRecord> record;
    // Changes by the user: the entry's own and those against the record.
    std::vector<std::string> changes;
    // Other prefixes whose record names this file (their entry was replaced
    // by this one: the file names carry no prefix).
    std::vector<std::filesystem::path> alsoRecordedBy;

    bool ChangedByUser() const { return !changes.empty(); }
    // Removed by a fix: prefix gone or association gone (and program gone
    // when asked), never when changed by the user.
    bool Stale(bool programsToo) const;
};

// A file with Wine's name that is not Wine's entry: never touched.
struct SkippedFile {
    std::string name;
    std::string reason;
    // It could not be read (rights, a failing disk): whether it is Wine's
    // is not known, so the scan is not complete.
    bool unread = false;
};

struct DesktopScan {
    DesktopFolders folders;
    std::vector<FoundEntry> entries;  // by prefix, then file name
    std::vector<SkippedFile> skipped;
    // What could not be looked at (the folder, a limit reached); the scan
    // is complete when empty.
    std::vector<std::string> problems;
    std::map<std::filesystem::path, std::shared_ptr<PrefixClasses>> prefixes;

    // Nothing left unread: the folder, every file of Wine's names, every
    // prefix an entry names.
    bool Complete() const;
};

// Scans as the desktop user. A missing applications folder is no problem:
// there is nothing to find.
DesktopScan ScanDesktop(const DesktopFolders& folders, const ProgramProbe& probe);

// The words for a state ("live", "prefix gone", ...).
const char* StateName(EntryState state);

}  // namespace quelvo::desktop
