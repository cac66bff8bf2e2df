#include "frontend/win32/Win32EditBox.h"

#include "frontend/win32/Win32Helpers.h"

#include <algorithm>

namespace quelvo::frontend::win32 {

namespace {
const wchar_t kEditFrameClass[] = L"QuelvoEditFrame";
}  // namespace

// The native EDIT inside the frame: white, in the window font.
class Win32EditBox::Field : public Win32Node {
public:
    Field(Win32Node* frame, HWND edit) { AttachNode(frame, edit); }

protected:
    bool HandleReflected(UINT message, WPARAM wParam, LPARAM, LRESULT* result) override
    {
        if (message != WM_CTLCOLOREDIT)
            return false;
        HDC dc = reinterpret_cast<HDC>(wParam);
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        SetBkColor(dc, RGB(255, 255, 255));
        *result = reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
        return true;
    }
};

namespace {

// How far the field's text reaches above its baseline, as the field draws it.
int FieldAscent()
{
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, DefaultWindowFont());
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    SelectObject(dc, old);
    DeleteDC(dc);
    return tm.tmAscent;
}

}  // namespace

Win32EditBox::Win32EditBox(Win32Node* parent, std::string name, TRect bounds) : Win32Control(std::move(name))
{
    RegisterNodeClass(kEditFrameClass, CS_DBLCLKS, LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_IBEAM)));
    CreateNode(parent, kEditFrameClass, WS_VISIBLE | WS_TABSTOP | WS_CLIPCHILDREN, 0, ToRect(bounds));
    // The frame takes one pixel on every side. The text's line is centred
    // inside it, as the Linux build centres it; the field, which draws its
    // text at its top, starts where that puts the text.
    const TextLine line = FontLine(DefaultWindowFont());
    const int inside = std::max(0, bounds.height - 2);
    const int fieldTop = std::clamp(1 + (inside - line.Height()) / 2 + line.ascent - FieldAscent(), 1, 1 + inside);
    HWND edit = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | ES_LEFT | ES_AUTOHSCROLL, 1, fieldTop,
                                std::max(0, bounds.width - 2), 1 + inside - fieldTop, Handle(),
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(1)), GetModuleHandleW(nullptr), nullptr);
    if (!edit)
        return;
    SendMessageW(edit, WM_SETFONT, reinterpret_cast<WPARAM>(DefaultWindowFont()), FALSE);
    // Three pixels between the frame and the text on either side, as the
    // Linux build leaves them.
    SendMessageW(edit, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELONG(kTextMargin, kTextMargin));
    m_field = std::make_unique<Field>(this, edit);
}

Win32EditBox::~Win32EditBox() = default;

HWND Win32EditBox::EditHandle() const { return m_field ? m_field->Handle() : nullptr; }

std::u16string Win32EditBox::Text() const
{
    HWND edit = EditHandle();
    if (!edit)
        return {};
    const int length = GetWindowTextLengthW(edit);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int got = GetWindowTextW(edit, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(std::max(0, got)));
    return U16(text.c_str()).substr(0, text.size());
}

void Win32EditBox::SetText(const std::u16string& text)
{
    if (HWND edit = EditHandle())
        SetWindowTextW(edit, W(text));
}

void Win32EditBox::PaintSelf(HDC dc)
{
    const SIZE size = ClientSize(Handle());
    RECT all{0, 0, size.cx, size.cy};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    // A flat frame of one pixel in the button-shadow colour.
    HBRUSH frame = CreateSolidBrush(kBtnShadow);
    FrameRect(dc, &all, frame);
    DeleteObject(frame);
}

LRESULT Win32EditBox::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_SETFOCUS) {
        if (HWND edit = EditHandle())
            SetFocus(edit);
        return 0;
    }
    if (message == WM_LBUTTONDOWN) {
        // The frame's own pixel: the box takes the focus all the same.
        if (HWND edit = EditHandle())
            SetFocus(edit);
        return 0;
    }
    return Win32Node::HandleMessage(message, wParam, lParam);
}

}  // namespace quelvo::frontend::win32
