#include "platform/HostTarget.h"
#include "platform/MemoryRegistry.h"
#include "platform/Text.h"
#include "tests/support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <fstream>

namespace {

using namespace quelvo::platform;
namespace fs = std::filesystem;

class HostTargetTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        root = scratch.Path();
        Touch("Program Files/Foo/foo.exe");
        Touch("ProgramData/x.txt");
        Touch("windows/notepad.exe");
        fs::create_directories(root / "Long Folder Name.d");
        target.emplace(registry,
                       HostTarget::Environment{{u"SystemRoot", u"C:\\Windows"},
                                               {u"ProgramFiles", u"C:\\Program Files"}},
                       HostTarget::Drives{{u'C', root}});
    }

    void Touch(const std::string& relative)
    {
        fs::create_directories((root / relative).parent_path());
        std::ofstream(root / relative) << "x";
    }

    std::u16string Expand(std::u16string_view source)
    {
        std::array<char16_t, 4096> buf{};
        std::size_t n = target->ExpandEnvironmentStrings(source, buf.data(), buf.size());
        EXPECT_GT(n, 0u);
        return std::u16string(buf.data());
    }

    std::u16string LongPath(std::u16string_view path)
    {
        std::array<char16_t, 4096> buf{};
        std::size_t n = target->GetLongPathName(path, buf.data(), buf.size());
        std::u16string out(buf.data());
        EXPECT_EQ(n, out.size());
        return out;
    }

    quelvo::test::ScratchFolder scratch{"quelvo-host"};
    fs::path root;
    MemoryRegistry registry;
    std::optional<HostTarget> target;
};

TEST_F(HostTargetTest, shouldExpandVariablesWithoutRegardToCaseAndLeaveUndefinedOnes)
{
    EXPECT_EQ(Expand(u"%systemroot%\\x"), u"C:\\Windows\\x");
    EXPECT_EQ(Expand(u"%SYSTEMROOT%;%ProgramFiles%"), u"C:\\Windows;C:\\Program Files");
    EXPECT_EQ(Expand(u"%windir%\\hh.exe"), u"%windir%\\hh.exe");
    EXPECT_EQ(Expand(u"%nope%SystemRoot%"), u"%nopeC:\\Windows") << "the closing % may open the next reference";
    EXPECT_EQ(Expand(u"100%"), u"100%");
    EXPECT_EQ(Expand(u"%%"), u"%%");
    EXPECT_EQ(Expand(u""), u"");
}

TEST_F(HostTargetTest, shouldCutExpansionAtCapacityWithoutWritingPastIt)
{
    std::array<char16_t, 8> buf;
    buf.fill(u'#');
    EXPECT_EQ(target->ExpandEnvironmentStrings(u"%SystemRoot%", buf.data(), 5), 5u);
    EXPECT_EQ(std::u16string(buf.data()), u"C:\\W");
    EXPECT_EQ(buf[5], u'#');
    EXPECT_EQ(target->ExpandEnvironmentStrings(u"x", buf.data(), 0), 0u);
    EXPECT_EQ(buf[0], u'C');
}

TEST_F(HostTargetTest, shouldMatchWindowsPathComponentsWithoutRegardToCase)
{
    auto host = target->HostPath(u"C:\\WINDOWS\\NOTEPAD.EXE");
    ASSERT_TRUE(host);
    EXPECT_EQ(*host, root / "windows" / "notepad.exe");
    EXPECT_TRUE(target->HostPath(u"c:/program files/foo/"));
    EXPECT_TRUE(target->HostPath(u"C:\\"));
    EXPECT_FALSE(target->HostPath(u"C:\\windows\\missing.exe"));
    EXPECT_FALSE(target->HostPath(u"D:\\windows")) << "no such drive";
    EXPECT_FALSE(target->HostPath(u"\\\\server\\share\\app.exe"));
    EXPECT_FALSE(target->HostPath(u"C:\\PROGRA~1")) << "short names are not resolved here";
}

TEST_F(HostTargetTest, shouldMatchComponentsBeyondAsciiAsWindowsDoes)
{
    // UTF-16 names, so that the Windows build names the same files.
    const fs::path folder = root / fs::path(u"Ärger") / fs::path(u"Σύνολο");
    fs::create_directories(folder);
    std::ofstream(folder / fs::path(u"Жук.exe")) << "x";
    auto host = target->HostPath(u"C:\\ärger\\ΣΎΝΟΛΟ\\жук.EXE");
    ASSERT_TRUE(host);
    EXPECT_EQ(*host, folder / fs::path(u"Жук.exe"));
    EXPECT_TRUE(target->FileExists(u"C:\\ÄRGER\\σύνολο\\ЖУК.exe"));
    EXPECT_FALSE(target->FileExists(u"C:\\Aerger\\Σύνολο\\Жук.exe"));
}

