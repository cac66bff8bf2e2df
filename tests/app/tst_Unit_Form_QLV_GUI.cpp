// The window's behaviour, the same on every front end: start-up, navigation,
// scan, report, repair, ticks, lookup address, and closing during a scan.
// Built once per front end with that front end's harness.

#include "FormHarness.h"
#include "ScanMachine.h"

#include "app/Unit_Form_QLV_GUI.h"
#include "app/Unit_QLV_MessageBox.h"
#include "frontend/Services.h"
#include "platform/Text.h"
#include "report/Unit_QLV_ReportActions.h"
#include "report/Unit_QLV_ReportRows.h"
#include "scan/Unit_QLV_Thread.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <optional>
#include <random>
#include <stdexcept>

using namespace std::chrono_literals;
using namespace quelvo;
using namespace quelvo::app;
using namespace quelvo::app::test;
using frontend::TButtonPicture;
using frontend::TMouseButton;
using frontend::TMsgIcon;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

namespace {

struct Message {
    std::u16string caption;
    std::u16string text;
    TMsgIcon icon;
};

std::string N(std::u16string_view text) { return platform::ToUtf8(text); }

std::u16string Numbered(char16_t letter, int i)
{
    std::u16string name = u".";
    name += letter;
    if (i < 10)
        name += u'0';
    return name + platform::IntToText(i);
}

class FormTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        frontend::SetMessageBoxHandler([this](const std::u16string& caption, const std::u16string& text, TMsgIcon icon) {
            messages.push_back({caption, text, icon});
            return 1;
        });
        frontend::SetShellOpener([this](const std::u16string& object) { opened.push_back(object); });
        frontend::SetWindowMoveHandler([this] { ++moves; });
        scan::QLVO_Thread_Scan::SetExtensionPauseEnabled(false);
        machine.emplace();
        form = std::make_unique<TForm_QLVO_GUI>(Harness().FrontEnd());
    }

    void TearDown() override
    {
        form.reset();
        machine.reset();
        scan::QLVO_Thread_Scan::SetExtensionPauseEnabled(true);
        frontend::SetMessageBoxHandler({});
        frontend::SetShellOpener({});
        frontend::SetWindowMoveHandler({});
    }

    void ShowForm()
    {
        ASSERT_TRUE(Harness().ShowAndWait(*form));
        form->SetCurrentAppPath(machine->AppPath());
    }

    void Click(frontend::TBitmapButton* button)
    {
        Harness().Press(button, 2, 2);
        Harness().Release(button, 2, 2);
    }

    // Start Scan with the typed filter, then wait for the worker's end.
    void Scan(const std::u16string& filter = {})
    {
        form->RED_QLVO_SearchExt->SetText(filter);
        Click(form->Bn_QLVO_StartScan);
        ASSERT_TRUE(Harness().WaitUntil([&] { return !form->ScanRunning(); }, 20s));
        Harness().Wait(1ms);
    }

    std::vector<std::u16string> Rows() const
    {
        std::vector<std::u16string> rows;
        for (int i = 0; i < form->HLB_QLVO_InvailExeName->Count(); ++i)
            rows.push_back(form->HLB_QLVO_InvailExeName->Item(i));
        return rows;
    }

    int RowOf(const std::u16string& row) const
    {
        const auto rows = Rows();
        const auto it = std::find(rows.begin(), rows.end(), row);
        return it == rows.end() ? -1 : static_cast<int>(it - rows.begin());
    }

    bool HasRow(const std::u16string& row) const { return RowOf(row) >= 0; }

    void ClickLink(const std::u16string& row, int link = 0)
    {
        const int index = RowOf(row);
        ASSERT_GE(index, 0) << N(row);
        form->HLB_QLVO_InvailExeNameAnchorClick(form->HLB_QLVO_InvailExeName, index,
                                                LinkTarget(form->HLB_QLVO_InvailExeName->Item(index), link));
    }

    std::optional<ScanMachine> machine;
    std::unique_ptr<TForm_QLVO_GUI> form;
    std::vector<Message> messages;
    std::vector<std::u16string> opened;
    int moves = 0;
};

std::u16string Ticked(std::u16string row)
{
    return platform::ReplaceAll(row, u"idxs.1", u"idxs.2");
}

}  // namespace

// ---- Start-up and navigation ------------------------------------------------

