#pragma once

// Putting back what a repair removed: a backup (.reg file written by
// RegBackup) is read strictly (regfile/RegFileRead.h) and its keys go into
// a Wine prefix's system.reg or an offline installation's SOFTWARE hive
// through that store's add-keys batch (TreeStore::AddKeys): the same checks
// and the same safe write as a repair, the file opened once and never
// again. Either every missing key is written or none is.

#include "platform/files/FileIo.h"
#include "regfile/RestorePlan.h"

#include <ctime>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace quelvo::platform::files {

class FileTarget;

// Reads a backup file: a regular file named as itself (a link, a FIFO, a
// device or a folder is refused before anything is read), at most
// kMaxBackupBytes; then as ReadRegBackup. The message names the file.
bool ReadRegBackupFile(const std::filesystem::path& file, regfile::RegBackupContents* backup, std::u16string* error);

// Into the store behind a target chosen by ChooseTarget. The keys written
// leave the backup for the store (TreeStore::AddKeys).
regfile::RestoreResult RestoreIntoTarget(FileTarget& target, regfile::RegBackupContents& backup);

struct RestoreOptions {
    // Whether a wineserver runs for the prefix; default IsWineServerRunning.
    std::function<bool()> serverRunning;
    ReplaceHook replaceHook;
};

// Into the registry file itself, opened for the restore alone.
regfile::RestoreResult RestoreIntoWinePrefix(const std::filesystem::path& systemReg, regfile::RegBackupContents& backup,
                                             const RestoreOptions& options = {});
regfile::RestoreResult RestoreIntoHive(const std::filesystem::path& hive, regfile::RegBackupContents& backup,
                                       const ReplaceHook& replaceHook = {});
// The same for a backup read for the one restore.
inline regfile::RestoreResult RestoreIntoTarget(FileTarget& target, regfile::RegBackupContents&& backup)
{
    return RestoreIntoTarget(target, backup);
}
inline regfile::RestoreResult RestoreIntoWinePrefix(const std::filesystem::path& systemReg,
                                                    regfile::RegBackupContents&& backup,
                                                    const RestoreOptions& options = {})
{
    return RestoreIntoWinePrefix(systemReg, backup, options);
}
inline regfile::RestoreResult RestoreIntoHive(const std::filesystem::path& hive, regfile::RegBackupContents&& backup,
                                              const ReplaceHook& replaceHook = {})
{
    return RestoreIntoHive(hive, backup, replaceHook);
}

// One backup of a backup folder, for --list.
struct BackupListing {
    std::filesystem::path file;
    std::time_t time = 0;              // from the file's name (repair-YYYYMMDD-HHMMSS), else its mtime
    std::vector<std::u16string> keys;  // listed keys with no listed key above them
    std::size_t keyCount = 0;          // every listed key
    std::u16string error;              // why it cannot be restored, when it cannot
};

// The .reg files of a folder, oldest first; none when the folder is missing.
std::vector<BackupListing> ListBackups(const std::filesystem::path& folder);

}  // namespace quelvo::platform::files
