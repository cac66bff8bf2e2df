#include "frontend/ListBoxLinks.h"

#include "frontend/LinkTargets.h"

#include <utility>

namespace quelvo::frontend {

ListBoxLink FindListBoxLink(markup::Surface& metrics, const ListBoxItems& items, const ListBoxLinkStyle& style,
                            markup::Point point)
{
    ListBoxLink link;
    const int item = items.ItemAtPoint(point);
    if (item < 0 || item >= items.Count())
        return link;
    link.index = item;
    const markup::MarkupResult found =
        markup::LocateMarkupLink(metrics, items.ItemText(item), items.ItemRect(item), style.font, style.urlColour,
                                 style.wordWrap, 0, style.pictures, point);
    if (found.overLink)
        link.target = found.linkTarget;
    return link;
}

ListBoxPress DecideListBoxPress(const ListBoxLink& link)
{
    if (!link.OverLink())
        return ListBoxPress::MouseDown;
    return IsDesktopTarget(link.target) ? ListBoxPress::OpenWithDesktop : ListBoxPress::AnchorClick;
}

ListBoxMove ListBoxLinkTracker::Move(const ListBoxLink& link, bool handShown)
{
    ListBoxMove move;
    if (link.OverLink()) {
        const bool changed = link.target != oldAnchor_;
        if (changed && !oldAnchor_.empty()) {
            move.fireExit = true;
            move.exitIndex = link.index;
            move.exitTarget = oldAnchor_;
        }
        move.showHand = !handShown;
        move.fireEnter = changed;
        oldAnchor_ = link.target;
    } else if (handShown && !oldAnchor_.empty()) {
        move.restoreCursor = true;
        move.fireExit = true;
        move.exitIndex = link.index;
        move.exitTarget = std::exchange(oldAnchor_, std::u16string());
    }
    return move;
}

}  // namespace quelvo::frontend