TEST_F(FormTest, shouldLandOnTheStartPageWhateverPageTheStackHeld)
{
    for (const char* held : {"", "TS_QLVO_Step3", "TS_QLVO_FindSoftware", "TS_QLVO_About"}) {
        SCOPED_TRACE(held);
        form = std::make_unique<TForm_QLVO_GUI>(Harness().FrontEnd());
        EXPECT_EQ(form->RPC_QLVO_Step->ActivePage(), form->TS_QLVO_Step2);
        if (*held)
            form->RPC_QLVO_Step->SetActivePage(static_cast<frontend::TPage*>(form->FindComponent(held)));
        form->RED_QLVO_SearchExt->SetText(u"leftover");
        ShowForm();
        EXPECT_EQ(form->RPC_QLVO_Step->ActivePage(), form->TS_QLVO_Step1);
        EXPECT_TRUE(form->TS_QLVO_Step1->Showing());
        EXPECT_FALSE(form->TS_QLVO_Step2->Showing());
        EXPECT_FALSE(form->Bn_QLVO_PageScan->Enabled());
        EXPECT_EQ(form->Bn_QLVO_PageScan->CurrentPicture(), TButtonPicture::Disabled);
        EXPECT_TRUE(form->Bn_QLVO_PageHelp->Enabled());
        EXPECT_TRUE(form->Bn_QLVO_PageAbout->Enabled());
        EXPECT_EQ(form->CurrentSectionButton(), form->Bn_QLVO_PageScan);
        EXPECT_EQ(form->CurrentMode(), 0);
        EXPECT_EQ(form->RED_QLVO_SearchExt->Text(), u"");
        EXPECT_EQ(form->Window()->Caption(), u"Quelvo");
        EXPECT_TRUE(form->CurrentAppPath().back() == u'/' || form->CurrentAppPath().back() == u'\\');
    }
}

TEST_F(FormTest, shouldSwitchToAboutAndBackToTheStartPage)
{
    ShowForm();
    form->RPC_QLVO_Step->SetActivePage(form->TS_QLVO_Step3);  // a report on show
    Click(form->Bn_QLVO_PageAbout);
    EXPECT_EQ(form->RPC_QLVO_Step->ActivePage(), form->TS_QLVO_About);
    EXPECT_FALSE(form->Bn_QLVO_PageAbout->Enabled());
    EXPECT_TRUE(form->Bn_QLVO_PageScan->Enabled());
    EXPECT_EQ(form->CurrentSectionButton(), form->Bn_QLVO_PageAbout);

    // The Scan section opens on the start page, not on the report.
    Click(form->Bn_QLVO_PageScan);
    EXPECT_EQ(form->RPC_QLVO_Step->ActivePage(), form->TS_QLVO_Step1);
    EXPECT_FALSE(form->Bn_QLVO_PageScan->Enabled());
    EXPECT_TRUE(form->Bn_QLVO_PageAbout->Enabled());
}

TEST_F(FormTest, shouldIgnoreAClickOnTheCurrentSectionButton)
{
    ShowForm();
    form->RPC_QLVO_Step->SetActivePage(form->TS_QLVO_Step3);
    Click(form->Bn_QLVO_PageScan);
    EXPECT_EQ(form->RPC_QLVO_Step->ActivePage(), form->TS_QLVO_Step3);
    EXPECT_EQ(moves, 0);
}

TEST_F(FormTest, shouldOpenTheHelpFileAndChangeNoPage)
{
    ShowForm();
    for (const char* page : {"TS_QLVO_Step1", "TS_QLVO_Step2", "TS_QLVO_About"}) {
        opened.clear();
        if (std::string(page) == "TS_QLVO_About")
            Click(form->Bn_QLVO_PageAbout);
        else
            form->RPC_QLVO_Step->SetActivePage(static_cast<frontend::TPage*>(form->FindComponent(page)));
        frontend::TBitmapButton* section = form->CurrentSectionButton();
        Click(form->Bn_QLVO_PageHelp);
        EXPECT_THAT(opened, ElementsAre(form->CurrentAppPath() + u"Help.chm")) << page;
        EXPECT_EQ(form->RPC_QLVO_Step->ActivePage()->Name(), page);
        EXPECT_EQ(form->CurrentSectionButton(), section);
    }
}

TEST_F(FormTest, shouldReturnToTheStartPageOnCancelAndToTheReportOnBack)
{
    ShowForm();
    form->RPC_QLVO_Step->SetActivePage(form->TS_QLVO_Step3);
    Click(form->Bn_QLVO_Step3_Cancel);
    EXPECT_EQ(form->RPC_QLVO_Step->ActivePage(), form->TS_QLVO_Step1);
    EXPECT_EQ(form->CurrentMode(), 0);
    EXPECT_EQ(form->CurrentSectionButton(), form->Bn_QLVO_PageScan);

    form->RPC_QLVO_Step->SetActivePage(form->TS_QLVO_FindSoftware);
    Click(form->Bn_QLVO_FindSoftware_Back);
    EXPECT_EQ(form->RPC_QLVO_Step->ActivePage(), form->TS_QLVO_Step3);
}

TEST_F(FormTest, shouldOpenTheAboutLinkOncePerPress)
{
    ShowForm();
    Click(form->Bn_QLVO_PageAbout);
    auto* label = form->HLB_QLVO_CopyRightInfo;
    std::u16string markup;
    for (const auto& line : label->TextLines())
        markup += line;
    EXPECT_EQ(markup.rfind(u"<B>Quelvo</B><br/><B>", 0), 0u);
    EXPECT_NE(markup.find(u"<br/><br/><A href=\"https://www.quelvo.example\">www.quelvo.example</A>"),
              std::u16string::npos);

    int x = -1, y = -1;
    const frontend::TRect bounds = label->Bounds();
    for (int py = 0; py < bounds.height && x < 0; ++py)
        for (int px = 0; px < bounds.width && x < 0; ++px)
            if (!Harness().LabelAnchorAt(label, px, py).empty())
                x = px, y = py;
    ASSERT_GE(x, 0);
    Harness().Press(label, x, y, TMouseButton::mbRight);
    EXPECT_THAT(opened, ElementsAre(u"https://www.quelvo.example"));
    Harness().Press(label, x, y);
    Harness().DoublePress(label, x, y);
    EXPECT_EQ(opened.size(), 3u);
    EXPECT_EQ(form->RPC_QLVO_Step->ActivePage(), form->TS_QLVO_About);
}

