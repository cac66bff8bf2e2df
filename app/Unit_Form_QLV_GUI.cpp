#include "app/Unit_Form_QLV_GUI.h"

#include "app/Unit_QLV_Lookup.h"
#include "app/Unit_QLV_MessageBox.h"
#include "frontend/LinkTargets.h"
#include "desktop/RepairTraces.h"
#include "platform/DataDir.h"
#include "platform/Target.h"
#include "platform/Text.h"
#include "platform/Thread.h"
#include "report/Unit_QLV_FileTypeLib.h"
#include "report/Unit_QLV_Report.h"
#include "report/Unit_QLV_ReportActions.h"
#include "report/Unit_QLV_ReportRows.h"
#include "scan/Unit_QLV_ScanRun.h"
#include "scan/Unit_QLV_Thread.h"
#include "scan/Unit_QLV_func_Registry.h"
#include "scan/Unit_QLV_func_Repair.h"

#include <array>
#include <cstdlib>
#include <filesystem>

namespace quelvo::app {

using frontend::TColor;
using frontend::TFontDesc;
using frontend::TRect;

TForm_QLVO_GUI* Form_QLVO_GUI = nullptr;

const std::u16string TForm_QLVO_GUI::kHomePage = u"https://www.quelvo.example";

namespace {

constexpr TColor clSkyBlue{166, 202, 240};
constexpr TColor clWhite{255, 255, 255};
constexpr TColor clBlack{0, 0, 0};
constexpr TColor clWindowText{0, 0, 0};

#ifdef _WIN32
constexpr char16_t kPathSeparator = u'\\';
#else
constexpr char16_t kPathSeparator = u'/';
#endif

markup::FontSpec WindowMarkupFont()
{
    markup::FontSpec font;
    font.face = u"Tahoma";
    font.points = 8;
    font.colour = markup::Rgb{0, 0, 0};
    return font;
}

TFontDesc Font(std::u16string face, int pixels, bool bold = false) { return TFontDesc{std::move(face), pixels, bold}; }

std::string ButtonArt(std::string_view art, std::string_view state)
{
    return "buttons/Bn_" + std::string(art) + "_" + std::string(state) + ".bmp";
}

// The worker of the current scan; valid only while it runs.
scan::QLVO_Thread_Scan* g_Thread_Scan = nullptr;

}  // namespace

std::u16string func_AppPathOf(std::u16string_view exePath, char16_t separator)
{
    const std::size_t last = exePath.find_last_of(u"\\/:");
    std::u16string dir(last == std::u16string_view::npos ? std::u16string_view() : exePath.substr(0, last + 1));
    if (dir.empty() || (dir.back() != u'\\' && dir.back() != u'/'))
        dir += separator;
    return dir;
}

std::u16string func_NormaliseSearchExt(std::u16string_view typed) { return report::NormaliseSearchExt(typed); }

std::u16string func_LookupHost() { return func_LookupHostText(); }

TForm_QLVO_GUI::TForm_QLVO_GUI(frontend::TFrontEnd& frontEnd) : FFrontEnd(frontEnd)
{
    Form_QLVO_GUI = this;
    FWindow = FFrontEnd.CreateMainWindow("Form_QLVO_GUI", 740, 530, clSkyBlue);
    FWindow->SetCaption(u"Quelvo");
    FWindow->OnShow = [this](TObject* sender) { Handle([&] { FormShow(sender); }); };
    FWindow->OnClose = [this](TObject* sender) { Handle([&] { FormClose(sender); }); };
    BuildComponents();
    FormCreate(FWindow.get());
}

TForm_QLVO_GUI::~TForm_QLVO_GUI()
{
    StopScan();
    FAlive.reset();
    if (scan::func_ScanReceiver() == this)
        scan::func_SetScanReceiver(nullptr);
    // The controls' events point back here: the window and its controls go first.
    FComponents.clear();
    FWindow.reset();
    if (Form_QLVO_GUI == this)
        Form_QLVO_GUI = nullptr;
}

void TForm_QLVO_GUI::Show() { FWindow->Show(); }

void TForm_QLVO_GUI::Close() { FWindow->Close(); }

void TForm_QLVO_GUI::Handle(const std::function<void()>& handler)
{
    func_RunHandler(FFrontEnd, FWindow.get(), handler);
}

template<typename T>
T* TForm_QLVO_GUI::Register(T* control)
{
    FComponents.push_back(control);
    return control;
}

frontend::TControl* TForm_QLVO_GUI::FindComponent(std::string_view name) const
{
    if (FWindow && FWindow->Name() == name)
        return FWindow.get();
    for (frontend::TControl* control : FComponents)
        if (control->Name() == name)
            return control;
    return nullptr;
}

void TForm_QLVO_GUI::BuildComponents()
{
    auto& f = FFrontEnd;
    Panel_QLVO_BG = Register(f.CreateSkinPanel(FWindow.get(), "Panel_QLVO_BG", {0, 0, 740, 530}, "background.png"));
    Panel_QLVO_BG->OnMouseDown = [this](TObject* sender, TMouseButton button, std::uint32_t shift, int x, int y) {
        Handle([&] { Panel_QLVO_BGMouseDown(sender, button, shift, x, y); });
    };

    RPC_QLVO_Step = Register(f.CreatePageStack(Panel_QLVO_BG, "RPC_QLVO_Step", {165, 59, 565, 463}));

    auto button = [&](const char* name, const char* art, int x, int y, bool navigation,
                      void (TForm_QLVO_GUI::*handler)(TObject*)) {
        TBitmapButton* b = Register(
            f.CreateButton(Panel_QLVO_BG, name, x, y, ButtonArt(art, "Up"), ButtonArt(art, "Hot"), navigation));
        b->OnClick = [this, handler](TObject* sender) { Handle([&] { (this->*handler)(sender); }); };
        return b;
    };
    Bn_QLVO_Close = button("Bn_QLVO_Close", "Close", 712, 3, false, &TForm_QLVO_GUI::Bn_QLVO_CloseClick);
    Bn_QLVO_PageScan = button("Bn_QLVO_PageScan", "PageScan", -1, 80, true, &TForm_QLVO_GUI::Bn_QLVO_PageScanClick);
    Bn_QLVO_PageHelp = button("Bn_QLVO_PageHelp", "PageHelp", -1, 126, true, &TForm_QLVO_GUI::Bn_QLVO_PageHelpClick);
    Bn_QLVO_PageAbout =
        button("Bn_QLVO_PageAbout", "PageAbout", -1, 173, true, &TForm_QLVO_GUI::Bn_QLVO_PageAboutClick);
    Bn_QLVO_Min = button("Bn_QLVO_Min", "Min", 691, 4, false, &TForm_QLVO_GUI::Bn_QLVO_MinClick);

    BuildStartPage();
    BuildScanningPage();
    BuildReportPage();
    BuildLookupPage();
    BuildAboutPage();
    SetTabOrders();

    // The window definition leaves the scanning page active; the show
    // handler moves to the start page before anything is seen.
    RPC_QLVO_Step->SetActivePage(TS_QLVO_Step2);
}

void TForm_QLVO_GUI::BuildStartPage()
{
    auto& f = FFrontEnd;
    TS_QLVO_Step1 = Register(f.CreatePage(RPC_QLVO_Step, "TS_QLVO_Step1", clSkyBlue));
    Image1 = Register(f.CreatePicture(TS_QLVO_Step1, "Image1", {0, 0, 565, 463}, "page_start.png"));
    RzLabel4 = Register(f.CreateLabel(TS_QLVO_Step1, "RzLabel4", {136, 344, 304, 16},
                                      u"When you are ready, click the Start Scan button", Font(u"Arial", 13, true),
                                      clWindowText, false));
    RzLabel5 = Register(f.CreateLabel(
        TS_QLVO_Step1, "RzLabel5", {32, 231, 410, 30},
        u"You can search for a specific file extension or leave the box blank to search all file extensions.",
        Font(u"Arial", 12), clWindowText, true));
    Bn_QLVO_StartScan = Register(f.CreateButton(TS_QLVO_Step1, "Bn_QLVO_StartScan", 175, 384,
                                                ButtonArt("StartScan", "Up"), ButtonArt("StartScan", "Hot"), false));
    Bn_QLVO_StartScan->OnClick = [this](TObject* sender) { Handle([&] { Bn_QLVO_StartScanClick(sender); }); };
    RED_QLVO_SearchExt = Register(f.CreateEdit(TS_QLVO_Step1, "RED_QLVO_SearchExt", {32, 267, 505, 21}));
}

void TForm_QLVO_GUI::BuildScanningPage()
{
    auto& f = FFrontEnd;
    TS_QLVO_Step2 = Register(f.CreatePage(RPC_QLVO_Step, "TS_QLVO_Step2", clSkyBlue));
    Image2 = Register(f.CreatePicture(TS_QLVO_Step2, "Image2", {0, 0, 565, 463}, "page_scanning.png"));

    const int tops[8] = {140, 175, 211, 248, 283, 320, 356, 390};
    TTextLabel** rows[8] = {&RLB_QLVO_ScanFileExtName1, &RLB_QLVO_ScanFileExtName2, &RLB_QLVO_ScanFileExtName3,
                            &RLB_QLVO_ScanFileExtName4, &RLB_QLVO_ScanFileExtName5, &RLB_QLVO_ScanFileExtName6,
                            &RLB_QLVO_ScanFileExtName7, &RLB_QLVO_ScanFileExtName8};
    for (int i = 0; i < 8; ++i) {
        const std::string name = "RLB_QLVO_ScanFileExtName" + std::to_string(i + 1);
        *rows[i] = Register(f.CreateLabel(TS_QLVO_Step2, name, {63, tops[i], 433, 22}, u".psc1", Font(u"Arial", 11),
                                          clWindowText, false));
    }

    ADP_QLVO_Scanning =
        Register(f.CreateAnimatedPicture(TS_QLVO_Step2, "ADP_QLVO_Scanning", {20, 25, 80, 74}, "scanning.gif"));

    RzPanel1 = Register(f.CreatePanel(TS_QLVO_Step2, "RzPanel1", {109, 12, 451, 89}));
    const TFontDesc tip = Font(u"Arial", 11, true);
    auto label = [&](const char* name, TRect r, std::u16string caption) {
        return Register(f.CreateLabel(RzPanel1, name, r, caption, tip, clWhite, false));
    };
    RzLabel1 = label("RzLabel1", {8, 21, 105, 13}, u"Status:");
    RzLabel2 = label("RzLabel2", {8, 43, 105, 13}, u"Scannning:");
    RzLabel3 = label("RzLabel3", {8, 64, 105, 13}, u"Scanned Count:");
    RLB_QLVO_TipScanning = label("RLB_QLVO_TipScanning", {119, 21, 329, 13},
                                 u"Analyzing computer registry for file extension problems...");
    RLB_QLVO_TipFileExtName = label("RLB_QLVO_TipFileExtName", {119, 43, 323, 13}, u".psc1");
    RLB_QLVO_TipScanCount = label("RLB_QLVO_TipScanCount", {119, 64, 325, 13}, u"268");
}

void TForm_QLVO_GUI::BuildReportPage()
{
    auto& f = FFrontEnd;
    TS_QLVO_Step3 = Register(f.CreatePage(RPC_QLVO_Step, "TS_QLVO_Step3", clSkyBlue));
    Image3 = Register(f.CreatePicture(TS_QLVO_Step3, "Image3", {0, 0, 565, 463}, "page_report.png"));
    RLB_QLVO_TipDetectedCount = Register(
        f.CreateMarkupLabel(TS_QLVO_Step3, "RLB_QLVO_TipDetectedCount", {112, 24, 425, 66}, WindowMarkupFont()));
    Bn_QLVO_FixNow = Register(f.CreateButton(TS_QLVO_Step3, "Bn_QLVO_FixNow", 307, 400, ButtonArt("FixNow", "Up"),
                                             ButtonArt("FixNow", "Hot"), false));
    Bn_QLVO_FixNow->OnClick = [this](TObject* sender) { Handle([&] { Bn_QLVO_FixNowClick(sender); }); };
    HLB_QLVO_InvailExeName = Register(
        f.CreateMarkupList(TS_QLVO_Step3, "HLB_QLVO_InvailExeName", {10, 108, 544, 286}, WindowMarkupFont(), 32));
    HLB_QLVO_InvailExeName->OnAnchorClick = [this](TObject* sender, int index, const std::u16string& anchor) {
        Handle([&] { HLB_QLVO_InvailExeNameAnchorClick(sender, index, anchor); });
    };
    Bn_QLVO_Step3_Cancel = Register(f.CreateButton(TS_QLVO_Step3, "Bn_QLVO_Step3_Cancel", 10, 413,
                                                   ButtonArt("Cancel", "Up"), ButtonArt("Cancel", "Hot"), false));
    Bn_QLVO_Step3_Cancel->OnClick = [this](TObject* sender) { Handle([&] { Bn_QLVO_Step3_CancelClick(sender); }); };
    // Same place as Fix Now; the two take turns once a scan has run.
    Bn_QLVO_DownLoadSoftware =
        Register(f.CreateButton(TS_QLVO_Step3, "Bn_QLVO_DownLoadSoftware", 307, 400, ButtonArt("Download", "Up"),
                                ButtonArt("Download", "Hot"), false));
    Bn_QLVO_DownLoadSoftware->OnClick = [this](TObject* sender) { Handle([&] { Bn_QLVO_FixNowClick(sender); }); };
    Bn_QLVO_DownLoadSoftware->SetVisible(false);
}

void TForm_QLVO_GUI::BuildLookupPage()
{
    auto& f = FFrontEnd;
    TS_QLVO_FindSoftware = Register(f.CreatePage(RPC_QLVO_Step, "TS_QLVO_FindSoftware", clSkyBlue));
    Image4 = Register(f.CreatePicture(TS_QLVO_FindSoftware, "Image4", {0, 0, 565, 463}, "page_lookup.png"));
    WB_QLVO_FindSoftware =
        Register(f.CreateWebBrowser(TS_QLVO_FindSoftware, "WB_QLVO_FindSoftware", {8, 11, 548, 401}));
    Bn_QLVO_FindSoftware_Back = Register(f.CreateButton(TS_QLVO_FindSoftware, "Bn_QLVO_FindSoftware_Back", 447, 424,
                                                        ButtonArt("Back", "Up"), ButtonArt("Back", "Hot"), false));
    Bn_QLVO_FindSoftware_Back->OnClick = [this](TObject* sender) {
        Handle([&] { Bn_QLVO_FindSoftware_BackClick(sender); });
    };
}

void TForm_QLVO_GUI::BuildAboutPage()
{
    auto& f = FFrontEnd;
    TS_QLVO_About = Register(f.CreatePage(RPC_QLVO_Step, "TS_QLVO_About", clWhite));
    Image5 = Register(f.CreatePicture(TS_QLVO_About, "Image5", {0, 0, 565, 463}, "page_about.png"));
    HLB_QLVO_CopyRightInfo =
        Register(f.CreateMarkupLabel(TS_QLVO_About, "HLB_QLVO_CopyRightInfo", {48, 90, 441, 55}, WindowMarkupFont()));
    HLB_QLVO_CopyRightInfo->OnAnchorClick = [this](TObject* sender, const std::u16string& anchor) {
        Handle([&] { HLB_QLVO_CopyRightInfoAnchorClick(sender, anchor); });
    };
    RzVersionInfoStatus1 = Register(
        f.CreateVersionPane(TS_QLVO_About, "RzVersionInfoStatus1", {55, 278, 169, 20}, u"Product version:", clBlack));
}

void TForm_QLVO_GUI::SetTabOrders()
{
    // The page stack comes first in the panel, so its pages' controls lead;
    // the panel's own buttons follow.
    FFrontEnd.SetTabOrder({
        Bn_QLVO_StartScan, RED_QLVO_SearchExt,                                                  // start page
        Bn_QLVO_FixNow, HLB_QLVO_InvailExeName, Bn_QLVO_Step3_Cancel, Bn_QLVO_DownLoadSoftware,  // report
        WB_QLVO_FindSoftware, Bn_QLVO_FindSoftware_Back,                                        // lookup page
        Bn_QLVO_Close, Bn_QLVO_PageScan, Bn_QLVO_PageHelp, Bn_QLVO_PageAbout, Bn_QLVO_Min,
    });
}

TTextLabel* TForm_QLVO_GUI::ScanFileExtNameLabel(int index) const
{
    const std::array<TTextLabel*, 8> rows = {RLB_QLVO_ScanFileExtName1, RLB_QLVO_ScanFileExtName2,
                                             RLB_QLVO_ScanFileExtName3, RLB_QLVO_ScanFileExtName4,
                                             RLB_QLVO_ScanFileExtName5, RLB_QLVO_ScanFileExtName6,
                                             RLB_QLVO_ScanFileExtName7, RLB_QLVO_ScanFileExtName8};
    return index >= 0 && index < 8 ? rows[static_cast<std::size_t>(index)] : nullptr;
}

bool TForm_QLVO_GUI::ContainersAlive() const
{
    return mpr_dic_FileType_Scaned && mpr_dic_Error_FileType_Scaned && mpr_dic_FileTypeLib &&
           mpr_dic_invalid_FileType && mpr_dic_valid_FileType && mpr_dic_Error_FileType && mpr_list_CheckFileType;
}

void TForm_QLVO_GUI::FormCreate(TObject*)
{
    mpr_dic_FileType_Scaned = std::make_unique<platform::TextDictionary>();
    mpr_dic_Error_FileType_Scaned = std::make_unique<platform::TextDictionary>();
    mpr_dic_FileTypeLib = std::make_unique<platform::TextDictionary>();
    mpr_dic_invalid_FileType = std::make_unique<platform::TextListDictionary>();
    mpr_dic_valid_FileType = std::make_unique<platform::TextListDictionary>();
    mpr_dic_Error_FileType = std::make_unique<platform::TextListDictionary>();
    mpr_list_CheckFileType = std::make_unique<std::vector<std::u16string>>();
    mpr_Bn_CurrentDis = Bn_QLVO_PageScan;
}

void TForm_QLVO_GUI::FormShow(TObject*)
{
    FWindow->SetCaption(u"Quelvo");
    mpr_str_CurrentAppPath = func_AppPathOf(FFrontEnd.ExecutablePath(), kPathSeparator);
    mpr_int_CurrentMode = 0;
    mpr_str_SearchExt.clear();
    // Both front ends paint every control through an off-screen buffer:
    // double buffering needs no switch here.
    Bn_QLVO_PageScanClick(Bn_QLVO_PageScan);
    RLB_QLVO_TipScanning->SetCaption(u"Analyzing computer registry for file extension problems...");
    HLB_QLVO_CopyRightInfo->ClearText();
    const std::u16string withoutScheme = kHomePage.substr(kHomePage.find(u"://") + 3);
    HLB_QLVO_CopyRightInfo->AddText(u"<B>Quelvo</B><br/><B>Copyright (C) 2026 Quelvo. All rights reserved.</B>"
                                    u"<br/><br/><A href=\"" +
                                    kHomePage + u"\">" + withoutScheme + u"</A>");
    RED_QLVO_SearchExt->SetText(std::u16string());
    if (mpr_Bn_CurrentDis)
        mpr_Bn_CurrentDis->SetEnabled(false);
}

void TForm_QLVO_GUI::FormClose(TObject*)
{
    StopScan();
    // Emptied before they are freed; the list dictionaries own their lists.
    for (auto* dictionary : {&mpr_dic_FileType_Scaned, &mpr_dic_Error_FileType_Scaned, &mpr_dic_FileTypeLib}) {
        if (*dictionary)
            (*dictionary)->Clear();
        dictionary->reset();
    }
    if (mpr_list_CheckFileType)
        mpr_list_CheckFileType->clear();
    mpr_list_CheckFileType.reset();
    for (auto* dictionary : {&mpr_dic_invalid_FileType, &mpr_dic_valid_FileType, &mpr_dic_Error_FileType}) {
        if (*dictionary)
            (*dictionary)->Clear();
        dictionary->reset();
    }
}

void TForm_QLVO_GUI::Bn_QLVO_CloseClick(TObject*) { FWindow->Close(); }

void TForm_QLVO_GUI::Bn_QLVO_MinClick(TObject*) { FWindow->Minimize(); }

void TForm_QLVO_GUI::Panel_QLVO_BGMouseDown(TObject*, TMouseButton Button, std::uint32_t, int, int)
{
    if (Button == TMouseButton::mbLeft)
        FWindow->StartMove();
}

void TForm_QLVO_GUI::SwitchSection(TBitmapButton* button, TPage* page)
{
    if (mpr_Bn_CurrentDis) {
        mpr_Bn_CurrentDis->SetEnabled(true);
        mpr_Bn_CurrentDis = button;
        button->SetEnabled(false);
    }
    RPC_QLVO_Step->SetActivePage(page);
}

void TForm_QLVO_GUI::Bn_QLVO_PageScanClick(TObject*) { SwitchSection(Bn_QLVO_PageScan, TS_QLVO_Step1); }

void TForm_QLVO_GUI::Bn_QLVO_PageAboutClick(TObject*) { SwitchSection(Bn_QLVO_PageAbout, TS_QLVO_About); }

void TForm_QLVO_GUI::Bn_QLVO_PageHelpClick(TObject*)
{
    // Beside the program, else in its prefix's share/quelvo (an installed program).
    FFrontEnd.ShellOpen(FWindow.get(), platform::func_DataDirFor(mpr_str_CurrentAppPath, u"Help.chm") + u"Help.chm");
}

void TForm_QLVO_GUI::Bn_QLVO_Step3_CancelClick(TObject*) { RPC_QLVO_Step->SetActivePage(TS_QLVO_Step1); }

void TForm_QLVO_GUI::HLB_QLVO_CopyRightInfoAnchorClick(TObject*, const std::u16string& Anchor)
{
    // The label itself opens web and mail targets after this event.
    if (!frontend::IsDesktopTarget(Anchor))
        FFrontEnd.ShellOpen(FWindow.get(), Anchor);
}

// ---- Scan, report, repair and lookup ---------------------------------------

bool TForm_QLVO_GUI::ScanRunning() const { return mpr_ScanControl && !mpr_ScanControl->Done(); }

void TForm_QLVO_GUI::SetScanningAnimation(bool on) { ADP_QLVO_Scanning->SetAnimate(on); }

void TForm_QLVO_GUI::Bn_QLVO_StartScanClick(TObject*)
{
    if (!ContainersAlive())
        return;
    // One worker and one set of containers: the running scan is shown
    // instead of a second one.
    if (ScanRunning()) {
        RPC_QLVO_Step->SetActivePage(TS_QLVO_Step2);
        return;
    }
    RPC_QLVO_Step->SetActivePage(TS_QLVO_Step2);
    SetScanningAnimation(true);
    mpr_str_SearchExt = func_NormaliseSearchExt(RED_QLVO_SearchExt->Text());

    mpr_ScanRunner = std::make_shared<platform::HandOverRunner>([this](platform::HandOverRunner::Task task) {
        {
            std::lock_guard lock(mpr_HandOverMutex);
            mpr_HandOvers.push_back(std::move(task));
        }
        FFrontEnd.Post([this, alive = std::weak_ptr<int>(FAlive)] {
            if (alive.lock())
                DrainHandOvers();
        });
    });
    g_Thread_Scan = scan::func_CreateScanWorker(*this, mpr_ScanRunner);
    mpr_ScanControl = g_Thread_Scan->Control();
    g_Thread_Scan->Start();
    mpr_int_CurrentMode = 1;
}

void TForm_QLVO_GUI::DrainHandOvers()
{
    for (;;) {
        std::function<void()> task;
        {
            std::lock_guard lock(mpr_HandOverMutex);
            if (mpr_HandOvers.empty())
                return;
            task = std::move(mpr_HandOvers.front());
            mpr_HandOvers.pop_front();
        }
        task();
    }
}

void TForm_QLVO_GUI::StopScan()
{
    if (!mpr_ScanControl)
        return;
    mpr_ScanControl->Terminate();
    if (mpr_ScanRunner)
        mpr_ScanRunner->Cancel();
    mpr_ScanControl->Wait();
    mpr_ScanControl.reset();
    mpr_ScanRunner.reset();
}

void TForm_QLVO_GUI::pro_cb_QV_Start()
{
    g_Thread_Scan->Synchronize([this] {
        mpr_int_CurIlistItem_Index = 0;
        int_str_ExeCount = 0;
        mpr_dic_FileType_Scaned->Clear();
        mpr_dic_Error_FileType_Scaned->Clear();
        Bn_QLVO_FixNow->SetVisible(false);
        Bn_QLVO_DownLoadSoftware->SetVisible(false);
        mpr_dic_invalid_FileType->Clear();
        mpr_dic_valid_FileType->Clear();
        mpr_dic_Error_FileType->Clear();
        mpr_list_CheckFileType->clear();
        mpr_list_CheckFileType->shrink_to_fit();
    });
}

void TForm_QLVO_GUI::pro_cb_QV_Scan_ExeName(const std::u16string& str_param_ExeName)
{
    mpr_str_ExeName = str_param_ExeName;
    g_Thread_Scan->Synchronize([this] { pro_cbsyn_QV_Scan_ExeName(); });
}

void TForm_QLVO_GUI::pro_cbsyn_QV_Scan_ExeName()
{
    RLB_QLVO_TipFileExtName->SetCaption(mpr_str_ExeName);
    ++int_str_ExeCount;
    RLB_QLVO_TipScanCount->SetCaption(platform::IntToText(int_str_ExeCount));
    ScanFileExtNameLabel(mpr_int_CurIlistItem_Index)->SetCaption(mpr_str_ExeName);
    mpr_int_CurIlistItem_Index = (mpr_int_CurIlistItem_Index + 1) % 8;
    // Last: the window may close in here, and nothing after it may touch state.
    FFrontEnd.ProcessMessages();
}

void TForm_QLVO_GUI::pro_cb_QV_Scan_ExeInfo(const std::u16string& str_param_ExeName,
                                            const std::u16string& str_param_ShellPath, int int_param_ErrorType)
{
    scan::func_RecordScanOutcome(*mpr_dic_FileType_Scaned, *mpr_dic_Error_FileType_Scaned, str_param_ExeName,
                                 str_param_ShellPath, int_param_ErrorType);
}

void TForm_QLVO_GUI::pro_cb_QV_End()
{
    g_Thread_Scan->Synchronize([this] { Handle([this] { pro_cbsyn_QV_End(); }); });
}

void TForm_QLVO_GUI::FillList(const std::vector<std::u16string>& rows)
{
    HLB_QLVO_InvailExeName->BeginUpdate();
    HLB_QLVO_InvailExeName->Clear();
    for (const auto& row : rows)
        HLB_QLVO_InvailExeName->Add(row);
    HLB_QLVO_InvailExeName->EndUpdate();
}

void TForm_QLVO_GUI::ShowCountLine(const std::u16string& line)
{
    RLB_QLVO_TipDetectedCount->ClearText();
    RLB_QLVO_TipDetectedCount->AddText(line);
}

void TForm_QLVO_GUI::pro_cbsyn_QV_End()
{
    const std::filesystem::path libFile(report::func_LibraryPathFor(mpr_str_CurrentAppPath));
    if (const auto problem = report::func_LoadLibraryOnce(libFile, *mpr_dic_FileTypeLib)) {
        // Without the library there is no report; say why rather than leave
        // the scanning page animating forever.
        SetScanningAnimation(false);
        func_ShowError(FFrontEnd, FWindow.get(), *problem);
        return;
    }

    report::TargetFileTest exists;
    report::ClassifyScanResults(*mpr_dic_FileType_Scaned, *mpr_dic_Error_FileType_Scaned, *mpr_dic_FileTypeLib,
                                mpr_str_SearchExt, exists.AsFunction(), *mpr_dic_Error_FileType,
                                *mpr_dic_invalid_FileType, *mpr_dic_valid_FileType);
    const report::ReportView view =
        report::BuildReport(*mpr_dic_Error_FileType, *mpr_dic_invalid_FileType, *mpr_dic_valid_FileType);
    // A registry read only in part is never reported as clean.
    const platform::ReadCondition read = platform::ActiveTarget().Registry().ReadState();
    FillList(view.rows);
    RPC_QLVO_Step->SetActivePage(TS_QLVO_Step3);
    ShowCountLine(report::CountLineFor(view, read.kind));
    Bn_QLVO_FixNow->SetVisible(true);
    Bn_QLVO_DownLoadSoftware->SetVisible(false);
    if (read.kind == platform::ReadCondition::Damaged)
        func_ShowMessage(FFrontEnd, FWindow.get(), read.text);
}

void TForm_QLVO_GUI::Bn_QLVO_FixNowClick(TObject*)
{
    SetScanningAnimation(false);
    if (mpr_int_CurrentMode == 2)
        OpenLookupPage();
    else if (mpr_int_CurrentMode == 1)
        RunRepair();
}

void TForm_QLVO_GUI::RunRepair()
{
    // One batch: a store kept in a file writes it once, under a busy cursor.
    const std::vector<std::u16string> extensions = report::ExtensionsToRepair(*mpr_dic_Error_FileType);
    FFrontEnd.SetBusyCursor(true);
    scan::RepairOutcome outcome;
    try {
        outcome = scan::func_RepairExtensions(extensions);
        RemoveDesktopTraces(extensions, outcome.fixed);
    } catch (...) {
        FFrontEnd.SetBusyCursor(false);
        throw;
    }
    FFrontEnd.SetBusyCursor(false);
    FRepairFailureReason = outcome.failureReason;

    const report::AfterRepairView view =
        report::BuildAfterRepairView(*mpr_dic_invalid_FileType, *mpr_dic_Error_FileType, outcome.fixed);
    FillList(view.rows);
    ShowCountLine(view.remainingLine);
    mpr_int_CurrentMode = 2;
    Bn_QLVO_FixNow->SetVisible(false);
    Bn_QLVO_DownLoadSoftware->SetVisible(true);
    // Once, after the repair: why some keys are still there (for the whole
    // repair when it was refused as a whole).
    if (outcome.nothingRemoved)
        func_ShowMessage(FFrontEnd, FWindow.get(),
                         std::u16string(report::messages::kRepairRefused) + u"\n\n" + FRepairFailureReason);
    else if (!FRepairFailureReason.empty())
        func_ShowMessage(FFrontEnd, FWindow.get(), RepairFailedMessage());
}

void TForm_QLVO_GUI::RemoveDesktopTraces(const std::vector<std::u16string>& extensions, const std::vector<bool>& fixed)
{
    // Wine's desktop entries of the keys just removed go with them; the
    // rows stay as they are, and what happened is said on standard error.
    std::vector<std::u16string> removed;
    for (std::size_t i = 0; i < extensions.size() && i < fixed.size(); ++i) {
        if (fixed[i])
            removed.push_back(extensions[i]);
    }
    for (const std::string& line : desktop::RemoveTracesOfRepair(platform::ActiveTarget(), removed).lines)
        std::fprintf(stderr, "quelvo: %s\n", line.c_str());
}

std::u16string TForm_QLVO_GUI::RepairFailedMessage() const
{
    std::u16string text(report::messages::kRepairFailed);
    if (!FRepairFailureReason.empty())
        text += u"\n\n" + FRepairFailureReason;
    return text;
}

void TForm_QLVO_GUI::OpenLookupPage()
{
    if (mpr_list_CheckFileType->empty())
        return;
    const std::u16string query = report::BuildLookupQuery(*mpr_list_CheckFileType);
    RPC_QLVO_Step->SetActivePage(TS_QLVO_FindSoftware);
    // The build's default host is answered by the service inside the program.
    WB_QLVO_FindSoftware->Navigate(
        func_LookupAddress(query, platform::func_DataDirFor(mpr_str_CurrentAppPath, u"lookup_catalogue.tsv")),
                                   frontend::navNoReadFromCache | frontend::navNoWriteToCache);
}

void TForm_QLVO_GUI::HLB_QLVO_InvailExeNameAnchorClick(TObject*, int Index, const std::u16string& Anchor)
{
    const report::AnchorClickOutcome outcome =
        report::DecideAnchorClick(mpr_int_CurrentMode, HLB_QLVO_InvailExeName->Item(Index), Anchor);
    if (outcome.rowText)
        HLB_QLVO_InvailExeName->SetItem(Index, *outcome.rowText);
    report::ApplyCheckListChange(outcome, *mpr_list_CheckFileType);
    if (outcome.message) {
        // A failed repair's row says why, as the store told it.
        const bool failedRow = *outcome.message == report::messages::kRepairFailed;
        func_ShowMessage(FFrontEnd, FWindow.get(), failedRow ? RepairFailedMessage() : *outcome.message);
    }
}

void TForm_QLVO_GUI::Bn_QLVO_FindSoftware_BackClick(TObject*) { RPC_QLVO_Step->SetActivePage(TS_QLVO_Step3); }

}  // namespace quelvo::app
