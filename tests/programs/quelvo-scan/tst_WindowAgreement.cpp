// quelvo-scan beside the window, on the same targets: the window's report is
// what the JSON says, a repair removes what Fix Now removes and leaves the
// same backups, and it refuses wherever the window refuses, in its words,
// leaving every byte of the target as it was.

#include "ScanCliSupport.h"

#include "FilesTestSupport.h"
#include "FormHarness.h"
#include "HiveTestSupport.h"

#include "app/Unit_Form_QLV_GUI.h"
#include "frontend/Services.h"
#include "platform/Text.h"
#include "platform/files/FileTargets.h"
#include "platform/files/HiveImage.h"
#include "platform/files/RegExport.h"
#include "platform/files/WineServer.h"
#include "report/Unit_QLV_ReportActions.h"
#include "report/Unit_QLV_ReportRows.h"
#include "scan/Unit_QLV_Thread.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <hivex.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>

using namespace std::chrono_literals;
using namespace quelvo;
using namespace quelvo::app;
using namespace quelvo::app::test;
using namespace quelvo::scancli::test;
using namespace quelvo::platform::files;
using namespace quelvo::platform::files::test;
namespace rows = quelvo::report::rows;
namespace fs = std::filesystem;
using nlohmann::json;

namespace {

std::string N(std::u16string_view text) { return platform::ToUtf8(text); }

// .doc opens C:\Apps\docfile.exe (present), .mix a program that is
// missing, .keep and .old are broken; the logs' state then has .old gone
// and .mix and .new broken.
const std::string& StateA()
{
    static const std::string a = ChangeClassesHive(
        {}, {{{".doc", "docfile"}, {".old", "gone"}, {".keep", "nofile"}, {".mix", "mixfile"}, {".txt", "docfile"}},
             {}, {"docfile", "mixfile"}});
    return a;
}
const std::string& StateB()
{
    static const std::string b = ChangeClassesHive(StateA(), {{{".mix", "nothere"}, {".new", "none"}}, {".old"}, {}});
    return b;
}

struct WindowRun {
    std::vector<std::u16string> rows;
    std::vector<std::u16string> countLines;
    std::vector<std::u16string> afterRows;
    std::vector<std::u16string> afterLines;
    std::vector<std::u16string> messages;
};

// The window's rows, rebuilt from the report: sections in the window's
// order, type groups in the order the extensions meet them.
template<typename Item>
void AppendSection(std::vector<std::u16string>& out, std::u16string_view header, const std::vector<const json*>& entries,
                   Item item)
{
    if (entries.empty())
        return;
    out.emplace_back(header);
    std::vector<std::u16string> groups;
    for (const json* entry : entries) {
        const std::u16string group = ReportText(*entry, "group");
        if (std::find(groups.begin(), groups.end(), group) == groups.end())
            groups.push_back(group);
    }
    for (const auto& group : groups) {
        out.push_back(rows::GroupRow(group));
        for (const json* entry : entries)
            if (ReportText(*entry, "group") == group)
                out.push_back(item(ReportText(*entry, "name")));
    }
}

std::vector<const json*> InSection(const json& report, const char* section)
{
    std::vector<const json*> out;
    for (const json& entry : report["extensions"])
        for (const json& s : entry["sections"])
            if (s == section)
                out.push_back(&entry);
    return out;
}

std::vector<std::u16string> ReportRowsOf(const json& report)
{
    std::vector<std::u16string> out;
    AppendSection(out, rows::kProblemsHeader, InSection(report, "problems"), rows::ProblemItem);
    AppendSection(out, rows::kNeedsApplicationHeader, InSection(report, "needs-application"), rows::NeedsApplicationItem);
    AppendSection(out, rows::kValidHeader, InSection(report, "valid"), rows::ValidItem);
    return out;
}

std::u16string CountLineOf(const json& report)
{
    const int problems = report["counts"]["problems"];
    const std::string state = report["target"]["state"];
    return state == "damaged" ? rows::DamagedCountLine(problems)
         : state == "stale"   ? rows::StaleCountLine(problems)
                              : rows::CountLine(problems);
}

std::vector<std::u16string> AfterRepairRowsOf(const json& report)
{
    std::vector<std::u16string> out;
    AppendSection(out, rows::kAfterRepairNeedsApplicationHeader, InSection(report, "needs-application"),
                  rows::CheckItem);
    auto removedIn = [&](const char* list) {
        std::vector<const json*> picked;
        for (const json* entry : InSection(report, "problems"))
            for (const json& key : report["repair"][list])
                if (ReportText(key, "extension") == ReportText(*entry, "name"))
                    picked.push_back(entry);
        return picked;
    };
    AppendSection(out, rows::kRepairedHeader, removedIn("removed"), rows::RepairedItem);
    AppendSection(out, rows::kRepairFailedHeader, removedIn("notRemoved"), rows::RepairFailedItem);
    return out;
}

class WindowAgreement : public ::testing::Test {
protected:
    void SetUp() override
    {
        frontend::SetMessageBoxHandler([this](const std::u16string&, const std::u16string& text, frontend::TMsgIcon) {
            m_messages.push_back(text);
            return 1;
        });
        scan::QLVO_Thread_Scan::SetExtensionPauseEnabled(false);
        fs::create_directories(dir / "app");
        fs::copy_file(QUELVO_SHIPPED_LIBRARY, dir / "app" / "FileType_lib.txt");
    }

