#include "platform/win32/Win32Registry.h"

#include "tests/support/ScratchKeys.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>

namespace {

using quelvo::test::U16;

using namespace quelvo::platform;
using quelvo::platform::win32::Win32Registry;
using quelvo::test::ScratchKeys;
// <windows.h> makes HKEY_LOCAL_MACHINE a macro of its own type.
constexpr RegRoot kLocalMachine = RegRoot::LocalMachine;

class Win32RegistryTest : public ::testing::Test {
protected:
    // Outside the classes branch, which the scan tests walk at the same time.
    const std::wstring base = L"SOFTWARE\\" + quelvo::test::UniqueSuffix();
    ScratchKeys scratch{{base}};
    Win32Registry store;

    // Opens with full access and fails the test when that is refused.
    RegHandle Open(const std::wstring& path)
    {
        RegHandle key = RegHandle::Invalid;
        EXPECT_EQ(store.OpenKey(kLocalMachine, U16(path), KEY_ALL_ACCESS, &key), kSuccess);
        return key;
    }
};

TEST_F(Win32RegistryTest, shouldOpenKeysWhateverTheCaseAndTrailingSeparator)
{
    ScratchKeys::Create(base + L"\\Sub");
    for (const std::wstring& path : {base, base + L"\\", base + L"\\SUB", base + L"\\sub\\"}) {
        RegHandle key = RegHandle::Invalid;
        EXPECT_EQ(store.OpenKey(kLocalMachine, U16(path), KEY_ALL_ACCESS, &key), kSuccess)
            << std::string(path.begin(), path.end());
        EXPECT_NE(key, RegHandle::Invalid);
        EXPECT_EQ(store.CloseKey(key), kSuccess);
    }
    RegHandle classes = RegHandle::Invalid;
    EXPECT_EQ(store.OpenKey(kLocalMachine, u"software\\classes\\", KEY_ALL_ACCESS | KEY_WOW64_64KEY,
                            &classes),
              kSuccess);
    store.CloseKey(classes);
}

TEST_F(Win32RegistryTest, shouldReportAnAbsentKeyWithoutAHandle)
{
    RegHandle key = static_cast<RegHandle>(1234);
    EXPECT_NE(store.OpenKey(kLocalMachine, U16(base + L"\\missing"), KEY_ALL_ACCESS, &key), kSuccess);
    EXPECT_EQ(key, RegHandle::Invalid);
}

TEST_F(Win32RegistryTest, shouldCountSubKeysAndTheLongestName)
{
    ScratchKeys::Create(base + L"\\a");
    ScratchKeys::Create(base + L"\\abcdefg");
    ScratchKeys::Create(base + L"\\abc");
    const RegHandle key = Open(base);
    std::uint32_t count = 99, longest = 99;
    EXPECT_EQ(store.QueryInfoKey(key, &count, &longest), kSuccess);
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(longest, 7u);
    count = 99;
    EXPECT_EQ(store.QueryInfoKey(key, &count, nullptr), kSuccess);
    EXPECT_EQ(count, 3u);
    store.CloseKey(key);
}

TEST_F(Win32RegistryTest, shouldEnumerateEveryNameOnceThenStop)
{
    ScratchKeys::Create(base + L"\\.abc");
    ScratchKeys::Create(base + L"\\ .abc");
    ScratchKeys::Create(base + L"\\Zed");
    const RegHandle key = Open(base);
    std::vector<std::u16string> names;
    for (std::uint32_t i = 0;; ++i) {
        std::array<char16_t, 256> name{};
        std::uint32_t length = 0;
        const RegStatus status = store.EnumKey(key, i, name.data(), name.size(), &length);
        if (status == kNoMoreItems)
            break;
        ASSERT_EQ(status, kSuccess);
        ASSERT_EQ(name[length], u'\0');
        names.emplace_back(name.data(), length);
    }
    store.CloseKey(key);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::u16string>{u" .abc", u".abc", u"Zed"}));
}

