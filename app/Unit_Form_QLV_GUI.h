#pragma once

// The main window: a borderless, skinned, fixed-size wizard of 740 x 530
// pixels. A painted background panel holds the navigation column (Scan,
// Help, About), the Minimise and Close buttons and a stack of five pages.
// Pixels painted in the key colour clSkyBlue are neither shown nor
// clickable, which gives the window its rounded corners.
//
// The window owns all scan and report state: the seven containers below
// live from FormCreate to FormClose.

#include "platform/Dictionary.h"
#include "scan/Unit_QLVO_CBGUI.h"

#include <QColor>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QWidget>

#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class QWindow;

namespace quelvo::platform {
class HandOverRunner;
class ThreadControl;
}  // namespace quelvo::platform

namespace quelvo::markup {
class THTMLabel;
class THTMListBox;
class TPictureContainer;
}  // namespace quelvo::markup

namespace quelvo::widgets {
class TAdvSmoothPanel;
class TImage;
class TRzBmpButton;
class TRzEdit;
class TRzLabel;
class TRzPageControl;
class TRzPanel;
class TRzTabSheet;
class TRzVersionInfo;
class TRzVersionInfoStatus;
}  // namespace quelvo::widgets

namespace quelvo::app {

class TWebBrowser;

using widgets::TAdvSmoothPanel;
using widgets::TImage;
using widgets::TRzBmpButton;
using widgets::TRzEdit;
using widgets::TRzLabel;
using widgets::TRzPageControl;
using widgets::TRzPanel;
using widgets::TRzTabSheet;
using widgets::TRzVersionInfo;
using widgets::TRzVersionInfoStatus;
using markup::THTMLabel;
using markup::THTMListBox;
using markup::TPictureContainer;

// The platform's window move, as a left press on a title bar starts it.
// Replaceable so that tests can see the request.
using TWindowMoveHandler = std::function<void(QWindow* window)>;
TWindowMoveHandler SetWindowMoveHandler(TWindowMoveHandler handler);

// The directory part of an executable's full path: everything up to and
// including the last separator ('\\', '/' or ':'), always ending in a
// separator (`separator` is appended when it does not).
QString func_AppPathOf(const QString& exePath, QChar separator);

// Top-left of a window of `size` centred on the virtual desktop, never left
// of or above its top-left corner.
QPoint DesktopCentredPosition(const QRect& desktop, QSize size);

// The window region that is shown and clickable: every pixel of `composed`
// that is not exactly `keyColour`.
QRegion ColourKeyRegion(const QImage& composed, const QColor& keyColour);

// The scan filter from the text typed on the start page: trimmed of
// characters of code 32 or lower, a "." put in front when it lacks one, case
// kept. Blank text gives no filter.
std::u16string func_NormaliseSearchExt(const QString& typed);

// The host (or host:port) of the application lookup server: the environment
// variable QUELVO_LOOKUP_HOST when set and not empty, else the build's setting.
QString func_LookupHost();

class TForm_QLVO_GUI : public QWidget, public scan::ScanReceiver {
    Q_OBJECT
public:
    explicit TForm_QLVO_GUI(QWidget* parent = nullptr);
    ~TForm_QLVO_GUI() override;

    // Components, each with its name as objectName.
    TAdvSmoothPanel* Panel_QLVO_BG = nullptr;
    TPictureContainer* PictureContainer_QLVO = nullptr;
    TRzVersionInfo* RzVersionInfo1 = nullptr;
    TRzPageControl* RPC_QLVO_Step = nullptr;
    TRzBmpButton* Bn_QLVO_Close = nullptr;
    TRzBmpButton* Bn_QLVO_PageScan = nullptr;
    TRzBmpButton* Bn_QLVO_PageHelp = nullptr;
    TRzBmpButton* Bn_QLVO_PageAbout = nullptr;
    TRzBmpButton* Bn_QLVO_Min = nullptr;

    TRzTabSheet* TS_QLVO_Step1 = nullptr;
    TImage* Image1 = nullptr;
    TRzLabel* RzLabel4 = nullptr;
    TRzLabel* RzLabel5 = nullptr;
    TRzBmpButton* Bn_QLVO_StartScan = nullptr;
    TRzEdit* RED_QLVO_SearchExt = nullptr;

    TRzTabSheet* TS_QLVO_Step2 = nullptr;
    TImage* Image2 = nullptr;
    TRzLabel* RLB_QLVO_ScanFileExtName1 = nullptr;
    TRzLabel* RLB_QLVO_ScanFileExtName2 = nullptr;
    TRzLabel* RLB_QLVO_ScanFileExtName3 = nullptr;
    TRzLabel* RLB_QLVO_ScanFileExtName4 = nullptr;
    TRzLabel* RLB_QLVO_ScanFileExtName5 = nullptr;
    TRzLabel* RLB_QLVO_ScanFileExtName6 = nullptr;
    TRzLabel* RLB_QLVO_ScanFileExtName7 = nullptr;
    TRzLabel* RLB_QLVO_ScanFileExtName8 = nullptr;
    TImage* ADP_QLVO_Scanning = nullptr;
    TRzPanel* RzPanel1 = nullptr;
    TRzLabel* RzLabel1 = nullptr;
    TRzLabel* RzLabel2 = nullptr;
    TRzLabel* RzLabel3 = nullptr;
    TRzLabel* RLB_QLVO_TipScanning = nullptr;
    TRzLabel* RLB_QLVO_TipFileExtName = nullptr;
    TRzLabel* RLB_QLVO_TipScanCount = nullptr;

