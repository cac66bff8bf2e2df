#pragma once

// Drawing helpers of the Win32 front end: pictures decoded with GDI+ into
// 32-bit premultiplied device-independent bitmaps (drawn with alpha
// blending), bitmaps with a colour left out through a monochrome mask, and
// the fonts of the window.

#include "frontend/Controls.h"

#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quelvo::frontend::win32 {

inline COLORREF ToColorRef(TColor c) { return RGB(c.r, c.g, c.b); }

// A top-down 32-bit DIB section; pixels are premultiplied 0xAARRGGBB.
class Win32Bitmap {
public:
    Win32Bitmap() = default;
    Win32Bitmap(int width, int height);
    ~Win32Bitmap();
    Win32Bitmap(Win32Bitmap&& other) noexcept;
    Win32Bitmap& operator=(Win32Bitmap&& other) noexcept;
    Win32Bitmap(const Win32Bitmap&) = delete;
    Win32Bitmap& operator=(const Win32Bitmap&) = delete;

    bool Empty() const { return !m_bitmap; }
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    HBITMAP Handle() const { return m_bitmap; }
    std::uint32_t* Pixels() const { return m_pixels; }
    std::uint32_t Pixel(int x, int y) const { return m_pixels[static_cast<std::size_t>(y) * m_width + x]; }

    // Draws the whole bitmap with its top-left at (x, y), blending by alpha.
    void DrawBlended(HDC dc, int x, int y) const;
    // Copies it opaque.
    void DrawOpaque(HDC dc, int x, int y) const;

private:
    HBITMAP m_bitmap = nullptr;
    std::uint32_t* m_pixels = nullptr;
    int m_width = 0;
    int m_height = 0;
};

// Decodes a PNG, BMP or GIF file image (the first frame); empty when GDI+
// cannot read it.
Win32Bitmap DecodePicture(const std::vector<std::uint8_t>& bytes);

// The frames of an animated GIF as GDI+ hands them out, and the delays (in
// hundredths) and loop count its properties hold.
struct TDecodedAnimation {
    std::vector<Win32Bitmap> Frames;
    std::vector<std::optional<int>> Delays;
    std::optional<int> LoopCount;
};
TDecodedAnimation DecodeAnimation(const std::vector<std::uint8_t>& bytes);

// A picture with every pixel of one colour left out: drawn through a
// monochrome mask (the classic SRCAND / SRCPAINT pair), so what lies under it
// shows there.
class Win32MaskedBitmap {
public:
    Win32MaskedBitmap() = default;
    Win32MaskedBitmap(const Win32Bitmap& picture, COLORREF transparent);
    ~Win32MaskedBitmap();
    Win32MaskedBitmap(Win32MaskedBitmap&& other) noexcept;
    Win32MaskedBitmap& operator=(Win32MaskedBitmap&& other) noexcept;
    Win32MaskedBitmap(const Win32MaskedBitmap&) = delete;
    Win32MaskedBitmap& operator=(const Win32MaskedBitmap&) = delete;

    bool Empty() const { return m_image.Empty(); }
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    void Draw(HDC dc, int x, int y) const;
    // The system's grey embossed look of a disabled picture.
    void DrawEmbossed(HDC dc, int x, int y) const;

private:
    void Release();

    Win32Bitmap m_image;        // the picture, left-out pixels black
    HBITMAP m_mask = nullptr;   // 1: left out
    int m_width = 0;
    int m_height = 0;
};

// Where text in a font sits on its baseline. A size drawn from an embedded
// bitmap strike (Wine's Tahoma at 8 to 12 points) has the strike's own
// ascent and descent, which the Linux build lays out with too; other sizes
// the font's outline metrics.
struct TextLine {
    int ascent = 0;
    int descent = 0;
    int Height() const { return ascent + descent; }
};
TextLine FontLine(HFONT font);

// How many times text in font is drawn, each time one pixel right of the
// last: 2 for a bold font that the rasteriser draws hardly heavier than its
// regular face (Wine's hinting thins Liberation Sans Bold at 8 to 10 points,
// and its Tahoma Bold outlines are the regular strokes), 1 otherwise.
// Decided once per face, size and weight by the ink of a sample; the
// advances stay the bold face's.
int OverstrikeCount(HFONT font);

// A font of the window, made once and kept for the process.
HFONT WindowFont(const TFontDesc& font);
// Tahoma 11 px, the window's own font.
HFONT DefaultWindowFont();

}  // namespace quelvo::frontend::win32
