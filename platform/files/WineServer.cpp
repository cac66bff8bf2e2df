#include "platform/files/WineServer.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace quelvo::platform::files {

namespace fs = std::filesystem;

namespace {

// The first line of <prefix>/wineserver: a regular file, read without
// following a link and without blocking, at most a short line.
std::string NamedServerFolder(const fs::path& prefix)
{
    const int fd = ::open((prefix / "wineserver").c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return {};
    struct stat st {};
    char buffer[256];
    ssize_t n = 0;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode))
        n = ::read(fd, buffer, sizeof buffer);
    ::close(fd);
    if (n <= 0)
        return {};
    std::string name(buffer, std::size_t(n));
    name = name.substr(0, name.find('\n'));
    // Only a plain folder name is trusted: nothing that walks elsewhere.
    if (name.empty() || name.find('/') != std::string::npos || name == "." || name == "..")
        return {};
    return name;
}

// Working folders of running processes named `leaf` (every process's, for
// root; one's own, otherwise).
std::vector<fs::path> WorkingFoldersNamed(const std::string& leaf)
{
    std::vector<fs::path> found;
    DIR* proc = ::opendir("/proc");
    if (!proc)
        return found;
    while (const dirent* entry = ::readdir(proc)) {
        const std::string pid = entry->d_name;
        if (pid.empty() || !std::all_of(pid.begin(), pid.end(), [](char c) { return c >= '0' && c <= '9'; }))
            continue;
        char where[4096];
        const ssize_t n = ::readlink(("/proc/" + pid + "/cwd").c_str(), where, sizeof where - 1);
        if (n <= 0)
            continue;
        const fs::path cwd(std::string(where, std::size_t(n)));
        if (cwd.filename() == leaf)
            found.push_back(cwd);
    }
    ::closedir(proc);
    return found;
}

// Whether a lock is held on `folder`/lock: a regular file, opened without
// following a link or blocking (the folder may belong to someone else).
bool LockHeld(const fs::path& folder)
{
    const fs::path lockFile = folder / "lock";
    struct stat before {};
    if (::lstat(lockFile.c_str(), &before) != 0 || !S_ISREG(before.st_mode))
        return false;
    const int fd = ::open(lockFile.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st {};
    bool locked = false;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_dev == before.st_dev && st.st_ino == before.st_ino) {
        struct flock lock {};
        lock.l_type = F_WRLCK;
        lock.l_whence = SEEK_SET;
        locked = ::fcntl(fd, F_GETLK, &lock) == 0 && lock.l_type != F_UNLCK;
    }
    ::close(fd);
    return locked;
}

}  // namespace

std::vector<fs::path> WineServerFolders(const fs::path& prefix)
{
    std::vector<fs::path> folders;
    auto add = [&](const fs::path& folder) {
        if (std::find(folders.begin(), folders.end(), folder) == folders.end())
            folders.push_back(folder);
    };
    struct stat st {};
    if (::stat(prefix.c_str(), &st) != 0)
        return folders;
    char leaf[64];
    std::snprintf(leaf, sizeof leaf, "server-%llx-%llx", static_cast<unsigned long long>(st.st_dev),
                  static_cast<unsigned long long>(st.st_ino));

    for (const uid_t uid : {st.st_uid, ::getuid(), ::geteuid()})
        add(fs::path("/tmp") / (".wine-" + std::to_string(uid)) / leaf);

    if (const std::string name = NamedServerFolder(prefix); !name.empty()) {
        const char* tmp = std::getenv("TMPDIR");
        if (tmp && *tmp == '/')
            add(fs::path(tmp) / name / leaf);
        add(fs::path("/tmp") / name / leaf);
    }
    for (const auto& folder : WorkingFoldersNamed(leaf))
        add(folder);
    return folders;
}

bool IsWineServerRunning(const fs::path& prefix)
{
    const auto folders = WineServerFolders(prefix);
    return std::any_of(folders.begin(), folders.end(), LockHeld);
}

}  // namespace quelvo::platform::files
