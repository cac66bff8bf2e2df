#include "Win32TestUtil.h"

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

LOGFONTW SelectedFont(HDC dc)
{
    LOGFONTW lf{};
    GetObjectW(GetCurrentObject(dc, OBJ_FONT), sizeof lf, &lf);
    return lf;
}

}  // namespace

TEST(GdiSurface, MakesFontsByFaceAndPointsAtTheDeviceDensity)
{
    DibCanvas canvas(10, 10);
    GdiSurface surface(canvas.Dc(), 96);
    surface.SelectFont(kTahoma);
    surface.MeasureText(u"x", false);
    LOGFONTW lf = SelectedFont(canvas.Dc());
    EXPECT_EQ(lf.lfHeight, -11);  // 8 pt at 96 dpi
    EXPECT_EQ(lf.lfWeight, FW_NORMAL);
    EXPECT_STREQ(lf.lfFaceName, L"Tahoma");

    surface.SelectFont(FontSpec{u"Arial", 10, true, true, {}});
    surface.MeasureText(u"x", false);
    lf = SelectedFont(canvas.Dc());
    EXPECT_EQ(lf.lfHeight, -13);
    EXPECT_EQ(lf.lfWeight, FW_BOLD);
    EXPECT_TRUE(lf.lfUnderline);

    GdiSurface dense(canvas.Dc(), 144);
    dense.SelectFont(kTahoma);
    dense.MeasureText(u"x", false);
    EXPECT_EQ(SelectedFont(canvas.Dc()).lfHeight, -16);

    // The face matches in any case: one font, not two.
    EXPECT_EQ(GdiSurface::FontFor(FontSpec{u"TAHOMA", 8, false, false, {}}, 96), GdiSurface::FontFor(kTahoma, 96));
}

TEST(GdiSurface, DrawsTextBottomLeftAlignedWithinTheMeasuredBox)
{
    DibCanvas canvas(200, 60, RGB(255, 255, 255));
    GdiSurface surface(canvas.Dc(), 96);
    surface.SelectFont(FontSpec{u"Tahoma", 8, false, false, {200, 0, 0}});
    const auto size = surface.MeasureText(u"Hello gh", false);
    ASSERT_GT(size.width, 20);
    EXPECT_EQ(size.height, surface.TextHeight());
    EXPECT_EQ(surface.MeasureText(u"x", false).height, surface.TextHeight());

    // A box taller than the text: the text sits on its bottom edge.
    const Rect box{10, 5, 10 + size.width, 45};
    surface.DrawText(box, u"Hello gh", false);
    const RECT ink = canvas.Ink(kWhite);
    EXPECT_GE(ink.left, box.left);
    EXPECT_LE(ink.left, box.left + 2);
    // The advance, as the font's own metrics give it; the glyphs' ink ends
    // short of it (by more under Wine, whose hinted glyphs are narrower).
    SIZE extent{};
    GetTextExtentPoint32W(canvas.Dc(), L"Hello gh", 8, &extent);
    EXPECT_EQ(size.width, extent.cx);
    EXPECT_LE(ink.right, box.right + 1);
    EXPECT_GE(ink.right, box.left + size.width * 3 / 4);
    EXPECT_LE(ink.bottom, box.bottom);
    EXPECT_GE(ink.bottom, box.bottom - 3);  // the descender of g
    EXPECT_GE(ink.top, box.bottom - size.height);
    // In the font's colour, on a transparent background.
    bool red = false;
    for (int y = ink.top; y < ink.bottom; ++y)
        for (int x = ink.left; x < ink.right; ++x)
            red = red || canvas.Pixel(x, y) == Rgb(200, 0, 0);
    EXPECT_TRUE(red);
    EXPECT_EQ(canvas.Pixel(box.left, box.top), kWhite);
}

TEST(GdiSurface, TreatsAmpersandsAsMnemonicsOnlyWhenAsked)
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

TEST(GdiSurface, GivesTheContextItsFontColourAndModeBack)
{
    DibCanvas canvas(10, 10);
    HGDIOBJ font = GetStockObject(ANSI_VAR_FONT);
    SelectObject(canvas.Dc(), font);
    SetTextColor(canvas.Dc(), RGB(1, 2, 3));
    SetBkMode(canvas.Dc(), OPAQUE);
    {
        GdiSurface surface(canvas.Dc());
        surface.SelectFont(FontSpec{u"Arial", 12, true, false, {9, 9, 9}});
        surface.DrawText(Rect{0, 0, 10, 10}, u"a", false);
        EXPECT_NE(GetCurrentObject(canvas.Dc(), OBJ_FONT), font);
    }
    EXPECT_EQ(GetCurrentObject(canvas.Dc(), OBJ_FONT), font);
    EXPECT_EQ(GetTextColor(canvas.Dc()), RGB(1, 2, 3));
    EXPECT_EQ(GetBkMode(canvas.Dc()), OPAQUE);
}

TEST(GdiSurface, FillsRectanglesAndDrawsLinesWithoutTheirEndPoint)
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

TEST(GdiSurface, DrawsPicturesOpaqueAtTheirOwnSize)
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

TEST(GdiSurface, ResolvesThemeColourNamesThroughTheSystemColours)
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
