// Writes with more rights than the files' owner: root repairing and
// restoring a Wine prefix that belongs to another user (CI runs as root; the
// prefix is given to "nobody"). Nothing outside the prefix may change, and
// the registry file keeps its owner, group and mode.

#include "platform/files/FileIo.h"

#include "platform/Text.h"
#include "platform/files/HiveStore.h"
#include "platform/files/RegBackup.h"
#include "platform/files/RegRestore.h"
#include "platform/files/SystemRegStore.h"
#include "platform/files/WineServer.h"
#include "regfile/RegFileWrite.h"
#include "regfile/TreeDump.h"
#include "tests/support/Bytes.h"
#include "tests/support/HiveBuilder.h"
#include "tests/support/OtherUser.h"
#include "tests/support/ScratchFolder.h"
#include "tests/support/Stores.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace quelvo::platform;
using namespace quelvo::platform::files;
using namespace quelvo::regfile;
using namespace quelvo::test;
namespace fs = std::filesystem;

struct Owner {
    uid_t uid;
    gid_t gid;
    mode_t mode;
};

Owner OwnerOf(const fs::path& file)
{
    struct stat st {};
    EXPECT_EQ(::lstat(file.c_str(), &st), 0) << file;
    EXPECT_TRUE(S_ISREG(st.st_mode)) << file << " is not a regular file";
    return {st.st_uid, st.st_gid, st.st_mode & 07777};
}

void ExpectOwner(const fs::path& file, uid_t uid, gid_t gid, mode_t mode)
{
    const Owner owner = OwnerOf(file);
    EXPECT_EQ(owner.uid, uid) << file;
    EXPECT_EQ(owner.gid, gid) << file;
    EXPECT_EQ(owner.mode, mode) << file;
}

// A prefix of "nobody" next to a file only root may read or write.
class OwnerWritesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (::geteuid() != 0)
            GTEST_SKIP() << "needs root to write into another user's prefix";
        prefix = MakeOtherUsersPrefix(dir);
        file = prefix / "system.reg";
        original = ReadBytes(file);

        fs::create_directories(dir / "root-only");
        fs::permissions(dir / "root-only", fs::perms(0700));
        secret = dir / "root-only" / "secret";
        WriteBytes(secret, "root's own file\n");
        fs::permissions(secret, fs::perms(0600));
    }

    void ExpectSecretUntouched()
    {
        EXPECT_EQ(ReadBytes(secret), "root's own file\n");
        ExpectOwner(secret, 0, 0, 0600);
    }

    std::unique_ptr<SystemRegStore> Open() { return OpenWineStore(file); }

    ScratchFolder dir;
    fs::path prefix, file, secret;
    std::string original;
};

TEST_F(OwnerWritesTest, shouldKeepTheOwnerGroupAndModeOfTheReplacedFile)
{
    fs::permissions(file, fs::perms(0640));
    auto store = Open();
    ASSERT_TRUE(DeleteKeyTree(*store, u"Software\\Classes\\txtfile")) << ToUtf8(store->LastError());
    ExpectOwner(file, kOtherUid, kOtherGid, 0640);

    // A file root already took over in the user's folder stays root's.
    ASSERT_EQ(::chown(file.c_str(), 0, 0), 0);
    std::string error;
    ASSERT_TRUE(ReplaceFile(file, original, &error)) << error;
    ExpectOwner(file, 0, 0, 0640);
    EXPECT_EQ(ReadBytes(file), original);

    // No file is left behind in the prefix.
    for (const auto& entry : fs::directory_iterator(prefix))
        EXPECT_EQ(entry.path().filename(), "system.reg");
}

TEST_F(OwnerWritesTest, shouldWriteWithTheOwnersRightsSoThatALinkReachesNothingElse)
{
    // The owner links system.reg to a file they cannot write: root's repair
    // must not write it for them.
    WriteBytes(secret, original);
    fs::remove(file);
    fs::create_symlink(secret, file);
    ASSERT_EQ(::lchown(file.c_str(), kOtherUid, kOtherGid), 0);
    auto store = Open();
    ASSERT_TRUE(store);
    EXPECT_NE(store->DeleteKey(HKEY_LOCAL_MACHINE, u"Software\\Classes\\.chm"), kSuccess);
    EXPECT_EQ(ReadBytes(secret), original);
    ExpectOwner(secret, 0, 0, 0600);
    EXPECT_TRUE(fs::is_symlink(file));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "root-only"), fs::directory_iterator()), 1);

    // The same through a linked prefix folder.
    const fs::path linked = dir / "linked-pfx";
    fs::create_symlink(dir / "root-only", linked);
    ASSERT_EQ(::lchown(linked.c_str(), kOtherUid, kOtherGid), 0);
    std::string error;
    EXPECT_FALSE(ReplaceFile(linked / "secret", "overwritten", &error));
    EXPECT_EQ(ReadBytes(secret), original);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "root-only"), fs::directory_iterator()), 1);
}

