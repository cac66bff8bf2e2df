#include "markup/engine/RenderMarkup.h"
#include "tests/markup/engine/FakeSurface.h"

#include <gtest/gtest.h>

#include <string>

namespace quelvo::markup {
namespace {

using testing::DrawCall;
using testing::FakePictures;
using testing::FakeSurface;
using Kind = DrawCall::Kind;

constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kWhite{0xFF, 0xFF, 0xFF};
constexpr Rgb kBlue{0, 0, 0xFF};
constexpr Rgb kYellow{0xFF, 0xFF, 0};
constexpr Rgb kRowBlue{0xD6, 0xE7, 0xF9};
constexpr Rgb kEntryBlue{0xE4, 0xEE, 0xF9};

// The report list's row markup, as the report composes it.
std::u16string GroupRow(const std::u16string& picture, const std::u16string& name)
{
    return u"<BODY bgcolor=\"#d6e7f9\"><ind=\"15\"><IMG src=\"" + picture
        + u"\" align=\"middle\"> <font size=\"10\" face=\"Arial\">" + name
        + u"</font><HR COLOR=\"clWhite\">";
}

std::u16string NeedsApplicationRow(const std::u16string& ext)
{
    return u"<BODY bgcolor=\"#e4eef9\"><ind=\"25\"><IMG src=\"idxs.0\" align=\"middle\"><font "
           u"size=\"10\" face=\"Arial\">"
        + ext + u"</font><ind=\"400\"><A href=\"" + ext
        + u"\">New Application Required</A><HR COLOR=\"clWhite\">";
}

std::u16string CheckBoxRow(const std::u16string& ext, const std::u16string& box = u"idxs.1")
{
    return u"<BODY bgcolor=\"#e4eef9\"><ind=\"25\"><IMG src=\"idxs.0\" align=\"middle\"><A "
           u"href=\"check "
        + ext + u"\"><IMG src=\"" + box + u"\" align=\"middle\"></A><font size=\"10\" face=\"Arial\">"
        + ext + u"</font><ind=\"400\"><A href=\"" + ext
        + u"\">Application Required</A><HR COLOR=\"clWhite\">";
}

const std::u16string kCountLine =
    u"<FONT color=\"#FFFF00\"><B><FONT size=\"16\" face=\"Arial\">3 Problem(s) "
    u"Detected</FONT></B></FONT><BR><FONT size=\"2\" face=\"Arial\">It is highly recommended to "
    u"fix these detected problems below.Click the Fix Now buton to continue.</FONT>";

class RenderMarkupTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Every position below is computed from these metrics.
        surface.SelectFont(base);
        ASSERT_EQ(surface.MeasureText(u"abcd", false), (Size{24, 13}));
        ASSERT_EQ(surface.MeasureText(u"R&D", true).width, 12);
        ASSERT_EQ(surface.MeasureText(u"R&D", false).width, 18);
        ASSERT_EQ(surface.MeasureText(u"a&&b", true).width, 18);
        ASSERT_EQ(surface.TextHeight(), 13);
        ASSERT_NE(pictures.FindPicture(u"IDXS.1"), nullptr);
        ASSERT_EQ(pictures.FindPicture(u"idxs.1")->Width(), 30);
        surface.calls.clear();
    }

    void Draw(std::u16string_view text, Rect layout, bool wrap = true, int spacing = 0)
    {
        RenderMarkup(surface, text, layout, base, kBlue, wrap, spacing, &pictures, {},
                     MarkupMode::Draw);
    }

    MarkupResult Locate(std::u16string_view text, Rect layout, Point probe, bool wrap = true)
    {
        return RenderMarkup(surface, text, layout, base, kBlue, wrap, 0, &pictures, probe,
                            MarkupMode::Locate);
    }

    std::vector<DrawCall> Texts() const { return surface.Calls(Kind::Text); }

    // The drawn text call showing exactly `shown`; fails the test when absent.
    DrawCall TextCall(std::u16string_view shown) const
    {
        for (const DrawCall& c : surface.calls) {
            if (c.kind == Kind::Text && c.shown.text == shown)
                return c;
        }
        ADD_FAILURE() << "no text drawn as given";
        return {};
    }

    FakeSurface surface;
    FakePictures pictures = FakePictures::ReportPictures();
    FontSpec base{u"Tahoma", 8, false, false, kBlack};
};

// ---------------------------------------------------------------- report rows

