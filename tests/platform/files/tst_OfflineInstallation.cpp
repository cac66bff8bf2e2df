// An offline Windows installation as a technician meets one: a hive left
// dirty by Windows' lazy writes, a hibernated Windows, a read-only disk,
// damaged hives, and a repair whose write fails.

#include "tests/support/Bytes.h"
#include "tests/support/ScratchFolder.h"
#include "tests/support/HiveBuilder.h"
#include "tests/support/TestDisk.h"
#include "tests/support/ScanRun.h"

#include "platform/Text.h"
#include "platform/files/FileTargets.h"
#include "regfile/HiveImage.h"
#include "regfile/HiveRecovery.h"
#include "platform/files/HiveStore.h"
#include "regfile/RegFileWrite.h"
#include "platform/files/RegRestore.h"
#include "regfile/TreeDump.h"
#include "scan/Unit_QLV_func_Repair.h"
#include "platform/files/RegBackup.h"

#include <gtest/gtest.h>
#include <hivex.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace quelvo;
using namespace quelvo::platform;
using namespace quelvo::platform::files;
using namespace quelvo::regfile;
using namespace quelvo::test;
namespace fs = std::filesystem;

std::string N(std::u16string_view text) { return ToUtf8(text); }

// What a scan reports, outcome by outcome.
std::vector<std::string> Scan(Target& target)
{
    ScopedActiveTarget active(target);
    std::vector<std::string> calls;
    EXPECT_TRUE(RunScan([&](std::u16string_view name, std::u16string_view path, int type) {
        calls.push_back(ToUtf8(name) + "|" + ToUtf8(path) + "|" + std::to_string(type));
    }));
    return calls;
}

std::unique_ptr<FileTarget> Open(const fs::path& root)
{
    std::u16string error;
    auto target = OpenWindowsInstallation(root, &error);
    EXPECT_TRUE(target) << N(error);
    return target;
}

scan::RepairOutcome Repair(FileTarget& target, const std::vector<std::u16string>& extensions)
{
    ScopedActiveTarget active(target);
    return scan::func_RepairExtensions(extensions);
}

// The file offset of a key's record (hivex's handles are file offsets).
std::size_t KeyOffset(const std::string& image, const std::vector<const char*>& path)
{
    ScratchFolder dir;
    WriteBytes(dir / "h", image);
    hive_h* h = hivex_open((dir / "h").c_str(), 0);
    hive_node_h node = hivex_root(h);
    for (const char* name : path)
        node = node ? hivex_node_get_child(h, node, name) : 0;
    hivex_close(h);
    return node;
}

void SetKeyField(std::string& image, std::size_t key, std::size_t field, std::uint32_t value)
{
    hive::PutLe32(image.data() + key + 4 + field, value);
}

std::vector<fs::path> Files(const fs::path& folder)
{
    std::vector<fs::path> files;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec))
        files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

const std::vector<std::u16string> kBrokenInA{u".keep", u".old"};
const std::vector<std::u16string> kBrokenInB{u".keep", u".mix", u".new"};

