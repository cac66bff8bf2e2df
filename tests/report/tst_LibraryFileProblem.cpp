#include "report/Unit_QLV_FileTypeLib.h"

#include "platform/Text.h"
#include "tests/support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#ifndef _WIN32
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;
using quelvo::report::func_LibraryFileProblem;
using quelvo::test::ScratchFolder;

namespace {

std::u16string Quoted(const fs::path& path)
{
    fs::path preferred = path;
    return u"\"" + preferred.make_preferred().u16string() + u"\"";
}

std::u16string Message(const fs::path& file, const std::u16string& what)
{
    return u"The file type library " + Quoted(file) + u" " + what;
}

std::string Shown(const std::optional<std::u16string>& problem)
{
    return problem ? quelvo::platform::ToUtf8(*problem) : std::string("(none)");
}

}  // namespace

TEST(LibraryFileProblem, shouldSayNothingOfAReadableFile)
{
    ScratchFolder dir;
    EXPECT_EQ(func_LibraryFileProblem(dir.Write("FileType_lib.txt", "==Audio==\r\nmp3\r\n")), std::nullopt);
    EXPECT_EQ(func_LibraryFileProblem(dir.Write("FileType_lib.txt", "")), std::nullopt);
}

TEST(LibraryFileProblem, shouldTellAMissingFileFromAFolderOrAFileOnItsPath)
{
    ScratchFolder dir;
    const fs::path file = dir.Path() / "FileType_lib.txt";
    EXPECT_EQ(func_LibraryFileProblem(file), Message(file, u"is missing: no such file"));

    const fs::path gone = dir.Path() / "gone" / "FileType_lib.txt";
    EXPECT_EQ(func_LibraryFileProblem(gone),
              Message(gone, u"is missing: its folder " + Quoted(dir.Path() / "gone") + u" does not exist"));

    fs::create_directory(file);
    EXPECT_EQ(func_LibraryFileProblem(file), Message(file, u"is not a file: it is a folder"));
    fs::remove(file);

    const fs::path underFile = dir.Write("plain", "x") / "FileType_lib.txt";
    EXPECT_EQ(func_LibraryFileProblem(underFile),
              Message(underFile, u"is missing: a part of its folder path is a file, not a folder"));
}

#ifndef _WIN32

TEST(LibraryFileProblem, shouldTellADanglingLinkFromAMissingFile)
{
    ScratchFolder dir;
    const fs::path file = dir.Path() / "FileType_lib.txt";
    fs::create_symlink(dir.Path() / "elsewhere.txt", file);
    EXPECT_EQ(func_LibraryFileProblem(file), Message(file, u"is missing: it is a link to a file that does not exist"));
}

namespace {

// The problem as a user without the superuser's right to pass every
// permission sees it: as root, from a child process running as "nobody".
// Sets skipped when that user cannot be taken on.
std::optional<std::u16string> ProblemAsUnprivileged(const fs::path& file, bool& skipped)
{
    skipped = false;
    if (::geteuid() != 0)
        return func_LibraryFileProblem(file);
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0) {
        skipped = true;
        return std::nullopt;
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeEnds[0]);
        if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(2);
        const auto problem = func_LibraryFileProblem(file);
        const std::string out = problem ? "1" + quelvo::platform::ToUtf8(*problem) : "0";
        const bool written = ::write(pipeEnds[1], out.data(), out.size()) == static_cast<ssize_t>(out.size());
        ::_exit(written ? 0 : 3);
    }
    ::close(pipeEnds[1]);
    std::string in;
    char buffer[512];
    for (ssize_t n; (n = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0;)
        in.append(buffer, static_cast<std::size_t>(n));
    ::close(pipeEnds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || in.empty()) {
        skipped = true;
        return std::nullopt;
    }
    if (in[0] == '0')
        return std::nullopt;
    return quelvo::platform::FromUtf8(std::string_view(in).substr(1));
}

// Gives a path back its permissions when the test ends, so that it can be removed.
struct Permissions {
    fs::path path;
    fs::perms restore;
    ~Permissions() { fs::permissions(path, restore); }
};

}  // namespace

TEST(LibraryFileProblem, shouldTellAFolderThatCannotBeReadFromAFileThatCannotBeRead)
{
    ScratchFolder dir;
    // "nobody" must be able to pass the scratch folder itself.
    fs::permissions(dir.Path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec
                                    | fs::perms::others_read | fs::perms::others_exec);
    const fs::path locked = dir.Path() / "locked";
    fs::create_directory(locked);
    const fs::path inLocked = locked / "FileType_lib.txt";
    {
        std::ofstream(inLocked) << "mp3\n";
    }
    const fs::path unreadable = dir.Write("FileType_lib.txt", "mp3\n");

    Permissions lockedBack{locked, fs::status(locked).permissions()};
    Permissions fileBack{unreadable, fs::status(unreadable).permissions()};
    fs::permissions(locked, fs::perms::none);
    fs::permissions(unreadable, fs::perms::none);

    bool skipped = false;
    const auto folderProblem = ProblemAsUnprivileged(inLocked, skipped);
    if (skipped)
        GTEST_SKIP() << "running as root and cannot become the user nobody to lose the right to pass permissions";
    EXPECT_EQ(folderProblem,
              Message(inLocked, u"cannot be reached: a folder on its path cannot be read (Permission denied)"))
        << Shown(folderProblem);
    const auto fileProblem = ProblemAsUnprivileged(unreadable, skipped);
    ASSERT_FALSE(skipped);
    EXPECT_EQ(fileProblem, Message(unreadable, u"cannot be read: Permission denied")) << Shown(fileProblem);
}

#endif
