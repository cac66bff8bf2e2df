#include "regfile/SystemRegFile.h"

#include "tests/support/Bytes.h"
#include "tests/support/ScratchFolder.h"
#include "platform/Text.h"

#include <gtest/gtest.h>

namespace {

using namespace quelvo::platform;
using namespace quelvo::regfile;
using namespace quelvo::test;

const SystemRegBlock* FindBlock(const SystemRegDocument& doc, std::initializer_list<std::u16string_view> path)
{
    for (const auto& block : doc.blocks) {
        if (block.path.size() == path.size() && std::equal(block.path.begin(), block.path.end(), path.begin()))
            return &block;
    }
    return nullptr;
}

const RegValue* FindValue(const SystemRegBlock& block, std::u16string_view name)
{
    for (const auto& v : block.values) {
        if (v.name == name)
            return &v;
    }
    return nullptr;
}

std::u16string AsText(const RegValue& v)
{
    std::u16string text;
    for (std::size_t i = 0; i + 1 < v.data.size(); i += 2)
        text += char16_t(v.data[i] | (v.data[i + 1] << 8));
    return text;
}

SystemRegDocument ParseOk(std::string_view bytes)
{
    SystemRegDocument doc;
    std::u16string error;
    EXPECT_TRUE(ParseSystemReg(bytes, &doc, &error)) << ToUtf8(error);
    return doc;
}

TEST(SystemRegFile, shouldGiveBackEveryByteOfAnUntouchedWineFile)
{
    for (const char* name : {"system.reg", "user.reg", "userdef.reg"}) {
        const std::string bytes = ReadBytes(DataFile(name));
        ASSERT_FALSE(bytes.empty()) << name;
        const SystemRegDocument doc = ParseOk(bytes);
        EXPECT_EQ(doc.Text(), bytes) << name;
        EXPECT_FALSE(doc.blocks.empty()) << name;
    }
}

TEST(SystemRegFile, shouldDecodeWineEscapesAsWineWroteThem)
{
    const SystemRegDocument doc = ParseOk(ReadBytes(DataFile("system.reg")));
    // Written by wineserver from known data: "\xe9t\x00e91" is é t é 1 (padded
    // because '1' is a hex digit), "\0017" is U+0001 then '7'.
    const SystemRegBlock* block = FindBlock(doc, {u"Software", u"Classes", u".t\u00ebst[1]", u"sub"});
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(AsText(*FindValue(*block, u"")), std::u16string(u"\u00e9t\u00e91\0", 5));
    EXPECT_EQ(AsText(*FindValue(*block, u"ctl")), std::u16string(u"A\tB\nC\rD\0E\u00017\u001bF\u00e9A\0", 16));
    EXPECT_EQ(AsText(*FindValue(*block, u"emo")), std::u16string(u"\U0001F600" u"1\0", 4));
    EXPECT_EQ(AsText(*FindValue(*block, u"q\"uote")), std::u16string(u"a\\b\"c\0", 6));
    EXPECT_EQ(FindValue(*block, u"ex")->type, RegType::ExpandSz);
    EXPECT_EQ(AsText(*FindValue(*block, u"multi")), std::u16string(u"a\0b\0\0", 5));
    EXPECT_EQ(FindValue(*block, u"multi")->type, RegType::MultiSz);
    EXPECT_EQ(FindValue(*block, u"dw")->data, (std::vector<std::uint8_t>{0x2a, 0, 0, 0}));
    EXPECT_EQ(FindValue(*block, u"bin")->data, (std::vector<std::uint8_t>{1, 2, 3}));
    EXPECT_EQ(FindValue(*block, u"odd")->type, RegType::Sz);
    EXPECT_NE(FindBlock(doc, {u"Software", u"Classes", u".x]y"}), nullptr);
}

// Every string wineserver wrote comes out of the escaper exactly as it stands
// in the file: the reader and the writer agree with Wine on all of them.
TEST(SystemRegFile, shouldEscapeEveryStringOfTheFixtureAsWineDid)
{
    const std::string bytes = ReadBytes(DataFile("system.reg"));
    const SystemRegDocument doc = ParseOk(bytes);
    int checked = 0;
    for (const auto& block : doc.blocks) {
        std::vector<std::u16string> path = block.path;
        for (const auto& v : block.values) {
            if (v.type != RegType::Sz && v.type != RegType::ExpandSz && v.type != RegType::MultiSz)
                continue;
            if (v.data.size() < 2 || v.data.size() % 2 || v.data[v.data.size() - 1] || v.data[v.data.size() - 2])
                continue;
            std::u16string text = AsText(v);
            text.pop_back();
            const std::string name = v.name.empty() ? "@" : "\"" + EscapeWineString(v.name, "\"") + "\"";
            const std::string data = EscapeWineString(text, "\"");
            EXPECT_NE(block.text.find(name + "=" + (v.type == RegType::Sz ? "" : v.type == RegType::ExpandSz ? "str(2):" : "str(7):")
                                      + "\"" + data + "\"\n"),
                      std::string::npos)
                << ToUtf8(v.name) << " in block at line " << block.line;
            ++checked;
        }
        const std::string header = FormatKeyHeader(path, 0);
        EXPECT_EQ(block.text.find(header.substr(0, header.find("] 0\n") + 1) + " "), block.text.find('['))
            << "key line at " << block.line;
    }
    EXPECT_GT(checked, 50);
}

TEST(SystemRegFile, shouldEscapeLikeWineserverDoes)
{
    struct Case {
        std::u16string text;
        const char* also;
        std::string wine;
    };
    const Case cases[] = {
        {u"\u00e9t", "\"", "\\xe9t"},
        {u"\u00e91", "\"", "\\x00e91"},           // next char is a hex digit: padded
        {u"\u00e9G", "\"", "\\xe9G"},
        {u"\u00e9\u00e9", "\"", "\\xe9\\xe9"},   // non-ASCII next is never a hex digit
        {std::u16string(u"\0" "7", 2), "\"", "\\0007"},  // octal padded before an octal digit
        {std::u16string(u"\0" "8", 2), "\"", "\\08"},
        {u"\x01\x1b\t", "\"", "\\1\\e\\t"},
        {u"a\\b\"c", "\"", "a\\\\b\\\"c"},
        {u"x[y]z\"", "[]", "x\\[y\\]z\""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(EscapeWineString(c.text, c.also), c.wine) << c.wine;
}

TEST(SystemRegFile, shouldReadEscapesEvenWhereWineWouldNotWriteThem)
{
    const SystemRegDocument doc = ParseOk(
        "WINE REGISTRY Version 2\n\n[A\\\\B] 1\n"
        "\"a\"=\"first\"\n"
        "\"e\"=\"\\x41\\x\\q\\101\\xZ\"\n"
        "\"b\"=\"caf\xc3\xa9\"\n"
        "\"c\"=hex(0):\n"
        "\"d\"=hex:01,02,\\\n  03\n"
        "\"A\"=\"dup\"\n");
    ASSERT_EQ(doc.blocks.size(), 1u);
    const auto& block = doc.blocks[0];
    EXPECT_EQ(block.path, (std::vector<std::u16string>{u"A", u"B"}));
    ASSERT_EQ(block.values.size(), 5u);
    EXPECT_EQ(AsText(block.values[0]), std::u16string(u"dup\0", 4));  // "A" replaced "a"
    EXPECT_EQ(block.values[0].name, u"A");
    EXPECT_EQ(AsText(block.values[1]), std::u16string(u"AxqAxZ\0", 7));
    EXPECT_EQ(AsText(block.values[2]), std::u16string(u"caf\u00e9\0", 5));
    EXPECT_TRUE(block.values[3].data.empty());
    EXPECT_EQ(block.values[4].data, (std::vector<std::uint8_t>{1, 2, 3}));
}

TEST(SystemRegFile, shouldNameTheLineOfMalformedInput)
{
    struct Case {
        std::string text;
        int line;
    };
    const std::string head = "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n";
    const Case cases[] = {
        {"REGEDIT4\n", 1},
        {"", 1},
        {head + "\"a\"=\"b\"\n", 4},                       // value before a key
        {head + "[A\n", 4},                                // no closing bracket
        {head + "[A\\\\\\\\B] 1\n", 4},                     // empty component
        {head + "[A] 1 x\n", 4},
        {head + "[A] 1\n\"a\"=\"b\n", 5},                  // unterminated string
        {head + "[A] 1\n\"a\"=\"b\" x\n", 5},
        {head + "[A] 1\n\"a\"=dword:1234567890\n", 5},
        {head + "[A] 1\n\"a\"=dword:\n", 5},
        {head + "[A] 1\n\"a\"=hex:0g\n", 5},
        {head + "[A] 1\n\"a\"=hex:01,\\\n", 5},            // continuation past the end
        {head + "[A] 1\n\"a\"=hex(zz):01\n", 5},
        {head + "[A] 1\n\"a\"=str(2)\"x\"\n", 5},
        {head + "[A] 1\n\"a\"=unknown\n", 5},
        {head + "[A] 1\n\"a\"\"b\"\n", 5},
        {head + "[A] 1\ngarbage\n", 5},
        {head + "[A] 1\n#class=x\n", 5},
        {head + "[" + std::string(256, 'k') + "] 1\n", 4},
    };
    for (const auto& c : cases) {
        SystemRegDocument doc;
        std::u16string error;
        EXPECT_FALSE(ParseSystemReg(c.text, &doc, &error)) << c.text;
        EXPECT_EQ(ToUtf8(error).rfind("line " + std::to_string(c.line) + ": ", 0), 0u)
            << c.text << " -> " << ToUtf8(error);
    }
}

TEST(SystemRegFile, shouldRefusePathsDeeperThanTheRegistryAllows)
{
    std::string deep = "WINE REGISTRY Version 2\n[k";
    for (int i = 0; i < 600; ++i)
        deep += "\\\\k";
    deep += "] 1\n";
    SystemRegDocument doc;
    std::u16string error;
    EXPECT_FALSE(ParseSystemReg(deep, &doc, &error));
}

// Any cut of a real file either parses or fails with a line number, and a
// file that parses still gives back its bytes.
TEST(SystemRegFile, shouldSurviveEveryTruncationOfARealFile)
{
    const std::string bytes = ReadBytes(DataFile("system.reg"));
    for (std::size_t cut = 0; cut < bytes.size(); cut += 37) {
        SystemRegDocument doc;
        std::u16string error;
        const std::string_view part(bytes.data(), cut);
        if (ParseSystemReg(part, &doc, &error))
            EXPECT_EQ(doc.Text(), part);
        else
            EXPECT_EQ(ToUtf8(error).rfind("line ", 0), 0u);
    }
}

TEST(SystemRegFile, shouldBuildImplicitParentsAndMergeRepeatedKeys)
{
    const SystemRegDocument doc = ParseOk(
        "WINE REGISTRY Version 2\n\n[Software\\\\Classes\\\\.a] 1\n@=\"x\"\n\n[software\\\\CLASSES\\\\.A] 2\n\"n\"=dword:00000001\n"
        "\n[L] 3\n#link\n");
    RegKey root(u"", nullptr, nullptr);
    BuildTree(doc, root);
    RegKey* classes = root.Child(u"SOFTWARE")->Child(u"classes");
    ASSERT_NE(classes, nullptr);
    EXPECT_TRUE(classes->blocks.empty());
    RegKey* a = classes->Child(u".a");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->blocks.size(), 2u);
    EXPECT_EQ(a->Values().size(), 2u);
    EXPECT_TRUE(root.Child(u"l")->isLink);
}

}  // namespace
