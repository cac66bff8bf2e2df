#include "tests/support/Win32Canvas.h"

#include "frontend/win32/markup/GdiSurface.h"

#include <gtest/gtest.h>

#undef DrawText

using namespace quelvo::frontend::win32;
using namespace quelvo::frontend::win32::test;
using quelvo::markup::FontSpec;
using quelvo::markup::Rect;

namespace {

const FontSpec kTahoma{u"Tahoma", 8, false, false, {0, 0, 0}};
constexpr std::uint32_t kWhite = Rgb(255, 255, 255);

LOGFONTW LogFontOf(HFONT font)
{
    LOGFONTW lf{};
    GetObjectW(font, sizeof lf, &lf);
    return lf;
}

// The darkness of everything drawn on a white canvas.
long long Ink(const DibCanvas& canvas)
{
    long long ink = 0;
    for (int y = 0; y < canvas.Height(); ++y)
        for (int x = 0; x < canvas.Width(); ++x)
            ink += 255 - static_cast<int>(canvas.Pixel(x, y) & 0xFF);
    return ink;
}

bool SamePixels(const DibCanvas& a, const DibCanvas& b)
{
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < a.Width(); ++x)
            if (a.Pixel(x, y) != b.Pixel(x, y))
                return false;
    return true;
}

}  // namespace

TEST(GdiSurface, shouldMakeFontsByFaceAndPointsAtTheDeviceDensity)
{
    LOGFONTW lf = LogFontOf(GdiSurface::FontFor(kTahoma, 96));
    EXPECT_EQ(lf.lfHeight, -11);  // 8 pt at 96 dpi
    EXPECT_EQ(lf.lfWeight, FW_NORMAL);
    EXPECT_STREQ(lf.lfFaceName, L"Tahoma");

    lf = LogFontOf(GdiSurface::FontFor(FontSpec{u"Arial", 10, true, true, {}}, 96));
    EXPECT_EQ(lf.lfHeight, -13);
    EXPECT_EQ(lf.lfWeight, FW_BOLD);
    EXPECT_TRUE(lf.lfUnderline);

    EXPECT_EQ(LogFontOf(GdiSurface::FontFor(kTahoma, 144)).lfHeight, -16);

    // The face matches in any case: one font, not two.
    EXPECT_EQ(GdiSurface::FontFor(FontSpec{u"TAHOMA", 8, false, false, {}}, 96), GdiSurface::FontFor(kTahoma, 96));

    // Drawing selects it.
    DibCanvas canvas(40, 20);
    GdiSurface surface(canvas.Dc(), 96);
    surface.SelectFont(FontSpec{u"Arial", 10, true, false, {}});
    surface.DrawText(Rect{0, 0, 40, 20}, u"x", false);
    EXPECT_EQ(GetCurrentObject(canvas.Dc(), OBJ_FONT), GdiSurface::FontFor(FontSpec{u"Arial", 10, true, false, {}}, 96));
}

// Runs are measured one by one and drawn where the measure put them: a text
// drawn whole and the same text drawn in two runs must be the same pixels,
// or words drift apart (Wine measures its Tahoma a tenth wider than it draws).
TEST(GdiSurface, shouldDrawEveryCharacterWhereItWasMeasured)
{
    const std::u16string_view texts[] = {u"New Application Required", u"Fix Registry Problem", u"Extensions"};
    const FontSpec fonts[] = {kTahoma, FontSpec{u"Tahoma", 8, false, true, {0, 0, 255}},
                              FontSpec{u"Tahoma", 8, true, false, {}}, FontSpec{u"Arial", 10, false, false, {}},
                              FontSpec{u"Arial", 10, true, false, {}}, FontSpec{u"Arial", 16, true, false, {}}};
    for (const FontSpec& font : fonts) {
        for (std::u16string_view text : texts) {
            SCOPED_TRACE(std::string(text.begin(), text.end()) + " in " + std::string(font.face.begin(), font.face.end())
                         + " " + std::to_string(font.points) + (font.bold ? " bold" : ""));
            DibCanvas whole(300, 40, RGB(255, 255, 255));
            DibCanvas split(300, 40, RGB(255, 255, 255));
            GdiSurface a(whole.Dc(), 96);
            GdiSurface b(split.Dc(), 96);
            a.SelectFont(font);
            b.SelectFont(font);
            const std::u16string marked = std::u16string(text) + u"|";
            const int width = a.MeasureText(text, false).width;
            a.DrawText(Rect{4, 0, 296, 30}, marked, false);
            b.DrawText(Rect{4, 0, 296, 30}, text, false);
            b.DrawText(Rect{4 + width, 0, 296, 30}, u"|", false);
            EXPECT_TRUE(SamePixels(whole, split));
            // The ink stays inside the measured width, give or take the
            // overhang of the last glyph (and of the second stroke of a bold).
            const RECT ink = split.Ink(kWhite);
            EXPECT_LE(ink.right, 4 + width + a.MeasureText(u"|", false).width + 2);
        }
    }
}

