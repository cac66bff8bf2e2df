// The embedded browser of the lookup page, as the Qt front end makes it:
// links, new windows and redirects on a loopback lookup page are clicked
// through the page as a user would, and must reach the desktop opener, not
// the view. Needs an X server (xcb).

#include "frontend/Services.h"
#include "frontend/qt/QtFrontEnd.h"
#include "frontend/qt/TWebBrowser.h"

#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <QWebEngineView>
#include <QtTest>

#include <functional>
#include <memory>

using namespace quelvo;
using namespace quelvo::frontend;

namespace {

// A loopback HTTP server: every request's target is kept, and answered by
// the given function with a whole response.
class Server : public QObject {
public:
    explicit Server(std::function<QByteArray(const QString& target)> answer) : m_answer(std::move(answer))
    {
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection())
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { Serve(socket); });
        });
        m_server.listen(QHostAddress::LocalHost);
    }
    quint16 Port() const { return m_server.serverPort(); }
    QString Origin() const { return QStringLiteral("http://127.0.0.1:%1").arg(Port()); }
    QStringList requests;

    static QByteArray Page(const QByteArray& body)
    {
        return "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: " + QByteArray::number(body.size())
               + "\r\nConnection: close\r\n\r\n" + body;
    }
    static QByteArray Redirect(const QString& to)
    {
        return "HTTP/1.1 302 Found\r\nLocation: " + to.toUtf8() + "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
    }

private:
    void Serve(QTcpSocket* socket)
    {
        m_pending[socket] += socket->readAll();
        if (!m_pending[socket].contains("\r\n\r\n"))
            return;
        const QString target = QString::fromUtf8(m_pending[socket].split(' ').value(1));
        m_pending.remove(socket);
        requests << target;
        socket->write(m_answer(target));
        socket->disconnectFromHost();
    }

    QTcpServer m_server;
    QHash<QTcpSocket*, QByteArray> m_pending;
    std::function<QByteArray(const QString&)> m_answer;
};

}  // namespace

class TestLookupBrowser : public QObject {
    Q_OBJECT

    std::unique_ptr<Server> elsewhere;
    std::unique_ptr<Server> lookup;
    std::unique_ptr<qt::QtFrontEnd> frontEnd;
    std::unique_ptr<TMainWindow> window;
    TWebBrowserControl* browser = nullptr;
    QStringList opened;

    QWebEngineView* View() const { return static_cast<qt::TWebBrowser*>(qt::WidgetOf(browser))->View(); }
    QString LookupAddress() const { return lookup->Origin() + "/ext/file_ext.php?ext[]=mp3&ext[]=AVI"; }

    // The middle of an element of the page, in the view's coordinates.
    QPoint CentreOf(const QString& id)
    {
        QVariant answer;
        View()->page()->runJavaScript(
            QStringLiteral("(function(){var r=document.getElementById('%1').getBoundingClientRect();"
                           "return JSON.stringify({x:r.left+r.width/2,y:r.top+r.height/2});})()")
                .arg(id),
            [&answer](const QVariant& result) { answer = result; });
        if (!QTest::qWaitFor([&] { return answer.isValid(); }, 10000))
            return {};
        const QJsonObject centre = QJsonDocument::fromJson(answer.toString().toUtf8()).object();
        return QPoint(centre["x"].toInt(), centre["y"].toInt());
    }

    // A click on the element, as the user's mouse gives it.
    void Click(const QString& id)
    {
        const QPoint centre = CentreOf(id);
        QVERIFY2(!centre.isNull(), qPrintable(id));
        QWidget* surface = View()->focusProxy();
        QVERIFY(surface);
        QTest::mouseMove(surface, centre);
        QTest::mouseClick(surface, Qt::LeftButton, {}, centre);
    }

