#include "platform/files/HiveStore.h"

#include "platform/NameCase.h"
#include "platform/RunBeside.h"
#include "platform/Text.h"
#include "platform/files/HiveImage.h"
#include "platform/files/HiveRecovery.h"
#include "platform/files/RegExport.h"

#include <hivex.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <fcntl.h>
#include <mutex>
#include <optional>
#include <set>
#include <sys/mman.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace quelvo::platform::files {

namespace {

namespace fs = std::filesystem;

// Larger files are no hive Windows writes, and are not read into memory.
constexpr off_t kMaxFileBytes = off_t(2) << 30;
constexpr std::u16string_view kMachine = u"HKEY_LOCAL_MACHINE\\";
constexpr std::u16string_view kSoftware = u"HKEY_LOCAL_MACHINE\\SOFTWARE";
constexpr std::u16string_view kFastStartupAdvice =
    u"start that Windows and shut it down fully (hold Shift while choosing Shut down, or run \"powercfg /h off\" "
    u"once)";

hive_h* Hive(void* p) { return static_cast<hive_h*>(p); }

std::u16string ErrnoText(int error) { return FromUtf8(std::strerror(error)); }
std::u16string PathText(const fs::path& p) { return FromUtf8(p.string()); }

std::u16string Describe(hive::HiveProblem::Kind kind, const std::u16string& file)
{
    hive::HiveProblem problem;
    problem.kind = kind;
    return hive::DescribeHiveProblem(problem, file, {});
}

std::string ProcPath(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

std::string Identity(const struct stat& st)
{
    return std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino) + ":" + std::to_string(st.st_size) + ":"
        + std::to_string(st.st_mtim.tv_sec) + "." + std::to_string(st.st_mtim.tv_nsec);
}

std::string IdentityOfName(const fs::path& file)
{
    struct stat st {};
    return ::stat(file.c_str(), &st) == 0 ? Identity(st) : std::string();
}

// Calls io (pread or pwrite) until the `size` bytes at `at` of a descriptor
// are done; false with errno set when it stops short.
template<class Io, class Bytes>
bool TransferAll(Io io, int fd, std::size_t at, Bytes data, std::size_t size)
{
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = io(fd, data + done, size - done, off_t(at + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            return false;
        }
        done += std::size_t(n);
    }
    return true;
}

bool PreadAll(int fd, std::size_t at, std::size_t size, char* out) { return TransferAll(::pread, fd, at, out, size); }

bool PwriteAll(int fd, std::size_t at, const char* data, std::size_t size)
{
    return TransferAll(::pwrite, fd, at, data, size);
}

// Reads `size` bytes from the start of a descriptor; false with errno set
// when it has fewer.
bool ReadAt(int fd, std::string* bytes, std::size_t size)
{
    bytes->assign(size, '\0');
    return PreadAll(fd, 0, size, bytes->data());
}

// Copies `size` bytes from the start of `from` to the end of `to`, in the
// kernel where it can (as cp does), else through a buffer.
bool CopyBytes(int from, int to, std::size_t size)
{
    off_t in = 0;
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::sendfile(to, from, &in, size - done);
        if (n > 0) {
            done += std::size_t(n);
            continue;
        }
        if (n == 0) {
            errno = EIO;  // the file is shorter than it was
            return false;
        }
        if (errno == EINTR)
            continue;
        if (errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
            return false;
        std::string chunk;
        while (done < size) {
            chunk.resize(std::min<std::size_t>(size - done, 1 << 20));
            const ssize_t r = ::pread(from, chunk.data(), chunk.size(), off_t(done));
            if (r < 0 && errno == EINTR)
                continue;
            if (r <= 0) {
                if (r == 0)
                    errno = EIO;
                return false;
            }
            if (!WriteAll(to, std::string_view(chunk.data(), std::size_t(r))))
                return false;
            done += std::size_t(r);
        }
    }
    return true;
}

// A private copy in memory of a file's first `size` bytes, `capacity` bytes
// long (zeros after the copy): nothing of the working copy reaches a disk,
// and nobody else can change it under a mapping. -1 with errno on failure.
int MemoryCopy(int from, std::size_t size, std::size_t capacity)
{
    const int fd = ::memfd_create("quelvo-hive", MFD_CLOEXEC);
    if (fd < 0)
        return -1;
    if (!CopyBytes(from, fd, size) || (capacity > size && ::ftruncate(fd, off_t(capacity)) != 0)) {
        const int saved = errno;
        ::close(fd);
        errno = saved;
        return -1;
    }
    return fd;
}

// A shared mapping of a private memory file.
class Mapping {
public:
    Mapping(int fd, std::size_t length, bool writable) : m_length(length)
    {
        if (length == 0)
            return;
        void* p = ::mmap(nullptr, length, PROT_READ | (writable ? PROT_WRITE : 0), MAP_SHARED, fd, 0);
        if (p != MAP_FAILED)
            m_data = static_cast<char*>(p);
    }
    ~Mapping()
    {
        if (m_data)
            ::munmap(m_data, m_length);
    }
    Mapping(const Mapping&) = delete;
    Mapping& operator=(const Mapping&) = delete;

