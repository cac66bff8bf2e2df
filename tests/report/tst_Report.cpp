#include "report/Unit_QLV_Report.h"
#include "report/Unit_QLV_ReportRows.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

using namespace quelvo::report;
using quelvo::platform::TextDictionary;
using Strings = std::vector<std::u16string>;

namespace {

// The window's three class dictionaries.
struct ClassifiedResults {
    GroupDictionary problems, needsApplication, valid;
};

void Classify(const TextDictionary& scanned, const TextDictionary& broken, const TextDictionary& lib,
              std::u16string_view filter, const FileExistsFn& exists, ClassifiedResults& r)
{
    ClassifyScanResults(scanned, broken, lib, filter, exists, r.problems, r.needsApplication, r.valid);
}

ReportView Build(const ClassifiedResults& r) { return BuildReport(r.problems, r.needsApplication, r.valid); }

AfterRepairView Repair(const ClassifiedResults& r, const RemoveKeyFn& removeKey)
{
    return RepairAndBuildAfterRepairView(r.needsApplication, r.problems, removeKey);
}

std::set<std::string> ClassesOf(const ClassifiedResults& r, std::u16string_view ext)
{
    std::set<std::string> classes;
    auto look = [&](const GroupDictionary& d, const char* name) {
        for (const auto& e : d)
            for (const auto& x : e.value)
                if (x == ext)
                    classes.insert(name);
    };
    look(r.problems, "problems");
    look(r.needsApplication, "needs application");
    look(r.valid, "valid");
    return classes;
}

std::vector<std::pair<std::u16string, Strings>> Groups(const GroupDictionary& d)
{
    std::vector<std::pair<std::u16string, Strings>> out;
    for (const auto& e : d)
        out.emplace_back(e.key, e.value);
    return out;
}

const FileExistsFn kExists = [](std::u16string_view path) { return path.find(u"present") != path.npos; };

}  // namespace

TEST(Classification, shouldFollowTheDecisionTable)
{
    struct Row {
        const char16_t* filter;
        bool scanned;
        bool exists;
        bool broken;
        std::set<std::string> classes;
    } table[] = {
        {u"", true, true, false, {"valid"}},
        {u"", true, false, false, {"needs application"}},
        {u"", false, false, true, {"problems"}},
        {u"", false, false, false, {}},
        {u".abc", true, true, false, {"valid"}},
        {u".abc", true, false, false, {"needs application"}},
        {u".abc", false, false, false, {"needs application"}},
        {u".abc", false, false, true, {"needs application", "problems"}},
        {u".zzz", true, true, false, {}},
        {u".zzz", true, false, false, {}},
        {u".zzz", false, false, true, {}},
        {u".ABC", true, true, false, {}},  // the filter is case-sensitive
    };
    for (const auto& row : table) {
        TextDictionary scanned, broken, lib;
        scanned.Add(u".other", u"C:\\present.exe");
        if (row.scanned)
            scanned.Add(u".abc", row.exists ? u"C:\\present.exe" : u"C:\\gone.exe");
        if (row.broken)
            broken.Add(u".abc", u"");
        ClassifiedResults r;
        Classify(scanned, broken, lib, row.filter, kExists, r);
        EXPECT_EQ(ClassesOf(r, u".abc"), row.classes)
            << "filter '" << quelvo::platform::ToUtf8(row.filter) << "' scanned " << row.scanned << " exists "
            << row.exists << " broken " << row.broken;
    }
}

TEST(Classification, shouldGroupByLibraryInScanOrderWithUnknownForMissingEntries)
{
    TextDictionary scanned, broken, lib;
    lib.Add(u".mp3", u"Audio");
    lib.Add(u".wav", u"Audio");
    lib.Add(u".avi", u"Video");
    lib.Add(u".old", u"unknown");
    for (auto ext : {u".wav", u".xyz", u".avi", u".mp3", u".old"})
        scanned.Add(ext, u"C:\\gone.exe");
    broken.Add(u".bad", u"");
    broken.Add(u".avx", u"");
    ClassifiedResults r;
    Classify(scanned, broken, lib, u"", kExists, r);
    using G = std::vector<std::pair<std::u16string, Strings>>;
    EXPECT_EQ(Groups(r.needsApplication), (G{{u"Audio", {u".wav", u".mp3"}},
                                             {u"Unknown", {u".xyz"}},
                                             {u"Video", {u".avi"}},
                                             {u"unknown", {u".old"}}}));
    EXPECT_EQ(Groups(r.problems), (G{{u"Unknown", {u".bad", u".avx"}}}));
    EXPECT_TRUE(r.valid.Empty());
}

