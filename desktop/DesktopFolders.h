#pragma once

// The desktop user whose Wine entries are checked, and their folders.
//
// The desktop user is the one who runs the program, or, when it runs as
// root for a user through sudo or pkexec (SUDO_UID, PKEXEC_UID), that user.
// Then every file of theirs is read and written with their file-system
// identity (AsDesktopUser), so that a link they put anywhere reaches only
// what they could reach themselves.
//
// | Folder       | Where                                                                        |
// |--------------|------------------------------------------------------------------------------|
// | data home    | $XDG_DATA_HOME when absolute, else ~/.local/share; as root for a user, the   |
// |              | variable only when that user owns the folder it names                        |
// | config home  | $XDG_CONFIG_HOME the same way, else ~/.config                                |
// | mimeapps     | config home's <desktop>-mimeapps.list for each name of $XDG_CURRENT_DESKTOP  |
// |              | (lower case), then mimeapps.list; then the same in data home/applications    |
// |              | (deprecated there): the user's own files, in the mime-apps order             |

#include "platform/DesktopSession.h"
#include "platform/files/FileIo.h"

#include <filesystem>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace quelvo::desktop {

struct DesktopFolders {
    uid_t uid = 0;
    gid_t gid = 0;
    std::string userName;
    std::filesystem::path home;
    // Whether files are read and written with the user's identity (this
    // process has more rights than they have).
    bool asUser = false;
    std::filesystem::path dataHome;
    std::filesystem::path configHome;
    std::vector<std::string> desktops;  // $XDG_CURRENT_DESKTOP, lower case, in order

    std::filesystem::path Applications() const { return dataHome / "applications"; }
    std::filesystem::path Mime() const { return dataHome / "mime"; }
    std::filesystem::path MimePackages() const { return Mime() / "packages"; }
    std::filesystem::path HicolorIcons() const { return dataHome / "icons" / "hicolor"; }
    // The prefix of a Wine entry whose Exec names none.
    std::filesystem::path DefaultPrefix() const { return home / ".wine"; }
    std::vector<std::filesystem::path> MimeAppsLists() const;
    // The owner the user's files are written as (none: this process's own).
    std::optional<platform::files::FileOwner> Owner() const;
};

// The desktop user and their folders, from the environment; none (and why)
// when the account cannot be found.
std::optional<DesktopFolders> FindDesktopFolders(const platform::EnvironmentReader& environment, std::string* error);

// While alive, this thread reads and writes as the desktop user (nothing
// changes when the process acts as itself). Ok() false: do nothing.
class AsDesktopUser {
public:
    explicit AsDesktopUser(const DesktopFolders& folders) : m_as(folders.Owner()) {}
    bool Ok() const { return m_as.Ok(); }

private:
    platform::files::AsOwner m_as;
};

// `path` made absolute and lexically normal, without a trailing "/": the
// form two prefixes are compared in ("/home/u/.wine/" and "/home/u//.wine"
// are one prefix; "/home/u/.wine-games" is another).
std::filesystem::path NormalPrefixPath(const std::filesystem::path& path);
// Whether two prefix paths name one folder: the same normal path, or the
// same real one (a link to it).
bool SamePrefix(const std::filesystem::path& a, const std::filesystem::path& b);

}  // namespace quelvo::desktop
