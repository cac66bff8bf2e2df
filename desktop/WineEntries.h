#pragma once

// The files Wine's menu builder writes for a prefix's associations, told
// apart from everything else:
//
// applications/wine-extension-<ext>.desktop (wine-protocol-<scheme>.desktop)
//   [Desktop Entry]
//   Type=Application
//   Name=<friendly name of the program>
//   MimeType=<type>;
//   Exec=env WINEPREFIX="<prefix>" wine start /ProgIDOpen <ProgID> %f
//                                  (protocols: ... wine start %u; without a
//                                  prefix: Exec=wine start ...; Debian's
//                                  packages name their own launcher)
//   NoDisplay=true
//   StartupNotify=true
//   Icon=<icon name>                (only when the program has an icon)
// The prefix is written as it is, between the quotes; the ProgID with a
// backslash doubled before each character a shell treats specially (and a
// backslash itself written as four).
//
// mime/packages/x-wine-extension-<ext>.xml, when the desktop knows no type:
//   <?xml version="1.0" encoding="UTF-8"?>
//   <mime-info xmlns="http://www.freedesktop.org/standards/shared-mime-info">
//     <mime-type type="<type>">
//       <glob pattern="*.<ext>"/>
//       <comment><the file type's friendly name></comment>   (when it has one)
//     </mime-type>
//   </mime-info>
// and the type's icons, icons/hicolor/<size>/apps/<type with "/" as "-">.png.
//
// An entry is Wine's when its name has Wine's form and its Exec, read by the
// desktops' quoting rules, has Wine's shape; anything else is not Wine's and
// is never touched. A Wine entry that differs from what Wine writes for its
// own values was changed by its user.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quelvo::desktop {

struct WineEntry {
    enum Kind { Extension, Protocol } kind = Extension;
    std::string fileName;  // "wine-extension-txt.desktop"
    // The registry name it stands for: the extension with its dot (".txt")
    // or the URL scheme ("irc").
    std::string typeName;
    std::string mimeType;  // the one type of MimeType=, empty when there is none
    std::string name;      // Name=, as written
    std::string progId;    // Extension: the ProgID the Exec opens with
    // WINEPREFIX as the Exec gives it (absolute); none: the launcher's
    // default (~/.wine).
    std::optional<std::string> prefix;
    std::string launcher;
    std::optional<std::string> icon;  // Icon=, as written
    // How the file differs from what Wine writes for these values, in
    // words ("another Exec", "NoDisplay=true removed", "keys Wine does not
    // write: Comment"); empty when it is Wine's text exactly.
    std::vector<std::string> changes;
};

// The form of Wine's file names: the registry name and kind, or none.
std::optional<WineEntry> WineEntryName(std::string_view fileName);

// Reads a file named by WineEntryName. False, with the reason in plain
// words, when it is not Wine's: not a desktop entry, no Exec, or an Exec
// without Wine's shape (kind and name included).
bool RecogniseWineEntry(std::string_view fileName, std::string_view bytes, WineEntry* entry, std::string* whyNot);

// The file Wine writes for these values (kind, name, type, ProgID, prefix,
// launcher, icon).
std::string WineEntryText(const WineEntry& entry);

// One Exec argument escaped as Wine escapes it.
std::string WineExecEscape(std::string_view argument);

// Whether `launcher` is a name Wine's menu builder writes for its launcher:
// "wine", "wine64", or one of them with a suffix ("wine-stable").
bool IsWineLauncherName(std::string_view launcher);

struct WineMimePackage {
    std::string type;
    std::string extension;  // with its dot
    std::optional<std::string> comment;
};

// Reads an x-wine-extension-<ext>.xml: true only for Wine's text exactly,
// its extension matching the name.
bool RecogniseWineMimePackage(std::string_view fileName, std::string_view bytes, WineMimePackage* package);

// The text Wine writes for a package.
std::string WineMimePackageText(const WineMimePackage& package);

// "application/x-wine-extension-foo" -> "application-x-wine-extension-foo",
// the name of the type's icons.
std::string IconNameOfType(std::string_view mimeType);

// The x-wine-extension-<ext>.xml name of an extension (".foo").
std::string MimePackageName(std::string_view extension);

}  // namespace quelvo::desktop
