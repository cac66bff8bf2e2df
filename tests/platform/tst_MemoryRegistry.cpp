#include "platform/MemoryRegistry.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace {

using namespace quelvo::platform;

class MemoryRegistryTest : public ::testing::Test {
protected:
    RegHandle Open(std::u16string_view path, std::uint32_t access = KEY_ALL_ACCESS)
    {
        RegHandle h = RegHandle::Invalid;
        EXPECT_EQ(store.OpenKey(HKEY_LOCAL_MACHINE, path, access, &h), kSuccess) << ToUtf8Path(path);
        return h;
    }
    static std::string ToUtf8Path(std::u16string_view p) { return std::string(p.begin(), p.end()); }

    std::vector<std::u16string> Names(RegHandle h)
    {
        std::vector<std::u16string> out;
        std::uint32_t count = 0;
        EXPECT_EQ(store.QueryInfoKey(h, &count, nullptr), kSuccess);
        for (std::uint32_t i = 0; i < count; ++i) {
            std::array<char16_t, 256> buf{};
            std::uint32_t len = 0;
            EXPECT_EQ(store.EnumKey(h, i, buf.data(), buf.size(), &len), kSuccess);
            out.emplace_back(buf.data(), len);
        }
        return out;
    }

    MemoryRegistry store;
};