TEST(GdiSurface, shouldSitTextOnTheBaselineItsMetricsGive)
{
    DibCanvas canvas(200, 60, RGB(255, 255, 255));
    GdiSurface surface(canvas.Dc(), 96);
    for (const FontSpec& font : {FontSpec{u"Tahoma", 8, false, false, {200, 0, 0}},
                                 FontSpec{u"Arial", 10, false, false, {200, 0, 0}},
                                 FontSpec{u"Arial", 16, true, false, {200, 0, 0}}}) {
        SCOPED_TRACE(std::string(font.face.begin(), font.face.end()) + std::to_string(font.points));
        canvas.Fill(RGB(255, 255, 255));
        surface.SelectFont(font);
        const GdiSurface::LineMetrics metrics = GdiSurface::MetricsFor(font, 96);
        EXPECT_EQ(surface.TextHeight(), metrics.ascent + metrics.descent);
        EXPECT_EQ(surface.MeasureText(u"Hello", false).height, surface.TextHeight());
        EXPECT_GT(metrics.ascent, metrics.descent);

        // A box taller than the text: "H" stands on the baseline, the
        // descent above the box's bottom edge, and starts at its left.
        const Rect box{10, 5, 150, 45};
        surface.DrawText(box, u"H", false);
        const RECT ink = canvas.Ink(kWhite);
        EXPECT_EQ(ink.bottom, box.bottom - metrics.descent);
        EXPECT_GE(ink.top, box.bottom - surface.TextHeight());
        EXPECT_GE(ink.left, box.left);
        EXPECT_LE(ink.left, box.left + 2);
        // In the font's colour, on a transparent background.
        bool red = false;
        for (int y = ink.top; y < ink.bottom; ++y)
            for (int x = ink.left; x < ink.right; ++x)
                red = red || canvas.Pixel(x, y) == Rgb(200, 0, 0);
        EXPECT_TRUE(red);
        EXPECT_EQ(canvas.Pixel(box.left, box.top), kWhite);
    }
}

// The report's headers and the count line are bold: drawn visibly heavier
// than regular text, whatever the rasteriser makes of the bold face.
TEST(GdiSurface, shouldDrawBoldTextHeavierThanRegular)
{
    for (int points : {8, 10, 16}) {
        for (const char16_t* face : {u"Arial", u"Tahoma"}) {
            SCOPED_TRACE(std::string(face, face + std::char_traits<char16_t>::length(face)) + std::to_string(points));
            DibCanvas regular(300, 40, RGB(255, 255, 255));
            DibCanvas bold(300, 40, RGB(255, 255, 255));
            GdiSurface r(regular.Dc(), 96);
            GdiSurface b(bold.Dc(), 96);
            r.SelectFont(FontSpec{face, points, false, false, {}});
            b.SelectFont(FontSpec{face, points, true, false, {}});
            r.DrawText(Rect{2, 0, 300, 30}, u"Extensions with Problems", false);
            b.DrawText(Rect{2, 0, 300, 30}, u"Extensions with Problems", false);
            EXPECT_GT(Ink(bold) * 10, Ink(regular) * 14);
        }
    }
    EXPECT_EQ(OverstrikeCount(GdiSurface::FontFor(kTahoma, 96)), 1);
}

