#include "frontend/win32/Win32Gdi.h"

#include <gdiplus.h>
#include <shlwapi.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <tuple>
#include <vector>
#include <utility>

namespace quelvo::frontend::win32 {

namespace {

struct StreamRelease {
    void operator()(IStream* s) const
    {
        if (s)
            s->Release();
    }
};
using StreamPtr = std::unique_ptr<IStream, StreamRelease>;

StreamPtr MemoryStream(const std::vector<std::uint8_t>& bytes)
{
    if (bytes.empty())
        return nullptr;
    return StreamPtr(SHCreateMemStream(bytes.data(), static_cast<UINT>(bytes.size())));
}

// The GDI+ bitmap's active frame as premultiplied pixels.
Win32Bitmap CopyFrame(Gdiplus::Bitmap& source)
{
    const int width = static_cast<int>(source.GetWidth());
    const int height = static_cast<int>(source.GetHeight());
    if (width <= 0 || height <= 0)
        return {};
    Win32Bitmap out(width, height);
    if (out.Empty())
        return {};
    Gdiplus::BitmapData data{};
    data.Width = static_cast<UINT>(width);
    data.Height = static_cast<UINT>(height);
    data.Stride = width * 4;
    data.PixelFormat = PixelFormat32bppARGB;
    data.Scan0 = out.Pixels();
    Gdiplus::Rect all(0, 0, width, height);
    // The caller's buffer receives the pixels in the requested format: the
    // decoder's own, straight alpha. They are premultiplied here: GDI+
    // converts pixel by pixel through a generic path, tens of milliseconds
    // for the background under Wine.
    if (source.LockBits(&all, Gdiplus::ImageLockModeRead | Gdiplus::ImageLockModeUserInputBuf,
                        PixelFormat32bppARGB, &data) != Gdiplus::Ok)
        return {};
    source.UnlockBits(&data);
    std::uint32_t* pixels = out.Pixels();
    for (std::size_t i = 0, n = static_cast<std::size_t>(width) * static_cast<std::size_t>(height); i < n; ++i) {
        const std::uint32_t p = pixels[i];
        const std::uint32_t a = p >> 24;
        if (a == 255)
            continue;
        auto times = [a](std::uint32_t c) { return (c * a + 127) / 255; };
        pixels[i] = (a << 24) | (times((p >> 16) & 0xFF) << 16) | (times((p >> 8) & 0xFF) << 8) | times(p & 0xFF);
    }
    return out;
}

std::vector<std::uint8_t> Property(Gdiplus::Bitmap& bitmap, PROPID id)
{
    const UINT size = bitmap.GetPropertyItemSize(id);
    if (size == 0)
        return {};
    std::vector<std::uint8_t> buffer(size);
    auto* item = reinterpret_cast<Gdiplus::PropertyItem*>(buffer.data());
    if (bitmap.GetPropertyItem(id, size, item) != Gdiplus::Ok || !item->value)
        return {};
    const auto* value = static_cast<const std::uint8_t*>(item->value);
    return std::vector<std::uint8_t>(value, value + item->length);
}

}  // namespace

Win32Bitmap::Win32Bitmap(int width, int height)
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    m_bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!m_bitmap)
        return;
    m_pixels = static_cast<std::uint32_t*>(bits);
    m_width = width;
    m_height = height;
    std::memset(m_pixels, 0, static_cast<std::size_t>(width) * height * 4);
}

Win32Bitmap::~Win32Bitmap()
{
    if (m_bitmap)
        DeleteObject(m_bitmap);
}

Win32Bitmap::Win32Bitmap(Win32Bitmap&& other) noexcept { *this = std::move(other); }

Win32Bitmap& Win32Bitmap::operator=(Win32Bitmap&& other) noexcept
{
    if (this != &other) {
        if (m_bitmap)
            DeleteObject(m_bitmap);
        m_bitmap = std::exchange(other.m_bitmap, nullptr);
        m_pixels = std::exchange(other.m_pixels, nullptr);
        m_width = std::exchange(other.m_width, 0);
        m_height = std::exchange(other.m_height, 0);
    }
    return *this;
}

