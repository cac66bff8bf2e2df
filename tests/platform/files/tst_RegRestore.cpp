#include "platform/files/RegRestore.h"

#include "tests/support/Bytes.h"
#include "tests/support/ScratchFolder.h"
#include "tests/support/Stores.h"
#include "tests/support/HiveBuilder.h"
#include "platform/Text.h"
#include "platform/files/FileTargets.h"
#include "platform/files/HiveStore.h"
#include "regfile/RegFileWrite.h"
#include "platform/files/SystemRegStore.h"
#include "regfile/TreeDump.h"
#include "platform/files/RegBackup.h"

#include <gtest/gtest.h>
#include <hivex.h>

#include <memory>

namespace {

using namespace quelvo::platform;
using namespace quelvo::platform::files;
using namespace quelvo::regfile;
using namespace quelvo::test;
namespace fs = std::filesystem;

std::string Utf16File(std::u16string_view text) { return EncodeUtf16Le(text); }

RegBackupContents Read(std::string_view bytes)
{
    RegBackupContents backup;
    std::u16string error;
    EXPECT_TRUE(ReadRegBackup(bytes, &backup, &error)) << ToUtf8(error);
    return backup;
}

std::u16string ReadError(std::string_view bytes)
{
    RegBackupContents backup;
    std::u16string error;
    EXPECT_FALSE(ReadRegBackup(bytes, &backup, &error));
    return error;
}

bool Contains(const std::u16string& text, std::u16string_view part) { return text.find(part) != std::u16string::npos; }

constexpr std::u16string_view kHeader = u"Windows Registry Editor Version 5.00\r\n\r\n";

TEST(RegRestoreBackup, shouldRefuseWhatIsNotARegistryExport)
{
    EXPECT_TRUE(Contains(ReadError(""), u"not a registry export"));
    EXPECT_TRUE(Contains(ReadError("hello\n\n"), u"not a registry export"));
    EXPECT_TRUE(Contains(ReadError(ReadBytes(DataFile("system.reg"))), u"not a registry export"));
    EXPECT_TRUE(Contains(ReadError(Utf16File(u"Windows Registry Editor Version 5.00 and more\r\n\r\n")),
                         u"not a registry export"));
    // A broken line is named by its number.
    const std::u16string error = ReadError(
        Utf16File(std::u16string(kHeader) + u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\.a]\r\n@=what\r\n\r\n"));
    EXPECT_EQ(error.rfind(u"line 4: ", 0), 0u) << ToUtf8(error);
}

TEST(RegRestoreBackup, shouldRefuseAFileCutShort)
{
    const std::u16string whole = std::u16string(kHeader)
        + u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\.a]\r\n@=\"afile\"\r\n"
          u"\"bin\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,16,\\\r\n"
          u"  17,18,19\r\n\r\n";
    const std::string bytes = Utf16File(whole);
    ASSERT_EQ(DumpKeyTreeWithValues(*Read(bytes).root).empty(), false);

    EXPECT_TRUE(Contains(ReadError(bytes.substr(0, bytes.size() - 1)), u"cut short"));   // half a character
    EXPECT_TRUE(Contains(ReadError(bytes.substr(0, bytes.size() - 2)), u"cut short"));   // no line end
    EXPECT_TRUE(Contains(ReadError(bytes.substr(0, bytes.size() - 4)), u"blank line"));  // no closing blank line
    const std::size_t continued = whole.find(u"\\\r\n");
    EXPECT_TRUE(Contains(ReadError(Utf16File(whole.substr(0, continued + 3) + u"\r\n")), u"cut short"));
    // A crash can leave the end of a file as zeros.
    EXPECT_TRUE(Contains(ReadError(bytes + std::string(64, '\0')), u"NUL"));
}

TEST(RegRestoreBackup, shouldRefuseKeysOutsideTheClassesBranchAndDeletions)
{
    const auto one = [](std::u16string_view body) { return Utf16File(std::u16string(kHeader) + std::u16string(body)); };
    for (std::u16string_view key : {u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows", u"HKEY_CURRENT_USER\\Software\\Classes\\.a",
                                    u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes", u"HKEY_LOCAL_MACHINE\\SYSTEM\\Classes\\.a",
                                    u"HKEY_LOCAL_MACHINE\\SOFTWARE\\ClassesX\\.a"}) {
        const std::u16string error = ReadError(one(u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\.ok]\r\n@=\"x\"\r\n\r\n["
                                                   + std::u16string(key) + u"]\r\n@=\"x\"\r\n\r\n"));
        EXPECT_TRUE(Contains(error, u"outside HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes")) << ToUtf8(key);
        EXPECT_EQ(error.rfind(u"line 6: ", 0), 0u) << ToUtf8(error);
    }
    EXPECT_TRUE(Contains(ReadError(one(u"[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\.a]\r\n\r\n")), u"removes the key"));
    EXPECT_TRUE(Contains(ReadError(one(u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\.a]\r\n\"v\"=-\r\n\r\n")), u"removes a value"));
    // HKLM and any case are the same branch.
    const auto backup = Read(one(u"[hklm\\software\\CLASSES\\.a]\r\n@=\"x\"\r\n\r\n"));
    ASSERT_EQ(backup.keys.size(), 1u);
    EXPECT_EQ(backup.keys[0]->PathComponents(), (std::vector<std::u16string>{u"software", u"CLASSES", u".a"}));
}

