#pragma once

// The picture-painted panel and the plain container panel.

#include "frontend/win32/Win32Control.h"
#include "frontend/win32/Win32Gdi.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quelvo::frontend::win32 {

// A panel: painted from a fill picture with alpha (the background panel), or
// a plain transparent container. OnMouseDown fires for a press of any button
// on its own surface.
class Win32Panel : public Win32Control<TPanelControl> {
public:
    Win32Panel(Win32Node* parent, std::string name, TRect bounds, const std::vector<std::uint8_t>& fillBytes);

    void PaintSelf(HDC dc) override;
    // How often the cached picture was composed (once until the size changes).
    int CacheBuilds() const { return m_cacheBuilds; }

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void BuildCache();

    std::vector<std::uint8_t> m_fill;
    Win32Bitmap m_cache;
    bool m_cacheValid = false;
    int m_cacheBuilds = 0;
};

}  // namespace quelvo::frontend::win32
