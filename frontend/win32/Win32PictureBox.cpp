#include "frontend/win32/Win32PictureBox.h"

#include "frontend/win32/Win32Helpers.h"

namespace quelvo::frontend::win32 {

namespace {
const wchar_t kPictureClass[] = L"QuelvoPicture";
}  // namespace

Win32PictureBox::Win32PictureBox(Win32Node* parent, std::string name, TRect bounds,
                                 const std::vector<std::uint8_t>& bytes)
    : Win32Control(std::move(name)), m_bytes(bytes)
{
    RegisterNodeClass(kPictureClass);
    CreateNode(parent, kPictureClass, WS_VISIBLE, 0, ToRect(bounds));
}

void Win32PictureBox::PaintSelf(HDC dc)
{
    // Decoded when first shown: the pictures of pages not visited take no
    // memory.
    if (!m_bytes.empty()) {
        m_picture = DecodePicture(m_bytes);
        m_bytes = {};
    }
    m_picture.DrawBlended(dc, 0, 0);
}

}  // namespace quelvo::frontend::win32