namespace {

// The part of a w x h picture at (x, y) that the device context can show:
// painting a small control's background then copies only what it needs.
bool VisiblePart(HDC dc, int x, int y, int w, int h, RECT* part)
{
    const RECT whole{x, y, x + w, y + h};
    RECT clip{};
    const int kind = GetClipBox(dc, &clip);
    if (kind == NULLREGION)
        return false;
    if (kind == ERROR) {
        *part = whole;
        return true;
    }
    return IntersectRect(part, &whole, &clip) != FALSE;
}

}  // namespace

void Win32Bitmap::DrawBlended(HDC dc, int x, int y) const
{
    RECT part{};
    if (!m_bitmap || !VisiblePart(dc, x, y, m_width, m_height, &part))
        return;
    HDC mem = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(mem, m_bitmap);
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    AlphaBlend(dc, part.left, part.top, part.right - part.left, part.bottom - part.top, mem, part.left - x,
               part.top - y, part.right - part.left, part.bottom - part.top, blend);
    SelectObject(mem, old);
    DeleteDC(mem);
}

void Win32Bitmap::DrawOpaque(HDC dc, int x, int y) const
{
    RECT part{};
    if (!m_bitmap || !VisiblePart(dc, x, y, m_width, m_height, &part))
        return;
    HDC mem = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(mem, m_bitmap);
    BitBlt(dc, part.left, part.top, part.right - part.left, part.bottom - part.top, mem, part.left - x,
           part.top - y, SRCCOPY);
    SelectObject(mem, old);
    DeleteDC(mem);
}

Win32Bitmap DecodePicture(const std::vector<std::uint8_t>& bytes)
{
    StreamPtr stream = MemoryStream(bytes);
    if (!stream)
        return {};
    Gdiplus::Bitmap bitmap(stream.get());
    if (bitmap.GetLastStatus() != Gdiplus::Ok)
        return {};
    return CopyFrame(bitmap);
}

TDecodedAnimation DecodeAnimation(const std::vector<std::uint8_t>& bytes)
{
    TDecodedAnimation animation;
    StreamPtr stream = MemoryStream(bytes);
    if (!stream)
        return animation;
    Gdiplus::Bitmap bitmap(stream.get());
    if (bitmap.GetLastStatus() != Gdiplus::Ok)
        return animation;
    GUID dimension = Gdiplus::FrameDimensionTime;
    UINT frames = bitmap.GetFrameCount(&dimension);
    if (frames == 0)
        frames = 1;  // a still picture: one frame, no time dimension

    // PropertyTagFrameDelay: one 32-bit delay a frame, in hundredths.
    const std::vector<std::uint8_t> delays = Property(bitmap, PropertyTagFrameDelay);
    const std::vector<std::uint8_t> loop = Property(bitmap, PropertyTagLoopCount);
    if (loop.size() >= 2)
        animation.LoopCount = loop[0] | (loop[1] << 8);

    for (UINT i = 0; i < frames; ++i) {
        if (frames > 1 && bitmap.SelectActiveFrame(&dimension, i) != Gdiplus::Ok)
            break;
        Win32Bitmap frame = CopyFrame(bitmap);
        if (frame.Empty())
            break;
        animation.Frames.push_back(std::move(frame));
        if (delays.size() >= 4 * (i + 1)) {
            std::int32_t delay = 0;
            std::memcpy(&delay, delays.data() + 4 * i, 4);
            animation.Delays.push_back(delay);
        } else {
            animation.Delays.push_back(std::nullopt);
        }
    }
    return animation;
}

Win32MaskedBitmap::Win32MaskedBitmap(const Win32Bitmap& picture, COLORREF transparent)
{
    if (picture.Empty())
        return;
    m_width = picture.Width();
    m_height = picture.Height();
    const std::uint32_t key = (std::uint32_t(GetRValue(transparent)) << 16) |
                              (std::uint32_t(GetGValue(transparent)) << 8) | GetBValue(transparent);

    Win32Bitmap image(m_width, m_height);
    // Monochrome rows are padded to 16 bits; 1 bits are white.
    const int maskStride = ((m_width + 15) / 16) * 2;
    std::vector<std::uint8_t> maskBits(static_cast<std::size_t>(maskStride) * m_height, 0);
    for (int y = 0; y < m_height; ++y) {
        for (int x = 0; x < m_width; ++x) {
            const std::uint32_t p = picture.Pixel(x, y);
            const std::size_t at = static_cast<std::size_t>(y) * m_width + x;
            if ((p & 0x00FFFFFF) == key) {
                image.Pixels()[at] = 0;
                maskBits[static_cast<std::size_t>(y) * maskStride + x / 8] |= std::uint8_t(0x80 >> (x % 8));
            } else {
                image.Pixels()[at] = p | 0xFF000000;
            }
        }
    }
    m_mask = CreateBitmap(m_width, m_height, 1, 1, maskBits.data());
    m_image = std::move(image);
}

