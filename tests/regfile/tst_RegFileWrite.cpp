#include "regfile/RegFileWrite.h"

#include "platform/Text.h"
#include "regfile/RegFileRead.h"
#include "regfile/TreeDump.h"
#include "tests/support/Bytes.h"

#include <gtest/gtest.h>

namespace {

using namespace quelvo::platform;
using namespace quelvo::regfile;
using namespace quelvo::test;

RegValue Value(std::u16string name, RegType type, std::string bytes)
{
    return RegValue{std::move(name), type, std::vector<std::uint8_t>(bytes.begin(), bytes.end())};
}

// Values regedit cannot write as plain strings go out as hex(N) and come
// back byte for byte, next to the ordinary ones.
TEST(RegFileWrite, shouldRestoreEveryValueByteForByte)
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

}  // namespace