TEST_F(FormTest, shouldOpenOnlyTargetsTheLabelLeavesAlone)
{
    form->HLB_QLVO_CopyRightInfoAnchorClick(form->HLB_QLVO_CopyRightInfo, u"https://www.quelvo.example");
    form->HLB_QLVO_CopyRightInfoAnchorClick(form->HLB_QLVO_CopyRightInfo, u"mailto:help@quelvo.example");
    EXPECT_TRUE(opened.empty());
    form->HLB_QLVO_CopyRightInfoAnchorClick(form->HLB_QLVO_CopyRightInfo, u"www.quelvo.example");
    EXPECT_THAT(opened, ElementsAre(u"www.quelvo.example"));
}

TEST_F(FormTest, shouldMoveTheWindowOnlyOnALeftPressOnThePanel)
{
    ShowForm();
    Harness().Press(form->Panel_QLVO_BG, 300, 20);  // top band
    Harness().Release(form->Panel_QLVO_BG, 300, 20);
    Harness().Press(form->Panel_QLVO_BG, 80, 300);  // navigation column beside the buttons
    Harness().Release(form->Panel_QLVO_BG, 80, 300);
    EXPECT_EQ(moves, 2);
    Harness().Press(form->Panel_QLVO_BG, 300, 20, TMouseButton::mbRight);
    Harness().Press(form->Panel_QLVO_BG, 300, 20, TMouseButton::mbMiddle);
    EXPECT_EQ(moves, 2);
    Harness().Press(form->Image1, 100, 100);
    Harness().Press(form->RzLabel4, 2, 2);
    Harness().Press(form->TS_QLVO_Step1, 5, 5);
    Click(form->Bn_QLVO_PageHelp);
    Click(form->Bn_QLVO_PageScan);  // disabled
    EXPECT_EQ(moves, 2);
}

TEST_F(FormTest, shouldFreeTheContainersOnClose)
{
    ShowForm();
    EXPECT_TRUE(form->ContainersAlive());
    EXPECT_EQ(Form_QLVO_GUI, form.get());
    Click(form->Bn_QLVO_Close);
    Harness().WaitUntil([&] { return !form->Window()->Showing(); }, 2s);
    EXPECT_FALSE(form->ContainersAlive());
    EXPECT_FALSE(form->Window()->Showing());
    form->Close();  // a second close finds nothing left to free
    EXPECT_FALSE(form->ContainersAlive());
}

TEST_F(FormTest, shouldMinimiseAndComeBackUnchanged)
{
    ShowForm();
    Click(form->Bn_QLVO_PageAbout);
    Click(form->Bn_QLVO_Min);
    EXPECT_TRUE(Harness().WaitUntil([&] { return form->Window()->Minimized(); }, 5s));
    form->Window()->Restore();
    Harness().WaitUntil([&] { return !form->Window()->Minimized(); }, 5s);
    EXPECT_EQ(form->RPC_QLVO_Step->ActivePage(), form->TS_QLVO_About);
    EXPECT_EQ(form->CurrentSectionButton(), form->Bn_QLVO_PageAbout);
}

TEST_F(FormTest, shouldPlaceEveryComponentAsDefined)
{
    struct Row {
        const char* name;
        frontend::TRect bounds;
    };
    const Row rows[] = {
        {"Panel_QLVO_BG", {0, 0, 740, 530}},
        {"RPC_QLVO_Step", {165, 59, 565, 463}},
        {"Bn_QLVO_Close", {712, 3, 15, 15}},
        {"Bn_QLVO_PageScan", {-1, 80, 158, 47}},
        {"Bn_QLVO_PageHelp", {-1, 126, 158, 47}},
        {"Bn_QLVO_PageAbout", {-1, 173, 158, 47}},
        {"Bn_QLVO_Min", {691, 4, 15, 15}},
        {"TS_QLVO_Step1", {0, 0, 565, 463}},
        {"TS_QLVO_About", {0, 0, 565, 463}},
        {"Image1", {0, 0, 565, 463}},
        {"RzLabel4", {136, 344, 304, 16}},
        {"RzLabel5", {32, 231, 410, 30}},
        {"Bn_QLVO_StartScan", {175, 384, 234, 56}},
        {"RED_QLVO_SearchExt", {32, 267, 505, 21}},
        {"RLB_QLVO_ScanFileExtName1", {63, 140, 433, 22}},
        {"RLB_QLVO_ScanFileExtName8", {63, 390, 433, 22}},
        {"ADP_QLVO_Scanning", {20, 25, 80, 74}},
        {"RzPanel1", {109, 12, 451, 89}},
        {"RzLabel3", {8, 64, 105, 13}},
        {"RLB_QLVO_TipScanCount", {119, 64, 325, 13}},
        {"RLB_QLVO_TipDetectedCount", {112, 24, 425, 66}},
        {"Bn_QLVO_FixNow", {307, 400, 234, 56}},
        {"HLB_QLVO_InvailExeName", {10, 108, 544, 286}},
        {"Bn_QLVO_Step3_Cancel", {10, 413, 110, 31}},
        {"Bn_QLVO_DownLoadSoftware", {307, 400, 234, 57}},
        {"WB_QLVO_FindSoftware", {8, 11, 548, 401}},
        {"Bn_QLVO_FindSoftware_Back", {447, 424, 109, 30}},
        {"HLB_QLVO_CopyRightInfo", {48, 90, 441, 55}},
        {"RzVersionInfoStatus1", {55, 278, 169, 20}},
    };
    for (const Row& row : rows) {
        frontend::TControl* control = form->FindComponent(row.name);
        ASSERT_NE(control, nullptr) << row.name;
        EXPECT_EQ(control->Bounds(), row.bounds) << row.name;
    }
    EXPECT_EQ(form->Window()->Bounds().width, 740);
    EXPECT_EQ(form->Window()->Bounds().height, 530);
}

