// quelvo-scan run in-process: its options, its exit statuses, what its
// report says of each extension, its repair with the window's safeguards,
// and registry names of every kind written as strict JSON.

#include "ScanCliSupport.h"

#include "FilesTestSupport.h"
#include "HiveTestSupport.h"

#include "ReportWriters.h"
#include "platform/Text.h"
#include "platform/files/HiveImage.h"
#include "platform/files/RegExport.h"
#include "platform/files/WineServer.h"
#include "report/Unit_QLV_ReportActions.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <hivex.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <set>

namespace {

namespace fs = std::filesystem;
using namespace quelvo;
using namespace quelvo::scancli;
using namespace quelvo::scancli::test;
using namespace quelvo::platform::files::test;
using nlohmann::json;
using ::testing::HasSubstr;
using ::testing::StartsWith;

std::string N(std::u16string_view text) { return platform::ToUtf8(text); }

// One key of every case of the worker's outcome table, and two programs.
std::vector<PrefixKey> EveryCase()
{
    return {
        ClassesKey(u".noval"),
        ClassesKey(u".emptysub", u""),
        PrefixKey{{u"Software", u"Classes", u".emptysub", u"OpenWithProgids"}, u"x"},
        ClassesKey(u".empty", u""),
        ClassesKey(u".gonesub", u"nofile"),
        PrefixKey{{u"Software", u"Classes", u".gonesub", u"OpenWithProgids"}, u"x"},
        ClassesKey(u".gone", u"nofile"),
        ClassesKey(u".nocmd", u"nocmdfile"),
        ClassesKey(u"nocmdfile", u"No command"),
        ClassesKey(u".emptycmd", u"emptycmdfile"),
        PrefixKey{{u"Software", u"Classes", u"emptycmdfile", u"Shell", u"Open", u"Command"}, u""},
        ClassesKey(u".nopath", u"nopathfile"),
        PrefixKey{{u"Software", u"Classes", u"nopathfile", u"Shell", u"Open", u"Command"}, u"notepad.exe %1"},
        ClassesKey(u".good", u"goodfile"),
        PrefixKey{{u"Software", u"Classes", u"goodfile", u"Shell", u"Open", u"Command"}, u"\"C:\\Apps\\good.exe\" %1"},
        ClassesKey(u".missing", u"missingfile"),
        PrefixKey{{u"Software", u"Classes", u"missingfile", u"Shell", u"Open", u"Command"},
                  u"C:\\Apps\\missing.exe %1"},
    };
}

class ScanCommand : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::ofstream(dir / "lib.txt") << "==Documents==\ngood\n==Media==\nmissing\nempty\n";
        library = (dir / "lib.txt").string();
        backups = (dir / "backups").string();
    }

    fs::path Prefix(const std::vector<PrefixKey>& keys, const std::string& name = "pfx")
    {
        const fs::path prefix = WritePrefix(dir / name, keys);
        fs::create_directories(prefix / "drive_c" / "Apps");
        std::ofstream(prefix / "drive_c" / "Apps" / "good.exe") << "MZ";
        return prefix;
    }

    CommandRun Scan(const fs::path& target, std::vector<std::string> more = {})
    {
        std::vector<std::string> args = {"--target", target.string(), "--library", library, "--backup-dir", backups};
        args.insert(args.end(), more.begin(), more.end());
        return RunScan(args);
    }

    json ScanJson(const fs::path& target, std::vector<std::string> more = {}, int* status = nullptr)
    {
        more.insert(more.begin(), {"--format", "json"});
        const CommandRun run = Scan(target, more);
        if (status)
            *status = run.status;
        return ParseJson(run.out);
    }

    TempDir dir;
    std::string library;
    std::string backups;
};