TEST_F(OwnerWritesTest, shouldPutTheNewFileInPlaceOnlyUnderItsOwnName)
{
    // Whoever may write in the folder swaps a link to root's file in for the
    // new file's name just before the rename.
    auto swapIn = [&] {
        for (const auto& entry : fs::directory_iterator(prefix)) {
            const std::string name = entry.path().filename().string();
            if (name.rfind(".system.reg.quelvo-", 0) != 0)
                continue;
            fs::create_symlink(secret, prefix / "evil");
            fs::rename(prefix / "evil", entry.path());
        }
    };
    int swaps = 0;
    std::string error;
    ASSERT_TRUE(ReplaceFile(file, "once\n", &error, [&](ReplaceStep step) {
        if (step == ReplaceStep::Rename && swaps++ == 0)
            swapIn();
        return true;
    })) << error;
    EXPECT_EQ(swaps, 2);  // noticed, and put in place under a fresh name
    EXPECT_EQ(ReadBytes(file), "once\n");
    ExpectOwner(file, kOtherUid, kOtherGid, 0644);
    ExpectSecretUntouched();

    // Swapped every time: given up, the old file untouched.
    EXPECT_FALSE(ReplaceFile(file, "never\n", &error, [&](ReplaceStep step) {
        if (step == ReplaceStep::Rename)
            swapIn();
        return true;
    }));
    EXPECT_NE(error.find("kept renaming"), std::string::npos) << error;
    EXPECT_EQ(ReadBytes(file), "once\n");
    ExpectOwner(file, kOtherUid, kOtherGid, 0644);
    ExpectSecretUntouched();
}

TEST_F(OwnerWritesTest, shouldKeepBackupsForTheirOwnerOnlyAndNeverInTheTarget)
{
    RegKey root(u"", nullptr, nullptr);
    RegKey& key = root.AddChild(u"SOFTWARE").AddChild(u"Classes").AddChild(u".a");
    std::u16string message;

    // Made by the backup: every new folder 0700, the file 0600, whatever the umask.
    const mode_t umask = ::umask(0);
    RegBackup fresh(dir / "data" / "quelvo" / "backups");
    const bool exported = fresh.Export(key, &message);
    ::umask(umask);
    ASSERT_TRUE(exported) << ToUtf8(message);
    ExpectOwner(fresh.File(), 0, 0, 0600);
    for (const fs::path& folder : {dir / "data", dir / "data" / "quelvo", dir / "data" / "quelvo" / "backups"})
        EXPECT_EQ(fs::status(folder).permissions(), fs::perms(0700)) << folder;

    // In a data folder of the user root acts for, the backup is that user's.
    const fs::path users = dir / "home" / "backups";
    fs::create_directories(users);
    ChownTree(dir / "home", kOtherUid, kOtherGid);
    RegBackup theirs(users);
    ASSERT_TRUE(theirs.Export(key, &message)) << ToUtf8(message);
    ExpectOwner(theirs.File(), kOtherUid, kOtherGid, 0600);

    // Inside the registry's own folder: refused, nothing written there.
    RegBackup inside(prefix / "backups", prefix);
    EXPECT_FALSE(inside.Export(key, &message));
    EXPECT_NE(ToUtf8(message).find("inside"), std::string::npos) << ToUtf8(message);
    EXPECT_TRUE(inside.File().empty());
}

