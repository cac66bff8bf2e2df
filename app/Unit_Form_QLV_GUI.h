#pragma once

// The main window: a borderless, skinned, fixed-size wizard of 740 x 530
// pixels. A painted background panel holds the navigation column (Scan,
// Help, About), the Minimise and Close buttons and a stack of five pages.
// Pixels painted in the key colour clSkyBlue are neither shown nor
// clickable, which gives the window its rounded corners.
//
// The form is written once for every windowing system: it builds its
// component tree through a front end's factory and talks to the controls
// only through their interfaces. The window owns all scan and report state:
// the seven containers below live from FormCreate to FormClose.

#include "frontend/Controls.h"
#include "platform/Dictionary.h"
#include "scan/Unit_QLVO_CBGUI.h"

#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace quelvo::platform {
class HandOverRunner;
class ThreadControl;
}  // namespace quelvo::platform

namespace quelvo::app {

using frontend::TAnimatedPicture;
using frontend::TBitmapButton;
using frontend::TEditBox;
using frontend::TMainWindow;
using frontend::TMarkupLabel;
using frontend::TMarkupListBox;
using frontend::TMouseButton;
using frontend::TObject;
using frontend::TPage;
using frontend::TPageStack;
using frontend::TPanelControl;
using frontend::TPictureControl;
using frontend::TTextLabel;
using frontend::TVersionPane;
using frontend::TWebBrowserControl;

// The directory part of an executable's full path: everything up to and
// including the last separator ('\\', '/' or ':'), always ending in a
// separator (`separator` is appended when it does not).
std::u16string func_AppPathOf(std::u16string_view exePath, char16_t separator);

// The scan filter from the text typed on the start page: trimmed of
// characters of code 32 or lower, a "." put in front when it lacks one, case
// kept. Blank text gives no filter.
std::u16string func_NormaliseSearchExt(std::u16string_view typed);

// The host (or host:port) of the application lookup server: the environment
// variable QUELVO_LOOKUP_HOST when set and not empty, else the build's setting.
std::u16string func_LookupHost();

class TForm_QLVO_GUI : public scan::ScanReceiver {
public:
    explicit TForm_QLVO_GUI(frontend::TFrontEnd& frontEnd);
    ~TForm_QLVO_GUI() override;
    TForm_QLVO_GUI(const TForm_QLVO_GUI&) = delete;
    TForm_QLVO_GUI& operator=(const TForm_QLVO_GUI&) = delete;

    // The window itself; the first Show runs FormShow before it is visible.
    TMainWindow* Window() const { return FWindow.get(); }
    frontend::TFrontEnd& FrontEnd() const { return FFrontEnd; }
    void Show();
    void Close();

    // Components.
    TPanelControl* Panel_QLVO_BG = nullptr;
    TPageStack* RPC_QLVO_Step = nullptr;
    TBitmapButton* Bn_QLVO_Close = nullptr;
    TBitmapButton* Bn_QLVO_PageScan = nullptr;
    TBitmapButton* Bn_QLVO_PageHelp = nullptr;
    TBitmapButton* Bn_QLVO_PageAbout = nullptr;
    TBitmapButton* Bn_QLVO_Min = nullptr;

    TPage* TS_QLVO_Step1 = nullptr;
    TPictureControl* Image1 = nullptr;
    TTextLabel* RzLabel4 = nullptr;
    TTextLabel* RzLabel5 = nullptr;
    TBitmapButton* Bn_QLVO_StartScan = nullptr;
    TEditBox* RED_QLVO_SearchExt = nullptr;

