#pragma once

// A transparent label whose text is markup (its lines joined with one
// space), drawn by the markup engine over whatever lies behind it. Links
// show the hand; a press fires OnAnchorClick, then web and mail targets open
// with the desktop.

#include "frontend/Controls.h"
#include "frontend/win32/Win32Control.h"

#include <functional>
#include <string>
#include <vector>

namespace quelvo::frontend::win32 {

class Win32MarkupLabel : public Win32Control<TMarkupLabel> {
public:
    Win32MarkupLabel(Win32Node* parent, std::string name, TRect bounds, const markup::FontSpec& font,
                     std::function<void(const std::u16string&)> openDesktop);

    void ClearText() override;
    void AddText(const std::u16string& line) override;
    std::vector<std::u16string> TextLines() const override { return m_lines; }

    markup::Rgb URLColor{0, 0, 255};

    // The link target under a client point (empty when none).
    std::u16string AnchorAt(POINT pos) const;

    void PaintSelf(HDC dc) override;

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    std::u16string Joined() const;
    void Changed();

    std::vector<std::u16string> m_lines;
    markup::FontSpec m_font;
    std::function<void(const std::u16string&)> m_openDesktop;
};

}  // namespace quelvo::frontend::win32