// A prefix with the fixture's system.reg, repaired through its store with
// backups into a folder of the test's own.
class WineRestoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        file = dir / "system.reg";
        WriteBytes(file, ReadBytes(DataFile("system.reg")));
        before = Dump();
    }

    std::unique_ptr<SystemRegStore> Open() { return OpenWineStore(file); }

    std::string Dump()
    {
        auto store = Open();
        return store ? DumpKeyTreeWithValues(store->Root()) : std::string();
    }

    // Removes the keys as a repair does and returns the backup's bytes.
    std::string Repair(const std::vector<std::u16string>& keys)
    {
        auto store = Open();
        auto backup = std::make_shared<RegBackup>(dir / "backups");
        store->SetBackup(backup);
        for (const auto& key : keys)
            EXPECT_TRUE(DeleteKeyTree(*store, u"Software\\Classes\\" + key)) << ToUtf8(key) << ToUtf8(store->LastError());
        return ReadBytes(backup->File());
    }

    RestoreResult Restore(std::string_view backupBytes, RestoreOptions options = {})
    {
        if (!options.serverRunning)
            options.serverRunning = [] { return false; };
        return RestoreIntoWinePrefix(file, Read(backupBytes), options);
    }

    ScratchFolder dir;
    fs::path file;
    std::string before;
};

TEST_F(WineRestoreTest, shouldGiveBackTheWholeTreeARepairChanged)
{
    // Every value type, names needing escapes, keys with and without values.
    const std::string backup = Repair({u".t\u00ebst[1]", u"txtfile", u".x]y", u"AppID"});
    ASSERT_NE(Dump(), before);

    const RestoreResult result = Restore(backup);
    ASSERT_TRUE(result.Ok()) << ToUtf8(result.error);
    EXPECT_TRUE(result.kept.empty());
    EXPECT_EQ(Dump(), before);
    EXPECT_NE(std::find(result.restored.begin(), result.restored.end(),
                        u"HKEY_LOCAL_MACHINE\\Software\\Classes\\txtfile\\shell\\open\\command"),
              result.restored.end());
    // wineserver reads it: the file still parses as a whole.
    SystemRegDocument document;
    std::u16string error;
    EXPECT_TRUE(ParseSystemReg(ReadBytes(file), &document, &error)) << ToUtf8(error);
}