TEST_F(MemoryRegistryTest, shouldOpenKeysWithoutRegardToCaseOrTrailingSeparator)
{
    store.CreateKey(u"SOFTWARE\\Classes\\.txt");
    for (auto path : {u"SOFTWARE\\Classes\\.txt", u"software\\classes\\.TXT", u"SOFTWARE\\Classes\\.txt\\"}) {
        RegHandle h = Open(path);
        EXPECT_NE(h, RegHandle::Invalid);
        EXPECT_EQ(store.CloseKey(h), kSuccess);
    }
    RegHandle h;
    EXPECT_EQ(store.OpenKey(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Classes\\.doc", KEY_ALL_ACCESS, &h), kFileNotFound);
    EXPECT_EQ(h, RegHandle::Invalid);
    EXPECT_NE(store.OpenKey(HKEY_LOCAL_MACHINE, u"\\SOFTWARE", KEY_ALL_ACCESS, &h), kSuccess);
    EXPECT_NE(store.OpenKey(HKEY_LOCAL_MACHINE, u"SOFTWARE\\\\Classes", KEY_ALL_ACCESS, &h), kSuccess);
}

TEST_F(MemoryRegistryTest, shouldEnumerateInStableCaseInsensitiveOrderKeepingCreatedCase)
{
    for (auto name : {u"b", u"C", u".Zip", u"a", u".abc"})
        store.CreateKey(std::u16string(u"K\\") + name);
    store.CreateKey(u"k\\A");  // same key as "a": keeps the first spelling
    RegHandle h = Open(u"K");
    std::vector<std::u16string> expected{u".abc", u".Zip", u"a", u"b", u"C"};
    EXPECT_EQ(Names(h), expected);
    EXPECT_EQ(Names(h), expected);
    std::uint32_t count = 0, longest = 0;
    EXPECT_EQ(store.QueryInfoKey(h, &count, &longest), kSuccess);
    EXPECT_EQ(count, 5u);
    EXPECT_EQ(longest, 4u);
    store.CloseKey(h);
}

TEST_F(MemoryRegistryTest, shouldRefuseEnumerationWhenNameAndNulDoNotFit)
{
    store.CreateKey(u"K\\abcd");
    RegHandle h = Open(u"K");
    std::array<char16_t, 6> buf;
    buf.fill(u'#');
    std::uint32_t len = 99;
    EXPECT_EQ(store.EnumKey(h, 0, buf.data(), 4, &len), kMoreData);
    EXPECT_EQ(buf[0], u'#') << "nothing is written on failure";
    EXPECT_EQ(store.EnumKey(h, 0, buf.data(), 5, &len), kSuccess);
    EXPECT_EQ(std::u16string(buf.data()), u"abcd");
    EXPECT_EQ(len, 4u);
    EXPECT_EQ(buf[5], u'#');
    EXPECT_EQ(store.EnumKey(h, 1, buf.data(), 5, &len), kNoMoreItems);
}

TEST_F(MemoryRegistryTest, shouldReturnTypedRawValuesAndNeverWritePastSize)
{
    store.SetValue(u"K", u"num", RegType::Dword, {0x42, 0, 0x41, 0});
    store.SetString(u"K", u"", u"hello");
    RegHandle h = Open(u"K");

    RegType type = RegType::None;
    std::uint32_t size = 0;
    EXPECT_EQ(store.QueryValue(h, u"NUM", &type, nullptr, &size), kSuccess);
    EXPECT_EQ(type, RegType::Dword);
    EXPECT_EQ(size, 4u);

    EXPECT_EQ(store.QueryValue(h, u"", &type, nullptr, &size), kSuccess);
    EXPECT_EQ(type, RegType::Sz);
    EXPECT_EQ(size, 12u) << "a string keeps its terminating NUL";

    std::array<std::uint8_t, 8> buf;
    buf.fill(0xEE);
    size = 4;
    EXPECT_EQ(store.QueryValue(h, u"", &type, buf.data(), &size), kMoreData);
    EXPECT_EQ(size, 12u);
    EXPECT_EQ(buf[0], 'h');
    EXPECT_EQ(buf[2], 'e');
    EXPECT_EQ(buf[4], 0xEE) << "nothing past the given size";

    EXPECT_EQ(store.QueryValue(h, u"missing", &type, nullptr, &size), kFileNotFound);
    EXPECT_EQ(store.QueryValue(h, u"", &type, buf.data(), nullptr), kInvalidParameter);
    store.CloseKey(h);
}

TEST_F(MemoryRegistryTest, shouldRefuseWriteRightsOnMarkedKeyButAllowReading)
{
    store.CreateKey(u"K\\locked\\child");
    store.SetRefusesFullAccess(u"K\\locked", true);
    RegHandle h;
    EXPECT_EQ(store.OpenKey(HKEY_LOCAL_MACHINE, u"K\\locked", KEY_ALL_ACCESS, &h), kAccessDenied);
    EXPECT_EQ(store.OpenKey(HKEY_LOCAL_MACHINE, u"K\\locked", KEY_ALL_ACCESS | KEY_WOW64_64KEY, &h), kAccessDenied);
    EXPECT_EQ(store.OpenKey(HKEY_LOCAL_MACHINE, u"K\\locked", KEY_READ, &h), kSuccess);
    store.CloseKey(h);
    EXPECT_EQ(store.OpenKey(HKEY_LOCAL_MACHINE, u"K\\locked\\child", KEY_ALL_ACCESS, &h), kSuccess)
        << "the mark is the key's own, not its children's";
    store.CloseKey(h);
    EXPECT_TRUE(store.HasKey(u"K\\LOCKED"));
}

TEST_F(MemoryRegistryTest, shouldDeleteOnlyKeysWithoutSubKeys)
{
    store.CreateKey(u"K\\parent\\child");
    EXPECT_EQ(store.DeleteKey(HKEY_LOCAL_MACHINE, u"K\\parent"), kAccessDenied);
    EXPECT_EQ(store.DeleteKey(HKEY_LOCAL_MACHINE, u"k\\PARENT\\child\\"), kSuccess);
    EXPECT_FALSE(store.HasKey(u"K\\parent\\child"));
    EXPECT_EQ(store.DeleteKey(HKEY_LOCAL_MACHINE, u"K\\parent"), kSuccess);
    EXPECT_EQ(store.DeleteKey(HKEY_LOCAL_MACHINE, u"K\\parent"), kFileNotFound);
    EXPECT_EQ(store.DeleteKey(HKEY_LOCAL_MACHINE, u""), kAccessDenied) << "the root stays";

    store.CreateKey(u"K\\locked");
    store.SetRefusesFullAccess(u"K\\locked", true);
    EXPECT_EQ(store.DeleteKey(HKEY_LOCAL_MACHINE, u"K\\locked"), kAccessDenied);
}

TEST_F(MemoryRegistryTest, shouldMatchKeyAndValueNamesBeyondAsciiAsWindowsDoes)
{
    store.CreateKey(u"Classes\\Ägfile\\Σίγμα\\Жук");
    store.SetString(u"Classes\\Ägfile", u"Größe", u"x");
    for (std::u16string_view path : {u"classes\\ägfile", u"CLASSES\\ÄGFILE\\ΣΊΓΜΑ", u"classes\\ägfile\\σίγμα\\жук",
                                     u"Classes\\ÄgFile\\ΣΊΓΜΑ\\ЖУК"}) {
        RegHandle h = RegHandle::Invalid;
        EXPECT_EQ(store.OpenKey(HKEY_LOCAL_MACHINE, path, KEY_READ, &h), kSuccess) << ToUtf8Path(path);
        store.CloseKey(h);
    }
    // Creating the other spelling finds the same key, which keeps its case.
    store.CreateKey(u"classes\\ÄGFILE");
    RegHandle classes = Open(u"Classes");
    EXPECT_EQ(Names(classes), std::vector<std::u16string>{u"Ägfile"});
    store.CloseKey(classes);

    RegHandle h = Open(u"classes\\äGFILE");
    std::uint32_t size = 0;
    EXPECT_EQ(store.QueryValue(h, u"GRÖSSE", nullptr, nullptr, &size), kFileNotFound) << "ß is not SS";
    EXPECT_EQ(store.QueryValue(h, u"GRÖßE", nullptr, nullptr, &size), kSuccess);
    store.CloseKey(h);

    EXPECT_EQ(store.DeleteKey(HKEY_LOCAL_MACHINE, u"CLASSES\\ägfile\\ΣΊΓΜΑ\\жук"), kSuccess);
    EXPECT_FALSE(store.HasKey(u"Classes\\Ägfile\\Σίγμα\\Жук"));
}

TEST_F(MemoryRegistryTest, shouldSayWhyARemovalFailed)
{
    store.CreateKey(u"K\\parent\\child");
    store.CreateKey(u"K\\locked");
    store.SetRefusesFullAccess(u"K\\locked", true);
    EXPECT_NE(store.DeleteKey(HKEY_LOCAL_MACHINE, u"K\\locked"), kSuccess);
    EXPECT_NE(ToUtf8Path(store.FailureReason()).find("refuses full access"), std::string::npos);
    EXPECT_NE(store.DeleteKey(HKEY_LOCAL_MACHINE, u"K\\parent"), kSuccess);
    EXPECT_NE(ToUtf8Path(store.FailureReason()).find("sub-keys"), std::string::npos);
    EXPECT_EQ(store.DeleteKey(HKEY_LOCAL_MACHINE, u"K\\parent\\child"), kSuccess);
    EXPECT_TRUE(store.FailureReason().empty());
    // No file, so the batch is the default one: removals act at once.
    EXPECT_EQ(store.BeginRepair(), kSuccess);
    EXPECT_EQ(store.DeleteKey(HKEY_LOCAL_MACHINE, u"K\\parent"), kSuccess);
    EXPECT_FALSE(store.HasKey(u"K\\parent"));
    EXPECT_EQ(store.CommitRepair(), kSuccess);
}

TEST_F(MemoryRegistryTest, shouldKeepHandleOfRemovedKeySafe)
{
    store.CreateKey(u"K\\gone");
    store.SetString(u"K\\gone", u"", u"x");
    RegHandle h = Open(u"K\\gone");
    ASSERT_EQ(store.DeleteKey(HKEY_LOCAL_MACHINE, u"K\\gone"), kSuccess);

    std::uint32_t count = 7;
    EXPECT_EQ(store.QueryInfoKey(h, &count, nullptr), kKeyDeleted);
    std::array<char16_t, 8> name{};
    EXPECT_EQ(store.EnumKey(h, 0, name.data(), name.size(), nullptr), kKeyDeleted);
    std::uint32_t size = 0;
    EXPECT_EQ(store.QueryValue(h, u"", nullptr, nullptr, &size), kKeyDeleted);
    EXPECT_EQ(store.CloseKey(h), kSuccess);
    EXPECT_EQ(store.CloseKey(h), kInvalidHandle);

    // A new key of the same name is a different key.
    store.CreateKey(u"K\\gone");
    RegHandle again = Open(u"K\\gone");
    EXPECT_EQ(store.QueryValue(again, u"", nullptr, nullptr, &size), kFileNotFound);
    store.CloseKey(again);
}

TEST_F(MemoryRegistryTest, shouldRejectUnknownHandlesAndRoots)
{
    std::uint32_t count = 0;
    EXPECT_EQ(store.QueryInfoKey(static_cast<RegHandle>(12345), &count, nullptr), kInvalidHandle);
    RegHandle h;
    EXPECT_NE(store.OpenKey(static_cast<RegRoot>(0x80000001), u"", KEY_ALL_ACCESS, &h), kSuccess);
    EXPECT_EQ(store.OpenKey(HKEY_LOCAL_MACHINE, u"", KEY_ALL_ACCESS, &h), kSuccess) << "empty path: the root";
    store.CloseKey(h);
}

}  // namespace
