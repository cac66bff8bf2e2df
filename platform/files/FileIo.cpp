#include "platform/files/FileIo.h"

#include "platform/FileDescriptor.h"
#include "platform/NameCase.h"
#include "platform/Text.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/fsuid.h>
#include <sys/mman.h>
#include <sys/random.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quelvo::platform::files {

namespace fs = std::filesystem;

namespace {

std::string Describe(const std::string& what, const fs::path& file, int err)
{
    return what + " " + file.string() + ": " + std::strerror(err);
}

bool Proceed(const ReplaceHook& hook, ReplaceStep step) { return !hook || hook(step); }

}  // namespace

const char* KindOf(mode_t mode)
{
    if (S_ISDIR(mode))
        return "a folder";
    if (S_ISFIFO(mode))
        return "a FIFO";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "a device";
    if (S_ISSOCK(mode))
        return "a socket";
    if (S_ISLNK(mode))
        return "a symbolic link";
    return "not a regular file";
}

namespace {

std::string NotRegular(const fs::path& file, mode_t mode)
{
    const std::string kind = KindOf(mode);
    return file.string() + " is " + (kind.rfind("a ", 0) == 0 ? kind + ", not a regular file" : kind);
}

bool SameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// Whether `name` in the folder is the file `mine` (not a link or anything put there instead).
bool NameIs(int dirfd, const std::string& name, const struct stat& mine, struct stat* seen = nullptr)
{
    struct stat st {};
    const bool is = ::fstatat(dirfd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && SameFile(st, mine);
    if (is && seen)
        *seen = st;
    return is;
}

std::string RandomSuffix()
{
    static constexpr char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    unsigned char random[8] = {};
    if (::getrandom(random, sizeof random, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof random)) {
        // Uniqueness only: the name is created exclusively, and retried.
        static unsigned counter = 0;
        const unsigned long long seed = static_cast<unsigned long long>(::getpid()) * 7919u + ++counter
            + static_cast<unsigned long long>(std::time(nullptr));
        std::memcpy(random, &seed, sizeof random);
    }
    std::string out;
    for (unsigned char r : random)
        out += kChars[r % (sizeof kChars - 1)];
    return out;
}

// The first owner other than root among the candidates, or nothing.
std::optional<FileOwner> FirstNonRoot(std::initializer_list<const struct stat*> candidates)
{
    for (const struct stat* st : candidates) {
        if (st && st->st_uid != 0)
            return FileOwner{st->st_uid, st->st_gid};
    }
    return std::nullopt;
}

std::optional<FileOwner> WriterOf(const fs::path& file, const struct stat* realFolder)
{
    if (!HasOwnerRights())
        return std::nullopt;
    const fs::path folder = file.parent_path().empty() ? fs::path(".") : file.parent_path();
    struct stat folderLink {}, folderItself {}, fileLink {};
    const bool linkedFolder = ::lstat(folder.c_str(), &folderLink) == 0 && S_ISLNK(folderLink.st_mode);
    const bool namedFolder = ::stat(folder.c_str(), &folderItself) == 0;
    const bool linkedFile = ::lstat(file.c_str(), &fileLink) == 0 && S_ISLNK(fileLink.st_mode);
    return FirstNonRoot({linkedFolder ? &folderLink : nullptr, namedFolder ? &folderItself : nullptr,
                         linkedFile ? &fileLink : nullptr, realFolder});
}

// `file` resolved once: the real folder and the name in it.
bool Resolve(const fs::path& file, fs::path* folder, std::string* name, std::string* error)
{
    if (char* real = ::realpath(file.c_str(), nullptr)) {
        const fs::path path(real);
        std::free(real);
        *folder = path.parent_path();
        *name = path.filename().string();
    } else if (errno == ENOENT) {
        // No file yet (or a dangling link, which the new file replaces).
        const fs::path named = file.parent_path().empty() ? fs::path(".") : file.parent_path();
        char* realFolder = ::realpath(named.c_str(), nullptr);
        if (!realFolder) {
            *error = Describe("cannot find the folder", named, errno);
            return false;
        }
        *folder = realFolder;
        std::free(realFolder);
        *name = file.filename().string();
    } else {
        *error = Describe("cannot resolve", file, errno);
        return false;
    }
    if (name->empty() || *name == "." || *name == "..") {
        *error = file.string() + " does not name a file";
        return false;
    }
    return true;
}

// Opens the resolved folder and checks that the descriptor is that folder:
// nothing on the way was swapped for a link in between.
int OpenFolder(const fs::path& folder, std::string* error)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        *error = Describe("cannot open the folder", folder, errno);
        return -1;
    }
    char where[PATH_MAX];
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    const ssize_t n = ::readlink(self.c_str(), where, sizeof where);
    if (n > 0 && std::string_view(where, std::size_t(n)) != folder.string()) {
        ::close(fd);
        *error = "the folder " + folder.string() + " changed while it was opened (a link was put on its way)";
        return -1;
    }
    return fd;
}

