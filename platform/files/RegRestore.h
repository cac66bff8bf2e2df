#pragma once

// Putting back what a repair removed: a backup (.reg file written by
// RegBackup) is restored into a Wine prefix's system.reg or an offline
// installation's SOFTWARE hive with the same safe write as a repair (new
// file, flushed, renamed over the old one), refused while the prefix's
// wineserver runs and for a hive whose sequence numbers differ.
//
// Only keys missing from the target are added, with the values the backup
// holds. A key that exists already is left as it is (its values are not
// merged) and reported; nothing else in the target changes. Either every
// missing key is written or none is.

#include "platform/files/FileIo.h"
#include "platform/files/RegTree.h"

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quelvo::platform::files {

class FileTarget;

// A backup read back: its keys in a tree whose root is HKEY_LOCAL_MACHINE,
// and the keys the file lists, in file order (a key listed twice is here
// twice).
struct RegBackupContents {
    std::unique_ptr<RegKey> root;
    std::vector<RegKey*> keys;
};

// The largest backup read. A repair's backup holds a few keys for each
// broken extension: kilobytes, and well under a megabyte for every extension
// of a machine. A larger file is refused before it is read.
inline constexpr std::uint64_t kMaxBackupBytes = 64ull << 20;

// Reads a backup's bytes. Refuses, with a message, a file that is not a
// registry export, one cut short (an odd UTF-16 length, NUL characters, no
// line end or closing blank line at the end, hex data continued past the
// end), text that is not valid UTF-8 or UTF-16 (a lone surrogate, with its
// line), one that asks for deletions, and one naming any key that is not
// below HKEY_LOCAL_MACHINE\SOFTWARE\Classes.
bool ReadRegBackup(std::string_view bytes, RegBackupContents* backup, std::u16string* error);

// Reads a backup file: a regular file named as itself (a link, a FIFO, a
// device or a folder is refused before anything is read), at most
// kMaxBackupBytes; then as ReadRegBackup. The message names the file.
bool ReadRegBackupFile(const std::filesystem::path& file, RegBackupContents* backup, std::u16string* error);

// Text made safe for a terminal: control characters (C0, DEL, C1) and the
// characters that reorder text (bidirectional overrides and isolates) are
// shown escaped ("\x1b", "\u202e"), and so is every byte that is not
// valid UTF-8.
std::string PrintableText(std::string_view utf8);
std::string PrintableText(std::u16string_view text);

struct RestoreResult {
    std::vector<std::u16string> restored;  // keys written, "HKEY_LOCAL_MACHINE\..."
    std::vector<std::u16string> kept;      // listed keys that exist already, left as they are
    std::u16string error;                  // why nothing was written; empty when it worked
    bool Ok() const { return error.empty(); }
};

// The restore into the text of a Wine registry file: `text` becomes the
// file with a block for every missing key, each placed where the file's
// sorted order puts it; the other bytes stay as they were. False (with
// result->error) when the file does not parse or the backup does not fit.
bool RestoreIntoSystemRegText(std::string_view bytes, const RegBackupContents& backup, long long unixSeconds,
                              std::string* text, RestoreResult* result);

struct RestoreOptions {
    // Whether a wineserver runs for the prefix; default IsWineServerRunning.
    std::function<bool()> serverRunning;
    ReplaceHook replaceHook;
};

RestoreResult RestoreIntoWinePrefix(const std::filesystem::path& systemReg, const RegBackupContents& backup,
                                    const RestoreOptions& options = {});
// hivex rewrites a key's whole list of sub-keys for each key it adds, so a
// restore into a hive takes time and memory that grow with the square of the
// keys it adds (5,000 keys: about 20 s and 220 MiB). More are refused before
// anything is written.
inline constexpr std::size_t kMaxHiveRestoreKeys = 5000;

RestoreResult RestoreIntoHive(const std::filesystem::path& hive, const RegBackupContents& backup,
                              const ReplaceHook& replaceHook = {});
// Into the file behind a target chosen by ChooseTarget.
RestoreResult RestoreIntoTarget(FileTarget& target, const RegBackupContents& backup);

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