    bool Ok() const { return m_data != nullptr || m_length == 0; }
    char* Data() const { return m_data; }
    std::string_view View() const { return {m_data, m_data ? m_length : 0}; }

private:
    char* m_data = nullptr;
    std::size_t m_length;
};

std::size_t FileSize(int fd)
{
    struct stat st {};
    return ::fstat(fd, &st) == 0 ? std::size_t(st.st_size) : 0;
}

// The hive recovered in place in its private memory file, read and written
// through the descriptor: a mapping of its own would take a page fault for
// every page touched, which costs more than the copy (several times so in
// a virtual machine). Reads go through a window, since the walk over the
// bins reads a few bytes of each.
class FileImage final : public hive::ImageBuffer {
public:
    FileImage(int fd, std::size_t size, std::size_t capacity)
        : m_fd(fd), m_size(size), m_capacity(capacity), m_zeroFrom(size)
    {
    }
    std::size_t Size() const override { return m_size; }
    bool Read(std::size_t at, std::size_t size, char* out) const override
    {
        if (at > m_size || size > m_size - at)
            return false;
        if (size > kWindow / 2)
            return PreadAll(m_fd, at, size, out);
        const std::lock_guard<std::mutex> lock(m_windowLock);  // a log is read by two threads
        if (at < m_windowAt || at + size > m_windowAt + m_windowLength) {
            m_window.resize(kWindow);
            m_windowAt = at / kPage * kPage;
            m_windowLength = 0;
            const std::size_t length = std::min(kWindow, m_size - m_windowAt);
            if (!PreadAll(m_fd, m_windowAt, length, m_window.data()))
                return false;
            m_windowLength = length;
        }
        std::memcpy(out, m_window.data() + (at - m_windowAt), size);
        return true;
    }
    bool Write(std::size_t at, const char* data, std::size_t size) override
    {
        if (at > m_size || size > m_size - at)
            return false;
        {
            const std::lock_guard<std::mutex> lock(m_windowLock);  // written by two threads
            m_windowLength = 0;
            m_zeroFrom = std::max(m_zeroFrom, at + size);
        }
        return PwriteAll(m_fd, at, data, size);
    }
    bool Resize(std::size_t size) override
    {
        if (size > m_capacity)
            return false;
        if (size > m_size && m_zeroFrom > m_size) {
            // What a shrink cut off is still in the file: cutting the file
            // there and growing it again makes those bytes zero.
            if (::ftruncate(m_fd, off_t(m_size)) != 0 || ::ftruncate(m_fd, off_t(m_capacity)) != 0)
                return false;
            m_zeroFrom = m_size;
        }
        m_size = size;
        m_windowLength = 0;
        return true;
    }

private:
    static constexpr std::size_t kPage = 4096;
    static constexpr std::size_t kWindow = std::size_t(1) << 20;
    int m_fd;
    std::size_t m_size;
    std::size_t m_capacity;
    std::size_t m_zeroFrom;  // every byte from here to the capacity is zero
    mutable std::string m_window;
    mutable std::size_t m_windowAt = 0;
    mutable std::size_t m_windowLength = 0;
    mutable std::mutex m_windowLock;
};

// `name` in `folder`, in any letter case (the exact case first).
std::optional<fs::path> EntryIgnoringCase(const fs::path& folder, const std::string& name)
{
    std::error_code ec;
    if (fs::is_regular_file(folder / name, ec))
        return folder / name;
    const std::u16string wanted = FromUtf8(name);
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        if (NamesEqual(FromUtf8(entry.path().filename().string()), wanted) && entry.is_regular_file(ec))
            return entry.path();
    }
    return std::nullopt;
}