TEST_F(ScanCommand, shouldAnswerHelpAndVersionAndRefuseBadUsageWithStatusTwo)
{
    struct Case {
        std::vector<std::string> args;
        int status;
        const char* said;  // on standard output for 0, on standard error for 2
    };
    const fs::path prefix = Prefix({});
    const std::string target = prefix.string();
    const Case cases[] = {
        {{"--help"}, 0, "--format"},
        {{"--version"}, 0, "quelvo-scan " QUELVO_VERSION},
        {{"--frobnicate"}, 2, "--frobnicate"},
        {{"--format", "xml"}, 2, "xml"},
        {{"--ext"}, 2, "--ext"},
        {{"somewhere"}, 2, "somewhere"},
        {{"--target", ""}, 2, "--target: an empty folder name"},
        {{"--backup-dir", ""}, 2, "--backup-dir: an empty folder name"},
        {{"--target", target, "--library", (dir / "no-such-library.txt").string()}, 2, "no-such-library.txt"},
        {{"--target", target, "--library", dir.Path().string()}, 2, "is not a file"},
    };
    for (const Case& c : cases) {
        const CommandRun run = RunScan(c.args);
        const std::string& words = c.status == 0 ? run.out : run.err;
        EXPECT_EQ(run.status, c.status) << c.args.front();
        EXPECT_THAT(words, HasSubstr(c.said)) << c.args.front();
        if (c.status == 2) {
            EXPECT_EQ(run.out, "") << "nothing for a script to misread: " << c.args.front();
        }
    }
}

TEST_F(ScanCommand, shouldReportWhatTheScanReadOfEachExtension)
{
    struct Expected {
        const char16_t* name;
        const char* cls;
        const char* finding;
        const char* group;
        json progId, command, programPath, programExists;
    };
    const json null;
    const Expected expected[] = {
        {u".noval", "not-listed", "no-default-value", "Unknown", null, null, null, null},
        {u".emptysub", "not-listed", "empty-default-value-with-sub-keys", "Unknown", "", null, null, null},
        {u".empty", "registry-problem", "empty-default-value", "Media", "", null, null, null},
        {u".gonesub", "not-listed", "missing-file-type-with-sub-keys", "Unknown", "nofile", null, null, null},
        {u".gone", "registry-problem", "missing-file-type", "Unknown", "nofile", null, null, null},
        {u".nocmd", "not-listed", "no-open-command", "Unknown", "nocmdfile", null, null, null},
        {u".emptycmd", "not-listed", "empty-open-command", "Unknown", "emptycmdfile", "", null, null},
        {u".nopath", "not-listed", "no-program-path", "Unknown", "nopathfile", "notepad.exe %1", null, null},
        {u".good", "valid", "program-path", "Documents", "goodfile", "\"C:\\Apps\\good.exe\" %1", "C:\\Apps\\good.exe",
         true},
        {u".missing", "needs-application", "program-path", "Media", "missingfile", "C:\\Apps\\missing.exe %1",
         "C:\\Apps\\missing.exe", false},
    };
    int status = -1;
    const json report = ScanJson(Prefix(EveryCase()), {}, &status);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(report["schema"], "quelvo-scan/1");
    EXPECT_EQ(report["target"]["kind"], "wine-prefix");
    EXPECT_EQ(report["target"]["state"], "complete");
    EXPECT_EQ(report["counts"], json({{"examined", 10}, {"problems", 3}, {"registryProblems", 2},
                                      {"needsApplication", 1}, {"valid", 1}}));
    ASSERT_EQ(report["extensions"].size(), std::size(expected));
    for (const Expected& e : expected) {
        const json* entry = Extension(report, e.name);
        ASSERT_TRUE(entry) << N(e.name);
        EXPECT_EQ((*entry)["class"], e.cls) << N(e.name);
        EXPECT_EQ((*entry)["finding"], e.finding) << N(e.name);
        EXPECT_EQ((*entry)["group"], e.group) << N(e.name);
        EXPECT_EQ((*entry)["progId"], e.progId) << N(e.name);
        EXPECT_EQ((*entry)["command"], e.command) << N(e.name);
        EXPECT_EQ((*entry)["programPath"], e.programPath) << N(e.name);
        EXPECT_EQ((*entry)["programExists"], e.programExists) << N(e.name);
    }
    EXPECT_EQ(report["exitStatus"], 1);
    EXPECT_TRUE(report["repair"].is_null());
}

