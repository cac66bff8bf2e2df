#pragma once

// File helpers of the file-backed stores: reads that take regular files only,
// whole reads and writes, copies and private memory files on descriptors,
// and replacing a file so that a crash at any moment leaves either the old or
// the new content under its name, never a mixture.
//
// The program may run with more rights than the files it touches (root on a
// user's Wine prefix). Then every write in a target's folder is made with the
// file-system identity of that folder's owner (AsOwner), so it can never
// reach a file the owner could not, and nothing is reopened by name: the
// folder is resolved and opened once, and every step goes through that
// folder's descriptor and the new file's.

#include "platform/FileDescriptor.h"

#include <cstddef>
#include <cstdint>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <sys/types.h>
#include <time.h>

namespace quelvo::platform::files {

struct ReadOptions {
    // Larger files are refused before anything is read.
    std::uint64_t maxBytes = UINT64_MAX;
    // False: a symbolic link is refused instead of followed.
    bool followLinks = true;
    // The folder a relative name is opened in (a descriptor), and where
    // the file's status goes once it is open (both optional).
    int folder = AT_FDCWD;
    struct ::stat* info = nullptr;
};

// What identifies the content under a name: device, inode, size, and the
// times of its last change; equal identities mean the same, unchanged file.
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    struct timespec modified {};
    struct timespec changed {};
    bool operator==(const FileIdentity& other) const;
};
// Of an open file, and of whatever a name leads to now (links followed);
// nothing when it cannot be told.
std::optional<FileIdentity> IdentityOf(int fd);
std::optional<FileIdentity> IdentityOf(const std::filesystem::path& file);

// Reads a regular file through one descriptor, opened without blocking: a
// FIFO, a device or a folder is refused before a byte is read, and so is a
// file above the limit (the message names it). False and a message.
// `identity`, when given, gets the identity of the file read.
bool ReadWholeFile(const std::filesystem::path& file, std::string* bytes, std::string* error,
                   const ReadOptions& options = {}, FileIdentity* identity = nullptr);
bool WriteAll(int fd, std::string_view bytes);

// Reads or writes the `size` bytes at `at` of a descriptor, as many calls as
// it takes; false with errno set when the file stops short (EIO).
bool ReadAllAt(int fd, std::size_t at, std::size_t size, char* out);
bool WriteAllAt(int fd, std::size_t at, const char* data, std::size_t size);
// The first `size` bytes of a descriptor; false with errno when it has fewer.
bool ReadStart(int fd, std::size_t size, std::string* bytes);
// Copies the first `size` bytes of `from` to the end of `to`, in the kernel
// where it can (as cp does), else through a buffer; false with errno.
bool CopyBytes(int from, int to, std::size_t size);
// A private copy in memory (a memory file of this process) of the first
// `size` bytes of `from`, `capacity` bytes long (zeros after the copy):
// nothing of it reaches a disk, and nobody else can change it. Invalid, with
// errno, on failure.
FileDescriptor MemoryCopy(int from, std::size_t size, std::size_t capacity);
// An empty memory file of this process; invalid, with errno, on failure.
FileDescriptor MemoryFile(const char* name);
// This process's own path of a descriptor ("/proc/self/fd/N"), for a library
// that opens only paths: it names the open file, whatever is put under the
// file's name meanwhile.
std::string DescriptorPath(int fd);
// The regular file `name` in `folder`, in any letter case (the exact case
// first), or nothing.
std::optional<std::filesystem::path> FindFileIgnoringCase(const std::filesystem::path& folder,
                                                          const std::string& name);
// The size of an open file; 0 when it cannot be told.
std::size_t FileSize(int fd);

// A shared mapping of a memory file of this process, unmapped at the end of
// its scope.
class Mapping {
public:
    Mapping(int fd, std::size_t length, bool writable);
    ~Mapping();
    Mapping(const Mapping&) = delete;
    Mapping& operator=(const Mapping&) = delete;

    bool Ok() const { return m_data != nullptr || m_length == 0; }
    char* Data() const { return m_data; }
    std::string_view View() const { return {m_data, m_data ? m_length : 0}; }

private:
    char* m_data = nullptr;
    std::size_t m_length;
};

// What a file of this mode is, in words: "a folder", "a FIFO", "a device",
// "a socket", "a symbolic link", else "not a regular file".
const char* KindOf(mode_t mode);
// Makes the names just made in one of our own folders (the backups') durable;
// false when it could not, which only delays that.
bool FlushFolder(const std::filesystem::path& folder);
// Makes the missing folders of `folder` (mode 0700, each made as the writer
// of the folder it is made in), resolves it once and opens it: a descriptor
// checked to be that folder, or -1 and a message.
int OpenFolderCreating(const std::filesystem::path& folder, std::string* error);

struct FileOwner {
    uid_t uid = 0;
    gid_t gid = 0;
};

// Whether this process has more rights than the owners of files (root).
bool HasOwnerRights();

// Whose identity writes in `file`'s folder are made with: the first owner
// other than root among the folder as named (a link to it, then the folder
// itself), a link named `file`, and the folder the file really lies in.
// Nothing (no change of identity) when this process has no more rights than
// they have, or every one of them is root.
std::optional<FileOwner> WriterOf(const std::filesystem::path& file);

// While alive, this thread's file-system identity (fsuid, fsgid) is the
// owner's; the previous one comes back at the end of the scope, on every
// path. Nothing changes for an empty owner. Only the calling thread is
// affected: nothing else may run on it meanwhile.
class AsOwner {
public:
    explicit AsOwner(const std::optional<FileOwner>& owner);
    ~AsOwner();
    AsOwner(const AsOwner&) = delete;
    AsOwner& operator=(const AsOwner&) = delete;

    // False when the identity could not be taken: write nothing then.
    bool Ok() const { return m_ok; }

private:
    bool m_switched = false;
    bool m_ok = true;
    uid_t m_uid = 0;
    gid_t m_gid = 0;
};

// The steps of a replacement, in order. A test seam may stop the replacement
// before any of them, as a crash would. Rename comes once the new file has a
// name in the folder, before each attempt to rename it into place.
enum class ReplaceStep { Resolve, CreateTemporary, Write, Flush, Close, Rename, FlushFolder };
using ReplaceHook = std::function<bool(ReplaceStep)>;

// Replaces `file` with `bytes`. A symbolic link named `file` (or a linked
// folder) is resolved once and checked; the real folder is opened once. The
// new file is made in that folder as the writer (WriterOf): unnamed
// (O_TMPFILE), or where the file system cannot, under a fresh name with
// O_CREAT|O_EXCL|O_NOFOLLOW. It is written, flushed and given the old file's
// owner, group and mode through its descriptor, then renamed over the old
// one through the folder's descriptor, which is flushed. A name that changed
// under the write is noticed and the new file put in place again, or the
// replacement fails. On failure `file` is untouched and nothing is left.
bool ReplaceFile(const std::filesystem::path& file, std::string_view bytes, std::string* error,
                 const ReplaceHook& hook = {});

// A replacement of the file a store read and checked: it goes ahead only
// while the name still leads to that file (`replacing`; checked through the
// folder's descriptor when the replacement starts and again just before the
// rename), so that a file swapped in under the name after the check is
// never replaced with what was read from the other one. `placed` gets the
// identity of the new file under the name.
struct ReplaceGuard {
    std::optional<FileIdentity> replacing;
    FileIdentity* placed = nullptr;
};
bool ReplaceFile(const std::filesystem::path& file, std::string_view bytes, std::string* error,
                 const ReplaceHook& hook, const ReplaceGuard& guard);

}  // namespace quelvo::platform::files
