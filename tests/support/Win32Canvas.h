#pragma once

// Shared by the Win32 markup control tests: a top-level window to put the
// controls in, the row pictures from resources/pictures, and pixels read
// back from a device-independent bitmap.

#include "frontend/win32/Win32Control.h"
#include "frontend/win32/markup/Win32PictureContainer.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quelvo::frontend::win32::test {

// A popup window that paints itself in one colour: the controls' parent.
class HostWindow : public Win32Node {
public:
    HostWindow(int width, int height, COLORREF colour = RGB(200, 120, 40));
    void PaintSelf(HDC dc) override;
    COLORREF Colour() const { return m_colour; }

private:
    COLORREF m_colour;
};

// One host window for every test of the program: under Xvfb without a
// window manager, Wine takes a second to map or unmap a top-level window.
HostWindow& SharedHost();

// Handles every pending message of the thread.
void Pump();

std::vector<std::uint8_t> ReadFileBytes(const std::string& path);
// The twelve row pictures from the source tree, in order.txt order.
void LoadRowPictures(Win32PictureContainer& container);
std::vector<std::uint8_t> RowPictureBytes(const std::string& name);

// A 32-bit top-down DIB section with its own memory DC.
class DibCanvas {
public:
    DibCanvas(int width, int height, COLORREF fill = RGB(255, 0, 255));
    ~DibCanvas();
    DibCanvas(const DibCanvas&) = delete;
    DibCanvas& operator=(const DibCanvas&) = delete;

    HDC Dc() const { return m_dc; }
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    // 0x00RRGGBB.
    std::uint32_t Pixel(int x, int y) const;
    void Fill(COLORREF colour);
    // The bounding box of pixels unlike background; empty when none.
    RECT Ink(std::uint32_t background) const;

private:
    HDC m_dc;
    HBITMAP m_bitmap;
    HGDIOBJ m_old;
    std::uint32_t* m_bits = nullptr;
    int m_width, m_height;
};

constexpr std::uint32_t Rgb(std::uint8_t r, std::uint8_t g, std::uint8_t b)
{
    return std::uint32_t{r} << 16 | std::uint32_t{g} << 8 | b;
}

}  // namespace quelvo::frontend::win32::test
