#pragma once

// What a removal of Wine entries saves first, so that quelvo-restore can put
// it back: every file removed (desktop entry, MIME package, icon) with its
// bytes and mode, every mimeapps.list line changed, and every user.reg
// record removed (its block's exact text and the block it followed).
//
// One JSON document ("format": "quelvo-desktop-backup/1"), mode 0600,
// beside the repair backups: desktop-<time>.json, or
// repair-<time>.desktop.json beside the repair-<time>.reg of the repair it
// belongs to. Text taken from files (paths, lines, bytes) is stored in
// base64, so that any byte comes back exactly.

#include "desktop/MimeApps.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace quelvo::desktop {

struct BackupFile {
    std::filesystem::path path;
    unsigned mode = 0644;
    std::string bytes;
};

struct BackupMimeApps {
    std::filesystem::path path;
    std::vector<MimeAppsEdit> edits;
};

struct BackupRecord {
    std::filesystem::path userReg;
    std::vector<std::u16string> key;       // Software, Wine, FileOpenAssociations, <name>
    std::vector<std::u16string> previous;  // the key of the block before it; empty at the start
    std::string block;                      // the block's text, blank line before it included
};

struct DesktopBackup {
    std::uint32_t uid = 0;
    std::string userName;
    std::vector<BackupFile> files;
    std::vector<BackupMimeApps> lists;
    std::vector<BackupRecord> records;

    bool Empty() const { return files.empty() && lists.empty() && records.empty(); }
};

// A desktop backup is a few kilobytes (an icon is the largest item); larger
// files are refused before they are read.
inline constexpr std::uint64_t kMaxDesktopBackupBytes = 32ull << 20;

std::string WriteDesktopBackup(const DesktopBackup& backup);
// False, with the reason, for anything that is not such a document.
bool ReadDesktopBackup(std::string_view text, DesktopBackup* backup, std::string* error);

// The companion name of a repair's backup: repair-<time>.reg ->
// repair-<time>.desktop.json.
std::filesystem::path DesktopBackupBeside(const std::filesystem::path& repairBackup);

// Writes the backup in `folder` (made 0700 when missing) as `name`, mode
// 0600, exclusively and flushed, or under a free variant of the name
// (-1, -2, ...); the file written, or empty and the reason.
std::filesystem::path SaveDesktopBackup(const std::filesystem::path& folder, const std::string& name,
                                        const DesktopBackup& backup, std::string* error);

std::string Base64(std::string_view bytes);
bool FromBase64(std::string_view text, std::string* bytes);

}  // namespace quelvo::desktop