TEST_F(FormTest, shouldGiveTheLabelsTheirTextsAndTheAboutPageItsVersion)
{
    EXPECT_EQ(form->RLB_QLVO_ScanFileExtName8->Caption(), u".psc1");
    EXPECT_EQ(form->ScanFileExtNameLabel(0), form->RLB_QLVO_ScanFileExtName1);
    EXPECT_EQ(form->ScanFileExtNameLabel(7), form->RLB_QLVO_ScanFileExtName8);
    EXPECT_EQ(form->ScanFileExtNameLabel(8), nullptr);
    EXPECT_EQ(form->RzLabel2->Caption(), u"Scannning:");
    EXPECT_EQ(form->RLB_QLVO_TipScanCount->Caption(), u"268");
    EXPECT_EQ(form->RzVersionInfoStatus1->FieldLabel(), u"Product version:");
    EXPECT_EQ(form->RzVersionInfoStatus1->Value(), u"1.0.0.14");
}

TEST_F(FormTest, shouldShowErrorsWithTheFullStopRule)
{
    struct Case {
        const char* message;
        std::u16string shown;
    };
    for (const Case& c : {Case{"Access denied", u"Access denied."}, Case{"Done.", u"Done."}, Case{"Oops!", u"Oops!"},
                          Case{"failed (5)", u"failed (5)"}, Case{"a/b", u"a/b."}, Case{"", u""}}) {
        messages.clear();
        EXPECT_EQ(ErrorMessageText(platform::FromUtf8(c.message)), c.shown);
        func_RunHandler(Harness().FrontEnd(), form->Window(), [&] { throw std::runtime_error(c.message); });
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0].caption, u"Quelvo");
        EXPECT_EQ(messages[0].text, c.shown);
        EXPECT_EQ(messages[0].icon, TMsgIcon::Error);
    }
}

TEST_F(FormTest, shouldKeepTheScanningAnimationStillUntilAScan)
{
    EXPECT_FALSE(form->ADP_QLVO_Scanning->Animate());
    EXPECT_EQ(form->ADP_QLVO_Scanning->FrameCount(), 14);
}

TEST_F(FormTest, shouldEndTheProgramDirectoryInASeparator)
{
    EXPECT_EQ(func_AppPathOf(u"C:\\Program Files\\Quelvo\\Quelvo.exe", u'\\'), u"C:\\Program Files\\Quelvo\\");
    EXPECT_EQ(func_AppPathOf(u"C:Quelvo.exe", u'\\'), u"C:\\");
    EXPECT_EQ(func_AppPathOf(u"Quelvo.exe", u'\\'), u"\\");
    EXPECT_EQ(func_AppPathOf(u"/opt/quelvo/quelvo", u'\\'), u"/opt/quelvo/");
}

// ---- Scan and report --------------------------------------------------------

TEST_F(FormTest, shouldNormaliseTheTypedFilter)
{
    EXPECT_EQ(func_NormaliseSearchExt(u"  txt "), u".txt");
    EXPECT_EQ(func_NormaliseSearchExt(u".TXT"), u".TXT");
    EXPECT_EQ(func_NormaliseSearchExt(u"mp3"), u".mp3");
    EXPECT_EQ(func_NormaliseSearchExt(u""), u"");
    EXPECT_EQ(func_NormaliseSearchExt(u" \t "), u"");
    EXPECT_EQ(func_NormaliseSearchExt(u"\t.x\n"), u".x");
    EXPECT_EQ(func_NormaliseSearchExt(u" a b "), u".a b");
}