TEST_F(ScanCommand, shouldGiveTheExitStatusAScriptActsOn)
{
    struct Case {
        const char* what;
        std::function<fs::path()> make;
        int status;
        const char* state;
    };
    const DirtyHive dirty = MakeDirtyHive(ChangeClassesHive({}, {{{".doc", "docfile"}}, {}, {"docfile"}}),
                                          ChangeClassesHive({}, {{{".doc", "docfile"}, {".new", "none"}}, {}, {"docfile"}}));
    const Case cases[] = {
        {"a clean prefix", [&] { return Prefix({ClassesKey(u".good", u"goodfile"),
                                                PrefixKey{{u"Software", u"Classes", u"goodfile", u"Shell", u"Open", u"Command"},
                                                          u"C:\\Apps\\good.exe"}}, "clean"); }, 0, "complete"},
        {"an empty prefix", [&] { return Prefix({}, "empty"); }, 0, "complete"},
        {"registry problems", [&] { return Prefix({ClassesKey(u".empty", u"")}, "broken"); }, 1, "complete"},
        {"a program missing", [&] { return Prefix(EveryCase(), "every"); }, 1, "complete"},
        {"a path that does not exist", [&] { return dir / "nowhere"; }, 3, "missing"},
        {"a folder that holds no registry", [&] { fs::create_directories(dir / "plain"); return dir / "plain"; }, 3,
         "unreadable"},
        {"a system.reg that is not one", [&] {
             fs::create_directories(dir / "bad");
             std::ofstream(dir / "bad" / "system.reg") << "not a registry\n";
             return dir / "bad"; }, 3, "unreadable"},
        {"a dirty hive without its logs", [&] { WriteInstallation(dir / "stale", dirty.file); return dir / "stale"; }, 3, "stale"},
        {"a dirty hive with its logs", [&] {
             WriteInstallation(dir / "dirty", dirty.file, dirty.log1, dirty.log2);
             return dir / "dirty"; }, 1, "complete"},
        {"a file that is no hive", [&] { WriteInstallation(dir / "nohive", std::string(8192, 'x')); return dir / "nohive"; }, 3,
         "damaged"},
    };
    for (const Case& c : cases) {
        int status = -1;
        const json report = ScanJson(c.make(), {}, &status);
        EXPECT_EQ(status, c.status) << c.what;
        EXPECT_EQ(report["exitStatus"], c.status) << c.what;
        EXPECT_EQ(report["target"]["state"], c.state) << c.what;
        if (c.status == 3) {
            EXPECT_TRUE(report["target"]["reason"].is_string()) << c.what;
        }
    }
    const json recovered = ScanJson(dir / "dirty");
    EXPECT_EQ(recovered["target"]["kind"], "windows-installation");
    EXPECT_EQ(recovered["target"]["recoveredFrom"], json::parse(R"([{"log":"SOFTWARE.LOG1"},{"log":"SOFTWARE.LOG2"}])"));
    ASSERT_TRUE(Extension(recovered, u".new")) << "the logs' state is the one checked";
    EXPECT_EQ((*Extension(recovered, u".new"))["class"], "registry-problem");
}

TEST_F(ScanCommand, shouldScanOneExtensionByTheWindowsRules)
{
    struct Case {
        const char* ext;
        const char16_t* listed;
        std::vector<std::string> sections;
        const char* finding;
        int problems;
    };
    const Case cases[] = {
        {"good", u".good", {"valid"}, "program-path", 0},
        {" .missing ", u".missing", {"needs-application"}, "program-path", 1},
        {".absent", u".absent", {"needs-application"}, "not-registered", 1},
        {".empty", u".empty", {"problems", "needs-application"}, "empty-default-value", 2},
        {".GOOD", u".GOOD", {"needs-application"}, "not-registered", 1},
        {".nocmd", u".nocmd", {"needs-application"}, "no-open-command", 1},
    };
    const fs::path prefix = Prefix(EveryCase());
    for (const Case& c : cases) {
        int status = -1;
        const json report = ScanJson(prefix, {"--ext", c.ext}, &status);
        EXPECT_EQ(report["filter"], N(c.listed)) << c.ext;
        ASSERT_EQ(report["extensions"].size(), 1u) << c.ext;
        const json& entry = report["extensions"][0];
        EXPECT_EQ(ReportText(entry, "name"), c.listed) << c.ext;
        EXPECT_EQ(entry["sections"], json(c.sections)) << c.ext;
        EXPECT_EQ(entry["finding"], c.finding) << c.ext;
        EXPECT_EQ(report["counts"]["problems"], c.problems) << c.ext;
        EXPECT_EQ(report["counts"]["examined"], 10) << "every extension is examined, as in the window";
        EXPECT_EQ(status, c.problems ? 1 : 0) << c.ext;
    }
    EXPECT_TRUE(ScanJson(prefix, {"--ext", " \t"})["filter"].is_null()) << "blank text is no filter";
}

