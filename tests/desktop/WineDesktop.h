#pragma once

// Fixtures of a desktop user's Wine traces, in the exact text Wine 9's menu
// builder and wineserver write: the association entries, MIME packages and
// icons of the user's data folder, and Wine prefixes whose registries
// (system.reg, user.reg) hold the classes and FileOpenAssociations records.

#include "desktop/DesktopFolders.h"
#include "desktop/DesktopScan.h"
#include "tests/support/Bytes.h"
#include "tests/support/OtherUser.h"
#include "tests/support/ScratchFolder.h"

#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace quelvo::desktop::test {

namespace fs = std::filesystem;
using quelvo::test::ScratchFolder;

// One association of a prefix, as Wine found it when it wrote its entry.
struct Association {
    std::string type{};  // ".txt", or a URL scheme ("irc")
    std::string progId{};
    std::string appName = "A Wine application";
    // The desktop's type for the extension; empty: the desktop knew none, so
    // Wine wrote application/x-wine-extension-<ext> and its package.
    std::string mimeType{};
    // The type came from the registry's Content Type, the desktop knowing
    // none: Wine wrote a package for it too.
    bool packaged = false;
    std::optional<std::string> openWithIcon{};
    std::optional<std::string> docName{};  // the package's comment
    std::string launcher = "wine";
    // The ProgID as Wine escapes it in Exec; empty: the ProgID itself.
    std::string escapedProgId{};

    bool Protocol() const { return type.empty() || type[0] != '.'; }
    std::string Mime() const;
    std::string FileName() const;
};

// A desktop user's folders in a temporary folder: home/, data/ and config/.
struct Home {
    ScratchFolder dir;
    fs::path Data() const { return dir / "data"; }
    fs::path Config() const { return dir / "config"; }
    fs::path Applications() const { return Data() / "applications"; }
    // The folders of the test's own user, acting as itself.
    DesktopFolders Folders() const;
    // Environment variables for the desktop's tools (xdg-mime, gio).
    std::map<std::string, std::string> Environment() const;
};

// What Wine 9 writes for an association of `prefix`.
std::string EntryText(const fs::path& prefix, const Association& a);
std::string PackageText(const Association& a);

// A Wine prefix: its classes (the machine's, or the user's in user.reg),
// Wine's records, and program files on its drive C:.
class Prefix {
public:
    explicit Prefix(fs::path path) : m_path(std::move(path)) {}
    const fs::path& Path() const { return m_path; }

    // .ext -> ProgID -> shell\open\command.
    Prefix& Extension(const std::string& ext, const std::string& progId, const std::string& command, bool user = false);
    Prefix& Protocol(const std::string& scheme, const std::string& command);
    // A program file under drive_c ("C:\\windows\\notepad.exe").
    Prefix& Program(const std::string& windowsPath);
    // Wine's record of an entry; `unixForm`: the DesktopFile of older Wine.
    Prefix& Record(const Association& a, const fs::path& desktopFile, bool unixForm = false);
    // system.reg, user.reg, drive_c and dosdevices/c:.
    void Write() const;

private:
    struct Key {
        std::vector<std::string> path;
        std::vector<std::pair<std::string, std::string>> values;  // name ("" default) -> text
    };
    fs::path m_path;
    std::vector<Key> m_machine, m_user;
    std::vector<std::string> m_programs;
};

// Writes Wine's entry of `a` for `prefix` (and its package when the type is
// Wine's own) into the home, and Wine's record into the prefix.
void WriteAssociation(const Home& home, Prefix& prefix, const Association& a);

std::string ReadFile(const fs::path& file);
void WriteFile(const fs::path& file, const std::string& bytes);
// Every file below `folder` with its bytes (links as "-> target", files
// above 1 MiB as their size).
std::map<fs::path, std::string> Snapshot(const fs::path& folder);
// What changed between two snapshots, as paths relative to `root`.
std::set<std::string> Changed(const std::map<fs::path, std::string>& before, const std::map<fs::path, std::string>& after,
                              const fs::path& root);

// A desktop tool's answer (its output and errors), run with the home's
// environment only.
std::string AskDesktop(const Home& home, const std::string& command);
// The default application of a MIME type by the desktop's two tools:
// "xdg-mime: <id>, gio: <id>".
std::string DesktopDefault(const Home& home, const std::string& type);

}  // namespace quelvo::desktop::test

namespace quelvo::desktop::test {

// The program path of a command, as the scan extracts it over the prefix.
ProgramProbe ScanProbe();

// Sets this process's environment variables for a scope (none: unset) and
// puts back what was there.
class ScopedEnvironment {
public:
    ScopedEnvironment() = default;
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;
    ~ScopedEnvironment();
    void Set(const char* name, const std::optional<std::string>& value);
    // The home's HOME and XDG folders, and no SUDO_UID, PKEXEC_UID or XDG_CURRENT_DESKTOP.
    void UseHome(const Home& home);

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> m_saved;
};

// A desktop with an entry for every state, and the traps:
//   home/.wine        txt live, mp3 program gone, foo (a repair removed .foo;
//                     its package and icon), bar (ProgID without a command;
//                     its type shared with abc), xyz (the user's classes
//                     name another ProgID), abc live through the user's
//                     classes, irc (protocol) live, log changed by its user
//                     (and association gone), doc live in this prefix
//   home/.wine-games  gone: doc names it (a prefix of .wine's path)
//   home/empty        no system.reg: rtf
//   home/shared pfx   ini (association gone), which home/.wine recorded first
// and files of Wine's names that are not Wine's entries: a link, a FIFO,
// 100 MB, binary, another program's. mimeapps.list in config/ (comments,
// duplicates, an unknown group) and in data/applications/ (deprecated).
struct EveryState {
    Home home;
    fs::path wine, games, empty, shared;
    EveryState();
    // The files a removal of the stale entries changes, relative to the
    // home's folder (its backup and the desktop tools' caches aside).
    static std::set<std::string> StaleTraces();
};

}  // namespace quelvo::desktop::test
