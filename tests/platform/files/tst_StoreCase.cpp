// Key and value names beyond A-Z in each file-backed store, as the scan and
// the repair meet them: an extension naming its file type "Ägfile" while the
// key is spelled "ägfile" is an association like any other.

#include "platform/HostTarget.h"
#include "platform/MemoryRegistry.h"
#include "platform/files/HiveStore.h"
#include "regfile/SystemRegFile.h"
#include "platform/files/SystemRegStore.h"
#include "scan/Unit_QLV_func_Registry.h"
#include "scan/Unit_QLV_func_Repair.h"

#include "tests/support/Bytes.h"
#include "tests/support/ScratchFolder.h"
#include "tests/support/HiveBuilder.h"
#include "tests/support/ScanRun.h"
#include "platform/Text.h"

#include <gtest/gtest.h>
#include <hivex.h>

#include <map>

namespace {

using namespace quelvo;
using namespace quelvo::platform;
using namespace quelvo::platform::files;
using namespace quelvo::regfile;
using namespace quelvo::test;
namespace fs = std::filesystem;

// Extension -> (file type named by its default value, spelling of the type key).
const std::vector<std::tuple<std::u16string, std::u16string, std::u16string>> kAssociations = {
    {u".agx", u"Ägfile", u"ägfile"},
    {u".sgx", u"ΣΊΓΜΑ", u"σίγμα"},
    {u".zhx", u"ЖУК", u"жук"},
};
constexpr std::u16string_view kCommand = u"C:\\windows\\notepad.exe %1";

std::string SystemRegWithAssociations()
{
    std::string text = "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win64\n";
    auto block = [&](std::vector<std::u16string> path, std::u16string_view value) {
        text += "\n" + FormatKeyHeader(path, 1796795813) + "@=\"" + EscapeWineString(value, "\"") + "\"\n";
    };
    for (const auto& [ext, type, key] : kAssociations) {
        block({u"Software", u"Classes", ext}, type);
        block({u"Software", u"Classes", key, u"Shell", u"Open", u"Command"}, kCommand);
    }
    // A value name beyond A-Z, read by another spelling.
    text += "\n" + FormatKeyHeader({u"Software", u"Quelvo"}, 1796795813) + "\"\\x00c4rger\"=\"yes\"\n";
    return text;
}

void WriteHiveWithAssociations(const fs::path& file)
{
    WriteEmptyHive(file);
    hive_h* h = hivex_open(file.c_str(), HIVEX_OPEN_WRITE);
    ASSERT_NE(h, nullptr);
    const hive_node_h classes = hivex_node_add_child(h, hivex_root(h), "Classes");
    auto setDefault = [&](hive_node_h node, std::u16string_view text) {
        std::string bytes = Utf16Sz(text);
        hive_set_value value{const_cast<char*>(""), hive_t_REG_SZ, bytes.size(), bytes.data()};
        ASSERT_EQ(hivex_node_set_value(h, node, &value, 0), 0);
    };
    for (const auto& [ext, type, key] : kAssociations) {
        const hive_node_h e = hivex_node_add_child(h, classes, ToUtf8(ext).c_str());
        ASSERT_NE(e, 0u);
        setDefault(e, type);
        hive_node_h node = hivex_node_add_child(h, classes, ToUtf8(key).c_str());
        ASSERT_NE(node, 0u) << ToUtf8(key);
        for (const char* part : {"Shell", "Open", "Command"})
            node = hivex_node_add_child(h, node, part);
        setDefault(node, kCommand);
    }
    std::string yes = Utf16Sz(u"yes");
    const std::string name = ToUtf8(u"Ärger");
    hive_set_value value{const_cast<char*>(name.c_str()), hive_t_REG_SZ, yes.size(), yes.data()};
    ASSERT_EQ(hivex_node_set_value(h, hivex_node_add_child(h, hivex_root(h), "Quelvo"), &value, 0), 0);
    ASSERT_EQ(hivex_commit(h, nullptr, 0), 0);
    hivex_close(h);
}

// The scan's outcomes: extension -> outcome type.
std::map<std::u16string, int> Scan()
{
    std::map<std::u16string, int> outcomes;
    EXPECT_TRUE(RunScan([&](std::u16string_view name, std::u16string_view, int type) { outcomes[std::u16string(name)] = type; }));
    return outcomes;
}

class StoreCase : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override
    {
        fs::create_directories(dir / "drive_c" / "windows");
        WriteBytes(dir / "drive_c" / "windows" / "notepad.exe", "MZ");
        std::u16string error;
        if (GetParam() == "memory") {
            auto memory = std::make_unique<MemoryRegistry>();
            for (const auto& [ext, type, key] : kAssociations) {
                memory->SetString(u"SOFTWARE\\Classes\\" + ext, u"", type);
                memory->SetString(u"SOFTWARE\\Classes\\" + key + u"\\Shell\\Open\\Command", u"", kCommand);
            }
            memory->SetString(u"SOFTWARE\\Quelvo", u"Ärger", u"yes");
            store = std::move(memory);
        } else if (GetParam() == "system.reg") {
            WriteBytes(dir / "system.reg", SystemRegWithAssociations());
            auto s = SystemRegStore::Open(dir / "system.reg", &error);
            ASSERT_TRUE(s) << ToUtf8(error);
            s->SetServerCheck([] { return false; });
            store = std::move(s);
        } else {
            WriteHiveWithAssociations(dir / "SOFTWARE");
            auto s = HiveStore::Open(dir / "SOFTWARE", &error);
            ASSERT_TRUE(s) << ToUtf8(error);
            store = std::move(s);
        }
        target.emplace(*store, HostTarget::Environment{{u"SystemRoot", u"C:\\windows"}},
                       HostTarget::Drives{{u'C', dir / "drive_c"}});
        active.emplace(*target);
    }