TEST_F(RenderMarkupTest, shouldLayOutGroupRowWithMiddleAlignedPictureAndWhiteRule)
{
    surface.SetMetrics(10, {7, 16});  // the group name's font is taller than the base font
    Draw(GroupRow(u"ListBoxItem_FileTypeU.bmp", u"Text"), {2, 64, 500, 96});

    ASSERT_EQ(surface.calls.size(), 5u);
    EXPECT_EQ(surface.calls[0].kind, Kind::Fill);
    EXPECT_EQ(surface.calls[0].rect, (Rect{0, 64, 500, 96}));
    EXPECT_EQ(surface.calls[0].colour, kRowBlue);

    EXPECT_EQ(surface.calls[1].kind, Kind::Picture);
    EXPECT_EQ(surface.calls[1].picture, pictures.Get(u"ListBoxItem_FileTypeU.bmp"));
    EXPECT_EQ(surface.calls[1].rect.left, 2 + 15);
    EXPECT_EQ(surface.calls[1].rect.top, 64);

    // Offset: half of (30 - 13), the base font's height at the IMG tag.
    const DrawCall space = surface.calls[2];
    EXPECT_EQ(space.text, u" ");
    EXPECT_EQ(space.rect, (Rect{47, 64, 53, 64 + 30 - 8}));
    EXPECT_EQ(space.font, base);

    const DrawCall text = surface.calls[3];
    EXPECT_EQ(text.text, u"Text");
    EXPECT_EQ(text.rect, (Rect{53, 64, 53 + 28, 64 + 30 - 8}));
    EXPECT_EQ(text.font.face, u"Arial");
    EXPECT_EQ(text.font.points, 10);

    EXPECT_EQ(surface.calls[4].kind, Kind::Line);
    EXPECT_EQ(surface.calls[4].rect, (Rect{2, 64 + 31, 500, 64 + 31}));
    EXPECT_EQ(surface.calls[4].colour, kWhite);
}

TEST_F(RenderMarkupTest, shouldPlaceStatusLinkAtTab400OrRightAfterLongerText)
{
    const Rect item{0, 0, 700, 32};
    struct Case {
        std::u16string ext;
        int linkOffset;
    };
    // ".mp3" ends at 55 + 24; a 60-character name ends at 55 + 360 = 415.
    for (const Case& c : {Case{u".mp3", 400}, Case{u"." + std::u16string(59, u'x'), 415}}) {
        surface.calls.clear();
        Draw(NeedsApplicationRow(c.ext), item);
        const DrawCall first = TextCall(u"New ");
        EXPECT_EQ(first.rect.left, c.linkOffset);
        EXPECT_TRUE(first.font.underline);
        EXPECT_EQ(first.font.colour, kBlue);
        EXPECT_EQ(TextCall(u"Application ").rect.left, c.linkOffset + 24);
        EXPECT_EQ(TextCall(u"Required").rect.left, c.linkOffset + 24 + 72);

        // Locating finds the link on the same pixels and nowhere left of it.
        const int y = 16;
        EXPECT_EQ(Locate(NeedsApplicationRow(c.ext), item, {c.linkOffset, y}).linkTarget, c.ext);
        EXPECT_EQ(Locate(NeedsApplicationRow(c.ext), item, {c.linkOffset + 24 + 72 + 48, y}).linkTarget,
                  c.ext);
        EXPECT_FALSE(Locate(NeedsApplicationRow(c.ext), item, {c.linkOffset - 1, y}).overLink);
        EXPECT_FALSE(Locate(NeedsApplicationRow(c.ext), item, {c.linkOffset + 145, y}).overLink);
    }
}

TEST_F(RenderMarkupTest, shouldHitCheckBoxStrictlyInsideItsPictureThroughTheListOffset)
{
    const Rect item{0, 96, 600, 128};  // the fourth row of a 32-pixel list
    const std::u16string row = CheckBoxRow(u".mp3");

    Draw(row, {item.left + 2, item.top, item.right, item.bottom});
    const auto drawn = surface.Calls(Kind::Picture);
    ASSERT_EQ(drawn.size(), 2u);
    EXPECT_EQ(drawn[1].picture, pictures.Get(u"idxs.1"));
    EXPECT_EQ(drawn[1].rect.left, 57);
    EXPECT_EQ(drawn[1].rect.top, 96);

    // Located with the item rectangle itself: hits at 56..84 x 1..29.
    for (int dx = 50; dx <= 90; ++dx) {
        for (int dy : {0, 1, 15, 29, 30}) {
            const MarkupResult r = Locate(row, item, {dx, item.top + dy});
            const bool inside = dx >= 56 && dx <= 84 && dy >= 1 && dy <= 29;
            EXPECT_EQ(r.overLink, inside) << dx << "," << dy;
            if (inside) {
                EXPECT_EQ(r.linkTarget, u"check .mp3");
            }
        }
    }
    // Between the check box and the status link there is plain text.
    EXPECT_FALSE(Locate(row, item, {100, item.top + 16}).overLink);
    EXPECT_EQ(Locate(row, item, {410, item.top + 16}).linkTarget, u".mp3");
}

