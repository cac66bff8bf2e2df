#include "frontend/win32/markup/GdiSurface.h"

#include "frontend/win32/markup/Win32PictureContainer.h"

#include <algorithm>
#include <array>
#include <map>
#include <string>
#include <tuple>

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

// Fonts are asked for on every run of every paint; GDI fonts are cheap to
// keep and dear to make. The UI thread alone paints.
std::map<FontKey, HFONT>& FontCache()
{
    static std::map<FontKey, HFONT> cache;
    return cache;
}

UINT LineFormat(bool mnemonics)
{
    return DT_SINGLELINE | DT_EXPANDTABS | DT_NOCLIP | (mnemonics ? 0u : UINT{DT_NOPREFIX});
}

const wchar_t* Wide(std::u16string_view text) { return reinterpret_cast<const wchar_t*>(text.data()); }

}  // namespace

HFONT GdiSurface::FontFor(const markup::FontSpec& font, int dpi)
{
    std::u16string face;
    for (char16_t c : font.face)
        face += LowerAscii(c);
    // Rounded to nearest: 8 points at 96 dots per inch are 11 pixels.
    const int pixels = MulDiv(font.points, dpi, 72);
    FontKey key{face, pixels, font.bold, font.underline};
    auto& cache = FontCache();
    auto it = cache.find(key);
    if (it != cache.end())
        return it->second;
    LOGFONTW lf{};
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
    HFONT made = CreateFontIndirectW(&lf);
    if (!made)
        made = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    cache.emplace(std::move(key), made);
    return made;
}

GdiSurface::GdiSurface(HDC dc, int dpi)
    : m_dc(dc),
      m_dpi(dpi > 0 ? dpi : GetDeviceCaps(dc, LOGPIXELSY)),
      m_oldFont(GetCurrentObject(dc, OBJ_FONT)),
      m_oldColour(GetTextColor(dc)),
      m_oldBkMode(GetBkMode(dc))
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
}

void GdiSurface::SelectFont(const markup::FontSpec& font)
{
    const bool sameShape = m_fontSelected && font.points == m_font.points && font.bold == m_font.bold
                           && font.underline == m_font.underline && SameNameNoCase(font.face, m_font.face);
    m_font = font;
    if (!sameShape)
        m_fontSelected = false;
}

void GdiSurface::UseFont() const
{
    if (m_fontSelected)
        return;
    SelectObject(m_dc, FontFor(m_font, m_dpi));
    m_fontSelected = true;
}

markup::Size GdiSurface::MeasureText(std::u16string_view text, bool mnemonics) const
{
    UseFont();
    if (text.empty()) {
        TEXTMETRICW tm{};
        GetTextMetricsW(m_dc, &tm);
        return markup::Size{0, static_cast<int>(tm.tmHeight)};
    }
    RECT r{0, 0, 0, 0};
    ::DrawTextW(m_dc, Wide(text), static_cast<int>(text.size()), &r, DT_CALCRECT | LineFormat(mnemonics));
    return markup::Size{static_cast<int>(r.right - r.left), static_cast<int>(r.bottom - r.top)};
}

int GdiSurface::TextHeight() const { return MeasureText(u"gh", false).height; }

void GdiSurface::DrawText(const markup::Rect& box, std::u16string_view text, bool mnemonics)
{
    if (text.empty())
        return;
    UseFont();
    SetTextColor(m_dc, ToColorRef(m_font.colour));
    SetBkMode(m_dc, TRANSPARENT);
    RECT r{box.left, box.top, box.right, box.bottom};
    ::DrawTextW(m_dc, Wide(text), static_cast<int>(text.size()), &r, DT_LEFT | DT_BOTTOM | LineFormat(mnemonics));
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