// State A: .doc and .mix open programs, .keep and .old are broken. State B
// (A changed in place, as Windows changes it): .old gone, .mix and .new
// broken, and enough new keys to grow the hive.
class OfflineInstallation : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        stateA = new std::string(ChangeClassesHive(
            {}, {{{".doc", "docfile"}, {".old", "gone"}, {".keep", "nofile"}, {".mix", "mixfile"}},
                 {},
                 {"docfile", "mixfile"}}));
        ClassesChange change{{{".mix", "nothere"}, {".new", "none"}}, {".old"}, {}};
        for (int i = 0; i < 150; ++i)
            change.types.push_back("type" + std::to_string(i));
        stateB = new std::string(ChangeClassesHive(*stateA, change));
    }
    static void TearDownTestSuite()
    {
        delete stateA;
        delete stateB;
    }

    void SetUp() override { backups = dir / "backups"; }

    // The target with its backups in the test's folder.
    std::unique_ptr<FileTarget> OpenWithBackups(const fs::path& root)
    {
        auto target = Open(root);
        if (target)
            target->Store().SetBackup(std::make_shared<RegBackup>(backups));
        return target;
    }

    // Opens, tries a repair that must be refused, and checks nothing changed.
    std::u16string RefusedRepair(const fs::path& root)
    {
        const std::string before = ReadBytes(HivePath(root));
        auto target = OpenWithBackups(root);
        if (!target)
            return {};
        const scan::RepairOutcome outcome = Repair(*target, kBrokenInA);
        EXPECT_TRUE(outcome.nothingRemoved);
        EXPECT_EQ(outcome.fixed, std::vector<bool>(kBrokenInA.size(), false));
        EXPECT_TRUE(ReadBytes(HivePath(root)) == before) << "the hive is byte-identical";
        EXPECT_TRUE(Files(backups).empty()) << "no backup of a repair that wrote nothing";
        return outcome.failureReason;
    }

    static std::string* stateA;
    static std::string* stateB;
    ScratchFolder dir;
    fs::path backups;
};
std::string* OfflineInstallation::stateA = nullptr;
std::string* OfflineInstallation::stateB = nullptr;

