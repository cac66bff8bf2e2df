// quelvo-scan --desktop: Wine's entries of the desktop user listed by prefix
// (text, JSON, JSON lines), the stale ones removed with --fix and nothing
// else, and the repair of a Wine prefix removing the entries of its keys.

#include "ScanCliSupport.h"

#include "tests/desktop/WineDesktop.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <fstream>
#include <map>
#include <set>

namespace {

using namespace quelvo::scancli::test;
using namespace quelvo::desktop::test;
using namespace quelvo::test;
using nlohmann::json;
using ::testing::HasSubstr;

class DesktopCommand : public ::testing::Test {
protected:
    void SetUp() override { env.UseHome(desktop.home); }

    std::string Backups() const { return (desktop.home.dir / "backups").string(); }
    bool Exists(const std::string& name) const { return fs::exists(desktop.home.Applications() / name); }

    // Each entry's state, by file name.
    static std::map<std::string, std::string> States(const json& report)
    {
        std::map<std::string, std::string> states;
        for (const json& prefix : report["prefixes"])
            for (const json& entry : prefix["entries"])
                states[fs::path(entry["file"].get<std::string>()).filename().string()] =
                    entry["state"].get<std::string>() + (entry["changedByUser"].get<bool>() ? ", changed" : "");
        return states;
    }