TEST_F(RenderMarkupTest, shouldReturnToBaseColourAfterInnerFontClose)
{
    surface.SetMetrics(16, {10, 20});
    Draw(kCountLine, {0, 0, 441, 55});
    const auto texts = Texts();
    ASSERT_GE(texts.size(), 4u);

    const DrawCall first = texts[0];
    EXPECT_EQ(first.text, u"3 ");
    EXPECT_EQ(first.font, (FontSpec{u"Arial", 16, true, false, kYellow}));
    EXPECT_EQ(first.rect.bottom, 20);

    // Second line: 10-point Arial in the base colour, not bold, at y 20..33.
    const DrawCall second = TextCall(u"It ");
    EXPECT_EQ(second.font, (FontSpec{u"Arial", 10, false, false, kBlack}));
    EXPECT_EQ(second.rect.left, 0);
    EXPECT_EQ(second.rect.top, 20);
    EXPECT_EQ(second.rect.bottom, 33);
}

TEST_F(RenderMarkupTest, shouldLeaveOneTextHeightForTwoBreaksInARow)
{
    Draw(u"<B>x</B><br/><B>y</B><br/><br/><A href=\"u\">z</A>", {0, 0, 200, 100});
    const auto texts = Texts();
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_EQ(texts[0].rect, (Rect{0, 0, 6, 13}));
    EXPECT_TRUE(texts[0].font.bold);
    EXPECT_EQ(texts[1].rect, (Rect{0, 13, 6, 26}));
    EXPECT_EQ(texts[2].rect, (Rect{0, 39, 6, 52}));
    EXPECT_EQ(texts[2].font, (FontSpec{u"Tahoma", 8, false, true, kBlue}));
}

TEST_F(RenderMarkupTest, shouldFindEveryDrawnLinkRunAtItsCentre)
{
    const std::u16string rows[] = {
        NeedsApplicationRow(u".mp3"),
        CheckBoxRow(u".abc"),
        CheckBoxRow(u".x&y", u"idxs.2"),
        u"<B>Quelvo</B><br/><B>Made by a small team</B><br/><br/><A "
        u"href=\"https://quelvo.example/\">quelvo.example/ home page of the product</A>",
        u"text <A href=\"one\">first link</A> between <IND x=\"150\"><A href=\"two\">second "
        u"one</A> after",
    };
    for (bool wrap : {true, false}) {
        for (const std::u16string& row : rows) {
            // Narrow enough to wrap; wide enough to show every link unshortened.
            const Rect layout{10, 40, wrap ? 250 : 650, 140};
            surface.calls.clear();
            Draw(row, layout, wrap);
            int links = 0;
            for (const DrawCall& c : Texts()) {
                if (!c.font.underline)
                    continue;
                ++links;
                const Point centre{(c.rect.left + c.rect.right) / 2, c.rect.bottom - 6};
                const MarkupResult r = Locate(row, layout, centre, wrap);
                EXPECT_TRUE(r.overLink) << c.rect.left << "," << c.rect.top;
            }
            EXPECT_GT(links, 0);
        }
    }
}

// ---------------------------------------------------------------- locate bands

TEST_F(RenderMarkupTest, shouldHitTextLinkInclusiveInXAndStrictlyInsideTheBandInY)
{
    // "z" lies at x 12..18 of the line 13..26.
    const std::u16string text = u"x<br/>ab<A href=\"Target\">z</A>";
    const Rect layout{100, 0, 300, 100};
    EXPECT_EQ(Locate(text, layout, {112, 20}).linkTarget, u"Target");
    EXPECT_TRUE(Locate(text, layout, {118, 20}).overLink);
    EXPECT_FALSE(Locate(text, layout, {111, 20}).overLink);
    EXPECT_FALSE(Locate(text, layout, {119, 20}).overLink);
    EXPECT_TRUE(Locate(text, layout, {115, 14}).overLink);
    EXPECT_TRUE(Locate(text, layout, {115, 25}).overLink);
    EXPECT_FALSE(Locate(text, layout, {115, 13}).overLink);
    EXPECT_FALSE(Locate(text, layout, {115, 26}).overLink);
}

TEST_F(RenderMarkupTest, shouldGiveTheLastHitWhereTwoLinksTouch)
{
    const std::u16string text = u"<A href=\"a\">ab</A><A href=\"b\">cd</A>";
    EXPECT_EQ(Locate(text, {0, 0, 100, 20}, {12, 6}).linkTarget, u"b");
    EXPECT_EQ(Locate(text, {0, 0, 100, 20}, {11, 6}).linkTarget, u"a");
}

