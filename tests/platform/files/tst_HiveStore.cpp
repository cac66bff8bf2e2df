#include "platform/files/HiveStore.h"

#include "tests/support/Bytes.h"
#include "tests/support/ScratchFolder.h"
#include "tests/support/Stores.h"
#include "tests/support/HiveBuilder.h"
#include "platform/Text.h"
#include "regfile/TreeDump.h"

#include <gtest/gtest.h>
#include <hivex.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <sys/resource.h>

namespace {

using namespace quelvo::platform;
using namespace quelvo::platform::files;
using namespace quelvo::regfile;
using namespace quelvo::test;
namespace fs = std::filesystem;

// Enough children that the key's sub-key list (8 bytes an entry) outgrows a
// 4 KiB hive page and needs a larger bin. No more: hivex writes a new copy
// of the list for each child it adds and grows its image by realloc, which
// a sanitizer's realloc always copies, so the cost climbs steeply with this
// number (5,000 took longer than a quarter of an hour a test under ASan).
// Large hives are bench_hive_repair's.
constexpr int kBigKeyChildren = 600;

hive_node_h Add(hive_h* h, hive_node_h parent, const char* name)
{
    const hive_node_h node = hivex_node_add_child(h, parent, name);
    EXPECT_NE(node, 0u) << name;
    return node;
}

void SetString(hive_h* h, hive_node_h node, const char* name, std::u16string_view text, hive_type type = hive_t_REG_SZ)
{
    std::string bytes = Utf16Sz(text);
    hive_set_value value{const_cast<char*>(name), type, bytes.size(), bytes.data()};
    EXPECT_EQ(hivex_node_set_value(h, node, &value, 0), 0) << name;
}

// A SOFTWARE hive like an installation's: a few extensions (valid, broken,
// one with a deep sub-tree), the version keys and one key of many sub-keys.
void WriteSoftwareHive(const fs::path& file)
{
    WriteEmptyHive(file);
    hive_h* h = hivex_open(file.c_str(), HIVEX_OPEN_WRITE);
    ASSERT_NE(h, nullptr);
    const hive_node_h root = hivex_root(h);
    const hive_node_h classes = Add(h, root, "Classes");
    SetString(h, Add(h, classes, ".txt"), "", u"txtfile");
    SetString(h, Add(h, classes, ".bad"), "", u"nosuchfile");
    const hive_node_h deep = Add(h, classes, ".deep");
    SetString(h, deep, "", u"deepfile");
    const hive_node_h level1 = Add(h, deep, "OpenWithList");
    SetString(h, Add(h, level1, "a.exe"), "", u"x");
    Add(h, Add(h, level1, "Nested"), "Leaf");
    SetString(h, Add(h, Add(h, Add(h, Add(h, classes, "txtfile"), "Shell"), "Open"), "Command"), "",
              u"%SystemRoot%\\notepad.exe %1", hive_t_REG_EXPAND_SZ);
    const hive_node_h big = Add(h, classes, "Big");
    for (int i = 0; i < kBigKeyChildren; ++i) {
        const std::string name = "child" + std::to_string(i);
        SetString(h, Add(h, big, name.c_str()), "n", u"v");
    }
    const hive_node_h microsoft = Add(h, root, "Microsoft");
    SetString(h, Add(h, Add(h, microsoft, "Windows NT"), "CurrentVersion"), "SystemRoot", u"D:\\WINNT");
    SetString(h, Add(h, Add(h, microsoft, "Windows"), "CurrentVersion"), "ProgramFilesDir", u"D:\\Programs");
    ASSERT_EQ(hivex_commit(h, nullptr, 0), 0);
    hivex_close(h);
}

std::string WithoutKeys(const std::string& dump, const std::string& key)
{
    const std::string prefix = "software\\" + key;
    std::istringstream in(dump);
    std::string out, line;
    while (std::getline(in, line)) {
        if (line.rfind(prefix + "\\", 0) == 0 || line.rfind(prefix + " ", 0) == 0 || line == prefix)
            continue;
        out += line + "\n";
    }
    return out;
}

class HiveStoreTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        fixtureDir = new ScratchFolder;
        WriteSoftwareHive(*fixtureDir / "SOFTWARE");
    }
    static void TearDownTestSuite() { delete fixtureDir; }

    void SetUp() override
    {
        file = dir / "SOFTWARE";
        fs::copy_file(*fixtureDir / "SOFTWARE", file);
        original = ReadBytes(file);
        store = Open();
        ASSERT_TRUE(store);
    }

    std::unique_ptr<HiveStore> Open()
    {
        std::u16string error;
        auto s = HiveStore::Open(file, &error);
        EXPECT_TRUE(s) << ToUtf8(error);
        return s;
    }

    static ScratchFolder* fixtureDir;
    ScratchFolder dir;
    fs::path file;
    std::string original;
    std::unique_ptr<HiveStore> store;
};
ScratchFolder* HiveStoreTest::fixtureDir = nullptr;