// Gives the unnamed file a name in the folder; false with errno.
bool LinkInto(int fd, int dirfd, const std::string& name)
{
    if (::linkat(fd, "", dirfd, name.c_str(), AT_EMPTY_PATH) == 0)
        return true;
    if (errno == EEXIST)
        return false;
    // Without the right to link by descriptor, through the process's own view of it.
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    return ::linkat(AT_FDCWD, self.c_str(), dirfd, name.c_str(), AT_SYMLINK_FOLLOW) == 0;
}

constexpr int kPublishAttempts = 16;

}  // namespace

bool HasOwnerRights() { return ::geteuid() == 0; }

std::optional<FileOwner> WriterOf(const fs::path& file)
{
    fs::path folder;
    std::string name, ignored;
    struct stat real {};
    const bool resolved = Resolve(file, &folder, &name, &ignored) && ::stat(folder.c_str(), &real) == 0;
    return WriterOf(file, resolved ? &real : nullptr);
}

AsOwner::AsOwner(const std::optional<FileOwner>& owner)
{
    if (!owner || !HasOwnerRights() || owner->uid == 0)
        return;
    // setfsuid/setfsgid answer the previous value; -1 asks without changing.
    m_gid = static_cast<gid_t>(::setfsgid(owner->gid));
    m_uid = static_cast<uid_t>(::setfsuid(owner->uid));
    m_switched = true;
    m_ok = static_cast<gid_t>(::setfsgid(static_cast<gid_t>(-1))) == owner->gid
        && static_cast<uid_t>(::setfsuid(static_cast<uid_t>(-1))) == owner->uid;
}

AsOwner::~AsOwner()
{
    if (!m_switched)
        return;
    ::setfsuid(m_uid);
    ::setfsgid(m_gid);
}

int OpenFolderCreating(const fs::path& folder, std::string* error)
{
    const fs::path absolute = folder.is_absolute() ? folder : fs::current_path() / folder;
    fs::path made;
    for (const auto& part : absolute) {
        made /= part;
        struct stat st {};
        if (::stat(made.c_str(), &st) == 0)
            continue;
        AsOwner as(WriterOf(made));
        if (!as.Ok() || (::mkdir(made.c_str(), 0700) != 0 && errno != EEXIST)) {
            *error = Describe("cannot make the folder", made, errno);
            return -1;
        }
    }
    char* real = ::realpath(absolute.c_str(), nullptr);
    if (!real) {
        *error = Describe("cannot find the folder", absolute, errno);
        return -1;
    }
    const fs::path resolved(real);
    std::free(real);
    return OpenFolder(resolved, error);
}