    TPage* TS_QLVO_Step2 = nullptr;
    TPictureControl* Image2 = nullptr;
    TTextLabel* RLB_QLVO_ScanFileExtName1 = nullptr;
    TTextLabel* RLB_QLVO_ScanFileExtName2 = nullptr;
    TTextLabel* RLB_QLVO_ScanFileExtName3 = nullptr;
    TTextLabel* RLB_QLVO_ScanFileExtName4 = nullptr;
    TTextLabel* RLB_QLVO_ScanFileExtName5 = nullptr;
    TTextLabel* RLB_QLVO_ScanFileExtName6 = nullptr;
    TTextLabel* RLB_QLVO_ScanFileExtName7 = nullptr;
    TTextLabel* RLB_QLVO_ScanFileExtName8 = nullptr;
    TAnimatedPicture* ADP_QLVO_Scanning = nullptr;
    TPanelControl* RzPanel1 = nullptr;
    TTextLabel* RzLabel1 = nullptr;
    TTextLabel* RzLabel2 = nullptr;
    TTextLabel* RzLabel3 = nullptr;
    TTextLabel* RLB_QLVO_TipScanning = nullptr;
    TTextLabel* RLB_QLVO_TipFileExtName = nullptr;
    TTextLabel* RLB_QLVO_TipScanCount = nullptr;

    TPage* TS_QLVO_Step3 = nullptr;
    TPictureControl* Image3 = nullptr;
    TMarkupLabel* RLB_QLVO_TipDetectedCount = nullptr;
    TBitmapButton* Bn_QLVO_FixNow = nullptr;
    TMarkupListBox* HLB_QLVO_InvailExeName = nullptr;
    TBitmapButton* Bn_QLVO_Step3_Cancel = nullptr;
    TBitmapButton* Bn_QLVO_DownLoadSoftware = nullptr;

    TPage* TS_QLVO_FindSoftware = nullptr;
    TPictureControl* Image4 = nullptr;
    TWebBrowserControl* WB_QLVO_FindSoftware = nullptr;
    TBitmapButton* Bn_QLVO_FindSoftware_Back = nullptr;

    TPage* TS_QLVO_About = nullptr;
    TPictureControl* Image5 = nullptr;
    TMarkupLabel* HLB_QLVO_CopyRightInfo = nullptr;
    TVersionPane* RzVersionInfoStatus1 = nullptr;

    // The window's own events.
    void FormCreate(TObject* Sender);
    void FormShow(TObject* Sender);
    void FormClose(TObject* Sender);

    // Window handlers.
    void Bn_QLVO_CloseClick(TObject* Sender);
    void Bn_QLVO_MinClick(TObject* Sender);
    void Panel_QLVO_BGMouseDown(TObject* Sender, TMouseButton Button, std::uint32_t Shift, int X, int Y);

    // Navigation.
    void Bn_QLVO_PageScanClick(TObject* Sender);
    void Bn_QLVO_PageAboutClick(TObject* Sender);
    void Bn_QLVO_PageHelpClick(TObject* Sender);
    void Bn_QLVO_Step3_CancelClick(TObject* Sender);
    void HLB_QLVO_CopyRightInfoAnchorClick(TObject* Sender, const std::u16string& Anchor);

    // Scan, report, repair and lookup.
    void Bn_QLVO_StartScanClick(TObject* Sender);
    void Bn_QLVO_FixNowClick(TObject* Sender);
    void HLB_QLVO_InvailExeNameAnchorClick(TObject* Sender, int Index, const std::u16string& Anchor);
    void Bn_QLVO_FindSoftware_BackClick(TObject* Sender);

    // What the scan worker calls (the pro_cb_ methods on the worker thread,
    // the pro_cbsyn_ halves on the UI thread).
    void pro_cb_QV_Start() override;
    void pro_cb_QV_Scan_ExeName(const std::u16string& str_param_ExeName) override;
    void pro_cbsyn_QV_Scan_ExeName();
    void pro_cb_QV_Scan_ExeInfo(const std::u16string& str_param_ExeName,
                                const std::u16string& str_param_ShellPath, int int_param_ErrorType) override;
    void pro_cb_QV_End() override;
    void pro_cbsyn_QV_End();

    // The rolling progress labels RLB_QLVO_ScanFileExtName1..8 by index 0..7
    // (none outside).
    TTextLabel* ScanFileExtNameLabel(int index) const;

