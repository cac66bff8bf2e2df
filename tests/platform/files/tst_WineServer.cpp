#include "platform/files/WineServer.h"

#include "tests/support/Bytes.h"
#include "tests/support/ScratchFolder.h"
#include "tests/support/OtherUser.h"
#include "platform/Text.h"
#include "regfile/RegFileWrite.h"
#include "platform/files/RegRestore.h"
#include "platform/files/SystemRegStore.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace quelvo::platform;
using namespace quelvo::platform::files;
using namespace quelvo::regfile;
using namespace quelvo::test;
namespace fs = std::filesystem;

// A prefix of another user (when the test runs as root, as CI does), checked
// by root: the server folder in each place Wine keeps it, its lock held by a
// process of the prefix's owner standing in for that owner's wineserver.
class WineServerOfOwnerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (::geteuid() != 0)
            GTEST_SKIP() << "needs root to give the prefix to another user";
        prefix = MakeOtherUsersPrefix(dir);
        struct stat st {};
        ASSERT_EQ(::stat(prefix.c_str(), &st), 0);
        char name[64];
        std::snprintf(name, sizeof name, "server-%llx-%llx", static_cast<unsigned long long>(st.st_dev),
                      static_cast<unsigned long long>(st.st_ino));
        leaf = name;
    }

    void TearDown() override
    {
        std::error_code ec;
        for (const auto& folder : made)
            fs::remove_all(folder, ec);
    }

    // The owner's server folder for the prefix under /tmp/.wine-<uid>, as
    // upstream Wine makes it.
    fs::path OwnersTmpServerFolder()
    {
        // The user's folder stays: other tests may be using it at the same time.
        const fs::path userFolder = fs::path("/tmp") / (".wine-" + std::to_string(kOtherUid));
        if (!fs::exists(userFolder))
            MakeServerFolder(userFolder);
        const fs::path server = MakeServerFolder(userFolder / leaf);
        made.push_back(server);
        return server;
    }

    // A server folder of the owner's, as Wine makes it (mode 0700).
    fs::path MakeServerFolder(const fs::path& folder)
    {
        fs::create_directories(folder);
        fs::permissions(folder, fs::perms(0700));
        ChownTree(folder, kOtherUid, kOtherGid);
        return folder;
    }

    // While the owner's server holds the lock: the check sees it, a repair
    // and a restore are refused and write nothing; once it is let go, the
    // check sees nothing.
    void ExpectRefusedWhileHeld(const fs::path& serverFolder, const fs::path& workingFolder = {})
    {
        const std::string original = ReadBytes(prefix / "system.reg");
        {
            LockHolder server(serverFolder / "lock", kOtherUid, kOtherGid, workingFolder);
            ASSERT_TRUE(server.Holding());
            EXPECT_TRUE(IsWineServerRunning(prefix)) << serverFolder;

            std::u16string error;
            auto store = SystemRegStore::Open(prefix / "system.reg", &error);
            ASSERT_TRUE(store) << ToUtf8(error);
            EXPECT_EQ(store->DeleteKey(HKEY_LOCAL_MACHINE, u"Software\\Classes\\.chm"), kAccessDenied);
            EXPECT_NE(ToUtf8(store->LastError()).find("wineserver is running"), std::string::npos);

            RegBackupContents backup;
            ASSERT_TRUE(ReadRegBackup(EncodeUtf16Le(u"Windows Registry Editor Version 5.00\r\n\r\n"
                                                    u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\.new]\r\n\r\n"),
                                      &backup, &error));
            const RestoreResult restored = RestoreIntoWinePrefix(prefix / "system.reg", backup);
            EXPECT_NE(ToUtf8(restored.error).find("wineserver is running"), std::string::npos);
            EXPECT_EQ(ReadBytes(prefix / "system.reg"), original);
        }
        EXPECT_FALSE(IsWineServerRunning(prefix));
    }

    ScratchFolder dir;
    fs::path prefix;
    std::string leaf;
    std::vector<fs::path> made;
};

TEST_F(WineServerOfOwnerTest, shouldSeeTheOwnersServerUnderTheOwnersTmpFolder)
{
    // Upstream Wine: /tmp/.wine-<uid of whoever runs the server>.
    ExpectRefusedWhileHeld(OwnersTmpServerFolder());
}

TEST_F(WineServerOfOwnerTest, shouldSeeTheServerFolderThePrefixNames)
{
    // Debian's Wine: <prefix>/wineserver names a private folder under /tmp.
    const ScratchFolder folder("wine-quelvo-test", "/tmp");
    const fs::path named = folder.Path();
    ChownTree(named, kOtherUid, kOtherGid);
    WriteBytes(prefix / "wineserver", named.filename().string());
    ChownTree(prefix / "wineserver", kOtherUid, kOtherGid);
    ExpectRefusedWhileHeld(MakeServerFolder(named / leaf));
}

TEST_F(WineServerOfOwnerTest, shouldSeeARunningServerWhereverItsFolderLies)
{
    // Started with a temporary folder of the owner's that the caller cannot
    // know (another TMPDIR): the server works in its folder.
    const fs::path elsewhere = MakeServerFolder(dir / "owners-tmp" / "wine-abcdef" / leaf);
    ExpectRefusedWhileHeld(elsewhere, elsewhere);
}

TEST_F(WineServerOfOwnerTest, shouldNotBeFooledByWhatTheOwnerPutsInItsServerFolders)
{
    // A FIFO or a link for the lock, a link for the named file: neither
    // blocks the check nor is followed.
    const fs::path server = OwnersTmpServerFolder();
    ASSERT_EQ(::mkfifo((server / "lock").c_str(), 0600), 0);
    fs::create_symlink("/dev/zero", prefix / "wineserver");
    EXPECT_FALSE(IsWineServerRunning(prefix));
    fs::remove(server / "lock");
    const fs::path held = dir / "held-lock";
    LockHolder other(held, 0, 0);
    fs::create_symlink(held, server / "lock");
    EXPECT_FALSE(IsWineServerRunning(prefix));
}

}  // namespace