    ScratchFolder dir;
    std::unique_ptr<RegistryStore> store;
    std::optional<HostTarget> target;
    std::optional<ScopedActiveTarget> active;
};

TEST_P(StoreCase, shouldOpenKeysAndReadValuesByAnyCaseOfTheirLetters)
{
    for (const auto& [ext, type, key] : kAssociations) {
        EXPECT_TRUE(scan::func_Reg_KeyExists(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Classes\\" + type)) << ToUtf8(type);
        EXPECT_TRUE(scan::func_Reg_KeyExists(HKEY_LOCAL_MACHINE, u"software\\classes\\" + key + u"\\shell\\open\\command"));
    }
    EXPECT_FALSE(scan::func_Reg_KeyExists(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Classes\\Agfile"));
    std::u16string value;
    EXPECT_TRUE(scan::func_Reg_ReadString(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Quelvo", u"äRGER", value));
    EXPECT_EQ(value, u"yes");
    EXPECT_FALSE(scan::func_Reg_ReadString(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Quelvo", u"Arger", value));
}

TEST_P(StoreCase, shouldScanAnAssociationWhoseTypeKeyIsSpelledInAnotherCaseAsValid)
{
    const auto outcomes = Scan();
    for (const auto& [ext, type, key] : kAssociations) {
        ASSERT_TRUE(outcomes.count(ext)) << ToUtf8(ext);
        EXPECT_EQ(outcomes.at(ext), 1) << ToUtf8(ext) << " is not a registry problem";
    }
}

TEST_P(StoreCase, shouldRepairExtensionsNamedInAnotherCase)
{
    const scan::RepairOutcome outcome = scan::func_RepairExtensions({u".AGX", u".ZHX", u".missing"});
    EXPECT_EQ(outcome.fixed, (std::vector<bool>{true, true, true})) << ToUtf8(outcome.failureReason);
    EXPECT_TRUE(outcome.failureReason.empty());
    EXPECT_FALSE(scan::func_Reg_KeyExists(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Classes\\.agx"));
    EXPECT_TRUE(scan::func_Reg_KeyExists(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Classes\\.sgx"));
}

INSTANTIATE_TEST_SUITE_P(EachStore, StoreCase, ::testing::Values("memory", "system.reg", "hive"),
                         [](const auto& info) { return info.param == "system.reg" ? std::string("systemreg") : info.param; });

// The repair helper on a Wine prefix's file: one write, and the store's
// reason on every row when that write is refused.
TEST(RepairExtensions, shouldReportEveryRowFailedWithTheStoresReasonWhenTheCommitIsRefused)
{
    ScratchFolder dir;
    WriteBytes(dir / "system.reg", SystemRegWithAssociations());
    std::u16string error;
    auto store = SystemRegStore::Open(dir / "system.reg", &error);
    ASSERT_TRUE(store) << ToUtf8(error);
    int writes = 0;
    store->SetReplaceHook([&](ReplaceStep step) {
        writes += step == ReplaceStep::CreateTemporary;
        return true;
    });
    bool serverRunning = false;
    int checks = 0;
    store->SetServerCheck([&] { return ++checks > 1 && serverRunning; });  // starts after BeginRepair
    HostTarget target(*store, {}, {});
    ScopedActiveTarget active(target);

    serverRunning = true;
    const std::string before = ReadBytes(dir / "system.reg");
    scan::RepairOutcome outcome = scan::func_RepairExtensions({u".agx", u".sgx"});
    EXPECT_EQ(outcome.fixed, (std::vector<bool>{false, false}));
    EXPECT_NE(ToUtf8(outcome.failureReason).find("wineserver -k"), std::string::npos) << ToUtf8(outcome.failureReason);
    EXPECT_EQ(ReadBytes(dir / "system.reg"), before);
    EXPECT_TRUE(scan::func_Reg_KeyExists(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Classes\\.agx"));

    serverRunning = false;
    outcome = scan::func_RepairExtensions({u".agx", u".sgx", u".zhx"});
    EXPECT_EQ(outcome.fixed, (std::vector<bool>{true, true, true}));
    EXPECT_TRUE(outcome.failureReason.empty()) << ToUtf8(outcome.failureReason);
    EXPECT_EQ(writes, 1);
}

TEST(RepairExtensions, shouldTellTheKeyThatWasNotRemovedAndWhy)
{
    MemoryRegistry registry;
    registry.SetString(u"SOFTWARE\\Classes\\.a", u"", u"x");
    registry.SetString(u"SOFTWARE\\Classes\\.b", u"", u"x");
    registry.SetRefusesFullAccess(u"SOFTWARE\\Classes\\.b", true);
    HostTarget target(registry, {}, {});
    ScopedActiveTarget active(target);
    const scan::RepairOutcome outcome = scan::func_RepairExtensions({u".a", u".b"});
    EXPECT_EQ(outcome.fixed, (std::vector<bool>{true, false}));
    EXPECT_NE(ToUtf8(outcome.failureReason).find(".b refuses full access"), std::string::npos)
        << ToUtf8(outcome.failureReason);
    EXPECT_TRUE(scan::func_RepairExtensions({}).fixed.empty());
}

}  // namespace