bool ReadWholeFile(const fs::path& file, std::string* bytes, std::string* error, const ReadOptions& options,
                   FileIdentity* identity)
{
    const int flags = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | (options.followLinks ? 0 : O_NOFOLLOW);
    FileDescriptor fd(::openat(options.folder, file.c_str(), flags));
    if (fd.Get() < 0) {
        *error = errno == ELOOP && !options.followLinks ? file.string() + " is a symbolic link, not a regular file"
                                                        : Describe("cannot open", file, errno);
        return false;
    }
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0) {
        *error = Describe("cannot read", file, errno);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        *error = NotRegular(file, st.st_mode);
        return false;
    }
    if (options.info)
        *options.info = st;
    const auto tooLarge = [&] {
        *error = file.string() + " is larger than " + std::to_string(options.maxBytes)
            + " bytes, the most that is read; nothing was read";
        return false;
    };
    if (static_cast<std::uint64_t>(st.st_size) > options.maxBytes)
        return tooLarge();
    bytes->clear();
    bytes->reserve(static_cast<std::size_t>(st.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd.Get(), buffer, sizeof buffer);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n < 0) {
            *error = Describe("cannot read", file, errno);
            return false;
        }
        if (n == 0)
            break;
        if (bytes->size() + static_cast<std::size_t>(n) > options.maxBytes) {
            bytes->clear();
            return tooLarge();  // it grew while it was read
        }
        bytes->append(buffer, static_cast<std::size_t>(n));
    }
    if (identity) {
        const auto read = IdentityOf(fd.Get());
        if (!read) {
            *error = Describe("cannot read", file, errno);
            return false;
        }
        *identity = *read;
    }
    return true;
}

bool FlushFolder(const std::filesystem::path& folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

bool WriteAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

namespace {

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

// CopyBytes without the kernel's help: through a buffer, from byte `done` on.
bool CopyThroughBuffer(int from, int to, std::size_t done, std::size_t size)
{
    std::string chunk;
    for (; done < size; done += chunk.size()) {
        chunk.resize(std::min<std::size_t>(size - done, 1 << 20));
        if (!TransferAll(::pread, from, done, chunk.data(), chunk.size()) || !WriteAll(to, chunk))
            return false;
    }
    return true;
}

FileIdentity IdentityFrom(const struct stat& st)
{
    return FileIdentity{st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim};
}

}  // namespace

bool ReadAllAt(int fd, std::size_t at, std::size_t size, char* out) { return TransferAll(::pread, fd, at, out, size); }

bool WriteAllAt(int fd, std::size_t at, const char* data, std::size_t size)
{
    return TransferAll(::pwrite, fd, at, data, size);
}

bool ReadStart(int fd, std::size_t size, std::string* bytes)
{
    bytes->assign(size, '\0');
    return ReadAllAt(fd, 0, size, bytes->data());
}

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
        return CopyThroughBuffer(from, to, done, size);
    }
    return true;
}

FileDescriptor MemoryFile(const char* name) { return FileDescriptor(::memfd_create(name, MFD_CLOEXEC)); }

FileDescriptor MemoryCopy(int from, std::size_t size, std::size_t capacity)
{
    FileDescriptor fd = MemoryFile("quelvo-hive");
    if (fd.Valid() && (!CopyBytes(from, fd.Get(), size)
                       || (capacity > size && ::ftruncate(fd.Get(), off_t(capacity)) != 0)))
        fd.Reset(-1);
    return fd;
}

std::string DescriptorPath(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

std::optional<fs::path> FindFileIgnoringCase(const fs::path& folder, const std::string& name)
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

std::size_t FileSize(int fd)
{
    struct stat st {};
    return ::fstat(fd, &st) == 0 ? std::size_t(st.st_size) : 0;
}

Mapping::Mapping(int fd, std::size_t length, bool writable) : m_length(length)
{
    if (length == 0)
        return;
    void* p = ::mmap(nullptr, length, PROT_READ | (writable ? PROT_WRITE : 0), MAP_SHARED, fd, 0);
    if (p != MAP_FAILED)
        m_data = static_cast<char*>(p);
}

Mapping::~Mapping()
{
    if (m_data)
        ::munmap(m_data, m_length);
}

bool FileIdentity::operator==(const FileIdentity& o) const
{
    return device == o.device && inode == o.inode && size == o.size && modified.tv_sec == o.modified.tv_sec
        && modified.tv_nsec == o.modified.tv_nsec && changed.tv_sec == o.changed.tv_sec
        && changed.tv_nsec == o.changed.tv_nsec;
}

std::optional<FileIdentity> IdentityOf(int fd)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return std::nullopt;
    return IdentityFrom(st);
}

std::optional<FileIdentity> IdentityOf(const fs::path& file)
{
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0)
        return std::nullopt;
    return IdentityFrom(st);
}

namespace {

// One replacement: the folder opened once, and what the new file must be.
class Replacement {
public:
    enum class Outcome { Placed, Taken, Failed };

