#include "report/Unit_QLV_ReportActions.h"
#include "report/Unit_QLV_ReportMarkup.h"
#include "report/Unit_QLV_ReportRows.h"

#include "MarkupReader.h"

#include <gtest/gtest.h>

using namespace quelvo::report;
using Strings = std::vector<std::u16string>;

namespace {

std::u16string MessageOf(int mode, const std::u16string& row, std::u16string_view anchor)
{
    AnchorClickOutcome o = DecideAnchorClick(mode, row, anchor);
    EXPECT_FALSE(o.rowText.has_value());
    EXPECT_EQ(o.checkListChange, CheckListChange::None);
    return o.message.value_or(u"<none>");
}

// Clicks the check box of rows[index] the way the window does.
void ClickBox(Strings& rows, std::size_t index, Strings& checkList)
{
    auto read = quelvo::test::ReadRow(rows[index]);
    ASSERT_FALSE(read.links.empty());
    AnchorClickOutcome o = DecideAnchorClick(2, rows[index], read.links.front());
    EXPECT_FALSE(o.message.has_value());
    ASSERT_TRUE(o.rowText.has_value());
    rows[index] = *o.rowText;
    ApplyCheckListChange(o, checkList);
}

}  // namespace

TEST(AnchorClick, shouldExplainReportRowsInMode1)
{
    EXPECT_EQ(MessageOf(1, rows::ValidItem(u".avi"), u".avi"), messages::kValid);
    EXPECT_EQ(MessageOf(1, rows::ProblemItem(u".bad"), u".bad"), messages::kProblem);
    EXPECT_EQ(MessageOf(1, rows::NeedsApplicationItem(u".mp3"), u".mp3"), messages::kNeedsApplication);
    EXPECT_EQ(MessageOf(1, std::u16string(rows::kValidHeader), u""), u"<none>");
    EXPECT_EQ(MessageOf(1, rows::GroupRow(u"Audio"), u""), u"<none>");
    EXPECT_EQ(messages::kNeedsApplication,
              u"The file extension is missing the appropritate application required to open it.Select \"Fix Now\" to "
              u"fix these problems");
    EXPECT_EQ(kMessageCaption, u"Quelvo");
}

TEST(AnchorClick, shouldExplainAfterRepairRowsInMode2)
{
    EXPECT_EQ(MessageOf(2, rows::RepairedItem(u".bad"), u".bad"), u"Fix Success");
    EXPECT_EQ(MessageOf(2, rows::RepairFailedItem(u".bad"), u".bad"), messages::kRepairFailed);
    EXPECT_EQ(MessageOf(2, rows::CheckItem(u".mp3"), u".mp3"), messages::kDownloadHint);
    EXPECT_EQ(MessageOf(2, rows::CheckItem(u".mp3"), u""), u"<none>");
    EXPECT_EQ(messages::kDownloadHint,
              u"To fix this error you need to download an application.To get a recommended application for this "
              u"extension,click the check box associated with the item and click the Download button.");
}

TEST(AnchorClick, shouldDoNothingOutsideModes1And2)
{
    for (int mode : {0, 3, -1}) {
        AnchorClickOutcome o = DecideAnchorClick(mode, rows::CheckItem(u".mp3"), u"check .mp3");
        EXPECT_FALSE(o.message || o.rowText);
        EXPECT_EQ(o.checkListChange, CheckListChange::None);
    }
}

TEST(AnchorClick, shouldToggleTheBoxAndRestoreRowAndListOnSecondClick)
{
    Strings rows{rows::CheckItem(u".mp3")};
    const std::u16string original = rows[0];
    Strings checks;
    ClickBox(rows, 0, checks);
    EXPECT_EQ(rows[0], quelvo::platform::ReplaceAll(original, u"idxs.1", u"idxs.2"));
    EXPECT_EQ(checks, Strings{u"check .mp3"});
    ClickBox(rows, 0, checks);
    EXPECT_EQ(rows[0], original);
    EXPECT_TRUE(checks.empty());
}

TEST(AnchorClick, shouldKeepTickOrderAndRemoveOnlyTheUntickedEntry)
{
    Strings rows{rows::CheckItem(u".a"), rows::CheckItem(u".b"), rows::CheckItem(u".c")};
    Strings checks;
    ClickBox(rows, 2, checks);
    ClickBox(rows, 0, checks);
    ClickBox(rows, 1, checks);
    EXPECT_EQ(checks, (Strings{u"check .c", u"check .a", u"check .b"}));
    ClickBox(rows, 0, checks);
    EXPECT_EQ(checks, (Strings{u"check .c", u"check .b"}));
}

