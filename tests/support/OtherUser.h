#pragma once

// Another user's files, for the tests that run as root (CI does): a prefix
// given to "nobody", processes run as them, a wineserver's lock held as them.

#include "tests/support/ScratchFolder.h"

#include <filesystem>
#include <functional>
#include <sys/types.h>

namespace quelvo::test {

// The user a test gives a prefix to when it runs as root: "nobody".
inline constexpr uid_t kOtherUid = 65534;
inline constexpr gid_t kOtherGid = 65534;

// Gives a folder or file, and everything below a folder, to uid/gid.
void ChownTree(const std::filesystem::path& path, uid_t uid, gid_t gid);

// A Wine prefix of the other user in `dir` (opened to everyone to reach it):
// dir/pfx holding the test system.reg, mode 0644. The prefix's folder.
std::filesystem::path MakeOtherUsersPrefix(const ScratchFolder& dir);

// Runs `body` in a child process, as uid/gid (with no supplementary groups)
// when uid is not 0; the child's exit status is what body returns.
pid_t ForkAs(uid_t uid, gid_t gid, const std::function<int()>& body);
// The exit status of a child, or -1 when it did not exit normally.
int WaitChild(pid_t pid);

// A child process that holds an fcntl write lock on `lockFile` (made if
// missing) as a running wineserver does, optionally working in
// `workingFolder`, until the holder ends.
class LockHolder {
public:
    LockHolder(const std::filesystem::path& lockFile, uid_t uid, gid_t gid,
               const std::filesystem::path& workingFolder = {});
    ~LockHolder();
    LockHolder(const LockHolder&) = delete;
    LockHolder& operator=(const LockHolder&) = delete;
    bool Holding() const { return m_holding; }

private:
    pid_t m_pid = -1;
    int m_release = -1;
    bool m_holding = false;
};

}  // namespace quelvo::test