    void TearDown() override
    {
        scan::QLVO_Thread_Scan::SetExtensionPauseEnabled(true);
        frontend::SetMessageBoxHandler({});
    }

    // The window on the target, as the program opens it; Fix Now when asked.
    WindowRun Window(const fs::path& target, const std::u16string& typed = {}, bool fix = false)
    {
        WindowRun run;
        m_messages.clear();
        TargetChoice choice = ChooseTarget([&](const char* name) -> std::optional<std::string> {
            if (std::string_view(name) == "QUELVO_TARGET")
                return target.string();
            return std::nullopt;
        });
        EXPECT_TRUE(choice.target) << N(choice.error);
        if (!choice.target)
            return run;
        choice.target->Store().SetBackup(std::make_shared<RegBackup>(dir / "window-backups", target));
        platform::ScopedActiveTarget active(*choice.target);
        auto form = std::make_unique<TForm_QLVO_GUI>(Harness().FrontEnd());
        EXPECT_TRUE(Harness().ShowAndWait(*form));
        form->SetCurrentAppPath(platform::FromUtf8((dir / "app").string() + "/"));
        form->RED_QLVO_SearchExt->SetText(typed);
        Click(form->Bn_QLVO_StartScan);
        EXPECT_TRUE(Harness().WaitUntil([&] { return !form->ScanRunning(); }, 60s));
        Harness().Wait(1ms);
        run.rows = Rows(*form);
        run.countLines = form->RLB_QLVO_TipDetectedCount->TextLines();
        if (fix) {
            m_messages.clear();
            Click(form->Bn_QLVO_FixNow);
            run.afterRows = Rows(*form);
            run.afterLines = form->RLB_QLVO_TipDetectedCount->TextLines();
        }
        run.messages = m_messages;
        form.reset();
        return run;
    }

    json Cli(const fs::path& target, const std::string& ext = {}, bool fix = false, int* status = nullptr)
    {
        std::vector<std::string> args = {"--target", target.string(), "--library", (dir / "app" / "FileType_lib.txt").string(),
                                         "--backup-dir", (dir / "cli-backups").string(), "--format", "json"};
        if (!ext.empty())
            args.insert(args.end(), {"--ext", ext});
        if (fix)
            args.push_back("--fix");
        const CommandRun run = RunScan(args);
        if (status)
            *status = run.status;
        return ParseJson(run.out);
    }

    void ExpectSameReport(const fs::path& target, const std::string& ext, const char* what)
    {
        const WindowRun window = Window(target, platform::FromUtf8(ext));
        const json report = Cli(target, ext);
        EXPECT_FALSE(window.rows.empty()) << what;
        EXPECT_TRUE(window.rows == ReportRowsOf(report)) << what << ": the rows differ";
        EXPECT_THAT(window.countLines, ::testing::ElementsAre(CountLineOf(report))) << what;
    }

    static void Click(frontend::TBitmapButton* button)
    {
        Harness().Press(button, 2, 2);
        Harness().Release(button, 2, 2);
    }

    static std::vector<std::u16string> Rows(TForm_QLVO_GUI& form)
    {
        std::vector<std::u16string> all;
        for (int i = 0; i < form.HLB_QLVO_InvailExeName->Count(); ++i)
            all.push_back(form.HLB_QLVO_InvailExeName->Item(i));
        return all;
    }

    fs::path Installation(const std::string& name, const std::string& software, const std::string& log1 = {},
                          const std::string& log2 = {})
    {
        const fs::path root = dir / name;
        WriteInstallation(root, software, log1, log2);
        std::ofstream(root / "Apps" / "docfile.exe") << "MZ";
        return root;
    }