// The owner's program renames a link to root's file over every temporary
// name that appears in the prefix while root repairs and restores it again
// and again.
TEST_F(OwnerWritesTest, shouldHoldAgainstTheOwnerRacingEveryReplacement)
{
    const std::string expected = [&] {
        auto store = Open();
        return DumpKeyTreeWithValues(store->Root());
    }();
    int stop[2];
    ASSERT_EQ(::pipe(stop), 0);
    const pid_t attacker = ForkAs(kOtherUid, kOtherGid, [&] {
        ::close(stop[1]);
        const int watch = ::inotify_init1(IN_CLOEXEC);
        if (watch < 0 || ::inotify_add_watch(watch, prefix.c_str(), IN_CREATE | IN_MOVED_TO) < 0)
            return 1;
        int swaps = 0;
        alignas(inotify_event) char buffer[4096];
        for (;;) {
            pollfd fds[2] = {{watch, POLLIN, 0}, {stop[0], POLLIN, 0}};
            if (::poll(fds, 2, -1) < 0 || fds[1].revents)
                break;
            const ssize_t n = ::read(watch, buffer, sizeof buffer);
            for (ssize_t at = 0; at < n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
                const std::string name = event->len ? event->name : "";
                if (name.rfind(".system.reg.quelvo-", 0) != 0)
                    continue;
                const fs::path link = prefix / (".swap-" + std::to_string(swaps));
                if (::symlink(secret.c_str(), link.c_str()) == 0
                    && ::rename(link.c_str(), (prefix / name).c_str()) == 0)
                    ++swaps;
            }
        }
        return std::min(swaps, 255);
    });
    ::close(stop[0]);

    // A little time between naming the new file and renaming it, now and then,
    // so that the owner's program does get its turn.
    int calls = 0;
    const ReplaceHook slow = [&](ReplaceStep step) {
        if (step == ReplaceStep::Rename && ++calls % 3 == 0)
            std::this_thread::sleep_for(std::chrono::microseconds(300));
        return true;
    };
    int repaired = 0, restored = 0;
    constexpr int kRounds = 150;
    for (int round = 0; round < kRounds; ++round) {
        auto store = Open();
        store->SetReplaceHook(slow);
        auto backup = std::make_shared<RegBackup>(dir / "backups");
        store->SetBackup(backup);
        if (DeleteKeyTree(*store, u"Software\\Classes\\txtfile")) {
            ++repaired;
            RegBackupContents contents;
            std::u16string error;
            ASSERT_TRUE(ReadRegBackupFile(backup->File(), &contents, &error)) << ToUtf8(error);
            RestoreOptions options;
            options.serverRunning = [] { return false; };
            options.replaceHook = slow;
            if (RestoreIntoWinePrefix(file, contents, options).Ok())
                ++restored;
        }
        ExpectOwner(file, kOtherUid, kOtherGid, 0644);
        ExpectSecretUntouched();
        if (HasFailure())
            break;
    }
    ::close(stop[1]);
    const int swaps = WaitChild(attacker);
    std::printf("%d repairs and %d restores of %d rounds went through; the owner's program swapped %s%d names\n",
                repaired, restored, kRounds, swaps == 255 ? "at least " : "", swaps);
    EXPECT_GT(repaired, 0);
    EXPECT_GT(restored, 0);
    ExpectSecretUntouched();
    // Whatever the last round did, the file reads as a whole registry.
    auto store = Open();
    ASSERT_TRUE(store);
    if (repaired == restored) {
        EXPECT_EQ(DumpKeyTreeWithValues(store->Root()), expected);
    }
}