    Replacement(int dirfd, fs::path folder, std::string name, std::optional<FileOwner> writer,
                std::optional<struct stat> original, std::string_view bytes, const ReplaceHook& hook,
                const std::optional<FileIdentity>& replacing)
        : m_dirfd(dirfd), m_folder(std::move(folder)), m_name(std::move(name)), m_target(m_folder / m_name),
          m_writer(writer), m_original(original), m_bytes(bytes), m_hook(hook), m_replacing(replacing)
    {
    }

    // Whether the name still leads to the file the content was read from
    // (always, when none was named, or once the new file was in place).
    bool StillReplacing() const
    {
        struct stat st {};
        return !m_replacing
            || (::fstatat(m_dirfd, m_name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && st.st_dev == m_replacing->device
                && st.st_ino == m_replacing->inode);
    }

    // Makes a new file, writes it and renames it into place. Taken: someone
    // who may write in the folder put something else under the new file's
    // name before the rename (nothing was replaced) or under the file's
    // name during it; the new file is then gone and a fresh one is needed.
    Outcome Attempt(std::string* error)
    {
        m_error = error;
        FileDescriptor fd;
        struct stat mine {};
        m_temporary.clear();
        if (!Proceed(m_hook, ReplaceStep::CreateTemporary))
            return Stopped("creating the temporary file");
        {
            AsOwner as(m_writer);
            if (!as.Ok())
                return Fail("cannot take the file rights of the owner of " + m_folder.string());
            fd.Reset(::openat(m_dirfd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600));
            const bool named = fd.Get() < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL);
            for (int attempt = 0; named && attempt < 100 && fd.Get() < 0; ++attempt) {
                m_temporary = "." + m_name + ".quelvo-" + RandomSuffix();
                fd.Reset(::openat(m_dirfd, m_temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                                  0600));
                if (fd.Get() < 0 && errno != EEXIST)
                    break;
            }
            if (fd.Get() < 0) {
                m_temporary.clear();
                return Fail(Describe("cannot create a file in", m_folder, errno));
            }
            if (::fstat(fd.Get(), &mine) != 0)
                return Fail(Describe("cannot create a file in", m_folder, errno), &mine);
            if (!Proceed(m_hook, ReplaceStep::Write))
                return Stopped("writing");
            if (!WriteAll(fd.Get(), m_bytes))
                return Fail(Describe("cannot write a new", m_target, errno), &mine);
            if (!Proceed(m_hook, ReplaceStep::Flush))
                return Stopped("flushing");
            if (::fsync(fd.Get()) != 0)
                return Fail(Describe("cannot flush the new", m_target, errno), &mine);
        }
        if (!Proceed(m_hook, ReplaceStep::Close))
            return Stopped("closing");

        // The old file's owner, group and mode, set on the new file itself
        // (with this process's rights: changing the owner is beyond the writer's).
        if (m_original) {
            if ((mine.st_uid != m_original->st_uid || mine.st_gid != m_original->st_gid)
                && ::fchown(fd.Get(), m_original->st_uid, m_original->st_gid) != 0 && HasOwnerRights())
                return Fail(Describe("cannot give the new file the owner of", m_target, errno), &mine);
            if (::fchmod(fd.Get(), m_original->st_mode & 07777) != 0)
                return Fail(Describe("cannot give the new file the permissions of", m_target, errno), &mine);
        }

        if (m_temporary.empty()) {
            for (int attempt = 0; attempt < 100 && m_temporary.empty(); ++attempt) {
                const std::string candidate = "." + m_name + ".quelvo-" + RandomSuffix();
                if (LinkInto(fd.Get(), m_dirfd, candidate))
                    m_temporary = candidate;
                else if (errno != EEXIST)
                    return Fail(Describe("cannot name the new file in", m_folder, errno));
            }
            if (m_temporary.empty())
                return Fail(Describe("cannot name the new file in", m_folder, EEXIST));
        }
        if (!Proceed(m_hook, ReplaceStep::Rename))
            return Stopped("renaming");
        // Checked before and after the rename: the rename never moves
        // anything but the new file into place, and what it moved is known.
        if (!NameIs(m_dirfd, m_temporary, mine))
            return Outcome::Taken;
        if (!StillReplacing())
            return Fail(m_target.string() + " changed on disk while it was replaced; it is not replaced", &mine);
        {
            AsOwner as(m_writer);
            if (!as.Ok())
                return Fail("cannot take the file rights of the owner of " + m_folder.string(), &mine);
            if (::renameat(m_dirfd, m_temporary.c_str(), m_dirfd, m_name.c_str()) != 0)
                return Fail(Describe("cannot rename the new file over", m_target, errno), &mine);
        }
        // The old file is gone whatever the rename moved: when it moved the
        // owner's swap instead of ours, a later attempt puts a new file over it.
        m_replacing.reset();
        if (!NameIs(m_dirfd, m_name, mine, &m_placed))
            return Outcome::Taken;
        return Outcome::Placed;
    }

