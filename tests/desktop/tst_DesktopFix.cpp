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

    std::set<std::string> expected = EveryState::StaleTraces();
    expected.insert(fixed.backup.lexically_relative(root).string());
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

namespace {

TEST(DesktopFix, shouldChangeTheDesktopsOwnAnswerOnlyForTheStaleEntries)
{
    Home home;
    const fs::path wine = home.dir / "home" / ".wine";
    Prefix prefix(wine);
    prefix.Extension(".txt", "txtfile", "C:\\windows\\notepad.exe %1").Program("C:\\windows\\notepad.exe");
    WriteAssociation(home, prefix, {.type = ".txt", .progId = "txtfile", .appName = "Notepad", .mimeType = "text/plain"});
    WriteAssociation(home, prefix, {.type = ".foo", .progId = "foofile"});
    prefix.Write();
    Prefix gone(home.dir / "home" / "deleted");
    WriteAssociation(home, gone, {.type = ".doc", .progId = "docfile", .appName = "Word", .mimeType = "application/msword"});
    WriteFile(home.Applications() / "writer.desktop",
              "[Desktop Entry]\nType=Application\nName=Writer\nMimeType=application/msword;image/png;\nExec=true %f\n");
    const std::string list = "[Default Applications]\napplication/msword=wine-extension-doc.desktop;\n"
                             "text/plain=wine-extension-txt.desktop;\nimage/png=writer.desktop;\n"
                             "application/x-wine-extension-foo=wine-extension-foo.desktop\n"
                             "[Added Associations]\napplication/msword=writer.desktop;wine-extension-doc.desktop;\n";
    WriteFile(home.Config() / "mimeapps.list", list);
    // Wine refreshed the caches when it wrote its entries.
    ASSERT_EQ(std::system(("update-mime-database " + (home.Data() / "mime").string() + " && update-desktop-database "
                           + home.Applications().string()).c_str()), 0);
    ASSERT_NE(ReadFile(home.Data() / "mime" / "globs2").find("*.foo"), std::string::npos);

    EXPECT_EQ(DesktopDefault(home, "application/msword"), "xdg-mime: wine-extension-doc.desktop, gio: wine-extension-doc.desktop");
    EXPECT_EQ(DesktopDefault(home, "text/plain"), "xdg-mime: wine-extension-txt.desktop, gio: wine-extension-txt.desktop");
    EXPECT_EQ(DesktopDefault(home, "image/png"), "xdg-mime: writer.desktop, gio: writer.desktop");

    DesktopFixOptions options;
    options.backupFolder = home.dir / "backups";
    const DesktopFixResult fixed = FixDesktop(ScanDesktop(home.Folders(), ScanProbe()), options);
    ASSERT_TRUE(fixed.Ok()) << fixed.failures[0];
    EXPECT_EQ(fixed.refreshed.size(), 2u) << "update-desktop-database and update-mime-database ran";

    const std::string msword = DesktopDefault(home, "application/msword");
    EXPECT_EQ(msword.find("wine-extension-doc"), std::string::npos) << msword;
    EXPECT_EQ(DesktopDefault(home, "text/plain"), "xdg-mime: wine-extension-txt.desktop, gio: wine-extension-txt.desktop");
    EXPECT_EQ(DesktopDefault(home, "image/png"), "xdg-mime: writer.desktop, gio: writer.desktop");
    EXPECT_EQ(AskDesktop(home, "gio mime application/msword").find("wine-extension-doc"), std::string::npos);
    EXPECT_EQ(ReadFile(home.Data() / "mime" / "globs2").find("*.foo"), std::string::npos)
        << "the desktop no longer knows Wine's type for .foo";
    EXPECT_EQ(ReadFile(home.Config() / "mimeapps.list"),
              "[Default Applications]\ntext/plain=wine-extension-txt.desktop;\nimage/png=writer.desktop;\n"
              "[Added Associations]\napplication/msword=writer.desktop;\n");
    EXPECT_EQ(ReadFile(home.Applications() / "mimeinfo.cache").find("wine-extension-doc"), std::string::npos);
}

}  // namespace

namespace {

namespace ft = quelvo::test;

uid_t OwnerOf(const fs::path& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? st.st_uid : uid_t(-1);
}

// A desktop user other than root (uid 65534) whose folders root works in.
struct OtherUsersDesktop {
    Home home;
    fs::path wine;
    DesktopFolders folders;
    const std::string list = "[Default Applications]\napplication/x-wine-extension-foo=wine-extension-foo.desktop;\n";

