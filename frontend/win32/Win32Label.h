#pragma once

// The transparent text label.

#include "frontend/win32/Win32Control.h"
#include "frontend/win32/Win32Gdi.h"

#include <string>

namespace quelvo::frontend::win32 {

// A transparent text label of fixed size; the text is clipped to it.
class Win32Label : public Win32Control<TTextLabel> {
public:
    Win32Label(Win32Node* parent, std::string name, TRect bounds, const std::u16string& caption, const TFontDesc& font,
               TColor colour, bool wordWrap);

    std::u16string Caption() const override { return m_caption; }
    void SetCaption(const std::u16string& caption) override;
    void PaintSelf(HDC dc) override;

private:
    std::u16string m_caption;
    HFONT m_font;
    TColor m_colour;
    bool m_wordWrap;
};

}  // namespace quelvo::frontend::win32
