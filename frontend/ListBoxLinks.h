#pragma once

// The link logic of the markup list box, free of any toolkit: which link lies
// under a point, what a press on it does, and the enter/exit bookkeeping of
// pointer moves. Each front end's list control supplies its items' geometry
// and text and carries out the decisions (events, cursor, desktop opener).
//
// The link under the pointer at the moment of the press is the one that
// counts: a front end finds it before its list control makes the item
// current, since that may scroll another item under the pointer.

#include "markup/engine/RenderMarkup.h"
#include "markup/engine/Surface.h"

#include <string>
#include <string_view>

namespace quelvo::frontend {

// What the link logic needs of a list control, in its client coordinates.
class ListBoxItems {
public:
    virtual ~ListBoxItems() = default;
    virtual int Count() const = 0;
    // The item under the point as the list control reports it (-1 for none;
    // an index not below Count() also counts as none).
    virtual int ItemAtPoint(markup::Point point) const = 0;
    // The item's whole rectangle, as laid out on the screen now.
    virtual markup::Rect ItemRect(int index) const = 0;
    virtual std::u16string_view ItemText(int index) const = 0;
};

// The engine inputs a list box draws its items with.
struct ListBoxLinkStyle {
    markup::FontSpec font;
    markup::Rgb urlColour{0, 0, 255};
    bool wordWrap = true;  // the negation of the list's Ellipsis
    const markup::PictureSource* pictures = nullptr;
};

// A link found at a point: the item under the point (-1 for none) and the
// link target as written in the markup (empty when not over a link).
struct ListBoxLink {
    int index = -1;
    std::u16string target;
    bool OverLink() const { return !target.empty(); }
    friend bool operator==(const ListBoxLink&, const ListBoxLink&) = default;
};

// The link at a point: the item the list control reports there, then the
// engine in locate mode over the item rectangle itself (not the drawing's
// 2-pixel inset), line spacing 0.
ListBoxLink FindListBoxLink(markup::Surface& metrics, const ListBoxItems& items, const ListBoxLinkStyle& style,
                            markup::Point point);

// What a press does with the link found at the pointer (any mouse button).
enum class ListBoxPress {
    MouseDown,        // no link: an ordinary mouse-down of the control
    OpenWithDesktop,  // a desktop target (LinkTargets.h): the desktop opens
                      // link.target if it is an openable address; no event fires
    AnchorClick,      // OnAnchorClick(Sender, link.index, link.target)
};
ListBoxPress DecideListBoxPress(const ListBoxLink& link);

// What a pointer move asks of the front end, to be carried out in this
// order: restore the saved cursor, fire OnAnchorExit(exitIndex, exitTarget),
// save the cursor and show the hand, fire OnAnchorEnter(link).
struct ListBoxMove {
    bool restoreCursor = false;
    bool fireExit = false;
    int exitIndex = -1;  // the item under the pointer now, not the left link's
    std::u16string exitTarget;
    bool showHand = false;
    bool fireEnter = false;
    friend bool operator==(const ListBoxMove&, const ListBoxMove&) = default;
};

// The remembered last link under the pointer (FOldAnchor). Links are told
// apart by their target text alone.
class ListBoxLinkTracker {
public:
    // link: found at the new pointer position; handShown: whether the hand
    // cursor shows now. Updates FOldAnchor.
    ListBoxMove Move(const ListBoxLink& link, bool handShown);

    const std::u16string& FOldAnchor() const { return oldAnchor_; }
    void Reset() { oldAnchor_.clear(); }

private:
    std::u16string oldAnchor_;
};

}  // namespace quelvo::frontend