TEST_F(WineRestoreTest, shouldLeaveKeysThatExistAsTheyAreAndNameThem)
{
    const std::string backup = Repair({u"txtfile"});
    ASSERT_TRUE(Restore(backup).Ok());
    const std::string restored = ReadBytes(file);

    // Again: everything exists, nothing is written.
    const RestoreResult again = Restore(backup);
    ASSERT_TRUE(again.Ok()) << ToUtf8(again.error);
    EXPECT_TRUE(again.restored.empty());
    EXPECT_EQ(again.kept.size(), 6u);  // txtfile and its five keys below
    EXPECT_EQ(ReadBytes(file), restored);

    // A key changed since the backup keeps its new value; missing ones come back.
    const std::u16string body = std::u16string(kHeader)
        + u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\.ini]\r\n@=\"old\"\r\n\r\n"
          u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\.ini\\ShellNew]\r\n\"NullFile\"=\"\"\r\n\r\n";
    const std::string dumpBefore = Dump();
    const RestoreResult mixed = Restore(Utf16File(body));
    ASSERT_TRUE(mixed.Ok()) << ToUtf8(mixed.error);
    EXPECT_EQ(mixed.kept, (std::vector<std::u16string>{u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\.ini"}));
    EXPECT_EQ(mixed.restored, (std::vector<std::u16string>{u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\.ini\\ShellNew"}));
    auto store = Open();
    EXPECT_EQ(store->Find(u"Software\\Classes\\.ini")->Value(u"")->data, std::vector<std::uint8_t>(
        reinterpret_cast<const std::uint8_t*>(u"inifile"), reinterpret_cast<const std::uint8_t*>(u"inifile") + 16));
    EXPECT_NE(store->Find(u"Software\\Classes\\.ini\\shellnew"), nullptr);
    // Nothing else changed.
    store->Find(u"Software\\Classes\\.ini")->TakeChild(*store->Find(u"Software\\Classes\\.ini\\ShellNew"));
    EXPECT_EQ(DumpKeyTreeWithValues(store->Root()), dumpBefore);
}

TEST_F(WineRestoreTest, shouldWriteNothingWhenRefused)
{
    const std::string backup = Repair({u"txtfile"});
    const std::string repaired = ReadBytes(file);

    RestoreOptions running;
    running.serverRunning = [] { return true; };
    RestoreResult result = Restore(backup, running);
    EXPECT_TRUE(Contains(result.error, u"wineserver is running"));
    EXPECT_TRUE(result.restored.empty());

    // A crash at any step of the replacement leaves the old file.
    for (ReplaceStep stop : {ReplaceStep::Write, ReplaceStep::Flush, ReplaceStep::Rename}) {
        RestoreOptions crash;
        crash.replaceHook = [stop](ReplaceStep step) { return step != stop; };
        result = Restore(backup, crash);
        EXPECT_FALSE(result.Ok());
        EXPECT_TRUE(result.restored.empty());
        EXPECT_EQ(ReadBytes(file), repaired);
    }

    // Below a symbolic link of the target: not restored through it.
    result = Restore(Utf16File(std::u16string(kHeader)
                               + u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\Wow6432Node\\AppId\\{X}]\r\n@=\"x\"\r\n\r\n"));
    EXPECT_TRUE(Contains(result.error, u"symbolic link")) << ToUtf8(result.error);

    // A prefix without the classes branch does not fit.
    WriteBytes(file, "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n[Software\\\\Wine] 1\n");
    result = Restore(backup);
    EXPECT_TRUE(Contains(result.error, u"does not fit")) << ToUtf8(result.error);
    EXPECT_EQ(ReadBytes(file), "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n[Software\\\\Wine] 1\n");

    // A file wineserver would not read is not made worse.
    WriteBytes(file, "WINE REGISTRY Version 2\n\n[Software\\\\Classes] 1\n\"v\"=hex:zz\n");
    result = Restore(backup);
    EXPECT_TRUE(Contains(result.error, u"cannot be read")) << ToUtf8(result.error);
}

// One store, one session: the restored keys are the store's own at once
// (found, enumerated, with their values), and a repair right after it
// removes one of them and keeps the others, in the file as in the store.
TEST_F(WineRestoreTest, shouldKnowTheKeysItRestoredAndRepairThemInTheSameSession)
{
    const std::string backup = Repair({u"txtfile", u".ini"});
    auto store = Open();
    const RestoreResult result = store->AddKeys(Read(backup));
    ASSERT_TRUE(result.Ok()) << ToUtf8(result.error);
    EXPECT_EQ(DumpKeyTreeWithValues(store->Root()), before);
    ASSERT_TRUE(DeleteKeyTree(*store, u"Software\\Classes\\txtfile")) << ToUtf8(store->LastError());
    EXPECT_EQ(store->Find(u"Software\\Classes\\txtfile"), nullptr);
    EXPECT_NE(store->Find(u"Software\\Classes\\.ini"), nullptr);
    EXPECT_EQ(Dump(), DumpKeyTreeWithValues(store->Root()));
    EXPECT_EQ(Dump().find("software\\classes\\txtfile"), std::string::npos);
}

TEST(RegRestoreText, shouldPlaceNewBlocksInTheFilesOrder)
{
    const std::string file =
        "WINE REGISTRY Version 2\n\n[Software\\\\Classes\\\\.a] 1\n@=\"a\"\n\n[Software\\\\Classes\\\\.c] 1\n@=\"c\"\n";
    const auto backup = Read(Utf16File(std::u16string(kHeader)
                                       + u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\.B\\sub]\r\n@=\"b\"\r\n\r\n"
                                         u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\.d]\r\n\"n\"=dword:00000007\r\n\r\n"));
    std::string text;
    RestoreResult result;
    ASSERT_TRUE(RestoreIntoSystemRegText(file, backup, 1700000000, &text, &result)) << ToUtf8(result.error);
    EXPECT_EQ(text,
              "WINE REGISTRY Version 2\n\n[Software\\\\Classes\\\\.a] 1\n@=\"a\"\n"
              "\n[Software\\\\Classes\\\\.B\\\\sub] 1700000000\n#time=1da1747c66d0000\n@=\"b\"\n"
              "\n[Software\\\\Classes\\\\.c] 1\n@=\"c\"\n"
              "\n[Software\\\\Classes\\\\.d] 1700000000\n#time=1da1747c66d0000\n\"n\"=dword:00000007\n");
}

// A SOFTWARE hive with a few associations, made with hivex.
class HiveRestoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        file = dir / "SOFTWARE";
        WriteEmptyHive(file);
        hive_h* h = hivex_open(file.c_str(), HIVEX_OPEN_WRITE);
        ASSERT_NE(h, nullptr);
        const hive_node_h classes = hivex_node_add_child(h, hivex_root(h), "Classes");
        Set(h, hivex_node_add_child(h, classes, ".txt"), "", hive_t_REG_SZ, Utf16Sz(u"txtfile"));
        const hive_node_h deep = hivex_node_add_child(h, classes, ".d\xc3\xa9""ep");
        Set(h, deep, "", hive_t_REG_SZ, Utf16Sz(u"deepfile"));
        Set(h, deep, "bin", hive_t_REG_BINARY, std::string(300, '\x5a'));
        Set(h, deep, "dw", hive_t_REG_DWORD, std::string("\x2a\0\0\0", 4));
        Set(h, hivex_node_add_child(h, hivex_node_add_child(h, deep, "OpenWithList"), "a.exe"), "", hive_t_REG_SZ, "");
        const hive_node_h command = hivex_node_add_child(
            h, hivex_node_add_child(h, hivex_node_add_child(h, hivex_node_add_child(h, classes, "txtfile"), "Shell"), "Open"),
            "Command");
        Set(h, command, "", hive_t_REG_EXPAND_SZ, Utf16Sz(u"%SystemRoot%\\notepad.exe %1"));
        hivex_node_add_child(h, hivex_node_add_child(h, hivex_root(h), "Microsoft"), "Windows");
        ASSERT_EQ(hivex_commit(h, nullptr, 0), 0);
        hivex_close(h);
        before = Dump();
    }

    static void Set(hive_h* h, hive_node_h node, const char* name, hive_type type, const std::string& bytes)
    {
        hive_set_value value{const_cast<char*>(name), type, bytes.size(), const_cast<char*>(bytes.data())};
        ASSERT_EQ(hivex_node_set_value(h, node, &value, 0), 0) << name;
    }

    std::string Dump()
    {
        std::u16string error;
        auto store = HiveStore::Open(file, &error);
        EXPECT_TRUE(store) << ToUtf8(error);
        return store ? DumpKeyTreeWithValues(store->Root()) : std::string();
    }

    std::string Repair()
    {
        std::u16string error;
        auto store = HiveStore::Open(file, &error);
        auto backup = std::make_shared<RegBackup>(dir / "backups");
        store->SetBackup(backup);
        EXPECT_TRUE(DeleteKeyTree(*store, u"SOFTWARE\\Classes\\.d\u00e9ep"));
        EXPECT_TRUE(DeleteKeyTree(*store, u"SOFTWARE\\Classes\\txtfile"));
        return ReadBytes(backup->File());
    }

    ScratchFolder dir;
    fs::path file;
    std::string before;
};