TEST_F(RenderMarkupTest, shouldBandTextWithTheFontInForceAtTheLineEnd)
{
    surface.SetMetrics(16, {10, 20});
    // The line is 20 high; the band uses the base font's 13 after </FONT>.
    const std::u16string text = u"<A href=\"t\">ab</A><font size=\"16\">X</font>";
    EXPECT_TRUE(Locate(text, {0, 0, 200, 40}, {6, 8}).overLink);
    EXPECT_FALSE(Locate(text, {0, 0, 200, 40}, {6, 7}).overLink);
}

TEST_F(RenderMarkupTest, shouldKeepMultiWordLinkTargetsAndTheirSpaces)
{
    const std::u16string text = u"<A href=\"Mixed Case\">one two</A>";
    EXPECT_EQ(Locate(text, {0, 0, 200, 20}, {24, 6}).linkTarget, u"Mixed Case");  // the space after "one"
    EXPECT_EQ(Locate(text, {0, 0, 200, 20}, {40, 6}).linkTarget, u"Mixed Case");
    EXPECT_FALSE(Locate(text, {0, 0, 200, 20}, {43, 6}).overLink);
}

TEST_F(RenderMarkupTest, shouldNeitherDrawInLocateModeNorFindInDrawMode)
{
    const std::u16string row = CheckBoxRow(u".mp3");
    EXPECT_FALSE(RenderMarkup(surface, row, {0, 0, 600, 32}, base, kBlue, true, 0, &pictures,
                              {70, 15}, MarkupMode::Draw)
                     .overLink);
    surface.calls.clear();
    EXPECT_TRUE(Locate(row, {0, 0, 600, 32}, {70, 15}).overLink);
    EXPECT_TRUE(surface.calls.empty());
}

TEST_F(RenderMarkupTest, shouldRestoreTheSurfaceFont)
{
    const FontSpec before{u"Before", 7, true, true, kYellow};
    for (MarkupMode mode : {MarkupMode::Draw, MarkupMode::Locate}) {
        surface.SelectFont(before);
        RenderMarkup(surface, kCountLine, {0, 0, 100, 100}, base, kBlue, true, 0, nullptr, {5, 5}, mode);
        EXPECT_EQ(surface.CurrentFont(), before);
    }
}

// ---------------------------------------------------------------- runs and wrapping

TEST_F(RenderMarkupTest, shouldWrapBeforeAWordThatReachesTheRightEdge)
{
    // Width 60: "aaaa " + "bbbb " would reach 60, so "bbbb " starts line 2.
    Draw(u"aaaa bbbb cccc", {0, 0, 60, 100});
    const auto texts = Texts();
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_EQ(texts[0].rect, (Rect{0, 0, 30, 13}));
    EXPECT_EQ(texts[1].rect, (Rect{0, 13, 30, 26}));
    EXPECT_EQ(texts[2].rect, (Rect{30, 13, 54, 26}));
}

TEST_F(RenderMarkupTest, shouldOverflowAWordWiderThanTheLayoutOnTheCurrentLine)
{
    Draw(u"ab wwwwwwwwwwww cd", {0, 0, 60, 100});
    const auto texts = Texts();
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_EQ(texts[1].text, u"wwwwwwwwwwww ");
    EXPECT_EQ(texts[1].rect, (Rect{18, 0, 96, 13}));
    EXPECT_EQ(texts[2].rect, (Rect{0, 13, 12, 26}));
}

TEST_F(RenderMarkupTest, shouldWrapAPictureOnlyWhenItExceedsTheWidth)
{
    // 30 + 30 = 60 fits exactly in 60 for a picture; a third one wraps.
    Draw(u"<IMG src=\"idxs.1\"><IMG src=\"idxs.2\"><IMG src=\"idxs.3\">", {0, 0, 60, 100});
    const auto pics = surface.Calls(Kind::Picture);
    ASSERT_EQ(pics.size(), 3u);
    EXPECT_EQ(pics[1].rect.left, 30);
    EXPECT_EQ(pics[1].rect.top, 0);
    EXPECT_EQ(pics[2].rect.left, 0);
    EXPECT_EQ(pics[2].rect.top, 30);
}

TEST_F(RenderMarkupTest, shouldKeepPicturesOnOneLineWithoutWrap)
{
    Draw(u"<IMG src=\"idxs.1\"><IMG src=\"idxs.2\"><IMG src=\"idxs.3\">", {0, 0, 60, 100}, false);
    const auto pics = surface.Calls(Kind::Picture);
    ASSERT_EQ(pics.size(), 3u);
    EXPECT_EQ(pics[2].rect.left, 60);
    EXPECT_EQ(pics[2].rect.top, 0);
}

