// One repair, one write: the repair batch of the file-backed stores, and the
// reasons they give when a repair cannot be written.

#include "platform/files/HiveStore.h"
#include "regfile/RegFileWrite.h"
#include "platform/files/SystemRegStore.h"

#include "tests/support/Bytes.h"
#include "tests/support/ScratchFolder.h"
#include "tests/support/Stores.h"
#include "tests/support/HiveBuilder.h"
#include "platform/Text.h"
#include "regfile/TreeDump.h"
#include "platform/files/RegBackup.h"
#include "regfile/RegFileRead.h"

#include <gtest/gtest.h>
#include <hivex.h>

namespace {

using namespace quelvo::platform;
using namespace quelvo::platform::files;
using namespace quelvo::regfile;
using namespace quelvo::test;
namespace fs = std::filesystem;

// Counts the files a store writes (each replacement makes one temporary
// file); `stopAt` makes that step fail as a full disk would.
struct WriteCounter {
    int writes = 0;
    std::optional<ReplaceStep> stopAt;
    ReplaceHook Hook()
    {
        return [this](ReplaceStep step) {
            if (step == ReplaceStep::CreateTemporary)
                ++writes;
            return !stopAt || step != *stopAt;
        };
    }
};

bool Opens(RegistryStore& store, std::u16string_view path)
{
    RegHandle key{};
    if (store.OpenKey(HKEY_LOCAL_MACHINE, path, KEY_READ, &key) != kSuccess)
        return false;
    store.CloseKey(key);
    return true;
}

class SystemRegBatch : public ::testing::Test {
protected:
    void SetUp() override
    {
        original = ReadBytes(DataFile("system.reg"));
        file = dir / "system.reg";
        WriteBytes(file, original);
        std::u16string error;
        store = SystemRegStore::Open(file, &error);
        ASSERT_TRUE(store) << ToUtf8(error);
        store->SetServerCheck([this] { return serverRunning; });
        store->SetReplaceHook(counter.Hook());
        backup = std::make_shared<RegBackup>(dir / "backups");
        store->SetBackup(backup);
    }

