#include "desktop/DesktopScan.h"

#include "tests/desktop/WineDesktop.h"

#include <gtest/gtest.h>

using namespace quelvo::desktop;
using namespace quelvo::desktop::test;

namespace {

const FoundEntry* Find(const DesktopScan& scan, const std::string& name)
{
    for (const FoundEntry& found : scan.entries) {
        if (found.entry.fileName == name)
            return &found;
    }
    return nullptr;
}

TEST(DesktopScan, shouldTieEachEntryToItsPrefixAndJudgeItByWinesRule)
{
    const EveryState desktop;
    const DesktopScan scan = ScanDesktop(desktop.home.Folders(), ScanProbe());
    EXPECT_TRUE(scan.Complete());
    struct Expected {
        const char* name;
        fs::path prefix;
        EntryState state;
        bool changed;
        const char* reason;  // a part of it
    } expected[] = {
        {"wine-extension-txt.desktop", desktop.wine, EntryState::Live, false, ""},
        {"wine-extension-mp3.desktop", desktop.wine, EntryState::ProgramGone, false, "Missing\\player.exe is missing"},
        {"wine-extension-foo.desktop", desktop.wine, EntryState::AssociationGone, false, ".foo is not registered"},
        {"wine-extension-bar.desktop", desktop.wine, EntryState::AssociationGone, false, "barfile has no open command"},
        {"wine-extension-xyz.desktop", desktop.wine, EntryState::AssociationGone, false, "now names other, not xyzfile"},
        {"wine-extension-abc.desktop", desktop.wine, EntryState::Live, false, ""},
        {"wine-protocol-irc.desktop", desktop.wine, EntryState::Live, false, ""},
        {"wine-extension-log.desktop", desktop.wine, EntryState::AssociationGone, true, ""},
        {"wine-extension-doc.desktop", desktop.games, EntryState::PrefixGone, false, "there is no folder"},
        {"wine-extension-rtf.desktop", desktop.empty, EntryState::PrefixGone, false, "it has no system.reg"},
        {"wine-extension-ini.desktop", desktop.shared, EntryState::AssociationGone, false, "inifile has no open command"},
    };
    ASSERT_EQ(scan.entries.size(), std::size(expected));
    for (const Expected& e : expected) {
        const FoundEntry* found = Find(scan, e.name);
        ASSERT_TRUE(found) << e.name;
        EXPECT_EQ(found->prefix, e.prefix) << e.name;
        EXPECT_EQ(found->state, e.state) << e.name << ": " << found->reason;
        EXPECT_EQ(found->ChangedByUser(), e.changed) << e.name;
        EXPECT_NE(found->reason.find(e.reason), std::string::npos) << e.name << ": " << found->reason;
    }
    EXPECT_EQ(Find(scan, "wine-extension-log.desktop")->changes,
              std::vector<std::string>{"a Name other than the one Wine recorded"});
    EXPECT_EQ(Find(scan, "wine-extension-ini.desktop")->alsoRecordedBy, std::vector<fs::path>{desktop.wine});
    EXPECT_TRUE(Find(scan, "wine-extension-ini.desktop")->record) << "the prefix that wrote it last recorded it";

    const std::map<std::string, std::string> skipped = {
        {"wine-extension-lnk.desktop", "is a symbolic link"},
        {"wine-extension-fifo.desktop", "is a FIFO"},
        {"wine-extension-big.desktop", "is larger than 65536 bytes"},
        {"wine-extension-bin.desktop", "it is not UTF-8 text"},
        {"wine-extension-vlc.desktop", "its Exec does not start Wine"},
    };
    ASSERT_EQ(scan.skipped.size(), skipped.size());
    for (const SkippedFile& file : scan.skipped) {
        ASSERT_TRUE(skipped.count(file.name)) << file.name;
        EXPECT_NE(file.reason.find(skipped.at(file.name)), std::string::npos) << file.name << ": " << file.reason;
    }
}

TEST(DesktopScan, shouldReadTheDesktopUsersFoldersFromTheEnvironment)
{
    const std::map<std::string, std::string> values = {
        {"HOME", "/home/u"}, {"XDG_DATA_HOME", "relative/data"}, {"XDG_CURRENT_DESKTOP", "ubuntu:GNOME::../x"}};
    std::string error;
    const auto folders = FindDesktopFolders(
        [&](const char* name) -> const char* {
            const auto it = values.find(name);
            return it == values.end() ? nullptr : it->second.c_str();
        },
        &error);
    ASSERT_TRUE(folders) << error;
    EXPECT_EQ(folders->dataHome, "/home/u/.local/share") << "a relative XDG_DATA_HOME is ignored, as the desktops do";
    EXPECT_EQ(folders->MimeAppsLists(),
              (std::vector<fs::path>{"/home/u/.config/ubuntu-mimeapps.list", "/home/u/.config/gnome-mimeapps.list",
                                     "/home/u/.config/mimeapps.list",
                                     "/home/u/.local/share/applications/ubuntu-mimeapps.list",
                                     "/home/u/.local/share/applications/gnome-mimeapps.list",
                                     "/home/u/.local/share/applications/mimeapps.list"}));
    EXPECT_EQ(NormalPrefixPath("/home/u//.wine/"), fs::path("/home/u/.wine"));
    EXPECT_NE(NormalPrefixPath("/home/u/.wine-games"), NormalPrefixPath("/home/u/.wine"));
}

}  // namespace