TEST(GdiSurface, shouldTreatAmpersandsAsMnemonicsOnlyWhenAsked)
{
    DibCanvas canvas(100, 30, RGB(255, 255, 255));
    GdiSurface surface(canvas.Dc(), 96);
    surface.SelectFont(kTahoma);
    EXPECT_EQ(surface.MeasureText(u"&File", true), surface.MeasureText(u"File", false));
    EXPECT_EQ(surface.MeasureText(u"R&&D", true), surface.MeasureText(u"R&D", false));
    EXPECT_GT(surface.MeasureText(u"&File", false).width, surface.MeasureText(u"File", false).width);
    EXPECT_GT(surface.MeasureText(u"a\tb", false).width, surface.MeasureText(u"ab", false).width + 10);

    // "&x" shows x underlined: the same letter with a line under it.
    const Rect box{5, 0, 60, 25};
    surface.DrawText(box, u"x", false);
    const RECT plain = canvas.Ink(kWhite);
    canvas.Fill(RGB(255, 255, 255));
    surface.DrawText(box, u"&x", true);
    const RECT underlined = canvas.Ink(kWhite);
    EXPECT_EQ(underlined.top, plain.top);
    EXPECT_GT(underlined.bottom, plain.bottom);

    canvas.Fill(RGB(255, 255, 255));
    surface.DrawText(box, u"&&", true);
    const RECT doubled = canvas.Ink(kWhite);
    canvas.Fill(RGB(255, 255, 255));
    surface.DrawText(box, u"&", false);
    const RECT single = canvas.Ink(kWhite);
    EXPECT_TRUE(EqualRect(&doubled, &single));
}

TEST(GdiSurface, shouldGiveTheContextItsFontColourAndModeBack)
{
    DibCanvas canvas(10, 10);
    HGDIOBJ font = GetStockObject(ANSI_VAR_FONT);
    SelectObject(canvas.Dc(), font);
    SetTextColor(canvas.Dc(), RGB(1, 2, 3));
    SetBkMode(canvas.Dc(), OPAQUE);
    SetTextAlign(canvas.Dc(), TA_TOP | TA_RIGHT);
    {
        GdiSurface surface(canvas.Dc());
        surface.SelectFont(FontSpec{u"Arial", 12, true, false, {9, 9, 9}});
        surface.DrawText(Rect{0, 0, 10, 10}, u"a", false);
        EXPECT_NE(GetCurrentObject(canvas.Dc(), OBJ_FONT), font);
    }
    EXPECT_EQ(GetCurrentObject(canvas.Dc(), OBJ_FONT), font);
    EXPECT_EQ(GetTextColor(canvas.Dc()), RGB(1, 2, 3));
    EXPECT_EQ(GetBkMode(canvas.Dc()), OPAQUE);
    EXPECT_EQ(GetTextAlign(canvas.Dc()), UINT{TA_TOP | TA_RIGHT});
}

TEST(GdiSurface, shouldFillRectanglesAndDrawLinesWithoutTheirEndPoint)
{
    DibCanvas canvas(20, 20, RGB(255, 255, 255));
    GdiSurface surface(canvas.Dc());
    surface.FillRect(Rect{2, 2, 5, 4}, {10, 20, 30});
    EXPECT_EQ(canvas.Pixel(2, 2), Rgb(10, 20, 30));
    EXPECT_EQ(canvas.Pixel(4, 3), Rgb(10, 20, 30));
    EXPECT_EQ(canvas.Pixel(5, 3), kWhite);
    EXPECT_EQ(canvas.Pixel(4, 4), kWhite);

    surface.DrawLine(3, 10, 12, 10, {0, 0, 255});
    EXPECT_EQ(canvas.Pixel(3, 10), Rgb(0, 0, 255));
    EXPECT_EQ(canvas.Pixel(11, 10), Rgb(0, 0, 255));
    EXPECT_EQ(canvas.Pixel(12, 10), kWhite);
    EXPECT_EQ(canvas.Pixel(7, 9), kWhite);
    EXPECT_EQ(canvas.Pixel(7, 11), kWhite);

    surface.DrawLine(15, 5, 15, 8, {0, 128, 0});
    EXPECT_EQ(canvas.Pixel(15, 5), Rgb(0, 128, 0));
    EXPECT_EQ(canvas.Pixel(15, 7), Rgb(0, 128, 0));
    EXPECT_EQ(canvas.Pixel(15, 8), kWhite);
}

