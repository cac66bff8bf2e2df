#pragma once

// Shared set-up of the Win32 control tests: one front end for the process
// (GDI+ and OLE start once), a fresh shown main window per test, and input
// sent as real messages to the controls' windows.

#include "frontend/Services.h"
#include "frontend/win32/Win32Controls.h"
#include "frontend/win32/Win32FrontEnd.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <memory>

namespace quelvo::frontend::win32::test {

inline constexpr TColor kSky{166, 202, 240};

inline Win32FrontEnd& FrontEnd()
{
    static Win32FrontEnd frontEnd;
    return frontEnd;
}

inline HWND HandleOf(TControl* control) { return dynamic_cast<Win32Node*>(control)->Handle(); }

inline LPARAM At(int x, int y) { return MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y)); }

// Removes a quit message left by a closed window, so the next test's
// message processing runs.
inline void DrainQuit()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
}

class Win32Test : public ::testing::Test {
protected:
    void SetUp() override
    {
        DrainQuit();
        window = FrontEnd().CreateMainWindow("Form_QLVO_GUI", 740, 530, kSky);
        window->Show();
        Pump();
    }
    void TearDown() override
    {
        SetMessageBoxHandler({});
        SetShellOpener({});
        SetWindowMoveHandler({});
        FrontEnd().SetBusyCursor(false);
        window.reset();
        Pump();
        DrainQuit();
    }

    void Pump()
    {
        FrontEnd().ProcessMessages();
        DrainQuit();
    }
    // Paints everything pending now.
    void Paint()
    {
        Win32Node::PaintFrameNow();
        RedrawWindow(HandleOf(window.get()), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        Pump();
    }

    std::unique_ptr<TMainWindow> window;
};

// A 32-bit device context to paint into, filled with one colour.
class Canvas {
public:
    Canvas(int width, int height, COLORREF fill = RGB(255, 255, 255)) : m_bitmap(width, height)
    {
        m_dc = CreateCompatibleDC(nullptr);
        m_old = SelectObject(m_dc, m_bitmap.Handle());
        RECT all{0, 0, width, height};
        HBRUSH brush = CreateSolidBrush(fill);
        FillRect(m_dc, &all, brush);
        DeleteObject(brush);
    }
    ~Canvas()
    {
        SelectObject(m_dc, m_old);
        DeleteDC(m_dc);
    }
    HDC Dc() const { return m_dc; }
    // The pixel as RGB, whatever alpha GDI left in it.
    COLORREF Pixel(int x, int y) const
    {
        GdiFlush();
        const std::uint32_t p = m_bitmap.Pixel(x, y);
        return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }

private:
    Win32Bitmap m_bitmap;
    HDC m_dc = nullptr;
    HGDIOBJ m_old = nullptr;
};

inline std::string Rgb(COLORREF c)
{
    return std::to_string(GetRValue(c)) + "," + std::to_string(GetGValue(c)) + "," + std::to_string(GetBValue(c));
}

}  // namespace quelvo::frontend::win32::test
