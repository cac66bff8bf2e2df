#include "platform/files/FileIo.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quelvo::platform::files {

namespace {
std::string Describe(const std::string& what, const std::filesystem::path& file, int err)
{
    return what + " " + file.string() + ": " + std::strerror(err);
}

bool Proceed(const ReplaceHook& hook, ReplaceStep step) { return !hook || hook(step); }

}  // namespace

bool FlushFolder(const std::filesystem::path& folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

bool ReadWholeFile(const std::filesystem::path& file, std::string* bytes, std::string* error)
{
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        *error = Describe("cannot open", file, errno);
        return false;
    }
    bytes->clear();
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            *error = Describe("cannot read", file, errno);
            ::close(fd);
            return false;
        }
        if (n == 0)
            break;
        bytes->append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return true;
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

bool ReplaceFile(const std::filesystem::path& file, std::string_view bytes, std::string* error,
                 const ReplaceHook& hook)
{
    return ReplaceFileWith(
        file,
        [&](const std::filesystem::path& temporary, std::string* err) {
            const int fd = ::open(temporary.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
            if (fd < 0) {
                *err = Describe("cannot open", temporary, errno);
                return false;
            }
            const bool ok = WriteAll(fd, bytes);
            const int saved = errno;
            ::close(fd);
            if (!ok)
                *err = Describe("cannot write", temporary, saved);
            return ok;
        },
        error, hook);
}

bool ReplaceFileWith(const std::filesystem::path& file,
                     const std::function<bool(const std::filesystem::path&, std::string*)>& write,
                     std::string* error, const ReplaceHook& hook)
{
    const std::filesystem::path folder = file.parent_path().empty() ? "." : file.parent_path();
    struct stat original {};
    const bool hasOriginal = ::stat(file.c_str(), &original) == 0;

    if (!Proceed(hook, ReplaceStep::CreateTemporary)) {
        *error = "stopped before creating the temporary file";
        return false;
    }
    std::string pattern = (folder / ("." + file.filename().string() + ".quelvo-XXXXXX")).string();
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) {
        *error = Describe("cannot create a file in", folder, errno);
        return false;
    }
    const std::filesystem::path temporary = pattern;
    if (hasOriginal)
        ::fchmod(fd, original.st_mode & 07777);
    ::close(fd);

    auto fail = [&](std::string message) {
        std::error_code ec;
        std::filesystem::remove(temporary, ec);
        *error = std::move(message);
        return false;
    };
    auto stopped = [&](const char* step) {
        *error = std::string("stopped before ") + step;
        return false;  // a crash leaves the temporary file behind
    };

    if (!Proceed(hook, ReplaceStep::Write))
        return stopped("writing");
    std::string writeError;
    if (!write(temporary, &writeError)) {
        return fail(writeError.empty() ? "cannot write " + temporary.string() : writeError);
    }
    if (!Proceed(hook, ReplaceStep::Flush))
        return stopped("flushing");
    const int wfd = ::open(temporary.c_str(), O_RDWR | O_CLOEXEC);
    if (wfd < 0 || ::fsync(wfd) != 0) {
        const int saved = errno;
        if (wfd >= 0)
            ::close(wfd);
        return fail(Describe("cannot flush", temporary, saved));
    }
    if (!Proceed(hook, ReplaceStep::Close)) {
        ::close(wfd);
        return stopped("closing");
    }
    if (::close(wfd) != 0)
        return fail(Describe("cannot close", temporary, errno));
    if (!Proceed(hook, ReplaceStep::Rename))
        return stopped("renaming");
    if (::rename(temporary.c_str(), file.c_str()) != 0)
        return fail(Describe("cannot rename the new file over", file, errno));
    if (!Proceed(hook, ReplaceStep::FlushFolder))
        return stopped("flushing the folder");
    FlushFolder(folder);  // the rename is done; a failed folder flush only delays durability
    return true;
}

}  // namespace quelvo::platform::files
