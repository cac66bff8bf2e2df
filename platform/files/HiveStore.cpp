// The offline store's reading: the hive and its logs opened once, the
// working copy made (recovered from the logs when the hive is dirty), and
// keys and values loaded from it through hivex on demand.

#include "platform/files/HiveStore.h"

#include "platform/RunBeside.h"
#include "platform/Text.h"
#include "platform/files/HiveParts.h"

#include <hivex.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <fcntl.h>
#include <unistd.h>

namespace quelvo::platform::files {

namespace fs = std::filesystem;
namespace hive = regfile::hive;
using regfile::RegKey;
using regfile::RegValue;

namespace {

// Larger files are no hive Windows writes, and are not read into memory.
constexpr off_t kMaxFileBytes = off_t(2) << 30;

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
            return ReadAllAt(m_fd, at, size, out);
        const std::lock_guard<std::mutex> lock(m_windowLock);  // a log is read by two threads
        if (at < m_windowAt || at + size > m_windowAt + m_windowLength) {
            m_window.resize(kWindow);
            m_windowAt = at / kPage * kPage;
            m_windowLength = 0;
            const std::size_t length = std::min(kWindow, m_size - m_windowAt);
            if (!ReadAllAt(m_fd, m_windowAt, length, m_window.data()))
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
        return WriteAllAt(m_fd, at, data, size);
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

}  // namespace

// ---- The files, opened once -----------------------------------------------

bool HiveSource::Open(const fs::path& file, std::u16string* error)
{
    path = file;
    name = file.filename().string();
    fd.Reset(::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOATIME));
    if (!fd.Valid() && errno == EPERM)
        fd.Reset(::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd.Valid()) {
        *error = ErrnoText(errno);
        return false;
    }
    if (::fstat(fd.Get(), &opened) != 0 || !S_ISREG(opened.st_mode)) {
        *error = u"it is not a file";
        return false;
    }
    return true;
}

bool HiveSource::TooLarge() const { return opened.st_size > kMaxFileBytes; }

bool HiveSource::ReadAll(std::string* bytes) const { return ReadStart(fd.Get(), std::size_t(opened.st_size), bytes); }

bool HiveSource::Changed() const
{
    struct stat now {};
    return ::fstat(fd.Get(), &now) != 0 || now.st_size != opened.st_size || now.st_mtim.tv_sec != opened.st_mtim.tv_sec
        || now.st_mtim.tv_nsec != opened.st_mtim.tv_nsec;
}

bool HiveSources::Open(const fs::path& file, std::u16string* error)
{
    std::u16string why;
    if (!hive.Open(file, &why)) {
        *error = u"Cannot read the registry hive " + PathText(file) + u": " + why;
        return false;
    }
    const fs::path folder = file.parent_path().empty() ? fs::path(".") : file.parent_path();
    for (const char* suffix : {".LOG1", ".LOG2", ".LOG"}) {
        const auto log = FindFileIgnoringCase(folder, file.filename().string() + suffix);
        HiveSource source;
        if (log && source.Open(*log, &why) && !source.TooLarge())
            logs.push_back(std::move(source));
    }
    return true;
}

// ---- The working copy -----------------------------------------------------

namespace {

std::u16string CannotRead(const HiveSource& hive, int error)
{
    return u"Cannot read the registry hive " + PathText(hive.path) + u": " + ErrnoText(error);
}

hive::HiveProblem Problem(hive::HiveProblem::Kind kind)
{
    hive::HiveProblem problem;
    problem.kind = kind;
    return problem;
}

// The logs of a dirty hive, each copied once into a private memory file
// (nobody can change them between their check and their use) and read from
// there piece by piece, and the recovery planned from them.
struct PlannedLogs {
    std::vector<FileDescriptor> copies;
    std::deque<FileImage> images;  // each stays put as more are added
    std::vector<hive::LogFile> logs;
    hive::RecoveryPlan plan;

