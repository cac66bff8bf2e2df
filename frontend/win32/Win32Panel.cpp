#include "frontend/win32/Win32Panel.h"

#include "frontend/win32/Win32Helpers.h"

#include <gdiplus.h>
#include <shlwapi.h>
#include <windowsx.h>

namespace quelvo::frontend::win32 {

namespace {
const wchar_t kPanelClass[] = L"QuelvoPanel";
}  // namespace

Win32Panel::Win32Panel(Win32Node* parent, std::string name, TRect bounds, const std::vector<std::uint8_t>& fillBytes)
    : Win32Control(std::move(name)), m_fill(fillBytes)
{
    RegisterNodeClass(kPanelClass);
    CreateNode(parent, kPanelClass, WS_VISIBLE | WS_CLIPCHILDREN, 0, ToRect(bounds));
}

void Win32Panel::BuildCache()
{
    const SIZE size = ClientSize(Handle());
    m_cache = Win32Bitmap();
    m_cacheValid = true;
    if (m_fill.empty() || size.cx <= 0 || size.cy <= 0)
        return;
    ++m_cacheBuilds;
    m_cache = Win32Bitmap(size.cx, size.cy);
    IStream* stream = SHCreateMemStream(m_fill.data(), static_cast<UINT>(m_fill.size()));
    if (!stream || m_cache.Empty()) {
        if (stream)
            stream->Release();
        return;
    }
    {
        Gdiplus::Bitmap fill(stream);
        // GDI+ draws straight into the cache's pixels.
        Gdiplus::Bitmap target(size.cx, size.cy, size.cx * 4, PixelFormat32bppPARGB,
                               reinterpret_cast<BYTE*>(m_cache.Pixels()));
        Gdiplus::Graphics g(&target);
        g.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
        g.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBicubic);
        g.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
        if (fill.GetLastStatus() == Gdiplus::Ok) {
            // At its own size in pixels, whatever resolution the file names.
            const Gdiplus::Rect at(0, 0, static_cast<INT>(fill.GetWidth()), static_cast<INT>(fill.GetHeight()));
            g.DrawImage(&fill, at);
        }
    }
    stream->Release();
}

void Win32Panel::PaintSelf(HDC dc)
{
    if (m_fill.empty())
        return;  // a plain container: transparent
    if (!m_cacheValid)
        BuildCache();
    m_cache.DrawBlended(dc, 0, 0);
}

LRESULT Win32Panel::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    TMouseButton button{};
    if (MouseDownMessage(message, wParam, &button)) {
        if (OnMouseDown)
            OnMouseDown(this, button, ShiftFromKeys(wParam), GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        return 0;
    }
    if (message == WM_SIZE)
        m_cacheValid = false;
    return Win32Node::HandleMessage(message, wParam, lParam);
}

}  // namespace quelvo::frontend::win32
