#include "frontend/qt/DesktopOpener.h"

#include "frontend/LinkTargets.h"
#include "frontend/Services.h"
#include "platform/DesktopSession.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QString>
#include <QUrl>

#include <unistd.h>

namespace quelvo::frontend::qt {

namespace {

QString Q(const std::u16string& text) { return QString::fromStdU16String(text); }

}  // namespace

std::u16string RootCannotOpenMessage(const std::u16string& address)
{
    return u"Quelvo runs as root, so it does not open web pages itself. To see this page, copy its address "
           u"into your web browser:\n\n"
           + address;
}

std::u16string CouldNotOpenMessage(const std::u16string& object, const std::u16string& reason)
{
    return u"Quelvo could not open this with your desktop (" + reason + u"). You can open it yourself:\n\n" + object;
}

TDesktopOpenResult OpenOnDesktop(const std::u16string& object)
{
    const QString target = Q(object);
    const bool isFile = QDir::isAbsolutePath(target);
    if (!isFile && !IsOpenableAddress(object))
        return {};
    const QUrl url = isFile ? QUrl::fromLocalFile(QFileInfo(target).absoluteFilePath()) : QUrl(target, QUrl::StrictMode);
    if (!url.isValid())
        return {};

    if (geteuid() != 0) {
        if (!QDesktopServices::openUrl(url))
            return {CouldNotOpenMessage(object, u"no program opens it")};
        return {};
    }

    // Root: never a browser or viewer with root's rights.
    const platform::EnvironmentReader environment = platform::ProcessEnvironment();
    const std::optional<platform::DesktopUser> user = platform::FindDesktopUser(environment);
    if (!user) {
        // Root's own session: a local file (the help) is root's to open; the
        // web is not.
        if (isFile && QDesktopServices::openUrl(url))
            return {};
        return {isFile ? CouldNotOpenMessage(object, u"no program opens it") : RootCannotOpenMessage(object)};
    }
    const std::optional<std::string> opener = platform::FindProgram("xdg-open");
    if (!opener)
        return {CouldNotOpenMessage(object, u"xdg-open is not installed")};
    // An absolute path or a whole address: never read as an option.
    const std::string argument = isFile ? url.toLocalFile().toStdString() : url.toString(QUrl::FullyEncoded).toStdString();
    const platform::LaunchResult launched =
        platform::LaunchAsUser(*user, *opener, {argument}, platform::SessionEnvironment(*user, environment));
    if (!launched.started)
        return {CouldNotOpenMessage(object, QString::fromStdString(launched.error).toStdU16String())};
    return {};
}

}  // namespace quelvo::frontend::qt
