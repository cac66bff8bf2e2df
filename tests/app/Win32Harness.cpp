// The form's tests on the Win32 front end, run under Wine.

#include "FormHarness.h"

#include "app/Unit_Form_QLV_GUI.h"
#include "frontend/win32/Win32Control.h"
#include "frontend/win32/Win32FrontEnd.h"
#include "frontend/win32/markup/Win32MarkupLabel.h"

#include <windows.h>

#include <cstdio>

#include <gtest/gtest.h>

namespace quelvo::app::test {

namespace {

HWND HandleOf(frontend::TControl* control)
{
    auto* node = dynamic_cast<frontend::win32::Win32Node*>(control);
    return node ? node->Handle() : nullptr;
}

void PumpOnce()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

void SendButton(frontend::TControl* control, int x, int y, frontend::TMouseButton button, bool down, bool twice)
{
    HWND hwnd = HandleOf(control);
    if (!hwnd)
        return;
    UINT message = 0;
    WPARAM keys = 0;
    switch (button) {
    case frontend::TMouseButton::mbRight:
        message = down ? (twice ? WM_RBUTTONDBLCLK : WM_RBUTTONDOWN) : WM_RBUTTONUP;
        keys = down ? MK_RBUTTON : 0;
        break;
    case frontend::TMouseButton::mbMiddle:
        message = down ? (twice ? WM_MBUTTONDBLCLK : WM_MBUTTONDOWN) : WM_MBUTTONUP;
        keys = down ? MK_MBUTTON : 0;
        break;
    default:
        message = down ? (twice ? WM_LBUTTONDBLCLK : WM_LBUTTONDOWN) : WM_LBUTTONUP;
        keys = down ? MK_LBUTTON : 0;
        break;
    }
    SendMessageW(hwnd, message, keys, MAKELPARAM(x, y));
}

class Win32Harness : public FormHarness {
public:
    frontend::TFrontEnd& FrontEnd() override { return m_frontEnd; }

    bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) override
    {
        const auto end = std::chrono::steady_clock::now() + timeout;
        while (!done()) {
            if (std::chrono::steady_clock::now() > end)
                return done();
            PumpOnce();
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
        }
        return true;
    }

    void Wait(std::chrono::milliseconds time) override
    {
        const auto end = std::chrono::steady_clock::now() + time;
        WaitUntil([&] { return std::chrono::steady_clock::now() >= end; }, time + std::chrono::milliseconds(50));
    }

    bool ShowAndWait(TForm_QLVO_GUI& form) override
    {
        form.Show();
        return WaitUntil([&] { return form.Window()->Showing(); }, std::chrono::seconds(5));
    }

    void Press(frontend::TControl* control, int x, int y, frontend::TMouseButton button) override
    {
        SendButton(control, x, y, button, true, false);
    }
    void Release(frontend::TControl* control, int x, int y, frontend::TMouseButton button) override
    {
        SendButton(control, x, y, button, false, false);
    }
    void DoublePress(frontend::TControl* control, int x, int y) override
    {
        SendButton(control, x, y, frontend::TMouseButton::mbLeft, true, true);
    }
    bool SaveWindowImage(TForm_QLVO_GUI& form, const std::string& pathWithoutExtension) override
    {
        HWND hwnd = HandleOf(form.Window());
        PumpOnce();
        RECT r{};
        GetClientRect(hwnd, &r);
        HDC window = GetDC(hwnd);
        HDC memory = CreateCompatibleDC(window);
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = r.right;
        info.bmiHeader.biHeight = r.bottom;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 24;
        void* bits = nullptr;
        HBITMAP bitmap = CreateDIBSection(window, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        HGDIOBJ old = SelectObject(memory, bitmap);
        // What the screen shows of the window, children included.
        BitBlt(memory, 0, 0, r.right, r.bottom, window, 0, 0, SRCCOPY);
        GdiFlush();
        SelectObject(memory, old);
        const DWORD stride = ((r.right * 3 + 3) / 4) * 4;
        const DWORD size = stride * r.bottom;
        BITMAPFILEHEADER file{};
        file.bfType = 0x4D42;
        file.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
        file.bfSize = file.bfOffBits + size;
        bool ok = false;
        if (FILE* out = std::fopen((pathWithoutExtension + ".bmp").c_str(), "wb")) {
            ok = std::fwrite(&file, sizeof file, 1, out) == 1 &&
                 std::fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, out) == 1 &&
                 std::fwrite(bits, 1, size, out) == size;
            std::fclose(out);
        }
        DeleteObject(bitmap);
        DeleteDC(memory);
        ReleaseDC(hwnd, window);
        return ok;
    }
    std::u16string LabelAnchorAt(frontend::TMarkupLabel* label, int x, int y) override
    {
        if (auto* native = dynamic_cast<frontend::win32::Win32MarkupLabel*>(label))
            return native->AnchorAt(POINT{x, y});
        return {};
    }

private:
    frontend::win32::Win32FrontEnd m_frontEnd;
};

Win32Harness* g_harness = nullptr;

}  // namespace

FormHarness& Harness() { return *g_harness; }

}  // namespace quelvo::app::test

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    quelvo::app::test::Win32Harness harness;
    quelvo::app::test::g_harness = &harness;
    const int result = RUN_ALL_TESTS();
    quelvo::app::test::g_harness = nullptr;
    return result;
}