TEST_F(RenderMarkupTest, shouldShortenOverflowingTextWithAnEllipsisWithoutWrap)
{
    Draw(u"abcdefghijklmnop<BR>short words stay on one line", {0, 0, 60, 100}, false);
    const auto texts = Texts();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0].text, u"abcdefg...");
    EXPECT_EQ(texts[0].rect, (Rect{0, 0, 60, 13}));
    EXPECT_EQ(texts[1].text, u"short w...");
    EXPECT_EQ(texts[1].rect.top, 13);
}

TEST_F(RenderMarkupTest, shouldTrimBlanksAtEachLineStartAndTheTextEnd)
{
    Draw(u" \t first <BR>   second   ", {0, 0, 200, 100});
    const auto texts = Texts();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0].rect, (Rect{0, 0, 36, 13}));
    EXPECT_EQ(texts[0].text, u"first ");
    EXPECT_EQ(texts[1].text, u"second");
    EXPECT_EQ(texts[1].rect.left, 0);
}

TEST_F(RenderMarkupTest, shouldBreakLinesAtCarriageReturnsAndIgnoreLineFeeds)
{
    Draw(u"one\r\ntwo\nthree", {0, 0, 200, 100});
    const auto texts = Texts();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0].text, u"one");
    EXPECT_EQ(texts[1].text, u"twothree");
    EXPECT_EQ(texts[1].rect.top, 13);
}

TEST_F(RenderMarkupTest, shouldAddLineSpacingToEveryLine)
{
    Draw(u"a<BR>b", {0, 0, 100, 100}, true, 4);
    const auto texts = Texts();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0].rect, (Rect{0, 0, 6, 17}));
    EXPECT_EQ(texts[1].rect, (Rect{0, 17, 6, 34}));
}

TEST_F(RenderMarkupTest, shouldDropLinesWhenLessThanATextHeightRemains)
{
    // After two lines 4 pixels remain of 30: the third line is dropped.
    Draw(u"a<BR>b<BR>c", {0, 0, 100, 30});
    EXPECT_EQ(Texts().size(), 2u);
    surface.calls.clear();
    Draw(u"a<BR>b<BR>c", {0, 0, 100, 39});
    EXPECT_EQ(Texts().size(), 3u);
    // A line taller than the room left is still drawn whole.
    surface.calls.clear();
    Draw(u"<IMG src=\"idxs.1\">x", {0, 0, 100, 20});
    ASSERT_EQ(surface.Calls(Kind::Picture).size(), 1u);
    EXPECT_EQ(TextCall(u"x").rect.bottom, 30);
}

// ---------------------------------------------------------------- entities and mnemonics

TEST_F(RenderMarkupTest, shouldApplyMnemonicsUnlessTheTextContainsSpacedAmpersand)
{
    Draw(u"R&D", {0, 0, 200, 20});
    EXPECT_EQ(Texts().at(0).shown.text, u"RD");
    EXPECT_EQ(Texts().at(0).shown.underlined, 1);
    EXPECT_EQ(Texts().at(0).rect.right, 12);

    surface.calls.clear();
    Draw(u"R&D <B>&</B> Q & A", {0, 0, 200, 20});
    std::u16string shown;
    for (const DrawCall& c : Texts()) {
        shown += c.shown.text;
        EXPECT_EQ(c.shown.underlined, -1);
    }
    EXPECT_EQ(shown, u"R&D & Q & A");
    EXPECT_EQ(Texts().at(0).rect.right, 24);  // "R&D " measured with its "&"
}

TEST_F(RenderMarkupTest, shouldReplaceEntitiesRepeatedlyBeforeLayout)
{
    Draw(u"a&amp;b &amp;amp; &quot;q&quot; &amp;quot;", {0, 0, 300, 20});
    std::u16string shown;
    for (const DrawCall& c : Texts())
        shown += c.shown.text;
    // "&amp;" becomes "&&" (one "&" shown); "&amp;amp;" becomes "&&amp;" and
    // then "&&&", whose last "&" prefixes the space.
    EXPECT_EQ(shown, u"a&b & \"q\" \"");
}

TEST_F(RenderMarkupTest, shouldReplaceRunEntitiesAfterCuttingWordsAndTags)
{
    Draw(u"a&nbsp;b c &lt;B&gt;plain", {0, 0, 300, 20});
    const auto texts = Texts();
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_EQ(texts[0].text, u"a b ");
    EXPECT_EQ(texts[2].text, u"<B>plain");
    EXPECT_FALSE(texts[2].font.bold);
}

// ---------------------------------------------------------------- tags

