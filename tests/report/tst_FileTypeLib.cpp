#include "report/Unit_QLV_FileTypeLib.h"

#include "platform/TextFile.h"
#include "tests/support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

using quelvo::platform::TextDictionary;
using quelvo::platform::TextFileError;
using quelvo::report::func_LoadFileTypeLib;
using quelvo::report::LoadFileTypeLibText;
using quelvo::test::ScratchFolder;

namespace {

using Entries = std::vector<std::pair<std::u16string, std::u16string>>;

Entries EntriesOf(const TextDictionary& lib)
{
    Entries entries;
    for (const auto& e : lib)
        entries.emplace_back(e.key, e.value);
    return entries;
}

Entries Load(std::u16string_view text)
{
    TextDictionary lib;
    LoadFileTypeLibText(text, lib);
    return EntriesOf(lib);
}

}  // namespace

TEST(FileTypeLib, shouldLoadTheEightLineWorkedExample)
{
    ScratchFolder dir;
    auto file = dir.Write("FileType_lib.txt", "txt\r\n==Audio==\r\nmp3\r\n\r\n== Video Files ==\r\navi\r\nmp3\r\nMPG\r\n");
    TextDictionary lib;
    EXPECT_TRUE(func_LoadFileTypeLib(file, lib));
    EXPECT_EQ(EntriesOf(lib), (Entries{{u".txt", u""}, {u".mp3", u"Audio"}, {u".avi", u"Video Files"},
                                       {u".MPG", u"Video Files"}}));
    EXPECT_FALSE(lib.Contains(u".mpg"));
}

TEST(FileTypeLib, shouldSplitLinesAtCrLfLfAndLoneCr)
{
    EXPECT_EQ(Load(u"a\r\nb\nc\rd"), (Entries{{u".a", u""}, {u".b", u""}, {u".c", u""}, {u".d", u""}}));
    // CR CR is two line ends with an empty line between; LF CR likewise.
    EXPECT_EQ(Load(u"a\r\rb\n\rc"), (Entries{{u".a", u""}, {u".b", u""}, {u".c", u""}}));
    // A final line end adds no line; a final line without one still counts.
    EXPECT_EQ(Load(u"==G==\r\n"), Entries{});
    EXPECT_EQ(Load(u"==G==\r\nx"), (Entries{{u".x", u"G"}}));
    EXPECT_EQ(Load(u""), Entries{});
}

TEST(FileTypeLib, shouldStopAtNul)
{
    EXPECT_EQ(Load(std::u16string(u"a\nb\0c\nd", 7)), (Entries{{u".a", u""}, {u".b", u""}}));
    EXPECT_EQ(Load(std::u16string(u"\0a", 2)), Entries{});
}

TEST(FileTypeLib, shouldNameGroupsByReplacingMarkersLeftToRightAndTrimming)
{
    struct Case {
        std::u16string header;
        std::u16string group;
    } cases[] = {
        {u"==Audio==", u"Audio"},
        {u"== Video Files ==", u"Video Files"},
        {u"a==b", u"a b"},
        {u"==", u""},
        {u"===X===", u"=X ="},
        {u"====", u""},
        {u"\t==Fonts==\x01", u"Fonts"},
    };
    for (const auto& c : cases) {
        TextDictionary lib;
        LoadFileTypeLibText(u"==Before==\n" + c.header + u"\nxx", lib);
        ASSERT_NE(lib.Find(u".xx"), nullptr);
        EXPECT_EQ(*lib.Find(u".xx"), c.group) << quelvo::platform::ToUtf8(c.header);
    }
}

TEST(FileTypeLib, shouldTakeExtensionLinesVerbatim)
{
    EXPECT_EQ(Load(u"   \n mp3\n.mp3\nMp3 "),
              (Entries{{u".   ", u""}, {u". mp3", u""}, {u"..mp3", u""}, {u".Mp3 ", u""}}));
}

TEST(FileTypeLib, shouldKeepFirstEntryAlsoAgainstExistingEntries)
{
    TextDictionary lib;
    lib.Add(u".mp3", u"Mine");
    LoadFileTypeLibText(u"==Audio==\nmp3\nogg\n==Video==\nogg\n==Audio==\nwav", lib);
    EXPECT_EQ(EntriesOf(lib), (Entries{{u".mp3", u"Mine"}, {u".ogg", u"Audio"}, {u".wav", u"Audio"}}));
}

TEST(FileTypeLib, shouldReadUtf16AndUtf8LikeTheSameTextInWindows1252)
{
    // "==Vidéo==", "avi", "m€p" in each encoding.
    const std::string ansi = "==Vid\xE9o==\r\navi\r\nm\x80p\r\n";
    const std::string utf8 = "\xEF\xBB\xBF==Vid\xC3\xA9o==\r\navi\r\nm\xE2\x82\xACp\r\n";
    std::string le = "\xFF\xFE", be = "\xFE\xFF";
    for (char16_t c : std::u16string(u"==Vid\u00e9o==\r\navi\r\nm\u20acp\r\n")) {
        le += {char(c & 0xFF), char(c >> 8)};
        be += {char(c >> 8), char(c & 0xFF)};
    }
    const Entries expected{{u".avi", u"Vid\u00e9o"}, {u".m\u20acp", u"Vid\u00e9o"}};
    ScratchFolder dir;
    for (const auto& [name, bytes] : {std::pair{"ansi", ansi}, {"utf8", utf8}, {"le", le}, {"be", be}}) {
        TextDictionary lib;
        func_LoadFileTypeLib(dir.Write(name, bytes), lib);
        EXPECT_EQ(EntriesOf(lib), expected) << name;
    }
}

TEST(FileTypeLib, shouldRaiseOpenErrorNamingFileAndAddNothing)
{
    ScratchFolder dir;
    TextDictionary lib;
    lib.Add(u".keep", u"Kept");
    auto missing = dir.Path() / "FileType_lib.txt";
    try {
        func_LoadFileTypeLib(missing, lib);
        FAIL() << "no error";
    } catch (const TextFileError& e) {
        EXPECT_NE(std::string(e.what()).find(missing.string()), std::string::npos) << e.what();
    }
    EXPECT_EQ(EntriesOf(lib), (Entries{{u".keep", u"Kept"}}));
}

TEST(FileTypeLib, shouldGroupAFewHundredExtensionsInTheShippedLibrary)
{
    TextDictionary lib;
    func_LoadFileTypeLib(QUELVO_FILETYPE_LIB, lib);
    EXPECT_GE(lib.Count(), 300u);
    std::size_t ungrouped = 0;
    for (const auto& e : lib)
        ungrouped += e.value.empty();
    EXPECT_EQ(ungrouped, 0u);
    ASSERT_NE(lib.Find(u".mp3"), nullptr);
    EXPECT_EQ(*lib.Find(u".mp3"), u"Audio");
    ASSERT_NE(lib.Find(u".avi"), nullptr);
    EXPECT_EQ(*lib.Find(u".avi"), u"Video");
    EXPECT_FALSE(lib.Contains(u".")) << "an empty extension line";
}
