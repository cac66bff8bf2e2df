#include "platform/win32/NativeTarget.h"

#include "tests/support/ScratchKeys.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

using quelvo::test::U16;

using namespace quelvo::platform;
using quelvo::platform::win32::NativeTarget;

// A buffer with guard units after the capacity handed to a call.
struct GuardedBuffer {
    static constexpr std::size_t kGuard = 8;
    std::vector<char16_t> units;
    explicit GuardedBuffer(std::size_t capacity) : units(capacity + kGuard, u'#') {}
    std::size_t Capacity() const { return units.size() - kGuard; }
    std::u16string Text() const { return std::u16string(units.data()); }
    bool GuardIntact() const
    {
        return std::all_of(units.end() - kGuard, units.end(), [](char16_t c) { return c == u'#'; });
    }
};

TEST(NativeTarget, shouldBeTheActiveTargetFromTheStart)
{
    EXPECT_EQ(&ActiveTarget(), &NativeTarget::Instance());
    EXPECT_EQ(&ActiveTarget().Registry(), &NativeTarget::Instance().Registry());
}

TEST(NativeTargetExpansion, shouldExpandKnownVariablesWhateverTheirCaseAndKeepUnknownOnes)
{
    GuardedBuffer buffer(4096);
    const std::u16string source = u"%SystemRoot%|%PROGRAMFILES%|%windir%|%QuelvoUndefined%";
    const std::size_t written =
        NativeTarget::Instance().ExpandEnvironmentStrings(source, buffer.units.data(), buffer.Capacity());
    const std::u16string expected = u"C:\\windows|C:\\Program Files|C:\\windows|%QuelvoUndefined%";
    EXPECT_EQ(buffer.Text(), expected);
    EXPECT_EQ(written, expected.size() + 1);
}

TEST(NativeTargetExpansion, shouldCutAResultLongerThanTheBuffer)
{
    GuardedBuffer small(5);
    EXPECT_EQ(NativeTarget::Instance().ExpandEnvironmentStrings(u"%SystemRoot%\\x", small.units.data(),
                                                                small.Capacity()),
              5u);
    EXPECT_EQ(small.Text(), u"C:\\w");
    EXPECT_TRUE(small.GuardIntact());

    // A value beyond the 4096 units the extraction uses.
    ASSERT_TRUE(SetEnvironmentVariableW(L"QUELVO_LONG", std::wstring(5000, L'v').c_str()));
    GuardedBuffer large(4096);
    EXPECT_EQ(NativeTarget::Instance().ExpandEnvironmentStrings(u"%quelvo_long%", large.units.data(),
                                                                large.Capacity()),
              4096u);
    EXPECT_EQ(large.Text(), std::u16string(4095, u'v'));
    EXPECT_TRUE(large.GuardIntact());
    SetEnvironmentVariableW(L"QUELVO_LONG", nullptr);
}

class NativeTargetFiles : public ::testing::Test {
protected:
    std::filesystem::path folder;

    void SetUp() override
    {
        std::array<wchar_t, MAX_PATH + 1> temp{};
        ASSERT_GT(GetTempPathW(static_cast<DWORD>(temp.size()), temp.data()), 0u);
        folder = std::filesystem::path(temp.data()) /
                 (L"Quelvo Long Folder Name " + std::to_wstring(GetCurrentProcessId()));
        std::filesystem::create_directories(folder);
        std::ofstream(folder / L"Application With Long Name.exe") << "MZ";
    }
    void TearDown() override { std::filesystem::remove_all(folder); }

    std::wstring LongFile() const { return (folder / L"Application With Long Name.exe").wstring(); }

    std::wstring ShortFile() const
    {
        std::array<wchar_t, 4096> shortPath{};
        GetShortPathNameW(LongFile().c_str(), shortPath.data(), static_cast<DWORD>(shortPath.size()));
        return shortPath.data();
    }
};

TEST_F(NativeTargetFiles, shouldTurnAShortPathIntoItsLongForm)
{
    const std::wstring shortPath = ShortFile();
    ASSERT_NE(shortPath.find(L'~'), std::wstring::npos) << "no short name was generated";
    GuardedBuffer buffer(4096);
    const std::size_t length =
        NativeTarget::Instance().GetLongPathName(U16(shortPath), buffer.units.data(), buffer.Capacity());
    // The temporary folder itself may be written in short form: compare with
    // the long form of the whole path, component by component.
    EXPECT_EQ(buffer.Text().size(), length);
    EXPECT_TRUE(buffer.Text().ends_with(u"\\Quelvo Long Folder Name " +
                                        U16(std::to_wstring(GetCurrentProcessId())) +
                                        u"\\Application With Long Name.exe"))
        << std::string(shortPath.begin(), shortPath.end());
    EXPECT_EQ(buffer.Text().find(u'~'), std::u16string::npos);
}

TEST_F(NativeTargetFiles, shouldFailWithoutWritingForAPathThatDoesNotExist)
{
    GuardedBuffer buffer(4096);
    const std::wstring missing = (folder / L"MISSIN~1.EXE").wstring();
    EXPECT_EQ(NativeTarget::Instance().GetLongPathName(U16(missing), buffer.units.data(), buffer.Capacity()),
              0u);
    EXPECT_EQ(buffer.units[0], u'#');
}

TEST_F(NativeTargetFiles, shouldCutALongPathToTheBuffer)
{
    GuardedBuffer buffer(10);
    EXPECT_EQ(NativeTarget::Instance().GetLongPathName(U16(ShortFile()), buffer.units.data(), buffer.Capacity()),
              9u);
    EXPECT_EQ(buffer.Text().size(), 9u);
    EXPECT_TRUE(buffer.GuardIntact());
}

TEST_F(NativeTargetFiles, shouldTellFilesFromFoldersAndMissingPaths)
{
    Target& target = NativeTarget::Instance();
    EXPECT_TRUE(target.FileExists(U16(LongFile())));
    EXPECT_TRUE(target.FileExists(U16(ShortFile())));
    EXPECT_FALSE(target.FileExists(U16(folder.wstring())));
    EXPECT_FALSE(target.FileExists(U16((folder / L"absent.exe").wstring())));
    EXPECT_FALSE(target.FileExists(u""));
}

}  // namespace
