#pragma once

// A still picture control.

#include "frontend/win32/Win32Control.h"
#include "frontend/win32/Win32Gdi.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quelvo::frontend::win32 {

// A still picture at its own size, alpha included.
class Win32PictureBox : public Win32Control<TPictureControl> {
public:
    Win32PictureBox(Win32Node* parent, std::string name, TRect bounds, const std::vector<std::uint8_t>& bytes);
    void PaintSelf(HDC dc) override;

private:
    std::vector<std::uint8_t> m_bytes;  // the file, until first painted
    Win32Bitmap m_picture;
};

}  // namespace quelvo::frontend::win32
