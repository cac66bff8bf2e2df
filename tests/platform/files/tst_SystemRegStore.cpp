#include "platform/files/SystemRegStore.h"

#include "tests/support/Bytes.h"
#include "tests/support/ScratchFolder.h"
#include "tests/support/Stores.h"
#include "platform/Text.h"
#include "regfile/RegFileWrite.h"
#include "regfile/TreeDump.h"
#include "platform/files/WineServer.h"
#include "platform/files/RegBackup.h"
#include "regfile/RegFileRead.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <sys/wait.h>
#include <thread>
#include <utility>
#include <unistd.h>

namespace {

using namespace quelvo::platform;
using namespace quelvo::platform::files;
using namespace quelvo::regfile;
using namespace quelvo::test;
namespace fs = std::filesystem;

class SystemRegStoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        original = ReadBytes(DataFile("system.reg"));
        file = dir / "system.reg";
        WriteBytes(file, original);
        store = Open();
    }

    std::unique_ptr<SystemRegStore> Open() { return OpenWineStore(file); }

    ScratchFolder dir;
    fs::path file;
    std::string original;
    std::unique_ptr<SystemRegStore> store;
};

TEST_F(SystemRegStoreTest, shouldAnswerTheScanThroughTheSixCalls)
{
    RegHandle key{};
    ASSERT_EQ(store->OpenKey(HKEY_LOCAL_MACHINE, u"software\\CLASSES\\", KEY_ALL_ACCESS, &key), kSuccess);
    std::uint32_t count = 0, longest = 0;
    ASSERT_EQ(store->QueryInfoKey(key, &count, &longest), kSuccess);
    EXPECT_GT(count, 15u);
    char16_t name[256];
    std::uint32_t length = 0;
    ASSERT_EQ(store->EnumKey(key, 0, name, 256, &length), kSuccess);
    EXPECT_EQ(std::u16string(name, length), u".chm");
    EXPECT_EQ(store->EnumKey(key, 0, name, 4, &length), kMoreData);
    EXPECT_EQ(store->EnumKey(key, count, name, 256, &length), kNoMoreItems);
    store->CloseKey(key);

    ASSERT_EQ(store->OpenKey(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Classes\\.chm", KEY_ALL_ACCESS, &key), kSuccess);
    std::uint32_t size = 0;
    RegType type{};
    ASSERT_EQ(store->QueryValue(key, u"", &type, nullptr, &size), kSuccess);
    EXPECT_EQ(type, RegType::Sz);
    EXPECT_EQ(size, 18u);  // "chm.file" and its NUL
    std::uint8_t small[4];
    std::uint32_t smallSize = sizeof small;
    EXPECT_EQ(store->QueryValue(key, u"", &type, small, &smallSize), kMoreData);
    EXPECT_EQ(small[0], 'c');
    EXPECT_EQ(store->QueryValue(key, u"absent", &type, nullptr, &size), kFileNotFound);
    store->CloseKey(key);
    EXPECT_EQ(store->OpenKey(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Classes\\.nope", KEY_ALL_ACCESS, &key), kFileNotFound);
}

TEST_F(SystemRegStoreTest, shouldFollowWineSymbolicLinks)
{
    // Wow6432Node\AppId links to \Registry\Machine\Software\Classes\AppId.
    RegKey* link = store->Root().Child(u"Software")->Child(u"Classes")->Child(u"Wow6432Node")->Child(u"AppId");
    ASSERT_NE(link, nullptr);
    ASSERT_TRUE(link->isLink);
    EXPECT_EQ(store->Find(u"Software\\Classes\\Wow6432Node\\AppId"), store->Find(u"Software\\Classes\\AppId"));
}

TEST_F(SystemRegStoreTest, shouldRemoveAKeyWithSubKeysAndKeepEveryOtherByte)
{
    ASSERT_TRUE(DeleteKeyTree(*store, u"Software\\Classes\\.t\u00ebst[1]"));
    ASSERT_TRUE(DeleteKeyTree(*store, u"Software\\Classes\\.chm"));
    const std::string expected =
        WithoutBlocks(original, {"Software\\\\Classes\\\\.t\\xebst\\[1\\]\\\\sub", "Software\\\\Classes\\\\.chm"});
    ASSERT_NE(expected, original);
    EXPECT_EQ(ReadBytes(file), expected);
    EXPECT_EQ(store->Find(u"Software\\Classes\\.t\u00ebst[1]"), nullptr);

    auto reread = Open();
    EXPECT_EQ(DumpStoreTree(*reread, u""), DumpStoreTree(*store, u""));
}

TEST_F(SystemRegStoreTest, shouldKeepAParentThatOnlyExistedThroughTheRemovedKey)
{
    // "...\.t\xebst[1]" has no block of its own: removing only its sub-key
    // must not make it vanish from the file.
    ASSERT_EQ(store->DeleteKey(HKEY_LOCAL_MACHINE, u"Software\\Classes\\.t\u00ebst[1]\\sub"), kSuccess);
    auto reread = Open();
    RegKey* parent = reread->Find(u"Software\\Classes\\.t\u00ebst[1]");
    ASSERT_NE(parent, nullptr);
    EXPECT_TRUE(parent->Children().empty());
    EXPECT_EQ(DumpStoreTree(*reread, u""), DumpStoreTree(*store, u""));
    // Removing the parent too leaves the file as if both blocks were cut.
    ASSERT_EQ(store->DeleteKey(HKEY_LOCAL_MACHINE, u"Software\\Classes\\.t\u00ebst[1]"), kSuccess);
    EXPECT_EQ(ReadBytes(file), WithoutBlocks(original, {"Software\\\\Classes\\\\.t\\xebst\\[1\\]\\\\sub"}));
}

// A link inside a removed tree must not take its target along.
TEST(SystemRegStoreLinks, shouldNeverRemoveKeysThroughASymbolicLink)
{
    std::string target;
    for (char c : std::string("\\Registry\\Machine\\Software\\Classes\\Target")) {
        char buf[8];
        std::snprintf(buf, sizeof buf, "%02x,00,", static_cast<unsigned char>(c));
        target += buf;
    }
    target.pop_back();
    const std::string text = "WINE REGISTRY Version 2\n\n[Software\\\\Classes\\\\.lnkd\\\\Sub] 1\n#link\n"
                             "\"SymbolicLinkValue\"=hex(6):" + target + "\n\n[Software\\\\Classes\\\\Target\\\\Child] 1\n@=\"keep\"\n"
                             "\n[Software\\\\Classes\\\\Loop] 1\n#link\n\"SymbolicLinkValue\"=hex(6):" + target.substr(0, target.size() - 42) + "\n";
    ScratchFolder dir;
    WriteBytes(dir / "system.reg", text);
    std::u16string error;
    auto store = SystemRegStore::Open(dir / "system.reg", &error);
    ASSERT_TRUE(store) << ToUtf8(error);
    store->SetServerCheck([] { return false; });
    EXPECT_EQ(store->Find(u"Software\\Classes\\.lnkd\\Sub\\Child"), store->Find(u"Software\\Classes\\Target\\Child"));

    EXPECT_FALSE(DeleteKeyTree(*store, u"Software\\Classes\\.lnkd"));
    EXPECT_NE(ToUtf8(store->LastError()).find("symbolic link"), std::string::npos);
    EXPECT_EQ(ReadBytes(dir / "system.reg"), text);
    EXPECT_EQ(store->DeleteKey(HKEY_LOCAL_MACHINE, u"Software\\Classes\\.lnkd\\Sub"), kSuccess);
    EXPECT_NE(store->Find(u"Software\\Classes\\Target\\Child"), nullptr);
    EXPECT_EQ(ReadBytes(dir / "system.reg").find("#link\n\"SymbolicLinkValue\"=hex(6):" + target + "\n"), std::string::npos);
    // A link back to its own parent: the dump ends.
    EXPECT_FALSE(DumpStoreTree(*store, u"Software").empty());
}

TEST_F(SystemRegStoreTest, shouldRefuseRemovalOfKeysWithSubKeysOrAbsentKeys)
{
    EXPECT_EQ(store->DeleteKey(HKEY_LOCAL_MACHINE, u"Software\\Classes"), kAccessDenied);
    EXPECT_EQ(store->DeleteKey(HKEY_LOCAL_MACHINE, u"Software\\Classes\\.none"), kFileNotFound);
    EXPECT_EQ(ReadBytes(file), original);
}

TEST_F(SystemRegStoreTest, shouldRefuseAndExplainWhileTheFileChangedOnDisk)
{
    WriteBytes(file, original + "\n[Software\\\\New] 1\n");
    EXPECT_EQ(store->DeleteKey(HKEY_LOCAL_MACHINE, u"Software\\Classes\\.chm"), kWriteFault);
    EXPECT_NE(ToUtf8(store->LastError()).find("changed on disk"), std::string::npos);
    EXPECT_NE(store->Find(u"Software\\Classes\\.chm"), nullptr);
    EXPECT_EQ(ReadBytes(file), original + "\n[Software\\\\New] 1\n");
}

// A crash before any step of the rewrite leaves the old file; after the
// rename, the new one. Never anything in between.
TEST_F(SystemRegStoreTest, shouldLeaveTheOldOrTheNewFileWhenStoppedAtAnyStep)
{
    const std::string removed = WithoutBlocks(original, {"Software\\\\Classes\\\\.chm"});
    for (ReplaceStep stop : {ReplaceStep::CreateTemporary, ReplaceStep::Write, ReplaceStep::Flush, ReplaceStep::Close,
                             ReplaceStep::Rename, ReplaceStep::FlushFolder}) {
        WriteBytes(file, original);
        auto s = Open();
        s->SetReplaceHook([stop](ReplaceStep step) { return step != stop; });
        const RegStatus status = s->DeleteKey(HKEY_LOCAL_MACHINE, u"Software\\Classes\\.chm");
        const std::string now = ReadBytes(file);
        if (stop == ReplaceStep::FlushFolder) {
            EXPECT_EQ(now, removed);
        } else {
            EXPECT_EQ(now, original) << int(stop);
            EXPECT_NE(status, kSuccess);
            EXPECT_NE(s->Find(u"Software\\Classes\\.chm"), nullptr);
        }
    }
}

// The same with real kills: a child process removes a key tree and is
// killed at a varying moment; the file is always whole.
TEST_F(SystemRegStoreTest, shouldNeverLeaveATornFileWhenKilled)
{
    const std::string removedChm = WithoutBlocks(original, {"Software\\\\Classes\\\\.chm"});
    const std::string removedBoth = WithoutBlocks(original, {"Software\\\\Classes\\\\.chm", "Software\\\\Classes\\\\.cpl"});
    for (int round = 0; round < 12; ++round) {
        WriteBytes(file, original);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            auto s = Open();
            s->SetServerCheck([] { return false; });
            s->DeleteKey(HKEY_LOCAL_MACHINE, u"Software\\Classes\\.chm");
            s->DeleteKey(HKEY_LOCAL_MACHINE, u"Software\\Classes\\.cpl");
            ::_exit(0);
        }
        std::this_thread::sleep_for(std::chrono::microseconds(round * 700));
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        const std::string now = ReadBytes(file);
        EXPECT_TRUE(now == original || now == removedChm || now == removedBoth) << "round " << round;
    }
}

TEST_F(SystemRegStoreTest, shouldBackUpRemovedKeysSoThatTheyCanBeRestored)
{
    auto backup = std::make_shared<RegBackup>(dir / "backups");
    store->SetBackup(backup);
    RegKey* victim = store->Find(u"Software\\Classes\\.t\u00ebst[1]");
    const std::string before = DumpKeyTreeWithValues(*victim);
    ASSERT_TRUE(DeleteKeyTree(*store, u"Software\\Classes\\.t\u00ebst[1]"));
    ASSERT_FALSE(backup->File().empty());

    const std::string bytes = ReadBytes(backup->File());
    ASSERT_EQ(bytes.substr(0, 2), "\xFF\xFE");
    RegKey restored(u"", nullptr, nullptr);
    std::u16string error;
    ASSERT_TRUE(ImportRegFile(DecodeTextFile(bytes), restored, &error)) << ToUtf8(error);
    RegKey* back = restored.Child(u"Software")->Child(u"Classes")->Child(u".t\u00ebst[1]");
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(DumpKeyTreeWithValues(*back), before);
}

TEST_F(SystemRegStoreTest, shouldNotRemoveAKeyWhoseBackupCannotBeWritten)
{
    WriteBytes(dir / "blocked", "a file, not a folder");
    store->SetBackup(std::make_shared<RegBackup>(dir / "blocked" / "backups"));
    EXPECT_EQ(store->DeleteKey(HKEY_LOCAL_MACHINE, u"Software\\Classes\\.chm"), kWriteFault);
    EXPECT_FALSE(store->LastError().empty());
    EXPECT_EQ(ReadBytes(file), original);
}

// A real wineserver started on the prefix (wineserver -p) makes the store
// refuse, and stopping it lets the removal through.
TEST(SystemRegStoreWineServer, shouldRefuseWhileThePrefixWineserverRuns)
{
    if (std::system("command -v wineserver >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "wineserver is not installed";
    ScratchFolder dir;
    const fs::path prefix = dir / "pfx";
    fs::create_directories(prefix);
    const std::string original = ReadBytes(DataFile("system.reg"));
    WriteBytes(prefix / "system.reg", original);
    std::u16string error;
    auto store = SystemRegStore::Open(prefix / "system.reg", &error);
    ASSERT_TRUE(store) << ToUtf8(error);
    EXPECT_FALSE(IsWineServerRunning(prefix));

    const std::string env = "WINEPREFIX='" + prefix.string() + "' WINEDEBUG=-all ";
    struct StopServer {
        std::string env;
        bool running = true;
        void Stop()
        {
            if (std::exchange(running, false))
                std::system((env + "wineserver -k >/dev/null 2>&1; " + env + "wineserver -w >/dev/null 2>&1").c_str());
        }
        ~StopServer() { Stop(); }
    } stopOnExit{env};
    ASSERT_EQ(std::system((env + "wineserver -p >/dev/null 2>&1").c_str()), 0);
    bool running = false;
    for (int i = 0; i < 100 && !running; ++i) {
        running = IsWineServerRunning(prefix);
        if (!running)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_TRUE(running);
    EXPECT_EQ(store->DeleteKey(HKEY_LOCAL_MACHINE, u"Software\\Classes\\.chm"), kAccessDenied);
    EXPECT_NE(ToUtf8(store->LastError()).find("wineserver"), std::string::npos);
    EXPECT_EQ(ReadBytes(prefix / "system.reg"), original);

    stopOnExit.Stop();
    for (int i = 0; i < 100 && IsWineServerRunning(prefix); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(IsWineServerRunning(prefix));
    // The server saved its copy on exit; the store sees that and asks for a new scan.
    auto fresh = SystemRegStore::Open(prefix / "system.reg", &error);
    ASSERT_TRUE(fresh) << ToUtf8(error);
    EXPECT_EQ(fresh->DeleteKey(HKEY_LOCAL_MACHINE, u"Software\\Classes\\.chm"), kSuccess) << ToUtf8(fresh->LastError());
}

}  // namespace
