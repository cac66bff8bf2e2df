#pragma once

// The filter edit box.

#include "frontend/win32/Win32Control.h"
#include "frontend/win32/Win32Gdi.h"

#include <memory>
#include <string>

namespace quelvo::frontend::win32 {

// The filter box: a native EDIT inside a flat one-pixel frame.
class Win32EditBox : public Win32Control<TEditBox> {
public:
    Win32EditBox(Win32Node* parent, std::string name, TRect bounds);
    ~Win32EditBox() override;

    std::u16string Text() const override;
    void SetText(const std::u16string& text) override;
    HWND EditHandle() const;
    // Pixels between the frame and the text on the left and on the right.
    static constexpr int kTextMargin = 3;

    void PaintSelf(HDC dc) override;

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    class Field;
    std::unique_ptr<Field> m_field;
};

}  // namespace quelvo::frontend::win32
