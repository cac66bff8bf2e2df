#include "tests/support/Win32Canvas.h"

#include "frontend/Services.h"
#include "frontend/win32/markup/GdiSurface.h"
#include "frontend/win32/markup/Win32MarkupList.h"
#include "report/Unit_QLV_ReportRows.h"

#include <gtest/gtest.h>

#include <memory>

using namespace quelvo::frontend;
using namespace quelvo::frontend::win32;
using namespace quelvo::frontend::win32::test;
namespace rows = quelvo::report::rows;

namespace {

constexpr int kRow = 32;
const quelvo::markup::FontSpec kListFont{u"Tahoma", 8, false, false, {0, 0, 0}};

struct Fired {
    int index;
    std::u16string anchor;
    friend bool operator==(const Fired&, const Fired&) = default;
    friend std::ostream& operator<<(std::ostream& out, const Fired& f)
    {
        return out << "(" << f.index << ", " << std::string(f.anchor.begin(), f.anchor.end()) << ")";
    }
};

std::u16string Ticked(std::u16string row)
{
    row.replace(row.find(u"idxs.1"), 6, u"idxs.2");
    return row;
}

std::u16string Ext(int i) { return u".e" + std::u16string(1, static_cast<char16_t>(u'a' + i)); }

struct Button {
    const char* name;
    UINT down, up;
    WPARAM keys;
};
const Button kButtons[] = {{"left", WM_LBUTTONDOWN, WM_LBUTTONUP, MK_LBUTTON},
                           {"right", WM_RBUTTONDOWN, WM_RBUTTONUP, MK_RBUTTON},
                           {"middle", WM_MBUTTONDOWN, WM_MBUTTONUP, MK_MBUTTON}};

class Win32MarkupListTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        LoadRowPictures(m_pictures);
        m_host = &SharedHost();
        m_list = std::make_unique<Win32MarkupList>(m_host, "HLB_QLVO_InvailExeName", TRect{10, 10, 544, 286},
                                                   kListFont, kRow, &m_pictures);
        m_list->OnAnchorClick = [this](TObject* sender, int index, const std::u16string& anchor) {
            EXPECT_EQ(sender, static_cast<TObject*>(m_list.get()));
            m_clicks.push_back({index, anchor});
        };
        m_list->OnAnchorEnter = [this](TObject*, int index, const std::u16string& anchor) {
            m_enters.push_back({index, anchor});
        };
        m_list->OnAnchorExit = [this](TObject*, int index, const std::u16string& anchor) {
            m_exits.push_back({index, anchor});
        };
        // The list's own opener, up to the shell.
        SetShellOpener([this](const std::u16string& target) { m_opened.push_back(target); });
        Pump();
    }

    void TearDown() override
    {
        SetShellOpener({});
        m_list.reset();
    }

    HWND List() const { return m_list->Handle(); }

    void Press(int x, int y, const Button& button = kButtons[0])
    {
        SendMessageW(List(), button.down, button.keys, MAKELPARAM(x, y));
        SendMessageW(List(), button.up, 0, MAKELPARAM(x, y));
    }

    void MoveTo(int x, int y) { SendMessageW(List(), WM_MOUSEMOVE, 0, MAKELPARAM(x, y)); }

    void AddCheckRows(int count)
    {
        for (int i = 0; i < count; ++i)
            m_list->Add(rows::CheckItem(Ext(i)));
    }

    // What the list paints, through its own painting.
    std::unique_ptr<DibCanvas> Printed()
    {
        RECT client{};
        GetClientRect(List(), &client);
        auto canvas = std::make_unique<DibCanvas>(client.right, client.bottom);
        SendMessageW(List(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(canvas->Dc()), PRF_CLIENT);
        return canvas;
    }

    std::uint32_t OnScreen(int x, int y)
    {
        HDC dc = GetDC(List());
        const COLORREF c = GetPixel(dc, x, y);
        ReleaseDC(List(), dc);
        return Rgb(GetRValue(c), GetGValue(c), GetBValue(c));
    }

    const Win32Picture& Picture(std::u16string_view name)
    {
        return *dynamic_cast<const Win32Picture*>(m_pictures.FindPicture(name));
    }

    Win32PictureContainer m_pictures;
    HostWindow* m_host = nullptr;
    std::unique_ptr<Win32MarkupList> m_list;
    std::vector<Fired> m_clicks, m_enters, m_exits;
    std::vector<std::u16string> m_opened;
};

}  // namespace

