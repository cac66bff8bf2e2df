#pragma once

// The markup engine's drawing surface over a QPainter. Fonts are chosen by
// face and point size at the device's density; metrics are whole pixels so
// that measuring and drawing agree.

#include "markup/engine/Surface.h"

#include <QPalette>

#include <map>
#include <memory>
#include <tuple>

class QPainter;
class QImage;

namespace quelvo::markup {

class QtSurface : public Surface {
public:
    // Draws through painter (which may be null for measuring and locating
    // only); dpi 0 takes the painter device's logical density, or 96 without
    // a painter. Theme colours come from palette. The painter's state is
    // restored when the surface goes away.
    explicit QtSurface(QPainter* painter, int dpi = 0, const QPalette& palette = QPalette());
    ~QtSurface() override;

    QtSurface(const QtSurface&) = delete;
    QtSurface& operator=(const QtSurface&) = delete;

    int Dpi() const override;
    void SelectFont(const FontSpec& font) override;
    const FontSpec& CurrentFont() const override;
    Size MeasureText(std::u16string_view text, bool mnemonics) const override;
    int TextHeight() const override;
    void DrawText(const Rect& box, std::u16string_view text, bool mnemonics) override;
    void FillRect(const Rect& rect, Rgb colour) override;
    void DrawLine(int x1, int y1, int x2, int y2, Rgb colour) override;
    void DrawPicture(const Picture& picture, int x, int y) override;
    std::optional<Rgb> ThemeColour(std::u16string_view name) const override;

    // Pixel height of a font of the given points at dpi (rounded to nearest).
    static int PixelsForPoints(int points, int dpi);
    // Forgets resolved fonts (after fonts were registered).
    static void ClearFontCache();

private:
    struct CachedFont;
    static std::map<std::tuple<std::u16string, int, bool, bool>, std::unique_ptr<CachedFont>>& FontCache();
    CachedFont& Current() const;

    QPainter* m_painter;
    int m_dpi;
    QPalette m_palette;
    FontSpec m_font;
    mutable CachedFont* m_cached = nullptr;
};

// Makes Tahoma available: when the font system does not list it, or lists it
// without its bold face, registers Wine's Tahoma (regular and bold) from
// fontsDir. Call once at start, after
// the application object exists. True when Tahoma is available afterwards.
bool RegisterMarkupFonts(const QString& fontsDir = QStringLiteral("/usr/share/wine/fonts"));

}  // namespace quelvo::markup