    void ShowsTheLookupPage(const QString& address, const QString& title)
    {
        QCOMPARE(View()->url().toDisplayString(QUrl::FullyDecoded), QUrl(address).toDisplayString(QUrl::FullyDecoded));
        QCOMPARE(View()->title(), title);
    }

private slots:
    void init()
    {
        elsewhere = std::make_unique<Server>(
            [](const QString&) { return Server::Page("<html><head><title>Elsewhere</title></head></html>"); });
        const QString away = elsewhere->Origin();
        lookup = std::make_unique<Server>([away](const QString& target) {
            if (target.startsWith("/ext/file_ext.php"))
                return Server::Page(
                    "<html><head><title>Lookup</title></head><body style='margin:0;font:20px sans-serif'>"
                    "<p><a id='home' href='" + away.toUtf8() + "/home'>VLC media player</a></p>"
                    "<p><a id='window' href='" + away.toUtf8() + "/window' target='_blank'>In a new window</a></p>"
                    "<p><a id='script' href='#' onclick=\"window.open('" + away.toUtf8()
                    + "/script');return false\">A window of its own</a></p>"
                    "<p><a id='moved' href='/ext/moved'>Moved away</a></p>"
                    "<img src='" + away.toUtf8() + "/pixel.png' width='1' height='1'>"
                    "<iframe src='" + away.toUtf8() + "/frame' width='10' height='10'></iframe>"
                    "</body></html>");
            if (target == "/ext/moved" || target.startsWith("/ext/redirect.php"))
                return Server::Redirect(away + "/redirected");
            if (target.startsWith("/ext/refresh.php"))
                return Server::Page("<html><head><title>Refresh</title><meta http-equiv='refresh' content='0;url="
                                    + away.toUtf8() + "/refreshed'></head><body>Soon elsewhere</body></html>");
            return Server::Page("<html><head><title>none</title></head></html>");
        });
        QVERIFY(elsewhere->Port() != 0 && lookup->Port() != 0);

        opened.clear();
        SetShellOpener([this](const std::u16string& object) { opened << QString::fromStdU16String(object); });
        frontEnd = std::make_unique<qt::QtFrontEnd>();
        window = frontEnd->CreateMainWindow("Quelvo", 600, 460, {255, 0, 255});
        browser = frontEnd->CreateWebBrowser(window.get(), "WB_QLVO_FindSoftware", {8, 11, 548, 401});
        window->Show();
        QVERIFY(QTest::qWaitForWindowExposed(qt::WidgetOf(window.get())));
        browser->Navigate(LookupAddress().toStdU16String(), navNoReadFromCache | navNoWriteToCache);
        QTRY_COMPARE_WITH_TIMEOUT(View()->title(), QString("Lookup"), 30000);
        // The page's picture and frame from elsewhere were never asked for.
        QTRY_VERIFY_WITH_TIMEOUT(lookup->requests.size() >= 1, 10000);
    }

    void cleanup()
    {
        QCOMPARE(elsewhere->requests, QStringList());
        window.reset();
        frontEnd.reset();
        SetShellOpener({});
    }

    void shouldHandALinkClickedOnThePageToTheDesktopAndStayOnTheLookupPage_data()
    {
        QTest::addColumn<QString>("link");
        QTest::addColumn<QString>("path");
        QTest::newRow("link") << "home" << "/home";
        QTest::newRow("new window") << "window" << "/window";
        QTest::newRow("script window") << "script" << "/script";
        // Within the lookup origin but not the lookup page: the desktop's
        // browser follows the redirect, the view never asks.
        QTest::newRow("link to a redirect") << "moved" << "";
    }

    void shouldHandALinkClickedOnThePageToTheDesktopAndStayOnTheLookupPage()
    {
        QFETCH(QString, link);
        QFETCH(QString, path);
        const QString expected = path.isEmpty() ? lookup->Origin() + "/ext/moved" : elsewhere->Origin() + path;
        Click(link);
        QTRY_COMPARE_WITH_TIMEOUT(opened, QStringList({expected}), 15000);
        ShowsTheLookupPage(LookupAddress(), "Lookup");
        QVERIFY(!lookup->requests.contains("/ext/moved"));
        // And again: every click is handed on.
        Click(link);
        QTRY_COMPARE_WITH_TIMEOUT(opened.size(), 2, 15000);
        ShowsTheLookupPage(LookupAddress(), "Lookup");
    }

    void shouldHandARedirectElsewhereToTheDesktopAndNotShowIt()
    {
        const QString address = lookup->Origin() + "/ext/redirect.php?ext[]=zip";
        browser->Navigate(address.toStdU16String(), navNoReadFromCache | navNoWriteToCache);
        QTRY_COMPARE_WITH_TIMEOUT(opened, QStringList({elsewhere->Origin() + "/redirected"}), 15000);
        QTRY_VERIFY_WITH_TIMEOUT(lookup->requests.contains("/ext/redirect.php?ext[]=zip"), 10000);
        QCOMPARE(View()->title(), QString("Lookup"));  // the page before stays
    }

    void shouldHandAPageRefreshElsewhereToTheDesktopAndStayOnThePage()
    {
        const QString address = lookup->Origin() + "/ext/refresh.php?ext[]=zip";
        browser->Navigate(address.toStdU16String(), navNoReadFromCache | navNoWriteToCache);
        QTRY_COMPARE_WITH_TIMEOUT(opened, QStringList({elsewhere->Origin() + "/refreshed"}), 15000);
        ShowsTheLookupPage(address, "Refresh");
    }
};

int main(int argc, char* argv[])
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    TestLookupBrowser test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_LookupBrowser.moc"