Win32MaskedBitmap::~Win32MaskedBitmap() { Release(); }

void Win32MaskedBitmap::Release()
{
    if (m_mask)
        DeleteObject(m_mask);
    m_mask = nullptr;
    m_image = Win32Bitmap();
}

Win32MaskedBitmap::Win32MaskedBitmap(Win32MaskedBitmap&& other) noexcept { *this = std::move(other); }

Win32MaskedBitmap& Win32MaskedBitmap::operator=(Win32MaskedBitmap&& other) noexcept
{
    if (this != &other) {
        Release();
        m_image = std::move(other.m_image);
        m_mask = std::exchange(other.m_mask, nullptr);
        m_width = std::exchange(other.m_width, 0);
        m_height = std::exchange(other.m_height, 0);
    }
    return *this;
}

void Win32MaskedBitmap::Draw(HDC dc, int x, int y) const
{
    if (m_image.Empty() || !m_mask)
        return;
    HDC mem = CreateCompatibleDC(dc);
    // Monochrome to colour: 0 bits take the text colour, 1 bits the
    // background colour. Black where drawn, unchanged where left out...
    const COLORREF oldBk = SetBkColor(dc, RGB(255, 255, 255));
    const COLORREF oldText = SetTextColor(dc, RGB(0, 0, 0));
    HGDIOBJ old = SelectObject(mem, m_mask);
    BitBlt(dc, x, y, m_width, m_height, mem, 0, 0, SRCAND);
    // ...then the picture, black where left out, ORed in.
    SelectObject(mem, m_image.Handle());
    BitBlt(dc, x, y, m_width, m_height, mem, 0, 0, SRCPAINT);
    SelectObject(mem, old);
    SetBkColor(dc, oldBk);
    SetTextColor(dc, oldText);
    DeleteDC(mem);
}

void Win32MaskedBitmap::DrawEmbossed(HDC dc, int x, int y) const
{
    if (m_image.Empty())
        return;
    DrawStateW(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(m_image.Handle()), 0, x, y, m_width, m_height,
               DST_BITMAP | DSS_DISABLED);
}

namespace {

// The darkness of a sample drawn black on white in font.
long long SampleInk(HFONT font)
{
    static constexpr wchar_t kSample[] = L"HIlmno";
    constexpr int kLength = 6;
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ oldFont = SelectObject(dc, font);
    SIZE extent{};
    GetTextExtentPoint32W(dc, kSample, kLength, &extent);
    const int width = std::clamp(static_cast<int>(extent.cx) + 8, 8, 4096);
    const int height = std::clamp(static_cast<int>(extent.cy) + 8, 8, 4096);
    long long ink = 0;
    {
        Win32Bitmap canvas(width, height);
        if (!canvas.Empty()) {
            std::fill(canvas.Pixels(), canvas.Pixels() + static_cast<std::size_t>(width) * height, 0x00FFFFFFu);
            HGDIOBJ oldBitmap = SelectObject(dc, canvas.Handle());
            SetBkMode(dc, TRANSPARENT);
            SetTextColor(dc, RGB(0, 0, 0));
            TextOutW(dc, 4, 4, kSample, kLength);
            GdiFlush();
            for (std::size_t i = 0; i < static_cast<std::size_t>(width) * height; ++i)
                ink += 255 - static_cast<int>(canvas.Pixels()[i] & 0xFF);
            SelectObject(dc, oldBitmap);
        }
    }
    SelectObject(dc, oldFont);
    DeleteDC(dc);
    return ink;
}

}  // namespace

