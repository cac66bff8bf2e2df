// The sandbox Wine prefix that scripts/run makes when no target is named:
// built once for the suite by scripts/make-sandbox-prefix, then chosen, read
// and scanned as the program does.

#include "platform/Target.h"
#include "platform/Text.h"
#include "platform/files/FileTargets.h"
#include "platform/files/WineServer.h"
#include "scan/Unit_QLV_Thread.h"
#include "scan/Unit_QLV_func_Registry.h"
#include "tests/support/ScanRun.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace quelvo;
using platform::FromUtf8;
using platform::ToUtf8;

std::string Quoted(const fs::path& path)
{
    return "'" + path.string() + "'";
}

std::string FileBytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// What one scan reported: extension -> (path, outcome type).
struct Outcome {
    std::string path;
    int type = 0;
    bool operator==(const Outcome&) const = default;
};
using Outcomes = std::map<std::string, Outcome>;


Outcomes Scan()
{
    Outcomes outcomes;
    EXPECT_TRUE(quelvo::test::RunScan([&](std::u16string_view name, std::u16string_view path, int type) {
        outcomes[ToUtf8(name)] = Outcome{ToUtf8(path), type};
    }));
    return outcomes;
}

class SandboxPrefix : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        // A prefix takes several hundred MB: beside the build, not in a
        // temporary folder that may live in memory.
        s_folder = fs::path(QUELVO_SANDBOX_WORK) / ("sandbox-" + std::to_string(stamp));
        s_prefix = s_folder / "sandbox-prefix";
        s_haveWine = std::system("command -v wineboot >/dev/null 2>&1") == 0;
        if (s_haveWine)
            s_status = std::system((QUELVO_SANDBOX_SCRIPT " " + Quoted(s_prefix)).c_str());
    }

    static void TearDownTestSuite()
    {
        // Nothing of the suite may leave a wineserver behind.
        if (s_haveWine)
            std::system(("WINEPREFIX=" + Quoted(s_prefix) + " wineserver -k >/dev/null 2>&1").c_str());
        std::error_code ec;
        fs::remove_all(s_folder, ec);
    }

    void SetUp() override
    {
        if (!s_haveWine)
            GTEST_SKIP() << "Wine is not installed (scripts/setup installs it)";
        ASSERT_EQ(s_status, 0) << "scripts/make-sandbox-prefix failed";
    }

    static platform::files::TargetChoice Choose()
    {
        return platform::files::ChooseTarget([](const char* name) -> std::optional<std::string> {
            if (std::string_view(name) == "QUELVO_TARGET")
                return s_prefix.string();
            return std::nullopt;
        });
    }

    static inline fs::path s_folder;
    static inline fs::path s_prefix;
    static inline int s_status = -1;
    static inline bool s_haveWine = false;
};

TEST_F(SandboxPrefix, shouldBeChosenAsAWinePrefixThroughQuelvoTarget)
{
    auto choice = Choose();
    ASSERT_TRUE(choice.target) << ToUtf8(choice.error);
    EXPECT_NE(ToUtf8(choice.target->Description()).find(s_prefix.string()), std::string::npos);
}

TEST_F(SandboxPrefix, shouldReportEachKindOfAssociationItWasGiven)
{
    auto choice = Choose();
    ASSERT_TRUE(choice.target) << ToUtf8(choice.error);
    platform::ScopedActiveTarget active(*choice.target);
    const Outcomes outcomes = Scan();

    const Outcomes expected{
        {".docx", {"", 2}},
        {".psd", {"", 2}},
        {".mkv", {"", 2}},
        {".mp3", {"C:\\Program Files\\Missing App\\app.exe", 1}},
        {".zip", {"C:\\Program Files\\Missing App\\app.exe", 1}},
        {".md", {"C:\\windows\\notepad.exe", 1}},
        {".log", {"C:\\windows\\system32\\notepad.exe", 1}},
    };
    for (const auto& [extension, outcome] : expected) {
        auto found = outcomes.find(extension);
        ASSERT_NE(found, outcomes.end()) << extension;
        EXPECT_EQ(found->second.type, outcome.type) << extension;
        EXPECT_EQ(found->second.path, outcome.path) << extension;
    }
    // Program-less associations name no file; valid ones name Wine's notepad.
    EXPECT_FALSE(choice.target->FileExists(FromUtf8(outcomes.at(".mp3").path)));
    EXPECT_TRUE(choice.target->FileExists(FromUtf8(outcomes.at(".md").path)));
    EXPECT_TRUE(choice.target->FileExists(FromUtf8(outcomes.at(".log").path)));
}

TEST_F(SandboxPrefix, shouldBeReusedUntouchedOnceFinished)
{
    const std::string before = FileBytes(s_prefix / "system.reg");
    ASSERT_EQ(std::system((QUELVO_SANDBOX_SCRIPT " " + Quoted(s_prefix)).c_str()), 0);
    EXPECT_EQ(FileBytes(s_prefix / "system.reg"), before);
    EXPECT_FALSE(platform::files::IsWineServerRunning(s_prefix));
}

