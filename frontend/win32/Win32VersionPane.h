#pragma once

// The About page's version pane.

#include "frontend/win32/Win32Control.h"
#include "frontend/win32/Win32Gdi.h"

#include <string>

namespace quelvo::frontend::win32 {

// The version pane: a field label, then the executable's file version.
class Win32VersionPane : public Win32Control<TVersionPane> {
public:
    Win32VersionPane(Win32Node* parent, std::string name, TRect bounds, const std::u16string& fieldLabel,
                     TColor labelColour);
    // As above with the value given (tests).
    Win32VersionPane(Win32Node* parent, std::string name, TRect bounds, const std::u16string& fieldLabel,
                     TColor labelColour, const std::u16string& value);

    std::u16string FieldLabel() const override { return m_label; }
    std::u16string Value() const override { return m_value; }
    int TextOffset() const { return 2; }
    int LabelLeft() const { return 1 + TextOffset(); }
    // Left edge of the value's part: the label's width plus twice the offset.
    int ValueLeft() const;

    void PaintSelf(HDC dc) override;

private:
    std::u16string m_label;
    std::u16string m_value;
    TColor m_labelColour;
};

}  // namespace quelvo::frontend::win32
