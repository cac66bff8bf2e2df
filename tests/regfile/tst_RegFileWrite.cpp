#include "platform/files/RegExport.h"

#include "FilesTestSupport.h"
#include "platform/Text.h"
#include "platform/files/TreeDump.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

using namespace quelvo::platform;
using namespace quelvo::platform::files;
using namespace quelvo::platform::files::test;

RegValue Value(std::u16string name, RegType type, std::string bytes)
{
    return RegValue{std::move(name), type, std::vector<std::uint8_t>(bytes.begin(), bytes.end())};
}

// Values regedit cannot write as plain strings go out as hex(N) and come
// back byte for byte, next to the ordinary ones.
TEST(RegExport, shouldRestoreEveryValueByteForByte)
{
    RegKey root(u"", nullptr, nullptr);
    RegKey& key = root.AddChild(u"SOFTWARE").AddChild(u"Classes").AddChild(u".w\u00e9ird [x]");
    key.SetValue(Value(u"", RegType::Sz, Utf16Sz(u"plain \"quoted\" C:\\path \u00e9")));
    key.SetValue(Value(u"with \"quote\" and \\", RegType::Sz, Utf16Sz(u"v")));
    key.SetValue(Value(u"controls", RegType::Sz, Utf16Sz(u"a\tb\nc")));
    key.SetValue(Value(u"unterminated", RegType::Sz, std::string("a\0b\0", 4)));
    key.SetValue(Value(u"odd", RegType::Sz, std::string("a\0b", 3)));
    key.SetValue(Value(u"empty", RegType::Sz, ""));
    key.SetValue(Value(u"expand", RegType::ExpandSz, Utf16Sz(u"%SystemRoot%\\x")));
    key.SetValue(Value(u"multi", RegType::MultiSz, std::string("a\0\0\0b\0\0\0\0\0", 10)));
    key.SetValue(Value(u"dword", RegType::Dword, std::string("\x2a\0\0\x80", 4)));
    key.SetValue(Value(u"short dword", RegType::Dword, std::string("\x01", 1)));
    key.SetValue(Value(u"qword", RegType::Qword, std::string("\1\2\3\4\5\6\7\x08", 8)));
    key.SetValue(Value(u"long", RegType::Binary, std::string(300, '\xAB')));
    key.SetValue(Value(u"none", RegType::None, ""));
    key.AddChild(u"Shell").AddChild(u"Open").AddChild(u"Command").SetValue(Value(u"", RegType::Sz, Utf16Sz(u"x.exe")));

    const std::u16string text = std::u16string(RegFileHeader()) + ExportRegKeyTree(key, u"HKEY_LOCAL_MACHINE");
    const std::string file = EncodeUtf16Le(text);
    EXPECT_EQ(file.substr(0, 4), std::string("\xFF\xFEW\0", 4));
    EXPECT_NE(text.find(u"\"dword\"=dword:8000002a\r\n"), std::u16string::npos);
    EXPECT_NE(text.find(u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\.w\u00e9ird [x]\\Shell\\Open\\Command]\r\n"),
              std::u16string::npos);

    RegKey restored(u"", nullptr, nullptr);
    std::u16string error;
    ASSERT_TRUE(ImportRegFile(DecodeTextFile(file), restored, &error)) << ToUtf8(error);
    RegKey* back = restored.Child(u"software")->Child(u"classes")->Child(u".W\u00e9IRD [X]");
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(DumpKeyTreeWithValues(*back), DumpKeyTreeWithValues(key));
}

