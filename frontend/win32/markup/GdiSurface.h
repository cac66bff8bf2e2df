#pragma once

// The markup engine's drawing surface over a GDI device context. Fonts are
// made by face and point size at the device's density and kept for the
// program's life; measuring and drawing both go through DrawTextW, so that
// the widths the engine lays out with are the widths it draws.

#include "markup/engine/Surface.h"

#include <windows.h>

// The engine's DrawText, not the Windows API's macro of that name.
#pragma push_macro("DrawText")
#undef DrawText

namespace quelvo::frontend::win32 {

class GdiSurface : public markup::Surface {
public:
    // Draws on and measures with dc; dpi 0 takes the device's own. The
    // context's font, text colour and background mode come back when the
    // surface goes away.
    explicit GdiSurface(HDC dc, int dpi = 0);
    ~GdiSurface() override;

    GdiSurface(const GdiSurface&) = delete;
    GdiSurface& operator=(const GdiSurface&) = delete;

    int Dpi() const override { return m_dpi; }
    void SelectFont(const markup::FontSpec& font) override;
    const markup::FontSpec& CurrentFont() const override { return m_font; }
    markup::Size MeasureText(std::u16string_view text, bool mnemonics) const override;
    int TextHeight() const override;
    void DrawText(const markup::Rect& box, std::u16string_view text, bool mnemonics) override;
    void FillRect(const markup::Rect& rect, markup::Rgb colour) override;
    void DrawLine(int x1, int y1, int x2, int y2, markup::Rgb colour) override;
    void DrawPicture(const markup::Picture& picture, int x, int y) override;
    std::optional<markup::Rgb> ThemeColour(std::u16string_view name) const override;

    // The font the markup asks for, as GDI makes it; owned by a cache that
    // lives as long as the program.
    static HFONT FontFor(const markup::FontSpec& font, int dpi);

private:
    void UseFont() const;

    HDC m_dc;
    int m_dpi;
    markup::FontSpec m_font;
    mutable bool m_fontSelected = false;
    HGDIOBJ m_oldFont;
    COLORREF m_oldColour;
    int m_oldBkMode;
};

inline COLORREF ToColorRef(markup::Rgb c) { return RGB(c.r, c.g, c.b); }
inline markup::Rgb ToRgb(COLORREF c)
{
    return markup::Rgb{GetRValue(c), GetGValue(c), GetBValue(c)};
}

}  // namespace quelvo::frontend::win32

#pragma pop_macro("DrawText")
