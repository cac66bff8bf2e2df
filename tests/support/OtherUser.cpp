#include "tests/support/OtherUser.h"

#include "tests/support/Bytes.h"

#include <cerrno>
#include <stdexcept>

#include <fcntl.h>
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

namespace quelvo::test {

namespace fs = std::filesystem;

void ChownTree(const fs::path& path, uid_t uid, gid_t gid)
{
    if (::lchown(path.c_str(), uid, gid) != 0)
        throw std::runtime_error("lchown failed: " + path.string());
    std::error_code ec;
    if (!fs::is_directory(fs::symlink_status(path, ec)))
        return;
    for (const auto& entry : fs::recursive_directory_iterator(path)) {
        if (::lchown(entry.path().c_str(), uid, gid) != 0)
            throw std::runtime_error("lchown failed: " + entry.path().string());
    }
}

fs::path MakeOtherUsersPrefix(const ScratchFolder& dir)
{
    fs::permissions(dir.Path(), fs::perms(0755));
    const fs::path prefix = dir / "pfx";
    fs::create_directories(prefix);
    WriteBytes(prefix / "system.reg", ReadBytes(DataFile("system.reg")));
    fs::permissions(prefix / "system.reg", fs::perms(0644));
    ChownTree(prefix, kOtherUid, kOtherGid);
    return prefix;
}

pid_t ForkAs(uid_t uid, gid_t gid, const std::function<int()>& body)
{
    const pid_t pid = ::fork();
    if (pid != 0)
        return pid;
    if (uid != 0 && (::setgroups(0, nullptr) != 0 || ::setresgid(gid, gid, gid) != 0 || ::setresuid(uid, uid, uid) != 0))
        ::_exit(126);
    ::_exit(body());
}

int WaitChild(pid_t pid)
{
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

LockHolder::LockHolder(const fs::path& lockFile, uid_t uid, gid_t gid, const fs::path& workingFolder)
{
    int ready[2], release[2];
    if (::pipe(ready) != 0 || ::pipe(release) != 0)
        throw std::runtime_error("pipe failed");
    m_pid = ForkAs(uid, gid, [&] {
        ::close(ready[0]);
        ::close(release[1]);
        const int fd = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        struct flock lock {};
        lock.l_type = F_WRLCK;
        lock.l_whence = SEEK_SET;
        if (fd < 0 || ::fcntl(fd, F_SETLK, &lock) != 0)
            return 1;
        if (!workingFolder.empty() && ::chdir(workingFolder.c_str()) != 0)
            return 1;
        char c = 'x';
        if (::write(ready[1], &c, 1) != 1)
            return 1;
        (void)!::read(release[0], &c, 1);  // until the holder ends
        return 0;
    });
    ::close(ready[1]);
    ::close(release[0]);
    m_release = release[1];
    char c = 0;
    m_holding = ::read(ready[0], &c, 1) == 1;
    ::close(ready[0]);
}

LockHolder::~LockHolder()
{
    ::close(m_release);
    if (m_pid > 0)
        WaitChild(m_pid);
}

}  // namespace quelvo::test