TEST_F(HiveRestoreTest, shouldGiveBackTheWholeTreeARepairChanged)
{
    const std::string backup = Repair();
    ASSERT_NE(Dump(), before);
    const RestoreResult result = RestoreIntoHive(file, Read(backup));
    ASSERT_TRUE(result.Ok()) << ToUtf8(result.error);
    EXPECT_EQ(result.restored.size(), 7u);
    EXPECT_EQ(Dump(), before);

    const RestoreResult again = RestoreIntoHive(file, Read(backup));
    ASSERT_TRUE(again.Ok());
    EXPECT_TRUE(again.restored.empty());
    EXPECT_EQ(again.kept.size(), 7u);
    EXPECT_EQ(Dump(), before);
}

TEST_F(HiveRestoreTest, shouldKnowTheKeysItRestoredAndRepairThemInTheSameSession)
{
    const std::string backup = Repair();
    std::u16string error;
    auto store = HiveStore::Open(file, &error);
    ASSERT_TRUE(store) << ToUtf8(error);
    const RestoreResult result = store->AddKeys(Read(backup));
    ASSERT_TRUE(result.Ok()) << ToUtf8(result.error);
    EXPECT_EQ(DumpKeyTreeWithValues(store->Root()), before);
    ASSERT_TRUE(DeleteKeyTree(*store, u"SOFTWARE\\Classes\\txtfile")) << ToUtf8(store->LastError());
    EXPECT_EQ(store->Find(u"SOFTWARE\\Classes\\txtfile"), nullptr);
    EXPECT_NE(store->Find(u"SOFTWARE\\Classes\\.d\u00e9ep\\OpenWithList\\a.exe"), nullptr);
    EXPECT_EQ(Dump(), DumpKeyTreeWithValues(store->Root()));
}