TEST_F(Win32MarkupListTest, shouldFireTheCheckBoxLinkForEveryMouseButtonWithinItsHitBand)
{
    m_list->Add(std::u16string(rows::kAfterRepairNeedsApplicationHeader));
    m_list->Add(rows::GroupRow(u"Audio"));
    m_list->Add(rows::CheckItem(u".mp3"));
    for (const Button& button : kButtons) {
        m_clicks.clear();
        Press(70, 2 * kRow + 15, button);
        EXPECT_EQ(m_clicks, (std::vector<Fired>{{2, u"check .mp3"}})) << button.name;
    }
    // The picture is laid out at 55 in the row, hit strictly inside.
    struct Probe {
        int x, y;
        bool hit;
    };
    for (const Probe& p : {Probe{56, 1, true}, Probe{84, 29, true}, Probe{55, 15, false}, Probe{85, 15, false},
                           Probe{70, 0, false}, Probe{70, 30, false}, Probe{150, 15, false}}) {
        m_clicks.clear();
        Press(p.x, 2 * kRow + p.y);
        EXPECT_EQ(m_clicks.size(), p.hit ? 1u : 0u) << p.x << "," << p.y;
    }
    EXPECT_TRUE(m_opened.empty());
}

TEST_F(Win32MarkupListTest, shouldActOnTheHalfShownNinthRowForEveryMouseButton)
{
    AddCheckRows(12);
    for (const Button& button : kButtons) {
        m_list->SetTopIndex(0);
        m_clicks.clear();
        // The ninth row shows its top 30 pixels.
        Press(70, 8 * kRow + 15, button);
        EXPECT_EQ(m_clicks, (std::vector<Fired>{{8, u"check " + Ext(8)}})) << button.name;
        // The left button makes the row current, which scrolls it into view.
        EXPECT_EQ(m_list->TopIndex(), button.down == WM_LBUTTONDOWN ? 1 : 0) << button.name;
    }
    // The status link of a scrolled list names the row it is on.
    m_list->SetTopIndex(3);
    m_clicks.clear();
    Press(410, kRow + 15);
    EXPECT_EQ(m_clicks, (std::vector<Fired>{{4, Ext(4)}}));
}