TEST_F(FormTest, shouldRollEightLabelsAndRestartThemWithTheNextScan)
{
    for (int i = 1; i <= 11; ++i)
        machine->Broken(Numbered(u'e', i));
    machine->Library(kTestLibrary);
    ShowForm();
    Scan();
    std::vector<std::u16string> labels;
    for (int i = 0; i < 8; ++i)
        labels.push_back(form->ScanFileExtNameLabel(i)->Caption());
    EXPECT_THAT(labels, ElementsAre(u".e09", u".e10", u".e11", u".e04", u".e05", u".e06", u".e07", u".e08"));
    EXPECT_EQ(form->RLB_QLVO_TipScanCount->Caption(), u"11");
    EXPECT_EQ(form->RLB_QLVO_TipFileExtName->Caption(), u".e11");

    // A smaller second scan: labels from label 1, count from 1, the rest left over.
    for (int i = 4; i <= 11; ++i)
        machine->RemoveExtension(Numbered(u'e', i));
    form->RPC_QLVO_Step->SetActivePage(form->TS_QLVO_Step1);
    Scan();
    labels.clear();
    for (int i = 0; i < 8; ++i)
        labels.push_back(form->ScanFileExtNameLabel(i)->Caption());
    EXPECT_THAT(labels, ElementsAre(u".e01", u".e02", u".e03", u".e04", u".e05", u".e06", u".e07", u".e08"));
    EXPECT_EQ(form->RLB_QLVO_TipScanCount->Caption(), u"3");
    EXPECT_TRUE(HasRow(report::rows::ProblemItem(u".e01")));
    EXPECT_FALSE(HasRow(report::rows::ProblemItem(u".e09")));
}

TEST_F(FormTest, shouldReportEveryClassByGroupWithTheProblemCount)
{
    machine->FillThreeClasses();
    ShowForm();
    Scan();
    namespace rows = report::rows;
    const std::vector<std::u16string> expected = {
        std::u16string(rows::kProblemsHeader),
        rows::GroupRow(u"Unknown"), rows::ProblemItem(u".bad"),
        rows::GroupRow(u"Archive"), rows::ProblemItem(u".zip"),
        std::u16string(rows::kNeedsApplicationHeader),
        rows::GroupRow(u"Video"), rows::NeedsApplicationItem(u".avi"),
        rows::GroupRow(u"Audio"), rows::NeedsApplicationItem(u".wav"),
        rows::GroupRow(u"Unknown"), rows::NeedsApplicationItem(u".xyz"),
        std::u16string(rows::kValidHeader),
        rows::GroupRow(u"Audio"), rows::ValidItem(u".mp3"),
    };
    // The registry's enumeration order decides the order within a class.
    auto sorted = [](std::vector<std::u16string> v) {
        std::sort(v.begin(), v.end());
        return v;
    };
    EXPECT_EQ(sorted(Rows()), sorted(expected));
    EXPECT_EQ(Rows().front(), rows::kProblemsHeader);
    EXPECT_THAT(form->RLB_QLVO_TipDetectedCount->TextLines(), ElementsAre(rows::CountLine(5)));
    EXPECT_EQ(form->RPC_QLVO_Step->ActivePage(), form->TS_QLVO_Step3);
    EXPECT_TRUE(form->Bn_QLVO_FixNow->Showing());
    EXPECT_FALSE(form->Bn_QLVO_DownLoadSoftware->Showing());
    EXPECT_EQ(form->CurrentMode(), 1);
    EXPECT_TRUE(form->ADP_QLVO_Scanning->Animate());  // until Fix Now
    EXPECT_TRUE(messages.empty());
}

TEST_F(FormTest, shouldListAFilteredProblemExtensionUnderBothSections)
{
    machine->FillThreeClasses();
    ShowForm();
    Scan(u" zip ");
    EXPECT_EQ(form->SearchExt(), u".zip");
    namespace rows = report::rows;
    EXPECT_THAT(Rows(), ElementsAre(std::u16string(rows::kProblemsHeader), rows::GroupRow(u"Archive"),
                                    rows::ProblemItem(u".zip"), std::u16string(rows::kNeedsApplicationHeader),
                                    rows::GroupRow(u"Archive"), rows::NeedsApplicationItem(u".zip")));
    EXPECT_THAT(form->RLB_QLVO_TipDetectedCount->TextLines(), ElementsAre(rows::CountLine(2)));
}

