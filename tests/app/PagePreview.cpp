// Shows the main window on one page, for looking at it under a real X
// server: quelvo_page_preview [start|scanning|report|lookup|about]

#include "app/Unit_Form_QLV_GUI.h"
#include "markup/qt/HTMLabel.h"
#include "markup/qt/HTMListB.h"
#include "markup/qt/QtSurface.h"
#include "report/Unit_QLV_ReportRows.h"
#include "widgets/TImage.h"
#include "widgets/TRzBmpButton.h"
#include "widgets/TRzPageControl.h"

#include <QApplication>
#include <QTimer>

using namespace quelvo;

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("Quelvo"));
    markup::RegisterMarkupFonts();
    const QString page = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("start");

    app::TForm_QLVO_GUI form;
    form.show();
    auto* stack = form.RPC_QLVO_Step;
    if (page == "scanning") {
        stack->SetActivePage(form.TS_QLVO_Step2);
        form.ADP_QLVO_Scanning->GIF()->SetAnimate(true);
    } else if (page == "report") {
        form.RLB_QLVO_TipDetectedCount->HTMLText().Add(report::rows::CountLine(3));
        auto& items = form.HLB_QLVO_InvailExeName->Items();
        items.Add(report::rows::GroupRow(u"Audio"));
        items.Add(report::rows::ProblemItem(u".mp3"));
        items.Add(report::rows::NeedsApplicationItem(u".flac"));
        items.Add(report::rows::GroupRow(u"Unknown"));
        items.Add(report::rows::ValidItem(u".xyz"));
        items.Add(report::rows::ProblemItem(u".abc"));
        stack->SetActivePage(form.TS_QLVO_Step3);
    } else if (page == "lookup") {
        stack->SetActivePage(form.TS_QLVO_FindSoftware);
    } else if (page == "about") {
        form.Bn_QLVO_PageAbout->Click();
    }
    return app.exec();
}
