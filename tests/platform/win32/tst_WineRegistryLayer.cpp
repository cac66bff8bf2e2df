// The five registry operations against Wine's real registry, through the
// machine's own target (the default active target of the Windows build).

#include "scan/Unit_QLV_func_Registry.h"

#include "tests/support/ScratchKeys.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace {

using quelvo::test::U16;

using namespace quelvo::scan;
using quelvo::platform::RegRoot;
using quelvo::test::ScratchKeys;

// <windows.h> makes HKEY_LOCAL_MACHINE a macro of its own type.
constexpr RegRoot kLocalMachine = RegRoot::LocalMachine;

// Sub-key names in the order Windows enumerates them, untrimmed.
std::vector<std::u16string> EnumeratedNames(const std::wstring& path)
{
    std::vector<std::u16string> names;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return names;
    for (DWORD i = 0;; ++i) {
        std::array<wchar_t, 256> name{};
        DWORD length = name.size();
        if (RegEnumKeyExW(key, i, name.data(), &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        names.push_back(U16(std::wstring(name.data(), length)));
    }
    RegCloseKey(key);
    return names;
}

class WineRegistryLayer : public ::testing::Test {
protected:
    const std::wstring suffix = quelvo::test::UniqueSuffix();
    const std::wstring base = L"SOFTWARE\\Classes\\." + suffix;
    ScratchKeys scratch{{base}};
};

TEST_F(WineRegistryLayer, shouldListTrimmedNamesInEnumerationOrderDuplicatesIncluded)
{
    ScratchKeys::Create(base + L"\\ .abc");
    ScratchKeys::Create(base + L"\\.abc  ");
    ScratchKeys::Create(base + L"\\txtfile");
    StringList list{u"stale"};
    func_Reg_GetSubKeyNames(kLocalMachine, U16(base), list);

    std::vector<std::u16string> expected;
    for (const auto& name : EnumeratedNames(base))
        expected.push_back(name == u"txtfile" ? name : u".abc");
    EXPECT_EQ(expected.size(), 3u);
    EXPECT_EQ(list, expected);
}

TEST_F(WineRegistryLayer, shouldEmptyTheListWhenTheKeyDoesNotOpen)
{
    StringList list{u".one", u".two"};
    func_Reg_GetSubKeyNames(kLocalMachine, U16(base + L"\\absent"), list);
    EXPECT_TRUE(list.empty());
}

TEST_F(WineRegistryLayer, shouldListTheClassesBranchWithItsExtensions)
{
    ScratchKeys::Create(base);
    StringList list;
    func_Reg_GetSubKeyNames(kLocalMachine, u"SOFTWARE\\Classes\\", list);
    EXPECT_GT(list.size(), 100u);  // a fresh prefix has some 400
    EXPECT_NE(std::find(list.begin(), list.end(), u"." + U16(suffix)), list.end());
    EXPECT_NE(std::find(list.begin(), list.end(), u".ini"), list.end());
}

TEST_F(WineRegistryLayer, shouldOpenAKeyWhateverTheCaseTrailingSeparatorOrView)
{
    ScratchKeys::Create(base + L"\\.TXT");
    EXPECT_TRUE(func_Reg_KeyExists(kLocalMachine, u"SOFTWARE\\Classes\\"));
    EXPECT_TRUE(func_Reg_KeyExists(kLocalMachine, u"SOFTWARE\\Classes"));
    EXPECT_TRUE(func_Reg_KeyExists(kLocalMachine, u"software\\classes\\." + U16(suffix) + u"\\.txt"));
    EXPECT_TRUE(func_Reg_KeyExists(kLocalMachine, U16(base + L"\\.Txt\\"), true));
    EXPECT_FALSE(func_Reg_KeyExists(kLocalMachine, U16(base + L"\\.doc")));
}

TEST_F(WineRegistryLayer, shouldReadTheDefaultValueOnlyWhenItIsThere)
{
    std::u16string value = u"stale";
    EXPECT_FALSE(func_Reg_ReadString(kLocalMachine, U16(base + L"\\absent"), u"", value));
    EXPECT_EQ(value, u"");

    ScratchKeys::Create(base);
    value = u"stale";
    EXPECT_FALSE(func_Reg_ReadString(kLocalMachine, U16(base), u"", value));
    EXPECT_EQ(value, u"");

    ScratchKeys::SetString(base, L"", L"");
    value = u"stale";
    EXPECT_TRUE(func_Reg_ReadString(kLocalMachine, U16(base), u"", value));
    EXPECT_EQ(value, u"");

    ScratchKeys::SetString(base, L"", L"abcfile");
    EXPECT_TRUE(func_Reg_ReadString(kLocalMachine, U16(base) + u"\\", u"", value));
    EXPECT_EQ(value, u"abcfile");
}

TEST_F(WineRegistryLayer, shouldReadAnyValueTypeAsTextCutToItsFirst256Units)
{
    ScratchKeys::SetRaw(base, L"Number", REG_DWORD, {0x42, 0x00, 0x41, 0x00});
    ScratchKeys::SetString(base, L"Long", std::wstring(255, L'a') + L"bcd");
    ScratchKeys::SetRaw(base, L"Inner", REG_SZ, {'a', 0, 0, 0, 'b', 0});
    std::u16string value;
    EXPECT_TRUE(func_Reg_ReadString(kLocalMachine, U16(base), u"number", value));
    EXPECT_EQ(value, u"BA");
    EXPECT_TRUE(func_Reg_ReadString(kLocalMachine, U16(base), u"Long", value));
    EXPECT_EQ(value, std::u16string(255, u'a') + u"b");
    EXPECT_TRUE(func_Reg_ReadString(kLocalMachine, U16(base), u"Inner", value));
    EXPECT_EQ(value, u"a");
}

TEST_F(WineRegistryLayer, shouldTellKeysWithSubKeysFromLeavesAndAbsentKeys)
{
    ScratchKeys::Create(base + L"\\OpenWithProgids");
    EXPECT_TRUE(func_Reg_HasSubKeys(kLocalMachine, U16(base)));
    EXPECT_FALSE(func_Reg_HasSubKeys(kLocalMachine, U16(base + L"\\OpenWithProgids")));
    EXPECT_FALSE(func_Reg_HasSubKeys(kLocalMachine, U16(base + L"\\absent")));
}

TEST_F(WineRegistryLayer, shouldDeleteAWholeTreeAndNothingBeside)
{
    ScratchKeys::Create(base + L"\\.xyz\\a\\a1");
    ScratchKeys::Create(base + L"\\.xyz\\a\\a2");
    ScratchKeys::Create(base + L"\\.xyz\\b\\b1");
    ScratchKeys::SetString(base + L"\\.xyz\\b", L"", L"value");
    ScratchKeys::Create(base + L"\\.xyzz\\kept");
    EXPECT_TRUE(func_Reg_DeleteKeyTree(kLocalMachine, U16(base + L"\\.XYZ")));
    EXPECT_FALSE(ScratchKeys::Exists(base + L"\\.xyz"));
    EXPECT_TRUE(ScratchKeys::Exists(base + L"\\.xyzz\\kept"));
}

// Highest index first: "zz" goes, the key that does not open stops the walk,
// and it, its parent, the lower sibling "a" and the root of the call stay.
TEST_F(WineRegistryLayer, shouldStopAtAKeyThatDoesNotOpenAndKeepItsAncestors)
{
    ScratchKeys::Create(base + L"\\.xyz\\a");
    ScratchKeys::Create(base + L"\\.xyz\\b\\zz");
    quelvo::test::LinkGuard refusing(base + L"\\.xyz\\b\\link");
    ASSERT_FALSE(func_Reg_KeyExists(kLocalMachine, U16(base + L"\\.xyz\\b\\link")));

    EXPECT_FALSE(func_Reg_DeleteKeyTree(kLocalMachine, U16(base + L"\\.xyz")));
    EXPECT_FALSE(ScratchKeys::Exists(base + L"\\.xyz\\b\\zz"));
    EXPECT_EQ(EnumeratedNames(base + L"\\.xyz\\b"), std::vector<std::u16string>{u"link"});
    EXPECT_TRUE(ScratchKeys::Exists(base + L"\\.xyz\\a"));
}

TEST_F(WineRegistryLayer, shouldDeleteALeafAndFailOnAnAbsentKey)
{
    ScratchKeys::Create(base + L"\\leaf");
    EXPECT_TRUE(func_Reg_DeleteKeyTree(kLocalMachine, U16(base + L"\\leaf")));
    EXPECT_FALSE(ScratchKeys::Exists(base + L"\\leaf"));
    EXPECT_TRUE(ScratchKeys::Exists(base));
    EXPECT_FALSE(func_Reg_DeleteKeyTree(kLocalMachine, U16(base + L"\\leaf")));
}

}  // namespace
