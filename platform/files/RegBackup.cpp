// The POSIX side of backups: where they go and how each export is flushed.

#include "platform/files/RegBackup.h"

#include "regfile/RegFileWrite.h"

#include "platform/Text.h"
#include "platform/files/FileIo.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quelvo::platform::files {

using regfile::RegKey;
using regfile::EncodeUtf16Le;
using regfile::ExportRegKeyTree;
using regfile::RegFileHeader;

std::filesystem::path DefaultBackupFolder()
{
    const char* xdg = std::getenv("XDG_DATA_HOME");
    std::filesystem::path base;
    if (xdg && *xdg == '/') {
        base = xdg;
    } else if (const char* home = std::getenv("HOME"); home && *home == '/') {
        base = std::filesystem::path(home) / ".local" / "share";
    } else {
        // Never a shared folder such as /tmp, where another user could have
        // made the folders first: the account's own home.
        struct passwd entry {};
        struct passwd* found = nullptr;
        char buffer[4096];
        if (::getpwuid_r(::geteuid(), &entry, buffer, sizeof buffer, &found) != 0 || !found || !found->pw_dir
            || found->pw_dir[0] != '/')
            return "/nonexistent/quelvo/backups";
        base = std::filesystem::path(found->pw_dir) / ".local" / "share";
    }
    return base / "quelvo" / "backups";
}

RegBackup::RegBackup(std::filesystem::path folder, std::filesystem::path target)
    : m_folder(std::move(folder)), m_target(std::move(target))
{
}

RegBackup::~RegBackup() = default;

bool RegBackup::Export(RegKey& key, std::u16string* message)
{
    return Append(key, message) && Flush(message);
}

bool RegBackup::Flush(std::u16string* message)
{
    if (!m_fd.Valid())
        return true;  // nothing written yet
    // The folder's entry for a new file is made durable once.
    if (::fsync(m_fd.Get()) != 0 || (!m_folderFlushed && ::fsync(m_dirfd.Get()) != 0)) {
        *message = u"Cannot write the backup file " + FromUtf8(m_file.string()) + u": "
            + FromUtf8(std::strerror(errno));
        return false;
    }
    m_folderFlushed = true;
    return true;
}

namespace {

// Whether `inner` (a resolved folder) is `outer` or lies below it.
bool IsInside(const std::filesystem::path& inner, const std::filesystem::path& outer)
{
    std::error_code ec;
    const auto real = std::filesystem::canonical(outer, ec);
    if (ec)
        return false;
    auto it = inner.begin();
    for (const auto& part : real) {
        if (it == inner.end() || *it != part)
            return false;
        ++it;
    }
    return true;
}

}  // namespace

// The backup's file, made on the first export: in the folder opened once,
// never inside the target, named after the time, exclusively.
bool RegBackup::CreateFile(std::u16string* message)
{
    const std::u16string where = FromUtf8(m_folder.string());
    std::string error;
    if (!m_dirfd.Valid())
        m_dirfd.Reset(OpenFolderCreating(m_folder, &error));
    if (!m_dirfd.Valid()) {
        *message = u"Cannot create a backup file in " + where + u": " + FromUtf8(error);
        return false;
    }
    std::error_code ec;
    const auto real = std::filesystem::canonical(m_folder, ec);
    if (!m_target.empty() && !ec && IsInside(real, m_target)) {
        *message = u"The backup folder " + where + u" lies inside " + FromUtf8(m_target.string())
            + u", the registry's own folder; backups are never written there. Set XDG_DATA_HOME to a folder "
              u"elsewhere.";
        return false;
    }
    char stamp[32];
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    gmtime_r(&now, &tm);
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &tm);
    int err = 0;
    for (int attempt = 0; attempt < 1000 && !m_fd.Valid(); ++attempt) {
        std::string name = std::string("repair-") + stamp;
        if (attempt)
            name += "-" + std::to_string(attempt);
        name += ".reg";
        AsOwner as(WriterOf(m_folder / name));
        if (!as.Ok()) {
            err = EPERM;
            break;
        }
        m_fd.Reset(::openat(m_dirfd.Get(), name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        err = errno;
        if (m_fd.Valid())
            m_file = m_folder / name;
        else if (err != EEXIST)
            break;
    }
    if (!m_fd.Valid()) {
        *message = u"Cannot create a backup file in " + where + u": " + FromUtf8(std::strerror(err));
        return false;
    }
    // Whatever the umask, only the owner reads a backup.
    ::fchmod(m_fd.Get(), 0600);
    if (!WriteAll(m_fd.Get(), EncodeUtf16Le(RegFileHeader()))) {
        *message = u"Cannot write the backup file " + FromUtf8(m_file.string());
        m_fd.Reset(-1);
        ::unlinkat(m_dirfd.Get(), m_file.filename().c_str(), 0);
        m_file.clear();
        return false;
    }
    return true;
}

bool RegBackup::Append(RegKey& key, std::u16string* message)
{
    const std::string body = EncodeUtf16Le(ExportRegKeyTree(key, u"HKEY_LOCAL_MACHINE")).substr(2);
    if (!m_fd.Valid() && !CreateFile(message))
        return false;
    if (!WriteAll(m_fd.Get(), body)) {
        *message = u"Cannot write the backup file " + FromUtf8(m_file.string()) + u": "
            + FromUtf8(std::strerror(errno));
        return false;
    }
    return true;
}

void RegBackup::MarkCommitted()
{
    if (!m_fd.Valid())
        return;
    m_committedSize = ::lseek(m_fd.Get(), 0, SEEK_CUR);
    m_companions.clear();
}

void RegBackup::DropUncommitted()
{
    if (!m_fd.Valid())
        return;
    for (const auto& companion : m_companions)
        ::unlink(companion.c_str());
    m_companions.clear();
    if (m_committedSize > 0 && ::ftruncate(m_fd.Get(), m_committedSize) == 0
        && ::lseek(m_fd.Get(), m_committedSize, SEEK_SET) == m_committedSize) {
        ::fsync(m_fd.Get());
        return;
    }
    // Nothing of it was ever committed (or it cannot be cut back): it goes.
    m_fd.Reset(-1);
    ::unlink(m_file.c_str());
    m_file.clear();
    m_committedSize = 0;
    FlushFolder(m_folder);
}

FileDescriptor RegBackup::CreateCompanion(const std::string& suffix, std::filesystem::path* file,
                                          std::u16string* message)
{
    if (!m_fd.Valid() || m_file.empty()) {
        *message = u"There is no backup file to keep the copies beside.";
        return FileDescriptor();
    }
    *file = m_file.parent_path() / (m_file.stem().string() + "." + suffix);
    FileDescriptor fd(::open(file->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!fd.Valid()) {
        *message = u"Cannot create " + FromUtf8(file->string()) + u": " + FromUtf8(std::strerror(errno));
        return fd;
    }
    m_companions.push_back(*file);
    return fd;
}

}  // namespace quelvo::platform::files