namespace {

// The ascent and descent of the embedded bitmap strike of a TrueType font
// for one size, from its EBLC table (an 8-byte header, then one 48-byte
// record per strike: its horizontal line metrics at 16 and 17, its sizes
// in pixels per em at 44 and 45). False when there is no such strike.
bool StrikeMetrics(HDC dc, int pixelsPerEm, int* ascent, int* descent)
{
    constexpr DWORD kEblc = 0x434C4245;  // "EBLC", as GDI spells table tags
    constexpr DWORD kHeader = 8, kRecord = 48, kMaxStrikes = 256;
    std::uint8_t header[kHeader];
    if (GetFontData(dc, kEblc, 0, header, kHeader) != kHeader)
        return false;
    const DWORD count = (DWORD{header[4]} << 24) | (DWORD{header[5]} << 16) | (DWORD{header[6]} << 8) | header[7];
    std::vector<std::uint8_t> records(std::min(count, kMaxStrikes) * kRecord);
    if (records.empty()
        || GetFontData(dc, kEblc, kHeader, records.data(), static_cast<DWORD>(records.size())) != records.size())
        return false;
    for (std::size_t at = 0; at < records.size(); at += kRecord) {
        const std::uint8_t* r = records.data() + at;
        const int up = static_cast<std::int8_t>(r[16]);
        const int down = -static_cast<std::int8_t>(r[17]);
        if (r[44] == pixelsPerEm && r[45] == pixelsPerEm && up > 0 && down >= 0) {
            *ascent = up;
            *descent = down;
            return true;
        }
    }
    return false;
}

}  // namespace

TextLine FontLine(HFONT font)
{
    TextLine line;
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    TEXTMETRICW tm{};
    if (GetTextMetricsW(dc, &tm)) {
        line.ascent = tm.tmAscent;
        line.descent = tm.tmDescent;
        StrikeMetrics(dc, tm.tmHeight - tm.tmInternalLeading, &line.ascent, &line.descent);
    }
    SelectObject(dc, old);
    DeleteDC(dc);
    return line;
}

int OverstrikeCount(HFONT font)
{
    LOGFONTW lf{};
    if (!font || !GetObjectW(font, sizeof lf, &lf) || lf.lfWeight < FW_SEMIBOLD)
        return 1;
    // Used on the UI thread only, like the fonts themselves.
    static std::map<std::tuple<std::u16string, LONG, LONG, BYTE>, int> decided;
    std::u16string face;
    for (const wchar_t* c = lf.lfFaceName; *c && face.size() < LF_FACESIZE; ++c)
        face += static_cast<char16_t>(*c >= L'A' && *c <= L'Z' ? *c - L'A' + L'a' : *c);
    const auto key = std::make_tuple(face, lf.lfHeight, lf.lfWeight, lf.lfItalic);
    if (auto it = decided.find(key); it != decided.end())
        return it->second;
    LOGFONTW regular = lf;
    regular.lfWeight = FW_NORMAL;
    regular.lfUnderline = FALSE;
    regular.lfStrikeOut = FALSE;
    LOGFONTW bold = regular;
    bold.lfWeight = lf.lfWeight;
    HFONT regularFont = CreateFontIndirectW(&regular);
    HFONT boldFont = CreateFontIndirectW(&bold);
    int count = 1;
    if (regularFont && boldFont) {
        const long long light = SampleInk(regularFont);
        const long long heavy = SampleInk(boldFont);
        // A bold face drawn as designed carries about half again the ink of
        // its regular one; well short of that, it reads as regular.
        if (light > 0 && heavy * 10 < light * 14)
            count = 2;
    }
    if (regularFont)
        DeleteObject(regularFont);
    if (boldFont)
        DeleteObject(boldFont);
    decided.emplace(key, count);
    return count;
}

HFONT WindowFont(const TFontDesc& font)
{
    static std::map<std::tuple<std::u16string, int, bool>, HFONT> fonts;
    const auto key = std::make_tuple(font.face, font.pixels, font.bold);
    auto it = fonts.find(key);
    if (it != fonts.end())
        return it->second;
    // A negative height asks for the character height in pixels (11 px is
    // 8 pt at 96 dpi).
    HFONT handle = CreateFontW(-font.pixels, 0, 0, 0, font.bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                               DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                               DEFAULT_PITCH | FF_DONTCARE, reinterpret_cast<const wchar_t*>(font.face.c_str()));
    fonts.emplace(key, handle);
    return handle;
}

HFONT DefaultWindowFont() { return WindowFont(TFontDesc{u"Tahoma", 11, false}); }

}  // namespace quelvo::frontend::win32
