// The report rows through the real markup engine: what a row draws, which
// pictures it places and which link targets a pointer can hit, for ordinary
// and for crafted names.

#include "markup/engine/RenderMarkup.h"
#include "platform/Text.h"
#include "report/Unit_QLV_ReportMarkup.h"
#include "report/Unit_QLV_ReportRows.h"

#include "MarkupReader.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <set>
#include <vector>

using namespace quelvo::markup;
using namespace quelvo::report;
using quelvo::platform::ToUtf8;

namespace {

// Every visible character 6 pixels wide, every font 13 pixels high.
class RecordingSurface : public Surface {
public:
    int Dpi() const override { return 96; }
    void SelectFont(const FontSpec& font) override { m_font = font; }
    const FontSpec& CurrentFont() const override { return m_font; }
    Size MeasureText(std::u16string_view text, bool mnemonics) const override
    {
        return {int(Visible(text, mnemonics).size()) * 6, 13};
    }
    int TextHeight() const override { return 13; }
    void DrawText(const Rect&, std::u16string_view text, bool mnemonics) override
    {
        drawn += Visible(text, mnemonics);
        if (!mnemonics)
            return;
        for (std::size_t i = 0; i + 1 < text.size(); ++i) {
            if (text[i] == u'&' && text[i + 1] != u'&')
                ++underlined;
            else if (text[i] == u'&')
                ++i;
        }
    }
    void FillRect(const Rect&, Rgb) override {}
    void DrawLine(int, int, int, int, Rgb) override {}
    void DrawPicture(const Picture&, int, int) override { ++pictures; }
    std::optional<Rgb> ThemeColour(std::u16string_view) const override { return std::nullopt; }

    std::u16string drawn;
    int underlined = 0;
    int pictures = 0;

private:
    static std::u16string Visible(std::u16string_view text, bool mnemonics)
    {
        std::u16string out;
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (mnemonics && text[i] == u'&' && ++i >= text.size())
                break;
            out.push_back(text[i]);
        }
        return out;
    }
    FontSpec m_font;
};

class Square : public Picture {
public:
    int Width() const override { return 30; }
    int Height() const override { return 30; }
};

// Every picture name the rows use, and any other a crafted name might try.
class AllPictures : public PictureSource {
public:
    const Picture* FindPicture(std::u16string_view) const override { return &m_square; }

private:
    Square m_square;
};

const Rect kItem{0, 0, 1600, 32};
const FontSpec kBase{u"Tahoma", 8, false, false, {}};

struct Rendered {
    std::u16string drawn;
    int underlined = 0;
    int pictures = 0;
    std::set<std::u16string> targets;
};

Rendered Render(std::u16string_view row)
{
    AllPictures pictures;
    RecordingSurface surface;
    DrawMarkup(surface, row, kItem, kBase, {0, 0, 255}, true, 0, &pictures);
    Rendered r{surface.drawn, surface.underlined, surface.pictures, {}};
    for (int y : {8, 20})
        for (int x = 1; x < kItem.right; x += 4) {
            MarkupResult hit = LocateMarkupLink(surface, row, kItem, kBase, {0, 0, 255}, true, 0, &pictures, {x, y});
            if (hit.overLink)
                r.targets.insert(hit.linkTarget);
        }
    return r;
}

const std::u16string kNames[] = {
    u".mp3",
    u".tar.gz",
    u".a<A href=\"http://evil.example/x\">click</A>",
    u".&quot;><IMG src=\"idxs.3\"><A href=\"mailto:x@y\">",
    u".&amp;lt;A href=&quot;http://e&quot;&amp;gt;",
    u".R&D & more",
    u".&&amp;&nbsp;&lt;&gt;",
    u".<BR><HR COLOR=\"clRed\"><BODY bgcolor=\"#ff0000\">",
    u".x\ry",
};


}  // namespace

TEST(ReportRowsRendered, shouldDrawItemRowNamesLiterallyAndLinkOnlyToTheirOwnTargets)
{
    struct Kind {
        std::function<std::u16string(std::u16string_view)> row;
        std::u16string linkText;
        int pictures;
        bool checkBox;
    } kinds[] = {
        {rows::ProblemItem, u"Fix Registry Problem", 1, false},
        {rows::NeedsApplicationItem, u"New Application Required", 1, false},
        {rows::ValidItem, u"No Problems", 1, false},
        {rows::RepairedItem, u"Fix success", 1, false},
        {rows::RepairFailedItem, u"Fix failed", 1, false},
        {rows::CheckItem, u"Application Required", 2, true},
    };
    for (const auto& kind : kinds) {
        for (const auto& name : kNames) {
            SCOPED_TRACE(ToUtf8(kind.linkText) + " row of " + ToUtf8(name));
            Rendered r = Render(kind.row(name));
            EXPECT_EQ(r.drawn, quelvo::test::ShownName(name) + kind.linkText);
            EXPECT_EQ(r.underlined, 0);
            EXPECT_EQ(r.pictures, kind.pictures);
            std::set<std::u16string> expected{EncodeLinkTarget(name)};
            if (kind.checkBox)
                expected.insert(u"check " + EncodeLinkTarget(name));
            EXPECT_EQ(r.targets, expected);
            for (const auto& target : r.targets) {
                EXPECT_EQ(target.find(u"://"), std::u16string::npos);
                EXPECT_EQ(target.find(u"mailto:"), std::u16string::npos);
            }
        }
    }
}

TEST(ReportRowsRendered, shouldDrawGroupRowNamesLiterallyWithoutLinks)
{
    for (const auto& name : kNames) {
        SCOPED_TRACE(ToUtf8(name));
        Rendered r = Render(rows::GroupRow(name));
        EXPECT_EQ(r.drawn, u" " + quelvo::test::ShownName(name));
        EXPECT_EQ(r.underlined, 0);
        EXPECT_EQ(r.pictures, 1);
        EXPECT_TRUE(r.targets.empty());
    }
}
