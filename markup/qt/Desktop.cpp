#include "markup/qt/Desktop.h"

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
    if (Opener()) {
        Opener()(target);
        return;
    }
    QDesktopServices::openUrl(QUrl(target, QUrl::TolerantMode));
}

DesktopOpener SetDesktopOpener(DesktopOpener opener) {
    DesktopOpener previous = std::move(Opener());
    Opener() = std::move(opener);
    return previous;
}

bool IsDesktopTarget(const QString& target) {
    return target.contains(QLatin1String("://")) || target.contains(QLatin1String("mailto:"));
}

}  // namespace quelvo::markup