    // The new file as it stands under the name, once Placed.
    const struct stat& Placed() const { return m_placed; }

private:
    Outcome Stopped(const char* step)
    {
        *m_error = std::string("stopped before ") + step;
        return Outcome::Failed;  // as a crash: a named temporary file stays behind
    }

    // Removes the new file's name when it still is the new file's.
    Outcome Fail(std::string message, const struct stat* mine = nullptr)
    {
        if (mine && !m_temporary.empty() && NameIs(m_dirfd, m_temporary, *mine)) {
            AsOwner as(m_writer);
            if (as.Ok())
                ::unlinkat(m_dirfd, m_temporary.c_str(), 0);
        }
        *m_error = std::move(message);
        return Outcome::Failed;
    }

    int m_dirfd;
    fs::path m_folder;
    std::string m_name;
    fs::path m_target;
    std::optional<FileOwner> m_writer;
    std::optional<struct stat> m_original;
    std::string_view m_bytes;
    const ReplaceHook& m_hook;
    std::string m_temporary;
    std::string* m_error = nullptr;
    struct stat m_placed {};
    std::optional<FileIdentity> m_replacing;
};

}  // namespace

bool ReplaceFile(const fs::path& file, std::string_view bytes, std::string* error, const ReplaceHook& hook)
{
    return ReplaceFile(file, bytes, error, hook, {});
}

bool ReplaceFile(const fs::path& file, std::string_view bytes, std::string* error, const ReplaceHook& hook,
                 const ReplaceGuard& guard)
{
    if (!Proceed(hook, ReplaceStep::Resolve)) {
        *error = "stopped before resolving the name";
        return false;
    }
    fs::path folder;
    std::string name;
    if (!Resolve(file, &folder, &name, error))
        return false;
    FileDescriptor dirfd(OpenFolder(folder, error));
    if (dirfd.Get() < 0)
        return false;
    struct stat folderStat {};
    if (::fstat(dirfd.Get(), &folderStat) != 0) {
        *error = Describe("cannot open the folder", folder, errno);
        return false;
    }
    std::optional<struct stat> original;
    if (struct stat st {}; ::fstatat(dirfd.Get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
        if (!S_ISREG(st.st_mode)) {
            *error = NotRegular(folder / name, st.st_mode) + "; it is not replaced";
            return false;
        }
        original = st;
    }
    Replacement replacement(dirfd.Get(), folder, name, WriterOf(file, &folderStat), original, bytes, hook,
                            guard.replacing);
    if (!replacement.StillReplacing()) {
        *error = (folder / name).string() + " is no longer the file that was read; it is not replaced";
        return false;
    }
    for (int attempt = 0; attempt < kPublishAttempts; ++attempt) {
        switch (replacement.Attempt(error)) {
        case Replacement::Outcome::Failed:
            return false;
        case Replacement::Outcome::Taken:
            continue;
        case Replacement::Outcome::Placed:
            if (!Proceed(hook, ReplaceStep::FlushFolder)) {
                *error = "stopped before flushing the folder";
                return false;
            }
            ::fsync(dirfd.Get());  // the rename is done; a failed folder flush only delays durability
            if (guard.placed)
                *guard.placed = IdentityFrom(replacement.Placed());
            return true;
        }
    }
    *error = "another program kept renaming files in " + folder.string() + " while " + name
        + " was replaced; check what " + (folder / name).string() + " holds now";
    return false;
}

}  // namespace quelvo::platform::files