TEST(RegExport, shouldNameTheLineOfABrokenBackup)
{
    struct Case {
        std::u16string text;
        int line;
    };
    const std::u16string head = u"Windows Registry Editor Version 5.00\r\n\r\n";
    const Case cases[] = {
        {u"REGEDIT5\r\n", 1},
        {head + u"\"a\"=\"b\"\r\n", 3},
        {head + u"[HKEY_CURRENT_USER\\X]\r\n", 3},
        {head + u"[HKEY_LOCAL_MACHINE\\X\r\n", 3},
        {head + u"[HKLM\\X]\r\n\"a\"=dword:123456789\r\n", 4},
        {head + u"[HKLM\\X]\r\n\"a\"=hex(2:00\r\n", 4},
        {head + u"[HKLM\\X]\r\n\"a\"=hex:0,1\r\n", 4},
        {head + u"[HKLM\\X]\r\n\"a\"=\"open\r\n", 4},
        {head + u"[HKLM\\X]\r\n\"a\"\r\n", 4},
    };
    for (const auto& c : cases) {
        RegKey root(u"", nullptr, nullptr);
        std::u16string error;
        EXPECT_FALSE(ImportRegFile(c.text, root, &error)) << ToUtf8(c.text);
        EXPECT_EQ(ToUtf8(error).rfind("line " + std::to_string(c.line) + ":", 0), 0u) << ToUtf8(error);
    }
}

TEST(RegExport, shouldReadUtf8AndBigEndianExportsToo)
{
    const std::u16string text = u"Windows Registry Editor Version 5.00\n\n[HKLM\\A\\B]\n@=\"\u00e9\"\n";
    std::string be = "\xFE\xFF";
    for (char16_t c : text) {
        be += char(c >> 8);
        be += char(c & 0xFF);
    }
    for (const std::string& bytes : {"\xEF\xBB\xBF" + ToUtf8(text), be}) {
        RegKey root(u"", nullptr, nullptr);
        std::u16string error;
        ASSERT_TRUE(ImportRegFile(DecodeTextFile(bytes), root, &error)) << ToUtf8(error);
        ASSERT_NE(root.Child(u"A"), nullptr);
        EXPECT_EQ(root.Child(u"A")->Child(u"B")->Value(u"")->data, (std::vector<std::uint8_t>{0xe9, 0, 0, 0}));
    }
}

TEST(RegExport, shouldPutBackupsUnderTheXdgDataFolder)
{
    const char* saved = std::getenv("XDG_DATA_HOME");
    const std::string restore = saved ? saved : "";
    const char* home = std::getenv("HOME");
    const std::string restoreHome = home ? home : "";
    ::setenv("XDG_DATA_HOME", "/data/home", 1);
    EXPECT_EQ(DefaultBackupFolder(), std::filesystem::path("/data/home/quelvo/backups"));
    ::setenv("XDG_DATA_HOME", "relative/ignored", 1);
    ::setenv("HOME", "/home/u", 1);
    EXPECT_EQ(DefaultBackupFolder(), std::filesystem::path("/home/u/.local/share/quelvo/backups"));
    ::setenv("HOME", restoreHome.c_str(), 1);
    if (saved)
        ::setenv("XDG_DATA_HOME", restore.c_str(), 1);
    else
        ::unsetenv("XDG_DATA_HOME");
}

TEST(RegExport, shouldAppendEachRemovedKeyToOneFilePerSession)
{
    TempDir dir;
    RegBackup backup(dir / "b");
    RegKey root(u"", nullptr, nullptr);
    RegKey& a = root.AddChild(u"SOFTWARE").AddChild(u".a");
    RegKey& b = root.Child(u"SOFTWARE")->AddChild(u".b");
    std::u16string message;
    ASSERT_TRUE(backup.Export(a, &message)) << ToUtf8(message);
    ASSERT_TRUE(backup.Export(b, &message)) << ToUtf8(message);
    const std::u16string text = DecodeTextFile(ReadBytes(backup.File()));
    EXPECT_EQ(text, u"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\.a]\r\n\r\n"
                    u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\.b]\r\n\r\n");
    RegBackup second(dir / "b");
    ASSERT_TRUE(second.Export(a, &message));
    EXPECT_NE(second.File(), backup.File());
}

}  // namespace
