#include "frontend/win32/Win32VersionPane.h"

#include "frontend/win32/Win32Helpers.h"
#include "platform/win32/VersionInfo.h"

namespace quelvo::frontend::win32 {

namespace {
const wchar_t kVersionPaneClass[] = L"QuelvoVersionPane";
}  // namespace

namespace {

std::u16string OwnFileVersion()
{
    return platform::Field(platform::ReadOwnVersionStrings(), platform::VersionField::FileVersion);
}

int TextWidth(HFONT font, const std::u16string& text)
{
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    SIZE size{};
    GetTextExtentPoint32W(dc, W(text), static_cast<int>(text.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return size.cx;
}

}  // namespace

Win32VersionPane::Win32VersionPane(Win32Node* parent, std::string name, TRect bounds,
                                   const std::u16string& fieldLabel, TColor labelColour)
    : Win32VersionPane(parent, std::move(name), bounds, fieldLabel, labelColour, OwnFileVersion())
{
}

Win32VersionPane::Win32VersionPane(Win32Node* parent, std::string name, TRect bounds,
                                   const std::u16string& fieldLabel, TColor labelColour, const std::u16string& value)
    : Win32Control(std::move(name)), m_label(fieldLabel), m_value(value), m_labelColour(labelColour)
{
    RegisterNodeClass(kVersionPaneClass);
    CreateNode(parent, kVersionPaneClass, WS_VISIBLE, 0, ToRect(bounds));
}

int Win32VersionPane::ValueLeft() const { return TextWidth(DefaultWindowFont(), m_label) + 2 * TextOffset(); }

void Win32VersionPane::PaintSelf(HDC dc)
{
    const SIZE size = ClientSize(Handle());
    const bool enabled = IsWindowEnabled(Handle()) != FALSE;
    const COLORREF grey = kGrayText;
    HGDIOBJ oldFont = SelectObject(dc, DefaultWindowFont());
    const int oldMode = SetBkMode(dc, TRANSPARENT);
    const UINT flags = DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX;

    const int labelWidth = ValueLeft() - 2 * TextOffset();
    RECT label{LabelLeft(), 0, LabelLeft() + labelWidth, size.cy};
    SetTextColor(dc, enabled ? ToColorRef(m_labelColour) : grey);
    DrawTextW(dc, W(m_label), static_cast<int>(m_label.size()), &label, flags);

    // The value keeps the pane's text offset inside its own part.
    RECT value{ValueLeft() + TextOffset(), 0, size.cx, size.cy};
    SetTextColor(dc, enabled ? GetSysColor(COLOR_WINDOWTEXT) : grey);
    DrawTextW(dc, W(m_value), static_cast<int>(m_value.size()), &value, flags);

    SetBkMode(dc, oldMode);
    SelectObject(dc, oldFont);
}

}  // namespace quelvo::frontend::win32