    ScratchFolder dir;
    fs::path file;
    std::string original;
    std::unique_ptr<SystemRegStore> store;
    std::shared_ptr<RegBackup> backup;
    WriteCounter counter;
    bool serverRunning = false;
};

TEST_F(SystemRegBatch, shouldWriteTheFileOnceForAllRemovalsOfARepair)
{
    ASSERT_EQ(store->BeginRepair(), kSuccess);
    ASSERT_TRUE(DeleteKeyTree(*store, u"Software\\Classes\\.chm"));
    ASSERT_TRUE(DeleteKeyTree(*store, u"Software\\Classes\\.t\u00ebst[1]"));  // sub-key, then its implicit parent
    ASSERT_TRUE(DeleteKeyTree(*store, u"software\\classes\\.PDF"));
    // Gone from the store at once, still in the file; every key already backed up.
    EXPECT_FALSE(Opens(*store, u"Software\\Classes\\.chm"));
    EXPECT_FALSE(Opens(*store, u"Software\\Classes\\.t\u00ebst[1]"));
    EXPECT_EQ(ReadBytes(file), original);
    EXPECT_EQ(counter.writes, 0);
    RegKey restored(u"", nullptr, nullptr);
    ASSERT_TRUE(ImportRegFile(DecodeTextFile(ReadBytes(backup->File())), restored, nullptr));
    for (const char16_t* key : {u".chm", u".t\u00ebst[1]", u".pdf"})
        EXPECT_NE(restored.Child(u"Software")->Child(u"Classes")->Child(key), nullptr) << ToUtf8(key);

    ASSERT_EQ(store->CommitRepair(), kSuccess) << ToUtf8(store->FailureReason());
    EXPECT_EQ(counter.writes, 1);
    EXPECT_TRUE(store->FailureReason().empty());
    EXPECT_EQ(ReadBytes(file),
              WithoutBlocks(original, {"Software\\\\Classes\\\\.chm", "Software\\\\Classes\\\\.t\\xebst\\[1\\]\\\\sub",
                                       "Software\\\\Classes\\\\.pdf"}));
    std::u16string error;
    auto reread = SystemRegStore::Open(file, &error);
    ASSERT_TRUE(reread);
    EXPECT_EQ(DumpStoreTree(*reread, u""), DumpStoreTree(*store, u""));

    // Outside a batch each removal writes at once, as before.
    ASSERT_EQ(store->DeleteKey(HKEY_LOCAL_MACHINE, u"Software\\Classes\\.cpl"), kSuccess);
    EXPECT_EQ(counter.writes, 2);
    EXPECT_EQ(store->CommitRepair(), kSuccess) << "no batch: nothing to do";
}

TEST_F(SystemRegBatch, shouldKeepAParentThatOnlyExistedThroughKeysRemovedInOneBatch)
{
    ASSERT_EQ(store->BeginRepair(), kSuccess);
    ASSERT_EQ(store->DeleteKey(HKEY_LOCAL_MACHINE, u"Software\\Classes\\.t\u00ebst[1]\\sub"), kSuccess);
    ASSERT_EQ(store->CommitRepair(), kSuccess);
    std::u16string error;
    auto reread = SystemRegStore::Open(file, &error);
    ASSERT_TRUE(reread);
    ASSERT_NE(reread->Find(u"Software\\Classes\\.t\u00ebst[1]"), nullptr);
    EXPECT_EQ(DumpStoreTree(*reread, u""), DumpStoreTree(*store, u""));
}

TEST_F(SystemRegBatch, shouldPutEveryKeyBackAndLeaveTheFileWhenTheCommitFails)
{
    for (ReplaceStep stop : {ReplaceStep::CreateTemporary, ReplaceStep::Write, ReplaceStep::Rename}) {
        counter.stopAt = stop;
        ASSERT_EQ(store->BeginRepair(), kSuccess);
        ASSERT_TRUE(DeleteKeyTree(*store, u"Software\\Classes\\.chm"));
        ASSERT_TRUE(DeleteKeyTree(*store, u"Software\\Classes\\.t\u00ebst[1]"));
        EXPECT_EQ(store->CommitRepair(), kWriteFault) << int(stop);
        EXPECT_EQ(ReadBytes(file), original);
        EXPECT_TRUE(Opens(*store, u"Software\\Classes\\.chm"));
        EXPECT_TRUE(Opens(*store, u"Software\\Classes\\.t\u00ebst[1]\\sub"));
        EXPECT_NE(ToUtf8(store->FailureReason()).find("Cannot rewrite"), std::string::npos)
            << ToUtf8(store->FailureReason());
    }
    // The keys put back are the file's: the next repair writes them unchanged.
    counter.stopAt.reset();
    ASSERT_EQ(store->BeginRepair(), kSuccess);
    ASSERT_TRUE(DeleteKeyTree(*store, u"Software\\Classes\\.pdf"));
    ASSERT_EQ(store->CommitRepair(), kSuccess);
    EXPECT_EQ(ReadBytes(file), WithoutBlocks(original, {"Software\\\\Classes\\\\.pdf"}));
}

TEST_F(SystemRegBatch, shouldRefuseARepairWhileTheWineserverRunsAndSayHowToStopIt)
{
    serverRunning = true;
    EXPECT_EQ(store->BeginRepair(), kAccessDenied);
    EXPECT_NE(ToUtf8(store->FailureReason()).find("wineserver -k"), std::string::npos);

    // A server that starts during the repair: the commit is refused and
    // nothing is lost.
    serverRunning = false;
    ASSERT_EQ(store->BeginRepair(), kSuccess);
    EXPECT_TRUE(store->FailureReason().empty());
    ASSERT_TRUE(DeleteKeyTree(*store, u"Software\\Classes\\.chm"));
    serverRunning = true;
    EXPECT_EQ(store->CommitRepair(), kAccessDenied);
    EXPECT_NE(ToUtf8(store->FailureReason()).find("wineserver -k"), std::string::npos);
    EXPECT_TRUE(Opens(*store, u"Software\\Classes\\.chm"));
    EXPECT_EQ(ReadBytes(file), original);
    EXPECT_EQ(counter.writes, 0);
}

TEST_F(SystemRegBatch, shouldRefuseToCommitOverAFileChangedDuringTheRepair)
{
    ASSERT_EQ(store->BeginRepair(), kSuccess);
    ASSERT_TRUE(DeleteKeyTree(*store, u"Software\\Classes\\.chm"));
    WriteBytes(file, original + "\n[Software\\\\New] 1\n");
    EXPECT_EQ(store->CommitRepair(), kWriteFault);
    EXPECT_NE(ToUtf8(store->FailureReason()).find("changed on disk"), std::string::npos);
    EXPECT_TRUE(Opens(*store, u"Software\\Classes\\.chm"));
    EXPECT_EQ(ReadBytes(file), original + "\n[Software\\\\New] 1\n");
}

TEST_F(SystemRegBatch, shouldNotRemoveAKeyWhoseBackupFailsAndSaySo)
{
    WriteBytes(dir / "blocked", "a file, not a folder");
    store->SetBackup(std::make_shared<RegBackup>(dir / "blocked" / "backups"));
    ASSERT_EQ(store->BeginRepair(), kSuccess);
    EXPECT_EQ(store->DeleteKey(HKEY_LOCAL_MACHINE, u"Software\\Classes\\.chm"), kWriteFault);
    EXPECT_NE(ToUtf8(store->FailureReason()).find("backup"), std::string::npos);
    EXPECT_TRUE(Opens(*store, u"Software\\Classes\\.chm"));
    EXPECT_EQ(store->CommitRepair(), kSuccess);
    EXPECT_EQ(counter.writes, 0) << "nothing was removed, nothing is written";
    EXPECT_EQ(ReadBytes(file), original);
}

// Records what a batch asks of its backup, and can refuse the flush.
class RecordingBackup : public RegBackup {
public:
    RecordingBackup(fs::path folder, std::vector<std::string>& log) : RegBackup(std::move(folder)), m_log(log) {}
    bool Append(RegKey& key, std::u16string* message) override
    {
        m_log.push_back("append " + ToUtf8(key.Name()));
        return RegBackup::Append(key, message);
    }
    bool Flush(std::u16string* message) override
    {
        m_log.push_back("flush");
        if (failFlush) {
            *message = u"Cannot write the backup file: disk full";
            return false;
        }
        return RegBackup::Flush(message);
    }
    bool failFlush = false;

private:
    std::vector<std::string>& m_log;
};

TEST_F(SystemRegBatch, shouldFlushTheBackupsOnceBeforeTheFileIsWritten)
{
    std::vector<std::string> log;
    auto recording = std::make_shared<RecordingBackup>(dir / "backups", log);
    store->SetBackup(recording);
    store->SetReplaceHook([&](ReplaceStep step) {
        if (step == ReplaceStep::CreateTemporary)
            log.push_back("write");
        return true;
    });
    ASSERT_EQ(store->BeginRepair(), kSuccess);
    ASSERT_TRUE(DeleteKeyTree(*store, u"Software\\Classes\\.chm"));
    ASSERT_TRUE(DeleteKeyTree(*store, u"Software\\Classes\\.pdf"));
    ASSERT_EQ(store->CommitRepair(), kSuccess);
    EXPECT_EQ(log, (std::vector<std::string>{"append .chm", "append .pdf", "flush", "write"}));

    // A backup that cannot be made durable stops the commit; nothing is lost.
    log.clear();
    recording->failFlush = true;
    const std::string before = ReadBytes(file);
    ASSERT_EQ(store->BeginRepair(), kSuccess);
    ASSERT_TRUE(DeleteKeyTree(*store, u"Software\\Classes\\.cpl"));
    EXPECT_EQ(store->CommitRepair(), kWriteFault);
    EXPECT_NE(ToUtf8(store->FailureReason()).find("disk full"), std::string::npos);
    EXPECT_TRUE(Opens(*store, u"Software\\Classes\\.cpl"));
    EXPECT_EQ(ReadBytes(file), before);
    EXPECT_EQ(log, (std::vector<std::string>{"append .cpl", "flush"}));
}

class HiveBatch : public ::testing::Test {
protected:
    void SetUp() override
    {
        file = dir / "SOFTWARE";
        WriteEmptyHive(file);
        hive_h* h = hivex_open(file.c_str(), HIVEX_OPEN_WRITE);
        ASSERT_NE(h, nullptr);
        const hive_node_h classes = hivex_node_add_child(h, hivex_root(h), "Classes");
        for (const char* name : {".a", ".b", ".c", ".keep"}) {
            const hive_node_h ext = hivex_node_add_child(h, classes, name);
            hivex_node_add_child(h, hivex_node_add_child(h, ext, "OpenWithList"), "x.exe");
        }
        ASSERT_EQ(hivex_commit(h, nullptr, 0), 0);
        hivex_close(h);
        original = ReadBytes(file);
        store = Open();
        store->SetReplaceHook(counter.Hook());
    }