TEST_F(RenderMarkupTest, shouldDropEverythingFromAnUnterminatedTag)
{
    struct Case {
        std::u16string text;
        std::u16string shown;
    };
    for (const Case& c : {Case{u"abc<B", u"abc"}, Case{u"abc<", u"abc"}, Case{u"abc<x", u"abc"},
                          Case{u"a<b>c<font size=\"3\"", u"ac"}, Case{u"x>y<B>z<", u"x>yz"},
                          Case{u"<", u""}, Case{u"<>", u""}, Case{u"a<>b", u"ab"}}) {
        surface.calls.clear();
        Draw(c.text, {0, 0, 300, 20});
        std::u16string shown;
        for (const DrawCall& call : Texts())
            shown += call.shown.text;
        EXPECT_EQ(shown, c.shown);
    }
}

TEST_F(RenderMarkupTest, shouldIgnoreUnknownTagsAndInexactBoldForms)
{
    Draw(u"<I>a</I><U>b<S>c<Z x=\"1\"><B >d<b>e</B >f</b>g<P>", {0, 0, 300, 20});
    const auto texts = Texts();
    ASSERT_EQ(texts.size(), 7u);
    for (int i = 0; i < 4; ++i)
        EXPECT_FALSE(texts[static_cast<std::size_t>(i)].font.bold) << i;
    EXPECT_TRUE(texts[4].font.bold);  // "e"
    EXPECT_TRUE(texts[5].font.bold);  // "f": "</B >" is not a closing form
    EXPECT_FALSE(texts[6].font.bold);
    EXPECT_FALSE(texts[0].font.underline);
    EXPECT_EQ(texts[6].rect.left, 36);
}

TEST_F(RenderMarkupTest, shouldEndLinkWithUnderlineOffAndBaseColour)
{
    Draw(u"<FONT color=\"clRed\">r<A href=\"x\">l</A>after</FONT>", {0, 0, 300, 20});
    const auto texts = Texts();
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_EQ(texts[0].font.colour, (Rgb{0xFF, 0, 0}));
    EXPECT_EQ(texts[1].font.colour, kBlue);
    EXPECT_TRUE(texts[1].font.underline);
    EXPECT_EQ(texts[2].font.colour, kBlack);
    EXPECT_FALSE(texts[2].font.underline);
}

TEST_F(RenderMarkupTest, shouldTakeLinkTargetFromFirstQuotedValueOfTheTag)
{
    const std::u16string text = u"<a title=\"First\" href=\"second\">x</a>";
    EXPECT_EQ(Locate(text, {0, 0, 100, 20}, {3, 6}).linkTarget, u"First");
    EXPECT_EQ(Locate(u"<A>x</A>", {0, 0, 100, 20}, {3, 6}), (MarkupResult{true, u""}));
}

TEST_F(RenderMarkupTest, shouldSetFontSizesByTheSizeTable)
{
    struct Case {
        const char16_t* value;
        int points;
    };
    for (const Case& c : {Case{u"1", 8}, Case{u"2", 10}, Case{u"3", 12}, Case{u"4", 14},
                          Case{u"5", 16}, Case{u"10", 10}, Case{u"16", 16}, Case{u"6", 6},
                          Case{u"2pt", 10}, Case{u"x", 0}, Case{u"", 0}, Case{u"0", 0},
                          Case{u"99999999999999", 32767}}) {
        surface.calls.clear();
        Draw(u"<font size=\"" + std::u16string(c.value) + u"\">x", {0, 0, 100, 20});
        ASSERT_EQ(Texts().size(), 1u) << c.points;
        EXPECT_EQ(Texts()[0].font.points, c.points);
    }
}

TEST_F(RenderMarkupTest, shouldReadColoursInHexNamesAndThemeNames)
{
    struct Case {
        const char16_t* value;
        Rgb colour;
    };
    for (const Case& c :
         {Case{u"#ffff00", kYellow}, Case{u"#FFFF00", kYellow}, Case{u"#d6e7f9", kRowBlue},
          Case{u"clwhite", kWhite}, Case{u"CLWHITE", kWhite}, Case{u"clNavy", {0, 0, 0x80}},
          Case{u"clFuchsia", {0xFF, 0, 0xFF}}, Case{u"clbtnface", {0xF0, 0xF0, 0xF0}},
          Case{u"clInfoBk", {0xFF, 0xFF, 0xE1}}, Case{u"clNoSuch", kBlack},
          Case{u"#12", kBlack}, Case{u"#gg0000", kBlack}, Case{u"", kBlack},
          Case{u"white", kBlack}}) {
        surface.calls.clear();
        Draw(u"<BODY bgcolor=\"" + std::u16string(c.value) + u"\"><FONT color=\""
                 + std::u16string(c.value) + u"\">x",
             {0, 0, 100, 20});
        const auto fills = surface.Calls(Kind::Fill);
        ASSERT_EQ(fills.size(), 1u);
        EXPECT_EQ(fills[0].colour, c.colour);
        EXPECT_EQ(Texts().at(0).font.colour, c.colour);
    }
}