TEST_F(ScanCommand, shouldRepairWhatFixNowRepairsAndNameItsBackups)
{
    const fs::path prefix = Prefix(EveryCase());
    int status = -1;
    const json fixed = ScanJson(prefix, {"--fix"}, &status);
    EXPECT_EQ(status, 1) << ".missing still needs an application";
    const json& repair = fixed["repair"];
    EXPECT_EQ(repair["removed"], json::parse(R"([{"extension":".empty","key":"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\.empty"},
        {"extension":".gone","key":"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\.gone"}])"));
    EXPECT_EQ(repair["notRemoved"], json::array());
    EXPECT_EQ(repair["refused"], false);
    EXPECT_TRUE(repair["message"].is_null());
    EXPECT_EQ(repair["remaining"], 1);
    ASSERT_EQ(repair["backups"].size(), 1u);
    EXPECT_EQ(repair["backups"][0]["kind"], "reg");
    const fs::path backup = repair["backups"][0]["path"].get<std::string>();
    EXPECT_EQ(backup.parent_path(), fs::path(backups));
    const std::u16string exported = platform::files::DecodeTextFile(ReadBytes(backup));
    EXPECT_THAT(N(exported), HasSubstr("[HKEY_LOCAL_MACHINE\\Software\\Classes\\.empty]"));
    EXPECT_THAT(N(exported), HasSubstr("[HKEY_LOCAL_MACHINE\\Software\\Classes\\.gone]"));

    // The keys are gone from the file; a second repair has nothing to do.
    const json again = ScanJson(prefix, {"--fix"}, &status);
    EXPECT_EQ(again["counts"]["registryProblems"], 0);
    EXPECT_EQ(again["repair"]["removed"], json::array());
    EXPECT_EQ(again["repair"]["backups"], json::array());
    EXPECT_EQ(status, 1);

    // Only registry problems: none remain once they are removed.
    const fs::path broken = Prefix({ClassesKey(u".empty", u"")}, "broken");
    const CommandRun text = Scan(broken, {"--fix"});
    EXPECT_EQ(text.status, 0);
    EXPECT_THAT(text.out, HasSubstr("Extensions Fix Success"));
    EXPECT_THAT(text.out, HasSubstr("To fix the remaining 0 items(s)"));
    EXPECT_THAT(text.out, HasSubstr("Backup: " + backups));
}

// Every refusal of the window's repair: nothing in the target changes, no
// backup stays behind, and the window's words say why.
TEST_F(ScanCommand, shouldRefuseToRepairWhereTheWindowRefuses)
{
    struct Case {
        const char* what;
        std::function<fs::path()> make;
        const char* said;
        int status;
    };
    const std::string stateA = ChangeClassesHive({}, {{{".doc", "docfile"}, {".keep", "nofile"}}, {}, {"docfile"}});
    std::optional<LockHolder> server;
    fs::path serverFolder;
    const Case cases[] = {
        {"a running wineserver", [&] {
             const fs::path prefix = Prefix({ClassesKey(u".empty", u"")}, "served");
             serverFolder = platform::files::WineServerFolders(prefix).front();
             fs::create_directories(serverFolder);
             server.emplace(serverFolder / "lock", 0, 0);
             return prefix; }, "wineserver", 1},
        {"a hibernated Windows", [&] {
             const fs::path root = dir / "hibernated";
             WriteInstallation(root, stateA);
             std::ofstream(root / "hiberfil.sys") << "HIBR" << std::string(4092, '\0');
             return root; }, "is hibernated (Fast Startup)", 1},
        {"a hive that cannot be recovered", [&] {
             const DirtyHive dirty = MakeDirtyHive(stateA, ChangeClassesHive(stateA, {{{".new", "none"}}, {}, {}}));
             WriteInstallation(dir / "stale", dirty.file);
             return dir / "stale"; }, "", 3},
    };
    for (const Case& c : cases) {
        const fs::path target = c.make();
        const auto before = FolderBytes(target);
        int status = -1;
        const json report = ScanJson(target, {"--fix"}, &status);
        EXPECT_EQ(status, c.status) << c.what;
        EXPECT_EQ(report["repair"]["refused"], true) << c.what;
        EXPECT_EQ(report["repair"]["removed"], json::array()) << c.what;
        EXPECT_EQ(report["repair"]["backups"], json::array()) << c.what;
        const std::string message = report["repair"]["message"].get<std::string>();
        EXPECT_THAT(message, StartsWith(N(report::messages::kRepairRefused))) << c.what;
        EXPECT_THAT(message, HasSubstr(c.said)) << c.what;
        EXPECT_TRUE(FolderBytes(target) == before) << c.what << ": the target changed";
        server.reset();
    }
    std::error_code ec;
    fs::remove_all(serverFolder, ec);
    EXPECT_FALSE(fs::exists(backups, ec) && !fs::is_empty(backups, ec)) << "no backup of a removal never made";
}

