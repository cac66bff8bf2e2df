// A window built from the Win32 controls, to be looked at: the background
// panel, the start page with its picture, buttons, labels and the edit box.

#include "frontend/win32/Win32FrontEnd.h"

#include <windows.h>

using namespace quelvo::frontend;
using namespace quelvo::frontend::win32;

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    Win32FrontEnd ui;
    const TColor sky{166, 202, 240};
    auto window = ui.CreateMainWindow("Form_QLVO_GUI", 740, 530, sky);
    window->SetCaption(u"Quelvo");
    TPanelControl* bg = ui.CreateSkinPanel(window.get(), "Panel_QLVO_BG", {0, 0, 740, 530}, "background.png");
    bg->OnMouseDown = [&](TObject*, TMouseButton button, std::uint32_t, int, int) {
        if (button == TMouseButton::mbLeft)
            window->StartMove();
    };
    TPageStack* stack = ui.CreatePageStack(bg, "RPC_QLVO_Step", {165, 59, 565, 463});
    TPage* start = ui.CreatePage(stack, "TS_QLVO_Step1", sky);
    TPage* scanning = ui.CreatePage(stack, "TS_QLVO_Step2", sky);
    ui.CreatePicture(start, "Image1", {0, 0, 565, 463}, "page_start.png");
    ui.CreatePicture(scanning, "Image2", {0, 0, 565, 463}, "page_scanning.png");
    ui.CreateLabel(start, "RzLabel4", {136, 344, 304, 16}, u"When you are ready, click the Start Scan button",
                   {u"Arial", 13, true}, {0, 0, 0}, false);
    ui.CreateLabel(start, "RzLabel5", {32, 231, 410, 30},
                   u"You can search for a specific file extension or leave the box blank to search all file "
                   u"extensions.",
                   {u"Arial", 12, false}, {0, 0, 0}, true);
    TBitmapButton* startScan = ui.CreateButton(start, "Bn_QLVO_StartScan", 175, 384, "buttons/Bn_StartScan_Up.bmp",
                                               "buttons/Bn_StartScan_Hot.bmp", false);
    TEditBox* edit = ui.CreateEdit(start, "RED_QLVO_SearchExt", {32, 267, 505, 21});
    edit->SetText(u".txt");
    ui.SetTabOrder({startScan, edit});
    TBitmapButton* close = ui.CreateButton(bg, "Bn_QLVO_Close", 712, 3, "buttons/Bn_Close_Up.bmp",
                                           "buttons/Bn_Close_Hot.bmp", false);
    TBitmapButton* minimise = ui.CreateButton(bg, "Bn_QLVO_Min", 691, 4, "buttons/Bn_Min_Up.bmp",
                                              "buttons/Bn_Min_Hot.bmp", false);
    TBitmapButton* pageScan = ui.CreateButton(bg, "Bn_QLVO_PageScan", -1, 80, "buttons/Bn_PageScan_Up.bmp",
                                              "buttons/Bn_PageScan_Hot.bmp", true);
    ui.CreateButton(bg, "Bn_QLVO_PageHelp", -1, 126, "buttons/Bn_PageHelp_Up.bmp", "buttons/Bn_PageHelp_Hot.bmp",
                    true);
    ui.CreateButton(bg, "Bn_QLVO_PageAbout", -1, 173, "buttons/Bn_PageAbout_Up.bmp", "buttons/Bn_PageAbout_Hot.bmp",
                    true);
    TPage* report = ui.CreatePage(stack, "TS_QLVO_Step3", sky);
    ui.CreatePicture(report, "Image3", {0, 0, 565, 463}, "page_report.png");
    TMarkupLabel* summary = ui.CreateMarkupLabel(report, "RLB_QLVO_TipDetectedCount", {112, 24, 425, 66},
                                                 {u"Tahoma", 8, false, false, {0, 0, 0}});
    summary->AddText(u"<B>3</B> problems found. <A href=\"https://example.org/\">Details</A>");
    TMarkupListBox* list = ui.CreateMarkupList(report, "HLB_QLVO_InvailExeName", {10, 108, 544, 286},
                                               {u"Tahoma", 8, false, false, {0, 0, 0}}, 32);
    for (int i = 0; i < 12; ++i)
        list->Add(u"<IMG src=\"idxs.1\"> <B>.ext" + std::u16string(1, char16_t(u'a' + i)) +
                  u"</B> needs a new application");
    TPanelControl* status = ui.CreatePanel(scanning, "RzPanel1", {109, 12, 451, 89});
    ui.CreateLabel(status, "RzLabel1", {8, 21, 105, 13}, u"Status:", {u"Arial", 11, true}, {255, 255, 255}, false);
    TAnimatedPicture* animation = ui.CreateAnimatedPicture(scanning, "ADP_QLVO_Scanning", {20, 25, 80, 74},
                                                           "scanning.gif");
    animation->SetAnimate(true);
    startScan->OnClick = [&](TObject*) { stack->SetActivePage(scanning); };
    close->OnClick = [&](TObject*) { window->Close(); };
    minimise->OnClick = [&](TObject*) { window->Minimize(); };

    window->OnShow = [&](TObject*) {
        stack->SetActivePage(start);
        pageScan->SetEnabled(false);
    };
    // QUELVO_DEMO_PAGE=2 shows the scanning page, 3 the report page.
    char page[8] = {};
    if (GetEnvironmentVariableA("QUELVO_DEMO_PAGE", page, sizeof page) && page[0] == '2')
        window->OnShow = [&](TObject*) { stack->SetActivePage(scanning); };
    if (page[0] == '3')
        window->OnShow = [&](TObject*) { stack->SetActivePage(report); };
    window->Show();
    const int code = RunMessageLoop();
    window.reset();
    return code;
}
