#include "app/Unit_Form_QLV_GUI.h"

#include "app/QuelvoVersion.h"
#include "app/TWebBrowser.h"
#include "app/Unit_QLV_MessageBox.h"
#include "app/Unit_QLV_Shell.h"
#include "markup/qt/Desktop.h"
#include "markup/qt/HTMLabel.h"
#include "markup/qt/HTMListB.h"
#include "markup/qt/PictureContainer.h"
#include "platform/DataDir.h"
#include "platform/Target.h"
#include "platform/Text.h"
#include "platform/TextFile.h"
#include "platform/Thread.h"
#include "report/Unit_QLV_FileTypeLib.h"
#include "report/Unit_QLV_Report.h"
#include "report/Unit_QLV_ReportActions.h"
#include "scan/Unit_QLV_Thread.h"
#include "scan/Unit_QLV_func_Registry.h"
#include "widgets/Colors.h"
#include "widgets/TAdvSmoothPanel.h"
#include "widgets/TImage.h"
#include "widgets/TRzBmpButton.h"
#include "widgets/TRzEdit.h"
#include "widgets/TRzLabel.h"
#include "widgets/TRzPageControl.h"
#include "widgets/TRzPanel.h"
#include "widgets/TRzVersionInfo.h"
#include "widgets/TRzVersionInfoStatus.h"

#include <QApplication>
#include <QBitmap>
#include <QCloseEvent>
#include <QCursor>
#include <QDir>
#include <QMouseEvent>
#include <QWebEngineProfile>
#include <QRegion>
#include <QScreen>
#include <QUrl>
#include <QWindow>

#include <algorithm>
#include <array>
#include <filesystem>
#include <unordered_map>