TEST_F(FormTest, shouldRepairOnlyTheBrokenKeysAndReportWhatFailed)
{
    machine->FillThreeClasses();
    if (machine->CanLockKeys())
        machine->Broken(u".lck");
    ShowForm();
    Scan();
    if (machine->CanLockKeys())
        machine->LockKey(ScanMachine::Classes(u".lck"));  // locked after the scan found it broken
    messages.clear();
    Click(form->Bn_QLVO_FixNow);
    // A failed removal is explained once, right after the repair, with the
    // store's own reason; a repair that removed everything says nothing.
    std::u16string reasonShown;
    if (machine->CanLockKeys()) {
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0].text.rfind(report::messages::kRepairFailed, 0), 0u) << N(messages[0].text);
        reasonShown = messages[0].text.substr(report::messages::kRepairFailed.size());
        EXPECT_GT(reasonShown.size(), 4u) << "the store's reason follows";
    } else {
        EXPECT_TRUE(messages.empty());
    }

    EXPECT_FALSE(machine->HasExtension(u".bad"));
    EXPECT_FALSE(machine->HasExtension(u".zip"));
    for (auto ext : {u".mp3", u".avi", u".wav", u".xyz"})
        EXPECT_TRUE(machine->HasExtension(ext)) << N(ext);
    EXPECT_TRUE(machine->HasKey(u"SOFTWARE\\Classes\\avifile"));

    namespace rows = report::rows;
    EXPECT_TRUE(HasRow(rows::RepairedItem(u".bad")));
    EXPECT_TRUE(HasRow(rows::RepairedItem(u".zip")));
    EXPECT_TRUE(HasRow(rows::CheckItem(u".avi")));
    for (const auto& row : Rows())
        EXPECT_EQ(row.find(u".mp3"), std::u16string::npos);  // valid ones are not listed
    EXPECT_EQ(form->CurrentMode(), 2);
    EXPECT_FALSE(form->Bn_QLVO_FixNow->Showing());
    EXPECT_TRUE(form->Bn_QLVO_DownLoadSoftware->Showing());
    EXPECT_FALSE(form->ADP_QLVO_Scanning->Animate());

    if (machine->CanLockKeys()) {
        EXPECT_TRUE(machine->HasExtension(u".lck"));
        EXPECT_TRUE(HasRow(rows::RepairFailedItem(u".lck")));
        EXPECT_FALSE(HasRow(rows::RepairedItem(u".lck")));
        EXPECT_THAT(form->RLB_QLVO_TipDetectedCount->TextLines(), ElementsAre(rows::RemainingLine(3)));
        // The failed row explains itself.
        messages.clear();
        ClickLink(rows::RepairFailedItem(u".lck"));
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0].text, std::u16string(report::messages::kRepairFailed) + reasonShown);
    }
    messages.clear();
    ClickLink(rows::RepairedItem(u".bad"));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, report::messages::kRepaired);

    // The second click is a Download: nothing is ticked, so nothing happens.
    const auto before = Rows();
    Click(form->Bn_QLVO_DownLoadSoftware);
    EXPECT_EQ(Rows(), before);
    EXPECT_EQ(form->RPC_QLVO_Step->ActivePage(), form->TS_QLVO_Step3);
    EXPECT_TRUE(form->WB_QLVO_FindSoftware->LocationURL().empty());
}

TEST_F(FormTest, shouldExplainReportRowsInModeOne)
{
    machine->FillThreeClasses();
    ShowForm();
    Scan();
    const std::pair<std::u16string, std::u16string_view> cases[] = {
        {report::rows::ValidItem(u".mp3"), report::messages::kValid},
        {report::rows::ProblemItem(u".zip"), report::messages::kProblem},
        {report::rows::NeedsApplicationItem(u".avi"), report::messages::kNeedsApplication},
    };
    for (const auto& [row, message] : cases) {
        messages.clear();
        const auto before = Rows();
        ClickLink(row);
        ASSERT_EQ(messages.size(), 1u) << N(row);
        EXPECT_EQ(messages[0].caption, u"Quelvo");
        EXPECT_EQ(messages[0].icon, TMsgIcon::Information);
        EXPECT_EQ(messages[0].text, message);
        EXPECT_EQ(Rows(), before);
        EXPECT_TRUE(form->CheckFileTypes().empty());
    }
}

TEST_F(FormTest, shouldTickInOrderUntickTheFirstEqualEntryAndSendTheTicksToTheLookup)
{
    machine->FillThreeClasses();
    ShowForm();
    Scan();
    Click(form->Bn_QLVO_FixNow);
    namespace rows = report::rows;
    const std::u16string avi = rows::CheckItem(u".avi");
    const std::u16string wav = rows::CheckItem(u".wav");
    const std::u16string xyz = rows::CheckItem(u".xyz");

    ClickLink(xyz);
    ClickLink(avi);
    ClickLink(wav);
    EXPECT_THAT(form->CheckFileTypes(), ElementsAre(u"check .xyz", u"check .avi", u"check .wav"));
    EXPECT_TRUE(HasRow(Ticked(avi)));
    ClickLink(Ticked(avi));
    EXPECT_THAT(form->CheckFileTypes(), ElementsAre(u"check .xyz", u"check .wav"));
    EXPECT_TRUE(HasRow(avi));
    EXPECT_TRUE(messages.empty());

    // The row's own link gives the download hint and leaves the box alone.
    ClickLink(avi, 1);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, report::messages::kDownloadHint);
    EXPECT_TRUE(HasRow(avi));

    // Download opens the lookup page for the ticks, in tick order; Back keeps them.
    Click(form->Bn_QLVO_DownLoadSoftware);
    EXPECT_EQ(form->RPC_QLVO_Step->ActivePage(), form->TS_QLVO_FindSoftware);
    const std::u16string address = form->WB_QLVO_FindSoftware->LocationURL();
    EXPECT_NE(address.find(u"/ext/file_ext.php?ext[]=xyz&ext[]=wav"), std::u16string::npos) << N(address);
    Click(form->Bn_QLVO_FindSoftware_Back);
    EXPECT_EQ(form->RPC_QLVO_Step->ActivePage(), form->TS_QLVO_Step3);
    EXPECT_TRUE(HasRow(Ticked(xyz)));

    // A new scan forgets the ticks.
    Click(form->Bn_QLVO_PageAbout);
    Click(form->Bn_QLVO_PageScan);
    Scan();
    EXPECT_TRUE(form->CheckFileTypes().empty());
    EXPECT_EQ(form->CurrentMode(), 1);
}

