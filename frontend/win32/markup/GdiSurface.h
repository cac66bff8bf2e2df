#pragma once

// The markup engine's drawing surface over a GDI device context. Fonts are
// made by face and point size at the device's density and kept for the
// program's life.
//
// Text is laid out with the fonts' design advances (font units scaled to the
// pixel size, kept in 1/64 pixels) and drawn with ExtTextOutW at exactly the
// glyph positions it was measured with, so that measuring and drawing agree
// to the pixel whatever the rasteriser does. GDI's own extents cannot be
// trusted for that: Wine measures a size that has an embedded bitmap strike
// (its Tahoma at 8 to 12 points) by the hinted outlines, a tenth wider than
// the bitmaps it then draws.

#include "frontend/win32/Win32Gdi.h"
#include "markup/engine/Surface.h"

#include <windows.h>

// The engine's DrawText, not the Windows API's macro of that name.
#pragma push_macro("DrawText")
#undef DrawText

namespace quelvo::frontend::win32 {

class GdiSurface : public markup::Surface {
public:
    // Draws on and measures with dc; dpi 0 takes the device's own. The
    // context's font, text colour, background mode and text alignment come
    // back when the surface goes away.
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

    // Line metrics of a font: where text sits on its baseline. A size drawn
    // from an embedded bitmap strike takes the strike's own ascent and
    // descent, the outline's otherwise.
    struct LineMetrics {
        int ascent = 0;
        int descent = 0;
    };
    static LineMetrics MetricsFor(const markup::FontSpec& font, int dpi);

    // One font as the surface keeps it (defined where it is used).
    struct Face;

private:
    Face& Current() const;

    HDC m_dc;
    int m_dpi;
    markup::FontSpec m_font;
    mutable Face* m_face = nullptr;
    HGDIOBJ m_oldFont;
    COLORREF m_oldColour;
    int m_oldBkMode;
    UINT m_oldAlign;
};

inline markup::Rgb ToRgb(COLORREF c)
{
    return markup::Rgb{GetRValue(c), GetGValue(c), GetBValue(c)};
}

}  // namespace quelvo::frontend::win32

#pragma pop_macro("DrawText")