namespace quelvo::app {

using widgets::clSkyBlue;
using widgets::clWhite;
using widgets::clWindowText;
using widgets::TRzBmpSlot;

TForm_QLVO_GUI* Form_QLVO_GUI = nullptr;

const QString TForm_QLVO_GUI::kHomePage = QStringLiteral("https://www.quelvo.example");

namespace {

TWindowMoveHandler& MoveHandler()
{
    static TWindowMoveHandler handler;
    return handler;
}

QString Artwork(const QString& name) { return QStringLiteral(":/artwork/") + name; }

QFont PixelFont(const QString& family, int pixels, bool bold = false)
{
    QFont font(family);
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

markup::FontSpec WindowMarkupFont()
{
    markup::FontSpec font;
    font.face = u"Tahoma";
    font.points = 8;
    font.colour = markup::Rgb{0, 0, 0};
    return font;
}

// Event slots run their handler with the window's error rule.
template<typename... Args>
std::function<void(Args...)> Bind(TForm_QLVO_GUI* form, void (TForm_QLVO_GUI::*method)(Args...))
{
    return [form, method](Args... args) { func_RunHandler(form, [&] { (form->*method)(args...); }); };
}

template<typename T>
T* Named(T* widget, const char* name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

// A skinned button: Up picture, and the one highlighted picture as Hot and
// Down (and Disabled for the navigation column).
TRzBmpButton* MakeButton(QWidget* parent, const char* name, const QString& art, QPoint at,
                         bool withDisabled)
{
    auto* button = Named(new TRzBmpButton(parent), name);
    const QImage up(Artwork(QStringLiteral("buttons/Bn_%1_Up.bmp").arg(art)));
    const QImage hot(Artwork(QStringLiteral("buttons/Bn_%1_Hot.bmp").arg(art)));
    button->SetBitmap(TRzBmpSlot::Up, up);
    button->SetBitmap(TRzBmpSlot::Hot, hot);
    button->SetBitmap(TRzBmpSlot::Down, hot);
    if (withDisabled)
        button->SetBitmap(TRzBmpSlot::Disabled, hot);
    button->move(at);
    return button;
}

TRzLabel* MakeLabel(QWidget* parent, const char* name, const QRect& rect, const QString& caption,
                    const QFont& font, const QColor& colour, bool wordWrap = false)
{
    auto* label = Named(new TRzLabel(parent), name);
    label->SetAutoSize(false);
    label->SetWordWrap(wordWrap);
    label->SetLabelFont(font);
    label->SetFontColor(colour);
    label->SetCaption(caption);
    label->setGeometry(rect);
    return label;
}

TImage* MakePageImage(QWidget* page, const char* name, const QString& art)
{
    auto* image = Named(new TImage(page), name);
    image->setGeometry(0, 0, 565, 463);
    image->LoadFromFile(Artwork(art));
    return image;
}

TRzTabSheet* MakePage(TRzPageControl* stack, const char* name, const QColor& colour)
{
    auto* page = Named(new TRzTabSheet(stack), name);
    page->SetColor(colour);
    return page;
}

}  // namespace

TWindowMoveHandler SetWindowMoveHandler(TWindowMoveHandler handler)
{
    TWindowMoveHandler previous = std::move(MoveHandler());
    MoveHandler() = std::move(handler);
    return previous;
}

QString func_AppPathOf(const QString& exePath, QChar separator)
{
    qsizetype last = -1;
    for (QChar c : {QChar(u'\\'), QChar(u'/'), QChar(u':')})
        last = std::max(last, exePath.lastIndexOf(c));
    QString dir = exePath.left(last + 1);
    if (!dir.endsWith(u'\\') && !dir.endsWith(u'/'))
        dir += separator;
    return dir;
}

QPoint DesktopCentredPosition(const QRect& desktop, QSize size)
{
    const int left = desktop.left() + desktop.width() / 2 - size.width() / 2;
    const int top = desktop.top() + desktop.height() / 2 - size.height() / 2;
    return {std::max(left, desktop.left()), std::max(top, desktop.top())};
}

QRegion ColourKeyRegion(const QImage& composed, const QColor& keyColour)
{
    const QImage opaque = composed.convertToFormat(QImage::Format_RGB32);
    const QImage mask = opaque.createMaskFromColor(keyColour.rgb(), Qt::MaskInColor);
    return QRegion(QBitmap::fromImage(mask));
}

TForm_QLVO_GUI::TForm_QLVO_GUI(QWidget* parent) : QWidget(parent, Qt::Window | Qt::FramelessWindowHint)
{
    Form_QLVO_GUI = this;
    setObjectName(QStringLiteral("Form_QLVO_GUI"));
    setWindowTitle(QStringLiteral("Quelvo"));
    setWindowIcon(QIcon(Artwork(QStringLiteral("quelvo.png"))));
    setFont(PixelFont(QStringLiteral("Tahoma"), 11));
    QPalette pal = palette();
    pal.setColor(QPalette::Window, clSkyBlue());
    pal.setColor(QPalette::WindowText, clWindowText());
    setPalette(pal);
    setAutoFillBackground(true);

    BuildComponents();
    setFixedSize(Panel_QLVO_BG->size());
    move(DesktopCentredPosition(QGuiApplication::primaryScreen()
                                    ? QGuiApplication::primaryScreen()->virtualGeometry()
                                    : QRect(0, 0, 740, 530),
                                size()));
    ApplyColourKey();
    FormCreate(this);
}

TForm_QLVO_GUI::~TForm_QLVO_GUI()
{
    StopScan();
    if (scan::func_ScanReceiver() == this)
        scan::func_SetScanReceiver(nullptr);
    if (Form_QLVO_GUI == this)
        Form_QLVO_GUI = nullptr;
}

void TForm_QLVO_GUI::BuildComponents()
{
    Panel_QLVO_BG = Named(new TAdvSmoothPanel(this), "Panel_QLVO_BG");
    Panel_QLVO_BG->setGeometry(0, 0, 740, 530);
    Panel_QLVO_BG->SetFill(QImage(Artwork(QStringLiteral("background.png"))));
    Panel_QLVO_BG->OnMouseDown = Bind(this, &TForm_QLVO_GUI::Panel_QLVO_BGMouseDown);
    Panel_QLVO_BG->installEventFilter(this);

    PictureContainer_QLVO = Named(new TPictureContainer(this), "PictureContainer_QLVO");
    PictureContainer_QLVO->LoadFolder(Artwork(QStringLiteral("pictures")));

    if (!widgets::ExecutableVersionReader())
        widgets::SetExecutableVersionReader(&EmbeddedVersionData);
    RzVersionInfo1 = Named(new TRzVersionInfo(this), "RzVersionInfo1");

    RPC_QLVO_Step = Named(new TRzPageControl(Panel_QLVO_BG), "RPC_QLVO_Step");
    RPC_QLVO_Step->setGeometry(165, 59, 565, 463);

    Bn_QLVO_Close = MakeButton(Panel_QLVO_BG, "Bn_QLVO_Close", "Close", {712, 3}, false);
    Bn_QLVO_Close->OnClick = Bind(this, &TForm_QLVO_GUI::Bn_QLVO_CloseClick);
    Bn_QLVO_PageScan = MakeButton(Panel_QLVO_BG, "Bn_QLVO_PageScan", "PageScan", {-1, 80}, true);
    Bn_QLVO_PageScan->OnClick = Bind(this, &TForm_QLVO_GUI::Bn_QLVO_PageScanClick);
    Bn_QLVO_PageHelp = MakeButton(Panel_QLVO_BG, "Bn_QLVO_PageHelp", "PageHelp", {-1, 126}, true);
    Bn_QLVO_PageHelp->OnClick = Bind(this, &TForm_QLVO_GUI::Bn_QLVO_PageHelpClick);
    Bn_QLVO_PageAbout = MakeButton(Panel_QLVO_BG, "Bn_QLVO_PageAbout", "PageAbout", {-1, 173}, true);
    Bn_QLVO_PageAbout->OnClick = Bind(this, &TForm_QLVO_GUI::Bn_QLVO_PageAboutClick);
    Bn_QLVO_Min = MakeButton(Panel_QLVO_BG, "Bn_QLVO_Min", "Min", {691, 4}, false);
    Bn_QLVO_Min->OnClick = Bind(this, &TForm_QLVO_GUI::Bn_QLVO_MinClick);

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
    TS_QLVO_Step1 = MakePage(RPC_QLVO_Step, "TS_QLVO_Step1", clSkyBlue());
    Image1 = MakePageImage(TS_QLVO_Step1, "Image1", QStringLiteral("page_start.png"));
    RzLabel4 = MakeLabel(TS_QLVO_Step1, "RzLabel4", {136, 344, 304, 16},
                         QStringLiteral("When you are ready, click the Start Scan button"),
                         PixelFont(QStringLiteral("Arial"), 13, true), clWindowText());
    RzLabel5 = MakeLabel(TS_QLVO_Step1, "RzLabel5", {32, 231, 410, 30},
                         QStringLiteral("You can search for a specific file extension or leave the box "
                                        "blank to search all file extensions."),
                         PixelFont(QStringLiteral("Arial"), 12), clWindowText(), true);
    Bn_QLVO_StartScan = MakeButton(TS_QLVO_Step1, "Bn_QLVO_StartScan", "StartScan", {175, 384}, false);
    Bn_QLVO_StartScan->OnClick = Bind(this, &TForm_QLVO_GUI::Bn_QLVO_StartScanClick);
    RED_QLVO_SearchExt = Named(new TRzEdit(TS_QLVO_Step1), "RED_QLVO_SearchExt");
    RED_QLVO_SearchExt->setGeometry(32, 267, 505, 21);
    RED_QLVO_SearchExt->SetColor(clWhite());
    RED_QLVO_SearchExt->SetFrameVisible(true);
}

void TForm_QLVO_GUI::BuildScanningPage()
{
    TS_QLVO_Step2 = MakePage(RPC_QLVO_Step, "TS_QLVO_Step2", clSkyBlue());
    Image2 = MakePageImage(TS_QLVO_Step2, "Image2", QStringLiteral("page_scanning.png"));

    const QFont rowFont = PixelFont(QStringLiteral("Arial"), 11);
    const int tops[8] = {140, 175, 211, 248, 283, 320, 356, 390};
    TRzLabel** rows[8] = {&RLB_QLVO_ScanFileExtName1, &RLB_QLVO_ScanFileExtName2, &RLB_QLVO_ScanFileExtName3,
                          &RLB_QLVO_ScanFileExtName4, &RLB_QLVO_ScanFileExtName5, &RLB_QLVO_ScanFileExtName6,
                          &RLB_QLVO_ScanFileExtName7, &RLB_QLVO_ScanFileExtName8};
    for (int i = 0; i < 8; ++i) {
        const QByteArray name = "RLB_QLVO_ScanFileExtName" + QByteArray::number(i + 1);
        *rows[i] = MakeLabel(TS_QLVO_Step2, name.constData(), {63, tops[i], 433, 22},
                             QStringLiteral(".psc1"), rowFont, clWindowText());
    }

    ADP_QLVO_Scanning = Named(new TImage(TS_QLVO_Step2), "ADP_QLVO_Scanning");
    ADP_QLVO_Scanning->setGeometry(20, 25, 80, 74);
    ADP_QLVO_Scanning->LoadFromFile(Artwork(QStringLiteral("scanning.gif")));

    RzPanel1 = Named(new TRzPanel(TS_QLVO_Step2), "RzPanel1");
    RzPanel1->setGeometry(109, 12, 451, 89);
    const QFont tipFont = PixelFont(QStringLiteral("Arial"), 11, true);
    RzLabel1 = MakeLabel(RzPanel1, "RzLabel1", {8, 21, 105, 13}, QStringLiteral("Status:"), tipFont, clWhite());
    RzLabel2 = MakeLabel(RzPanel1, "RzLabel2", {8, 43, 105, 13}, QStringLiteral("Scannning:"), tipFont, clWhite());
    RzLabel3 = MakeLabel(RzPanel1, "RzLabel3", {8, 64, 105, 13}, QStringLiteral("Scanned Count:"), tipFont,
                         clWhite());
    RLB_QLVO_TipScanning =
        MakeLabel(RzPanel1, "RLB_QLVO_TipScanning", {119, 21, 329, 13},
                  QStringLiteral("Analyzing computer registry for file extension problems..."), tipFont, clWhite());
    RLB_QLVO_TipFileExtName = MakeLabel(RzPanel1, "RLB_QLVO_TipFileExtName", {119, 43, 323, 13},
                                        QStringLiteral(".psc1"), tipFont, clWhite());
    RLB_QLVO_TipScanCount = MakeLabel(RzPanel1, "RLB_QLVO_TipScanCount", {119, 64, 325, 13},
                                      QStringLiteral("268"), tipFont, clWhite());
}

void TForm_QLVO_GUI::BuildReportPage()
{
    TS_QLVO_Step3 = MakePage(RPC_QLVO_Step, "TS_QLVO_Step3", clSkyBlue());
    Image3 = MakePageImage(TS_QLVO_Step3, "Image3", QStringLiteral("page_report.png"));

    RLB_QLVO_TipDetectedCount = Named(new THTMLabel(TS_QLVO_Step3), "RLB_QLVO_TipDetectedCount");
    RLB_QLVO_TipDetectedCount->setGeometry(112, 24, 425, 66);
    RLB_QLVO_TipDetectedCount->SetTransparent(true);
    RLB_QLVO_TipDetectedCount->SetFont(WindowMarkupFont());

    Bn_QLVO_FixNow = MakeButton(TS_QLVO_Step3, "Bn_QLVO_FixNow", "FixNow", {307, 400}, false);
    Bn_QLVO_FixNow->OnClick = Bind(this, &TForm_QLVO_GUI::Bn_QLVO_FixNowClick);

    HLB_QLVO_InvailExeName = Named(new THTMListBox(TS_QLVO_Step3), "HLB_QLVO_InvailExeName");
    HLB_QLVO_InvailExeName->setGeometry(10, 108, 544, 286);
    HLB_QLVO_InvailExeName->SetBorderStyle(markup::bsNone);
    HLB_QLVO_InvailExeName->SetColor(clWhite());
    HLB_QLVO_InvailExeName->SetFont(WindowMarkupFont());
    HLB_QLVO_InvailExeName->SetAutoItemHeight(false);
    HLB_QLVO_InvailExeName->SetItemHeight(32);
    HLB_QLVO_InvailExeName->SetMultiline(true);
    HLB_QLVO_InvailExeName->SetSorted(false);
    HLB_QLVO_InvailExeName->SetPictureContainer(PictureContainer_QLVO);
    HLB_QLVO_InvailExeName->SetShowFocus(false);
    HLB_QLVO_InvailExeName->SetShowSelection(false);
    HLB_QLVO_InvailExeName->SetSelectionColor(clWhite());
    HLB_QLVO_InvailExeName->SetSelectionFontColor(QColor(0, 0, 0));
    HLB_QLVO_InvailExeName->SetAutoFocus(true);
    HLB_QLVO_InvailExeName->OnAnchorClick = Bind(this, &TForm_QLVO_GUI::HLB_QLVO_InvailExeNameAnchorClick);

    Bn_QLVO_Step3_Cancel = MakeButton(TS_QLVO_Step3, "Bn_QLVO_Step3_Cancel", "Cancel", {10, 413}, false);
    Bn_QLVO_Step3_Cancel->OnClick = Bind(this, &TForm_QLVO_GUI::Bn_QLVO_Step3_CancelClick);

    // Same place as Fix Now; the two take turns once a scan has run.
    Bn_QLVO_DownLoadSoftware =
        MakeButton(TS_QLVO_Step3, "Bn_QLVO_DownLoadSoftware", "Download", {307, 400}, false);
    Bn_QLVO_DownLoadSoftware->OnClick = Bind(this, &TForm_QLVO_GUI::Bn_QLVO_FixNowClick);
    Bn_QLVO_DownLoadSoftware->hide();
}

void TForm_QLVO_GUI::BuildLookupPage()
{
    TS_QLVO_FindSoftware = MakePage(RPC_QLVO_Step, "TS_QLVO_FindSoftware", clSkyBlue());
    Image4 = MakePageImage(TS_QLVO_FindSoftware, "Image4", QStringLiteral("page_lookup.png"));
    WB_QLVO_FindSoftware = Named(new TWebBrowser(TS_QLVO_FindSoftware), "WB_QLVO_FindSoftware");
    WB_QLVO_FindSoftware->setGeometry(8, 11, 548, 401);
    Bn_QLVO_FindSoftware_Back =
        MakeButton(TS_QLVO_FindSoftware, "Bn_QLVO_FindSoftware_Back", "Back", {447, 424}, false);
    Bn_QLVO_FindSoftware_Back->OnClick = Bind(this, &TForm_QLVO_GUI::Bn_QLVO_FindSoftware_BackClick);
}

void TForm_QLVO_GUI::BuildAboutPage()
{
    TS_QLVO_About = MakePage(RPC_QLVO_Step, "TS_QLVO_About", clWhite());
    Image5 = MakePageImage(TS_QLVO_About, "Image5", QStringLiteral("page_about.png"));

    HLB_QLVO_CopyRightInfo = Named(new THTMLabel(TS_QLVO_About), "HLB_QLVO_CopyRightInfo");
    HLB_QLVO_CopyRightInfo->setGeometry(48, 90, 441, 55);
    HLB_QLVO_CopyRightInfo->SetTransparent(true);
    HLB_QLVO_CopyRightInfo->SetFont(WindowMarkupFont());
    HLB_QLVO_CopyRightInfo->OnAnchorClick = Bind(this, &TForm_QLVO_GUI::HLB_QLVO_CopyRightInfoAnchorClick);

    RzVersionInfoStatus1 = Named(new TRzVersionInfoStatus(TS_QLVO_About), "RzVersionInfoStatus1");
    RzVersionInfoStatus1->setGeometry(55, 278, 169, 20);
    RzVersionInfoStatus1->SetFieldLabel(QStringLiteral("Product version:"));
    RzVersionInfoStatus1->SetFieldLabelColor(widgets::clBlack());
    RzVersionInfoStatus1->SetField(widgets::TRzVersionInfoField::vifFileVersion);
    RzVersionInfoStatus1->SetVersionInfo(RzVersionInfo1);
}

void TForm_QLVO_GUI::SetTabOrders()
{
    // The page stack comes first in the panel, so its pages' controls lead;
    // the panel's own buttons follow.
    const std::vector<QWidget*> chain = {
        Bn_QLVO_StartScan, RED_QLVO_SearchExt,                                          // start page
        Bn_QLVO_FixNow, HLB_QLVO_InvailExeName, Bn_QLVO_Step3_Cancel, Bn_QLVO_DownLoadSoftware,  // report
        WB_QLVO_FindSoftware, Bn_QLVO_FindSoftware_Back,                                // lookup page
        Bn_QLVO_Close, Bn_QLVO_PageScan, Bn_QLVO_PageHelp, Bn_QLVO_PageAbout, Bn_QLVO_Min,
    };
    for (std::size_t i = 1; i < chain.size(); ++i)
        QWidget::setTabOrder(chain[i - 1], chain[i]);
}

void TForm_QLVO_GUI::ApplyColourKey()
{
    // X11 has no colour-keyed windows: the key-coloured pixels of the
    // composed background are cut out of the window's shape instead.
    setMask(ColourKeyRegion(Panel_QLVO_BG->Composed(), clSkyBlue()));
}

TRzLabel* TForm_QLVO_GUI::ScanFileExtNameLabel(int index) const
{
    const std::array<TRzLabel*, 8> rows = {RLB_QLVO_ScanFileExtName1, RLB_QLVO_ScanFileExtName2,
                                           RLB_QLVO_ScanFileExtName3, RLB_QLVO_ScanFileExtName4,
                                           RLB_QLVO_ScanFileExtName5, RLB_QLVO_ScanFileExtName6,
                                           RLB_QLVO_ScanFileExtName7, RLB_QLVO_ScanFileExtName8};
    return index >= 0 && index < 8 ? rows[static_cast<std::size_t>(index)] : nullptr;
}

bool TForm_QLVO_GUI::ContainersAlive() const
{
    return mpr_dic_FileType_Scaned && mpr_dic_Error_FileType_Scaned && mpr_dic_FileTypeLib &&
           mpr_dic_invalid_FileType && mpr_dic_valid_FileType && mpr_dic_Error_FileType &&
           mpr_list_CheckFileType;
}

void TForm_QLVO_GUI::showEvent(QShowEvent* e)
{
    // Runs before the window is first mapped; restoring from the taskbar
    // does not run it again.
    if (!FShown) {
        FShown = true;
        func_RunHandler(this, [this] { FormShow(this); });
    }
    QWidget::showEvent(e);
}

void TForm_QLVO_GUI::closeEvent(QCloseEvent* e)
{
    func_RunHandler(this, [this] { FormClose(this); });
    e->accept();
}

void TForm_QLVO_GUI::FormCreate(QObject*)
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

void TForm_QLVO_GUI::FormShow(QObject*)
{
    setWindowTitle(QStringLiteral("Quelvo"));
    mpr_str_CurrentAppPath = func_AppPathOf(QCoreApplication::applicationFilePath(), QChar(u'/'));
    mpr_int_CurrentMode = 0;
    mpr_str_SearchExt.clear();
    // Qt paints every widget through its backing store: double buffering
    // needs no switch here.
    Bn_QLVO_PageScanClick(Bn_QLVO_PageScan);
    RLB_QLVO_TipScanning->SetCaption(
        QStringLiteral("Analyzing computer registry for file extension problems..."));
    HLB_QLVO_CopyRightInfo->HTMLText().Clear();
    HLB_QLVO_CopyRightInfo->HTMLText().Add(
        QStringLiteral("<B>Quelvo</B><br/><B>Copyright (C) 2026 Quelvo. All rights reserved.</B><br/><br/>"
                       "<A href=\"%1\">%2</A>")
            .arg(kHomePage, QUrl(kHomePage).toString(QUrl::RemoveScheme).mid(2)));
    RED_QLVO_SearchExt->SetText(QString());
    if (mpr_Bn_CurrentDis)
        mpr_Bn_CurrentDis->setEnabled(false);
}

void TForm_QLVO_GUI::FormClose(QObject*)
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

void TForm_QLVO_GUI::Bn_QLVO_CloseClick(QObject*) { close(); }

void TForm_QLVO_GUI::Bn_QLVO_MinClick(QObject*) { showMinimized(); }

void TForm_QLVO_GUI::Panel_QLVO_BGMouseDown(QObject*, Qt::MouseButton Button, Qt::KeyboardModifiers, int, int)
{
    if (Button != Qt::LeftButton)
        return;
    QWindow* handle = windowHandle();
    if (MoveHandler()) {
        MoveHandler()(handle);
        return;
    }
    if (handle && handle->startSystemMove())
        return;
    // No window manager to move it (a bare X server): follow the mouse until
    // the button is released.
    FDragging = true;
    FDragOffset = QCursor::pos() - pos();
}

bool TForm_QLVO_GUI::eventFilter(QObject* watched, QEvent* e)
{
    if (watched == Panel_QLVO_BG && FDragging) {
        if (e->type() == QEvent::MouseMove) {
            move(static_cast<QMouseEvent*>(e)->globalPosition().toPoint() - FDragOffset);
            return true;
        }
        if (e->type() == QEvent::MouseButtonRelease)
            FDragging = false;
    }
    return QWidget::eventFilter(watched, e);
}

void TForm_QLVO_GUI::SwitchSection(TRzBmpButton* button, TRzTabSheet* page)
{
    if (mpr_Bn_CurrentDis) {
        mpr_Bn_CurrentDis->setEnabled(true);
        mpr_Bn_CurrentDis = button;
        button->setEnabled(false);
    }
    RPC_QLVO_Step->SetActivePage(page);
}

void TForm_QLVO_GUI::Bn_QLVO_PageScanClick(QObject*) { SwitchSection(Bn_QLVO_PageScan, TS_QLVO_Step1); }

void TForm_QLVO_GUI::Bn_QLVO_PageAboutClick(QObject*) { SwitchSection(Bn_QLVO_PageAbout, TS_QLVO_About); }

void TForm_QLVO_GUI::Bn_QLVO_PageHelpClick(QObject*)
{
    func_ShellOpen(this, QString::fromStdU16String(platform::func_DataDirFor(mpr_str_CurrentAppPath.toStdU16String(), u"Help.chm")) + QStringLiteral("Help.chm"));
}

void TForm_QLVO_GUI::Bn_QLVO_Step3_CancelClick(QObject*) { RPC_QLVO_Step->SetActivePage(TS_QLVO_Step1); }

void TForm_QLVO_GUI::HLB_QLVO_CopyRightInfoAnchorClick(QObject*, const QString& Anchor)
{
    // The label itself opens web and mail targets after this event.
    if (!markup::IsDesktopTarget(Anchor))
        func_ShellOpen(this, Anchor);
}

// ---- Scan, report, repair and lookup ---------------------------------------

namespace {

#ifndef QUELVO_LOOKUP_HOST_DEFAULT
#define QUELVO_LOOKUP_HOST_DEFAULT "lookup.quelvo.example"
#endif

// The worker of the current scan; valid only while it runs.
scan::QLVO_Thread_Scan* g_Thread_Scan = nullptr;

std::u16string ToU16(const QString& text) { return text.toStdU16String(); }
QString ToQ(std::u16string_view text)
{
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

std::u16string ClassesPath(std::u16string_view extension)
{
    std::u16string path = u"SOFTWARE\\Classes\\";
    path += extension;
    return path;
}

// Gone means the store no longer knows the key. A key that merely refuses
// full access still exists, so it is opened for reading only.
bool KeyGone(std::u16string_view path)
{
    auto& store = platform::ActiveTarget().Registry();
    platform::RegHandle key{};
    const platform::RegStatus status = store.OpenKey(platform::HKEY_LOCAL_MACHINE, path, platform::KEY_READ, &key);
    if (status == platform::kSuccess) {
        store.CloseKey(key);
        return false;
    }
    return status == platform::kFileNotFound;
}

}  // namespace

std::u16string func_NormaliseSearchExt(const QString& typed)
{
    const std::u16string text = ToU16(typed);
    std::u16string ext(platform::TrimBlanks(text));
    if (!ext.empty() && ext.front() != u'.')
        ext.insert(ext.begin(), u'.');
    return ext;
}

QString func_LookupHost()
{
    const QString fromEnvironment = qEnvironmentVariable("QUELVO_LOOKUP_HOST").trimmed();
    return fromEnvironment.isEmpty() ? QStringLiteral(QUELVO_LOOKUP_HOST_DEFAULT) : fromEnvironment;
}

bool TForm_QLVO_GUI::ScanRunning() const { return mpr_ScanControl && !mpr_ScanControl->Done(); }

void TForm_QLVO_GUI::SetScanningAnimation(bool on)
{
    if (auto* gif = ADP_QLVO_Scanning->GIF())
        gif->SetAnimate(on);
}

void TForm_QLVO_GUI::Bn_QLVO_StartScanClick(QObject*)
{
    // One worker and one set of containers: a second scan waits for the first.
    if (ScanRunning() || !ContainersAlive())
        return;
    RPC_QLVO_Step->SetActivePage(TS_QLVO_Step2);
    SetScanningAnimation(true);
    mpr_str_SearchExt = func_NormaliseSearchExt(RED_QLVO_SearchExt->Text());

    scan::func_SetScanReceiver(this);
    g_Thread_Scan = new scan::QLVO_Thread_Scan();
    g_Thread_Scan->mpu_dword_cb_QV_ExeInfo = &scan::cbgui_QV_ExeInfo;
    g_Thread_Scan->mpu_dword_cb_QV_GetExeName = &scan::cbgui_QV_GetExeName;
    g_Thread_Scan->mpu_dword_cb_QV_Start = &scan::cbgui_QV_Start;
    g_Thread_Scan->mpu_dword_cb_QV_End = &scan::cbgui_QV_End;
    mpr_ScanRunner = std::make_shared<platform::HandOverRunner>([this](platform::HandOverRunner::Task task) {
        {
            std::lock_guard lock(mpr_HandOverMutex);
            mpr_HandOvers.push_back(std::move(task));
        }
        QMetaObject::invokeMethod(this, &TForm_QLVO_GUI::DrainHandOvers, Qt::QueuedConnection);
    });
    g_Thread_Scan->SetHandOverRunner(mpr_ScanRunner);
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
        Bn_QLVO_FixNow->hide();
        Bn_QLVO_DownLoadSoftware->hide();
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
    const QString name = ToQ(mpr_str_ExeName);
    RLB_QLVO_TipFileExtName->SetCaption(name);
    ++int_str_ExeCount;
    RLB_QLVO_TipScanCount->SetCaption(QString::number(int_str_ExeCount));
    ScanFileExtNameLabel(mpr_int_CurIlistItem_Index)->SetCaption(name);
    mpr_int_CurIlistItem_Index = (mpr_int_CurIlistItem_Index + 1) % 8;
    // Last: the window may close in here, and nothing after it may touch state.
    QCoreApplication::processEvents();
}

void TForm_QLVO_GUI::pro_cb_QV_Scan_ExeInfo(const std::u16string& str_param_ExeName,
                                            const std::u16string& str_param_ShellPath, int int_param_ErrorType)
{
    // Two registry names that differ only by surrounding spaces report the
    // same extension twice: the first report stays.
    if (int_param_ErrorType == 1)
        mpr_dic_FileType_Scaned->TryAdd(str_param_ExeName, str_param_ShellPath);
    else if (int_param_ErrorType == 2)
        mpr_dic_Error_FileType_Scaned->TryAdd(str_param_ExeName, str_param_ShellPath);
}

void TForm_QLVO_GUI::pro_cb_QV_End()
{
    g_Thread_Scan->Synchronize([this] { func_RunHandler(this, [this] { pro_cbsyn_QV_End(); }); });
}

void TForm_QLVO_GUI::FillList(const std::vector<std::u16string>& rows)
{
    HLB_QLVO_InvailExeName->BeginUpdate();
    HLB_QLVO_InvailExeName->Items().Clear();
    for (const auto& row : rows)
        HLB_QLVO_InvailExeName->Items().Add(row);
    HLB_QLVO_InvailExeName->EndUpdate();
}

void TForm_QLVO_GUI::ShowCountLine(const std::u16string& line)
{
    RLB_QLVO_TipDetectedCount->HTMLText().Clear();
    RLB_QLVO_TipDetectedCount->HTMLText().Add(ToQ(line));
}

void TForm_QLVO_GUI::pro_cbsyn_QV_End()
{
    const QString libPath = ToQ(platform::func_DataDirFor(ToU16(mpr_str_CurrentAppPath), report::kFileTypeLibName)) + ToQ(report::kFileTypeLibName);
    const std::filesystem::path libFile(ToU16(libPath));
    std::error_code error;
    if (!std::filesystem::is_regular_file(libFile, error)) {
        // Without the library there is no report; say so rather than leave
        // the scanning page animating forever.
        SetScanningAnimation(false);
        func_ShowError(this, QStringLiteral("The file type library \"%1\" is missing: %2")
                                 .arg(QDir::toNativeSeparators(libPath),
                                      std::filesystem::exists(libFile, error)
                                          ? QStringLiteral("it is not a file")
                                          : QStringLiteral("no such file")));
        return;
    }
    if (mpr_dic_FileTypeLib->Empty()) {
        try {
            report::func_LoadFileTypeLib(libFile, *mpr_dic_FileTypeLib);
        } catch (const platform::TextFileError& e) {
            SetScanningAnimation(false);
            func_ShowError(this, QString::fromUtf8(e.what()));
            return;
        }
    }

    std::unordered_map<std::u16string, bool> exists;
    report::ClassifyScanResults(
        *mpr_dic_FileType_Scaned, *mpr_dic_Error_FileType_Scaned, *mpr_dic_FileTypeLib, mpr_str_SearchExt,
        [&exists](std::u16string_view path) {
            // Many extensions share one program: each path is looked up once.
            auto [it, added] = exists.try_emplace(std::u16string(path), false);
            if (added)
                it->second = platform::ActiveTarget().FileExists(path);
            return it->second;
        },
        *mpr_dic_Error_FileType,
        *mpr_dic_invalid_FileType, *mpr_dic_valid_FileType);
    const report::ReportView view =
        report::BuildReport(*mpr_dic_Error_FileType, *mpr_dic_invalid_FileType, *mpr_dic_valid_FileType);
    FillList(view.rows);
    RPC_QLVO_Step->SetActivePage(TS_QLVO_Step3);
    ShowCountLine(view.countLine);
    Bn_QLVO_FixNow->show();
    Bn_QLVO_DownLoadSoftware->hide();
}

void TForm_QLVO_GUI::Bn_QLVO_FixNowClick(QObject*)
{
    SetScanningAnimation(false);
    if (mpr_int_CurrentMode == 2)
        OpenLookupPage();
    else if (mpr_int_CurrentMode == 1)
        RunRepair();
}

void TForm_QLVO_GUI::RunRepair()
{
    const report::AfterRepairView view = report::RepairAndBuildAfterRepairView(
        *mpr_dic_invalid_FileType, *mpr_dic_Error_FileType, [](std::u16string_view extension) {
            const std::u16string path = ClassesPath(extension);
            // Success is judged by the store afterwards, not by the call: a key
            // already gone counts as repaired, one refusing access does not.
            scan::func_Reg_DeleteKeyTree(platform::HKEY_LOCAL_MACHINE, path);
            return KeyGone(path);
        });
    FillList(view.rows);
    ShowCountLine(view.remainingLine);
    mpr_int_CurrentMode = 2;
    Bn_QLVO_FixNow->hide();
    Bn_QLVO_DownLoadSoftware->show();
}

void TForm_QLVO_GUI::OpenLookupPage()
{
    if (mpr_list_CheckFileType->empty())
        return;
    const std::u16string query = report::BuildLookupQuery(*mpr_list_CheckFileType);
    RPC_QLVO_Step->SetActivePage(TS_QLVO_FindSoftware);
    // The page is always fetched afresh: nothing is read from or written to
    // a cache (the view uses the default profile).
    QWebEngineProfile::defaultProfile()->setHttpCacheType(QWebEngineProfile::NoCache);
    WB_QLVO_FindSoftware->Navigate(ToQ(report::LookupAddress(ToU16(func_LookupHost()), query)));
}

void TForm_QLVO_GUI::HLB_QLVO_InvailExeNameAnchorClick(QObject*, int Index, const QString& Anchor)
{
    auto& items = HLB_QLVO_InvailExeName->Items();
    const report::AnchorClickOutcome outcome =
        report::DecideAnchorClick(mpr_int_CurrentMode, items.Text(Index), ToU16(Anchor));
    if (outcome.rowText)
        items.Set(Index, *outcome.rowText);
    report::ApplyCheckListChange(outcome, *mpr_list_CheckFileType);
    if (outcome.message)
        func_ShowMessage(this, ToQ(*outcome.message));
}

void TForm_QLVO_GUI::Bn_QLVO_FindSoftware_BackClick(QObject*) { RPC_QLVO_Step->SetActivePage(TS_QLVO_Step3); }

}  // namespace quelvo::app
