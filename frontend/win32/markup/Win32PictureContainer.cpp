#include "frontend/win32/markup/Win32PictureContainer.h"

#include <utility>

namespace quelvo::frontend::win32 {

namespace {

std::uint32_t Read32(const std::vector<std::uint8_t>& b, std::size_t at)
{
    return std::uint32_t{b[at]} | std::uint32_t{b[at + 1]} << 8 | std::uint32_t{b[at + 2]} << 16
           | std::uint32_t{b[at + 3]} << 24;
}

std::uint16_t Read16(const std::vector<std::uint8_t>& b, std::size_t at)
{
    return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}

char16_t UpperAscii(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c; }

bool SameName(std::u16string_view a, std::u16string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (UpperAscii(a[i]) != UpperAscii(b[i]))
            return false;
    return true;
}

}  // namespace

bool Win32Picture::LoadBmp(const std::vector<std::uint8_t>& bytes)
{
    m_width = m_height = 0;
    m_pixels.clear();
    constexpr std::size_t kFileHeader = 14;
    if (bytes.size() < kFileHeader + 40 || bytes[0] != 'B' || bytes[1] != 'M')
        return false;
    const std::uint32_t offset = Read32(bytes, 10);
    const std::uint32_t infoSize = Read32(bytes, kFileHeader);
    const auto width = static_cast<std::int32_t>(Read32(bytes, kFileHeader + 4));
    const auto height = static_cast<std::int32_t>(Read32(bytes, kFileHeader + 8));
    const std::uint16_t planes = Read16(bytes, kFileHeader + 12);
    const std::uint16_t bits = Read16(bytes, kFileHeader + 14);
    const std::uint32_t compression = Read32(bytes, kFileHeader + 16);
    // Sizes past a few thousand pixels are no row picture: a corrupt header.
    constexpr std::int32_t kMaxSide = 4096;
    if (infoSize < 40 || planes != 1 || (bits != 24 && bits != 32) || compression != BI_RGB || width <= 0
        || width > kMaxSide || height == 0 || height < -kMaxSide || height > kMaxSide)
        return false;
    const bool topDown = height < 0;
    const int rows = topDown ? -height : height;
    const std::size_t bytesPerPixel = bits / 8;
    const std::size_t stride = (static_cast<std::size_t>(width) * bytesPerPixel + 3) & ~std::size_t{3};
    if (offset < kFileHeader + infoSize || offset > bytes.size()
        || (bytes.size() - offset) / stride < static_cast<std::size_t>(rows))
        return false;
    m_pixels.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(rows));
    for (int y = 0; y < rows; ++y) {
        const std::size_t stored = topDown ? static_cast<std::size_t>(y) : static_cast<std::size_t>(rows - 1 - y);
        const std::uint8_t* row = bytes.data() + offset + stored * stride;
        std::uint32_t* out = m_pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
        for (int x = 0; x < width; ++x) {
            const std::uint8_t* p = row + static_cast<std::size_t>(x) * bytesPerPixel;
            out[x] = std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16;
        }
    }
    m_width = width;
    m_height = rows;
    return true;
}

std::uint32_t Win32Picture::Pixel(int x, int y) const
{
    if (x < 0 || y < 0 || x >= m_width || y >= m_height)
        return 0;
    return m_pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(m_width) + static_cast<std::size_t>(x)];
}

void Win32Picture::Draw(HDC dc, int x, int y, int width, int height) const
{
    if (m_pixels.empty() || width <= 0 || height <= 0)
        return;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = m_width;
    info.bmiHeader.biHeight = -m_height;  // top-down, as stored
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    if (width == m_width && height == m_height) {
        SetDIBitsToDevice(dc, x, y, static_cast<DWORD>(m_width), static_cast<DWORD>(m_height), 0, 0, 0,
                          static_cast<UINT>(m_height), m_pixels.data(), &info, DIB_RGB_COLORS);
        return;
    }
    const int oldMode = SetStretchBltMode(dc, COLORONCOLOR);
    StretchDIBits(dc, x, y, width, height, 0, 0, m_width, m_height, m_pixels.data(), &info, DIB_RGB_COLORS,
                  SRCCOPY);
    SetStretchBltMode(dc, oldMode);
}

bool Win32PictureContainer::Add(std::u16string name, const std::vector<std::uint8_t>& bmpFileBytes)
{
    auto item = std::make_unique<Item>();
    if (!item->picture.LoadBmp(bmpFileBytes))
        return false;
    item->name = std::move(name);
    m_items.push_back(std::move(item));
    return true;
}

const markup::Picture* Win32PictureContainer::FindPicture(std::u16string_view name) const
{
    for (const auto& item : m_items)
        if (SameName(item->name, name))
            return &item->picture;
    return nullptr;
}

}  // namespace quelvo::frontend::win32