    EveryState desktop;
    ScopedEnvironment env;
};

TEST_F(DesktopCommand, shouldListWinesEntriesByPrefixInTextAndJson)
{
    const CommandRun text = RunScan({"--desktop"});
    EXPECT_EQ(text.status, 1) << text.err;
    EXPECT_THAT(text.out, HasSubstr("\nPrefix " + desktop.games.string() + " (gone: there is no folder"));
    EXPECT_THAT(text.out, HasSubstr("  wine-extension-foo.desktop      .foo    association gone: the extension .foo is not "
                                    "registered any more\n"));
    EXPECT_THAT(text.out, HasSubstr("program gone: its program C:\\Program Files\\Missing\\player.exe is missing (stale "
                                    "only with --desktop-programs)"));
    EXPECT_THAT(text.out, HasSubstr("  wine-extension-lnk.desktop: is a symbolic link, not a file Wine wrote\n"));
    EXPECT_THAT(text.out, HasSubstr("6 stale entries, 1 more whose program is gone, 1 changed by their user (kept).\n"
                                    "Run quelvo-scan --desktop --fix"));

    const json report = ParseJson(RunScan({"--desktop", "--format", "json"}).out);
    EXPECT_EQ(report["report"], "desktop");
    EXPECT_EQ(report["exitStatus"], 1);
    EXPECT_EQ(report["complete"], true);
    const std::map<std::string, std::string> states = {
        {"wine-extension-txt.desktop", "live"},        {"wine-extension-mp3.desktop", "program-gone"},
        {"wine-extension-foo.desktop", "association-gone"}, {"wine-extension-bar.desktop", "association-gone"},
        {"wine-extension-xyz.desktop", "association-gone"}, {"wine-extension-abc.desktop", "live"},
        {"wine-protocol-irc.desktop", "live"},          {"wine-extension-log.desktop", "association-gone, changed"},
        {"wine-extension-doc.desktop", "prefix-gone"}, {"wine-extension-rtf.desktop", "prefix-gone"},
        {"wine-extension-ini.desktop", "association-gone"}};
    EXPECT_EQ(States(report), states);
    EXPECT_EQ(report["counts"]["stale"], 6);
    EXPECT_EQ(report["counts"]["notWine"], 5);
    EXPECT_EQ(report["prefixes"].size(), 4u);

    const std::vector<json> lines = ParseJsonLines(RunScan({"--desktop", "--format", "jsonl"}).out);
    ASSERT_EQ(lines.size(), 12u);
    EXPECT_EQ(lines[0]["record"], "report");
    EXPECT_FALSE(lines[0]["prefixes"][0].contains("entries"));
    EXPECT_EQ(lines[1]["record"], "desktop-entry");
}

TEST_F(DesktopCommand, shouldRemoveTheStaleEntriesAndNothingElse)
{
    const CommandRun fixed = RunScan({"--desktop", "--fix", "--backup-dir", Backups()});
    EXPECT_EQ(fixed.status, 0) << fixed.out << fixed.err;
    EXPECT_THAT(fixed.out, HasSubstr("Backup: " + Backups() + "/desktop-"));
    EXPECT_THAT(fixed.out, HasSubstr("wine-extension-fifo.desktop is not a regular file, and update-desktop-database "
                                     "would wait on it forever"))
        << "the user's FIFO would hang the desktop's tool: it is not run, and says why";
    for (const char* gone : {"foo", "bar", "xyz", "doc", "rtf", "ini"})
        EXPECT_FALSE(Exists(std::string("wine-extension-") + gone + ".desktop")) << gone;
    for (const char* kept : {"wine-extension-txt.desktop", "wine-extension-mp3.desktop", "wine-extension-abc.desktop",
                             "wine-protocol-irc.desktop", "wine-extension-log.desktop", "wine-extension-lnk.desktop"})
        EXPECT_TRUE(Exists(kept)) << kept;
    EXPECT_EQ(RunScan({"--desktop"}).status, 0) << "nothing stale is left";

    EXPECT_EQ(RunScan({"--desktop", "--desktop-programs"}).status, 1);
    const json report = ParseJson(RunScan({"--desktop", "--desktop-programs", "--fix", "--backup-dir", Backups(),
                                           "--format", "json"}).out);
    EXPECT_EQ(report["exitStatus"], 0);
    ASSERT_EQ(report["fix"]["removed"].size(), 1u);
    EXPECT_EQ(report["fix"]["removed"][0]["path"], (desktop.home.Applications() / "wine-extension-mp3.desktop").string());
}

TEST_F(DesktopCommand, shouldChangeTheDesktopsOwnAnswerOnlyForTheStaleEntries)
{
    const fs::path root = desktop.home.dir.Path(), apps = desktop.home.Applications();
    // The desktop's own tools would wait on the FIFO as update-desktop-database
    // would, and read all 100 MB at every question.
    fs::remove(apps / "wine-extension-fifo.desktop");
    fs::remove(apps / "wine-extension-big.desktop");
    // Another program the user has, which the lists name after Wine's doc.
    WriteFile(apps / "writer.desktop",
              "[Desktop Entry]\nType=Application\nName=Writer\nMimeType=application/msword;image/png;\nExec=true %f\n");
    // Wine refreshed the caches when it wrote its entries.
    ASSERT_EQ(std::system(("update-mime-database '" + (desktop.home.Data() / "mime").string()
                           + "' && update-desktop-database '" + apps.string() + "'").c_str()), 0);
    const auto answer = [&](const std::string& id) { return "xdg-mime: " + id + ", gio: " + id; };
    // Type, the desktop's default before, and after the fix (empty: no
    // application). xdg-mime reads no Added Associations: it takes the
    // cache's first (for msword the user's link, which is not Wine's).
    const std::vector<std::array<std::string, 3>> types = {
        {"text/plain", answer("wine-extension-txt.desktop"), answer("wine-extension-txt.desktop")},
        {"x-scheme-handler/irc", answer("wine-protocol-irc.desktop"), answer("wine-protocol-irc.desktop")},
        {"audio/mpeg", answer("wine-extension-mp3.desktop"), answer("wine-extension-mp3.desktop")},
        {"text/x-log", answer("wine-extension-log.desktop"), answer("wine-extension-log.desktop")},
        {"image/png", answer("writer.desktop"), answer("writer.desktop")},
        {"application/x-thing", "xdg-mime: wine-extension-abc.desktop, gio: wine-extension-bar.desktop",
         answer("wine-extension-abc.desktop")},
        {"application/msword", answer("wine-extension-doc.desktop"),
         "xdg-mime: wine-extension-lnk.desktop, gio: writer.desktop"},
        {"application/x-wine-extension-foo", answer("wine-extension-foo.desktop"), ""},
        {"text/x-ini", answer("wine-extension-ini.desktop"), ""},
        {"text/rtf", answer("wine-extension-rtf.desktop"), ""}};
    // Each question costs a few of the tools' processes: asked before only
    // where the answer must change.
    for (const auto& [type, before, after] : types) {
        if (before != after)
            EXPECT_EQ(DesktopDefault(desktop.home, type), before) << type;
    }
    // What the desktop's tools build from the entries and packages.
    const auto withoutCaches = [&](std::map<fs::path, std::string> files) {
        std::erase_if(files, [&](const auto& item) {
            const std::string relative = item.first.lexically_relative(root).string();
            return relative == "data/applications/mimeinfo.cache"
                || (relative.rfind("data/mime/", 0) == 0 && relative.rfind("data/mime/packages/", 0) != 0);
        });
        return files;
    };
    const auto before = withoutCaches(Snapshot(root));

    const CommandRun fixed = RunScan({"--desktop", "--fix", "--backup-dir", Backups()});
    EXPECT_EQ(fixed.status, 0) << fixed.out << fixed.err;
    EXPECT_THAT(fixed.out, HasSubstr("\nRemoved: " + (apps / "wine-extension-foo.desktop").string() + "\n"));
    EXPECT_THAT(fixed.out, HasSubstr("\nTook the removed entries out of: " + (desktop.home.Config() / "mimeapps.list").string()
                                     + "\nTook the removed entries out of: " + (apps / "mimeapps.list").string() + "\n"));
    EXPECT_THAT(fixed.out, HasSubstr("\nRefreshed: update-desktop-database"));
    EXPECT_THAT(fixed.out, HasSubstr("\nRefreshed: update-mime-database"));
    EXPECT_EQ(fixed.err, "");

    for (const auto& [type, was, now] : types) {
        const std::string desktopSays = DesktopDefault(desktop.home, type);
        if (now.empty())
            EXPECT_EQ(desktopSays.find(".desktop"), std::string::npos) << type << ": " << desktopSays;
        else
            EXPECT_EQ(desktopSays, now) << type;
    }
    EXPECT_EQ(AskDesktop(desktop.home, "gio mime application/x-thing").find("wine-extension-bar"), std::string::npos);

    std::set<std::string> changed = Changed(before, withoutCaches(Snapshot(root)), root);
    std::erase_if(changed, [](const std::string& path) { return path.rfind("backups/desktop-", 0) == 0; });
    EXPECT_EQ(changed, EveryState::StaleTraces());
    EXPECT_EQ(ReadFile(desktop.home.Config() / "mimeapps.list"),
              "# chosen by hand\n[Default Applications]\ntext/plain=wine-extension-txt.desktop;gedit.desktop;\n"
              "\n[Added Associations]\napplication/msword=writer.desktop;\n"
              "[X-Mine]\napplication/msword=wine-extension-doc.desktop;\n")
        << "only the stale ids out of the lists the desktop reads; an unknown group is not the desktop's";
}

TEST_F(DesktopCommand, shouldExitWithTheStatusOfWhatIsLeft)
{
    // As a script runs it: whatever $WINEPREFIX says, --desktop looks at every prefix.
    env.Set("WINEPREFIX", desktop.games.string());
    struct Row {
        std::vector<std::string> args;
        int status;
    };
    const std::vector<Row> rows = {
        {{"--desktop"}, 1},
        {{"--desktop", "--ext", ".txt"}, 0},
        {{"--desktop", "--ext", "mp3"}, 0},
        {{"--desktop", "--ext", "mp3", "--desktop-programs"}, 1},
        {{"--desktop", "--ext", ".log"}, 0},
        {{"--desktop", "--target", desktop.games.string()}, 1},
        {{"--desktop", "--target", (desktop.home.dir / "nowhere").string()}, 0},
        {{"--desktop", "--target", desktop.wine.string(), "--ext", "rtf"}, 0},
    };
    for (const Row& row : rows) {
        std::string words;
        for (const std::string& word : row.args)
            words += " " + word;
        const CommandRun text = RunScan(row.args);
        EXPECT_EQ(text.status, row.status) << words << "\n" << text.out << text.err;
        std::vector<std::string> args = row.args;
        args.insert(args.end(), {"--format", "json"});
        const CommandRun json = RunScan(args);
        EXPECT_EQ(json.status, row.status) << words;
        EXPECT_EQ(ParseJson(json.out)["exitStatus"], row.status) << words;
    }
    EXPECT_EQ(ParseJson(RunScan({"--desktop", "--format", "json"}).out)["counts"]["entries"], 11);

    for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
             {"--desktop", "--format", "xml"}, {"--desktop", "--bogus"}, {"--desktop", "--target", ""},
             {"--desktop", "--backup-dir"}, {"--desktop", "--library", "lib.txt"}, {"--desktop-programs"}}) {
        const CommandRun run = RunScan(bad);
        EXPECT_EQ(run.status, 2) << bad.back();
        EXPECT_EQ(run.out, "") << bad.back() << ": nothing on standard output";
        EXPECT_THAT(run.err, HasSubstr("quelvo-scan: ")) << bad.back();
    }

    // A prefix whose user.reg is damaged: its entry cannot be judged.
    const fs::path damaged = desktop.home.dir / "home" / "damaged";
    Prefix(damaged).Extension(".cfg", "cfgfile", "C:\\windows\\notepad.exe %1").Write();
    WriteFile(damaged / "user.reg", std::string("\x7f" "ELF\0\1", 6));
    WriteFile(desktop.home.Applications() / "wine-extension-cfg.desktop", EntryText(damaged, {.type = ".cfg", .progId = "cfgfile"}));
    const CommandRun unread = RunScan({"--desktop", "--fix", "--backup-dir", Backups(), "--format", "json"});
    EXPECT_EQ(unread.status, 3) << unread.out;
    const json report = ParseJson(unread.out);
    EXPECT_EQ(report["complete"], false);
    EXPECT_EQ(report["counts"]["notChecked"], 1);
    EXPECT_TRUE(Exists("wine-extension-cfg.desktop")) << "an entry not judged is never removed";
    EXPECT_EQ(RunScan({"--desktop", "--target", desktop.wine.string()}).status, 0) << "of another prefix, all fixed";
}

