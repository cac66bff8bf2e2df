#pragma once

// The records Wine keeps in a prefix's user.reg of the entries it wrote:
// Software\Wine\FileOpenAssociations\<.ext or scheme>, with the string
// values MimeType, ProgID (file types only), AppName, OpenWithIcon (when the
// program has an icon) and DesktopFile (a Unix path in older Wine, a
// "\\?\unix\..." path since 9.x).

#include "regfile/RegTree.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace quelvo::desktop {

// What Wine recorded for one extension or scheme when it wrote its entry.
struct FileOpenRecord {
    std::u16string name;  // the record's key: ".txt", "irc"
    std::optional<std::u16string> mimeType, progId, appName, openWithIcon, desktopFile;
    // The DesktopFile as a Unix path (Wine 9 writes "\\?\unix\home\...").
    std::optional<std::filesystem::path> DesktopFilePath() const;
};

// The record of `name` in a user registry's tree (its root is the user's
// key), when it has one.
std::optional<FileOpenRecord> ReadFileOpenRecord(regfile::RegKey& userRoot, std::u16string_view name);

// The key's value as text when it is a string (REG_SZ, REG_EXPAND_SZ), up
// to its first NUL.
std::optional<std::u16string> StringOf(const regfile::RegValue* value);

}  // namespace quelvo::desktop
