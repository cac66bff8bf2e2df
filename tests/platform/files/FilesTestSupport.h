#pragma once

#include "platform/RegistryStore.h"
#include "platform/files/SystemRegStore.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace quelvo::platform::files::test {

// A fresh folder, removed with its content at the end of the scope.
class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::filesystem::path& Path() const { return m_path; }
    std::filesystem::path operator/(const std::filesystem::path& p) const { return m_path / p; }

private:
    std::filesystem::path m_path;
};

std::string ReadBytes(const std::filesystem::path& file);
void WriteBytes(const std::filesystem::path& file, std::string_view bytes);
std::filesystem::path DataFile(const std::string& name);

// The repair's recursive removal, highest index first, through the six calls.
bool DeleteKeyTree(RegistryStore& store, const std::u16string& path);

// The Wine registry store of `file`, with no wineserver check (the tests
// say when one runs); throws, with the reason, when it cannot be read.
std::unique_ptr<SystemRegStore> OpenWineStore(const std::filesystem::path& file);

// A valid, empty registry hive: the base block and one hbin holding the root
// key (named "ROOT") and its security cell.
void WriteEmptyHive(const std::filesystem::path& file);

// Text of a REG_SZ value with its terminating NUL.
std::string Utf16Sz(std::u16string_view text);

// A small disk for the scope: a tmpfs mounted at `at` (made when missing),
// which the test can make read-only; unmounted at the end. Mounted() is
// false where this process may not mount (not root).
class TestDisk {
public:
    explicit TestDisk(const std::filesystem::path& at);
    ~TestDisk();
    TestDisk(const TestDisk&) = delete;
    TestDisk& operator=(const TestDisk&) = delete;
    bool Mounted() const { return m_mounted; }
    bool RemountReadOnly();

private:
    std::filesystem::path m_at;
    bool m_mounted = false;
};

// The user a test gives a prefix to when it runs as root (CI does): "nobody".
inline constexpr uid_t kOtherUid = 65534;
inline constexpr gid_t kOtherGid = 65534;

// Gives a folder or file, and everything below a folder, to uid/gid.
void ChownTree(const std::filesystem::path& path, uid_t uid, gid_t gid);

// A Wine prefix of the other user in `dir` (opened to everyone to reach it):
// dir/pfx holding the test system.reg, mode 0644. The prefix's folder.
std::filesystem::path MakeOtherUsersPrefix(const TempDir& dir);

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

}  // namespace quelvo::platform::files::test
