#include "frontend/win32/markup/GdiSurface.h"

#include "frontend/win32/markup/Win32PictureContainer.h"

#include <algorithm>
#include <array>
#include <climits>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <unordered_map>
#include <vector>

#undef DrawText  // the engine's; the API is called as DrawTextW

namespace quelvo::frontend::win32 {

namespace {

char16_t LowerAscii(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; }

bool SameNameNoCase(std::u16string_view a, std::u16string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (LowerAscii(a[i]) != LowerAscii(b[i]))
            return false;
    return true;
}

using FontKey = std::tuple<std::u16string, int, bool, bool>;

// Whole pixels of a length in 1/64 pixels, rounded to nearest.
long long Pixels(long long sixtyFourths) { return (sixtyFourths + 32) >> 6; }

// A context of the screen's kind for asking fonts about themselves.
HDC MetricsDc()
{
    static HDC dc = CreateCompatibleDC(nullptr);
    return dc;
}

}  // namespace

// A font as the surface uses it: the GDI font, its underlined twin for
// mnemonic letters, where text sits on its baseline, and the advances that
// measuring and drawing share.
struct GdiSurface::Face {
    LOGFONTW logFont{};
    HFONT font = nullptr;
    HFONT underlined = nullptr;  // made on first use
    HFONT design = nullptr;      // at the em size: advances in font units
    int pixels = 0;
    int em = 0;                  // 0: no outlines, advances in whole pixels
    int ascent = 0;
    int descent = 0;
    int tabWidth = 8;
    int strikes = 1;
    std::unordered_map<char32_t, long long> advances;  // 1/64 pixels

    HFONT Underlined()
    {
        if (!underlined) {
            LOGFONTW lf = logFont;
            lf.lfUnderline = TRUE;
            underlined = CreateFontIndirectW(&lf);
            if (!underlined)
                underlined = font;
        }
        return underlined;
    }

