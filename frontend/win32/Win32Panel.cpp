#include "frontend/win32/Win32Panel.h"

#include "frontend/win32/Win32Helpers.h"

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
    // At its own size in pixels, whatever resolution the file names: its
    // pixels as decoded (drawing them through GDI+ resampled every one).
    m_cache = DecodePicture(m_fill);
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
