#include "desktop/DesktopFolders.h"

#include <sys/stat.h>
#include <unistd.h>

namespace quelvo::desktop {

namespace fs = std::filesystem;

namespace {

// The variable's folder when it may be used for this user: absolute, and
// (acting for another user) owned by them, so that root never takes a
// folder someone else chose as the user's.
std::optional<fs::path> FolderVariable(const platform::EnvironmentReader& environment, const char* name,
                                       const DesktopFolders& user)
{
    const char* value = environment(name);
    if (!value || value[0] != '/')
        return std::nullopt;
    if (user.asUser) {
        struct stat st {};
        if (::stat(value, &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != user.uid)
            return std::nullopt;
    }
    return fs::path(value);
}

std::string Lower(std::string text)
{
    for (char& c : text)
        c = c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
    return text;
}

}  // namespace

std::vector<fs::path> DesktopFolders::MimeAppsLists() const
{
    std::vector<fs::path> lists;
    for (const fs::path& folder : {configHome, Applications()}) {
        for (const std::string& desktop : desktops)
            lists.push_back(folder / (desktop + "-mimeapps.list"));
        lists.push_back(folder / "mimeapps.list");
    }
    return lists;
}

std::optional<platform::files::FileOwner> DesktopFolders::Owner() const
{
    if (!asUser)
        return std::nullopt;
    return platform::files::FileOwner{uid, gid};
}

std::optional<DesktopFolders> FindDesktopFolders(const platform::EnvironmentReader& environment, std::string* error)
{
    DesktopFolders folders;
    std::optional<platform::DesktopUser> account;
    if (::geteuid() == 0 && platform::InvokingUid(environment)) {
        account = platform::DesktopUserFor(*platform::InvokingUid(environment));
        if (!account) {
            *error = "the user who started the program (uid " + std::to_string(*platform::InvokingUid(environment))
                + ") has no account here";
            return std::nullopt;
        }
        folders.asUser = platform::files::HasOwnerRights();
    } else {
        account = platform::DesktopUserFor(::geteuid());
    }
    folders.uid = account ? account->uid : ::geteuid();
    folders.gid = account ? account->gid : ::getegid();
    folders.userName = account ? account->name : std::to_string(::geteuid());
    const char* home = folders.asUser ? nullptr : environment("HOME");
    if (home && home[0] == '/')
        folders.home = home;
    else if (account)
        folders.home = account->home;
    else {
        *error = "the home folder of uid " + std::to_string(::geteuid()) + " is not known (HOME is not set)";
        return std::nullopt;
    }
    folders.dataHome = FolderVariable(environment, "XDG_DATA_HOME", folders).value_or(folders.home / ".local" / "share");
    folders.configHome = FolderVariable(environment, "XDG_CONFIG_HOME", folders).value_or(folders.home / ".config");
    if (const char* current = environment("XDG_CURRENT_DESKTOP")) {
        std::string names = current;
        for (std::size_t start = 0; start <= names.size();) {
            const std::size_t end = std::min(names.find(':', start), names.size());
            const std::string name = Lower(names.substr(start, end - start));
            if (!name.empty() && name.find('/') == std::string::npos && name != "." && name != "..")
                folders.desktops.push_back(name);
            start = end + 1;
        }
    }
    return folders;
}

fs::path NormalPrefixPath(const fs::path& path)
{
    fs::path normal = (path.is_absolute() ? path : fs::path("/") / path).lexically_normal();
    std::string text = normal.string();
    while (text.size() > 1 && text.back() == '/')
        text.pop_back();
    return text;
}

bool SamePrefix(const fs::path& a, const fs::path& b)
{
    if (NormalPrefixPath(a) == NormalPrefixPath(b))
        return true;
    std::error_code ec, ec2;
    const fs::path realA = fs::canonical(a, ec), realB = fs::canonical(b, ec2);
    return !ec && !ec2 && realA == realB;
}

}  // namespace quelvo::desktop
