// Runs one scan on the real window against a made-up machine and takes a
// screenshot of the X screen at each stage (not a test):
//   quelvo_flow_preview <folder>   (under an X server; needs ImageMagick's import)

#include "LookupServer.h"
#include "ScanMachine.h"

#include "app/TWebBrowser.h"
#include "app/Unit_Form_QLV_GUI.h"
#include "app/Unit_QLV_MessageBox.h"
#include "markup/qt/HTMListB.h"
#include "markup/qt/QtSurface.h"
#include "platform/Text.h"
#include "widgets/TRzBmpButton.h"

#include <QApplication>
#include <QProcess>
#include <QTest>

using namespace quelvo;
using namespace quelvo::app;
using namespace quelvo::app::test;

namespace {

void Shoot(const QString& folder, const QString& name)
{
    QTest::qWait(800);
    QProcess::execute(QStringLiteral("import"), {"-window", "root", folder + '/' + name + ".png"});
}

void ClickLink(TForm_QLVO_GUI& form, const std::u16string& extension)
{
    const auto& items = form.HLB_QLVO_InvailExeName->Items();
    for (int i = 0; i < items.Count(); ++i)
        if (items[i].contains(QStringLiteral("href=\"check ") + QString::fromStdU16String(extension) + '"')) {
            form.HLB_QLVO_InvailExeNameAnchorClick(form.HLB_QLVO_InvailExeName, i,
                                                   QStringLiteral("check ") + QString::fromStdU16String(extension));
            return;
        }
}

}  // namespace

int main(int argc, char* argv[])
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("Quelvo"));
    markup::RegisterMarkupFonts();
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    SetMessageBoxHandler([](QWidget*, const QString&, const QString& text, TMsgIcon) {
        qInfo("message: %s", qPrintable(text));
        return 1;
    });
    LookupServer server;
    qputenv("QUELVO_LOOKUP_HOST", "127.0.0.1:" + QByteArray::number(server.Port()));

    ScanMachine machine;
    machine.FillThreeClasses();
    machine.Program(u".flac", u"flac.exe", false);
    machine.Broken(u".a&b<i>");
    for (int i = 0; i < 250; ++i)
        machine.Program(u".z" + platform::IntToText(i), u"player.exe", true);

    TForm_QLVO_GUI form;
    form.show();
    QTest::qWaitForWindowExposed(&form);
    form.SetCurrentAppPath(machine.AppPath());
    form.Bn_QLVO_StartScan->Click();
    QTest::qWait(1200);
    Shoot(folder, "1-scanning");
    while (form.ScanRunning())
        QTest::qWait(50);
    Shoot(folder, "2-report");
    form.Bn_QLVO_FixNow->Click();
    ClickLink(form, u".avi");
    ClickLink(form, u".xyz");
    Shoot(folder, "3-after-repair");
    form.Bn_QLVO_DownLoadSoftware->Click();
    QTest::qWait(3000);
    Shoot(folder, "4-lookup");
    return 0;
}