    OtherUsersDesktop() : wine(home.dir / "home" / ".wine")
    {
        Prefix prefix(wine);
        prefix.Extension(".txt", "txtfile", "C:\\windows\\notepad.exe %1").Program("C:\\windows\\notepad.exe");
        WriteAssociation(home, prefix, {.type = ".txt", .progId = "txtfile", .mimeType = "text/plain"});
        WriteAssociation(home, prefix, {.type = ".foo", .progId = "foofile"});
        prefix.Write();
        WriteFile(home.Config() / "mimeapps.list", list);
        WriteFile(home.Applications() / "mimeapps.list", list);
        for (const char* folder : {"home", "data", "config"})
            ft::ChownTree(home.dir / folder, ft::kOtherUid, ft::kOtherGid);
        fs::permissions(home.dir.Path(), fs::perms(0755));
        // Root's own file among the user's, which the user cannot read.
        WriteFile(home.Applications() / "wine-extension-secret.desktop", EntryText(wine, {.type = ".secret", .progId = "s"}));
        fs::permissions(home.Applications() / "wine-extension-secret.desktop", fs::perms(0600));
        const std::map<std::string, std::string> env = {{"SUDO_UID", "65534"},
                                                        {"XDG_DATA_HOME", home.Data().string()},
                                                        {"XDG_CONFIG_HOME", home.Config().string()}};
        std::string error;
        folders = *FindDesktopFolders(
            [env](const char* name) -> const char* {
                const auto it = env.find(name);
                return it == env.end() ? nullptr : it->second.c_str();
            },
            &error);
    }
};

TEST(DesktopFix, shouldWorkAsTheDesktopUserWhenRunAsRootForThem)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root";
    OtherUsersDesktop desktop;
    ASSERT_TRUE(desktop.folders.asUser);
    const DesktopScan scan = ScanDesktop(desktop.folders, ScanProbe());
    ASSERT_EQ(scan.entries.size(), 2u);
    ASSERT_EQ(scan.skipped.size(), 1u);
    EXPECT_NE(scan.skipped[0].reason.find("Permission denied"), std::string::npos) << "read as the user, not as root";

    DesktopFixOptions options;
    options.backupFolder = desktop.home.dir / "backups";
    const DesktopFixResult fixed = FixDesktop(scan, options);
    ASSERT_TRUE(fixed.Ok()) << fixed.failures[0];
    const fs::path apps = desktop.home.Applications();
    EXPECT_FALSE(fs::exists(apps / "wine-extension-foo.desktop"));
    for (const fs::path& written : {apps / "mimeapps.list", desktop.home.Config() / "mimeapps.list",
                                    desktop.wine / "user.reg", apps / "mimeinfo.cache"})
        EXPECT_EQ(OwnerOf(written), ft::kOtherUid) << written;
    EXPECT_TRUE(fs::exists(apps / "wine-extension-secret.desktop"));
    EXPECT_EQ(fixed.changedLists, (std::vector<fs::path>{desktop.home.Config() / "mimeapps.list", apps / "mimeapps.list"}));

    const DesktopRestoreResult restored = RestoreDesktopFile(fixed.backup, desktop.folders);
    EXPECT_TRUE(restored.Ok()) << restored.error;
    EXPECT_EQ(OwnerOf(apps / "wine-extension-foo.desktop"), ft::kOtherUid);
    EXPECT_EQ(ReadFile(apps / "mimeapps.list"), desktop.list);
}

TEST(DesktopFix, shouldNeverFollowTheUsersLinksWhereTheUserCouldNotWrite)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root";
    OtherUsersDesktop desktop;
    const DesktopScan scan = ScanDesktop(desktop.folders, ScanProbe());
    // Root's files, the same bytes as the user's, and links to them put in
    // place of the user's between the scan and the fix.
    const fs::path roots = desktop.home.dir / "roots";
    WriteFile(roots / "mimeapps.list", desktop.list);
    WriteFile(roots / "applications" / "wine-extension-foo.desktop", ReadFile(desktop.home.Applications() / "wine-extension-foo.desktop"));
    const auto swap = [](const fs::path& mine, const fs::path& target) {
        fs::rename(mine, mine.string() + ".old");
        fs::create_symlink(target, mine);
        ASSERT_EQ(::lchown(mine.c_str(), ft::kOtherUid, ft::kOtherGid), 0);
    };
    swap(desktop.home.Config() / "mimeapps.list", roots / "mimeapps.list");
    swap(desktop.home.Applications(), roots / "applications");
    const auto before = Snapshot(roots);

    DesktopFixOptions options;
    options.backupFolder = desktop.home.dir / "backups";
    const DesktopFixResult fixed = FixDesktop(scan, options);
    EXPECT_FALSE(fixed.Ok());
    ASSERT_EQ(fixed.failures.size(), 2u);
    EXPECT_NE(fixed.failures[0].find("wine-extension-foo.desktop changed since it was read"), std::string::npos);
    EXPECT_NE(fixed.failures[1].find("cannot create a file in " + roots.string()), std::string::npos);
    EXPECT_EQ(Snapshot(roots), before) << "nothing of root's changed";
    EXPECT_EQ(OwnerOf(roots / "mimeapps.list"), 0u);
}

}  // namespace
