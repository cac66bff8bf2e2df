#include "tests/support/Win32Canvas.h"

#include "frontend/Services.h"
#include "frontend/win32/markup/Desktop.h"
#include "frontend/win32/markup/Win32MarkupLabel.h"

#include <gtest/gtest.h>

#include <memory>

using namespace quelvo::frontend;
using namespace quelvo::frontend::win32;
using namespace quelvo::frontend::win32::test;

namespace {

const quelvo::markup::FontSpec kLabelFont{u"Tahoma", 8, false, false, {0, 0, 0}};

class Win32MarkupLabelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_host = &SharedHost();
        // The front end's opener, up to the shell.
        SetShellOpener([this](const std::u16string& t) { m_log.push_back(u"open " + t); });
        m_label = std::make_unique<Win32MarkupLabel>(m_host, "HLB_QLVO_CopyRightInfo", TRect{10, 10, 300, 60},
                                                     kLabelFont, [](const std::u16string& t) { OpenWithDesktop(t); });
        m_label->OnAnchorClick = [this](TObject* sender, const std::u16string& anchor) {
            EXPECT_EQ(sender, static_cast<TObject*>(m_label.get()));
            m_log.push_back(u"event " + anchor);
        };
        Pump();
    }
    void TearDown() override
    {
        SetShellOpener({});
        m_label.reset();
    }

    // A point on the link with this target: scanned along the first line.
    POINT LinkPoint(const std::u16string& target)
    {
        for (int y = 2; y < 30; ++y)
            for (int x = 0; x < 300; ++x)
                if (m_label->AnchorAt(POINT{x, y}) == target)
                    return POINT{x, y};
        ADD_FAILURE() << "no link";
        return POINT{-1, -1};
    }

    void Press(POINT at, UINT message = WM_LBUTTONDOWN)
    {
        SendMessageW(m_label->Handle(), message, 0, MAKELPARAM(at.x, at.y));
    }

    HostWindow* m_host = nullptr;
    std::unique_ptr<Win32MarkupLabel> m_label;
    std::vector<std::u16string> m_log;
};

}  // namespace

TEST_F(Win32MarkupLabelTest, shouldFireTheEventThenOpenWebAndMailLinks)
{
    m_label->AddText(u"Quelvo 1.0 <A href=\"http://www.quelvo.example/\">home</A>");
    m_label->AddText(u"<A href=\"about\">about</A> <A href=\"mailto:help@quelvo.example\">mail</A>"
                     u" <A href=\"x file://C:/evil\">crafted</A>");
    const POINT web = LinkPoint(u"http://www.quelvo.example/");
    const POINT plain = LinkPoint(u"about");
    const POINT mail = LinkPoint(u"mailto:help@quelvo.example");
    const POINT crafted = LinkPoint(u"x file://C:/evil");

    for (UINT message : {WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_MBUTTONDOWN, WM_LBUTTONDBLCLK}) {
        m_log.clear();
        Press(web, message);
        EXPECT_EQ(m_log, (std::vector<std::u16string>{u"event http://www.quelvo.example/",
                                                       u"open http://www.quelvo.example/"}))
            << message;
    }
    m_log.clear();
    Press(plain);
    Press(mail);
    Press(crafted);
    Press(POINT{web.x, 45});  // below the text
    EXPECT_EQ(m_log, (std::vector<std::u16string>{u"event about", u"event mailto:help@quelvo.example",
                                                   u"open mailto:help@quelvo.example", u"event x file://C:/evil"}));

    // Without an event the desktop still opens it.
    m_label->OnAnchorClick = nullptr;
    m_log.clear();
    Press(web);
    EXPECT_EQ(m_log, (std::vector<std::u16string>{u"open http://www.quelvo.example/"}));
}

TEST_F(Win32MarkupLabelTest, shouldDrawItsJoinedLinesOverWhatLiesBehindIt)
{
    m_label->AddText(u"<A href=\"a\">one</A>");
    m_label->AddText(u"<A href=\"b\">two</A>");
    EXPECT_EQ(m_label->TextLines(), (std::vector<std::u16string>{u"<A href=\"a\">one</A>", u"<A href=\"b\">two</A>"}));
    // Joined with a space: both links on one line.
    const POINT a = LinkPoint(u"a");
    const POINT b = LinkPoint(u"b");
    EXPECT_EQ(a.y, b.y);
    EXPECT_LT(a.x, b.x);

    InvalidateRect(m_label->Handle(), nullptr, FALSE);
    UpdateWindow(m_label->Handle());
    HDC dc = GetDC(m_label->Handle());
    const COLORREF corner = GetPixel(dc, 299, 59);
    bool blue = false;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 80; ++x)
            blue = blue || GetPixel(dc, x, y) == RGB(0, 0, 255);
    ReleaseDC(m_label->Handle(), dc);
    EXPECT_EQ(corner, m_host->Colour());  // transparent
    EXPECT_TRUE(blue);                     // links in the link colour

    m_label->ClearText();
    EXPECT_TRUE(m_label->TextLines().empty());
    EXPECT_EQ(m_label->AnchorAt(a), u"");
}

TEST_F(Win32MarkupLabelTest, shouldShowTheHandOverLinksAndTheArrowElsewhere)
{
    m_label->AddText(u"Quelvo <A href=\"http://www.quelvo.example/\">home</A>");
    const POINT link = LinkPoint(u"http://www.quelvo.example/");
    const auto cursorAt = [this](POINT p) {
        ClientToScreen(m_label->Handle(), &p);
        SetCursorPos(p.x, p.y);
        SendMessageW(m_label->Handle(), WM_SETCURSOR, reinterpret_cast<WPARAM>(m_label->Handle()),
                     MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        return GetCursor();
    };
    EXPECT_EQ(cursorAt(link), LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_HAND)));
    EXPECT_EQ(cursorAt(POINT{2, 40}), LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW)));
}
