#include "frontend/qt/markup/Desktop.h"

#include "frontend/LinkTargets.h"

#include <QDesktopServices>
#include <QUrl>

namespace quelvo::markup {

namespace {
DesktopOpener& Opener() {
    static DesktopOpener opener;
    return opener;
}
}  // namespace

void OpenWithDesktop(const QString& target) {
    if (!frontend::IsOpenableAddress(target.toStdU16String())) return;
    if (Opener()) {
        Opener()(target);
        return;
    }
    QDesktopServices::openUrl(QUrl(target, QUrl::StrictMode));
}

DesktopOpener SetDesktopOpener(DesktopOpener opener) {
    DesktopOpener previous = std::move(Opener());
    Opener() = std::move(opener);
    return previous;
}

}  // namespace quelvo::markup