TEST(Classification, shouldTreatALibraryGroupNamedUnknownAsTheSameGroup)
{
    TextDictionary scanned, broken, lib;
    lib.Add(u".a", u"Unknown");
    scanned.Add(u".b", u"C:\\present.exe");
    scanned.Add(u".a", u"C:\\present.exe");
    ClassifiedResults r;
    Classify(scanned, broken, lib, u"", kExists, r);
    using G = std::vector<std::pair<std::u16string, Strings>>;
    EXPECT_EQ(Groups(r.valid), (G{{u"Unknown", {u".b", u".a"}}}));
    EXPECT_EQ(GroupOf(u".a", lib), u"Unknown");
    EXPECT_EQ(GroupOf(u".A", lib), u"Unknown");
}

TEST(ReportRows, shouldMatchTheLiteralTexts)
{
    EXPECT_EQ(rows::kProblemsHeader,
              uR"(<IMG src="ListBoxItem_WP.bmp" align="middle"> <font size="10" face="Arial"><B>Extensions with Problems</B></font>)");
    EXPECT_EQ(rows::kNeedsApplicationHeader,
              uR"(<IMG src="ListBoxItem_RAA.bmp" align="middle"> <font size="10" face="Arial"><B>Common Extensions Requiring an Application</B></font>)");
    EXPECT_EQ(rows::kValidHeader,
              uR"(<IMG src="ListBoxItem_VE.bmp" align="middle"> <font size="10" face="Arial"><B>Valid Extensions</B></font>)");
    EXPECT_EQ(rows::GroupRow(u"Video Files"),
              uR"(<BODY bgcolor="#d6e7f9"><ind="15"><IMG src="ListBoxItem_FileTypeG.bmp" align="middle"> <font size="10" face="Arial">Video Files</font><HR COLOR="clWhite">)");
    EXPECT_EQ(rows::GroupRow(u""),
              uR"(<BODY bgcolor="#d6e7f9"><ind="15"><IMG src="ListBoxItem_FileTypeG.bmp" align="middle"> <font size="10" face="Arial"></font><HR COLOR="clWhite">)");
    for (auto unknown : {u"Unknown", u"unknown", u"UNKNOWN"})
        EXPECT_EQ(rows::GroupRow(unknown),
                  std::u16string(uR"(<BODY bgcolor="#d6e7f9"><ind="15"><IMG src="ListBoxItem_FileTypeU.bmp" align="middle"> <font size="10" face="Arial">)")
                      + unknown + uR"(</font><HR COLOR="clWhite">)");
    EXPECT_NE(rows::GroupRow(u"Unknown2").find(u"ListBoxItem_FileTypeG.bmp"), std::u16string::npos);
    EXPECT_EQ(rows::ProblemItem(u".xyz"),
              uR"(<BODY bgcolor="#e4eef9"><ind="25"><IMG src="idxs.4" align="middle"><font size="10" face="Arial">.xyz</font><ind="400"><A href=".xyz">Fix Registry Problem</A><HR COLOR="clWhite">)");
    EXPECT_EQ(rows::NeedsApplicationItem(u".mp3"),
              uR"(<BODY bgcolor="#e4eef9"><ind="25"><IMG src="idxs.0" align="middle"><font size="10" face="Arial">.mp3</font><ind="400"><A href=".mp3">New Application Required</A><HR COLOR="clWhite">)");
    EXPECT_EQ(rows::ValidItem(u".tar.gz"),
              uR"(<BODY bgcolor="#e4eef9"><ind="25"><IMG src="idxs.3" align="middle"><font size="10" face="Arial">.tar.gz</font><ind="400"><A href=".tar.gz">No Problems</A><HR COLOR="clWhite">)");
    EXPECT_EQ(rows::CountLine(12),
              uR"(<FONT color="#FFFF00"><B><FONT size="16" face="Arial">12 Problem(s) Detected</FONT></B></FONT><BR><FONT size="2" face="Arial">It is highly recommended to fix these detected problems below.Click the Fix Now buton to continue.</FONT>)");
}

TEST(ReportRows, shouldMatchTheLiteralAfterRepairTexts)
{
    EXPECT_EQ(rows::kAfterRepairNeedsApplicationHeader,
              uR"(<IMG src="ListBoxItem_RAA.bmp" align="middle"> <font size="10" face="Arial"><B>Extensions Need New Application</B></font>)");
    EXPECT_EQ(rows::kRepairedHeader,
              uR"(<IMG src="ListBoxItem_VE.bmp" align="middle"> <font size="10" face="Arial"><B>Extensions Fix Success</B></font>)");
    EXPECT_EQ(rows::CheckItem(u".mp3"),
              uR"(<BODY bgcolor="#e4eef9"><ind="25"><IMG src="idxs.0" align="middle"><A href="check .mp3"><IMG src="idxs.1" align="middle"></A><font size="10" face="Arial">.mp3</font><ind="400"><A href=".mp3">Application Required</A><HR COLOR="clWhite">)");
    EXPECT_EQ(rows::RepairedItem(u".xyz"),
              uR"(<BODY bgcolor="#e4eef9"><ind="25"><IMG src="idxs.3" align="middle"><font size="10" face="Arial">.xyz</font><ind="400"><A href=".xyz">Fix success</A><HR COLOR="clWhite">)");
    EXPECT_EQ(rows::RepairFailedItem(u".xyz"),
              uR"(<BODY bgcolor="#e4eef9"><ind="25"><IMG src="idxs.4" align="middle"><font size="10" face="Arial">.xyz</font><ind="400"><A href=".xyz">Fix failed</A><HR COLOR="clWhite">)");
    EXPECT_EQ(rows::RemainingLine(0),
              uR"(<FONT size="2" face="Arial">To fix the remaining 0 items(s) you will need to download the appropriate application(s). Select one or more check boxes and click the Download button.</FONT>)");
}

namespace {

// Problems: Unknown [.bad], Audio [.mid]; needs application: Audio [.mp3,
// .wav], "" [.txt]; valid: Video [.avi].
ClassifiedResults Fixture()
{
    ClassifiedResults r;
    r.problems.Add(u"Unknown", {u".bad"});
    r.problems.Add(u"Audio", {u".mid"});
    r.needsApplication.Add(u"Audio", {u".mp3", u".wav"});
    r.needsApplication.Add(u"", {u".txt"});
    r.valid.Add(u"Video", {u".avi"});
    return r;
}

}  // namespace

TEST(Report, shouldListSectionsInFixedOrderAndCountProblemsAndNeedsApplication)
{
    ReportView view = Build(Fixture());
    Strings expected{
        std::u16string(rows::kProblemsHeader),
        rows::GroupRow(u"Unknown"),
        rows::ProblemItem(u".bad"),
        rows::GroupRow(u"Audio"),
        rows::ProblemItem(u".mid"),
        std::u16string(rows::kNeedsApplicationHeader),
        rows::GroupRow(u"Audio"),
        rows::NeedsApplicationItem(u".mp3"),
        rows::NeedsApplicationItem(u".wav"),
        rows::GroupRow(u""),
        rows::NeedsApplicationItem(u".txt"),
        std::u16string(rows::kValidHeader),
        rows::GroupRow(u"Video"),
        rows::ValidItem(u".avi"),
    };
    EXPECT_EQ(view.rows, expected);
    EXPECT_EQ(view.problemCount, 5);
    EXPECT_EQ(view.countLine, rows::CountLine(5));
}

TEST(Report, shouldBeEmptyWithCountZeroWhenTheScanFoundNothing)
{
    ReportView view = Build(ClassifiedResults{});
    EXPECT_TRUE(view.rows.empty());
    EXPECT_EQ(view.problemCount, 0);
    EXPECT_NE(view.countLine.find(u">0 Problem(s) Detected<"), std::u16string::npos);
}

TEST(Report, shouldListAProblemExtensionOfAFilterScanTwiceAndCountTwo)
{
    TextDictionary scanned, broken, lib;
    broken.Add(u".xyz", u"");
    ClassifiedResults r;
    Classify(scanned, broken, lib, u".xyz", kExists, r);
    ReportView view = Build(r);
    EXPECT_EQ(view.rows, (Strings{std::u16string(rows::kProblemsHeader), rows::GroupRow(u"Unknown"),
                                  rows::ProblemItem(u".xyz"), std::u16string(rows::kNeedsApplicationHeader),
                                  rows::GroupRow(u"Unknown"), rows::NeedsApplicationItem(u".xyz")}));
    EXPECT_EQ(view.problemCount, 2);
}

TEST(AfterRepair, shouldRemoveEachProblemKeyOnceInOrderAndReportOnlyRealSuccess)
{
    Strings calls;
    AfterRepairView view = Repair(Fixture(), [&](std::u16string_view ext) {
        calls.emplace_back(ext);
        return ext != u".mid";
    });
    EXPECT_EQ(calls, (Strings{u".bad", u".mid"}));
    EXPECT_EQ(calls, ExtensionsToRepair(Fixture().problems));
    Strings expected{
        std::u16string(rows::kAfterRepairNeedsApplicationHeader),
        rows::GroupRow(u"Audio"),
        rows::CheckItem(u".mp3"),
        rows::CheckItem(u".wav"),
        rows::GroupRow(u""),
        rows::CheckItem(u".txt"),
        std::u16string(rows::kRepairedHeader),
        rows::GroupRow(u"Unknown"),
        rows::RepairedItem(u".bad"),
        std::u16string(rows::kRepairFailedHeader),
        rows::GroupRow(u"Audio"),
        rows::RepairFailedItem(u".mid"),
    };
    EXPECT_EQ(view.rows, expected);
    EXPECT_EQ(view.remainingCount, 3);
    EXPECT_EQ(view.remainingLine, rows::RemainingLine(3));
    ASSERT_EQ(view.repairs.size(), 2u);
    EXPECT_TRUE(view.repairs[0].removed);
    EXPECT_EQ(view.repairs[1].extension, u".mid");
    EXPECT_FALSE(view.repairs[1].removed);
}

TEST(AfterRepair, shouldShowNoSuccessSectionWhenEveryRemovalFailed)
{
    ClassifiedResults r;
    r.problems.Add(u"Unknown", {u".a", u".b"});
    AfterRepairView view = Repair(r, [](std::u16string_view) { return false; });
    EXPECT_EQ(view.rows, (Strings{std::u16string(rows::kRepairFailedHeader), rows::GroupRow(u"Unknown"),
                                  rows::RepairFailedItem(u".a"), rows::RepairFailedItem(u".b")}));
    EXPECT_EQ(view.remainingCount, 0);
}

TEST(AfterRepair, shouldTouchNothingWhenThereIsNothingToRepair)
{
    ClassifiedResults r;
    r.valid.Add(u"Video", {u".avi"});
    int calls = 0;
    AfterRepairView view = Repair(r, [&](std::u16string_view) { return ++calls, true; });
    EXPECT_EQ(calls, 0);
    EXPECT_TRUE(view.rows.empty());
    EXPECT_EQ(view.remainingLine, rows::RemainingLine(0));
}

TEST(AfterRepair, shouldListAnExtensionInBothClassesUnderBothHeadersAndCountOne)
{
    ClassifiedResults r;
    r.needsApplication.Add(u"Unknown", {u".xyz"});
    r.problems.Add(u"Unknown", {u".xyz"});
    AfterRepairView view = Repair(r, [](std::u16string_view) { return true; });
    EXPECT_EQ(view.rows, (Strings{std::u16string(rows::kAfterRepairNeedsApplicationHeader),
                                  rows::GroupRow(u"Unknown"), rows::CheckItem(u".xyz"),
                                  std::u16string(rows::kRepairedHeader), rows::GroupRow(u"Unknown"),
                                  rows::RepairedItem(u".xyz")}));
    EXPECT_EQ(view.remainingCount, 1);
}