TEST_F(FormTest, shouldTickAnExtensionWithMarkupCharactersByItsRealName)
{
    machine->Program(u".q&r<b>", u"qr.exe", false);
    machine->Library(kTestLibrary);
    ShowForm();
    Scan();
    const std::u16string row = report::rows::NeedsApplicationItem(u".q&r<b>");
    EXPECT_EQ(row.find(u"<b>"), std::u16string::npos);  // shown as text, not read as markup
    EXPECT_TRUE(HasRow(row));
    Click(form->Bn_QLVO_FixNow);
    ClickLink(report::rows::CheckItem(u".q&r<b>"));
    EXPECT_THAT(form->CheckFileTypes(), ElementsAre(u"check .q&r<b>"));
    EXPECT_TRUE(messages.empty());
}

TEST_F(FormTest, shouldKeepTheFirstReportOfADuplicateExtension)
{
    machine->Program(u".dup", u"first.exe", true);
    machine->Library(kTestLibrary);
    ShowForm();
    form->pro_cb_QV_Scan_ExeInfo(u".dup", u"C:\\Apps\\first.exe", 1);
    form->pro_cb_QV_Scan_ExeInfo(u".dup", u"C:\\Apps\\missing.exe", 1);
    form->pro_cb_QV_Scan_ExeInfo(u".err", u"", 2);
    form->pro_cb_QV_Scan_ExeInfo(u".err", u"", 2);
    form->pro_cb_QV_Scan_ExeInfo(u".odd", u"", 3);
    form->pro_cbsyn_QV_End();
    namespace rows = report::rows;
    EXPECT_THAT(Rows(), ElementsAre(std::u16string(rows::kProblemsHeader), rows::GroupRow(u"Unknown"),
                                    rows::ProblemItem(u".err"), std::u16string(rows::kValidHeader),
                                    rows::GroupRow(u"Unknown"), rows::ValidItem(u".dup")));
    EXPECT_TRUE(messages.empty());
}

TEST_F(FormTest, shouldSayWhichLibraryFileIsMissingAndStopTheAnimation)
{
    for (bool asFolder : {false, true}) {
        SCOPED_TRACE(asFolder ? "a folder" : "missing");
        messages.clear();
        form = std::make_unique<TForm_QLVO_GUI>(Harness().FrontEnd());
        machine->Broken(u".bad");
        if (asFolder)
            std::filesystem::create_directories(machine->AppFolder() / "FileType_lib.txt");
        ShowForm();
        Scan();
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_NE(messages[0].text.find(u"FileType_lib.txt"), std::u16string::npos) << N(messages[0].text);
        EXPECT_NE(messages[0].text.find(asFolder ? u"it is a folder" : u"no such file"), std::u16string::npos)
            << N(messages[0].text);
        EXPECT_FALSE(form->ADP_QLVO_Scanning->Animate());
        EXPECT_EQ(form->RPC_QLVO_Step->ActivePage(), form->TS_QLVO_Step2);
        EXPECT_EQ(form->HLB_QLVO_InvailExeName->Count(), 0);
        EXPECT_FALSE(form->Bn_QLVO_FixNow->Showing());
    }
}

TEST_F(FormTest, shouldShowTheRunningScanOnASecondStartScan)
{
    for (int i = 0; i < 40; ++i)
        machine->Broken(Numbered(u'n', i));
    machine->Library(kTestLibrary);
    ShowForm();
    scan::QLVO_Thread_Scan::SetExtensionPauseEnabled(true);
    Click(form->Bn_QLVO_StartScan);
    ASSERT_TRUE(Harness().WaitUntil(
        [&] { return platform::ToUtf8(form->RLB_QLVO_TipScanCount->Caption()).size() >= 1 &&
                     std::atoi(platform::ToUtf8(form->RLB_QLVO_TipScanCount->Caption()).c_str()) >= 3; },
        20s));
    Click(form->Bn_QLVO_PageAbout);
    Click(form->Bn_QLVO_PageScan);
    EXPECT_EQ(form->RPC_QLVO_Step->ActivePage(), form->TS_QLVO_Step1);
    Click(form->Bn_QLVO_StartScan);  // no second scan: the running one is shown
    EXPECT_EQ(form->RPC_QLVO_Step->ActivePage(), form->TS_QLVO_Step2);
    EXPECT_TRUE(form->ScanRunning());
    ASSERT_TRUE(Harness().WaitUntil([&] { return !form->ScanRunning(); }, 20s));
    scan::QLVO_Thread_Scan::SetExtensionPauseEnabled(false);
    EXPECT_EQ(form->RLB_QLVO_TipScanCount->Caption(), u"40");
    const auto rows = Rows();
    EXPECT_EQ(std::count(rows.begin(), rows.end(), report::rows::ProblemItem(u".n00")), 1);
    EXPECT_THAT(form->RLB_QLVO_TipDetectedCount->TextLines(), ElementsAre(report::rows::CountLine(40)));
}

