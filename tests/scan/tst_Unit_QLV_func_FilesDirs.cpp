#include "scan/Unit_QLV_func_FilesDirs.h"

#include "ScanFixture.h"

#include "platform/Text.h"

namespace {

using namespace quelvo::scan;
using quelvo::platform::ToUtf8;

class PathExtraction : public quelvo::scan::testing::ScanFixture {
protected:
    void SetUp() override
    {
        ScanFixture::SetUp();
        // C:\Program Files\Foo\foo.exe exists, so C:\PROGRA~1 is Program Files.
        Touch("Program Files/Foo/foo.exe");
    }
};

TEST_F(PathExtraction, shouldExtractTheExecutablePathOfEachCommand)
{
    const std::vector<std::pair<std::u16string, std::u16string>> rows{
        {u"\"C:\\Program Files\\Foo\\foo.exe\" \"%1\"", u"C:\\Program Files\\Foo\\foo.exe"},
        {u"\"C:\\Program Files\\Foo\\foo.exe\"", u"C:\\Program Files\\Foo\\foo.exe"},
        {u"C:\\Windows\\notepad.exe %1", u"C:\\Windows\\notepad.exe"},
        {u"%SystemRoot%\\system32\\NOTEPAD.EXE %1", u"C:\\Windows\\system32\\NOTEPAD.EXE"},
        {u"%SYSTEMROOT%\\regedit.exe", u"C:\\Windows\\regedit.exe"},
        {u"\"%ProgramFiles%\\Windows Media Player\\wmplayer.exe\" /prefetch:6 /Open \"%L\"",
         u"C:\\Program Files\\Windows Media Player\\wmplayer.exe"},
        {u"%windir%\\hh.exe %1", u"C:\\Windows\\hh.exe"},
        {u"\"C:\\Foo\\bar.EXE\" %1", u"C:\\Foo\\bar.EXE"},
        {u"C:\\Foo\\setup.exe.bak\\x.exe", u"C:\\Foo\\setup.exe"},
        {u"rundll32.exe shell32.dll,OpenAs_RunDLL %1", u""},
        {u"\"notepad.exe\" %1", u""},
        {u"\\\\server\\share\\app.exe", u""},
        {u"C:\\PROGRA~1\\Foo\\foo.exe /x", u"C:\\Program Files\\Foo\\foo.exe"},
        {u"C:\\PROGRA~1\\Bar\\bar.exe /x", u""},
        {u"\"C:\\PROGRA~1\\Foo\\foo.exe\" %1", u"C:\\PROGRA~1\\Foo\\foo.exe"},
        {u"\"C:\\Tools\\run.cmd\" \"%1\"", u"\"C:\\Tools\\run.cmd\" \"%1\""},
        {u"C:\\Tools\\run.cmd %1", u"C:\\Tools\\run.cmd %1"},
        {u"\"C:\\Tools\\run.cmd\" C:\\x.exe", u"C:\\Tools\\run.cmd\" C:\\x.exe"},
        {u" \"C:\\x.exe\" %1", u" \"C:\\x.exe"},
        {u"%ProgramFiles%\\a.exe %SystemRoot%\\b.txt", u""},
        {u"%CommonProgramFiles%\\x.exe", u""},
        {u"C:\\Apps\\Long~Name\\tool.bat", u""},
        {u"", u""},
    };
    for (const auto& [command, expected] : rows)
        EXPECT_EQ(func_GetExePathFromCommand(command), expected) << ToUtf8(command);
}

TEST_F(PathExtraction, shouldLeaveAnUndefinedVariableLowerCased)
{
    MakeTarget({{u"SystemRoot", u"C:\\Windows"}});
    EXPECT_EQ(func_ExpandSysVar(u"%programfiles%"), u"%programfiles%");
    EXPECT_EQ(func_GetExePathFromCommand(u"%ProgramFiles%\\a.exe"), u"");
    EXPECT_EQ(func_GetExePathFromCommand(u"C:\\x\\%ProgramFiles%\\a.exe"), u"C:\\x\\%programfiles%\\a.exe");
}

TEST_F(PathExtraction, shouldTakeTheOriginalCommandWhenTheExpansionIsEmpty)
{
    MakeTarget({{u"SystemRoot", u""}});
    EXPECT_EQ(func_GetExePathFromCommand(u"C:\\a\\%SystemRoot%\\b.exe x"), u"C:\\a\\%SystemRoot%\\b.exe");
}

TEST_F(PathExtraction, shouldExpandOnlyTheThreeSystemVariables)
{
    EXPECT_EQ(func_ExpandSysVar(u"%SystemRoot%"), u"C:\\Windows");
    EXPECT_EQ(func_ExpandSysVar(u"%PROGRAMFILES%"), u"C:\\Program Files");
    EXPECT_EQ(func_ExpandSysVar(u"%windir%"), u"C:\\Windows");
    EXPECT_EQ(func_ExpandSysVar(u"%TEMP%"), u"");
    EXPECT_EQ(func_ExpandSysVar(u"SystemRoot"), u"");
    EXPECT_EQ(func_ExpandSysVar(u"%SystemRoot%\\x"), u"");
}

TEST_F(PathExtraction, shouldCutAnOverlongExpansionInsideTheBuffer)
{
    MakeTarget({{u"SystemRoot", std::u16string(5000, u'x')}});
    EXPECT_EQ(func_ExpandSysVar(u"%systemroot%"), std::u16string(4095, u'x'));
}

TEST_F(PathExtraction, shouldConvertOnlyExistingPathsToLongForm)
{
    EXPECT_EQ(func_GetLongPath(u"C:\\PROGRA~1\\Foo"), u"C:\\Program Files\\Foo");
    EXPECT_EQ(func_GetLongPath(u"C:\\PROGRA~1\\Bar"), u"");
    EXPECT_EQ(func_GetLongPath(u""), u"");
}

}  // namespace
