#pragma once

// What the markup engine needs of a drawing surface. The engine never draws
// by itself: the Qt widgets pass a QPainter-backed surface, tests a fake one
// with fixed metrics. Coordinates are device pixels; rectangles exclude their
// right and bottom edges.

#include <climits>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quelvo::markup {

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

struct Rect {
    int left = 0, top = 0, right = 0, bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    friend bool operator==(const Rect&, const Rect&) = default;
};

struct Size {
    int width = 0, height = 0;
    friend bool operator==(const Size&, const Size&) = default;
};

// A font as the markup selects it: face, size in points, style and colour.
struct FontSpec {
    std::u16string face;
    int points = 8;
    bool bold = false;
    bool underline = false;
    Rgb colour;
    friend bool operator==(const FontSpec&, const FontSpec&) = default;
};

// A picture that <IMG src> names; it knows its natural size in pixels.
class Picture {
public:
    virtual ~Picture() = default;
    virtual int Width() const = 0;
    virtual int Height() const = 0;
};

// A picture length on a device of dpi dots per inch: pixels * dpi / 96,
// rounded to nearest. Layout, drawing, measuring and hit-testing all scale
// by this one rule, so that they agree to the pixel.
inline int ScaledPictureLength(int pixels, int dpi)
{
    if (dpi == 96)
        return pixels;
    const long long scaled = (static_cast<long long>(pixels) * dpi + 48) / 96;
    return scaled > INT_MAX ? INT_MAX : scaled < INT_MIN ? INT_MIN : static_cast<int>(scaled);
}

inline Size ScaledPictureSize(const Picture& picture, int dpi)
{
    return Size{ScaledPictureLength(picture.Width(), dpi), ScaledPictureLength(picture.Height(), dpi)};
}

// Where <IMG src> names are looked up (the picture container).
class PictureSource {
public:
    virtual ~PictureSource() = default;
    // Case-insensitive (ASCII letters); the first match, or nullptr.
    virtual const Picture* FindPicture(std::u16string_view name) const = 0;
};

class Surface {
public:
    virtual ~Surface() = default;

    // Dots per inch of the device: pictures scale by Dpi()/96, points by Dpi()/72.
    virtual int Dpi() const = 0;

    virtual void SelectFont(const FontSpec& font) = 0;
    virtual const FontSpec& CurrentFont() const = 0;

    // Width and height of a single line in the current font. With mnemonics
    // on, "&x" measures as "x" and "&&" as "&". Tabs expand to the next
    // multiple of eight average character widths.
    virtual Size MeasureText(std::u16string_view text, bool mnemonics) const = 0;
    // The current font's text height: the height of "gh".
    virtual int TextHeight() const = 0;

    // Draws one line left- and bottom-aligned in the rectangle, background
    // transparent, in the current font and its colour. With mnemonics on an
    // "&" is not shown and underlines the next character; "&&" shows "&".
    virtual void DrawText(const Rect& box, std::u16string_view text, bool mnemonics) = 0;

    virtual void FillRect(const Rect& rect, Rgb colour) = 0;
    // A one-pixel line from (x1, y1) to (x2, y2), the end point excluded.
    virtual void DrawLine(int x1, int y1, int x2, int y2, Rgb colour) = 0;
    // Opaque, top-left corner at (x, y), its natural size scaled by
    // ScaledPictureSize(picture, Dpi()).
    virtual void DrawPicture(const Picture& picture, int x, int y) = 0;

    // A desktop theme colour by its name ("clWindow", "clBtnFace"...), or none
    // when the name is not a theme colour.
    virtual std::optional<Rgb> ThemeColour(std::u16string_view name) const = 0;
};

}  // namespace quelvo::markup
