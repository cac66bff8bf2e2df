// quelvo-scan --desktop: Wine's entries of the desktop user listed by prefix
// (text, JSON, JSON lines), the stale ones removed with --fix and nothing
// else, and the repair of a Wine prefix removing the entries of its keys.

#include "ScanCliSupport.h"

#include "tests/desktop/WineDesktop.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <map>

namespace {

using namespace quelvo::scancli::test;
using namespace quelvo::desktop::test;
using namespace quelvo::platform::files::test;
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
