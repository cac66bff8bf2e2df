#include "app/Unit_QLV_Shell.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace quelvo::app {

namespace {

TShellOpener& Opener()
{
    static TShellOpener opener;
    return opener;
}

}  // namespace

TShellOpener SetShellOpener(TShellOpener opener)
{
    TShellOpener previous = std::move(Opener());
    Opener() = std::move(opener);
    return previous;
}

void func_ShellOpen(QWidget* owner, const QString& object)
{
    if (Opener()) {
        Opener()(owner, object);
        return;
    }
    const bool isFile = QDir::isAbsolutePath(object) || QFileInfo::exists(object);
    QDesktopServices::openUrl(isFile ? QUrl::fromLocalFile(QFileInfo(object).absoluteFilePath())
                                     : QUrl::fromUserInput(object));
}

}  // namespace quelvo::app
