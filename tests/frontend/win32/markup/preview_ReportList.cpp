// Not a test: the report list and its count label in a window, to look at
// under Xvfb; with "browser" after the seconds, the lookup page's browser
// where it cannot start. Runs for the seconds given (default 5), then exits.

#include "tests/support/Win32Canvas.h"

#include "frontend/win32/markup/Win32MarkupLabel.h"
#include "frontend/win32/markup/Win32MarkupList.h"
#include "frontend/win32/markup/Win32WebBrowser.h"
#include "report/Unit_QLV_ReportRows.h"

#include <cstdlib>
#include <cstring>
#include <memory>

using namespace quelvo::frontend;
using namespace quelvo::frontend::win32;
using namespace quelvo::frontend::win32::test;
namespace rows = quelvo::report::rows;

int main(int argc, char** argv)
{
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 5;
    Win32PictureContainer pictures;
    LoadRowPictures(pictures);
    HostWindow host(600, 360, RGB(0xEE, 0xF3, 0xFA));
    Win32MarkupLabel count(&host, "RLB_QLVO_TipDetectedCount", TRect{16, 8, 544, 40},
                           quelvo::markup::FontSpec{u"Tahoma", 8, false, false, {0, 0, 0}}, {});
    count.AddText(rows::CountLine(3));
    Win32MarkupList list(&host, "HLB_QLVO_InvailExeName", TRect{16, 50, 544, 286},
                         quelvo::markup::FontSpec{u"Tahoma", 8, false, false, {0, 0, 0}}, 32, &pictures);
    list.Add(std::u16string(rows::kProblemsHeader));
    list.Add(rows::GroupRow(u"Audio"));
    list.Add(rows::ProblemItem(u".mp3"));
    list.Add(rows::ProblemItem(u".wav"));
    list.Add(std::u16string(rows::kNeedsApplicationHeader));
    list.Add(rows::GroupRow(u"Unknown"));
    list.Add(rows::NeedsApplicationItem(u".xyz"));
    std::u16string ticked = rows::CheckItem(u".abc");
    ticked.replace(ticked.find(u"idxs.1"), 6, u"idxs.2");
    list.Add(ticked);
    list.Add(rows::CheckItem(u".qqq"));
    list.Add(std::u16string(rows::kValidHeader));
    list.Add(rows::ValidItem(u".txt"));
    std::unique_ptr<Win32WebBrowser> browser;
    if (argc > 2 && std::strcmp(argv[2], "browser") == 0) {
        list.SetVisible(false);
        count.SetVisible(false);
        browser = std::make_unique<Win32WebBrowser>(&host, "WB_QLVO_FindSoftware", TRect{8, 11, 548, 300},
                                                    [](const std::u16string&) {});
        browser->Navigate(u"http://lookup.quelvo.example/ext/file_ext.php?ext[]=abc", 12);
    }
    SetTimer(nullptr, 0, static_cast<UINT>(seconds) * 1000, nullptr);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == WM_TIMER && msg.hwnd == nullptr)
            break;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}