TEST(AnchorClick, shouldFindTheUntickedBoxExactlyButReplaceItIgnoringCase)
{
    // The search for the unticked picture compares letters exactly; the
    // replacement then takes every spelling.
    const std::u16string row = rows::CheckItem(u".mp3") + u"<IMG src=\"IDXS.1\">";
    AnchorClickOutcome o = DecideAnchorClick(2, row, u"check .mp3");
    ASSERT_TRUE(o.rowText);
    EXPECT_EQ(*o.rowText, quelvo::platform::ReplaceAll(rows::CheckItem(u".mp3"), u"idxs.1", u"idxs.2")
                              + u"<IMG src=\"idxs.2\">");
    EXPECT_EQ(o.checkListChange, CheckListChange::Append);

    const std::u16string upperOnly = quelvo::platform::ReplaceAll(rows::CheckItem(u".mp3"), u"idxs.1", u"IDXS.2");
    o = DecideAnchorClick(2, upperOnly, u"check .mp3");
    ASSERT_TRUE(o.rowText);
    EXPECT_EQ(*o.rowText, rows::CheckItem(u".mp3"));
    EXPECT_EQ(o.checkListChange, CheckListChange::RemoveFirst);
}

TEST(AnchorClick, shouldRemoveOnlyTheFirstEqualEntryOnUntick)
{
    const std::u16string ticked = quelvo::platform::ReplaceAll(rows::CheckItem(u".mp3"), u"idxs.1", u"idxs.2");
    Strings checks{u"check .x", u"check .mp3", u"check .mp3"};
    ApplyCheckListChange(DecideAnchorClick(2, ticked, u"check .mp3"), checks);
    EXPECT_EQ(checks, (Strings{u"check .x", u"check .mp3"}));
    ApplyCheckListChange(DecideAnchorClick(2, ticked, u"check .none"), checks);
    EXPECT_EQ(checks, (Strings{u"check .x", u"check .mp3"}));
}

TEST(AnchorClick, shouldTellStatusLinksOfExtensionsContainingCheckFromBoxes)
{
    EXPECT_EQ(MessageOf(2, rows::CheckItem(u".checkpoint"), u".checkpoint"), messages::kDownloadHint);
}

TEST(AnchorClick, shouldIgnoreMarkersInsideShownNames)
{
    // Names that spell the row markers must neither pick the message nor be
    // rewritten by a tick.
    const std::u16string tricky = u".idxs.1 No Problems Fix success Fix Registry Problem";
    EXPECT_EQ(MessageOf(1, rows::NeedsApplicationItem(tricky), EncodeLinkTarget(tricky)), messages::kNeedsApplication);
    EXPECT_EQ(MessageOf(2, rows::CheckItem(tricky), EncodeLinkTarget(tricky)), messages::kDownloadHint);

    Strings rows{rows::CheckItem(tricky)};
    Strings checks;
    ClickBox(rows, 0, checks);
    auto read = quelvo::test::ReadRow(rows[0]);
    EXPECT_EQ(read.shownInNameFont, tricky);
    EXPECT_EQ(read.pictures, (Strings{u"idxs.0", u"idxs.2"}));
    EXPECT_EQ(checks, Strings{u"check " + tricky});
    ClickBox(rows, 0, checks);
    EXPECT_EQ(rows[0], rows::CheckItem(tricky));
    EXPECT_TRUE(checks.empty());
}

TEST(LookupQuery, shouldJoinTickedExtensionsWithoutDotsInTickOrder)
{
    EXPECT_EQ(BuildLookupQuery({u"check .mp3"}), u"ext[]=mp3");
    EXPECT_EQ(BuildLookupQuery({u"check .mp3", u"check .AVI"}), u"ext[]=mp3&ext[]=AVI");
    EXPECT_EQ(BuildLookupQuery({u"check .c", u"check .a", u"check .b"}), u"ext[]=c&ext[]=a&ext[]=b");
    EXPECT_EQ(BuildLookupQuery({u"check .tar.gz", u"CHECK .x"}), u"ext[]=tar.gz&ext[]=x");
    EXPECT_EQ(BuildLookupQuery({}), u"");
}

TEST(LookupQuery, shouldPercentEncodeEverythingButUnreservedCharacters)
{
    EXPECT_EQ(BuildLookupQuery({u"check .a&ext[]=b"}), u"ext[]=a%26ext%5B%5D%3Db");
    EXPECT_EQ(BuildLookupQuery({u"check .a b#c"}), u"ext[]=a%20b%23c");
    EXPECT_EQ(BuildLookupQuery({u"check .\u00e9\u20ac"}), u"ext[]=%C3%A9%E2%82%AC");
    EXPECT_EQ(BuildLookupQuery({u"check .A-z_0.9~"}), u"ext[]=A-z_0.9~");
    // "check" inside an extension is part of it.
    EXPECT_EQ(BuildLookupQuery({u"check .checkpoint"}), u"ext[]=checkpoint");
}

TEST(LookupQuery, shouldPutQueryAfterTheLookupPath)
{
    EXPECT_EQ(LookupAddress(u"lookup.example", BuildLookupQuery({u"check .mp3", u"check .AVI"})),
              u"http://lookup.example/ext/file_ext.php?ext[]=mp3&ext[]=AVI");
    EXPECT_EQ(LookupAddress(u"127.0.0.1:8080", u"ext[]=x"), u"http://127.0.0.1:8080/ext/file_ext.php?ext[]=x");
}