// hivex commits to a path: the process's own view of a private memory file.
// Its descriptor, or -1 with errno set.
int CommitHiveToMemoryFile(void* hive)
{
    const int fd = ::memfd_create("quelvo-hive-new", MFD_CLOEXEC);
    if (fd < 0)
        return -1;
    if (hivex_commit(Hive(hive), ProcPath(fd).c_str(), 0) != 0) {
        const int saved = errno;
        ::close(fd);
        errno = saved;
        return -1;
    }
    return fd;
}

}  // namespace

bool CommitHiveToBytes(void* hive, std::string* bytes, std::string* error)
{
    const int fd = CommitHiveToMemoryFile(hive);
    if (fd < 0) {
        *error = std::string("hivex cannot write the hive: ") + std::strerror(errno);
        return false;
    }
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !ReadAt(fd, bytes, static_cast<std::size_t>(st.st_size))) {
        *error = std::string("cannot read the hive hivex wrote: ") + std::strerror(errno);
        return false;
    }
    return true;
}

// A file opened once at start: everything later reads it through `fd`.
struct HiveStore::Source {
    std::string name;  // its file name, for messages and the copies
    fs::path path;
    int fd = -1;
    struct stat opened {};

    Source() = default;
    Source(const Source&) = delete;
    Source& operator=(const Source&) = delete;
    Source(Source&& other) noexcept : name(std::move(other.name)), path(std::move(other.path)), fd(other.fd),
                                      opened(other.opened)
    {
        other.fd = -1;
    }
    ~Source()
    {
        if (fd >= 0)
            ::close(fd);
    }

    // Opens a regular file for reading without touching it (not even its
    // access time where the rights allow); never waits on a pipe put there.
    bool Open(const fs::path& file, std::u16string* error)
    {
        path = file;
        name = file.filename().string();
        fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOATIME);
        if (fd < 0 && errno == EPERM)
            fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0) {
            *error = ErrnoText(errno);
            return false;
        }
        if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
            *error = u"it is not a file";
            return false;
        }
        return true;
    }
    bool TooLarge() const { return opened.st_size > kMaxFileBytes; }
    bool ReadAll(std::string* bytes) const { return ReadAt(fd, bytes, std::size_t(opened.st_size)); }
    // Whether its content may have changed since it was opened.
    bool Changed() const
    {
        struct stat now {};
        return ::fstat(fd, &now) != 0 || now.st_size != opened.st_size
            || now.st_mtim.tv_sec != opened.st_mtim.tv_sec || now.st_mtim.tv_nsec != opened.st_mtim.tv_nsec;
    }
};

