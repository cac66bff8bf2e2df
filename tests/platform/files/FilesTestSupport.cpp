#include "FilesTestSupport.h"

#include "platform/Text.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

#include <fcntl.h>
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

namespace quelvo::platform::files::test {

namespace fs = std::filesystem;

TempDir::TempDir()
{
    std::string pattern = (fs::temp_directory_path() / "quelvo-files-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    m_path = pattern;
}

TempDir::~TempDir()
{
    std::error_code ec;
    fs::remove_all(m_path, ec);
}

std::string ReadBytes(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteBytes(const fs::path& file, std::string_view bytes)
{
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

fs::path DataFile(const std::string& name) { return fs::path(QUELVO_FILES_TEST_DATA) / name; }

bool DeleteKeyTree(RegistryStore& store, const std::u16string& path)
{
    RegHandle key{};
    if (store.OpenKey(HKEY_LOCAL_MACHINE, path, KEY_ALL_ACCESS, &key) != kSuccess)
        return false;
    std::uint32_t count = 0, longest = 0;
    store.QueryInfoKey(key, &count, &longest);
    bool ok = true;
    for (std::uint32_t i = count; ok && i-- > 0;) {
        std::vector<char16_t> name(longest + 1, u'\0');
        std::uint32_t length = 0;
        store.EnumKey(key, i, name.data(), longest + 1, &length);
        ok = DeleteKeyTree(store, path + u"\\" + std::u16string(name.data()));
    }
    store.CloseKey(key);
    return ok && store.DeleteKey(HKEY_LOCAL_MACHINE, path) == kSuccess;
}

namespace {
void Put32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = std::uint8_t(v >> (8 * i));
}
void Put16(std::vector<std::uint8_t>& b, std::size_t at, std::uint16_t v)
{
    b[at] = std::uint8_t(v);
    b[at + 1] = std::uint8_t(v >> 8);
}
}  // namespace

void WriteEmptyHive(const fs::path& file)
{
    std::vector<std::uint8_t> hive(8192, 0);
    // Base block.
    std::memcpy(&hive[0], "regf", 4);
    Put32(hive, 0x04, 1);        // primary sequence number
    Put32(hive, 0x08, 1);        // secondary sequence number
    Put32(hive, 0x14, 1);        // major version
    Put32(hive, 0x18, 3);        // minor version
    Put32(hive, 0x1C, 0);        // primary file
    Put32(hive, 0x20, 1);        // direct memory load
    Put32(hive, 0x24, 0x20);     // root cell, relative to the first hbin
    Put32(hive, 0x28, 0x1000);   // size of the hbins
    Put32(hive, 0x2C, 1);        // clustering factor
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < 0x1FC; i += 4)
        sum ^= std::uint32_t(hive[i]) | (std::uint32_t(hive[i + 1]) << 8) | (std::uint32_t(hive[i + 2]) << 16)
            | (std::uint32_t(hive[i + 3]) << 24);
    Put32(hive, 0x1FC, sum);

    const std::size_t bin = 0x1000;
    std::memcpy(&hive[bin], "hbin", 4);
    Put32(hive, bin + 4, 0);       // offset of this hbin
    Put32(hive, bin + 8, 0x1000);  // its size

    // Root nk cell at 0x20: 4 (size) + 76 (fields) + 4 (name) = 84, rounded to 88.
    const std::size_t nk = bin + 0x20;
    const std::uint32_t skOffset = 0x20 + 88;
    Put32(hive, nk, std::uint32_t(-88));
    std::memcpy(&hive[nk + 4], "nk", 2);
    Put16(hive, nk + 6, 0x2C);                 // hive entry, no delete, compressed name
    Put32(hive, nk + 0x14, 0);                 // parent
    Put32(hive, nk + 0x18, 0);                 // sub-keys
    Put32(hive, nk + 0x1C, 0);                 // volatile sub-keys
    Put32(hive, nk + 0x20, 0xFFFFFFFF);        // sub-key list
    Put32(hive, nk + 0x24, 0xFFFFFFFF);        // volatile list
    Put32(hive, nk + 0x28, 0);                 // values
    Put32(hive, nk + 0x2C, 0xFFFFFFFF);        // value list
    Put32(hive, nk + 0x30, skOffset);          // security
    Put32(hive, nk + 0x34, 0xFFFFFFFF);        // class name
    Put16(hive, nk + 0x4C, 4);                 // name length
    std::memcpy(&hive[nk + 0x50], "ROOT", 4);

    // Security cell: a self-relative descriptor without owner, group or ACLs.
    const std::size_t sk = bin + skOffset;
    Put32(hive, sk, std::uint32_t(-48));
    std::memcpy(&hive[sk + 4], "sk", 2);
    Put32(hive, sk + 8, skOffset);   // flink
    Put32(hive, sk + 12, skOffset);  // blink
    Put32(hive, sk + 16, 1);         // reference count
    Put32(hive, sk + 20, 20);        // descriptor size
    hive[sk + 24] = 1;               // revision
    Put16(hive, sk + 26, 0x8000);    // self-relative

    // The rest of the hbin is one free cell.
    const std::size_t free = sk + 48;
    Put32(hive, free, std::uint32_t(bin + 0x1000 - free));

    WriteBytes(file, std::string_view(reinterpret_cast<const char*>(hive.data()), hive.size()));
}

std::string Utf16Sz(std::u16string_view text)
{
    std::string out;
    for (char16_t c : text) {
        out += char(c & 0xFF);
        out += char(c >> 8);
    }
    out += std::string(2, '\0');
    return out;
}

std::unique_ptr<SystemRegStore> OpenWineStore(const fs::path& file)
{
    std::u16string error;
    auto store = SystemRegStore::Open(file, &error);
    if (!store)
        throw std::runtime_error("cannot open " + file.string() + ": " + ToUtf8(error));
    store->SetServerCheck([] { return false; });
    return store;
}

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

fs::path MakeOtherUsersPrefix(const TempDir& dir)
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

TestDisk::TestDisk(const fs::path& at) : m_at(at)
{
    fs::create_directories(at);
    m_mounted = ::geteuid() == 0
        && std::system(("mount -t tmpfs -o size=8m quelvo-test '" + at.string() + "' 2>/dev/null").c_str()) == 0;
}

TestDisk::~TestDisk()
{
    if (m_mounted)
        std::system(("umount '" + m_at.string() + "' 2>/dev/null").c_str());
}

bool TestDisk::RemountReadOnly()
{
    return m_mounted && std::system(("mount -o remount,ro '" + m_at.string() + "'").c_str()) == 0;
}

}  // namespace quelvo::platform::files::test
