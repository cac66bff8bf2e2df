#pragma once

// Removing stale Wine entries, and putting them back from their backup.
//
// A removal, in order; nothing is removed unless the backup of all of it
// was written and flushed first:
// 1. the desktop entry, when it is still the file that was read;
// 2. its id from every list of the user's mimeapps.list files (the three
//    groups; every other line as it was);
// 3. for an extension, its x-wine-extension-<ext>.xml and the type's icons,
//    when the package is Wine's, declares the entry's type, and no entry
//    that stays (of any prefix) uses that type;
// 4. the prefix's FileOpenAssociations record of it, when the prefix is
//    the desktop user's, its user.reg is as it was read and no wineserver
//    runs for it (the check a repair makes), through the same safe
//    replacement as a repair;
// 5. then update-desktop-database and update-mime-database on the folders
//    that changed, run as the user.
// Every file of the user's is read and written as the user; a name that was
// swapped for something else since the scan is left alone and named.

#include "desktop/DesktopBackup.h"
#include "desktop/DesktopScan.h"
#include "platform/files/FileIo.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace quelvo::desktop {

// Runs a desktop tool (update-desktop-database, update-mime-database) on a
// folder; empty when it ran, else why not.
using ToolRunner = std::function<std::string(const DesktopFolders& folders, const std::string& tool,
                                             const std::filesystem::path& folder)>;
// The tool from /usr/bin (or /usr/local/bin, /bin), run as the desktop user
// and waited for (at most 60 s).
std::string RunDesktopTool(const DesktopFolders& folders, const std::string& tool, const std::filesystem::path& folder);

struct DesktopFixOptions {
    // Remove the entries whose program is gone too.
    bool programsToo = false;
    // Which stale entries to remove (default: all).
    std::function<bool(const FoundEntry&)> select;
    std::filesystem::path backupFolder;  // default: DefaultBackupFolder()
    // The backup's name ("desktop-<time>.json" by default).
    std::string backupName;
    // Seams: whether a wineserver runs for a prefix (IsWineServerRunning),
    // and the desktop tools (RunDesktopTool).
    std::function<bool(const std::filesystem::path& prefix)> serverRunning;
    ToolRunner runTool;
};

struct DesktopFixResult {
    std::filesystem::path backup;                     // empty when nothing needed saving
    std::vector<std::filesystem::path> removed;       // files removed
    std::vector<std::filesystem::path> changedLists;  // mimeapps.list files rewritten
    std::vector<std::string> removedRecords;          // "<user.reg>: Software\Wine\FileOpenAssociations\.txt"
    std::vector<std::string> refreshed;               // tools run, with their folder
    std::vector<std::string> notes;                   // what was left on purpose, and why
    std::vector<std::string> failures;                // what should have changed and did not
    bool Ok() const { return failures.empty(); }
};

DesktopFixResult FixDesktop(const DesktopScan& scan, const DesktopFixOptions& options);

struct DesktopRestoreResult {
    std::vector<std::string> restored;  // what was put back
    std::vector<std::string> kept;      // what was there already, left as it is
    std::vector<std::string> failures;  // what could not be put back, and why
    std::string error;                  // why nothing was restored
    bool Ok() const { return error.empty() && failures.empty(); }
};

// Puts a backup back for the desktop user of `folders`: only paths of that
// user's applications, mime, icons and mimeapps.list places, and records of
// a prefix's user.reg, are written; anything else refuses the whole backup.
// Files that exist are left as they are; ids go back into their lists; a
// record goes back unless its key exists (refused while a wineserver runs).
DesktopRestoreResult RestoreDesktop(const DesktopBackup& backup, const DesktopFolders& folders,
                                    const DesktopFixOptions& options = {});
// The same from a backup file (a regular file named as itself, at most
// kMaxDesktopBackupBytes).
DesktopRestoreResult RestoreDesktopFile(const std::filesystem::path& file, const DesktopFolders& folders,
                                        const DesktopFixOptions& options = {});

// Whether a file's name is that of a desktop backup (*.desktop.json,
// desktop-*.json).
bool IsDesktopBackupName(const std::filesystem::path& file);

}  // namespace quelvo::desktop
