#include "platform/files/HiveStore.h"

#include "platform/Text.h"

#include <hivex.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quelvo::platform::files {

namespace {

hive_h* Hive(void* p) { return static_cast<hive_h*>(p); }

std::u16string ErrnoText() { return FromUtf8(std::strerror(errno)); }

}  // namespace

bool CommitHiveToBytes(void* hive, std::string* bytes, std::string* error)
{
    const int fd = ::memfd_create("quelvo-hive", MFD_CLOEXEC);
    if (fd < 0) {
        *error = std::string("cannot make room in memory for the hive: ") + std::strerror(errno);
        return false;
    }
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    // hivex commits to a path: the process's own view of the memory file.
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    if (hivex_commit(Hive(hive), self.c_str(), 0) != 0) {
        *error = std::string("hivex cannot write the hive: ") + std::strerror(errno);
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        *error = std::string("cannot read the hive hivex wrote: ") + std::strerror(errno);
        return false;
    }
    bytes->resize(static_cast<std::size_t>(st.st_size));
    std::size_t done = 0;
    while (done < bytes->size()) {
        const ssize_t n = ::pread(fd, bytes->data() + done, bytes->size() - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            *error = std::string("cannot read the hive hivex wrote: ") + std::strerror(n < 0 ? errno : EIO);
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool ReadHiveSequenceNumbers(const std::filesystem::path& file, std::uint32_t* primary,
                             std::uint32_t* secondary)
{
    std::ifstream in(file, std::ios::binary);
    unsigned char head[12] = {};
    if (!in.read(reinterpret_cast<char*>(head), sizeof head) || std::memcmp(head, "regf", 4) != 0)
        return false;
    auto le32 = [&](int at) {
        return std::uint32_t(head[at]) | (std::uint32_t(head[at + 1]) << 8) | (std::uint32_t(head[at + 2]) << 16)
            | (std::uint32_t(head[at + 3]) << 24);
    };
    *primary = le32(4);
    *secondary = le32(8);
    return true;
}

std::unique_ptr<HiveStore> HiveStore::Open(const std::filesystem::path& file, std::u16string* error)
{
    std::unique_ptr<HiveStore> store(new HiveStore);
    store->m_file = file;
    if (!store->Reopen(error))
        return nullptr;
    store->ResetTree(std::make_unique<RegKey>(u"", nullptr, store.get()));
    return store;
}

HiveStore::~HiveStore()
{
    if (m_hive)
        hivex_close(Hive(m_hive));
}

std::string HiveStore::FileIdentity() const
{
    struct stat st {};
    if (::stat(m_file.c_str(), &st) != 0)
        return {};
    return std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino) + ":" + std::to_string(st.st_size) + ":"
        + std::to_string(st.st_mtim.tv_sec) + "." + std::to_string(st.st_mtim.tv_nsec);
}

bool HiveStore::Reopen(std::u16string* error)
{
    if (m_hive) {
        hivex_close(Hive(m_hive));
        m_hive = nullptr;
    }
    hive_h* h = hivex_open(m_file.c_str(), HIVEX_OPEN_WRITE);
    if (!h) {
        *error = u"Cannot read the registry hive " + FromUtf8(m_file.string()) + u": " + ErrnoText();
        return false;
    }
    m_hive = h;
    m_identity = FileIdentity();
    return true;
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
    if (!children)
        return;  // unreadable: the key shows as empty
    for (hive_node_h* c = children; *c; ++c) {
        char* name = hivex_node_name(Hive(m_hive), *c);
        if (!name)
            continue;
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
    if (!values)
        return;
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
        }
        std::free(name);
        std::free(data);
    }
    std::free(values);
}

RegStatus HiveStore::CheckWritable(std::u16string* message)
{
    const std::u16string where = FromUtf8(m_file.string());
    std::uint32_t primary = 0, secondary = 0;
    if (!ReadHiveSequenceNumbers(m_file, &primary, &secondary)) {
        *message = where + u" is no longer a registry hive; nothing was written.";
        return kWriteFault;
    }
    if (primary != secondary) {
        *message = u"The registry hive " + where
            + u" was not saved completely (its sequence numbers differ); it is not changed. Let Windows "
              u"start once to recover it.";
        return kAccessDenied;
    }
    if (FileIdentity() != m_identity) {
        *message = where + u" changed on disk since it was read; scan again before repairing.";
        return kWriteFault;
    }
    if (!m_hive) {
        *message = u"The registry hive " + where + u" is not open.";
        return kWriteFault;
    }
    return kSuccess;
}

RegStatus HiveStore::PersistRemovals(const std::vector<RegKey*>& removed, std::u16string* message)
{
    const std::u16string where = FromUtf8(m_file.string());
    std::u16string reopenError;
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
            *message = u"Cannot remove " + key->Path() + u" from " + where + u": " + ErrnoText();
            Reopen(&reopenError);  // the in-memory hive may be inconsistent: drop it
            return kWriteFault;
        }
    }
    std::string bytes, writeError;
    const bool written = CommitHiveToBytes(m_hive, &bytes, &writeError)
        && ReplaceFile(m_file, bytes, &writeError, m_replaceHook);
    if (!written) {
        *message = u"Cannot rewrite " + where + u": " + FromUtf8(writeError);
        Reopen(&reopenError);
        return kWriteFault;
    }
    m_identity = FileIdentity();
    return kSuccess;
}

}  // namespace quelvo::platform::files
