// The window on a Wine prefix whose desktop holds Wine's entries: Fix Now
// removes the broken extension keys and, in the same repair, Wine's entries
// of that prefix for them (saved beside the repair's backup), and the rows
// stay exactly what they always are.

#include "FormHarness.h"

#include "tests/desktop/WineDesktop.h"

#include "app/Unit_Form_QLV_GUI.h"
#include "frontend/Services.h"
#include "platform/Text.h"
#include "platform/files/FileTargets.h"
#include "platform/files/RegBackup.h"
#include "report/Unit_QLV_ReportRows.h"
#include "scan/Unit_QLV_Thread.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <optional>

using namespace std::chrono_literals;
using namespace quelvo;
using namespace quelvo::app::test;
using namespace quelvo::desktop::test;
namespace rows = quelvo::report::rows;

namespace {

class WineDesktopWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        frontend::SetMessageBoxHandler([this](const std::u16string&, const std::u16string& text, frontend::TMsgIcon) {
            messages.push_back(text);
            return 1;
        });
        scan::QLVO_Thread_Scan::SetExtensionPauseEnabled(false);
        env.UseHome(home);
        fs::create_directories(home.dir / "app");
        std::ofstream(home.dir / "app" / "FileType_lib.txt") << "==Documents==\ntxt\n";

        // .foo and .bar are broken (their ProgIDs uninstalled); .txt opens
        // Notepad. Wine wrote entries for all three while they worked; the
        // user edited .bar's.
        Prefix prefix(wine);
        prefix.Extension(".txt", "txtfile", "C:\\windows\\notepad.exe %1").Program("C:\\windows\\notepad.exe");
        prefix.Extension(".foo", "foofile", "").Extension(".bar", "barfile", "");
        WriteAssociation(home, prefix, {.type = ".txt", .progId = "txtfile", .appName = "Notepad", .mimeType = "text/plain"});
        WriteAssociation(home, prefix, {.type = ".foo", .progId = "foofile", .appName = "Foo"});
        WriteAssociation(home, prefix, {.type = ".bar", .progId = "barfile", .mimeType = "text/x-bar"});
        WriteFile(home.Applications() / "wine-extension-bar.desktop",
                  EntryText(wine, {.type = ".bar", .progId = "barfile", .mimeType = "text/x-bar"}) + "Comment=mine\n");
        prefix.Write();
        WriteFile(home.Config() / "mimeapps.list", "[Default Applications]\napplication/x-wine-extension-foo=wine-extension-foo.desktop;\n"
                                                   "text/plain=wine-extension-txt.desktop;\n");
    }

    void TearDown() override
    {
        form.reset();
        active.reset();
        target.reset();
        scan::QLVO_Thread_Scan::SetExtensionPauseEnabled(true);
        frontend::SetMessageBoxHandler({});
    }

    void Click(frontend::TBitmapButton* button)
    {
        Harness().Press(button, 2, 2);
        Harness().Release(button, 2, 2);
    }

    std::vector<std::u16string> Rows() const
    {
        std::vector<std::u16string> all;
        for (int i = 0; i < form->HLB_QLVO_InvailExeName->Count(); ++i)
            all.push_back(form->HLB_QLVO_InvailExeName->Item(i));
        return all;
    }

    Home home;
    fs::path wine = home.dir / "home" / ".wine";
    ScopedEnvironment env;
    std::unique_ptr<platform::files::FileTarget> target;
    std::optional<platform::ScopedActiveTarget> active;
    std::unique_ptr<app::TForm_QLVO_GUI> form;
    std::vector<std::u16string> messages;
};

TEST_F(WineDesktopWindow, shouldRemoveWinesEntriesOfTheKeysFixNowRemoves)
{
    std::u16string error;
    target = platform::files::OpenWinePrefix(wine, &error);
    ASSERT_TRUE(target) << platform::ToUtf8(error);
    target->Store().SetBackup(std::make_shared<platform::files::RegBackup>(home.dir / "backups", wine));
    active.emplace(*target);
    form = std::make_unique<app::TForm_QLVO_GUI>(Harness().FrontEnd());
    ASSERT_TRUE(Harness().ShowAndWait(*form));
    form->SetCurrentAppPath(platform::FromUtf8((home.dir / "app").string() + "/"));
    Click(form->Bn_QLVO_StartScan);
    ASSERT_TRUE(Harness().WaitUntil([&] { return !form->ScanRunning(); }, 20s));
    Harness().Wait(1ms);
    const auto before = Snapshot(home.dir.Path());

    Click(form->Bn_QLVO_FixNow);
    EXPECT_TRUE(messages.empty());
    const std::vector<std::u16string> expected = {std::u16string(rows::kRepairedHeader), rows::GroupRow(u"Unknown"),
                                                  rows::RepairedItem(u".bar"), rows::RepairedItem(u".foo")};
    EXPECT_EQ(Rows(), expected) << "the window's rows are the after-repair view, nothing more";

    const fs::path apps = home.Applications();
    EXPECT_FALSE(fs::exists(apps / "wine-extension-foo.desktop"));
    EXPECT_FALSE(fs::exists(home.Data() / "mime" / "packages" / "x-wine-extension-foo.xml"));
    EXPECT_TRUE(fs::exists(apps / "wine-extension-bar.desktop")) << "its user changed it";
    EXPECT_TRUE(fs::exists(apps / "wine-extension-txt.desktop")) << "its key stays";
    EXPECT_EQ(ReadFile(home.Config() / "mimeapps.list"), "[Default Applications]\ntext/plain=wine-extension-txt.desktop;\n");
    EXPECT_EQ(ReadFile(wine / "user.reg").find("FileOpenAssociations\\\\.foo]"), std::string::npos);
    const fs::path reg = target->Store().BackupFile();
    ASSERT_FALSE(reg.empty());
    const fs::path desktopBackup = reg.parent_path() / (reg.stem().string() + ".desktop.json");
    EXPECT_TRUE(fs::exists(desktopBackup)) << "saved beside the repair's backup";

    // quelvo-restore puts back the keys and, from the file beside them, Wine's entries.
    form.reset();
    active.reset();
    target.reset();
    const std::string restore = std::string(QUELVO_RESTORE_TOOL) + " '" + reg.string() + "' >/dev/null";
    env.Set("QUELVO_TARGET", wine.string());
    ASSERT_EQ(std::system(restore.c_str()), 0);
    auto after = Snapshot(home.dir.Path());
    for (const fs::path& file : {reg, desktopBackup})
        after.erase(file);
    const fs::path system = wine / "system.reg", user = wine / "user.reg";
    EXPECT_EQ(after.at(user), before.at(user)) << "the record back byte for byte";
    after.erase(system);
    auto original = before;
    original.erase(system);
    // What the desktop's tools build from the entries and packages.
    const auto cache = [&](const fs::path& file) {
        const std::string mime = (home.Data() / "mime").string() + "/";
        return file == apps / "mimeinfo.cache"
            || (file.string().rfind(mime, 0) == 0 && file.string().rfind(mime + "packages/", 0) != 0);
    };
    std::erase_if(after, [&](const auto& item) { return cache(item.first); });
    EXPECT_EQ(after, original) << "every file of the desktop back as it was";
}

}  // namespace
