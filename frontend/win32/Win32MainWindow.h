#pragma once

// The main window of the Win32 front end.

#include "frontend/win32/Win32Control.h"

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

namespace quelvo::frontend::win32 {

// The top-level window: WS_POPUP without frame, its own taskbar button,
// pixels in the key colour see-through (a layered window with a colour key).
class Win32MainWindow : public Win32Control<TMainWindow> {
public:
    Win32MainWindow(const std::string& name, int width, int height, TColor keyColour);
    ~Win32MainWindow() override;

    std::u16string Caption() const override;
    void SetCaption(const std::u16string& caption) override;
    void Show() override;
    void Close() override;
    void Minimize() override;
    bool Minimized() const override;
    void Restore() override;
    void StartMove() override;

    bool Closed() const { return m_closed; }
    TColor KeyColour() const { return m_key; }

    // Takes over a control made under this window.
    template<class T>
    T* Own(std::unique_ptr<T> control)
    {
        T* raw = control.get();
        m_controls.push_back(std::move(control));
        return raw;
    }

    // Tab and Shift+Tab move the focus along the window's tab order; true
    // when the message was such a key and is handled.
    bool HandleDialogKey(const MSG& msg);

    void PaintSelf(HDC dc) override;

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    TColor m_key;
    bool m_shown = false;
    bool m_closed = false;
    HWND m_lastFocus = nullptr;
    std::vector<std::unique_ptr<TObject>> m_controls;
};

// Whether the busy cursor is on (every window of the front end shows it).
bool BusyCursorOn();
void SetBusyCursorOn(bool on);

}  // namespace quelvo::frontend::win32