TEST(GdiSurface, shouldDrawPicturesOpaqueAtTheirOwnSize)
{
    Win32Picture picture;
    ASSERT_TRUE(picture.LoadBmp(RowPictureBytes("idxs.0")));
    DibCanvas canvas(60, 60, RGB(255, 0, 255));
    GdiSurface surface(canvas.Dc(), 96);
    surface.DrawPicture(picture, 7, 9);
    EXPECT_EQ(canvas.Pixel(7, 9), picture.Pixel(0, 0));
    EXPECT_EQ(canvas.Pixel(7 + 15, 9 + 12), picture.Pixel(15, 12));
    EXPECT_EQ(canvas.Pixel(7 + 29, 9 + 29), picture.Pixel(29, 29));
    EXPECT_EQ(canvas.Pixel(7 + 30, 9 + 15), Rgb(255, 0, 255));
    EXPECT_EQ(canvas.Pixel(7 + 15, 9 + 30), Rgb(255, 0, 255));
    EXPECT_EQ(canvas.Pixel(6, 9), Rgb(255, 0, 255));
}

TEST(GdiSurface, shouldResolveThemeColourNamesThroughTheSystemColours)
{
    DibCanvas canvas(1, 1);
    GdiSurface surface(canvas.Dc());
    const std::pair<std::u16string_view, int> roles[] = {
        {u"clWindow", COLOR_WINDOW},         {u"clWindowText", COLOR_WINDOWTEXT},
        {u"clBtnFace", COLOR_BTNFACE},       {u"clBtnShadow", COLOR_BTNSHADOW},
        {u"clHighlight", COLOR_HIGHLIGHT},   {u"clHighlightText", COLOR_HIGHLIGHTTEXT},
        {u"clGrayText", COLOR_GRAYTEXT},     {u"clInfoBk", COLOR_INFOBK},
        {u"clInfoText", COLOR_INFOTEXT},     {u"clBtnText", COLOR_BTNTEXT},
        {u"clBtnHighlight", COLOR_BTNHIGHLIGHT}, {u"clMenu", COLOR_MENU},
        {u"clMenuText", COLOR_MENUTEXT},     {u"clActiveCaption", COLOR_ACTIVECAPTION},
        {u"clInactiveCaption", COLOR_INACTIVECAPTION}, {u"clCaptionText", COLOR_CAPTIONTEXT},
        {u"clScrollBar", COLOR_SCROLLBAR},   {u"clBackground", COLOR_BACKGROUND},
        {u"clAppWorkSpace", COLOR_APPWORKSPACE}, {u"clWindowFrame", COLOR_WINDOWFRAME},
        {u"cl3DDkShadow", COLOR_3DDKSHADOW}, {u"cl3DLight", COLOR_3DLIGHT},
    };
    for (const auto& [name, index] : roles) {
        const auto colour = surface.ThemeColour(name);
        ASSERT_TRUE(colour.has_value()) << std::string(name.begin(), name.end());
        EXPECT_EQ(*colour, ToRgb(GetSysColor(index))) << std::string(name.begin(), name.end());
    }
    EXPECT_EQ(surface.ThemeColour(u"CLWINDOWTEXT"), ToRgb(GetSysColor(COLOR_WINDOWTEXT)));
    EXPECT_FALSE(surface.ThemeColour(u"clWhite").has_value());  // a basic colour, the engine's own
    EXPECT_FALSE(surface.ThemeColour(u"clWindowX").has_value());
    EXPECT_FALSE(surface.ThemeColour(u"").has_value());
}