TEST_F(ScanCommand, shouldRefuseToRepairADamagedHiveOrAReadOnlyDisk)
{
    // A key whose value list points outside the hive.
    std::string damaged =
        ChangeClassesHive({}, {{{".doc", "docfile"}, {".keep", "nofile"}, {".gone", "nofile"}}, {}, {"docfile"}});
    {
        TempDir t;
        WriteBytes(t / "h", damaged);
        hive_h* h = hivex_open((t / "h").c_str(), 0);
        const hive_node_h keep = hivex_node_get_child(h, hivex_node_get_child(h, hivex_root(h), "Classes"), ".keep");
        hivex_close(h);
        platform::files::hive::PutLe32(damaged.data() + keep + 4 + 40, 0x7FFFFFF0);
    }
    const fs::path root = dir / "damaged";
    WriteInstallation(root, damaged);
    const auto before = FolderBytes(root);
    int status = -1;
    json report = ScanJson(root, {"--fix"}, &status);
    EXPECT_EQ(status, 3);
    EXPECT_EQ(report["target"]["state"], "damaged");
    EXPECT_THAT(report["target"]["reason"].get<std::string>(),
                HasSubstr("is damaged at HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\.keep"));
    EXPECT_EQ(report["repair"]["refused"], true);
    EXPECT_TRUE(FolderBytes(root) == before);

    const fs::path mount = dir / "disk";
    fs::create_directories(mount);
    if (::geteuid() != 0
        || std::system(("mount -t tmpfs -o size=8m quelvo-test '" + mount.string() + "' 2>/dev/null").c_str()) != 0)
        GTEST_SKIP() << "mounting a test disk needs root and the right to mount";
    struct Unmount {
        fs::path at;
        ~Unmount() { std::system(("umount '" + at.string() + "' 2>/dev/null").c_str()); }
    } unmount{mount};
    WriteInstallation(mount, ChangeClassesHive({}, {{{".keep", "nofile"}}, {}, {}}));
    ASSERT_EQ(std::system(("mount -o remount,ro '" + mount.string() + "'").c_str()), 0);
    report = ScanJson(mount, {"--fix"}, &status);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(report["repair"]["refused"], true);
    EXPECT_THAT(report["repair"]["message"].get<std::string>(), HasSubstr("the disk is mounted read-only"));
}

