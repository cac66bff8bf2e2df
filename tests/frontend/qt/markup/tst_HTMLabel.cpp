#include "frontend/qt/markup/Desktop.h"
#include "frontend/qt/markup/HTMLabel.h"
#include "frontend/qt/markup/QtSurface.h"

#include <QtTest>

#include <memory>

using namespace quelvo::markup;

class TestHTMLabel : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(RegisterMarkupFonts()); }
    void init();
    void cleanup();

    void shouldFireEventBeforeOpeningWebTarget();
    void shouldOpenWebTargetWithoutEventAssigned();
    void shouldOnlyFireEventForOtherTargets();
    void shouldFindLinkOnJoinedLines();
    void shouldOpenOnlyWholeWebAndMailAddresses_data();
    void shouldOpenOnlyWholeWebAndMailAddresses();
    void shouldShowHandOnlyOverLinks();
    void shouldPaintBackgroundOnlyWhenNotTransparent();

private:
    void Press(QPoint pos) { QTest::mousePress(m_label, Qt::LeftButton, {}, pos); }
    void MoveTo(QPoint pos);

    std::unique_ptr<QWidget> m_parent;
    THTMLabel* m_label = nullptr;  // owned by m_parent
    QStringList m_log;
};

void TestHTMLabel::init() {
    m_parent = std::make_unique<QWidget>();
    m_parent->resize(500, 200);
    m_label = new THTMLabel(m_parent.get());
    m_label->setGeometry(48, 90, 441, 55);
    m_label->SetTransparent(true);
    m_log.clear();
    m_label->OnMouseDown = [this](QObject*, Qt::MouseButton, QPoint) { m_log << "down"; };
    m_label->OnAnchorClick = [this](QObject* sender, const QString& anchor) {
        QCOMPARE(sender, m_label);
        m_log << "click " + anchor;
    };
    SetDesktopOpener([this](const QString& target) { m_log << "open " + target; });
    m_parent->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_parent.get()));
}

void TestHTMLabel::cleanup() {
    SetDesktopOpener({});
    m_parent.reset();
}

void TestHTMLabel::MoveTo(QPoint pos) {
    QMouseEvent move(QEvent::MouseMove, pos, m_label->mapToGlobal(pos), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(m_label, &move);
}

void TestHTMLabel::shouldFireEventBeforeOpeningWebTarget() {
    m_label->HTMLText().Add("<A href=\"https://www.example.org\">www.example.org</A>");
    Press(QPoint(10, 8));
    QCOMPARE(m_log, (QStringList{"down", "click https://www.example.org", "open https://www.example.org"}));
}

void TestHTMLabel::shouldOpenWebTargetWithoutEventAssigned() {
    m_label->OnAnchorClick = nullptr;
    m_label->HTMLText().Add("<A href=\"mailto:someone@example.org\">mail</A>");
    Press(QPoint(5, 8));
    QCOMPARE(m_log, (QStringList{"down", "open mailto:someone@example.org"}));
}

void TestHTMLabel::shouldOnlyFireEventForOtherTargets() {
    m_label->HTMLText().Add("<A href=\"about\">about</A>");
    Press(QPoint(5, 8));
    Press(QPoint(300, 8));  // right of the link: only the ordinary mouse-down
    QCOMPARE(m_log, (QStringList{"down", "click about", "down"}));
}

void TestHTMLabel::shouldOpenOnlyWholeWebAndMailAddresses_data() {
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("opened");
    QTest::newRow("https") << "https://www.example.org/a?b=c" << true;
    QTest::newRow("http upper-case scheme") << "HTTP://example.org" << true;
    QTest::newRow("mailto") << "mailto:someone@example.org" << true;
    QTest::newRow("file") << "file:///etc/passwd" << false;
    QTest::newRow("program behind text") << ".x file://C:/Windows/notepad.exe" << false;
    QTest::newRow("text before address") << "see http://example.org" << false;
    QTest::newRow("unknown scheme") << "ms-settings://x" << false;
    QTest::newRow("no host") << "http://" << false;
    QTest::newRow("empty mail") << "mailto:" << false;
}

void TestHTMLabel::shouldOpenOnlyWholeWebAndMailAddresses() {
    QFETCH(QString, target);
    QFETCH(bool, opened);
    m_label->HTMLText().Add(QString("<A href=\"%1\">link</A>").arg(target));
    Press(QPoint(5, 8));
    QStringList expected{"down", "click " + target};
    if (opened) expected << "open " + target;
    QCOMPARE(m_log, expected);
}

void TestHTMLabel::shouldFindLinkOnJoinedLines() {
    // Two lines joined by one space: the link follows on the same line, after "x ".
    m_label->HTMLText().Add("x");
    m_label->HTMLText().Add("<A href=\"t\">link</A>");
    QVERIFY(m_label->AnchorAt(QPoint(2, 8)).isEmpty());
    bool found = false;
    for (int x = 5; x < 40 && !found; ++x) found = m_label->AnchorAt(QPoint(x, 8)) == "t";
    QVERIFY(found);
    m_label->HTMLText().Clear();
    QVERIFY(m_label->AnchorAt(QPoint(20, 8)).isEmpty());
}

void TestHTMLabel::shouldShowHandOnlyOverLinks() {
    m_label->HTMLText().Add("<B>Quelvo</B><br/><A href=\"https://example.org\">example.org</A>");
    m_label->setCursor(Qt::IBeamCursor);
    MoveTo(QPoint(5, 8));
    QCOMPARE(m_label->cursor().shape(), Qt::IBeamCursor);  // over plain text nothing changes
    int linkY = 0;
    while (linkY < m_label->height() && m_label->AnchorAt(QPoint(10, linkY)).isEmpty()) ++linkY;
    QVERIFY(linkY > 8 && linkY < m_label->height());  // on the second line
    MoveTo(QPoint(10, linkY));
    QCOMPARE(m_label->cursor().shape(), Qt::PointingHandCursor);
    MoveTo(QPoint(400, 40));
    QCOMPARE(m_label->cursor().shape(), Qt::ArrowCursor);  // the default arrow, not the earlier cursor
}

void TestHTMLabel::shouldPaintBackgroundOnlyWhenNotTransparent() {
    m_parent->setAutoFillBackground(true);
    QPalette palette = m_parent->palette();
    palette.setColor(QPalette::Window, QColor("#123456"));
    m_parent->setPalette(palette);
    m_label->SetColor(QColor("#abcdef"));
    const QPoint probe = m_label->geometry().center() + QPoint(150, 0);
    QCOMPARE(m_parent->grab().toImage().pixelColor(probe), QColor("#123456"));
    m_label->SetTransparent(false);
    QCOMPARE(m_parent->grab().toImage().pixelColor(probe), QColor("#abcdef"));
}

QTEST_MAIN(TestHTMLabel)
#include "tst_HTMLabel.moc"