TEST_F(DesktopCommand, shouldRemoveOnlyThePrefixAndExtensionAskedFor)
{
    EXPECT_EQ(RunScan({"--desktop", "--target", desktop.shared.string() + "/", "--fix", "--backup-dir", Backups()}).status, 0);
    EXPECT_FALSE(Exists("wine-extension-ini.desktop"));
    EXPECT_TRUE(Exists("wine-extension-foo.desktop")) << "of another prefix";
    EXPECT_EQ(RunScan({"--desktop", "--ext", "DOC", "--fix", "--backup-dir", Backups()}).status, 0);
    EXPECT_FALSE(Exists("wine-extension-doc.desktop"));
    EXPECT_TRUE(Exists("wine-extension-rtf.desktop"));
    EXPECT_EQ(RunScan({"--desktop", "--target", desktop.wine.string(), "--ext", "foo"}).status, 1);
}

TEST_F(DesktopCommand, shouldRefuseOptionsThatDoNotApply)
{
    EXPECT_EQ(RunScan({"--desktop-programs"}).status, 2);
    EXPECT_EQ(RunScan({"--desktop", "--library", "lib.txt"}).status, 2);
}

TEST_F(DesktopCommand, shouldSayWhenAnEntryCouldNotBeRead)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root, to act for another user";
    WriteFile(desktop.home.Applications() / "wine-extension-secret.desktop", "[Desktop Entry]\n");
    fs::permissions(desktop.home.Applications() / "wine-extension-secret.desktop", fs::perms(0600));
    ChownTree(desktop.home.Data(), kOtherUid, kOtherGid);
    fs::permissions(desktop.home.dir.Path(), fs::perms(0755));
    ::chown((desktop.home.Applications() / "wine-extension-secret.desktop").c_str(), 0, 0);
    env.Set("SUDO_UID", "65534");
    const CommandRun run = RunScan({"--desktop"});
    EXPECT_EQ(run.status, 3) << run.out;
    EXPECT_THAT(run.out, HasSubstr("wine-extension-secret.desktop: cannot be read"));
}

