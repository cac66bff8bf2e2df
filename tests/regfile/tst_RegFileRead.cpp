#include "regfile/RegFileRead.h"

#include "platform/Text.h"

#include <gtest/gtest.h>

namespace {

using namespace quelvo::platform;
using namespace quelvo::regfile;

TEST(RegFileRead, shouldNameTheLineOfABrokenBackup)
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

TEST(RegFileRead, shouldReadUtf8AndBigEndianExportsToo)
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

}  // namespace