TEST_F(RenderMarkupTest, shouldNotTakeBgcolorForTheFontColour)
{
    Draw(u"<FONT bgcolor=\"#ff0000\">x", {0, 0, 100, 20});
    EXPECT_EQ(Texts().at(0).font.colour, kBlack);
}

TEST_F(RenderMarkupTest, shouldChangeOnlyTheFontAttributesPresent)
{
    Draw(u"<font face=\"Courier\">a<FONT SIZE=\"4\">b</font>c", {0, 0, 100, 20});
    const auto texts = Texts();
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_EQ(texts[0].font, (FontSpec{u"Courier", 8, false, false, kBlack}));
    EXPECT_EQ(texts[1].font, (FontSpec{u"Courier", 14, false, false, kBlack}));
    EXPECT_EQ(texts[2].font, base);
}

TEST_F(RenderMarkupTest, shouldFillBodyAtTheMomentItIsMetOverEarlierContent)
{
    Draw(u"a<BR>b<BODY bgcolor=\"clRed\">c", {5, 10, 100, 60});
    ASSERT_EQ(surface.calls.size(), 4u);
    EXPECT_EQ(surface.calls[2].kind, Kind::Fill);
    EXPECT_EQ(surface.calls[2].rect, (Rect{3, 10, 100, 60}));
    EXPECT_EQ(surface.calls[3].text, u"c");
}

TEST_F(RenderMarkupTest, shouldDrawRulesBlackWhenColourIsAbsentOrEmpty)
{
    Draw(u"a<HR>b<HR COLOR=\"\">c<hr color=\"clLime\">", {0, 0, 100, 100});
    const auto lines = surface.Calls(Kind::Line);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].rect, (Rect{0, 14, 100, 14}));
    EXPECT_EQ(lines[0].colour, kBlack);
    EXPECT_EQ(lines[1].colour, kBlack);
    EXPECT_EQ(lines[2].rect, (Rect{0, 40, 100, 40}));
    EXPECT_EQ(lines[2].colour, (Rgb{0, 0xFF, 0}));
    EXPECT_EQ(TextCall(u"c").rect.top, 26);
}

TEST_F(RenderMarkupTest, shouldMoveThePenByIndOnlyForwardAndOnlyForWholeNumbers)
{
    struct Case {
        std::u16string text;
        int left;  // where "x" starts
    };
    for (const Case& c : {Case{u"ab<ind=\"40\">x", 40}, Case{u"abcdefgh<ind=\"40\">x", 48},
                          Case{u"ab<IND x=\"40\">x", 40}, Case{u"ab<ind=\"40px\">x", 12},
                          Case{u"ab<ind=\"-5\">x", 12}, Case{u"ab<ind=\"\">x", 12},
                          Case{u"ab<ind=40>x", 12}, Case{u"ab<ind=\"12\">x", 12},
                          Case{u"<ind=\"20\"><ind=\"10\">x", 20}}) {
        surface.calls.clear();
        Draw(c.text, {0, 0, 300, 20});
        EXPECT_EQ(TextCall(u"x").rect.left, c.left);
    }
}

// ---------------------------------------------------------------- pictures

TEST_F(RenderMarkupTest, shouldTakeNoSpaceForMissingOrUnnamedPictures)
{
    for (const std::u16string& img :
         {std::u16string(u"<IMG src=\"IDXS.5\">"), std::u16string(u"<img src=\"c:\\idxs.1\">"),
          std::u16string(u"<IMG>"), std::u16string(u"<IMG src=idxs.1>")}) {
        surface.calls.clear();
        Draw(u"ab" + img + u"cd", {0, 0, 200, 40});
        EXPECT_TRUE(surface.Calls(Kind::Picture).empty());
        EXPECT_EQ(TextCall(u"cd").rect, (Rect{12, 0, 24, 13}));
    }
    surface.calls.clear();
    RenderMarkup(surface, u"<IMG src=\"idxs.1\">x", {0, 0, 200, 40}, base, kBlue, true, 0, nullptr,
                 {}, MarkupMode::Draw);
    EXPECT_EQ(TextCall(u"x").rect, (Rect{0, 0, 6, 13}));
}

TEST_F(RenderMarkupTest, shouldFindPictureNamesInAnyCase)
{
    Draw(u"<IMG SRC=\"IDXS.1\">", {0, 0, 200, 40});
    ASSERT_EQ(surface.Calls(Kind::Picture).size(), 1u);
    EXPECT_EQ(surface.Calls(Kind::Picture)[0].picture, pictures.Get(u"idxs.1"));
}