TEST_F(HiveStoreTest, shouldServeTheHiveAsHklmSoftware)
{
    RegHandle key{};
    ASSERT_EQ(store->OpenKey(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Classes\\", KEY_ALL_ACCESS, &key), kSuccess);
    std::uint32_t count = 0, longest = 0;
    ASSERT_EQ(store->QueryInfoKey(key, &count, &longest), kSuccess);
    EXPECT_EQ(count, 5u);
    std::vector<std::u16string> names;
    for (std::uint32_t i = 0; i < count; ++i) {
        char16_t name[256];
        std::uint32_t length = 0;
        ASSERT_EQ(store->EnumKey(key, i, name, 256, &length), kSuccess);
        names.emplace_back(name, length);
    }
    EXPECT_EQ(names, (std::vector<std::u16string>{u".bad", u".deep", u".txt", u"Big", u"txtfile"}));
    store->CloseKey(key);

    ASSERT_EQ(store->OpenKey(HKEY_LOCAL_MACHINE, u"software\\CLASSES\\TXTFILE\\shell\\open\\command", KEY_ALL_ACCESS, &key),
              kSuccess);
    std::uint8_t data[512] = {};
    std::uint32_t size = sizeof data;
    RegType type{};
    ASSERT_EQ(store->QueryValue(key, u"", &type, data, &size), kSuccess);
    EXPECT_EQ(type, RegType::ExpandSz);
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(data)), u"%SystemRoot%\\notepad.exe %1");
    store->CloseKey(key);

    ASSERT_EQ(store->OpenKey(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Classes\\Big", KEY_ALL_ACCESS, &key), kSuccess);
    ASSERT_EQ(store->QueryInfoKey(key, &count, &longest), kSuccess);
    EXPECT_EQ(count, std::uint32_t(kBigKeyChildren));
    EXPECT_EQ(longest, 8u);  // "child599"
    store->CloseKey(key);
    EXPECT_EQ(store->OpenKey(HKEY_LOCAL_MACHINE, u"SYSTEM", KEY_ALL_ACCESS, &key), kFileNotFound);
}

TEST_F(HiveStoreTest, shouldRemoveKeyTreesAndKeepTheRestOfTheHive)
{
    const std::string before = DumpStoreTree(*store, u"SOFTWARE");
    ASSERT_TRUE(DeleteKeyTree(*store, u"SOFTWARE\\Classes\\.deep"));
    ASSERT_TRUE(DeleteKeyTree(*store, u"SOFTWARE\\Classes\\.bad"));
    ASSERT_TRUE(DeleteKeyTree(*store, u"SOFTWARE\\Classes\\Big\\child599"));
    std::string expected = WithoutKeys(WithoutKeys(before, "classes\\.deep"), "classes\\.bad");
    expected = WithoutKeys(expected, "classes\\big\\child599");
    EXPECT_EQ(DumpStoreTree(*store, u"SOFTWARE"), expected);

    store.reset();
    auto reopened = Open();
    ASSERT_TRUE(reopened);
    EXPECT_EQ(DumpStoreTree(*reopened, u"SOFTWARE"), expected);
    EXPECT_EQ(DumpKeyTreeWithValues(*reopened->Find(u"SOFTWARE\\Classes\\Big\\child17")), "software\\classes\\big\\child17\n  \"n\" = 1:76000000\n");

    // An independent reader (libregf) agrees on what was written.
    if (std::system("command -v regfexport >/dev/null 2>&1") == 0) {
        const std::string listing = (dir / "listing.txt").string();
        ASSERT_EQ(std::system(("regfexport '" + file.string() + "' > '" + listing + "' 2>&1").c_str()), 0);
        const std::string text = ReadBytes(listing);
        fs::remove(listing);
        EXPECT_NE(text.find("Key path: ROOT\\Classes\\.txt\n"), std::string::npos);
        EXPECT_NE(text.find("Key path: ROOT\\Classes\\Big\\child598\n"), std::string::npos);
        EXPECT_EQ(text.find("Key path: ROOT\\Classes\\.deep"), std::string::npos);
        EXPECT_EQ(text.find("Key path: ROOT\\Classes\\Big\\child599\n"), std::string::npos);
    }
    // No temporary file is left beside the hive.
    int entries = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir.Path()))
        ++entries;
    EXPECT_EQ(entries, 1);
}