TEST_F(Win32RegistryTest, shouldLeaveTheBufferUntouchedWhenANameDoesNotFit)
{
    ScratchKeys::Create(base + L"\\abcdef");
    const RegHandle key = Open(base);
    std::array<char16_t, 8> name;
    name.fill(u'#');
    std::uint32_t length = 0;
    // Six units and the NUL need seven.
    EXPECT_EQ(store.EnumKey(key, 0, name.data(), 6, &length), kMoreData);
    EXPECT_EQ(std::u16string(name.begin(), name.end()), u"########");
    EXPECT_EQ(store.EnumKey(key, 0, name.data(), 7, &length), kSuccess);
    EXPECT_EQ(std::u16string(name.data()), u"abcdef");
    EXPECT_EQ(name[7], u'#');
    store.CloseKey(key);
}

TEST_F(Win32RegistryTest, shouldReadValuesByNameWithTheirTypeAndSize)
{
    ScratchKeys::SetString(base, L"", L"abcfile");
    ScratchKeys::SetRaw(base, L"Number", REG_DWORD, {0x42, 0x00, 0x41, 0x00});
    const RegHandle key = Open(base);

    RegType type = RegType::None;
    std::uint32_t size = 0;
    EXPECT_EQ(store.QueryValue(key, u"", &type, nullptr, &size), kSuccess);
    EXPECT_EQ(type, RegType::Sz);
    EXPECT_EQ(size, 16u);  // seven units and the NUL

    std::array<char16_t, 16> text{};
    size = sizeof text;
    EXPECT_EQ(store.QueryValue(key, u"", nullptr, reinterpret_cast<std::uint8_t*>(text.data()), &size),
              kSuccess);
    EXPECT_EQ(size, 16u);
    EXPECT_EQ(std::u16string(text.data()), u"abcfile");

    std::array<char16_t, 4> number{};
    size = sizeof number;
    EXPECT_EQ(store.QueryValue(key, u"number", &type, reinterpret_cast<std::uint8_t*>(number.data()), &size),
              kSuccess);
    EXPECT_EQ(type, RegType::Dword);
    EXPECT_EQ(std::u16string(number.data()), u"BA");

    EXPECT_EQ(store.QueryValue(key, u"absent", nullptr, nullptr, &size), kFileNotFound);
    store.CloseKey(key);
}

TEST_F(Win32RegistryTest, shouldWriteTheFirstBytesOfALongerValueAndNeverMore)
{
    ScratchKeys::SetString(base, L"", std::wstring(300, L'x'));
    const RegHandle key = Open(base);
    std::array<std::uint8_t, 520> data;
    data.fill(0xEE);
    std::uint32_t size = 512;
    EXPECT_EQ(store.QueryValue(key, u"", nullptr, data.data(), &size), kMoreData);
    EXPECT_EQ(size, 602u);
    EXPECT_EQ(data[0], 'x');
    EXPECT_EQ(data[510], 'x');
    EXPECT_EQ(data[512], 0xEE);
    store.CloseKey(key);
}

TEST_F(Win32RegistryTest, shouldDeleteOnlyKeysWithoutSubKeys)
{
    ScratchKeys::Create(base + L"\\child\\grandchild");
    EXPECT_EQ(store.DeleteKey(kLocalMachine, U16(base + L"\\child")), kAccessDenied);
    EXPECT_TRUE(ScratchKeys::Exists(base + L"\\child"));
    EXPECT_EQ(store.DeleteKey(kLocalMachine, U16(base + L"\\CHILD\\grandchild")), kSuccess);
    EXPECT_FALSE(ScratchKeys::Exists(base + L"\\child\\grandchild"));
    EXPECT_NE(store.DeleteKey(kLocalMachine, U16(base + L"\\child\\grandchild")), kSuccess);
}

}  // namespace
