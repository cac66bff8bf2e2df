#include "platform/NameCase.h"

#include <gtest/gtest.h>

namespace {

using namespace quelvo::platform;

TEST(NameCase, shouldMapEachLetterToItsSimpleUpperCaseBeyondAscii)
{
    EXPECT_EQ(UpperUnit(u'a'), u'A');
    EXPECT_EQ(UpperUnit(u'ä'), u'Ä');
    EXPECT_EQ(UpperUnit(u'ÿ'), u'Ÿ');          // U+00FF -> U+0178, outside Latin-1
    EXPECT_EQ(UpperUnit(u'σ'), u'Σ');
    EXPECT_EQ(UpperUnit(u'ς'), u'Σ');          // final sigma too
    EXPECT_EQ(UpperUnit(u'ж'), u'Ж');
    EXPECT_EQ(UpperUnit(u'ѐ'), u'Ѐ');          // U+0450 block of Cyrillic
    EXPECT_EQ(UpperUnit(u'ǆ'), u'Ǆ');
    EXPECT_EQ(UpperUnit(u'ǅ'), u'Ǆ');          // a title-case letter
    EXPECT_EQ(UpperUnit(u'ā'), u'Ā');          // every other unit of a run
    EXPECT_EQ(UpperUnit(u'Ā'), u'Ā');
    EXPECT_EQ(UpperUnit(u'ａ'), u'Ａ');        // full-width forms
    EXPECT_EQ(UpperUnit(u'\u1F80'), u'\u1F88'); // simple mapping, not "ἈΙ"
    // One unit in, one unit out: no expansion, and nothing for non-letters.
    EXPECT_EQ(UpperUnit(u'ß'), u'ß');
    EXPECT_EQ(UpperUnit(u'_'), u'_');
    EXPECT_EQ(UpperUnit(u'\xD83D'), u'\xD83D');
    EXPECT_EQ(UpperUnit(u'\xFFFF'), u'\xFFFF');

    EXPECT_EQ(LowerUnit(u'Ä'), u'ä');
    EXPECT_EQ(LowerUnit(u'Σ'), u'σ');
    EXPECT_EQ(LowerUnit(u'Ж'), u'ж');
    EXPECT_EQ(LowerUnit(u'ж'), u'ж');
}

TEST(NameCase, shouldCompareAndOrderNamesByTheirUpperCase)
{
    EXPECT_TRUE(NamesEqual(u"Ägfile", u"ägfile"));
    EXPECT_TRUE(NamesEqual(u"ΣΟΦΙΑ", u"σοφια"));
    EXPECT_TRUE(NamesEqual(u"Жук", u"жУК"));
    EXPECT_FALSE(NamesEqual(u"Жук", u"Жуки"));
    EXPECT_FALSE(NamesEqual(u"strasse", u"straße"));
    EXPECT_EQ(ToUpperName(u"ägfile.Σ"), u"ÄGFILE.Σ");

    EXPECT_EQ(CompareNames(u"abc", u"ABC"), 0);
    EXPECT_LT(CompareNames(u"ab", u"abc"), 0);
    // By upper case, "_" (0x5F) sorts after letters, as Windows sorts keys.
    EXPECT_LT(CompareNames(u"a", u"_"), 0);
    EXPECT_LT(CompareNames(u"Z", u"ä"), 0);
    EXPECT_GT(CompareNames(u"ж", u"Ä"), 0);
}

}  // namespace
