#pragma once

// File helpers of the file-backed stores: reads that take regular files only,
// and replacing a file so that a crash at any moment leaves either the old or
// the new content under its name, never a mixture.
//
// The program may run with more rights than the files it touches (root on a
// user's Wine prefix). Then every write in a target's folder is made with the
// file-system identity of that folder's owner (AsOwner), so it can never
// reach a file the owner could not, and nothing is reopened by name: the
// folder is resolved and opened once, and every step goes through that
// folder's descriptor and the new file's.

#include <cstdint>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <sys/types.h>

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

// Reads a regular file through one descriptor, opened without blocking: a
// FIFO, a device or a folder is refused before a byte is read, and so is a
// file above the limit (the message names it). False and a message.
bool ReadWholeFile(const std::filesystem::path& file, std::string* bytes, std::string* error,
                   const ReadOptions& options = {});
bool WriteAll(int fd, std::string_view bytes);
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
enum class ReplaceStep { CreateTemporary, Write, Flush, Close, Rename, FlushFolder };
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

}  // namespace quelvo::platform::files
