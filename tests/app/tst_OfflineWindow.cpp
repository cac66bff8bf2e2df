// The window on an offline Windows installation, as a technician meets one:
// a hive left dirty by Windows (scanned as Windows loads it, repaired to a
// clean hive), a hibernated Windows (refused once, with the way forward),
// damaged and out-of-date hives (never reported as clean).

#include "FormHarness.h"

#include "tests/support/Bytes.h"
#include "tests/support/ScratchFolder.h"
#include "tests/support/HiveBuilder.h"

#include "app/Unit_Form_QLV_GUI.h"
#include "frontend/Services.h"
#include "platform/Text.h"
#include "platform/files/FileTargets.h"
#include "regfile/HiveImage.h"
#include "regfile/RegFileWrite.h"
#include "report/Unit_QLV_ReportActions.h"
#include "report/Unit_QLV_ReportRows.h"
#include "scan/Unit_QLV_Thread.h"
#include "platform/files/RegBackup.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <hivex.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <optional>

using namespace std::chrono_literals;
using namespace quelvo;
using namespace quelvo::app;
using namespace quelvo::app::test;
using namespace quelvo::platform::files;
using namespace quelvo::regfile;
using namespace quelvo::test;
namespace rows = quelvo::report::rows;
namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

namespace {

std::string N(std::u16string_view text) { return platform::ToUtf8(text); }

// .doc opens C:\Apps\docfile.exe (present), .mix a program that is missing;
// .keep and .old are broken.
// Later (as Windows changed it, the change still in the logs): .old gone,
// .mix and .new broken.
const std::string& StateA()
{
    static const std::string a = ChangeClassesHive(
        {}, {{{".doc", "docfile"}, {".old", "gone"}, {".keep", "nofile"}, {".mix", "mixfile"}}, {}, {"docfile", "mixfile"}});
    return a;
}
const std::string& StateB()
{
    static const std::string b = ChangeClassesHive(StateA(), {{{".mix", "nothere"}, {".new", "none"}}, {".old"}, {}});
    return b;
}

class OfflineWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        frontend::SetMessageBoxHandler([this](const std::u16string&, const std::u16string& text, frontend::TMsgIcon) {
            messages.push_back(text);
            return 1;
        });
        scan::QLVO_Thread_Scan::SetExtensionPauseEnabled(false);
        fs::create_directories(dir / "app");
        std::ofstream(dir / "app" / "FileType_lib.txt") << "==Documents==\ndoc\n";
    }

    void TearDown() override
    {
        form.reset();
        active.reset();
        target.reset();
        scan::QLVO_Thread_Scan::SetExtensionPauseEnabled(true);
        frontend::SetMessageBoxHandler({});
    }

    void Start(const std::string& software, const std::string& log1 = {}, const std::string& log2 = {})
    {
        root = dir / "win";
        WriteInstallation(root, software, log1, log2);
        std::ofstream(root / "Apps" / "docfile.exe") << "MZ";
        std::u16string error;
        target = OpenWindowsInstallation(root, &error);
        ASSERT_TRUE(target) << N(error);
        target->Store().SetBackup(std::make_shared<RegBackup>(dir / "backups"));
        active.emplace(*target);
        form = std::make_unique<TForm_QLVO_GUI>(Harness().FrontEnd());
        ASSERT_TRUE(Harness().ShowAndWait(*form));
        form->SetCurrentAppPath(platform::FromUtf8((dir / "app").string() + "/"));
    }

    void Click(frontend::TBitmapButton* button)
    {
        Harness().Press(button, 2, 2);
        Harness().Release(button, 2, 2);
    }

    void Scan()
    {
        Click(form->Bn_QLVO_StartScan);
        ASSERT_TRUE(Harness().WaitUntil([&] { return !form->ScanRunning(); }, 20s));
        Harness().Wait(1ms);
    }

    std::vector<std::u16string> Rows() const
    {
        std::vector<std::u16string> all;
        for (int i = 0; i < form->HLB_QLVO_InvailExeName->Count(); ++i)
            all.push_back(form->HLB_QLVO_InvailExeName->Item(i));
        return all;
    }
    bool HasRow(const std::u16string& row) const
    {
        const auto all = Rows();
        return std::find(all.begin(), all.end(), row) != all.end();
    }

    ScratchFolder dir;
    fs::path root;
    std::unique_ptr<FileTarget> target;
    std::optional<platform::ScopedActiveTarget> active;
    std::unique_ptr<TForm_QLVO_GUI> form;
    std::vector<std::u16string> messages;
};

