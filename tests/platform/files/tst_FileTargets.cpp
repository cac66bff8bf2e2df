#include "platform/files/FileTargets.h"

#include "tests/support/Bytes.h"
#include "tests/support/ScratchFolder.h"
#include "tests/support/HiveBuilder.h"
#include "platform/Text.h"

#include <gtest/gtest.h>
#include <hivex.h>

#include <map>

namespace {

using namespace quelvo::platform;
using namespace quelvo::platform::files;
using namespace quelvo::regfile;
using namespace quelvo::test;
namespace fs = std::filesystem;

EnvironmentReader Env(std::map<std::string, std::string> values)
{
    return [values](const char* name) -> std::optional<std::string> {
        auto it = values.find(name);
        if (it == values.end())
            return std::nullopt;
        return it->second;
    };
}

std::u16string Expand(Target& target, std::u16string_view text)
{
    char16_t buffer[512];
    const std::size_t n = target.ExpandEnvironmentStrings(text, buffer, 512);
    return n ? std::u16string(buffer, n - 1) : std::u16string();
}

// A Wine prefix as wineboot leaves it: system.reg, drive_c and the
// dosdevices links.
fs::path MakePrefix(const ScratchFolder& dir, const std::string& name)
{
    const fs::path prefix = dir / name;
    fs::create_directories(prefix / "dosdevices");
    fs::create_directories(prefix / "drive_c" / "windows");
    WriteBytes(prefix / "drive_c" / "windows" / "notepad.exe", "MZ");
    fs::create_directory_symlink("../drive_c", prefix / "dosdevices" / "c:");
    fs::create_directory_symlink("/", prefix / "dosdevices" / "z:");
    fs::create_symlink("/dev/null", prefix / "dosdevices" / "com1");
    WriteBytes(prefix / "system.reg", ReadBytes(DataFile("system.reg")));
    return prefix;
}

TEST(FileTargets, shouldOpenTheWinePrefixNamedByQuelvoTarget)
{
    ScratchFolder dir;
    const fs::path prefix = MakePrefix(dir, "pfx");
    const TargetChoice choice = ChooseTarget(Env({{"QUELVO_TARGET", prefix.string()}, {"WINEPREFIX", "/nowhere"}}));
    ASSERT_TRUE(choice.target) << ToUtf8(choice.error);
    Target& target = *choice.target;
    EXPECT_EQ(target.Description(), u"Wine prefix " + FromUtf8(prefix.string()));
    EXPECT_EQ(Expand(target, u"%SystemRoot%|%windir%|%ProgramFiles%|%PATHEXT%|%nope%"),
              u"C:\\windows|C:\\windows|C:\\Program Files|.com;.exe;.bat;.cmd;.vbs;.vbe;.js;.jse;.wsf;.wsh|%nope%");
    EXPECT_TRUE(target.FileExists(u"C:\\WINDOWS\\Notepad.exe"));
    EXPECT_FALSE(target.FileExists(u"C:\\windows"));
    EXPECT_TRUE(target.FileExists(FromUtf8("Z:" + (prefix / "system.reg").string())));

    RegHandle key{};
    EXPECT_EQ(target.Registry().OpenKey(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Classes\\.chm", KEY_ALL_ACCESS, &key), kSuccess);
    target.Registry().CloseKey(key);
}

TEST(FileTargets, shouldFallBackToWineprefixThenToDotWine)
{
    ScratchFolder dir;
    const fs::path prefix = MakePrefix(dir, "pfx");
    MakePrefix(dir, ".wine");
    TargetChoice choice = ChooseTarget(Env({{"WINEPREFIX", prefix.string()}, {"HOME", dir.Path().string()}}));
    ASSERT_TRUE(choice.target);
    EXPECT_EQ(choice.tried, prefix);
    choice = ChooseTarget(Env({{"QUELVO_TARGET", ""}, {"HOME", dir.Path().string()}}));
    ASSERT_TRUE(choice.target);
    EXPECT_EQ(choice.tried, dir / ".wine");
}

TEST(FileTargets, shouldSayWhichPathWasTriedAndWhy)
{
    ScratchFolder dir;
    fs::create_directories(dir / "empty");
    fs::create_directories(dir / "broken");
    WriteBytes(dir / "broken" / "system.reg", "WINE REGISTRY Version 2\n\n[A] 1\n\"x\"=bogus\n");
    struct Case {
        std::map<std::string, std::string> env;
        std::string path;
        std::string why;
    };
    const Case cases[] = {
        {{{"QUELVO_TARGET", (dir / "missing").string()}}, (dir / "missing").string() + " (QUELVO_TARGET)",
         "the folder does not exist"},
        {{{"QUELVO_TARGET", (dir / "broken" / "system.reg").string()}}, (dir / "broken" / "system.reg").string(),
         "it is not a folder"},
        {{{"WINEPREFIX", (dir / "empty").string()}}, (dir / "empty").string() + " (WINEPREFIX)",
         "neither system.reg"},
        {{{"HOME", dir.Path().string()}}, (dir / ".wine").string() + " (the default Wine prefix)",
         "does not exist"},
        {{{"QUELVO_TARGET", (dir / "broken").string()}}, (dir / "broken").string(), "line 4: unrecognised value data"},
    };
    for (const auto& c : cases) {
        const TargetChoice choice = ChooseTarget(Env(c.env));
        EXPECT_FALSE(choice.target);
        const std::string error = ToUtf8(choice.error);
        EXPECT_NE(error.find(c.path), std::string::npos) << error;
        EXPECT_NE(error.find(c.why), std::string::npos) << error;
    }
    EXPECT_EQ(ReadBytes(dir / "broken" / "system.reg"), "WINE REGISTRY Version 2\n\n[A] 1\n\"x\"=bogus\n");
}

TEST(FileTargets, shouldOpenAnOfflineWindowsInstallation)
{
    ScratchFolder dir;
    const fs::path config = dir / "win" / "WINDOWS" / "system32" / "Config";
    fs::create_directories(config);
    fs::create_directories(dir / "win" / "Programs" / "App");
    WriteBytes(dir / "win" / "Programs" / "App" / "app.exe", "MZ");
    const fs::path hive = config / "software";
    WriteEmptyHive(hive);
    hive_h* h = hivex_open(hive.c_str(), HIVEX_OPEN_WRITE);
    ASSERT_NE(h, nullptr);
    const hive_node_h microsoft = hivex_node_add_child(h, hivex_root(h), "Microsoft");
    auto set = [&](hive_node_h parent, const char* key, const char* name, std::u16string_view text) {
        const hive_node_h node = hivex_node_add_child(h, parent, key);
        std::string bytes = Utf16Sz(text);
        hive_set_value value{const_cast<char*>(name), hive_t_REG_SZ, bytes.size(), bytes.data()};
        ASSERT_EQ(hivex_node_set_value(h, hivex_node_add_child(h, node, "CurrentVersion"), &value, 0), 0);
    };
    set(microsoft, "Windows NT", "SystemRoot", u"C:\\WINDOWS");
    set(microsoft, "Windows", "ProgramFilesDir", u"C:\\Programs");
    ASSERT_EQ(hivex_commit(h, nullptr, 0), 0);
    hivex_close(h);

    const TargetChoice choice = ChooseTarget(Env({{"QUELVO_TARGET", (dir / "win").string()}}));
    ASSERT_TRUE(choice.target) << ToUtf8(choice.error);
    EXPECT_EQ(choice.target->Description(), u"Windows installation " + FromUtf8((dir / "win").string()));
    EXPECT_EQ(Expand(*choice.target, u"%ProgramFiles%\\App\\app.exe"), u"C:\\Programs\\App\\app.exe");
    EXPECT_TRUE(choice.target->FileExists(u"c:\\programs\\app\\APP.EXE"));
    RegHandle key{};
    EXPECT_EQ(choice.target->Registry().OpenKey(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Microsoft", KEY_ALL_ACCESS, &key),
              kSuccess);
    choice.target->Registry().CloseKey(key);
}

}  // namespace

namespace {

// Short names as Wine hands them out, from a Wine prefix's own registry.
TEST(FileTargets, shouldGiveWinesOwnShortNames)
{
    const std::pair<std::u16string, std::u16string> cases[] = {
        {u"Program Files", u"PROG~FBU"},
        {u"Windows NT", u"WIND~QP2"},
        {u"Accessories", u"ACCE~VCO"},
    };
    for (const auto& [longName, shortName] : cases)
        EXPECT_EQ(WineShortName(longName), shortName) << ToUtf8(longName);
    const std::u16string withExtension = WineShortName(u"report.final.docx");
    EXPECT_EQ(withExtension.substr(0, 5), u"REPO~");
    EXPECT_EQ(withExtension.substr(8), u".DOC");
    EXPECT_EQ(WineShortName(u"a b").substr(0, 5), u"A_B~~");
}

TEST(FileTargets, shouldResolveWineShortNamesInAPrefix)
{
    ScratchFolder dir;
    const fs::path prefix = MakePrefix(dir, "pfx");
    const fs::path accessories = prefix / "drive_c" / "Program Files" / "Windows NT" / "Accessories";
    fs::create_directories(accessories);
    WriteBytes(accessories / "wordpad.exe", "MZ");
    std::u16string error;
    auto target = OpenWinePrefix(prefix, &error);
    ASSERT_TRUE(target) << ToUtf8(error);

    EXPECT_TRUE(target->FileExists(u"C:\\PROG~FBU\\WIND~QP2\\ACCE~VCO\\wordpad.exe"));
    EXPECT_TRUE(target->FileExists(u"c:\\prog~fbu\\Windows NT\\acce~vco\\WORDPAD.EXE"));
    EXPECT_FALSE(target->FileExists(u"C:\\PROG~FBU\\WIND~QP2\\ACCE~XXX\\wordpad.exe"));
    char16_t buffer[260];
    const std::size_t n = target->GetLongPathName(u"C:\\PROG~FBU\\WIND~QP2\\ACCE~VCO\\wordpad.exe", buffer, 260);
    EXPECT_EQ(std::u16string(buffer, n), u"C:\\Program Files\\Windows NT\\Accessories\\wordpad.exe");
    // Windows-style generated names name nothing Wine could open.
    EXPECT_FALSE(target->FileExists(u"C:\\PROGRA~1\\WINDOW~1\\ACCESS~1\\wordpad.exe"));
    EXPECT_FALSE(target->FileExists(u"C:\\PROGRA~1\\Windows NT\\Accessories\\wordpad.exe"));
    EXPECT_EQ(target->GetLongPathName(u"C:\\PROGRA~1\\WIND~QP2", buffer, 260), 0u);
    // A valid 8.3 name is its own short name, with no hashed one beside it.
    EXPECT_TRUE(target->FileExists(u"C:\\WINDOWS\\notepad.exe"));
    EXPECT_FALSE(target->FileExists(u"C:\\" + WineShortName(u"windows") + u"\\notepad.exe"));
}

TEST(FileTargets, shouldHashWineShortNamesOfNamesBeyondAsciiWithTheirLowerCase)
{
    // The hash takes each unit lower-cased by the Unicode table, so both
    // spellings of a name get the same short name.
    EXPECT_EQ(WineShortName(u"Ärger Ordner"), WineShortName(u"ärger ordner"));
    EXPECT_EQ(WineShortName(u"ΣΎΝΟΛΟ data"), WineShortName(u"σύνολο DATA"));
    EXPECT_EQ(WineShortName(u"Ärger Ordner").substr(0, 5), u"_RGE~");
    EXPECT_TRUE(IsWineLegalShortName(u"PROGRA~1"));
    EXPECT_TRUE(IsWineLegalShortName(u"readme.txt"));
    EXPECT_FALSE(IsWineLegalShortName(u"Program Files"));
    EXPECT_FALSE(IsWineLegalShortName(u"a.b.c"));
    EXPECT_FALSE(IsWineLegalShortName(u"äbc"));
}

// ntfs-3g shows the short name NTFS stored as an extended attribute, which
// is used where present; elsewhere the generated names stand in.
TEST(FileTargets, shouldResolveTheShortNamesAnNtfsInstallationStored)
{
    ScratchFolder dir;
    const fs::path root = dir / "win";
    fs::create_directories(root / "Windows" / "System32" / "config");
    WriteEmptyHive(root / "Windows" / "System32" / "config" / "SOFTWARE");
    fs::create_directories(root / "Program Files" / "Internet Explorer");
    fs::create_directories(root / "Program Data");
    WriteBytes(root / "Program Files" / "Internet Explorer" / "iexplore.exe", "MZ");
    std::u16string error;
    auto target = OpenWindowsInstallation(root, &error);
    ASSERT_TRUE(target) << ToUtf8(error);

    // Not an ntfs-3g mount (no attribute): Windows' generated names.
    target->SetDosNameReader([](const fs::path&) { return DosName{DosName::Unsupported, {}}; });
    EXPECT_TRUE(target->FileExists(u"C:\\PROGRA~2\\INTERN~1\\iexplore.exe"));

    // Stored names win, even where generation would have chosen otherwise;
    // an entry with none has only its long name.
    const std::map<std::string, std::u16string> stored = {
        {"Program Files", u"PROGRA~1"}, {"Program Data", u"PROGRA~2"}, {"Internet Explorer", u"INTERN~3"}};
    target->SetDosNameReader([&](const fs::path& entry) {
        auto it = stored.find(entry.filename().string());
        return it == stored.end() ? DosName{DosName::None, {}} : DosName{DosName::Stored, it->second};
    });
    EXPECT_TRUE(target->FileExists(u"C:\\progra~1\\INTERN~3\\iexplore.exe"));
    EXPECT_FALSE(target->FileExists(u"C:\\PROGRA~2\\INTERN~3\\iexplore.exe")) << "PROGRA~2 is Program Data";
    EXPECT_FALSE(target->FileExists(u"C:\\PROGRA~1\\INTERN~1\\iexplore.exe"));
    char16_t buffer[260];
    const std::size_t n = target->GetLongPathName(u"C:\\PROGRA~1\\INTERN~3\\IEXPLORE.EXE", buffer, 260);
    EXPECT_EQ(std::u16string(buffer, n), u"C:\\Program Files\\Internet Explorer\\IEXPLORE.EXE");

    // The attribute as ntfs-3g shows it is read through getxattr; here the
    // file system has none, which counts as unsupported or absent.
    EXPECT_NE(ReadNtfsDosName(root / "Program Files").kind, DosName::Stored);
}

}  // namespace