    // State seen from outside (tests, the worker's bridges).
    int CurrentMode() const { return mpr_int_CurrentMode; }
    const std::u16string& CurrentAppPath() const { return mpr_str_CurrentAppPath; }
    // Where the window looks for its library file (tests point it elsewhere;
    // the show handler sets the program's folder).
    void SetCurrentAppPath(std::u16string path) { mpr_str_CurrentAppPath = std::move(path); }
    const std::u16string& SearchExt() const { return mpr_str_SearchExt; }
    const std::vector<std::u16string>& CheckFileTypes() const { return *mpr_list_CheckFileType; }
    // True while a scan worker has not yet ended.
    bool ScanRunning() const;
    TBitmapButton* CurrentSectionButton() const { return mpr_Bn_CurrentDis; }
    // True from FormCreate until FormClose freed the seven containers.
    bool ContainersAlive() const;
    // Every control, by component name (none when there is no such control).
    frontend::TControl* FindComponent(std::string_view name) const;

    // The About link's target, as the show handler writes it.
    static const std::u16string kHomePage;

private:
    void BuildComponents();
    void BuildStartPage();
    void BuildScanningPage();
    void BuildReportPage();
    void BuildLookupPage();
    void BuildAboutPage();
    void SetTabOrders();
    template<typename T>
    T* Register(T* control);
    void SwitchSection(TBitmapButton* button, TPage* page);
    // Ends a running scan before the containers go: later hand-overs are
    // cancelled, the worker is asked to stop and waited for.
    void StopScan();
    void SetScanningAnimation(bool on);
    void FillList(const std::vector<std::u16string>& rows);
    void ShowCountLine(const std::u16string& line);
    void RunRepair();
    void RemoveDesktopTraces(const std::vector<std::u16string>& extensions, const std::vector<bool>& fixed);
    // The message of a "Fix failed" row: what failed, and the store's reason.
    std::u16string RepairFailedMessage() const;
    void OpenLookupPage();
    // Runs the hand-overs the worker queued, oldest first.
    void DrainHandOvers();
    // Runs an event handler with the window's error rule.
    void Handle(const std::function<void()>& handler);

    frontend::TFrontEnd& FFrontEnd;
    std::unique_ptr<TMainWindow> FWindow;
    std::vector<frontend::TControl*> FComponents;

    std::u16string mpr_str_CurrentAppPath;
    int mpr_int_CurrentMode = 0;
    std::unique_ptr<platform::TextDictionary> mpr_dic_FileType_Scaned;
    std::unique_ptr<platform::TextDictionary> mpr_dic_Error_FileType_Scaned;
    std::unique_ptr<platform::TextDictionary> mpr_dic_FileTypeLib;
    std::unique_ptr<platform::TextListDictionary> mpr_dic_invalid_FileType;
    std::unique_ptr<platform::TextListDictionary> mpr_dic_valid_FileType;
    std::unique_ptr<platform::TextListDictionary> mpr_dic_Error_FileType;
    std::unique_ptr<std::vector<std::u16string>> mpr_list_CheckFileType;
    std::u16string mpr_str_SearchExt;
    int mpr_int_CurIlistItem_Index = 0;
    std::u16string mpr_str_ExeName;
    int int_str_ExeCount = 0;
    TBitmapButton* mpr_Bn_CurrentDis = nullptr;
    // Why the last repair left keys in place, as the store said (empty when
    // every key went).
    std::u16string FRepairFailureReason;
    // The running scan's hand-overs and its stop-and-wait hold.
    std::shared_ptr<platform::HandOverRunner> mpr_ScanRunner;
    std::shared_ptr<platform::ThreadControl> mpr_ScanControl;
    // Hand-overs travel through this queue under a lock of our own, so that
    // what the worker hands over is published whatever the front end's
    // event queue does; the front end only wakes the UI thread.
    std::mutex mpr_HandOverMutex;
    std::deque<std::function<void()>> mpr_HandOvers;
    // Posted wake-ups check it, so none runs after the form is gone.
    std::shared_ptr<int> FAlive = std::make_shared<int>(0);
};

// The one main window.
extern TForm_QLVO_GUI* Form_QLVO_GUI;

}  // namespace quelvo::app