// Registry names can hold anything; the report stays strict JSON, plain
// ASCII, and gives every name back exactly.
TEST_F(ScanCommand, shouldWriteHostileNamesAsStrictJsonThatRoundTrips)
{
    const std::u16string names[] = {
        u".<b>bold</b>&amp;",
        u".quote\"'",
        u".ctl\x01\x1b[31m\x7f",
        u".tab\tnew\nline",
        u".emoji\U0001F600",
        u".rtl\u202Etxt",
        std::u16string(u".high") + char16_t(0xD800),
        std::u16string(u".low") + char16_t(0xDC00) + u"x",
        u".\u00e9t\u00e9",
    };
    std::vector<PrefixKey> keys;
    for (const auto& name : names)
        keys.push_back(ClassesKey(name, u"a\"b\\c<i>\x1b"));  // names a missing file type: a problem each
    const fs::path prefix = Prefix(keys);

    const CommandRun document = Scan(prefix, {"--format", "json"});
    const CommandRun lines = Scan(prefix, {"--format", "jsonl"});
    for (const CommandRun* run : {&document, &lines}) {
        EXPECT_EQ(run->status, 1);
        EXPECT_TRUE(std::all_of(run->out.begin(), run->out.end(), [](char c) { return c > 0 && c < 0x7F && (c >= 0x20 || c == '\n'); }))
            << "plain ASCII, no control characters";
    }
    const json report = ParseJson(document.out);
    std::vector<json> records = ParseJsonLines(lines.out);
    ASSERT_EQ(records.size(), std::size(names) + 1);
    EXPECT_EQ(records[0]["record"], "report");
    std::multiset<std::u16string> fromDocument, fromLines;
    for (const json& entry : report["extensions"]) {
        fromDocument.insert(ReportText(entry, "name"));
        EXPECT_EQ(ReportText(entry, "progId"), u"a\"b\\c<i>\x1b");
    }
    for (std::size_t i = 1; i < records.size(); ++i) {
        EXPECT_EQ(records[i]["record"], "extension");
        fromLines.insert(ReportText(records[i], "name"));
    }
    const std::multiset<std::u16string> expected(std::begin(names), std::end(names));
    EXPECT_TRUE(fromDocument == expected);
    EXPECT_TRUE(fromLines == expected);
    // A lone surrogate is flagged and shown as U+FFFD, never dropped.
    const json* high = Extension(report, std::u16string(u".high") + char16_t(0xD800));
    ASSERT_TRUE(high);
    EXPECT_EQ((*high)["name"], ".high\xEF\xBF\xBD");
    EXPECT_EQ((*high)["utf16"]["name"], "002e0068006900670068d800");
    EXPECT_FALSE(Extension(report, u".emoji\U0001F600")->contains("utf16")) << "a surrogate pair is UTF-8";

    // For people: no raw control character reaches the terminal.
    const CommandRun text = Scan(prefix);
    EXPECT_EQ(text.out.find('\x1b'), std::string::npos);
    EXPECT_THAT(text.out, HasSubstr(".ctl\\x01\\x1b[31m\\x7f"));
    EXPECT_THAT(text.out, HasSubstr(".rtl\\u202etxt"));
    EXPECT_THAT(text.out, HasSubstr(".high\\ud800"));
}

TEST(ScanReportWriters, shouldWriteTenThousandCharacterNamesAsJsonThatRoundTrips)
{
    std::u16string longName = u".";
    for (int i = 0; longName.size() < 10000; ++i)
        longName += i % 7 == 0 ? std::u16string(u"\U0001F600") : i % 11 == 0 ? std::u16string(1, char16_t(0xDBFF))
                                                                              : std::u16string(1, char16_t(u'a' + i % 26));
    ScanReport report;
    report.target.description = longName;
    ExtensionReport entry;
    entry.name = longName;
    entry.group = longName;
    entry.progId = longName;
    report.extensions.push_back(entry);
    const json document = ParseJson(JsonDocument(report));
    EXPECT_EQ(ReportText(document["extensions"][0], "name"), longName);
    EXPECT_EQ(ReportText(document["extensions"][0], "progId"), longName);
    EXPECT_EQ(ReportText(document["target"], "description"), longName);
    const std::vector<std::string> lines = JsonLines(report);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(ReportText(ParseJson(lines[1]), "group"), longName);
}

TEST(ScanReportWriters, shouldShowEveryCharacterSafelyOnATerminal)
{
    const std::pair<std::u16string, std::string> cases[] = {
        {u"plain.txt", "plain.txt"},
        {u"\x1b[2J\x07", "\\x1b[2J\\x07"},
        {u"\u0085\u009b", "\\x85\\x9b"},
        {u"a\u202Eb\u2066c\u200F", "a\\u202eb\\u2066c\\u200f"},
        {std::u16string(u"x") + char16_t(0xDC01), "x\\udc01"},
        {u"\u00e9\U0001F600", "\xC3\xA9\xF0\x9F\x98\x80"},
    };
    for (const auto& [text, shown] : cases)
        EXPECT_EQ(TerminalText(text), shown);
}

}  // namespace