// The script waits for the wineserver to exit, so a repair is not refused.
TEST_F(SandboxPrefix, shouldLetARepairRemoveABrokenExtension)
{
    EXPECT_FALSE(platform::files::IsWineServerRunning(s_prefix));
    {
        auto choice = Choose();
        ASSERT_TRUE(choice.target) << ToUtf8(choice.error);
        platform::ScopedActiveTarget active(*choice.target);
        ASSERT_TRUE(scan::func_Reg_DeleteKeyTree(platform::HKEY_LOCAL_MACHINE, u"SOFTWARE\\Classes\\.psd"))
            << ToUtf8(choice.target->LastError());
    }
    auto reopened = Choose();
    ASSERT_TRUE(reopened.target) << ToUtf8(reopened.error);
    platform::ScopedActiveTarget active(*reopened.target);
    EXPECT_FALSE(scan::func_Reg_KeyExists(platform::HKEY_LOCAL_MACHINE, u"SOFTWARE\\Classes\\.psd"));
    EXPECT_TRUE(scan::func_Reg_KeyExists(platform::HKEY_LOCAL_MACHINE, u"SOFTWARE\\Classes\\.docx"));
}

// Wine's own short names of real folders, asked of Wine itself: they name
// the program of an association, Windows-style generated ones do not.
TEST_F(SandboxPrefix, shouldResolveTheShortNamesWineGivesAndNoOthers)
{
    const fs::path programs = s_prefix / "drive_c" / "Program Files";
    const std::vector<std::string> folders = {"Quelvo Short Test", "\xc3\x84rger Ordner", "\xce\xa3\xce\x8e\xce\x9d\xce\x9f\xce\x9b\xce\x9f Data"};
    for (const std::string& folder : folders) {
        fs::create_directories(programs / folder);
        std::ofstream(programs / folder / "app.exe") << "MZ";
    }
    std::ofstream(s_prefix / "drive_c" / "quelvo-short.bat") << "@echo %~s1\r\n";
    const std::string wine = "WINEPREFIX=" + Quoted(s_prefix) + " WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml= ";
    std::vector<std::string> shortPaths;
    for (const std::string& folder : folders) {
        const fs::path out = s_folder / "short.txt";
        const std::string command = wine + "wine cmd /c 'C:\\quelvo-short.bat' 'C:\\Program Files\\" + folder
            + "\\app.exe' >" + Quoted(out) + " 2>/dev/null";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        std::string line = FileBytes(out);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
            line.pop_back();
        ASSERT_EQ(line.rfind("C:\\", 0), 0u) << line;
        shortPaths.push_back(line);
    }
    // The association through Wine's names, and one through generated names.
    const std::string add = wine + "wine reg add 'HKLM\\Software\\Classes\\";
    ASSERT_EQ(std::system((add + ".qsw' /ve /d QuelvoShort.Wine /f >/dev/null 2>&1").c_str()), 0);
    ASSERT_EQ(std::system((add + "QuelvoShort.Wine\\Shell\\Open\\Command' /ve /d '" + shortPaths[1] + " %1' /f >/dev/null 2>&1").c_str()), 0);
    ASSERT_EQ(std::system((add + ".qsg' /ve /d QuelvoShort.Generated /f >/dev/null 2>&1").c_str()), 0);
    ASSERT_EQ(std::system((add + "QuelvoShort.Generated\\Shell\\Open\\Command' /ve /d 'C:\\PROGRA~1\\QUELVO~1\\app.exe %1' /f >/dev/null 2>&1").c_str()), 0);
    ASSERT_EQ(std::system((wine + "wineserver -w").c_str()), 0);

    auto choice = Choose();
    ASSERT_TRUE(choice.target) << ToUtf8(choice.error);
    for (std::size_t i = 0; i < folders.size(); ++i) {
        const std::u16string shortPath = FromUtf8(shortPaths[i]);
        EXPECT_TRUE(choice.target->FileExists(shortPath)) << shortPaths[i];
        char16_t buffer[512];
        const std::size_t n = choice.target->GetLongPathName(shortPath, buffer, 512);
        EXPECT_EQ(ToUtf8(std::u16string(buffer, n)), "C:\\Program Files\\" + folders[i] + "\\app.exe");
    }
    EXPECT_FALSE(choice.target->FileExists(u"C:\\PROGRA~1\\QUELVO~1\\app.exe"));

    platform::ScopedActiveTarget active(*choice.target);
    const Outcomes outcomes = Scan();
    ASSERT_TRUE(outcomes.count(".qsw"));
    EXPECT_TRUE(choice.target->FileExists(FromUtf8(outcomes.at(".qsw").path))) << outcomes.at(".qsw").path;
    // A short path whose long form cannot be found gives no path, so no
    // outcome: Wine could not start that program either.
    EXPECT_FALSE(outcomes.count(".qsg")) << outcomes.at(".qsg").path;
}

}  // namespace