TEST_F(HiveStoreTest, shouldRefuseToWriteAHiveWhoseSequenceNumbersDiffer)
{
    // A write that stopped half-way: primary sequence number ahead, base
    // block checksum still valid.
    std::string bytes = original;
    bytes[4] = char(bytes[4] + 1);
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < 0x1FC; i += 4) {
        std::uint32_t word = 0;
        std::memcpy(&word, &bytes[i], 4);
        sum ^= word;
    }
    std::memcpy(&bytes[0x1FC], &sum, 4);
    WriteBytes(file, bytes);
    auto unfinished = Open();
    ASSERT_TRUE(unfinished);
    EXPECT_EQ(unfinished->DeleteKey(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Classes\\.bad"), kAccessDenied);
    EXPECT_NE(ToUtf8(unfinished->LastError()).find("sequence numbers"), std::string::npos);
    EXPECT_EQ(ReadBytes(file), bytes);
    EXPECT_NE(unfinished->Find(u"SOFTWARE\\Classes\\.bad"), nullptr);
}

TEST_F(HiveStoreTest, shouldLeaveTheOldOrTheNewHiveWhenStoppedAtAnyStep)
{
    for (ReplaceStep stop : {ReplaceStep::CreateTemporary, ReplaceStep::Write, ReplaceStep::Flush, ReplaceStep::Close,
                             ReplaceStep::Rename}) {
        WriteBytes(file, original);
        auto s = Open();
        s->SetReplaceHook([stop](ReplaceStep step) { return step != stop; });
        EXPECT_NE(s->DeleteKey(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Classes\\.bad"), kSuccess);
        EXPECT_EQ(ReadBytes(file), original) << int(stop);
        // Nothing of the failed removal stays in memory either: a later one
        // commits a hive that still holds the key.
        s->SetReplaceHook({});
        ASSERT_EQ(s->DeleteKey(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Classes\\.txt"), kSuccess) << ToUtf8(s->LastError());
        auto reopened = Open();
        EXPECT_NE(reopened->Find(u"SOFTWARE\\Classes\\.bad"), nullptr);
        EXPECT_EQ(reopened->Find(u"SOFTWARE\\Classes\\.txt"), nullptr);
    }
}

// hivex fails to write (no file may grow past a few bytes): nothing is
// committed, and the removal it had made in memory is dropped with it.
TEST_F(HiveStoreTest, shouldCommitNothingAfterAHivexError)
{
    struct SmallFiles {
        rlimit saved{};
        void (*handler)(int) = nullptr;
        SmallFiles()
        {
            ::getrlimit(RLIMIT_FSIZE, &saved);
            handler = std::signal(SIGXFSZ, SIG_IGN);
            rlimit small = saved;
            small.rlim_cur = 4096;
            ::setrlimit(RLIMIT_FSIZE, &small);
        }
        ~SmallFiles()
        {
            ::setrlimit(RLIMIT_FSIZE, &saved);
            std::signal(SIGXFSZ, handler);
        }
    };
    {
        SmallFiles small;
        EXPECT_EQ(store->DeleteKey(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Classes\\.bad"), kWriteFault);
    }
    EXPECT_NE(ToUtf8(store->LastError()).find("hivex cannot write"), std::string::npos) << ToUtf8(store->LastError());
    EXPECT_EQ(ReadBytes(file), original);
    EXPECT_NE(store->Find(u"SOFTWARE\\Classes\\.bad"), nullptr);

    store->SetReplaceHook({});
    ASSERT_EQ(store->DeleteKey(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Classes\\.txt"), kSuccess) << ToUtf8(store->LastError());
    auto reopened = Open();
    EXPECT_NE(reopened->Find(u"SOFTWARE\\Classes\\.bad"), nullptr);
    EXPECT_EQ(reopened->Find(u"SOFTWARE\\Classes\\.txt"), nullptr);
}

TEST_F(HiveStoreTest, shouldRefuseToRemoveTheHiveRootOrAfterAnOutsideChange)
{
    EXPECT_EQ(store->DeleteKey(HKEY_LOCAL_MACHINE, u"SOFTWARE"), kAccessDenied);
    WriteBytes(file, original + std::string(4096, '\0'));
    EXPECT_EQ(store->DeleteKey(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Classes\\.bad"), kWriteFault);
    EXPECT_NE(ToUtf8(store->LastError()).find("changed on disk"), std::string::npos);
}

// It opens, empty, and says what it is, so that a scan never reports it clean.
TEST(HiveStoreOpen, shouldExplainAFileThatIsNotAHive)
{
    ScratchFolder dir;
    WriteBytes(dir / "SOFTWARE", "regf but not really a hive");
    std::u16string error;
    auto store = HiveStore::Open(dir / "SOFTWARE", &error);
    ASSERT_TRUE(store) << ToUtf8(error);
    EXPECT_EQ(store->ReadState().kind, ReadCondition::Damaged);
    EXPECT_NE(ToUtf8(store->ReadState().text).find((dir / "SOFTWARE").string() + " is not a registry hive"),
              std::string::npos);
    EXPECT_EQ(store->Find(u"SOFTWARE"), nullptr);
    EXPECT_EQ(store->BeginRepair(), kAccessDenied);
    EXPECT_EQ(ReadBytes(dir / "SOFTWARE"), "regf but not really a hive");
}

}  // namespace
