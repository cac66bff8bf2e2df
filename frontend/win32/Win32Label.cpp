#include "frontend/win32/Win32Label.h"

#include "frontend/win32/Win32Helpers.h"

namespace quelvo::frontend::win32 {

namespace {
const wchar_t kLabelClass[] = L"QuelvoLabel";
}  // namespace

Win32Label::Win32Label(Win32Node* parent, std::string name, TRect bounds, const std::u16string& caption,
                       const TFontDesc& font, TColor colour, bool wordWrap)
    : Win32Control(std::move(name)), m_caption(caption), m_font(WindowFont(font)), m_colour(colour),
      m_wordWrap(wordWrap)
{
    RegisterNodeClass(kLabelClass);
    CreateNode(parent, kLabelClass, WS_VISIBLE, 0, ToRect(bounds));
}

void Win32Label::SetCaption(const std::u16string& caption)
{
    if (caption == m_caption)
        return;
    m_caption = caption;
    Repaint(Handle());
}

void Win32Label::PaintSelf(HDC dc)
{
    const SIZE size = ClientSize(Handle());
    RECT box{0, 0, size.cx, size.cy};
    HGDIOBJ oldFont = SelectObject(dc, m_font);
    const int oldMode = SetBkMode(dc, TRANSPARENT);
    const COLORREF oldColour = SetTextColor(dc, ToColorRef(m_colour));
    for (int strike = 0; strike < OverstrikeCount(m_font); ++strike) {
        RECT at = box;
        OffsetRect(&at, strike, 0);
        DrawTextW(dc, W(m_caption), static_cast<int>(m_caption.size()), &at,
                  DT_LEFT | DT_TOP | DT_NOPREFIX | (m_wordWrap ? DT_WORDBREAK : DT_SINGLELINE));
    }
    SetTextColor(dc, oldColour);
    SetBkMode(dc, oldMode);
    SelectObject(dc, oldFont);
}

}  // namespace quelvo::frontend::win32