Hibernation ReadHibernation(const fs::path& installationRoot)
{
    const auto file = EntryIgnoringCase(installationRoot, "hiberfil.sys");
    if (!file)
        return Hibernation::None;
    const int fd = ::open(file->c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    char head[4] = {};
    const bool read = fd >= 0 && ::pread(fd, head, sizeof head, 0) == ssize_t(sizeof head);
    if (fd >= 0)
        ::close(fd);
    if (read && EqualsIgnoreCaseAscii(FromUtf8(std::string_view(head, 4)), u"hibr"))
        return Hibernation::Hibernated;
    return Hibernation::FilePresent;
}

bool ReadHiveSequenceNumbers(const fs::path& file, std::uint32_t* primary, std::uint32_t* secondary)
{
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    std::string head;
    const bool read = ReadAt(fd, &head, 12);
    ::close(fd);
    if (!read || head.compare(0, 4, "regf") != 0)
        return false;
    *primary = hive::Le32(head.data() + 4);
    *secondary = hive::Le32(head.data() + 8);
    return true;
}

HiveStore::HiveStore() : m_hiveSource(std::make_unique<Source>()) {}

HiveStore::~HiveStore()
{
    if (m_hive)
        hivex_close(Hive(m_hive));
    if (m_working >= 0)
        ::close(m_working);
}

std::unique_ptr<HiveStore> HiveStore::Open(const fs::path& file, std::u16string* error, const Options& options)
{
    std::unique_ptr<HiveStore> store(new HiveStore);
    store->m_file = file;
    store->m_options = options;
    store->ResetTree(std::make_unique<RegKey>(u"", nullptr, store.get()));
    std::u16string why;
    if (!store->m_hiveSource->Open(file, &why)) {
        *error = u"Cannot read the registry hive " + PathText(file) + u": " + why;
        return nullptr;
    }
    store->m_identity = Identity(store->m_hiveSource->opened);
    for (const char* suffix : {".LOG1", ".LOG2", ".LOG"}) {
        const auto log = EntryIgnoringCase(file.parent_path().empty() ? "." : file.parent_path(),
                                           file.filename().string() + suffix);
        Source source;
        if (log && source.Open(*log, &why) && !source.TooLarge())
            store->m_logs.push_back(std::move(source));
    }
    if (!store->ReadAndRecover(error))
        return nullptr;
    return store;
}

void HiveStore::MarkDamaged(const std::u16string& text)
{
    NoteReadState({ReadCondition::Damaged,
                   text + u". The report may be incomplete, and Quelvo will not change this hive."});
    m_refusal = text + u"; it is not changed.";
}

bool HiveStore::ReadAndRecover(std::u16string* error)
{
    const Source& hive = *m_hiveSource;
    const std::u16string where = PathText(m_file);
    if (hive.TooLarge()) {
        MarkDamaged(where + u" is too large to be a registry hive");
        return true;
    }
    const std::size_t size = std::size_t(hive.opened.st_size);
    std::string head;
    if (!ReadAt(hive.fd, &head, std::min<std::size_t>(hive::kBaseBlockSize, size))) {
        *error = u"Cannot read the registry hive " + where + u": " + ErrnoText(errno);
        return false;
    }
    const hive::BaseBlock base = hive::ReadBaseBlock(head);
    if (!base.signature || head.size() < hive::kBaseBlockSize) {
        MarkDamaged(Describe(hive::HiveProblem::NotAHive, where));
        return true;
    }
    m_sequenceFloor = std::max(base.primarySequence, base.secondarySequence);

    // The logs of a dirty hive, each copied once into a private memory file
    // (nobody can change them between their check and their use) and read
    // from there piece by piece. They are copied and every entry to apply
    // is checked on a thread of their own while the hive is being copied.
    std::vector<int> logCopies;
    std::deque<FileImage> logImages;  // each stays put as more are added
    std::vector<hive::LogFile> logs;
    struct CloseAll {
        std::vector<int>& fds;
        ~CloseAll()
        {
            for (int fd : fds)
                ::close(fd);
        }
    } closeLogs{logCopies};
    std::size_t logRoom = 0;  // what the logs may add to the hive, at most
    for (const Source& log : m_logs)
        logRoom += std::size_t(log.opened.st_size);
    hive::RecoveryPlan plan;
    auto planFromLogs = [&] {
        logCopies.reserve(m_logs.size());
        for (const Source& log : m_logs) {
            const std::size_t logSize = std::size_t(log.opened.st_size);
            const int copy = MemoryCopy(log.fd, logSize, logSize);
            if (copy < 0)
                continue;  // unreadable: as if it were not there
            logCopies.push_back(copy);
            logImages.emplace_back(copy, logSize, logSize);
            logs.emplace_back(log.name, logImages.back());
        }
        plan = hive::PlanRecovery(head, size, logs);
    };

    // The working copy, with room for what the logs may add.
    const std::size_t capacity = size + (base.Dirty() ? logRoom + hive::kBaseBlockSize : 0);
    int copyError = 0;
    auto copyHive = [&] {
        m_working = MemoryCopy(hive.fd, size, capacity);
        copyError = errno;
    };
    if (base.Dirty())
        RunBeside(copyHive, planFromLogs);
    else
        copyHive();
    if (m_working < 0) {
        *error = u"Cannot read the registry hive " + where + u": " + ErrnoText(copyError);
        return false;
    }
    if (!base.Dirty()) {
        if (size - hive::kBaseBlockSize < base.binsSize)
            MarkDamaged(Describe(hive::HiveProblem::CutShort, where));
        return OpenWorking(where);
    }

    hive::Recovery recovery;
    std::size_t recovered = size;
    {
        FileImage image(m_working, size, capacity);
        recovery = hive::CarryOutRecovery(plan, image, false);
        recovered = image.Size();
    }
    if (::ftruncate(m_working, off_t(recovered)) != 0) {
        *error = u"Cannot read the registry hive " + where + u": " + ErrnoText(errno);
        return false;
    }
    if (recovery.outcome == hive::Recovery::Recovered && m_options.recovered)
        m_options.recovered();
    if (recovery.outcome == hive::Recovery::Recovered && recovery.binsUnchecked) {
        // The last check of the recovered bins runs beside hivex's reading
        // of them, which takes longer; a failed check undoes the open.
        hive::HiveProblem problem;
        std::u16string openError;
        const bool opened = RunBeside([&] { return Reopen(false, &openError); }, [&] {
            problem = hive::CheckHiveBins(FileImage(m_working, recovered, recovered));
        });
        if (!problem) {
            m_recovered = true;
            m_recoveredFrom = recovery.logsUsed;
            return opened || OpenFailed(where, openError);
        }
        if (m_hive) {
            hivex_close(Hive(m_hive));
            m_hive = nullptr;
        }
        hive::RejectBrokenBins(recovery);
    } else if (recovery.outcome == hive::Recovery::Recovered) {
        m_recovered = true;
        m_recoveredFrom = recovery.logsUsed;
        return OpenWorking(where);
    }

    // Not recovered: the file's own state is shown, marked out of date.
    const std::u16string text = u"The registry hive " + where
        + u" was not saved completely (its sequence numbers differ), and its newest changes cannot be "
          u"recovered from its transaction logs: "
        + recovery.reason;
    NoteReadState({ReadCondition::Stale,
                   text + u". The report may be out of date, and Quelvo will not change this hive. Let "
                          u"Windows start and shut down once, then check again."});
    m_refusal = text + u"; it is not changed. Let Windows start and shut down once, then try again.";
    if (recovery.imageSpoilt) {
        // Logs whose result proved broken: the file's own state again.
        ::close(m_working);
        m_working = MemoryCopy(hive.fd, size, size);
        if (m_working < 0) {
            *error = u"Cannot read the registry hive " + where + u": " + ErrnoText(errno);
            return false;
        }
        recovered = size;
    }
    // Only a broken checksum keeps hivex out.
    if (!base.checksumOk) {
        hive::MakeBaseBlockClean(head.data(), base.primarySequence);
        ::pwrite(m_working, head.data(), head.size(), 0);
    }
    if (const hive::HiveProblem problem = hive::CheckHiveBins(FileImage(m_working, recovered, recovered)))
        MarkDamaged(hive::DescribeHiveProblem(problem, where, kSoftware));
    return OpenWorking(where);
}

bool HiveStore::OpenWorking(const std::u16string& where)
{
    std::u16string openError;
    return Reopen(false, &openError) || OpenFailed(where, openError);
}

bool HiveStore::OpenFailed(const std::u16string& where, const std::u16string& openError)
{
    // Say what is wrong with it rather than what hivex's errno says.
    const Mapping map(m_working, FileSize(m_working), false);
    const hive::HiveProblem problem = hive::CheckHiveStructure(map.View());
    MarkDamaged(problem ? hive::DescribeHiveProblem(problem, where, kSoftware)
                        : where + u" cannot be read as a registry hive (" + openError + u")");
    return true;
}

bool HiveStore::Reopen(bool writable, std::u16string* error)
{
    if (m_hive) {
        hivex_close(Hive(m_hive));
        m_hive = nullptr;
    }
    // Read-only, hivex maps the working copy; to change it, it needs a copy
    // of its own.
    hive_h* h = hivex_open(ProcPath(m_working).c_str(), writable ? HIVEX_OPEN_WRITE : 0);
    if (!h) {
        *error = ErrnoText(errno);
        return false;
    }
    m_hive = h;
    m_writable = writable;
    return true;
}

void HiveStore::DamagedAt(const RegKey& key, const char16_t* what)
{
    MarkDamaged(PathText(m_file) + u" is damaged at " + std::u16string(kMachine) + key.Path() + u" (" + what + u")");
}

void HiveStore::LoadChildren(RegKey& key)
{
    if (!m_hive)
        return;
    if (!key.Parent()) {
        RegKey& software = key.AddChild(u"SOFTWARE");
        software.backendId = hivex_root(Hive(m_hive));
        return;
    }
    hive_node_h* children = hivex_node_children(Hive(m_hive), key.backendId);
    if (!children) {
        DamagedAt(key, u"its sub-keys cannot be read");
        return;
    }
    for (hive_node_h* c = children; *c; ++c) {
        bool cycle = false;
        for (const RegKey* up = &key; up && up->Parent() && !cycle; up = up->Parent())
            cycle = up->backendId == *c;
        if (cycle) {
            DamagedAt(key, u"its sub-keys lead back to a key above it: a sub-key cycle");
            continue;
        }
        char* name = hivex_node_name(Hive(m_hive), *c);
        if (!name) {
            DamagedAt(key, u"the name of a sub-key cannot be read");
            continue;
        }
        RegKey& child = key.AddChild(FromUtf8(name));
        child.backendId = *c;
        std::free(name);
    }
    std::free(children);
}

void HiveStore::LoadValues(RegKey& key)
{
    if (!m_hive || !key.Parent())
        return;
    hive_value_h* values = hivex_node_values(Hive(m_hive), key.backendId);
    if (!values) {
        DamagedAt(key, u"its values cannot be read");
        return;
    }
    for (hive_value_h* v = values; *v; ++v) {
        char* name = hivex_value_key(Hive(m_hive), *v);
        hive_type type = hive_t_none;
        std::size_t length = 0;
        char* data = hivex_value_value(Hive(m_hive), *v, &type, &length);
        if (name && data) {
            RegValue value;
            value.name = FromUtf8(name);
            value.type = static_cast<RegType>(type);
            value.data.assign(reinterpret_cast<std::uint8_t*>(data), reinterpret_cast<std::uint8_t*>(data) + length);
            key.SetValue(std::move(value));
        } else {
            DamagedAt(key, u"a value cannot be read");
        }
        std::free(name);
        std::free(data);
    }
    std::free(values);
}

bool HiveStore::ChangedOnDisk() const
{
    if (IdentityOfName(m_file) != m_identity)
        return true;
    if (m_recovered) {
        for (const Source& log : m_logs) {
            if (log.Changed())
                return true;
        }
    }
    return false;
}

RegStatus HiveStore::CheckStructureOnce(std::u16string* message)
{
    if (m_structureChecked)
        return kSuccess;
    const Mapping map(m_working, FileSize(m_working), false);
    if (!map.Ok()) {
        *message = u"Cannot read the registry hive " + PathText(m_file) + u" again: " + ErrnoText(errno)
            + u"; nothing was written.";
        return kWriteFault;
    }
    if (const hive::HiveProblem problem = hive::CheckHiveStructure(map.View())) {
        MarkDamaged(hive::DescribeHiveProblem(problem, PathText(m_file), kSoftware));
        *message = m_refusal;
        return kAccessDenied;
    }
    m_structureChecked = true;
    return kSuccess;
}

RegStatus HiveStore::CheckWritable(std::u16string* message)
{
    const std::u16string where = PathText(m_file);
    if (!m_refusal.empty()) {
        *message = m_refusal;
        return kAccessDenied;
    }
    if (!m_hive) {
        *message = u"The registry hive " + where + u" is not open.";
        return kWriteFault;
    }
    // Windows resuming from hibernation would write its own memory back over
    // any change made now: refused before anything is touched.
    const Hibernation hibernation = m_options.installationRoot.empty()
        ? Hibernation::None
        : ReadHibernation(m_options.installationRoot);
    if (hibernation == Hibernation::Hibernated) {
        *message = u"Windows on " + PathText(m_options.installationRoot)
            + u" is hibernated (Fast Startup): changes made now would be lost, or could damage the disk, when it "
              u"resumes. Nothing was written. To repair it, " + std::u16string(kFastStartupAdvice)
            + u", then try again.";
        return kAccessDenied;
    }
    struct statvfs fs {};
    if (::fstatvfs(m_hiveSource->fd, &fs) == 0 && (fs.f_flag & ST_RDONLY)) {
        *message = u"The registry hive " + where + u" cannot be changed: the disk is mounted read-only. Nothing was "
                                                    u"written.";
        if (hibernation == Hibernation::FilePresent)
            *message += u" Windows on it may be hibernated (Fast Startup), and ntfs-3g mounts such a disk read-only: "
                + std::u16string(kFastStartupAdvice) + u", then mount the disk again.";
        else
            *message += u" Mount it read-write, then try again.";
        return kAccessDenied;
    }
    if (ChangedOnDisk()) {
        *message = where + u" changed on disk since it was read; scan again before repairing.";
        return kWriteFault;
    }
    const RegStatus status = CheckStructureOnce(message);
    if (status != kSuccess || m_writable)
        return status;
    // Removals need hivex's own copy of the hive; until now it only read it.
    std::u16string error;
    if (!Reopen(true, &error)) {
        *message = u"Cannot open the registry hive " + where + u" for changes: " + error + u"; nothing was written.";
        return kWriteFault;
    }
    return kSuccess;
}

std::uint32_t HiveStore::NextSequence(std::string_view written) const
{
    std::uint32_t highest = std::max({m_sequenceFloor, hive::Le32(written.data() + 4), hive::Le32(written.data() + 8)});
    std::vector<std::string> logBytes(m_logs.size());
    std::vector<hive::LogFile> logs;
    for (std::size_t i = 0; i < m_logs.size(); ++i) {
        if (m_logs[i].ReadAll(&logBytes[i]))
            logs.push_back({m_logs[i].name, logBytes[i]});
    }
    highest = std::max(highest, hive::HighestLogSequence(logs));
    return highest == 0xFFFFFFFF ? 0 : highest + 1;
}

bool HiveStore::KeepCopies(std::u16string* message)
{
    RegBackup* backup = Backup();
    if (!backup) {
        *message = u"The registry hive " + PathText(m_file)
            + u" was recovered from its transaction logs, and there is no backup folder to keep copies of them "
              u"in; nothing was written.";
        return false;
    }
    std::vector<const Source*> sources{m_hiveSource.get()};
    for (const Source& log : m_logs)
        sources.push_back(&log);
    fs::path folder;
    for (const Source* source : sources) {
        if (source->Changed()) {
            *message = PathText(source->path) + u" changed on disk since it was read; nothing was written. Scan "
                                                 u"again before repairing.";
            return false;
        }
        fs::path copy;
        const int fd = backup->CreateCompanion(source->name, &copy, message);
        if (fd < 0)
            return false;
        const bool ok = CopyBytes(source->fd, fd, std::size_t(source->opened.st_size)) && ::fsync(fd) == 0;
        const int saved = errno;
        ::close(fd);
        if (!ok) {
            *message = u"Cannot write the copy " + PathText(copy) + u": " + ErrnoText(saved) + u"; nothing was "
                                                                                              u"written.";
            return false;
        }
        folder = copy.parent_path();
    }
    FlushFolder(folder);
    return true;
}

RegStatus HiveStore::PersistRemovals(const std::vector<RegKey*>& removed, std::u16string* message)
{
    const std::u16string where = PathText(m_file);
    std::u16string reopenError;
    auto failed = [&](RegStatus status) {
        Reopen(true, &reopenError);  // the in-memory hive may be inconsistent: drop it
        return status;
    };
    std::set<const RegKey*> batch(removed.begin(), removed.end());
    for (RegKey* key : removed) {
        if (!key->Parent() || !key->Parent()->Parent()) {
            *message = u"The root of the hive " + where + u" cannot be removed.";
            return kAccessDenied;
        }
        // A key removed with an ancestor goes with that ancestor's node.
        bool underRemoved = false;
        for (const RegKey* up = key->Parent(); up && !underRemoved; up = up->Parent())
            underRemoved = batch.count(up) != 0;
        if (underRemoved)
            continue;
        if (hivex_node_delete_child(Hive(m_hive), key->backendId) != 0) {
            *message = u"Cannot remove " + key->Path() + u" from " + where + u": " + ErrnoText(errno);
            return failed(kWriteFault);
        }
    }

    // hivex writes the whole hive into a private file; its bytes get a
    // clean header and are checked before they reach the disk.
    const int committed = CommitHiveToMemoryFile(m_hive);
    if (committed < 0) {
        *message = u"hivex cannot write the new hive: " + ErrnoText(errno) + u"; " + where + u" is unchanged.";
        return failed(kWriteFault);
    }
    Mapping map(committed, FileSize(committed), true);
    const std::string_view bytes = map.View();
    if (!map.Ok() || bytes.size() < hive::kBaseBlockSize) {
        *message = u"Cannot read back the new hive: " + ErrnoText(errno) + u"; " + where + u" is unchanged.";
        ::close(committed);
        return failed(kWriteFault);
    }
    const std::uint32_t sequence = NextSequence(bytes);
    if (sequence == 0) {
        *message = u"The sequence numbers of " + where + u" and its logs are used up; it is unchanged.";
        ::close(committed);
        return failed(kAccessDenied);
    }
    // Written now: a log of an older state (old format logs go by this
    // timestamp) can never be taken for this one's.
    const std::uint64_t now = std::uint64_t(::time(nullptr)) * 10000000ull + 116444736000000000ull;
    hive::PutLe32(map.Data() + 12, std::uint32_t(now));
    hive::PutLe32(map.Data() + 16, std::uint32_t(now >> 32));
    hive::MakeBaseBlockClean(map.Data(), sequence);
    if (const hive::HiveProblem problem = hive::CheckHiveStructure(bytes)) {
        *message = u"The new hive failed its check (" + hive::DescribeHiveProblem(problem, u"it", kSoftware) + u"); "
            + where + u" is unchanged.";
        ::close(committed);
        return failed(kWriteFault);
    }
    if (m_recovered && !KeepCopies(message)) {
        ::close(committed);
        return failed(kWriteFault);
    }
    std::string writeError;
    if (!ReplaceFile(m_file, bytes, &writeError, m_replaceHook)) {
        *message = u"Cannot rewrite " + where + u": " + FromUtf8(writeError) + u"; it is unchanged.";
        ::close(committed);
        return failed(kWriteFault);
    }
    // The hive on disk is now these bytes: they are the working copy from
    // here on, and its logs no longer count.
    ::close(m_working);
    m_working = committed;
    m_identity = IdentityOfName(m_file);
    m_recovered = false;
    m_sequenceFloor = sequence;
    return kSuccess;
}

}  // namespace quelvo::platform::files