TEST_F(DesktopCommand, shouldRemoveTheEntriesOfTheKeysARepairRemoves)
{
    // .foo names a ProgID that is gone: a registry problem the repair removes.
    std::ofstream(desktop.home.dir / "lib.txt") << "==Text==\ntxt\n";
    Prefix prefix(desktop.home.dir / "home" / "repaired");
    prefix.Extension(".foo", "gonefile", "");
    WriteFile(desktop.home.Applications() / "wine-extension-foo.desktop",
              EntryText(prefix.Path(), {.type = ".foo", .progId = "gonefile"}));
    prefix.Write();
    const json report = ParseJson(RunScan({"--target", prefix.Path().string(), "--fix", "--backup-dir", Backups(),
                                           "--library", (desktop.home.dir / "lib.txt").string(), "--format", "json"})
                                      .out);
    EXPECT_EQ(report["repair"]["desktop"]["removed"][0]["path"],
              (desktop.home.Applications() / "wine-extension-foo.desktop").string());
    EXPECT_FALSE(Exists("wine-extension-foo.desktop"));
    std::vector<std::string> kinds;
    for (const json& backup : report["repair"]["backups"])
        kinds.push_back(backup["kind"]);
    EXPECT_EQ(kinds, (std::vector<std::string>{"reg", "desktop"}));
}

}  // namespace
