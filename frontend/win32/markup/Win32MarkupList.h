#pragma once

// The report list on Windows: a native owner-drawn LISTBOX of fixed-height
// items whose every item is one markup string drawn by the markup engine.
// The native list scrolls (scroll bar, wheel, keys) by whole items; drawing
// is ours, and link finding, presses and pointer moves follow the shared
// list box link logic (frontend/ListBoxLinks.h).

#include "frontend/Controls.h"
#include "frontend/ListBoxLinks.h"
#include "frontend/win32/Win32Control.h"

#include <functional>
#include <string>
#include <vector>

namespace quelvo::frontend::win32 {

class Win32MarkupList : public Win32Control<TMarkupListBox> {
public:
    Win32MarkupList(Win32Node* parent, std::string name, TRect bounds, const markup::FontSpec& font, int itemHeight,
                    const markup::PictureSource* pictures);

    void Clear() override;
    void Add(const std::u16string& row) override;
    int Count() const override { return static_cast<int>(m_items.size()); }
    std::u16string Item(int index) const override;
    void SetItem(int index, const std::u16string& row) override;
    void BeginUpdate() override;
    void EndUpdate() override;
    ~Win32MarkupList() override;

    // Pointer entered or left a link (item under the pointer, link target).
    TListAnchorClick OnAnchorEnter;
    TListAnchorClick OnAnchorExit;
    // Where desktop targets go (OpenWithDesktop, which opens only openable
    // addresses, by default).
    std::function<void(const std::u16string&)> OpenDesktop;

    bool AutoFocus = true;
    markup::Rgb Color{255, 255, 255};
    markup::Rgb URLColor{0, 0, 255};

    int ItemHeight() const { return m_itemHeight; }
    int TopIndex() const;
    void SetTopIndex(int index);
    // In client coordinates; empty when the item is not in view.
    RECT ItemRect(int index) const;
    // The item under a client point, or -1.
    int ItemAtPos(POINT pos) const;
    // The text of item i (empty when out of range), without a copy.
    std::u16string_view ItemView(int index) const;
    // The link under a client point (empty when none), and the item index.
    std::u16string AnchorAt(POINT pos, int* index = nullptr) const;

    // Last link target under the pointer, and the cursor shown before the hand.
    const std::u16string& FOldAnchor() const { return m_links.FOldAnchor(); }
    HCURSOR FOldCursor() const { return m_oldCursor; }

    // Paints the items that meet area (client coordinates) into dc, and the
    // list's colour below the last one: what WM_PAINT shows.
    void PaintArea(HDC dc, const RECT& area) const;

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    bool HandleReflected(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

private:
    ListBoxLink LinkAt(POINT pos) const;
    LRESULT Press(UINT message, WPARAM wParam, LPARAM lParam);
    void PointerMoved(POINT pos);
    void ScrollIntoView(int index);
    void Paint();
    void RenderItem(HDC dc, int index, const RECT& rect) const;

    std::vector<std::u16string> m_items;
    markup::FontSpec m_font;
    int m_itemHeight;
    const markup::PictureSource* m_pictures;
    int m_updateCount = 0;
    bool m_tracking = false;
    bool m_overLink = false;
    ListBoxLinkTracker m_links;
    HCURSOR m_oldCursor = nullptr;
    HBRUSH m_brush = nullptr;  // the native list's own background, in Color
    markup::Rgb m_brushColour;
};

}  // namespace quelvo::frontend::win32