    TRzTabSheet* TS_QLVO_Step3 = nullptr;
    TImage* Image3 = nullptr;
    THTMLabel* RLB_QLVO_TipDetectedCount = nullptr;
    TRzBmpButton* Bn_QLVO_FixNow = nullptr;
    THTMListBox* HLB_QLVO_InvailExeName = nullptr;
    TRzBmpButton* Bn_QLVO_Step3_Cancel = nullptr;
    TRzBmpButton* Bn_QLVO_DownLoadSoftware = nullptr;

    TRzTabSheet* TS_QLVO_FindSoftware = nullptr;
    TImage* Image4 = nullptr;
    TWebBrowser* WB_QLVO_FindSoftware = nullptr;
    TRzBmpButton* Bn_QLVO_FindSoftware_Back = nullptr;

    TRzTabSheet* TS_QLVO_About = nullptr;
    TImage* Image5 = nullptr;
    THTMLabel* HLB_QLVO_CopyRightInfo = nullptr;
    TRzVersionInfoStatus* RzVersionInfoStatus1 = nullptr;

    // The window's own events.
    void FormCreate(QObject* Sender);
    void FormShow(QObject* Sender);
    void FormClose(QObject* Sender);

    // Window handlers.
    void Bn_QLVO_CloseClick(QObject* Sender);
    void Bn_QLVO_MinClick(QObject* Sender);
    void Panel_QLVO_BGMouseDown(QObject* Sender, Qt::MouseButton Button, Qt::KeyboardModifiers Shift,
                                int X, int Y);

    // Navigation.
    void Bn_QLVO_PageScanClick(QObject* Sender);
    void Bn_QLVO_PageAboutClick(QObject* Sender);
    void Bn_QLVO_PageHelpClick(QObject* Sender);
    void Bn_QLVO_Step3_CancelClick(QObject* Sender);
    void HLB_QLVO_CopyRightInfoAnchorClick(QObject* Sender, const QString& Anchor);

    // Scan, report, repair and lookup.
    void Bn_QLVO_StartScanClick(QObject* Sender);
    void Bn_QLVO_FixNowClick(QObject* Sender);
    void HLB_QLVO_InvailExeNameAnchorClick(QObject* Sender, int Index, const QString& Anchor);
    void Bn_QLVO_FindSoftware_BackClick(QObject* Sender);

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
    TRzLabel* ScanFileExtNameLabel(int index) const;

    // State seen from outside (tests, the worker's bridges).
    int CurrentMode() const { return mpr_int_CurrentMode; }
    const QString& CurrentAppPath() const { return mpr_str_CurrentAppPath; }
    // Where the window looks for its library file (tests point it elsewhere;
    // the show handler sets the program's folder).
    void SetCurrentAppPath(const QString& path) { mpr_str_CurrentAppPath = path; }
    const std::u16string& SearchExt() const { return mpr_str_SearchExt; }
    const std::vector<std::u16string>& CheckFileTypes() const { return *mpr_list_CheckFileType; }
    // True while a scan worker has not yet ended.
    bool ScanRunning() const;
    TRzBmpButton* CurrentSectionButton() const { return mpr_Bn_CurrentDis; }
    // True from FormCreate until FormClose freed the seven containers.
    bool ContainersAlive() const;

    // The About link's target, as the show handler writes it.
    static const QString kHomePage;

protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void BuildComponents();
    void BuildStartPage();
    void BuildScanningPage();
    void BuildReportPage();
    void BuildLookupPage();
    void BuildAboutPage();
    void SetTabOrders();
    void ApplyColourKey();
    void SwitchSection(TRzBmpButton* button, TRzTabSheet* page);
    // Ends a running scan before the containers go: later hand-overs are
    // cancelled, the worker is asked to stop and waited for.
    void StopScan();
    void SetScanningAnimation(bool on);
    void FillList(const std::vector<std::u16string>& rows);
    void ShowCountLine(const std::u16string& line);
    void RunRepair();
    void OpenLookupPage();
    // Runs the hand-overs the worker queued, oldest first.
    void DrainHandOvers();

    QString mpr_str_CurrentAppPath;
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
    TRzBmpButton* mpr_Bn_CurrentDis = nullptr;
    // The running scan's hand-overs and its stop-and-wait hold.
    std::shared_ptr<platform::HandOverRunner> mpr_ScanRunner;
    std::shared_ptr<platform::ThreadControl> mpr_ScanControl;
    // Hand-overs travel through this queue rather than inside Qt's events, so
    // that what the worker hands over is published under a lock of our own.
    std::mutex mpr_HandOverMutex;
    std::deque<std::function<void()>> mpr_HandOvers;

    bool FShown = false;
    // A drag the window follows itself, where the platform has no window move.
    bool FDragging = false;
    QPoint FDragOffset;
};

// The one main window.
extern TForm_QLVO_GUI* Form_QLVO_GUI;

}  // namespace quelvo::app