// Between a restore's check and its write the target folder's owner puts,
// in place of the registry file, a link to a file of the same kind that
// only root may read. Nothing of that file is read (no open, no read of it
// at all) or written, and nothing is written into the target either: the
// restore writes only over the file it read and checked. The other way
// round, the store read root's file through the owner's link, and the owner
// puts their own file back before the write: nothing of root's file reaches
// the owner's folder.
TEST_F(OwnerWritesTest, shouldNeitherReadNorWriteAFileSwappedInAfterTheCheck)
{
    struct Case {
        const char* name;
        ReplaceStep swapAt;  // before the name is resolved, or just before the rename
        bool hive;
        bool linkedFirst;  // the link is there when the store reads, the owner's file comes back
    };
    const Case cases[] = {
        {"hive, before resolving", ReplaceStep::Resolve, true, false},
        {"hive, before renaming", ReplaceStep::Rename, true, false},
        {"system.reg, before resolving", ReplaceStep::Resolve, false, false},
        {"system.reg, before renaming", ReplaceStep::Rename, false, false},
        {"hive read through the link, the owner's back", ReplaceStep::Resolve, true, true},
        {"system.reg read through the link, the owner's back", ReplaceStep::Resolve, false, true},
    };
    const std::string rootsHive = ChangeClassesHive({}, {{{".secret", "rootfile"}}, {}, {}});
    const std::string ownersHive = ChangeClassesHive({}, {{{".a", "afile"}}, {}, {}});
    const std::u16string body = u"Windows Registry Editor Version 5.00\r\n\r\n"
                                u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\.back]\r\n@=\"x\"\r\n\r\n";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchFolder here;
        fs::permissions(here.Path(), fs::perms(0755));
        // The other file: root's own, in root's own folder.
        fs::create_directories(here / "root-only");
        fs::permissions(here / "root-only", fs::perms(0700));
        const fs::path rootsFile = here / "root-only" / (c.hive ? "SOFTWARE" : "system.reg");
        const std::string rootsBytes = c.hive ? rootsHive : ReadBytes(DataFile("system.reg"));
        WriteBytes(rootsFile, rootsBytes);
        fs::permissions(rootsFile, fs::perms(0600));

        // The target, all of it the other user's.
        fs::path file;
        if (c.hive) {
            file = WriteInstallation(here / "win", ownersHive);
            ChownTree(here / "win", kOtherUid, kOtherGid);
        } else {
            file = MakeOtherUsersPrefix(here) / "system.reg";
        }
        const std::string ownersBytes = ReadBytes(file);
        const Owner owners = OwnerOf(file);
        // The owner's moves: a link to root's file, or their own file, renamed over the name.
        const auto putInPlace = [&](bool link) {
            EXPECT_EQ(WaitChild(ForkAs(kOtherUid, kOtherGid, [&] {
                          const fs::path made = file.parent_path() / ".swap";
                          const bool ok = link ? ::symlink(rootsFile.c_str(), made.c_str()) == 0
                                               : ::link((file.parent_path() / ".own").c_str(), made.c_str()) == 0;
                          return ok && ::rename(made.c_str(), file.c_str()) == 0 ? 0 : 1;
                      })),
                      0);
        };
        if (c.linkedFirst) {
            ASSERT_EQ(::link(file.c_str(), (file.parent_path() / ".own").c_str()), 0);
            putInPlace(true);
        }
        std::unique_ptr<TreeStore> store;
        const auto swap = [&](ReplaceStep step) {
            if (step == c.swapAt)
                putInPlace(!c.linkedFirst);
            return true;
        };
        std::u16string error;
        if (c.hive) {
            auto hive = HiveStore::Open(file, &error);
            ASSERT_TRUE(hive) << ToUtf8(error);
            hive->SetReplaceHook(swap);
            store = std::move(hive);
        } else {
            auto wine = OpenWineStore(file);
            wine->SetReplaceHook(swap);
            store = std::move(wine);
        }
        RegBackupContents backup;
        ASSERT_TRUE(ReadRegBackup(EncodeUtf16Le(body), &backup, &error)) << ToUtf8(error);

        // From here on, whatever root does with the other file shows.
        const int watch = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
        ASSERT_GE(::inotify_add_watch(watch, rootsFile.c_str(), IN_OPEN | IN_ACCESS | IN_MODIFY | IN_ATTRIB), 0);
        const RestoreResult result = store->AddKeys(backup);
        alignas(inotify_event) char events[4096];
        const ssize_t seen = ::read(watch, events, sizeof events);
        ::close(watch);

        EXPECT_FALSE(result.Ok());
        EXPECT_TRUE(result.restored.empty());
        EXPECT_LT(seen, 0) << "the other file was opened, read or changed";
        EXPECT_TRUE(ReadBytes(rootsFile) == rootsBytes);
        ExpectOwner(rootsFile, 0, 0, 0600);
        if (c.linkedFirst) {
            fs::remove(file.parent_path() / ".own");
            EXPECT_TRUE(ReadBytes(file) == ownersBytes) << "root's file reached the owner's folder";
            ExpectOwner(file, owners.uid, owners.gid, owners.mode);
        } else {
            EXPECT_TRUE(fs::is_symlink(file)) << "something was put in place of the owner's link";
        }
        EXPECT_EQ(std::distance(fs::directory_iterator(file.parent_path()), fs::directory_iterator()), 1)
            << "a new file was left in the target's folder";
        EXPECT_EQ(std::distance(fs::directory_iterator(here / "root-only"), fs::directory_iterator()), 1);
    }
}

// The prefix's owner running Wine: as that user, in an environment of its
// own alone (nothing of the test runner's: no TMPDIR, XDG_RUNTIME_DIR,
// DISPLAY or WINE* setting of root's reaches it, any of which can make Wine
// as another user quit at once), with the server folder Debian's Wine makes
// under TMPDIR inside the test's own folder. Wine's output goes to a log
// that a failure shows.
class OwnersWine {
public:
    explicit OwnersWine(const fs::path& home) : m_home(home), m_prefix(home / "pfx"), m_log(home / "wine.log")
    {
        fs::create_directories(home / "tmp");
        ChownTree(home, kOtherUid, kOtherGid);
    }
    ~OwnersWine() { Run("wineserver -k; wineserver -w"); }
    OwnersWine(const OwnersWine&) = delete;
    OwnersWine& operator=(const OwnersWine&) = delete;