    // The advance of one character, as the font's design gives it at this
    // size, cut to 1/64 pixel as font engines keep advances.
    long long Advance(char32_t cp, std::u16string_view units)
    {
        if (advances.size() > 4096)
            advances.clear();
        auto [it, added] = advances.try_emplace(cp, 0);
        if (!added)
            return it->second;
        HDC dc = MetricsDc();
        HGDIOBJ old = SelectObject(dc, design ? design : font);
        long long width = 0;
        if (cp <= 0xFFFF) {
            INT w = 0;
            if (GetCharWidth32W(dc, static_cast<UINT>(cp), static_cast<UINT>(cp), &w))
                width = w;
        } else {
            SIZE size{};
            if (GetTextExtentPoint32W(dc, reinterpret_cast<const wchar_t*>(units.data()),
                                      static_cast<int>(units.size()), &size))
                width = size.cx;
        }
        SelectObject(dc, old);
        it->second = design ? std::max(0LL, width) * pixels * 64 / em : std::max(0LL, width) * 64;
        return it->second;
    }
};

namespace {

// Fonts are asked for on every run of every paint; GDI fonts are cheap to
// keep and dear to make. The UI thread alone paints.
std::map<FontKey, std::unique_ptr<GdiSurface::Face>>& FaceCache()
{
    static std::map<FontKey, std::unique_ptr<GdiSurface::Face>> cache;
    return cache;
}

GdiSurface::Face& FaceFor(const markup::FontSpec& font, int dpi)
{
    std::u16string face;
    for (char16_t c : font.face)
        face += LowerAscii(c);
    // Rounded to nearest: 8 points at 96 dots per inch are 11 pixels.
    const int pixels = std::max(1, MulDiv(font.points, dpi, 72));
    FontKey key{face, pixels, font.bold, font.underline};
    auto& cache = FaceCache();
    auto it = cache.find(key);
    if (it != cache.end())
        return *it->second;

    auto made = std::make_unique<GdiSurface::Face>();
    GdiSurface::Face& f = *made;
    LOGFONTW& lf = f.logFont;
    // Negative: the character height, without the internal leading.
    lf.lfHeight = -pixels;
    lf.lfWeight = font.bold ? FW_BOLD : FW_NORMAL;
    lf.lfUnderline = font.underline ? TRUE : FALSE;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
    lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    lf.lfQuality = DEFAULT_QUALITY;
    lf.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
    const std::size_t n = std::min<std::size_t>(font.face.size(), LF_FACESIZE - 1);
    for (std::size_t i = 0; i < n; ++i)
        lf.lfFaceName[i] = static_cast<wchar_t>(font.face[i]);
    f.font = CreateFontIndirectW(&lf);
    if (!f.font) {
        f.font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
        GetObjectW(f.font, sizeof lf, &lf);
    }
    f.pixels = pixels;

    HDC dc = MetricsDc();
    HGDIOBJ old = SelectObject(dc, f.font);
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    // Tabs go to multiples of eight average characters, as DT_EXPANDTABS has them.
    f.tabWidth = 8 * std::max(1, static_cast<int>(tm.tmAveCharWidth));
    const TextLine line = FontLine(f.font);
    f.ascent = line.ascent;
    f.descent = line.descent;
    OUTLINETEXTMETRICW otm{};
    otm.otmSize = sizeof otm;
    if (GetOutlineTextMetricsW(dc, sizeof otm, &otm) && otm.otmEMSquare > 0 && otm.otmEMSquare <= 16384) {
        LOGFONTW design = lf;
        design.lfHeight = -static_cast<LONG>(otm.otmEMSquare);
        design.lfUnderline = FALSE;
        f.design = CreateFontIndirectW(&design);
        if (f.design)
            f.em = static_cast<int>(otm.otmEMSquare);
    }
    SelectObject(dc, old);
    f.strikes = OverstrikeCount(f.font);
    return *cache.emplace(std::move(key), std::move(made)).first->second;
}

// One stretch of a line drawn in one font: its code units, where it starts
// (1/64 pixels from the line's start) and each unit's advance in pixels.
struct Stretch {
    std::u16string units;
    std::vector<INT> dx;
    long long start = 0;
    bool underlined = false;
};

// Lays a line out as it is shown: "&x" underlines x and "&&" is "&" when
// mnemonics are on (a lone trailing "&" vanishes); tabs go to the next tab
// stop. Each character's place is its design position rounded to a whole
// pixel. Returns the line's width in pixels; fills stretches when given.
long long LayOut(GdiSurface::Face& face, std::u16string_view text, bool mnemonics, std::vector<Stretch>* stretches)
{
    long long pen = 0;
    bool open = false;
    auto put = [&](std::u16string_view units, bool underlined) {
        char32_t cp = units[0];
        if (units.size() == 2)
            cp = 0x10000 + ((char32_t(units[0]) - 0xD800) << 10) + (char32_t(units[1]) - 0xDC00);
        const long long next = pen + face.Advance(cp, units);
        if (stretches) {
            if (!open || stretches->back().underlined != underlined) {
                stretches->push_back(Stretch{{}, {}, pen, underlined});
                open = true;
            }
            Stretch& s = stretches->back();
            s.units.append(units);
            s.dx.push_back(static_cast<INT>(Pixels(next) - Pixels(pen)));
            if (units.size() == 2)
                s.dx.push_back(0);
        }
        pen = next;
    };
    auto tab = [&] {
        const long long stop = face.tabWidth;
        pen = (Pixels(pen) / stop + 1) * stop * 64;
        open = false;
    };
    auto unitsAt = [&](std::size_t i) {
        const bool pair = text[i] >= 0xD800 && text[i] <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00
                          && text[i + 1] <= 0xDFFF;
        return text.substr(i, pair ? 2 : 1);
    };
    for (std::size_t i = 0; i < text.size();) {
        const char16_t c = text[i];
        if (c == u'\t') {
            tab();
            ++i;
        } else if (c == u'&' && mnemonics) {
            if (i + 1 >= text.size())
                break;
            const char16_t next = text[i + 1];
            if (next == u'&') {
                put(text.substr(i + 1, 1), false);
                i += 2;
            } else if (next == u'\t') {
                tab();
                i += 2;
            } else {
                const std::u16string_view units = unitsAt(i + 1);
                put(units, true);
                i += 1 + units.size();
            }
        } else {
            const std::u16string_view units = unitsAt(i);
            put(units, false);
            i += units.size();
        }
    }
    return Pixels(pen);
}

int ClampWidth(long long width) { return static_cast<int>(std::min<long long>(width, INT_MAX / 2)); }

}  // namespace

HFONT GdiSurface::FontFor(const markup::FontSpec& font, int dpi) { return FaceFor(font, dpi).font; }

GdiSurface::LineMetrics GdiSurface::MetricsFor(const markup::FontSpec& font, int dpi)
{
    const Face& face = FaceFor(font, dpi);
    return LineMetrics{face.ascent, face.descent};
}

GdiSurface::GdiSurface(HDC dc, int dpi)
    : m_dc(dc),
      m_dpi(dpi > 0 ? dpi : GetDeviceCaps(dc, LOGPIXELSY)),
      m_oldFont(GetCurrentObject(dc, OBJ_FONT)),
      m_oldColour(GetTextColor(dc)),
      m_oldBkMode(GetBkMode(dc)),
      m_oldAlign(GetTextAlign(dc))
{
    if (m_dpi <= 0)
        m_dpi = 96;
    m_font.face = u"Tahoma";
}

GdiSurface::~GdiSurface()
{
    SelectObject(m_dc, m_oldFont);
    SetTextColor(m_dc, m_oldColour);
    SetBkMode(m_dc, m_oldBkMode);
    SetTextAlign(m_dc, m_oldAlign);
}

void GdiSurface::SelectFont(const markup::FontSpec& font)
{
    const bool sameShape = m_face && font.points == m_font.points && font.bold == m_font.bold
                           && font.underline == m_font.underline && SameNameNoCase(font.face, m_font.face);
    m_font = font;
    if (!sameShape)
        m_face = nullptr;
}

GdiSurface::Face& GdiSurface::Current() const
{
    if (!m_face)
        m_face = &FaceFor(m_font, m_dpi);
    return *m_face;
}

markup::Size GdiSurface::MeasureText(std::u16string_view text, bool mnemonics) const
{
    Face& face = Current();
    return markup::Size{ClampWidth(LayOut(face, text, mnemonics, nullptr)), face.ascent + face.descent};
}

int GdiSurface::TextHeight() const
{
    const Face& face = Current();
    return face.ascent + face.descent;
}

void GdiSurface::DrawText(const markup::Rect& box, std::u16string_view text, bool mnemonics)
{
    if (text.empty())
        return;
    Face& face = Current();
    std::vector<Stretch> stretches;
    LayOut(face, text, mnemonics, &stretches);
    SetTextColor(m_dc, ToColorRef(m_font.colour));
    SetBkMode(m_dc, TRANSPARENT);
    SetTextAlign(m_dc, TA_LEFT | TA_BASELINE | TA_NOUPDATECP);
    const int baseline = box.bottom - face.descent;
    for (const Stretch& s : stretches) {
        SelectObject(m_dc, s.underlined ? face.Underlined() : face.font);
        const long long x = box.left + Pixels(s.start);
        // A bold face that the rasteriser draws no heavier than regular is
        // struck twice, one pixel apart; its advances stay the bold face's.
        for (int strike = 0; strike < face.strikes; ++strike)
            ExtTextOutW(m_dc, static_cast<int>(std::clamp<long long>(x + strike, INT_MIN / 2, INT_MAX / 2)), baseline,
                        0, nullptr, reinterpret_cast<const wchar_t*>(s.units.data()),
                        static_cast<UINT>(s.units.size()), s.dx.data());
    }
}

void GdiSurface::FillRect(const markup::Rect& rect, markup::Rgb colour)
{
    if (rect.Width() <= 0 || rect.Height() <= 0)
        return;
    HBRUSH brush = CreateSolidBrush(ToColorRef(colour));
    const RECT r{rect.left, rect.top, rect.right, rect.bottom};
    ::FillRect(m_dc, &r, brush);
    DeleteObject(brush);
}

void GdiSurface::DrawLine(int x1, int y1, int x2, int y2, markup::Rgb colour)
{
    // LineTo leaves out the end point, as the engine wants.
    HPEN pen = CreatePen(PS_SOLID, 1, ToColorRef(colour));
    HGDIOBJ oldPen = SelectObject(m_dc, pen);
    POINT oldAt{};
    MoveToEx(m_dc, x1, y1, &oldAt);
    LineTo(m_dc, x2, y2);
    MoveToEx(m_dc, oldAt.x, oldAt.y, nullptr);
    SelectObject(m_dc, oldPen);
    DeleteObject(pen);
}

void GdiSurface::DrawPicture(const markup::Picture& picture, int x, int y)
{
    const auto* dib = dynamic_cast<const Win32Picture*>(&picture);
    if (!dib || dib->Width() <= 0 || dib->Height() <= 0)
        return;
    dib->Draw(m_dc, x, y, dib->Width() * m_dpi / 96, dib->Height() * m_dpi / 96);
}

std::optional<markup::Rgb> GdiSurface::ThemeColour(std::u16string_view name) const
{
    struct Role {
        std::u16string_view name;
        int index;
    };
    static constexpr std::array<Role, 30> roles{{
        {u"clScrollBar", COLOR_SCROLLBAR},
        {u"clBackground", COLOR_BACKGROUND},
        {u"clActiveCaption", COLOR_ACTIVECAPTION},
        {u"clInactiveCaption", COLOR_INACTIVECAPTION},
        {u"clMenu", COLOR_MENU},
        {u"clWindow", COLOR_WINDOW},
        {u"clWindowFrame", COLOR_WINDOWFRAME},
        {u"clMenuText", COLOR_MENUTEXT},
        {u"clWindowText", COLOR_WINDOWTEXT},
        {u"clCaptionText", COLOR_CAPTIONTEXT},
        {u"clActiveBorder", COLOR_ACTIVEBORDER},
        {u"clInactiveBorder", COLOR_INACTIVEBORDER},
        {u"clAppWorkSpace", COLOR_APPWORKSPACE},
        {u"clHighlight", COLOR_HIGHLIGHT},
        {u"clHighlightText", COLOR_HIGHLIGHTTEXT},
        {u"clBtnFace", COLOR_BTNFACE},
        {u"clBtnShadow", COLOR_BTNSHADOW},
        {u"clGrayText", COLOR_GRAYTEXT},
        {u"clBtnText", COLOR_BTNTEXT},
        {u"clInactiveCaptionText", COLOR_INACTIVECAPTIONTEXT},
        {u"clBtnHighlight", COLOR_BTNHIGHLIGHT},
        {u"cl3DDkShadow", COLOR_3DDKSHADOW},
        {u"cl3DLight", COLOR_3DLIGHT},
        {u"clInfoText", COLOR_INFOTEXT},
        {u"clInfoBk", COLOR_INFOBK},
        {u"clHotLight", COLOR_HOTLIGHT},
        {u"clGradientActiveCaption", COLOR_GRADIENTACTIVECAPTION},
        {u"clGradientInactiveCaption", COLOR_GRADIENTINACTIVECAPTION},
        {u"clMenuHighlight", COLOR_MENUHILIGHT},
        {u"clMenuBar", COLOR_MENUBAR},
    }};
    for (const Role& role : roles)
        if (SameNameNoCase(name, role.name))
            return ToRgb(GetSysColor(role.index));
    return std::nullopt;
}

}  // namespace quelvo::frontend::win32