TEST_F(HostTargetTest, shouldTellFilesFromFolders)
{
    EXPECT_TRUE(target->FileExists(u"C:\\Windows\\Notepad.exe"));
    EXPECT_TRUE(target->FileExists(u"C:\\PROGRA~1\\Foo\\foo.exe"));
    EXPECT_FALSE(target->FileExists(u"C:\\Windows"));
    EXPECT_FALSE(target->FileExists(u"C:\\Windows\\"));
    EXPECT_FALSE(target->FileExists(u"C:\\Windows\\regedit.exe"));
    EXPECT_FALSE(target->FileExists(u""));
}

TEST(GenerateShortNames, shouldFollowWindowsShortNameRules)
{
    const std::vector<std::u16string> names{
        u"Program Files", u"ProgramData", u"foo.exe", u"README", u"My Documents.html",
        u"a.b.c.txt", u".bashrc", u"long name.jpeg", u"caf\u00e9 au lait", u"x+y=z.txt"};
    const auto shortNames = GenerateShortNames(names);
    const std::vector<std::pair<std::u16string, std::u16string>> expected{
        {u"Program Files", u"PROGRA~1"},
        {u"ProgramData", u"PROGRA~2"},
        {u"foo.exe", u"foo.exe"},
        {u"README", u"README"},
        {u"My Documents.html", u"MYDOCU~1.HTM"},
        {u"a.b.c.txt", u"ABC~1.TXT"},
        {u".bashrc", u"BASHRC~1"},
        {u"long name.jpeg", u"LONGNA~1.JPE"},
        {u"caf\u00e9 au lait", u"CAF_AU~1"},
        {u"x+y=z.txt", u"XYZ~1.TXT"},
    };
    for (const auto& [longName, shortName] : expected) {
        ASSERT_TRUE(shortNames.count(longName)) << ToUtf8(longName);
        EXPECT_EQ(shortNames.at(longName), shortName) << ToUtf8(longName);
    }
}

TEST(GenerateShortNames, shouldCountUpInNameOrderAndShortenPrefixPastNine)
{
    std::vector<std::u16string> names;
    for (int i = 11; i >= 0; --i)  // handed over in reverse, numbered in name order
        names.push_back(u"Document " + IntToText(100 + i));
    names.push_back(u"DOCUME~1");  // an existing valid name is not handed out again
    const auto shortNames = GenerateShortNames(names);
    EXPECT_EQ(shortNames.at(u"DOCUME~1"), u"DOCUME~1");
    EXPECT_EQ(shortNames.at(u"Document 100"), u"DOCUME~2");
    EXPECT_EQ(shortNames.at(u"Document 107"), u"DOCUME~9");
    EXPECT_EQ(shortNames.at(u"Document 108"), u"DOCUM~10");
    EXPECT_EQ(shortNames.at(u"Document 111"), u"DOCUM~13");
}

TEST_F(HostTargetTest, shouldResolveShortComponentsToLongNames)
{
    EXPECT_EQ(LongPath(u"C:\\PROGRA~1\\Foo\\foo.exe"), u"C:\\Program Files\\Foo\\foo.exe");
    EXPECT_EQ(LongPath(u"C:\\progra~2\\x.txt"), u"C:\\ProgramData\\x.txt");
    EXPECT_EQ(LongPath(u"C:\\PROGRA~1\\FOO\\FOO.EXE"), u"C:\\Program Files\\FOO\\FOO.EXE")
        << "long components keep the caller's spelling";
    EXPECT_EQ(LongPath(u"C:\\LONGFO~1.D\\"), u"C:\\Long Folder Name.d\\");
    EXPECT_EQ(LongPath(u"C:\\Windows"), u"C:\\Windows");
}

TEST_F(HostTargetTest, shouldFailLongPathConversionForMissingPaths)
{
    std::array<char16_t, 16> buf;
    buf.fill(u'#');
    for (auto path : {u"C:\\PROGRA~1\\Bar\\bar.exe", u"C:\\PROGRA~3", u"C:\\Apps\\Long~Name\\tool.bat",
                      u"E:\\x", u"relative\\x.exe", u""}) {
        EXPECT_EQ(target->GetLongPathName(path, buf.data(), buf.size()), 0u) << ToUtf8(path);
        EXPECT_EQ(buf[0], u'#') << "nothing written on failure";
    }
}

TEST_F(HostTargetTest, shouldCutLongPathAtCapacity)
{
    std::array<char16_t, 12> buf;
    buf.fill(u'#');
    EXPECT_EQ(target->GetLongPathName(u"C:\\PROGRA~1\\Foo", buf.data(), 8), 7u);
    EXPECT_EQ(std::u16string(buf.data()), u"C:\\Prog");
    EXPECT_EQ(buf[8], u'#');
}

}  // namespace