    void Plan(const HiveSources& files, std::string_view head)
    {
        copies.reserve(files.logs.size());
        for (const HiveSource& log : files.logs) {
            const std::size_t size = std::size_t(log.opened.st_size);
            FileDescriptor copy = MemoryCopy(log.fd.Get(), size, size);
            if (!copy.Valid())
                continue;  // unreadable: as if it were not there
            images.emplace_back(copy.Get(), size, size);
            copies.push_back(std::move(copy));
            logs.emplace_back(log.name, images.back());
        }
        plan = hive::PlanRecovery(head, std::size_t(files.hive.opened.st_size), logs);
    }
};

// A clean hive: copied as it is.
bool CopyClean(const HiveSource& hive, const hive::BaseBlock& base, WorkingCopy* copy, std::u16string* error)
{
    const std::size_t size = std::size_t(hive.opened.st_size);
    copy->fd = MemoryCopy(hive.fd.Get(), size, size);
    if (!copy->fd.Valid()) {
        *error = CannotRead(hive, errno);
        return false;
    }
    copy->size = size;
    if (size - hive::kBaseBlockSize < base.binsSize)
        copy->damage = Problem(hive::HiveProblem::CutShort);
    return true;
}

// A dirty hive whose logs cannot bring it up to date: the file's own state,
// which hivex reads once its header's checksum is right.
bool KeepFileState(const HiveSource& hive, const hive::Recovery& recovery, std::string head, WorkingCopy* copy,
                   std::u16string* error)
{
    const std::size_t size = std::size_t(hive.opened.st_size);
    copy->unrecoverable = recovery.reason;
    if (recovery.imageSpoilt) {
        // Logs whose result proved broken: the file's own bytes again.
        copy->fd = MemoryCopy(hive.fd.Get(), size, size);
        if (!copy->fd.Valid()) {
            *error = CannotRead(hive, errno);
            return false;
        }
        copy->size = size;
    }
    const hive::BaseBlock base = hive::ReadBaseBlock(head);
    if (!base.checksumOk) {
        hive::MakeBaseBlockClean(head.data(), base.primarySequence);
        WriteAllAt(copy->fd.Get(), 0, head.data(), head.size());
    }
    if (const hive::HiveProblem problem = hive::CheckHiveBins(FileImage(copy->fd.Get(), copy->size, copy->size)))
        copy->damage = problem;
    return true;
}

// A dirty hive: copied with room for what its logs may add while the logs
// are copied and planned beside it, then recovered in place.
bool Recover(const HiveSources& files, const std::string& head, WorkingCopy* copy, std::u16string* error)
{
    const HiveSource& hive = files.hive;
    const std::size_t size = std::size_t(hive.opened.st_size);
    std::size_t capacity = size + hive::kBaseBlockSize;
    for (const HiveSource& log : files.logs)
        capacity += std::size_t(log.opened.st_size);
    PlannedLogs logs;
    int copyError = 0;
    RunBeside(
        [&] {
            copy->fd = MemoryCopy(hive.fd.Get(), size, capacity);
            copyError = errno;
        },
        [&] { logs.Plan(files, head); });
    if (!copy->fd.Valid()) {
        *error = CannotRead(hive, copyError);
        return false;
    }
    FileImage image(copy->fd.Get(), size, capacity);
    const hive::Recovery recovery = hive::CarryOutRecovery(logs.plan, image);
    copy->size = image.Size();
    if (::ftruncate(copy->fd.Get(), off_t(copy->size)) != 0) {
        *error = CannotRead(hive, errno);
        return false;
    }
    if (recovery.outcome != hive::Recovery::Recovered)
        return KeepFileState(hive, recovery, head, copy, error);
    copy->recovered = true;
    copy->recoveredFrom = recovery.logsUsed;
    return true;
}

}  // namespace

bool ReadWorkingCopy(const HiveSources& files, WorkingCopy* copy, std::u16string* error)
{
    const HiveSource& hive = files.hive;
    if (hive.TooLarge()) {
        copy->tooLarge = true;
        return true;
    }
    const std::size_t size = std::size_t(hive.opened.st_size);
    std::string head;
    if (!ReadStart(hive.fd.Get(), std::min<std::size_t>(hive::kBaseBlockSize, size), &head)) {
        *error = CannotRead(hive, errno);
        return false;
    }
    const hive::BaseBlock base = hive::ReadBaseBlock(head);
    if (!base.signature || head.size() < hive::kBaseBlockSize) {
        copy->damage = Problem(hive::HiveProblem::NotAHive);
        return true;
    }
    copy->sequenceFloor = std::max(base.primarySequence, base.secondarySequence);
    return base.Dirty() ? Recover(files, head, copy, error) : CopyClean(hive, base, copy, error);
}

// ---- The store ------------------------------------------------------------

HiveStore::HiveStore() = default;

HiveStore::~HiveStore()
{
    if (m_hive)
        hivex_close(HiveHandle(m_hive));
}

std::unique_ptr<HiveStore> HiveStore::Open(const fs::path& file, std::u16string* error, const Options& options)
{
    std::unique_ptr<HiveStore> store(new HiveStore);
    store->m_file = file;
    store->m_options = options;
    store->ResetTree(std::make_unique<RegKey>(u"", nullptr, store.get()));
    if (!store->m_sources.Open(file, error))
        return nullptr;
    store->m_identity = IdentityOf(store->m_sources.hive.fd.Get());
    WorkingCopy copy;
    if (!ReadWorkingCopy(store->m_sources, &copy, error))
        return nullptr;
    store->TakeWorkingCopy(std::move(copy));
    return store;
}

void HiveStore::TakeWorkingCopy(WorkingCopy copy)
{
    const std::u16string where = PathText(m_file);
    m_sequenceFloor = copy.sequenceFloor;
    if (copy.tooLarge) {
        MarkDamaged(where + u" is too large to be a registry hive");
        return;
    }
    if (!copy.fd.Valid()) {
        MarkDamaged(hive::DescribeHiveProblem(*copy.damage, where, kSoftwareRoot));
        return;
    }
    m_working = std::move(copy.fd);
    if (copy.recovered) {
        m_recovered = true;
        m_recoveredFrom = std::move(copy.recoveredFrom);
    }
    if (!copy.unrecoverable.empty())
        MarkStale(copy.unrecoverable);
    if (copy.damage)
        MarkDamaged(hive::DescribeHiveProblem(*copy.damage, where, kSoftwareRoot));
    OpenWorking(where);
}

void HiveStore::MarkDamaged(const std::u16string& text)
{
    NoteReadState({ReadCondition::Damaged,
                   text + u". The report may be incomplete, and Quelvo will not change this hive."});
    m_refusal = text + u"; it is not changed.";
}

void HiveStore::MarkStale(const std::u16string& reason)
{
    const std::u16string text = u"The registry hive " + PathText(m_file)
        + u" was not saved completely (its sequence numbers differ), and its newest changes cannot be "
          u"recovered from its transaction logs: "
        + reason;
    NoteReadState({ReadCondition::Stale,
                   text + u". The report may be out of date, and Quelvo will not change this hive. Let "
                          u"Windows start and shut down once, then check again."});
    m_refusal = text + u"; it is not changed. Let Windows start and shut down once, then try again.";
}

bool HiveStore::OpenWorking(const std::u16string& where)
{
    std::u16string openError;
    return Reopen(false, &openError) || OpenFailed(where, openError);
}

bool HiveStore::OpenFailed(const std::u16string& where, const std::u16string& openError)
{
    // Say what is wrong with it rather than what hivex's errno says.
    const Mapping map(m_working.Get(), FileSize(m_working.Get()), false);
    const hive::HiveProblem problem = hive::CheckHiveStructure(map.View());
    MarkDamaged(problem ? hive::DescribeHiveProblem(problem, where, kSoftwareRoot)
                        : where + u" cannot be read as a registry hive (" + openError + u")");
    return true;
}

bool HiveStore::Reopen(bool writable, std::u16string* error)
{
    if (m_hive) {
        hivex_close(HiveHandle(m_hive));
        m_hive = nullptr;
    }
    // hivex opens paths only: the working copy's own, which nothing outside
    // this process can reach or replace. Read-only, hivex maps it; to change
    // it, it needs a copy of its own.
    hive_h* h = hivex_open(DescriptorPath(m_working.Get()).c_str(), writable ? HIVEX_OPEN_WRITE : 0);
    if (!h) {
        *error = ErrnoText(errno);
        return false;
    }
    m_hive = h;
    m_writable = writable;
    return true;
}

// ---- Keys and values, on demand -------------------------------------------

void HiveStore::DamagedAt(const RegKey& key, const char16_t* what)
{
    MarkDamaged(PathText(m_file) + u" is damaged at " + std::u16string(kMachineRoot) + key.Path() + u" ("
                + what + u")");
}

void HiveStore::LoadChildren(RegKey& key)
{
    if (!m_hive)
        return;
    hive_h* h = HiveHandle(m_hive);
    if (!key.Parent()) {
        RegKey& software = key.AddChild(u"SOFTWARE");
        software.backendId = hivex_root(h);
        return;
    }
    hive_node_h* children = hivex_node_children(h, key.backendId);
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
        char* name = hivex_node_name(h, *c);
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
    hive_h* h = HiveHandle(m_hive);
    hive_value_h* values = hivex_node_values(h, key.backendId);
    if (!values) {
        DamagedAt(key, u"its values cannot be read");
        return;
    }
    for (hive_value_h* v = values; *v; ++v) {
        char* name = hivex_value_key(h, *v);
        hive_type type = hive_t_none;
        std::size_t length = 0;
        char* data = hivex_value_value(h, *v, &type, &length);
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

}  // namespace quelvo::platform::files
