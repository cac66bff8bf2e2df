#include "tests/support/Win32Canvas.h"

#include "frontend/PictureOrder.h"

#include <fstream>
#include <iterator>

namespace quelvo::frontend::win32::test {

namespace {
constexpr wchar_t kHostClass[] = L"QuelvoTestHost";
}

HostWindow::HostWindow(int width, int height, COLORREF colour) : m_colour(colour)
{
    RegisterNodeClass(kHostClass);
    CreateNode(nullptr, kHostClass, WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 0, RECT{40, 40, 40 + width, 40 + height},
               L"Quelvo test");
    SetForegroundWindow(Handle());
    SetActiveWindow(Handle());
    Pump();
}

void HostWindow::PaintSelf(HDC dc)
{
    RECT r{};
    GetClientRect(Handle(), &r);
    HBRUSH brush = CreateSolidBrush(m_colour);
    FillRect(dc, &r, brush);
    DeleteObject(brush);
}

HostWindow& SharedHost()
{
    static HostWindow* host = new HostWindow(620, 460);  // lives until the process ends
    SetForegroundWindow(host->Handle());
    SetActiveWindow(host->Handle());
    return *host;
}

void Pump()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

std::vector<std::uint8_t> ReadFileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::uint8_t> RowPictureBytes(const std::string& name)
{
    return ReadFileBytes(std::string(QUELVO_SOURCE_DIR) + "/resources/pictures/" + PictureFileName(name));
}

void LoadRowPictures(Win32PictureContainer& container)
{
    const std::vector<std::uint8_t> order =
        ReadFileBytes(std::string(QUELVO_SOURCE_DIR) + "/resources/pictures/order.txt");
    for (const TPictureFile& picture :
         ReadPictureOrder(std::string_view(reinterpret_cast<const char*>(order.data()), order.size())))
        container.Add(std::u16string(picture.name.begin(), picture.name.end()), RowPictureBytes(picture.name));
}

DibCanvas::DibCanvas(int width, int height, COLORREF fill) : m_width(width), m_height(height)
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    HDC screen = GetDC(nullptr);
    m_dc = CreateCompatibleDC(screen);
    ReleaseDC(nullptr, screen);
    void* bits = nullptr;
    m_bitmap = CreateDIBSection(m_dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    m_bits = static_cast<std::uint32_t*>(bits);
    m_old = SelectObject(m_dc, m_bitmap);
    Fill(fill);
}

DibCanvas::~DibCanvas()
{
    SelectObject(m_dc, m_old);
    DeleteObject(m_bitmap);
    DeleteDC(m_dc);
}

void DibCanvas::Fill(COLORREF colour)
{
    RECT r{0, 0, m_width, m_height};
    HBRUSH brush = CreateSolidBrush(colour);
    FillRect(m_dc, &r, brush);
    DeleteObject(brush);
    GdiFlush();
}

std::uint32_t DibCanvas::Pixel(int x, int y) const
{
    GdiFlush();
    if (x < 0 || y < 0 || x >= m_width || y >= m_height)
        return 0xFFFFFFFFu;
    return m_bits[y * m_width + x] & 0x00FFFFFFu;
}

RECT DibCanvas::Ink(std::uint32_t background) const
{
    GdiFlush();
    RECT ink{m_width, m_height, 0, 0};
    for (int y = 0; y < m_height; ++y)
        for (int x = 0; x < m_width; ++x)
            if ((m_bits[y * m_width + x] & 0x00FFFFFFu) != background) {
                ink.left = std::min<LONG>(ink.left, x);
                ink.top = std::min<LONG>(ink.top, y);
                ink.right = std::max<LONG>(ink.right, x + 1);
                ink.bottom = std::max<LONG>(ink.bottom, y + 1);
            }
    if (ink.right == 0)
        return RECT{};
    return ink;
}

}  // namespace quelvo::frontend::win32::test
