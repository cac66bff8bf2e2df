#include "markup/qt/Desktop.h"

#include "markup/engine/ListBoxLinks.h"

#include <QDesktopServices>
#include <QUrl>

namespace quelvo::markup {

namespace {
DesktopOpener& Opener() {
    static DesktopOpener opener;
    return opener;
}
}  // namespace

bool IsOpenableAddress(const QString& target) {
    const QUrl url(target, QUrl::StrictMode);
    if (!url.isValid() || url.isRelative()) return false;
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("mailto")) return !url.path().isEmpty();
    const bool web = scheme == QLatin1String("http") || scheme == QLatin1String("https") ||
                     scheme == QLatin1String("ftp");
    return web && !url.host().isEmpty();
}

void OpenWithDesktop(const QString& target) {
    if (!IsOpenableAddress(target)) return;
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

bool IsDesktopTarget(const QString& target) {
    return IsDesktopTarget(std::u16string_view(reinterpret_cast<const char16_t*>(target.utf16()),
                                               static_cast<std::size_t>(target.size())));
}

}  // namespace quelvo::markup
