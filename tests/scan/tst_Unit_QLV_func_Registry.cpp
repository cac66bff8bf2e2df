#include "scan/Unit_QLV_func_Registry.h"

#include "ScanFixture.h"

#include "platform/Text.h"

namespace {

using namespace quelvo::scan;
using quelvo::platform::HKEY_LOCAL_MACHINE;
using quelvo::platform::RegType;

class RegistryLayer : public quelvo::scan::testing::ScanFixture {
protected:
    std::pair<bool, std::u16string> Read(std::u16string_view path, std::u16string_view valueName = u"")
    {
        std::u16string value = u"stale";
        bool ok = func_Reg_ReadString(HKEY_LOCAL_MACHINE, path, valueName, value);
        return {ok, value};
    }
};

TEST_F(RegistryLayer, shouldListTrimmedSubKeyNamesKeepingDuplicates)
{
    registry.CreateKey(u"SOFTWARE\\Classes\\ .abc");
    registry.CreateKey(u"SOFTWARE\\Classes\\.abc  ");
    registry.CreateKey(u"SOFTWARE\\Classes\\txtfile");
    StringList list;
    func_Reg_GetSubKeyNames(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Classes\\", list);
    EXPECT_EQ(list, (StringList{u".abc", u".abc", u"txtfile"}));
}

TEST_F(RegistryLayer, shouldEmptyTheListWhenTheKeyDoesNotOpen)
{
    registry.CreateKey(u"SOFTWARE\\Locked\\child");
    registry.SetRefusesFullAccess(u"SOFTWARE\\Locked", true);
    StringList list{u"old", u"entries"};
    func_Reg_GetSubKeyNames(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Missing", list);
    EXPECT_TRUE(list.empty());
    list = {u"old"};
    func_Reg_GetSubKeyNames(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Locked", list);
    EXPECT_TRUE(list.empty()) << "a refused key counts as absent";
}

TEST_F(RegistryLayer, shouldAddressOneKeyWhateverTheCaseOrTrailingSeparator)
{
    registry.CreateKey(u"SOFTWARE\\Classes\\.txt\\ShellNew");
    for (auto path : {u"SOFTWARE\\Classes\\.txt", u"software\\classes\\.TXT", u"SOFTWARE\\Classes\\.txt\\"}) {
        EXPECT_TRUE(func_Reg_KeyExists(HKEY_LOCAL_MACHINE, path));
        EXPECT_TRUE(func_Reg_HasSubKeys(HKEY_LOCAL_MACHINE, path));
    }
    StringList a, b;
    func_Reg_GetSubKeyNames(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Classes\\", a);
    func_Reg_GetSubKeyNames(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Classes", b);
    EXPECT_EQ(a, b);
    EXPECT_EQ(a, StringList{u".txt"});
}

TEST_F(RegistryLayer, shouldTreatKeysRefusingFullAccessAsAbsentInEitherView)
{
    registry.CreateKey(u"K\\Locked\\child");
    registry.SetRefusesFullAccess(u"K\\Locked", true);
    registry.SetString(u"K\\Locked", u"", u"x");
    for (bool view : {false, true}) {
        EXPECT_FALSE(func_Reg_KeyExists(HKEY_LOCAL_MACHINE, u"K\\Locked", view));
        EXPECT_FALSE(func_Reg_HasSubKeys(HKEY_LOCAL_MACHINE, u"K\\Locked", view));
        std::u16string value;
        EXPECT_FALSE(func_Reg_ReadString(HKEY_LOCAL_MACHINE, u"K\\Locked", u"", value, view));
        EXPECT_TRUE(func_Reg_KeyExists(HKEY_LOCAL_MACHINE, u"K\\Locked\\child", view));
    }
    EXPECT_FALSE(func_Reg_KeyExists(HKEY_LOCAL_MACHINE, u"K\\Missing"));
}

TEST_F(RegistryLayer, shouldReadValuesAsTextWithFlag)
{
    registry.CreateKey(u"K\\NoDefault");
    registry.SetString(u"K\\Empty", u"", u"");
    registry.SetString(u"K\\Text", u"", u"txtfile");
    registry.SetString(u"K\\Text", u"Named", u"other");
    registry.SetValue(u"K\\Number", u"", RegType::Dword, {0x42, 0x00, 0x41, 0x00});
    registry.SetValue(u"K\\EmbeddedNul", u"", RegType::Sz, {'a', 0, 'b', 0, 0, 0, 'c', 0, 0, 0});
    registry.SetValue(u"K\\NoTerminator", u"", RegType::Sz, {'a', 0, 'b', 0, 'c'});
    registry.SetValue(u"K\\ZeroBytes", u"", RegType::Binary, {});

    const std::vector<std::tuple<std::u16string, std::u16string, bool, std::u16string>> rows{
        {u"K\\NoDefault", u"", false, u""},
        {u"K\\Missing", u"", false, u""},
        {u"K\\Empty", u"", true, u""},
        {u"K\\Text", u"", true, u"txtfile"},
        {u"K\\Text", u"named", true, u"other"},
        {u"K\\Text", u"absent", false, u""},
        {u"K\\Number", u"", true, u"BA"},
        {u"K\\EmbeddedNul", u"", true, u"ab"},
        {u"K\\NoTerminator", u"", true, u"abc"},
        {u"K\\ZeroBytes", u"", true, u""},
    };
    for (const auto& [path, valueName, ok, text] : rows) {
        const auto [gotOk, gotText] = Read(path, valueName);
        EXPECT_EQ(gotOk, ok) << quelvo::platform::ToUtf8(path + u" " + valueName);
        EXPECT_EQ(gotText, text) << quelvo::platform::ToUtf8(path + u" " + valueName);
    }
}

TEST_F(RegistryLayer, shouldReadFirst256UnitsOfALongValue)
{
    std::u16string longText;
    for (int i = 0; i < 300; ++i)
        longText += char16_t(u'A' + i % 26);
    registry.SetString(u"K", u"", longText);
    const auto [ok, text] = Read(u"K");
    EXPECT_TRUE(ok);
    EXPECT_EQ(text, longText.substr(0, 256));
}

TEST_F(RegistryLayer, shouldTellWhetherAKeyHasSubKeys)
{
    registry.CreateKey(u"K\\One\\child");
    registry.CreateKey(u"K\\Leaf");
    EXPECT_TRUE(func_Reg_HasSubKeys(HKEY_LOCAL_MACHINE, u"K\\One"));
    EXPECT_FALSE(func_Reg_HasSubKeys(HKEY_LOCAL_MACHINE, u"K\\Leaf"));
    EXPECT_FALSE(func_Reg_HasSubKeys(HKEY_LOCAL_MACHINE, u"K\\Missing"));
}

TEST_F(RegistryLayer, shouldDeleteLeafAndFailForAbsentKey)
{
    registry.CreateKey(u"SOFTWARE\\Classes\\.xyz");
    EXPECT_TRUE(func_Reg_DeleteKeyTree(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Classes\\.xyz"));
    EXPECT_FALSE(registry.HasKey(u"SOFTWARE\\Classes\\.xyz"));
    EXPECT_TRUE(registry.HasKey(u"SOFTWARE\\Classes"));
    EXPECT_FALSE(func_Reg_DeleteKeyTree(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Classes\\.xyz"));
}

TEST_F(RegistryLayer, shouldDeleteAWholeThreeLevelTree)
{
    for (auto path : {u"R\\a\\a1", u"R\\a\\a2", u"R\\b\\b1", u"R\\c"})
        registry.CreateKey(path);
    registry.SetString(u"R\\a\\a1", u"", u"v");
    EXPECT_TRUE(func_Reg_DeleteKeyTree(HKEY_LOCAL_MACHINE, u"R"));
    EXPECT_FALSE(registry.HasKey(u"R"));
}

TEST_F(RegistryLayer, shouldStopAtAKeyThatRefusesAndKeepItsAncestors)
{
    // Children are visited from the highest index: c, then b (b2, then b1).
    for (auto path : {u"R\\a", u"R\\b\\b1", u"R\\b\\b2", u"R\\c"})
        registry.CreateKey(path);
    registry.SetRefusesFullAccess(u"R\\b\\b1", true);
    EXPECT_FALSE(func_Reg_DeleteKeyTree(HKEY_LOCAL_MACHINE, u"R"));
    EXPECT_TRUE(registry.HasKey(u"R"));
    EXPECT_TRUE(registry.HasKey(u"R\\b"));
    EXPECT_TRUE(registry.HasKey(u"R\\b\\b1"));
    EXPECT_TRUE(registry.HasKey(u"R\\a")) << "siblings at lower indices are not reached";
    EXPECT_FALSE(registry.HasKey(u"R\\c")) << "siblings already visited stay removed";
    EXPECT_FALSE(registry.HasKey(u"R\\b\\b2"));
}

// A store whose key information understates the longest sub-key name, as a
// registry changed between the query and the enumeration would.
class UnderstatingStore final : public quelvo::platform::RegistryStore {
public:
    explicit UnderstatingStore(quelvo::platform::RegistryStore& inner) : m_inner(inner) {}
    using RegStatus = quelvo::platform::RegStatus;
    using RegHandle = quelvo::platform::RegHandle;
    RegStatus OpenKey(RegRoot root, std::u16string_view path, std::uint32_t access, RegHandle* key) override
    {
        return m_inner.OpenKey(root, path, access, key);
    }
    RegStatus QueryInfoKey(RegHandle key, std::uint32_t* count, std::uint32_t* longest) override
    {
        RegStatus status = m_inner.QueryInfoKey(key, count, longest);
        if (longest)
            *longest = 0;
        return status;
    }
    RegStatus EnumKey(RegHandle key, std::uint32_t index, char16_t* name, std::uint32_t capacity,
                      std::uint32_t* length) override
    {
        return m_inner.EnumKey(key, index, name, capacity, length);
    }
    RegStatus QueryValue(RegHandle key, std::u16string_view valueName, RegType* type, std::uint8_t* data,
                         std::uint32_t* size) override
    {
        return m_inner.QueryValue(key, valueName, type, data, size);
    }
    RegStatus DeleteKey(RegRoot root, std::u16string_view path) override { return m_inner.DeleteKey(root, path); }
    RegStatus CloseKey(RegHandle key) override { return m_inner.CloseKey(key); }

private:
    quelvo::platform::RegistryStore& m_inner;
};

TEST_F(RegistryLayer, shouldFailTreeDeletionInsteadOfRecursingWhenANameCannotBeRead)
{
    registry.CreateKey(u"R\\child");
    UnderstatingStore store(registry);
    quelvo::platform::HostTarget understating(store, {}, {});
    quelvo::platform::ScopedActiveTarget scope(understating);
    EXPECT_FALSE(func_Reg_DeleteKeyTree(HKEY_LOCAL_MACHINE, u"R"));
    EXPECT_TRUE(registry.HasKey(u"R\\child"));
}

}  // namespace
