// Shows the report list filled with report rows and the real row pictures,
// for looking at under X: preview_ReportList [--after-repair] [--quit-after ms]

#include "MarkupTestUtil.h"

#include "frontend/qt/markup/HTMLabel.h"
#include "frontend/qt/markup/HTMListB.h"
#include "frontend/qt/markup/PictureContainer.h"
#include "frontend/qt/markup/QtSurface.h"

#include <QApplication>
#include <QTimer>

using namespace quelvo::markup;
using namespace quelvo::markup::test;

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    RegisterMarkupFonts();
    const QStringList args = app.arguments();

    TPictureContainer pictures;
    if (pictures.LoadFolder(QStringLiteral(QUELVO_SOURCE_DIR "/resources/pictures")) == 0)
        FillWithSolidPictures(pictures);

    QWidget window;
    window.setWindowTitle("Report list");
    window.resize(564, 410);
    QPalette palette = window.palette();
    palette.setColor(QPalette::Window, QColor("#3a6ea5"));
    window.setPalette(palette);
    window.setAutoFillBackground(true);

    auto* heading = new THTMLabel(&window);
    heading->setGeometry(112, 14, 425, 66);
    heading->SetTransparent(true);
    auto* list = new THTMListBox(&window);
    list->move(10, 98);
    SetUpAsReportList(*list, &pictures);

    if (args.contains("--after-repair")) {
        heading->HTMLText().Add("<FONT size=\"2\" face=\"Arial\">To fix the remaining 3 items(s) you will need to "
                                "download the appropriate application(s). Select one or more check boxes and click "
                                "the Download button.</FONT>");
        list->Items().Add("<IMG src=\"ListBoxItem_RAA.bmp\" align=\"middle\"> <font size=\"10\" face=\"Arial\"><B>"
                          "Extensions Need New Application</B></font>");
        list->Items().Add(GroupRow("Audio Files"));
        list->Items().Add(CheckBoxItem(".mp3"));
        list->Items().Add(CheckBoxItem(".ogg", true));
        list->Items().Add(GroupRow("Unknown", true));
        list->Items().Add(CheckBoxItem(".xyz"));
        list->Items().Add("<IMG src=\"ListBoxItem_VE.bmp\" align=\"middle\"> <font size=\"10\" face=\"Arial\"><B>"
                          "Extensions Fix Success</B></font>");
        list->Items().Add(GroupRow("Documents"));
        list->Items().Add(QString("<BODY bgcolor=\"#e4eef9\"><ind=\"25\"><IMG src=\"idxs.3\" align=\"middle\"><font "
                                  "size=\"10\" face=\"Arial\">.doc</font><ind=\"400\"><A href=\".doc\">Fix success</A>"
                                  "<HR COLOR=\"clWhite\">"));
    } else {
        heading->HTMLText().Add("<FONT color=\"#FFFF00\"><B><FONT size=\"16\" face=\"Arial\">4 Problem(s) Detected"
                                "</FONT></B></FONT><BR><FONT size=\"2\" face=\"Arial\">It is highly recommended to fix "
                                "these detected problems below.Click the Fix Now buton to continue.</FONT>");
        list->Items().Add(ProblemsHeader());
        list->Items().Add(GroupRow("Audio Files"));
        list->Items().Add(ProblemItem(".mp3"));
        list->Items().Add(GroupRow("Unknown", true));
        list->Items().Add(ProblemItem(".xyz"));
        list->Items().Add(NeedsApplicationHeader());
        list->Items().Add(GroupRow("Documents"));
        list->Items().Add(NeedsApplicationItem(".docx"));
        list->Items().Add(NeedsApplicationItem(".odt"));
        list->Items().Add("<IMG src=\"ListBoxItem_VE.bmp\" align=\"middle\"> <font size=\"10\" face=\"Arial\"><B>"
                          "Valid Extensions</B></font>");
        list->Items().Add(GroupRow("Images"));
        list->Items().Add(ValidItem(".png"));
    }
    window.show();

    const int at = static_cast<int>(args.indexOf("--quit-after"));
    if (at >= 0 && at + 1 < args.size()) QTimer::singleShot(args[at + 1].toInt(), &app, &QApplication::quit);
    return app.exec();
}