TEST_F(Win32MarkupListTest, shouldLetTheMouseGoAfterALinkPress)
{
    AddCheckRows(20);
    // The event opens a modal box; the pointer then moves below the list.
    m_list->OnAnchorClick = [this](TObject*, int index, const std::u16string& anchor) {
        m_clicks.push_back({index, anchor});
        EXPECT_NE(GetCapture(), List());
        SendMessageW(List(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(70, 400));
        Pump();
    };
    SendMessageW(List(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(70, 15));
    EXPECT_EQ(m_clicks, (std::vector<Fired>{{0, u"check " + Ext(0)}}));
    EXPECT_EQ(m_list->TopIndex(), 0);
    EXPECT_NE(GetCapture(), List());
    SendMessageW(List(), WM_LBUTTONUP, 0, MAKELPARAM(70, 15));
}

TEST_F(Win32MarkupListTest, shouldFireTwiceForADoubleClick)
{
    m_list->Add(rows::CheckItem(u".doc"));
    const LPARAM at = MAKELPARAM(70, 15);
    SendMessageW(List(), WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(List(), WM_LBUTTONUP, 0, at);
    SendMessageW(List(), WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    SendMessageW(List(), WM_LBUTTONUP, 0, at);
    EXPECT_EQ(m_clicks, (std::vector<Fired>{{0, u"check .doc"}, {0, u"check .doc"}}));
}

TEST_F(Win32MarkupListTest, shouldOpenOnlyWholeWebAndMailAddressesAndFireForTheRest)
{
    m_list->Add(u"<A href=\"http://example.org/x\">web</A>");
    m_list->Add(u"<A href=\"mailto:a@example.org\">mail</A>");
    m_list->Add(u"<A href=\"check http\">other</A>");
    // Registry key names can carry "://": such rows neither fire nor open.
    m_list->Add(u"<A href=\".x file://C:/Windows/notepad.exe\">crafted</A>");
    m_list->Add(u"<A href=\".y://z\">crafted</A>");
    m_list->Add(std::u16string(rows::kProblemsHeader));
    for (int row = 0; row < 6; ++row)
        for (int x : {5, 60, 200})
            Press(x, row * kRow + 6);
    Press(70, 6 * kRow + 15);  // below the last row
    EXPECT_EQ(m_opened, (std::vector<std::u16string>{u"http://example.org/x", u"mailto:a@example.org"}));
    EXPECT_EQ(m_clicks, (std::vector<Fired>{{2, u"check http"}}));
}

TEST_F(Win32MarkupListTest, shouldPaintReportRowsWithBackgroundsPicturesAndSeparators)
{
    m_list->Add(std::u16string(rows::kAfterRepairNeedsApplicationHeader));
    m_list->Add(rows::GroupRow(u"Audio"));
    m_list->Add(rows::CheckItem(u".mp3"));
    const auto image = Printed();
    const std::uint32_t white = Rgb(255, 255, 255), group = Rgb(0xD6, 0xE7, 0xF9), entry = Rgb(0xE4, 0xEE, 0xF9);

    EXPECT_EQ(image->Pixel(300, 5), white);  // headings have no BODY
    EXPECT_EQ(image->Pixel(2, 0), Picture(u"ListBoxItem_RAA.bmp").Pixel(0, 0));
    EXPECT_EQ(image->Pixel(2 + 29, 29), Picture(u"ListBoxItem_RAA.bmp").Pixel(29, 29));
    EXPECT_EQ(image->Pixel(1, 5), white);

    EXPECT_EQ(image->Pixel(300, kRow + 5), group);
    EXPECT_EQ(image->Pixel(0, kRow + 5), group);  // BODY widened 2 px to the left
    EXPECT_EQ(image->Pixel(2 + 15 + 10, kRow + 10), Picture(u"ListBoxItem_FileTypeG.bmp").Pixel(10, 10));
    EXPECT_EQ(image->Pixel(300, kRow + 31), white);  // the separator on the row's last pixel row

    EXPECT_EQ(image->Pixel(300, 2 * kRow + 5), entry);
    EXPECT_EQ(image->Pixel(300, 2 * kRow + 30), entry);
    EXPECT_EQ(image->Pixel(300, 2 * kRow + 31), white);
    for (auto [x, y] : {std::pair{0, 0}, {29, 29}, {14, 15}}) {
        EXPECT_EQ(image->Pixel(2 + 25 + x, 2 * kRow + y), Picture(u"idxs.0").Pixel(x, y));
        EXPECT_EQ(image->Pixel(2 + 55 + x, 2 * kRow + y), Picture(u"idxs.1").Pixel(x, y));
    }
    EXPECT_EQ(image->Pixel(2 + 85, 2 * kRow + 3), entry);
    // The link and the extension are drawn in the row, not past it.
    RECT text{2 + 400, 2 * kRow, 540, 3 * kRow - 1};
    bool blue = false;
    for (int y = text.top; y < text.bottom; ++y)
        for (int x = text.left; x < text.right; ++x)
            blue = blue || image->Pixel(x, y) == Rgb(0, 0, 255);
    EXPECT_TRUE(blue);

    // Below the last row, the list's own colour.
    EXPECT_EQ(image->Pixel(300, 3 * kRow + 5), white);
    EXPECT_EQ(image->Pixel(300, 285), white);

    // The same through the owner's WM_DRAWITEM, clipped to nothing but the row.
    DibCanvas drawn(544, 100, RGB(255, 0, 255));
    DRAWITEMSTRUCT draw{};
    draw.CtlType = ODT_LISTBOX;
    draw.CtlID = static_cast<UINT>(GetDlgCtrlID(List()));
    draw.itemID = 1;
    draw.itemAction = ODA_DRAWENTIRE;
    draw.hwndItem = List();
    draw.hDC = drawn.Dc();
    draw.rcItem = RECT{0, kRow, 544, 2 * kRow};
    EXPECT_EQ(SendMessageW(m_host->Handle(), WM_DRAWITEM, draw.CtlID, reinterpret_cast<LPARAM>(&draw)), TRUE);
    EXPECT_EQ(drawn.Pixel(300, kRow + 5), group);
    EXPECT_EQ(drawn.Pixel(300, kRow + 31), white);
    EXPECT_EQ(drawn.Pixel(300, kRow - 1), Rgb(255, 0, 255));
    EXPECT_EQ(drawn.Pixel(300, 2 * kRow), Rgb(255, 0, 255));
}

TEST_F(Win32MarkupListTest, shouldRepaintAReplacedRowAtOnceWithoutScrolling)
{
    AddCheckRows(20);
    m_list->SetTopIndex(5);
    Press(200, 2 * kRow + 15);  // on no link: makes row 7 current
    Pump();
    // A pixel where the two check boxes differ.
    const Win32Picture& empty = Picture(u"idxs.1");
    const Win32Picture& ticked = Picture(u"idxs.2");
    int px = -1, py = -1;
    for (int y = 0; y < 30 && px < 0; ++y)
        for (int x = 0; x < 30 && px < 0; ++x)
            if (empty.Pixel(x, y) != ticked.Pixel(x, y))
                px = x, py = y;
    ASSERT_GE(px, 0);
    const int sx = 2 + 55 + px, sy = 2 * kRow + py;
    ASSERT_EQ(OnScreen(sx, sy), empty.Pixel(px, py));

    m_list->SetItem(7, Ticked(rows::CheckItem(Ext(7))));
    EXPECT_EQ(OnScreen(sx, sy), ticked.Pixel(px, py));  // before any message is handled
    EXPECT_EQ(m_list->TopIndex(), 5);
    EXPECT_EQ(m_list->Count(), 20);
    EXPECT_EQ(m_list->Item(7), Ticked(rows::CheckItem(Ext(7))));
    EXPECT_EQ(m_list->Item(6), rows::CheckItem(Ext(6)));
    const RECT r = m_list->ItemRect(7);
    EXPECT_EQ(r.top, 2 * kRow);
    EXPECT_EQ(r.bottom - r.top, kRow);
    EXPECT_EQ(m_list->Item(20), u"");
    m_list->SetItem(20, u"x");  // out of range: nothing
    m_list->SetItem(-1, u"x");
    EXPECT_EQ(m_list->Count(), 20);

    // Inside an update the row waits for the last EndUpdate.
    m_list->BeginUpdate();
    m_list->BeginUpdate();
    m_list->SetItem(7, rows::CheckItem(Ext(7)));
    m_list->EndUpdate();
    EXPECT_EQ(OnScreen(sx, sy), ticked.Pixel(px, py));
    m_list->EndUpdate();
    Pump();
    EXPECT_EQ(OnScreen(sx, sy), empty.Pixel(px, py));
    m_list->EndUpdate();  // one too many: harmless
    EXPECT_EQ(m_list->TopIndex(), 5);
}

TEST_F(Win32MarkupListTest, shouldShowTheScrollBarOnlyWhileRowsAreTallerThanTheList)
{
    const auto scrollBarShown = [this] { return (GetWindowLongW(List(), GWL_STYLE) & WS_VSCROLL) != 0; };
    AddCheckRows(8);
    Pump();
    EXPECT_FALSE(scrollBarShown());
    m_list->Add(rows::ValidItem(u".txt"));
    Pump();
    EXPECT_TRUE(scrollBarShown());
    const RECT ninth = m_list->ItemRect(8);
    EXPECT_EQ(ninth.top, 8 * kRow);
    EXPECT_EQ(m_list->ItemAtPos(POINT{100, 285}), 8);

    // The wheel scrolls by whole rows.
    for (int i = 9; i < 30; ++i)
        m_list->Add(rows::ValidItem(Ext(i)));
    POINT at{100, 100};
    ClientToScreen(List(), &at);
    SendMessageW(List(), WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA)), MAKELPARAM(at.x, at.y));
    const int top = m_list->TopIndex();
    EXPECT_GT(top, 0);
    EXPECT_EQ(m_list->ItemRect(top).top, 0);

    m_list->Clear();
    Pump();
    EXPECT_EQ(m_list->Count(), 0);
    EXPECT_FALSE(scrollBarShown());
    AddCheckRows(30);
    EXPECT_EQ(m_list->TopIndex(), 0);
}

// The report as it usually shows, more rows than fit and so a scroll bar:
// each status link lies whole on its row's one line, left of the bar.
TEST_F(Win32MarkupListTest, shouldKeepEveryStatusLinkWholeBesideTheScrollBar)
{
    const std::pair<std::u16string, std::u16string_view> links[] = {
        {rows::NeedsApplicationItem(u".avi"), u"New Application Required"},
        {rows::ProblemItem(u".bad"), u"Fix Registry Problem"},
        {rows::CheckItem(u".xyz"), u"Application Required"},
        {rows::ValidItem(u".txt"), u"No Problems"},
        {rows::RepairedItem(u".zip"), u"Fix success"},
    };
    for (const auto& link : links)
        m_list->Add(link.first);
    AddCheckRows(8);
    Pump();
    ASSERT_TRUE(GetWindowLongW(List(), GWL_STYLE) & WS_VSCROLL);
    RECT client{};
    GetClientRect(List(), &client);

    HDC dc = GetDC(List());
    for (int i = 0; i < static_cast<int>(std::size(links)); ++i) {
        const std::u16string_view text = links[i].second;
        SCOPED_TRACE(std::string(text.begin(), text.end()));
        int width = 0;
        {
            GdiSurface surface(dc);
            surface.SelectFont(quelvo::markup::FontSpec{u"Tahoma", 8, false, true, {0, 0, 255}});
            width = surface.MeasureText(text, false).width;
        }
        // Drawn from 2 + 400, located from 400 (the list's own offset).
        EXPECT_LE(2 + 400 + width, client.right);
        const std::u16string target = i == 2 ? u".xyz" : links[i].first.substr(links[i].first.find(u"href=\"") + 6, 4);
        EXPECT_EQ(m_list->AnchorAt(POINT{400 + width - 1, i * kRow + 16}), target);
    }
    ReleaseDC(List(), dc);
}

TEST_F(Win32MarkupListTest, shouldTrackTheLinkUnderThePointerWithTheHandCursor)
{
    m_list->Add(rows::CheckItem(u".abc"));
    m_list->Add(rows::CheckItem(u".abc"));
    m_list->Add(rows::CheckItem(u".xyz"));
    HCURSOR hand = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_HAND));
    HCURSOR arrow = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    SetCursor(arrow);

    MoveTo(410, 15);
    EXPECT_EQ(m_enters, (std::vector<Fired>{{0, u".abc"}}));
    EXPECT_EQ(m_list->FOldAnchor(), u".abc");
    EXPECT_EQ(GetCursor(), hand);
    EXPECT_EQ(m_list->FOldCursor(), arrow);
    SetCursor(arrow);
    EXPECT_EQ(SendMessageW(List(), WM_SETCURSOR, reinterpret_cast<WPARAM>(List()), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)),
              TRUE);
    EXPECT_EQ(GetCursor(), hand);

    // The same target on the next row: neither event.
    MoveTo(410, kRow + 15);
    EXPECT_EQ(m_enters.size(), 1u);
    EXPECT_TRUE(m_exits.empty());

    MoveTo(410, 2 * kRow + 15);
    EXPECT_EQ(m_exits, (std::vector<Fired>{{2, u".abc"}}));
    EXPECT_EQ(m_enters.back(), (Fired{2, u".xyz"}));
    MoveTo(70, 2 * kRow + 15);
    EXPECT_EQ(m_exits.back(), (Fired{2, u".xyz"}));
    EXPECT_EQ(m_enters.back(), (Fired{2, u"check .xyz"}));

    // Off every link, below the last row: the saved cursor returns.
    MoveTo(70, 4 * kRow);
    EXPECT_EQ(m_exits.back(), (Fired{-1, u"check .xyz"}));
    EXPECT_EQ(GetCursor(), arrow);
    EXPECT_TRUE(m_list->FOldAnchor().empty());
    MoveTo(60, 4 * kRow);
    EXPECT_EQ(m_exits.size(), 3u);
}

TEST_F(Win32MarkupListTest, shouldTakeTheFocusWhenThePointerEnters)
{
    m_list->Add(rows::CheckItem(u".abc"));
    SetFocus(m_host->Handle());
    ASSERT_EQ(GetFocus(), m_host->Handle());
    MoveTo(200, 10);
    EXPECT_EQ(GetFocus(), List());
}