TEST_F(HiveRestoreTest, shouldWriteNothingToAHiveItMustNotChange)
{
    const std::string backup = Repair();
    std::string bytes = ReadBytes(file);

    // A crash while the new hive is renamed into place.
    RestoreResult result = RestoreIntoHive(file, Read(backup), [](ReplaceStep step) { return step != ReplaceStep::Rename; });
    EXPECT_FALSE(result.Ok());
    EXPECT_EQ(ReadBytes(file), bytes);

    // A write that never finished: the two sequence numbers differ.
    bytes[4] = char(bytes[4] + 1);
    WriteBytes(file, bytes);
    result = RestoreIntoHive(file, Read(backup));
    EXPECT_TRUE(Contains(result.error, u"sequence numbers differ")) << ToUtf8(result.error);
    EXPECT_EQ(ReadBytes(file), bytes);

    WriteBytes(file, "not a hive");
    result = RestoreIntoHive(file, Read(backup));
    EXPECT_TRUE(Contains(result.error, u"not a registry hive")) << ToUtf8(result.error);
}

TEST_F(HiveRestoreTest, shouldRefuseMoreKeysThanAHiveTakesInOneRestore)
{
    std::u16string body(kHeader);
    for (std::size_t i = 0; i <= kMaxHiveRestoreKeys; ++i)
        body += u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\.many" + IntToText(static_cast<long long>(i)) + u"]\r\n\r\n";
    const std::string bytes = ReadBytes(file);
    const RestoreResult result = RestoreIntoHive(file, Read(Utf16File(body)));
    EXPECT_NE(ToUtf8(result.error).find("adds at most 5000"), std::string::npos) << ToUtf8(result.error);
    EXPECT_TRUE(result.restored.empty());
    EXPECT_TRUE(ReadBytes(file) == bytes);
}

TEST_F(HiveRestoreTest, shouldRestoreIntoTheHiveOfTheChosenInstallation)
{
    const std::string backup = Repair();
    // An offline installation: the hive under Windows/System32/config, any case.
    const fs::path root = dir / "disk";
    fs::create_directories(root / "WINDOWS" / "system32" / "config");
    fs::rename(file, root / "WINDOWS" / "system32" / "config" / "SOFTWARE");
    file = root / "WINDOWS" / "system32" / "config" / "SOFTWARE";
    TargetChoice choice = ChooseTarget([&](const char* name) -> std::optional<std::string> {
        if (std::string_view(name) == "QUELVO_TARGET")
            return root.string();
        return std::nullopt;
    });
    ASSERT_TRUE(choice.target) << ToUtf8(choice.error);
    const RestoreResult result = RestoreIntoTarget(*choice.target, Read(backup));
    ASSERT_TRUE(result.Ok()) << ToUtf8(result.error);
    EXPECT_EQ(Dump(), before);
}

TEST(RegRestoreList, shouldListEachBackupWithItsDateAndTopKeys)
{
    ScratchFolder dir;
    const std::u16string body = std::u16string(kHeader)
        + u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\.a\\shell]\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\.a]\r\n@=\"x\"\r\n\r\n"
          u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\.b]\r\n\r\n";
    WriteBytes(dir / "repair-20261209-150102.reg", Utf16File(body));
    const std::string whole = Utf16File(body);
    WriteBytes(dir / "repair-20250101-000000.reg", whole.substr(0, whole.size() - 10));
    WriteBytes(dir / "notes.txt", "not a backup");

    const auto list = ListBackups(dir.Path());
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].file.filename(), "repair-20250101-000000.reg");
    EXPECT_TRUE(Contains(list[0].error, u"cut short"));
    EXPECT_EQ(list[1].time, 1796828462);  // 2026-12-09 15:01:02 UTC
    EXPECT_EQ(list[1].keys, (std::vector<std::u16string>{u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\.a",
                                                          u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\.b"}));
    EXPECT_EQ(list[1].keyCount, 3u);
    EXPECT_TRUE(ListBackups(dir / "missing").empty());
}

}  // namespace
