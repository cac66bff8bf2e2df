#include "report/Unit_QLV_ReportMarkup.h"
#include "report/Unit_QLV_ReportRows.h"

#include "MarkupReader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

using namespace quelvo::report;
using quelvo::platform::ToUtf8;
using quelvo::test::ReadRow;

namespace {

// Names a registry key or a library line could carry.
const std::u16string kCrafted[] = {
    u".a<A href=\"http://evil.example/x\">click</A>",
    u".&quot;><IMG src=\"idxs.3\" align=\"middle\"><A href=\"mailto:x@y\">",
    u".x\"><A href=\"file://c:/\">y",
    u".&amp;lt;A href=&quot;http://e&quot;&amp;gt;",
    u".R&D",
    u". & ",
    u".&",
    u".&&amp;",
    u".a&nbsp;b&lt;c&gt;",
    u".%41%",
    u".mailto:me",
    u".http://example.com",
    u".<",
    u".>x<",
    u".<B>bold</B><BR>",
    u".a\rb\nc\td\x7f",
    u".idxs.1 Fix success No Problems check ",
    u".\u00e9\u20ac",
};


std::size_t KnownTags(const std::vector<std::u16string>& tags)
{
    return std::count_if(tags.begin(), tags.end(), [](const std::u16string& t) { return t != u"<X>"; });
}

std::vector<std::u16string> Decoded(const std::vector<std::u16string>& links)
{
    std::vector<std::u16string> out;
    for (const auto& l : links)
        out.push_back(DecodeLinkTarget(l));
    return out;
}

}  // namespace

TEST(ReportMarkup, shouldLeaveOrdinaryNamesUnchanged)
{
    for (auto name : {u".mp3", u".AVI", u".tar.gz", u"Video Files", u"3D CAD", u""}) {
        EXPECT_EQ(EscapeMarkupText(name), name);
        EXPECT_EQ(EncodeLinkTarget(name), name);
        EXPECT_EQ(DecodeLinkTarget(name), name);
    }
}

TEST(ReportMarkup, shouldEncodeLinkTargetsReversiblyAndNeverAsDesktopLinks)
{
    for (const auto& name : kCrafted) {
        std::u16string target = EncodeLinkTarget(name);
        EXPECT_EQ(DecodeLinkTarget(target), name) << ToUtf8(name);
        for (auto bad : {u"://", u"mailto:", u"\"", u"<", u">", u"&", u"\r", u"\n"})
            EXPECT_EQ(target.find(bad), std::u16string::npos) << ToUtf8(name) << " holds " << ToUtf8(bad);
    }
    EXPECT_EQ(EncodeLinkTarget(u"a:b%c\"d"), u"a%3Ab%25c%22d");
    // Stray or short percent signs decode as themselves.
    EXPECT_EQ(DecodeLinkTarget(u"%"), u"%");
    EXPECT_EQ(DecodeLinkTarget(u"%4"), u"%4");
    EXPECT_EQ(DecodeLinkTarget(u"%zz%41"), u"%zzA");
}

TEST(ReportMarkup, shouldShowACraftedExtensionLiterallyAndAddNoTagsPicturesOrLinks)
{
    struct Kind {
        const char* name;
        std::function<std::u16string(std::u16string_view)> row;
        std::vector<std::u16string> pictures;
        std::function<std::vector<std::u16string>(std::u16string_view)> links;
    } kinds[] = {
        {"problem", rows::ProblemItem, {u"idxs.4"}, [](auto e) { return std::vector<std::u16string>{std::u16string(e)}; }},
        {"needs application", rows::NeedsApplicationItem, {u"idxs.0"},
         [](auto e) { return std::vector<std::u16string>{std::u16string(e)}; }},
        {"valid", rows::ValidItem, {u"idxs.3"}, [](auto e) { return std::vector<std::u16string>{std::u16string(e)}; }},
        {"repaired", rows::RepairedItem, {u"idxs.3"}, [](auto e) { return std::vector<std::u16string>{std::u16string(e)}; }},
        {"failed", rows::RepairFailedItem, {u"idxs.4"}, [](auto e) { return std::vector<std::u16string>{std::u16string(e)}; }},
        {"check", rows::CheckItem, {u"idxs.0", u"idxs.1"},
         [](auto e) { return std::vector<std::u16string>{u"check " + std::u16string(e), std::u16string(e)}; }},
    };
    for (const auto& kind : kinds) {
        const std::size_t plainTags = ReadRow(kind.row(u".mp3")).tags.size();
        for (const auto& ext : kCrafted) {
            auto read = ReadRow(kind.row(ext));
            SCOPED_TRACE(std::string(kind.name) + " row of " + ToUtf8(ext));
            EXPECT_FALSE(read.literalAmpersands);
            EXPECT_EQ(read.shownInNameFont, quelvo::test::ShownName(ext));
            EXPECT_EQ(KnownTags(read.tags), plainTags);
            EXPECT_EQ(read.pictures, kind.pictures);
            EXPECT_EQ(Decoded(read.links), kind.links(ext));
            for (const auto& link : read.links) {
                EXPECT_EQ(link.find(u"://"), std::u16string::npos);
                EXPECT_EQ(link.find(u"mailto:"), std::u16string::npos);
            }
        }
    }
}

TEST(ReportMarkup, shouldShowACraftedGroupNameLiterallyWithoutLinks)
{
    const std::size_t plainTags = ReadRow(rows::GroupRow(u"Audio")).tags.size();
    std::vector<std::u16string> names(std::begin(kCrafted), std::end(kCrafted));
    names.insert(names.end(), {u"Audio & Video", u"R&D", u"Unknown&", u"&Unknown"});
    for (const auto& name : names) {
        auto read = ReadRow(rows::GroupRow(name));
        SCOPED_TRACE(ToUtf8(name));
        EXPECT_FALSE(read.literalAmpersands);
        EXPECT_EQ(read.shownInNameFont, quelvo::test::ShownName(name));
        EXPECT_EQ(KnownTags(read.tags), plainTags);
        EXPECT_TRUE(read.links.empty());
        EXPECT_EQ(read.pictures, std::vector<std::u16string>{u"ListBoxItem_FileTypeG.bmp"});
    }
}
