#include "platform/files/WineServer.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace quelvo::platform::files {

std::vector<std::filesystem::path> WineServerFolders(const std::filesystem::path& prefix)
{
    std::vector<std::filesystem::path> folders;
    struct stat st {};
    if (::stat(prefix.c_str(), &st) != 0)
        return folders;
    char leaf[64];
    std::snprintf(leaf, sizeof leaf, "server-%llx-%llx", static_cast<unsigned long long>(st.st_dev),
                  static_cast<unsigned long long>(st.st_ino));

    const char* tmp = std::getenv("TMPDIR");
    const std::filesystem::path tmpRoot = (tmp && *tmp == '/') ? tmp : "/tmp";
    std::ifstream named(prefix / "wineserver");
    std::string name;
    if (named && std::getline(named, name)) {
        // Only a plain folder name is trusted: nothing that walks elsewhere.
        if (!name.empty() && name.find('/') == std::string::npos && name != "." && name != "..") {
            folders.push_back(tmpRoot / name / leaf);
            if (tmpRoot != "/tmp")
                folders.push_back(std::filesystem::path("/tmp") / name / leaf);
        }
    }
    folders.push_back(std::filesystem::path("/tmp") / (".wine-" + std::to_string(::getuid())) / leaf);
    return folders;
}

bool IsWineServerRunning(const std::filesystem::path& prefix)
{
    for (const auto& folder : WineServerFolders(prefix)) {
        const int fd = ::open((folder / "lock").c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct flock lock {};
        lock.l_type = F_WRLCK;
        lock.l_whence = SEEK_SET;
        const bool locked = ::fcntl(fd, F_GETLK, &lock) == 0 && lock.l_type != F_UNLCK;
        ::close(fd);
        if (locked)
            return true;
    }
    return false;
}

}  // namespace quelvo::platform::files
