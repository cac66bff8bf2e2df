#include "desktop/DesktopFix.h"

#include "tests/desktop/WineDesktop.h"

#include <gtest/gtest.h>

#include <set>

using namespace quelvo::desktop;
using namespace quelvo::desktop::test;

namespace {

struct Tools {
    std::vector<std::string> runs;
    ToolRunner Runner()
    {
        return [this](const DesktopFolders&, const std::string& tool, const fs::path& folder) {
            runs.push_back(tool + " " + folder.filename().string());
            return std::string();
        };
    }
};

DesktopFixOptions Options(const EveryState& desktop, Tools& tools, bool serverRunning = false)
{
    DesktopFixOptions options;
    options.backupFolder = desktop.home.dir / "backups";
    options.serverRunning = [serverRunning](const fs::path&) { return serverRunning; };
    options.runTool = tools.Runner();
    return options;
}

// What changed between two snapshots, as paths relative to `root`.
std::set<std::string> Changed(const std::map<fs::path, std::string>& before, const std::map<fs::path, std::string>& after,
                              const fs::path& root)
{
    std::set<std::string> changed;
    for (const auto& [path, bytes] : before) {
        const auto it = after.find(path);
        if (it == after.end() || it->second != bytes)
            changed.insert(path.lexically_relative(root).string());
    }
    for (const auto& [path, bytes] : after) {
        if (!before.count(path))
            changed.insert(path.lexically_relative(root).string());
    }
    return changed;
}

TEST(DesktopFix, shouldRemoveExactlyTheStaleEntriesAndRestoreThemByteForByte)
{
    EveryState desktop;
    const fs::path root = desktop.home.dir.Path();
    const auto before = Snapshot(root);
    Tools tools;
    const DesktopFixResult fixed = FixDesktop(ScanDesktop(desktop.home.Folders(), ScanProbe()), Options(desktop, tools));
    EXPECT_TRUE(fixed.Ok()) << (fixed.failures.empty() ? "" : fixed.failures[0]);
    ASSERT_FALSE(fixed.backup.empty());
    const auto after = Snapshot(root);

    const std::set<std::string> expected = {
        "data/applications/wine-extension-foo.desktop", "data/applications/wine-extension-bar.desktop",
        "data/applications/wine-extension-xyz.desktop", "data/applications/wine-extension-doc.desktop",
        "data/applications/wine-extension-rtf.desktop", "data/applications/wine-extension-ini.desktop",
        "data/mime/packages/x-wine-extension-foo.xml",  "data/icons/hicolor/48x48/apps/application-x-wine-extension-foo.png",
        "data/icons/hicolor/32x32/apps/application-x-wine-extension-foo.png",
        "config/mimeapps.list", "data/applications/mimeapps.list",
        "home/.wine/user.reg", "home/shared pfx/user.reg",
        fixed.backup.lexically_relative(root).string()};
    EXPECT_EQ(Changed(before, after, root), expected) << "nothing else changes: live, program-gone, changed, the "
                                                         "package still in use and every file not Wine's stay";
    EXPECT_EQ(after.at(root / "config/mimeapps.list"),
              "# chosen by hand\n[Default Applications]\ntext/plain=wine-extension-txt.desktop;gedit.desktop;\n"
              "\n[Added Associations]\napplication/msword=writer.desktop;\n"
              "[X-Mine]\napplication/msword=wine-extension-doc.desktop;\n");
    EXPECT_EQ(after.at(root / "data/applications/mimeapps.list"),
              "[Added Associations]\nx-scheme-handler/irc=wine-protocol-irc.desktop;\n"
              "application/x-thing=wine-extension-abc.desktop;\n");
    const std::string userReg = after.at(desktop.wine / "user.reg");
    for (const char* gone : {"FileOpenAssociations\\\\.foo]", "FileOpenAssociations\\\\.bar]", "FileOpenAssociations\\\\.xyz]"})
        EXPECT_EQ(userReg.find(gone), std::string::npos) << gone;
    for (const char* kept : {"FileOpenAssociations\\\\.txt]", "FileOpenAssociations\\\\.ini]", "FileOpenAssociations\\\\.log]"})
        EXPECT_NE(userReg.find(kept), std::string::npos) << kept << ": another prefix's entry, or one kept";
    EXPECT_EQ(tools.runs, (std::vector<std::string>{"update-desktop-database applications", "update-mime-database mime"}));
    EXPECT_NE(std::find_if(fixed.notes.begin(), fixed.notes.end(),
                           [](const std::string& n) { return n.find("x-wine-extension-bar.xml is left: an entry that stays") != std::string::npos; }),
              fixed.notes.end());

    const DesktopRestoreResult restored = RestoreDesktopFile(fixed.backup, desktop.home.Folders(), Options(desktop, tools));
    EXPECT_TRUE(restored.Ok()) << restored.error << (restored.failures.empty() ? "" : restored.failures[0]);
    auto back = Snapshot(root);
    back.erase(fixed.backup);
    EXPECT_EQ(Changed(before, back, root), std::set<std::string>{}) << "quelvo-restore puts back every byte";
    const DesktopRestoreResult again = RestoreDesktopFile(fixed.backup, desktop.home.Folders(), Options(desktop, tools));
    EXPECT_TRUE(again.restored.empty()) << "a second restore finds everything there";
}

TEST(DesktopFix, shouldLeaveWhatItMayNotTouchAndSayWhy)
{
    EveryState desktop;
    Tools tools;
    DesktopScan scan = ScanDesktop(desktop.home.Folders(), ScanProbe());
    // Changed after the scan: this entry is no longer the file that was read.
    WriteFile(desktop.home.Applications() / "wine-extension-rtf.desktop", "[Desktop Entry]\nExec=mine\n");
    const std::string userReg = ReadFile(desktop.wine / "user.reg");
    DesktopFixOptions options = Options(desktop, tools, true);
    options.programsToo = true;
    const DesktopFixResult fixed = FixDesktop(scan, options);
    EXPECT_TRUE(fs::exists(desktop.home.Applications() / "wine-extension-rtf.desktop"));
    EXPECT_FALSE(fs::exists(desktop.home.Applications() / "wine-extension-mp3.desktop")) << "program gone, as asked";
    EXPECT_EQ(ReadFile(desktop.wine / "user.reg"), userReg) << "a running wineserver keeps the records";
    const auto mentions = [](const std::vector<std::string>& lines, const std::string& part) {
        return std::any_of(lines.begin(), lines.end(), [&](const std::string& l) { return l.find(part) != std::string::npos; });
    };
    EXPECT_TRUE(mentions(fixed.failures, "wine-extension-rtf.desktop changed since it was read"));
    EXPECT_TRUE(mentions(fixed.notes, "a wineserver is running for " + desktop.wine.string()));
    EXPECT_TRUE(mentions(fixed.notes, "wine-extension-log.desktop is kept: its user changed it"));

    DesktopBackup backup;
    backup.uid = desktop.home.Folders().uid;
    backup.files.push_back({desktop.home.dir / "elsewhere" / "wine-extension-x.desktop", 0644, "x"});
    EXPECT_NE(RestoreDesktop(backup, desktop.home.Folders()).error.find("not one of Wine's desktop files"), std::string::npos);
    backup.files = {{desktop.home.Applications() / "../../x/wine-extension-x.desktop", 0644, "x"}};
    EXPECT_FALSE(RestoreDesktop(backup, desktop.home.Folders()).error.empty());
    backup.files.clear();
    backup.records.push_back({desktop.wine / "user.reg", {u"Software", u"Classes", u".txt"}, {}, "\n[Software\\\\Classes\\\\.txt] 1\n"});
    EXPECT_FALSE(RestoreDesktop(backup, desktop.home.Folders()).error.empty()) << "only Wine's records go back";
}

TEST(DesktopFix, shouldReadOnlyWellFormedBackups)
{
    DesktopBackup backup;
    backup.uid = 1000;
    backup.userName = "u";
    backup.files.push_back({"/home/u/.local/share/applications/wine-extension-a.desktop", 0644, std::string("\0\xff", 2)});
    backup.lists.push_back({"/home/u/.config/mimeapps.list", {{"Default Applications", "a/b", "a/b=x;y;", "a/b=y;", false, "[Default Applications]", {"x"}}}});
    backup.records.push_back({"/home/u/.wine/user.reg", {u"Software", u"Wine", u"FileOpenAssociations", u".a"}, {u"A"}, "\n[x]\n"});
    const std::string text = WriteDesktopBackup(backup);
    DesktopBackup read;
    std::string error;
    ASSERT_TRUE(ReadDesktopBackup(text, &read, &error)) << error;
    EXPECT_EQ(WriteDesktopBackup(read), text);
    EXPECT_EQ(read.files[0].bytes, backup.files[0].bytes);
    for (const std::string& bad : {std::string(""), std::string("[]"), std::string("{\"format\":\"other\"}"),
                                  text.substr(0, text.size() / 2), std::string(100000, '['),
                                  std::string(text).replace(text.find("\"mode\""), 6, "\"mod\"")}) {
        EXPECT_FALSE(ReadDesktopBackup(bad, &read, &error)) << bad.substr(0, 40);
        EXPECT_FALSE(error.empty());
    }
    std::string bytes;
    EXPECT_FALSE(FromBase64("QQ=A", &bytes));
    EXPECT_TRUE(FromBase64(Base64("\x01\x02\x03\x04"), &bytes));
    EXPECT_EQ(bytes, "\x01\x02\x03\x04");
}

}  // namespace