TEST_F(OfflineInstallation, shouldScanADirtyInstallationAsWindowsLoadsItAndRepairItToACleanHive)
{
    const DirtyHive dirty = MakeDirtyHive(*stateA, *stateB);
    const fs::path hive = WriteInstallation(dir / "win", dirty.file, dirty.log1, dirty.log2);
    WriteInstallation(dir / "a", *stateA);
    WriteInstallation(dir / "b", *stateB);
    auto target = OpenWithBackups(dir / "win");
    ASSERT_TRUE(target);
    EXPECT_NE(N(target->Description()).find("(its registry recovered from SOFTWARE.LOG1, SOFTWARE.LOG2)"),
              std::string::npos)
        << N(target->Description());
    EXPECT_EQ(target->Store().ReadState().kind, ReadCondition::Complete);

    // The report is B's, not the stale file's.
    const auto outcomes = Scan(*target);
    EXPECT_EQ(outcomes, Scan(*Open(dir / "b")));
    EXPECT_NE(outcomes, Scan(*Open(dir / "a")));
    EXPECT_NE(std::find(outcomes.begin(), outcomes.end(), ".new||2"), outcomes.end());

    const scan::RepairOutcome outcome = Repair(*target, kBrokenInB);
    EXPECT_EQ(outcome.fixed, std::vector<bool>(3, true)) << N(outcome.failureReason);
    EXPECT_TRUE(outcome.failureReason.empty()) << N(outcome.failureReason);

    // Written once, clean, numbered above every entry of its logs.
    const std::string written = ReadBytes(hive);
    const hive::BaseBlock base = hive::ReadBaseBlock(written);
    EXPECT_FALSE(base.Dirty());
    EXPECT_GT(base.primarySequence, hive::HighestLogSequence({{"1", dirty.log1}, {"2", dirty.log2}}));
    EXPECT_FALSE(hive::CheckHiveStructure(written));

    // It reads the same with and without its logs, which Windows now ignores.
    auto withLogs = Open(dir / "win");
    EXPECT_EQ(N(withLogs->Description()).find("recovered"), std::string::npos);
    const std::string dump = DumpStoreTree(withLogs->Registry(), u"SOFTWARE");
    fs::remove(hive.parent_path() / "SOFTWARE.LOG1");
    fs::remove(hive.parent_path() / "SOFTWARE.LOG2");
    EXPECT_EQ(DumpStoreTree(Open(dir / "win")->Registry(), u"SOFTWARE"), dump);
    for (const char* gone : {"software\\classes\\.keep", "software\\classes\\.mix", "software\\classes\\.new"})
        EXPECT_EQ(dump.find(std::string(gone) + " "), std::string::npos) << gone;
    EXPECT_NE(dump.find("software\\classes\\type149\\shell\\open\\command ="), std::string::npos);

    // The disk can be put back exactly: the hive and its logs, byte for byte,
    // beside the backup of the removed keys, readable by the user only.
    const auto files = Files(backups);
    ASSERT_EQ(files.size(), 4u);
    EXPECT_EQ(files[0].extension(), ".SOFTWARE");
    EXPECT_TRUE(ReadBytes(files[0]) == dirty.file);
    EXPECT_TRUE(ReadBytes(files[1]) == dirty.log1);
    EXPECT_TRUE(ReadBytes(files[2]) == dirty.log2);
    EXPECT_EQ(files[3].extension(), ".reg");
    for (const auto& file : files) {
        struct stat st {};
        ASSERT_EQ(::stat(file.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u) << file;
    }
    EXPECT_EQ(ListBackups(backups).size(), 1u);
}

TEST_F(OfflineInstallation, shouldFindTheLogsInAnyLetterCase)
{
    const DirtyHive dirty = MakeDirtyHive(*stateA, *stateB);
    const fs::path hive = WriteInstallation(dir / "win", dirty.file);
    WriteBytes(hive.parent_path() / "software.log1", dirty.log1);
    WriteBytes(hive.parent_path() / "Software.Log2", dirty.log2);
    WriteInstallation(dir / "b", *stateB);
    auto target = Open(dir / "win");
    ASSERT_TRUE(target);
    EXPECT_EQ(Scan(*target), Scan(*Open(dir / "b")));
    EXPECT_TRUE(ReadBytes(hive) == dirty.file) << "reading changes nothing on the disk";
}

// Pipes laid where the hive or a log should be are refused, never waited on.
TEST_F(OfflineInstallation, shouldNeverWaitOnAPipeInPlaceOfTheHiveOrALog)
{
    const DirtyHive dirty = MakeDirtyHive(*stateA, *stateB);
    const fs::path hive = WriteInstallation(dir / "win", dirty.file, {}, dirty.log2);
    ASSERT_EQ(::mkfifo((hive.string() + ".LOG1").c_str(), 0600), 0);
    auto target = Open(dir / "win");
    ASSERT_TRUE(target);
    EXPECT_NE(target->Store().ReadState().kind, ReadCondition::Damaged);

    fs::remove(hive);
    ASSERT_EQ(::mkfifo(hive.c_str(), 0600), 0);
    std::u16string error;
    EXPECT_FALSE(OpenWindowsInstallation(dir / "win", &error));
    EXPECT_NE(N(error).find("it is not a file"), std::string::npos) << N(error);
}

TEST_F(OfflineInstallation, shouldShowAHiveItCannotRecoverAsOutOfDateAndNeverWriteIt)
{
    const DirtyHive dirty = MakeDirtyHive(*stateA, *stateB);
    WriteInstallation(dir / "a", *stateA);
    WriteInstallation(dir / "win", dirty.file);  // copied without its logs
    auto target = Open(dir / "win");
    ASSERT_TRUE(target);
    const ReadCondition read = target->Store().ReadState();
    EXPECT_EQ(read.kind, ReadCondition::Stale);
    EXPECT_NE(N(read.text).find("may be out of date"), std::string::npos) << N(read.text);
    EXPECT_EQ(Scan(*target), Scan(*Open(dir / "a")));
    EXPECT_NE(N(RefusedRepair(dir / "win")).find("was not saved completely"), std::string::npos);
}

TEST_F(OfflineInstallation, shouldRefuseToWriteIntoAHibernatedWindowsAndSayWhatToDo)
{
    for (const char* header : {"HIBR", "hibr", "HiBr"}) {
        ScratchFolder here;
        backups = here / "backups";
        WriteInstallation(here / "win", *stateA);
        WriteBytes(here / "win" / (header[0] == 'H' ? "HIBERFIL.SYS" : "hiberfil.sys"),
                   std::string(header) + std::string(4092, '\0'));
        auto target = Open(here / "win");
        ASSERT_TRUE(target);
        EXPECT_FALSE(Scan(*target).empty()) << "scanning is allowed";
        const std::string reason = N(RefusedRepair(here / "win"));
        EXPECT_NE(reason.find("is hibernated (Fast Startup)"), std::string::npos) << reason;
        EXPECT_NE(reason.find("hold Shift while choosing Shut down, or run \"powercfg /h off\" once"),
                  std::string::npos)
            << reason;
    }
    // A hiberfil.sys whose header was zeroed (Windows shut down fully) is no hibernation.
    WriteInstallation(dir / "win", *stateA);
    WriteBytes(dir / "win" / "hiberfil.sys", std::string(4096, '\0'));
    auto target = OpenWithBackups(dir / "win");
    EXPECT_EQ(Repair(*target, kBrokenInA).fixed, std::vector<bool>(2, true));
}

TEST_F(OfflineInstallation, shouldRefuseAReadOnlyDiskAndNameIt)
{
    const fs::path mount = dir / "disk";
    TestDisk disk(mount);
    if (!disk.Mounted())
        GTEST_SKIP() << "mounting a test disk needs root and the right to mount";
    WriteInstallation(mount, *stateA);
    WriteBytes(mount / "hiberfil.sys", std::string(4096, '\0'));
    ASSERT_TRUE(disk.RemountReadOnly());
    const std::string reason = N(RefusedRepair(mount));
    EXPECT_NE(reason.find("the disk is mounted read-only"), std::string::npos) << reason;
    EXPECT_NE(reason.find("may be hibernated (Fast Startup)"), std::string::npos) << reason;
}

// Damage is named with the key where it lies, the report never looks clean,
// and the hive is never written.
TEST_F(OfflineInstallation, shouldNameDamagedHivesAndNeverWriteThem)
{
    struct Case {
        const char* name;
        std::function<void(std::string&)> damage;
        const char* said;  // in ReadState once the scan ran, or in the refusal
    };
    const std::size_t keep = KeyOffset(*stateA, {"Classes", ".keep"});
    const std::size_t open = KeyOffset(*stateA, {"Classes", "docfile", "Shell", "Open"});
    const std::size_t command = KeyOffset(*stateA, {"Classes", "docfile", "Shell", "Open", "Command"});
    const std::string list = std::to_string(hive::Le32(stateA->data() + open + 4 + 28));
    const Case cases[] = {
        {"cut short", [](std::string& h) { h.resize(h.size() - 4096); }, "is cut short"},
        {"bad hbin", [](std::string& h) { h.replace(hive::kBaseBlockSize, 4, "HBIN"); },
         "is damaged (its hive bin at 0x1000 is broken)"},
        {"value list outside",
         [&](std::string& h) { SetKeyField(h, keep, 40, 0x7FFFFFF0); },
         "is damaged at HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\.keep (its values cannot be read)"},
        {"sub-key cycle",
         [&](std::string& h) {
             SetKeyField(h, command, 20, 1);
             SetKeyField(h, command, 28, hive::Le32(h.data() + open + 4 + 28));
         },
         "at HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\docfile\\Shell\\Open\\Command (its sub-keys lead back"},
    };
    for (const Case& c : cases) {
        ScratchFolder here;
        backups = here / "backups";
        std::string bytes = *stateA;
        c.damage(bytes);
        WriteInstallation(here / "win", bytes);
        auto target = Open(here / "win");
        ASSERT_TRUE(target) << c.name;
        Scan(*target);
        DumpStoreTree(target->Registry(), u"SOFTWARE");  // every key, once: no endless walk
        const std::string refusal = N(RefusedRepair(here / "win"));
        const ReadCondition read = target->Store().ReadState();
        EXPECT_EQ(read.kind, ReadCondition::Damaged) << c.name;
        EXPECT_NE(N(read.text).find(c.said), std::string::npos) << c.name << ": " << N(read.text);
        EXPECT_NE(refusal.find(HivePath(here / "win").string()), std::string::npos) << c.name << ": " << refusal;
        EXPECT_NE(refusal.find("it is not changed"), std::string::npos) << c.name << ": " << refusal;
    }
}

// Damage the scan never reads still stops a write: the whole hive is checked first.
TEST_F(OfflineInstallation, shouldCheckTheWholeHiveBeforeTheFirstWrite)
{
    std::string bytes = *stateA;
    const std::size_t command = KeyOffset(bytes, {"Classes", "docfile", "Shell", "Open", "Command"});
    SetKeyField(bytes, command, 20, 1);  // the scan reads its value, never its sub-keys
    SetKeyField(bytes, command, 28, 0x7FFFFFF0);
    WriteInstallation(dir / "win", bytes);
    auto target = Open(dir / "win");
    ASSERT_TRUE(target);
    EXPECT_EQ(target->Store().ReadState().kind, ReadCondition::Complete);
    const std::string refusal = N(RefusedRepair(dir / "win"));
    EXPECT_NE(refusal.find("is damaged at HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\docfile\\Shell\\Open\\Command (its "
                           "sub-key list points outside the hive)"),
              std::string::npos)
        << refusal;
}

// A repair whose write fails leaves no backup claiming the keys were removed;
// a backup of keys removed before keeps those only.
TEST_F(OfflineInstallation, shouldLeaveNoBackupOfARemovalThatWasNotWritten)
{
    WriteInstallation(dir / "win", *stateA);
    auto target = OpenWithBackups(dir / "win");
    auto* hive = dynamic_cast<HiveStore*>(&target->Store());
    ASSERT_NE(hive, nullptr);
    hive->SetReplaceHook([](ReplaceStep step) { return step != ReplaceStep::Rename; });
    const scan::RepairOutcome failed = Repair(*target, kBrokenInA);
    EXPECT_TRUE(failed.nothingRemoved);
    EXPECT_TRUE(ListBackups(backups).empty());

    hive->SetReplaceHook({});
    ASSERT_EQ(hive->DeleteKey(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Classes\\.keep"), kSuccess) << N(hive->FailureReason());
    hive->SetReplaceHook([](ReplaceStep step) { return step != ReplaceStep::Write; });
    EXPECT_NE(hive->DeleteKey(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Classes\\.old"), kSuccess);
    const auto listed = ListBackups(backups);
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(listed[0].keys, std::vector<std::u16string>{u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\.keep"});
}

// quelvo-restore puts keys back only where a repair may write.
TEST_F(OfflineInstallation, shouldRestoreOnlyWhereARepairMayWrite)
{
    RegBackupContents backup;
    std::u16string error;
    ASSERT_TRUE(ReadRegBackup(EncodeUtf16Le(u"Windows Registry Editor Version 5.00\r\n\r\n"
                                            u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\.back]\r\n@=\"x\"\r\n\r\n"),
                              &backup, &error))
        << N(error);
    WriteInstallation(dir / "win", *stateA);
    WriteBytes(dir / "win" / "hiberfil.sys", "hibr" + std::string(4092, '\0'));
    auto target = Open(dir / "win");
    const RestoreResult hibernated = RestoreIntoTarget(*target, backup);
    EXPECT_NE(N(hibernated.error).find("hibernated"), std::string::npos) << N(hibernated.error);
    EXPECT_TRUE(ReadBytes(HivePath(dir / "win")) == *stateA);

    // Equal sequence numbers but a broken checksum: dirty all the same.
    const DirtyHive dirty = MakeDirtyHive(*stateA, *stateB);
    std::string broken = WithSequenceNumbers(dirty.file, 7, 7);
    broken[508] ^= 1;
    WriteInstallation(dir / "dirty", broken, dirty.log1, dirty.log2);
    const RestoreResult recovered = RestoreIntoHive(HivePath(dir / "dirty"), backup);
    EXPECT_FALSE(recovered.Ok()) << "a hive whose header only is broken is dirty too";
}

}  // namespace