TEST_F(FormTest, shouldTakeTheLookupHostFromTheEnvironmentFirst)
{
#ifdef _WIN32
    auto set = [](const char* value) { _putenv_s("QUELVO_LOOKUP_HOST", value); };
#else
    auto set = [](const char* value) { setenv("QUELVO_LOOKUP_HOST", value, 1); };
#endif
    set("");
    const std::u16string built = func_LookupHost();
    EXPECT_FALSE(built.empty());
    set("127.0.0.1:8080");
    EXPECT_EQ(func_LookupHost(), u"127.0.0.1:8080");
    set("");
    EXPECT_EQ(func_LookupHost(), built);
}

// ---- Closing during a scan --------------------------------------------------

TEST_F(FormTest, shouldStopTheWorkerWhenClosedAtAnyMoment)
{
    for (int i = 0; i < 30; ++i) {
        if (i % 3 == 0)
            machine->Broken(Numbered(u'c', i));
        else
            machine->Program(Numbered(u'c', i), u"p.exe", i % 3 == 1);
    }
    machine->Library(kTestLibrary);
    std::mt19937 random(12345);
    const int rounds = std::getenv("QUELVO_CLOSE_ROUNDS") ? std::atoi(std::getenv("QUELVO_CLOSE_ROUNDS")) : 60;
    for (int round = 0; round < rounds; ++round) {
        SCOPED_TRACE(round);
        scan::QLVO_Thread_Scan::SetExtensionPauseEnabled(round % 2 == 0);
        form = std::make_unique<TForm_QLVO_GUI>(Harness().FrontEnd());
        form->Show();
        form->SetCurrentAppPath(machine->AppPath());
        Click(form->Bn_QLVO_StartScan);
        EXPECT_TRUE(form->ScanRunning() || round % 2 == 1);
        const int delay = static_cast<int>(random() % 60);
        if (delay > 0)
            Harness().Wait(std::chrono::milliseconds(delay));

        const auto started = std::chrono::steady_clock::now();
        if (round % 3 == 2) {
            // Closed from a posted task, which may run inside a hand-over's
            // own pass over pending events.
            Harness().FrontEnd().Post([f = form.get()] { f->Close(); });
            EXPECT_TRUE(Harness().WaitUntil([&] { return !form->ContainersAlive(); }, 5s));
            EXPECT_FALSE(form->ScanRunning());
            form.reset();
        } else if (round % 5 == 4) {
            form.reset();  // destroyed without a close first
        } else {
            form->Close();
            EXPECT_FALSE(form->ScanRunning());
            EXPECT_FALSE(form->ContainersAlive());
            // A Start Scan after the close starts nothing.
            form->Bn_QLVO_StartScan->Click();
            EXPECT_FALSE(form->ScanRunning());
            form.reset();
        }
        EXPECT_LT(std::chrono::steady_clock::now() - started, 5s);
    }
    form = std::make_unique<TForm_QLVO_GUI>(Harness().FrontEnd());
}

// ---- Pictures to look at ----------------------------------------------------

// Not a check: with QUELVO_PREVIEW_DIR set, walks a user's path through
// every page and saves what the window shows at each stage, so that the
// front ends can be looked at and compared side by side.
TEST_F(FormTest, shouldPreviewEveryPage)
{
    const char* folder = std::getenv("QUELVO_PREVIEW_DIR");
    if (!folder || !*folder)
        GTEST_SKIP() << "set QUELVO_PREVIEW_DIR to a folder for the pictures";
    auto shoot = [&](const char* stage) {
        Harness().Wait(400ms);
        EXPECT_TRUE(Harness().SaveWindowImage(*form, std::string(folder) + "/" + stage)) << stage;
    };
    machine->FillThreeClasses();
    machine->Program(u".flac", u"flac.exe", false);
    for (int i = 0; i < 120; ++i)
        machine->Program(u".z" + platform::IntToText(i), u"player.exe", true);
    ShowForm();
    // The filter box as a user fills it in, emptied again for a scan of all.
    form->RED_QLVO_SearchExt->SetText(u".mp3 Wg");
    shoot("1-start");
    form->RED_QLVO_SearchExt->SetText(u"");
    scan::QLVO_Thread_Scan::SetExtensionPauseEnabled(true);
    Click(form->Bn_QLVO_StartScan);
    Harness().Wait(700ms);
    shoot("2-scanning");
    ASSERT_TRUE(Harness().WaitUntil([&] { return !form->ScanRunning(); }, 20s));
    shoot("3-report");
    Click(form->Bn_QLVO_FixNow);
    ClickLink(report::rows::CheckItem(u".avi"));
    ClickLink(report::rows::CheckItem(u".xyz"));
    shoot("4-after-repair");
    Click(form->Bn_QLVO_DownLoadSoftware);
    Harness().Wait(2500ms);
    shoot("5-lookup");
    {
        // What the browser shows is its own, not the window's: left out of comparisons.
        const frontend::TRect panel = form->Panel_QLVO_BG->Bounds();
        const frontend::TRect stack = form->RPC_QLVO_Step->Bounds();
        const frontend::TRect browser = form->WB_QLVO_FindSoftware->Bounds();
        std::ofstream(std::string(folder) + "/5-lookup.mask")
            << panel.left + stack.left + browser.left << ' ' << panel.top + stack.top + browser.top << ' '
            << browser.width << ' ' << browser.height << '\n';
    }
    Click(form->Bn_QLVO_PageAbout);
    shoot("6-about");
}