    TempDir dir;
    std::vector<std::u16string> m_messages;
};

TEST_F(WindowAgreement, shouldReportWhatTheWindowReportsOnEachTarget)
{
    const DirtyHive dirty = MakeDirtyHive(StateA(), StateB());
    struct Case {
        const char* what;
        std::function<std::optional<fs::path>()> make;
    };
    const Case cases[] = {
        {"the sandbox prefix", [&]() -> std::optional<fs::path> {
             const auto sandbox = SandboxPrefix();
             if (!sandbox)
                 return std::nullopt;
             return LightPrefixCopy(*sandbox, dir / "sandbox");
         }},
        {"a hive installation", [&]() -> std::optional<fs::path> { return Installation("clean", StateA()); }},
        {"a dirty installation, recovered", [&]() -> std::optional<fs::path> {
             return Installation("dirty", dirty.file, dirty.log1, dirty.log2); }},
        {"a dirty installation without its logs", [&]() -> std::optional<fs::path> {
             return Installation("stale", dirty.file); }},
    };
    for (const Case& c : cases) {
        const auto target = c.make();
        if (!target) {
            ADD_FAILURE() << c.what << ": no sandbox prefix (scripts/make-sandbox-prefix needs Wine)";
            continue;
        }
        ExpectSameReport(*target, {}, c.what);
    }
    EXPECT_EQ(Cli(dir / "dirty")["target"]["recoveredFrom"].size(), 2u);
}

TEST_F(WindowAgreement, shouldReportOneExtensionAsTheWindowDoesInEveryFilterCase)
{
    const fs::path root = Installation("one", StateA());
    for (const char* ext : {"doc", ".mix", ".absent", " .keep ", ".DOC", ".txt"})
        ExpectSameReport(root, ext, ext);
}

TEST_F(WindowAgreement, shouldRemoveWhatFixNowRemovesAndLeaveTheSameBackups)
{
    const DirtyHive dirty = MakeDirtyHive(StateA(), StateB());
    struct Case {
        const char* what;
        std::function<std::optional<fs::path>(const std::string&)> make;
        const char* registry;  // the file the repair rewrites, below the target
    };
    const Case cases[] = {
        {"the sandbox prefix", [&](const std::string& name) -> std::optional<fs::path> {
             const auto sandbox = SandboxPrefix();
             if (!sandbox)
                 return std::nullopt;
             return LightPrefixCopy(*sandbox, dir / name);
         }, "system.reg"},
        {"a dirty installation", [&](const std::string& name) -> std::optional<fs::path> {
             return Installation(name, dirty.file, dirty.log1, dirty.log2); }, "Windows/System32/config/SOFTWARE"},
    };
    for (const Case& c : cases) {
        fs::remove_all(dir / "window-backups");
        fs::remove_all(dir / "cli-backups");
        const auto byWindow = c.make(std::string("w-") + c.registry[0]);
        const auto byCli = c.make(std::string("c-") + c.registry[0]);
        if (!byWindow || !byCli) {
            ADD_FAILURE() << c.what << ": no sandbox prefix (scripts/make-sandbox-prefix needs Wine)";
            continue;
        }
        const WindowRun window = Window(*byWindow, {}, true);
        EXPECT_TRUE(window.messages.empty()) << c.what << ": " << (window.messages.empty() ? "" : N(window.messages[0]));
        int status = -1;
        const json report = Cli(*byCli, {}, true, &status);
        EXPECT_EQ(status, report["repair"]["remaining"] > 0 ? 1 : 0) << c.what;
        EXPECT_FALSE(report["repair"]["removed"].empty()) << c.what;
        EXPECT_TRUE(window.afterRows == AfterRepairRowsOf(report)) << c.what;
        EXPECT_THAT(window.afterLines, ::testing::ElementsAre(rows::RemainingLine(report["repair"]["remaining"])))
            << c.what;
        EXPECT_TRUE(ReadBytes(*byWindow / c.registry) == ReadBytes(*byCli / c.registry))
            << c.what << ": the two repairs wrote different registries";

        // The same backups, file for file (their names carry the time).
        std::vector<std::pair<std::string, std::string>> windowBackups;
        for (const auto& [name, bytes] : FolderBytes(dir / "window-backups"))
            windowBackups.emplace_back(fs::path(name).extension().string(), bytes);
        std::vector<std::pair<std::string, std::string>> cliBackups;
        for (const json& backup : report["repair"]["backups"]) {
            const fs::path file = backup["path"].get<std::string>();
            cliBackups.emplace_back(file.extension().string(), ReadBytes(file));
        }
        std::sort(windowBackups.begin(), windowBackups.end());
        std::sort(cliBackups.begin(), cliBackups.end());
        EXPECT_FALSE(cliBackups.empty()) << c.what;
        EXPECT_TRUE(windowBackups == cliBackups) << c.what << ": " << windowBackups.size() << " backups beside "
                                                 << cliBackups.size();
    }
}

// Wherever the window refuses Fix Now, quelvo-scan --fix refuses in its
// words; neither changes a byte of the target.
TEST_F(WindowAgreement, shouldRefuseWhereTheWindowRefuses)
{
    struct Server {
        fs::path prefix;
        ~Server()
        {
            if (!prefix.empty())
                std::system(("WINEPREFIX='" + prefix.string() + "' wineserver -k >/dev/null 2>&1").c_str());
        }
    };
    std::optional<Server> server;
    struct Unmount {
        fs::path at;
        ~Unmount() { std::system(("umount '" + at.string() + "' 2>/dev/null").c_str()); }
    };
    std::optional<Unmount> unmount;
    std::string damaged = StateA();
    {
        TempDir t;
        WriteBytes(t / "h", damaged);
        hive_h* h = hivex_open((t / "h").c_str(), 0);
        const hive_node_h keep = hivex_node_get_child(h, hivex_node_get_child(h, hivex_root(h), "Classes"), ".keep");
        hivex_close(h);
        hive::PutLe32(damaged.data() + keep + 4 + 40, 0x7FFFFFF0);
    }
    struct Case {
        const char* what;
        std::function<std::optional<fs::path>()> make;
        int status;
    };
    const Case cases[] = {
        {"a running wineserver", [&]() -> std::optional<fs::path> {
             const auto sandbox = SandboxPrefix();
             if (!sandbox)
                 return std::nullopt;
             const fs::path prefix = LightPrefixCopy(*sandbox, dir / "served");
             server.emplace();
             server->prefix = prefix;
             const std::string wine = "WINEPREFIX='" + prefix.string() + "' WINEDEBUG=-all ";
             EXPECT_EQ(std::system((wine + "wineserver -p").c_str()), 0);
             EXPECT_TRUE(Harness().WaitUntil([&] { return IsWineServerRunning(prefix); }, 60s));
             return prefix; }, 1},
        {"a hibernated Windows", [&]() -> std::optional<fs::path> {
             const fs::path root = Installation("hibernated", StateA());
             std::ofstream(root / "hiberfil.sys") << "HIBR" << std::string(4092, '\0');
             return root; }, 1},
        {"a disk mounted read-only", [&]() -> std::optional<fs::path> {
             const fs::path mount = dir / "disk";
             fs::create_directories(mount);
             if (::geteuid() != 0
                 || std::system(("mount -t tmpfs -o size=8m quelvo-test '" + mount.string() + "' 2>/dev/null").c_str()) != 0)
                 return std::nullopt;
             unmount.emplace();
             unmount->at = mount;
             WriteInstallation(mount, StateA());
             EXPECT_EQ(std::system(("mount -o remount,ro '" + mount.string() + "'").c_str()), 0);
             return mount; }, 1},
        {"a damaged hive", [&]() -> std::optional<fs::path> { return Installation("damaged", damaged); }, 3},
        {"a hive that cannot be recovered", [&]() -> std::optional<fs::path> {
             return Installation("stale", MakeDirtyHive(StateA(), StateB()).file); }, 3},
    };
    for (const Case& c : cases) {
        const auto target = c.make();
        if (!target) {
            if (std::string_view(c.what) == "a disk mounted read-only")
                continue;  // mounting a test disk needs root and the right to mount
            ADD_FAILURE() << c.what << ": no sandbox prefix (scripts/make-sandbox-prefix needs Wine)";
            continue;
        }
        const auto before = FolderBytes(*target);
        const WindowRun window = Window(*target, {}, true);
        ASSERT_FALSE(window.messages.empty()) << c.what;
        const std::u16string refusal = window.messages.back();
        EXPECT_EQ(refusal.rfind(report::messages::kRepairRefused, 0), 0u) << c.what << ": " << N(refusal);
        EXPECT_TRUE(FolderBytes(*target) == before) << c.what << ": the window changed the target";

        int status = -1;
        const json report = Cli(*target, {}, true, &status);
        EXPECT_EQ(status, c.status) << c.what;
        EXPECT_EQ(report["repair"]["refused"], true) << c.what;
        EXPECT_EQ(ReportText(report["repair"], "message"), refusal) << c.what;
        EXPECT_TRUE(FolderBytes(*target) == before) << c.what << ": quelvo-scan changed the target";
        server.reset();
        unmount.reset();
    }
    EXPECT_TRUE(!fs::exists(dir / "cli-backups") || fs::is_empty(dir / "cli-backups"));
}

}  // namespace