TEST_F(RenderMarkupTest, shouldAlignTextTopOrMiddleByTheLastAlignedPicture)
{
    struct Case {
        std::u16string text;
        int textBottom;
    };
    pictures.Add(u"tall", 10, 40);
    pictures.Add(u"small", 4, 4);
    surface.SetMetrics(16, {10, 20});
    for (const Case& c : {
             Case{u"<IMG src=\"idxs.1\">x", 30},                               // no alignment
             Case{u"<IMG src=\"idxs.1\" align=\"top\">x", 13},                 // 30 - 17
             Case{u"<IMG src=\"idxs.1\" align=\"middle\">x", 22},              // 30 - 8
             Case{u"<IMG src=\"idxs.1\" ALIGN=\"MIDDLE\">x<IMG src=\"tall\">", 32},  // 40 - 8
             Case{u"<IMG src=\"idxs.1\" align=\"middle\">x<IMG src=\"tall\" align=\"top\">", 13},
             // The font at the IMG tag is 20 high, taller than the line so far
             // (13): -7 / 2 rounds down to -4, lowering the text.
             Case{u"<font size=\"16\"><IMG src=\"small\" align=\"middle\">x", 24},
         }) {
        surface.calls.clear();
        Draw(c.text, {0, 0, 300, 100});
        EXPECT_EQ(TextCall(u"x").rect.bottom, c.textBottom);
        EXPECT_EQ(TextCall(u"x").rect.top, 0);
    }
}

TEST_F(RenderMarkupTest, shouldScalePicturesWithTheScreenDensity)
{
    surface.SetDpi(144);
    Draw(u"<IMG src=\"idxs.1\">x", {0, 0, 300, 100});
    EXPECT_EQ(TextCall(u"x").rect, (Rect{45, 0, 51, 45}));
}

// Layout, drawing and hit-testing round a scaled picture the same way.
TEST_F(RenderMarkupTest, shouldDrawAndHitPicturesOverOneRoundedSizeAtAnyDensity)
{
    pictures.Add(u"odd", 31, 31);
    struct Case {
        int dpi;
        std::u16string name;
        int length;
    };
    for (const Case& c : {
             Case{120, u"idxs.1", 38},  // 37.5
             Case{120, u"odd", 39},     // 38.75
             Case{144, u"idxs.1", 45},
             Case{144, u"odd", 47},     // 46.5
         }) {
        SCOPED_TRACE(c.dpi);
        surface.SetDpi(c.dpi);
        surface.calls.clear();
        const std::u16string text = u"<A href=\"p\"><IMG src=\"" + c.name + u"\"></A>x";
        const Rect layout{10, 0, 300, 100};
        Draw(text, layout);
        const auto drawn = surface.Calls(Kind::Picture);
        ASSERT_EQ(drawn.size(), 1u);
        EXPECT_EQ(drawn[0].rect, (Rect{10, 0, 10 + c.length, c.length}));
        EXPECT_EQ(TextCall(u"x").rect.left, 10 + c.length);
        // The last drawn column and row are hit; the first ones beyond are not.
        EXPECT_TRUE(Locate(text, layout, {10 + c.length - 1, c.length - 1}).overLink);
        EXPECT_FALSE(Locate(text, layout, {10 + c.length, c.length / 2}).overLink);
        EXPECT_FALSE(Locate(text, layout, {10 + c.length / 2, c.length}).overLink);
    }
}

// ---------------------------------------------------------------- robustness

TEST_F(RenderMarkupTest, shouldFinishOnLargeAndDeeplyRepeatedMarkup)
{
    surface.SetRecording(false);
    std::u16string tags;
    for (int i = 0; i < 100000; ++i)
        tags += u"<B>a</B><font size=\"3\">b</font><br/>";
    Draw(tags, {0, 0, 200, 1 << 30});

    std::u16string nested = u"&";
    for (int i = 0; i < 100000; ++i)
        nested += u"amp;";
    Draw(nested, {0, 0, 200, 100});

    std::u16string opens(100000, u'<');
    opens += u">";
    Draw(opens + u"x", {0, 0, 200, 100});

    std::u16string hugeFace = u"<font face=\"" + std::u16string(1 << 20, u'F') + u"\">";
    for (int i = 0; i < 20000; ++i)
        hugeFace += u"<B>x</B><BR>";
    Draw(hugeFace, {0, 0, 200, 1 << 30});

    Draw(std::u16string(1 << 22, u'w'), {0, 0, 200, 100}, false);  // one overlong run, shortened
    SUCCEED();
}

}  // namespace
}  // namespace quelvo::markup
