#pragma once

// The bitmap button of the Win32 front end: its window hands mouse, key,
// focus and enable messages to the shared button behaviour
// (frontend/ButtonBehaviour.h) and paints the picture it names over what
// lies behind, with the transparent colour left out.

#include "frontend/ButtonBehaviour.h"
#include "frontend/win32/Win32Control.h"
#include "frontend/win32/Win32Gdi.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace quelvo::frontend::win32 {

class Win32BitmapButton : public Win32Control<TBitmapButton> {
public:
    struct CreateArgs {
        Win32Node* parent = nullptr;
        std::string name;
        int left = 0;
        int top = 0;
        // Picture files (BMP or PNG bytes); the button takes the Up
        // picture's size. Hot and Down show the hot picture, and so does
        // Disabled when hotAsDisabled.
        std::vector<std::uint8_t> up;
        std::vector<std::uint8_t> hot;
        bool hotAsDisabled = false;
    };
    explicit Win32BitmapButton(const CreateArgs& args);

    void Click() override;
    TButtonPicture CurrentPicture() const override { return m_core.CurrentPicture(); }

    TButtonState State() const { return m_core.State(); }
    bool Tracking() const { return m_core.Tracking(); }
    bool MouseOver() const { return m_core.MouseOver(); }

    // Fires first on every mouse-button press.
    TMouseEvent OnMouseDown;

    void PaintSelf(HDC dc) override;

    // Size of a button without an Up picture.
    static constexpr int kDefaultWidth = 80;
    static constexpr int kDefaultHeight = 30;

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    // What the shared behaviour asks of the button's window.
    class Host : public TControlHost {
    public:
        explicit Host(Win32BitmapButton& button) : m_button(button) {}
        void Repaint() override;
        void CaptureMouse() override { SetCapture(m_button.Handle()); }
        void ReleaseMouse() override;
        bool HasFocus() const override { return m_button.Handle() && GetFocus() == m_button.Handle(); }
        void TakeFocus() override { SetFocus(m_button.Handle()); }
        bool IsVisible() const override { return IsWindowVisible(m_button.Handle()) != FALSE; }
        int Width() const override;
        int Height() const override;
        // No window of this front end is a modal dialog: nothing takes it.

    private:
        Win32BitmapButton& m_button;
    };

    std::array<Win32MaskedBitmap, kBmpSlotCount> m_pictures;
    bool m_mouseInside = false;  // a leave notice is asked for
    Host m_host{*this};
    TButtonBehaviour m_core{m_host};
};

}  // namespace quelvo::frontend::win32
