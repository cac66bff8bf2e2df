// How the Qt front end hands an address to the desktop when the program runs
// as root: as the desktop user who started it (sudo, pkexec), through the
// desktop's opener, or not at all. The desktop's browser is a stand-in
// script that notes who ran it and with what.

#include "frontend/qt/DesktopOpener.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

using namespace quelvo::frontend::qt;

class TestDesktopOpener : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> folder;
    QString record;

    QStringList Recorded() const
    {
        QFile file(record);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
    }

private slots:
    void init()
    {
        if (geteuid() != 0)
            QSKIP("needs root: the opener only changes its ways there");
        folder = std::make_unique<QTemporaryDir>();
        QVERIFY(folder->isValid());
        // The stand-in runs as another user: the folder is open to it.
        QFile::setPermissions(folder->path(), QFileDevice::Permissions(0x7777));
        record = folder->filePath("opened.txt");
        const QString script = folder->filePath("browser.sh");
        QFile out(script);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(("#!/bin/sh\nprintf '%s %s\\n' \"$(id -u)\" \"$1\" >>'" + record + "'\n").toUtf8());
        out.close();
        QFile::setPermissions(script, QFileDevice::Permissions(0x7555));
        QDir(folder->path()).mkpath("data");
        QDir(folder->path()).mkpath("config");
        // Only the stand-in answers: no desktop, no handlers of the machine.
        qputenv("BROWSER", script.toUtf8());
        qputenv("XDG_DATA_DIRS", folder->filePath("data").toUtf8());
        qputenv("XDG_CONFIG_DIRS", folder->filePath("config").toUtf8());
        for (const char* name : {"XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "SUDO_UID", "PKEXEC_UID"})
            qunsetenv(name);
    }

    void cleanup()
    {
        for (const char* name : {"BROWSER", "XDG_DATA_DIRS", "XDG_CONFIG_DIRS", "SUDO_UID", "PKEXEC_UID"})
            qunsetenv(name);
        folder.reset();
    }

    void shouldOpenTheAddressAsTheUserWhoStartedTheProgram()
    {
        qputenv("SUDO_UID", "65534");
        const std::u16string address = u"https://www.videolan.org/vlc/?from=quelvo&x=1";
        QCOMPARE(QString::fromStdU16String(OpenOnDesktop(address).message), QString());
        QTRY_COMPARE_WITH_TIMEOUT(Recorded(), QStringList({"65534 https://www.videolan.org/vlc/?from=quelvo&x=1"}), 20000);
    }

    void shouldShowTheAddressInsteadWhenRootActsForNobody()
    {
        const std::u16string address = u"http://127.0.0.1:8080/home";
        QCOMPARE(QString::fromStdU16String(OpenOnDesktop(address).message),
                 QString::fromStdU16String(RootCannotOpenMessage(address)));
        QVERIFY(QString::fromStdU16String(RootCannotOpenMessage(address)).endsWith("\n\nhttp://127.0.0.1:8080/home"));
        // sudo from root is still root.
        qputenv("SUDO_UID", "0");
        QCOMPARE(QString::fromStdU16String(OpenOnDesktop(address).message),
                 QString::fromStdU16String(RootCannotOpenMessage(address)));
        QTest::qWait(500);
        QCOMPARE(Recorded(), QStringList());
    }

    void shouldNeverHandOnWhatIsNoWebAddress()
    {
        qputenv("SUDO_UID", "65534");
        for (const char16_t* target : {u"check .mp3", u"file:///etc/shadow", u"javascript:alert(1)", u"-e /bin/sh",
                                       u"www.example.org"}) {
            QCOMPARE(QString::fromStdU16String(OpenOnDesktop(target).message), QString());
        }
        QTest::qWait(500);
        QCOMPARE(Recorded(), QStringList());
    }
};

QTEST_MAIN(TestDesktopOpener)
#include "tst_DesktopOpener.moc"