TEST_F(OfflineWindow, shouldReportADirtyInstallationAsWindowsLoadsItAndRepairIt)
{
    const DirtyHive dirty = MakeDirtyHive(StateA(), StateB());
    Start(dirty.file, dirty.log1, dirty.log2);
    Scan();
    for (const char16_t* ext : {u".keep", u".mix", u".new"})
        EXPECT_TRUE(HasRow(rows::ProblemItem(ext))) << N(ext);
    EXPECT_FALSE(HasRow(rows::ProblemItem(u".old"))) << "gone in the logs' state";
    EXPECT_TRUE(HasRow(rows::ValidItem(u".doc")));
    EXPECT_THAT(form->RLB_QLVO_TipDetectedCount->TextLines(), ElementsAre(rows::CountLine(3)));
    EXPECT_TRUE(messages.empty());

    Click(form->Bn_QLVO_FixNow);
    EXPECT_TRUE(messages.empty()) << N(messages.front());
    for (const char16_t* ext : {u".keep", u".mix", u".new"})
        EXPECT_TRUE(HasRow(rows::RepairedItem(ext))) << N(ext);
    const hive::BaseBlock written = hive::ReadBaseBlock(ReadBytes(HivePath(root)));
    EXPECT_FALSE(written.Dirty());
}

TEST_F(OfflineWindow, shouldRefuseAHibernatedWindowsOnceForTheWholeRepair)
{
    Start(StateA());
    std::ofstream(root / "hiberfil.sys") << "HIBR" << std::string(4092, '\0');
    Scan();  // .keep and .old broken, .mix's program missing
    EXPECT_THAT(form->RLB_QLVO_TipDetectedCount->TextLines(), ElementsAre(rows::CountLine(3)));
    Click(form->Bn_QLVO_FixNow);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].rfind(report::messages::kRepairRefused, 0), 0u) << N(messages[0]);
    EXPECT_THAT(N(messages[0]), HasSubstr("is hibernated (Fast Startup)"));
    EXPECT_THAT(N(messages[0]), HasSubstr("powercfg /h off"));
    EXPECT_TRUE(HasRow(rows::RepairFailedItem(u".keep")));
    EXPECT_TRUE(HasRow(rows::RepairFailedItem(u".old")));
    EXPECT_TRUE(ReadBytes(HivePath(root)) == StateA());
}

TEST_F(OfflineWindow, shouldNeverReportADamagedOrOutOfDateHiveAsClean)
{
    // A key whose value list points outside the hive.
    std::string damaged = StateA();
    const std::size_t keep = [&] {
        ScratchFolder t;
        WriteBytes(t / "h", damaged);
        hive_h* h = hivex_open((t / "h").c_str(), 0);
        const hive_node_h node = hivex_node_get_child(h, hivex_node_get_child(h, hivex_root(h), "Classes"), ".keep");
        hivex_close(h);
        return node;
    }();
    hive::PutLe32(damaged.data() + keep + 4 + 40, 0x7FFFFFF0);
    Start(damaged);
    Scan();
    EXPECT_THAT(form->RLB_QLVO_TipDetectedCount->TextLines(), ElementsAre(rows::DamagedCountLine(2)));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_THAT(N(messages[0]), HasSubstr("is damaged at HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\.keep"));
    messages.clear();
    Click(form->Bn_QLVO_FixNow);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].rfind(report::messages::kRepairRefused, 0), 0u) << N(messages[0]);
    EXPECT_TRUE(ReadBytes(HivePath(root)) == damaged);
}

TEST_F(OfflineWindow, shouldSayAReportMayBeOutOfDate)
{
    const DirtyHive dirty = MakeDirtyHive(StateA(), StateB());
    Start(dirty.file);  // without its logs
    Scan();
    EXPECT_THAT(form->RLB_QLVO_TipDetectedCount->TextLines(), ElementsAre(rows::StaleCountLine(3)));
}

}  // namespace