    std::unique_ptr<HiveStore> Open()
    {
        std::u16string error;
        auto s = HiveStore::Open(file, &error);
        EXPECT_TRUE(s) << ToUtf8(error);
        return s;
    }

    ScratchFolder dir;
    fs::path file;
    std::string original;
    std::unique_ptr<HiveStore> store;
    WriteCounter counter;
};

TEST_F(HiveBatch, shouldCommitTheHiveOnceForAllRemovalsOfARepair)
{
    ASSERT_EQ(store->BeginRepair(), kSuccess);
    for (const char16_t* ext : {u".a", u".b", u".c"})
        ASSERT_TRUE(DeleteKeyTree(*store, std::u16string(u"SOFTWARE\\Classes\\") + ext)) << ToUtf8(store->FailureReason());
    EXPECT_FALSE(Opens(*store, u"SOFTWARE\\Classes\\.b"));
    EXPECT_EQ(ReadBytes(file), original);
    ASSERT_EQ(store->CommitRepair(), kSuccess) << ToUtf8(store->FailureReason());
    EXPECT_EQ(counter.writes, 1);

    auto reopened = Open();
    for (const char16_t* ext : {u".a", u".b", u".c"})
        EXPECT_FALSE(Opens(*reopened, std::u16string(u"SOFTWARE\\Classes\\") + ext)) << ToUtf8(ext);
    EXPECT_TRUE(Opens(*reopened, u"SOFTWARE\\Classes\\.keep\\OpenWithList\\x.exe"));
    EXPECT_EQ(DumpStoreTree(*reopened, u"SOFTWARE"), DumpStoreTree(*store, u"SOFTWARE"));
}

TEST_F(HiveBatch, shouldPutEveryKeyBackAndLeaveTheHiveWhenTheCommitFails)
{
    counter.stopAt = ReplaceStep::Rename;
    ASSERT_EQ(store->BeginRepair(), kSuccess);
    ASSERT_TRUE(DeleteKeyTree(*store, u"SOFTWARE\\Classes\\.a"));
    ASSERT_TRUE(DeleteKeyTree(*store, u"SOFTWARE\\Classes\\.b"));
    EXPECT_EQ(store->CommitRepair(), kWriteFault);
    EXPECT_NE(ToUtf8(store->FailureReason()).find("Cannot rewrite"), std::string::npos);
    EXPECT_EQ(ReadBytes(file), original);
    EXPECT_TRUE(Opens(*store, u"SOFTWARE\\Classes\\.a\\OpenWithList\\x.exe"));
    EXPECT_TRUE(Opens(*store, u"SOFTWARE\\Classes\\.b"));

    // The hive was reopened from the unchanged file: a later repair works.
    counter.stopAt.reset();
    ASSERT_EQ(store->BeginRepair(), kSuccess);
    ASSERT_TRUE(DeleteKeyTree(*store, u"SOFTWARE\\Classes\\.c"));
    ASSERT_EQ(store->CommitRepair(), kSuccess) << ToUtf8(store->FailureReason());
    auto reopened = Open();
    EXPECT_TRUE(Opens(*reopened, u"SOFTWARE\\Classes\\.a"));
    EXPECT_TRUE(Opens(*reopened, u"SOFTWARE\\Classes\\.b"));
    EXPECT_FALSE(Opens(*reopened, u"SOFTWARE\\Classes\\.c"));
}

TEST_F(HiveBatch, shouldRefuseARepairOfAHiveChangedOnDisk)
{
    WriteBytes(file, original + std::string(4096, '\0'));
    EXPECT_EQ(store->BeginRepair(), kWriteFault);
    EXPECT_NE(ToUtf8(store->FailureReason()).find("changed on disk"), std::string::npos);
}

}  // namespace
