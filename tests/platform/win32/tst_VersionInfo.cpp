#include "platform/win32/VersionInfo.h"

#include "platform/win32/WindowsApi.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>

namespace {

using namespace quelvo::platform;

// The test executable carries the program's own version resource.
TEST(VersionInfo, shouldReadTheFieldsOfTheFirstTranslation)
{
    const VersionStrings strings = ReadOwnVersionStrings();
    EXPECT_EQ(Field(strings, VersionField::FileVersion), u"1.0.0.14");
    EXPECT_EQ(Field(strings, VersionField::ProductVersion), u"1.0.0.0");
    EXPECT_EQ(Field(strings, VersionField::ProductName), u"Quelvo");
    EXPECT_EQ(Field(strings, VersionField::OriginalFilename), u"Quelvo.exe");
}

TEST(VersionInfo, shouldReadAFieldMissingFromTheTableAsEmpty)
{
    const VersionStrings strings = ReadOwnVersionStrings();
    EXPECT_EQ(Field(strings, VersionField::LegalTrademarks), u"");
    EXPECT_EQ(Field(strings, VersionField::Comments), u"");
}

std::filesystem::path BesideThisTest(const wchar_t* name)
{
    std::array<wchar_t, 4096> self{};
    GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size()));
    return std::filesystem::path(self.data()).parent_path() / name;
}

TEST(VersionInfo, shouldUseOnlyTheStringTableOfTheFirstTranslation)
{
    const std::wstring fixture = BesideThisTest(L"quelvo_version_fixture.exe").wstring();
    const VersionStrings strings = ReadVersionStrings(std::u16string(fixture.begin(), fixture.end()));
    EXPECT_EQ(Field(strings, VersionField::FileVersion), u"2.0 Deutsch");
    EXPECT_EQ(Field(strings, VersionField::ProductName), u"Quelvo Deutsch");
    EXPECT_EQ(Field(strings, VersionField::Comments), u"");
}

TEST(VersionInfo, shouldReadEveryFieldAsNotAvailableWithoutAResource)
{
    std::array<wchar_t, MAX_PATH + 1> temp{};
    ASSERT_GT(GetTempPathW(static_cast<DWORD>(temp.size()), temp.data()), 0u);
    const std::filesystem::path plain = std::filesystem::path(temp.data()) / L"quelvo-no-version.txt";
    std::ofstream(plain) << "no resource here";
    for (const std::filesystem::path& file : {plain, plain.parent_path() / L"quelvo-absent.exe"}) {
        const std::wstring name = file.wstring();
        for (const std::u16string& value : ReadVersionStrings(std::u16string(name.begin(), name.end())))
            EXPECT_EQ(value, u"Value Not Available");
    }
    std::filesystem::remove(plain);
}

}  // namespace
