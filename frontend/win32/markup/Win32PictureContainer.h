#pragma once

// The named pictures that <IMG src="..."> refers to, decoded from Windows
// BMP file images into device-independent pixels and drawn opaque at their
// own size. Names compare without regard to case (letters a to z only); the
// first picture of a name wins.

#include "markup/engine/Surface.h"

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace quelvo::frontend::win32 {

class Win32Picture : public markup::Picture {
public:
    // Reads a BMP file image: uncompressed 24 or 32 bits per pixel, rows
    // bottom-up or top-down. False, and an empty picture, for anything else
    // or for bytes that end before the pixels do.
    bool LoadBmp(const std::vector<std::uint8_t>& bytes);

    int Width() const override { return m_width; }
    int Height() const override { return m_height; }
    // 0x00RRGGBB of the pixel at (x, y) from the top-left.
    std::uint32_t Pixel(int x, int y) const;

    // Copies the picture, scaled to width x height, with its top-left at (x, y).
    void Draw(HDC dc, int x, int y, int width, int height) const;

private:
    int m_width = 0;
    int m_height = 0;
    std::vector<std::uint32_t> m_pixels;  // top-down rows, 0x00RRGGBB
};

class Win32PictureContainer : public markup::PictureSource {
public:
    // Appends a picture decoded from bmpFileBytes; false, and nothing added,
    // when they are not a picture it can read.
    bool Add(std::u16string name, const std::vector<std::uint8_t>& bmpFileBytes);
    int Count() const { return static_cast<int>(m_items.size()); }

    const markup::Picture* FindPicture(std::u16string_view name) const override;

private:
    struct Item {
        std::u16string name;
        Win32Picture picture;
    };
    std::vector<std::unique_ptr<Item>> m_items;
};

}  // namespace quelvo::frontend::win32
