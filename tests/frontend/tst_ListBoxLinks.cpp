#include "frontend/ListBoxLinks.h"
#include "tests/markup/engine/FakeSurface.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quelvo::frontend {
namespace {

using markup::FontSpec;
using markup::Point;
using markup::Rect;
using markup::Rgb;
using markup::testing::FakePictures;
using markup::testing::FakeSurface;

constexpr int kRow = 32;

// A list control of fixed 32-pixel rows, scrolled to a top index, that shows
// `visible` pixels: the last row may be partly shown.
class FakeList : public ListBoxItems {
public:
    std::vector<std::u16string> rows;
    int top = 0;
    int visible = 286;
    int width = 544;

    int Count() const override { return static_cast<int>(rows.size()); }
    int ItemAtPoint(Point p) const override
    {
        if (p.x < 0 || p.x >= width || p.y < 0 || p.y >= visible)
            return -1;
        const int index = top + p.y / kRow;
        return index < Count() ? index : -1;
    }
    Rect ItemRect(int index) const override
    {
        const int y = (index - top) * kRow;
        return Rect{0, y, width, y + kRow};
    }
    std::u16string_view ItemText(int index) const override { return rows[static_cast<std::size_t>(index)]; }
};

// A list control that reports an index past its items (as a native list may).
class OverreachingList : public FakeList {
public:
    int ItemAtPoint(Point) const override { return Count(); }
};

std::u16string CheckBoxRow(const std::u16string& ext)
{
    return u"<BODY bgcolor=\"#e4eef9\"><ind=\"25\"><IMG src=\"idxs.0\" align=\"middle\"><A href=\"check " + ext
        + u"\"><IMG src=\"idxs.1\" align=\"middle\"></A><font size=\"10\" face=\"Arial\">" + ext
        + u"</font><ind=\"400\"><A href=\"" + ext + u"\">Application Required</A><HR COLOR=\"clWhite\">";
}

class ListBoxLinksTest : public ::testing::Test {
protected:
    ListBoxLink At(const FakeList& list, Point p) { return FindListBoxLink(surface, list, style, p); }

    FakeSurface surface;
    FakePictures pictures = FakePictures::ReportPictures();
    ListBoxLinkStyle style{FontSpec{u"Tahoma", 8, false, false, {}}, Rgb{0, 0, 255}, true, &pictures};
};

TEST_F(ListBoxLinksTest, shouldFindTheLinkOfTheItemUnderThePointOverTheUninsetItemRectangle)
{
    FakeList list;
    for (const char16_t* ext : {u".a", u".b", u".c", u".d", u".e", u".f", u".g", u".h", u".i"})
        list.rows.push_back(CheckBoxRow(ext));
    // The check box lies 55..85 right of the item's left edge; hit strictly inside.
    EXPECT_EQ(At(list, {56, 2 * kRow + 1}), (ListBoxLink{2, u"check .c"}));
    EXPECT_EQ(At(list, {55, 2 * kRow + 15}), (ListBoxLink{2, u""}));
    EXPECT_EQ(At(list, {84, 2 * kRow + 29}), (ListBoxLink{2, u"check .c"}));
    EXPECT_EQ(At(list, {85, 2 * kRow + 15}), (ListBoxLink{2, u""}));
    // The partly shown ninth row, and a scrolled list.
    EXPECT_EQ(At(list, {70, 8 * kRow + 15}), (ListBoxLink{8, u"check .i"}));
    list.top = 1;
    EXPECT_EQ(At(list, {70, 7 * kRow + 15}), (ListBoxLink{8, u"check .i"}));
    // Below the last item, and an index the control gives past the items.
    EXPECT_EQ(At(list, {70, 8 * kRow + 15}), (ListBoxLink{}));
    OverreachingList over;
    over.rows = list.rows;
    EXPECT_EQ(At(over, {70, 15}), (ListBoxLink{}));
}

TEST_F(ListBoxLinksTest, shouldSendOnlyNonAddressLinksToTheClickEvent)
{
    struct Case {
        std::u16string target;
        ListBoxPress press;
    };
    for (const Case& c : {
             Case{u"", ListBoxPress::MouseDown},
             Case{u"check .mp3", ListBoxPress::AnchorClick},
             Case{u".mp3", ListBoxPress::AnchorClick},
             Case{u"check http", ListBoxPress::AnchorClick},
             Case{u"http://example.org/x", ListBoxPress::OpenWithDesktop},
             Case{u"mailto:a@example.org", ListBoxPress::OpenWithDesktop},
             // A key name may carry these: the desktop side refuses to open it.
             Case{u".x file://C:/Windows/notepad.exe", ListBoxPress::OpenWithDesktop},
             Case{u"check .ymailto:z", ListBoxPress::OpenWithDesktop},
         }) {
        EXPECT_EQ(DecideListBoxPress(ListBoxLink{3, c.target}), c.press) << std::string(c.target.begin(), c.target.end());
    }
}

TEST_F(ListBoxLinksTest, shouldFireEnterAndExitOnlyWhenTheTargetChanges)
{
    ListBoxLinkTracker tracker;
    ListBoxMove expected;

    // Onto a link: the hand shows and the link is entered.
    expected = {};
    expected.showHand = true;
    expected.fireEnter = true;
    EXPECT_EQ(tracker.Move({0, u".abc"}, false), expected);
    EXPECT_EQ(tracker.FOldAnchor(), u".abc");

    // The same target on the next row: nothing at all.
    EXPECT_EQ(tracker.Move({1, u".abc"}, true), ListBoxMove{});

    // Another target: exit (with the row under the pointer now), then enter.
    expected = {};
    expected.fireExit = true;
    expected.exitIndex = 2;
    expected.exitTarget = u".abc";
    expected.fireEnter = true;
    EXPECT_EQ(tracker.Move({2, u".xyz"}, true), expected);

    // Off every link: the cursor returns and the link is left once.
    expected = {};
    expected.restoreCursor = true;
    expected.fireExit = true;
    expected.exitIndex = -1;
    expected.exitTarget = u".xyz";
    EXPECT_EQ(tracker.Move({-1, u""}, true), expected);
    EXPECT_EQ(tracker.FOldAnchor(), u"");
    EXPECT_EQ(tracker.Move({-1, u""}, false), ListBoxMove{});

    // A hand that another party took away: the link is kept until it shows again.
    tracker.Move({0, u".abc"}, false);
    EXPECT_EQ(tracker.Move({0, u""}, false), ListBoxMove{});
    EXPECT_EQ(tracker.FOldAnchor(), u".abc");
}

}  // namespace
}  // namespace quelvo::frontend