    const fs::path& Prefix() const { return m_prefix; }
    // The exit status of a shell command run as the owner.
    int Run(const std::string& command) const
    {
        const std::string line = "setpriv --reuid=" + std::to_string(kOtherUid) + " --regid="
            + std::to_string(kOtherGid) + " --clear-groups env -i HOME='" + m_home.string()
            + "' USER=nobody LOGNAME=nobody PATH=/usr/bin:/bin TMPDIR='" + (m_home / "tmp").string() + "' WINEPREFIX='"
            + m_prefix.string() + "' WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml= sh -c '" + command + "' >>'"
            + m_log.string() + "' 2>&1";
        const int status = std::system(line.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    int Query(const std::string& key) const { return Run("wine reg query \"HKLM\\\\Software\\\\Classes\\\\" + key + "\""); }
    std::string Log() const { return "Wine's output:\n" + ReadBytes(m_log); }

private:
    fs::path m_home, m_prefix, m_log;
};

// The prefix's own Wine, run as its owner, still reads its registry after
// root repaired it and after root restored the backup; while the owner's
// wineserver runs, root writes nothing.
TEST(OwnerWritesWine, shouldLeaveTheOwnersWineReadingItsRegistry)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to write into another user's prefix";
    if (std::system("command -v wine >/dev/null 2>&1 && command -v setpriv >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "wine or setpriv is not installed";
    ScratchFolder dir;
    fs::permissions(dir.Path(), fs::perms(0755));
    const OwnersWine wine(dir / "home");
    const fs::path prefix = wine.Prefix();
    const auto run = [&](const std::string& command) { return wine.Run(command); };
    const auto query = [&](const std::string& key) { return wine.Query(key); };
    ASSERT_EQ(run("wineboot -i"), 0) << wine.Log();
    ASSERT_EQ(run("wineserver -w"), 0) << wine.Log();
    const fs::path file = prefix / "system.reg";
    const Owner before = OwnerOf(file);
    ASSERT_EQ(before.uid, kOtherUid);
    const auto size = fs::file_size(file);

    // While the owner's wineserver runs, root's repair is refused. The
    // server holds its lock once it answers (wineserver -p returns before).
    ASSERT_EQ(run("wineserver -p && wine cmd /c exit 0"), 0) << wine.Log();
    EXPECT_TRUE(IsWineServerRunning(prefix));
    std::u16string error;
    auto busy = SystemRegStore::Open(file, &error);
    ASSERT_TRUE(busy) << ToUtf8(error);
    EXPECT_EQ(busy->DeleteKey(HKEY_LOCAL_MACHINE, u"Software\\Classes\\.ini"), kAccessDenied);
    ASSERT_EQ(run("wineserver -k; wineserver -w"), 0) << wine.Log();

    auto store = SystemRegStore::Open(file, &error);
    ASSERT_TRUE(store) << ToUtf8(error);
    auto backup = std::make_shared<RegBackup>(dir / "backups");
    store->SetBackup(backup);
    ASSERT_TRUE(DeleteKeyTree(*store, u"Software\\Classes\\.ini")) << ToUtf8(store->LastError());
    ExpectOwner(file, before.uid, before.gid, before.mode);
    EXPECT_EQ(query(".chm"), 0) << "the owner's Wine cannot read its registry after the repair";
    EXPECT_NE(query(".ini"), 0);
    ASSERT_EQ(run("wineserver -w"), 0);
    EXPECT_GT(fs::file_size(file), size / 2) << "the owner's wineserver wrote an empty registry";

    RegBackupContents contents;
    ASSERT_TRUE(ReadRegBackupFile(backup->File(), &contents, &error)) << ToUtf8(error);
    const RestoreResult result = RestoreIntoWinePrefix(file, contents);
    ASSERT_TRUE(result.Ok()) << ToUtf8(result.error);
    ExpectOwner(file, before.uid, before.gid, before.mode);
    EXPECT_EQ(query(".ini"), 0) << "the owner's Wine cannot read the restored key";
    EXPECT_EQ(query(".chm"), 0);
    ASSERT_EQ(run("wineserver -w"), 0);
    EXPECT_GT(fs::file_size(file), size / 2);
}

}  // namespace
