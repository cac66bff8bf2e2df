// The artwork as the window sees it: every picture decodes through Qt's own
// readers from the linked resources, at the size its control expects, and the
// composed window is see-through exactly at its rounded corners.
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QMovie>
#include <QPainter>
#include <QtTest>

namespace {

constexpr QRgb kSkyBlue = qRgb(166, 202, 240);

QImage load(const QString& name)
{
    QImage image(QStringLiteral(":/artwork/") + name);
    return image;
}

// The window as it is painted: key colour, background blended over it, then
// a page and its buttons opaque on top.
using Placements = QList<std::pair<QString, QPoint>>;

QImage composeWindow(const QString& page, const Placements& buttons)
{
    QImage window(740, 530, QImage::Format_RGB32);
    window.fill(kSkyBlue);
    QPainter p(&window);
    p.drawImage(0, 0, load("background.png"));
    p.drawImage(165, 59, load(page));
    for (const auto& [name, at] : buttons)
        p.drawImage(at, load("buttons/" + name));
    return window;
}

// The buttons each page shows, in window coordinates, highlighted where a
// highlighted picture is the likelier sight.
Placements buttonsOn(const QString& page)
{
    const QPoint p(165, 59);
    Placements out = {{"Bn_PageScan_Hot.bmp", {-1, 80}},  {"Bn_PageHelp_Up.bmp", {-1, 126}},
                      {"Bn_PageAbout_Up.bmp", {-1, 173}}, {"Bn_Min_Up.bmp", {691, 4}},
                      {"Bn_Close_Up.bmp", {712, 3}}};
    if (page == "page_start.png") out.append({"Bn_StartScan_Up.bmp", p + QPoint(175, 384)});
    if (page == "page_report.png") {
        out.append({"Bn_FixNow_Hot.bmp", p + QPoint(307, 400)});
        out.append({"Bn_Cancel_Up.bmp", p + QPoint(10, 413)});
    }
    if (page == "page_lookup.png") out.append({"Bn_Back_Up.bmp", p + QPoint(447, 424)});
    return out;
}

bool inCorner(int x, int y)
{
    const int n = 24;
    return (x < n || x >= 740 - n) && (y < n || y >= 530 - n);
}

}  // namespace

class TestArtworkQt : public QObject {
    Q_OBJECT
private slots:
    void shouldDecodeEveryPictureAtItsControlsSize_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QSize>("size");
        QTest::newRow("background") << "background.png" << QSize(740, 530);
        for (const char* page : {"page_start.png", "page_scanning.png", "page_report.png",
                                 "page_lookup.png", "page_about.png"})
            QTest::newRow(page) << page << QSize(565, 463);
        const QList<std::pair<const char*, QSize>> buttons = {
            {"StartScan", {234, 56}}, {"FixNow", {234, 56}}, {"Download", {234, 57}},
            {"Cancel", {110, 31}},    {"Back", {109, 30}},   {"PageScan", {158, 47}},
            {"PageHelp", {158, 47}},  {"PageAbout", {158, 47}}, {"Min", {15, 15}},
            {"Close", {15, 15}}};
        for (const auto& [button, size] : buttons)
            for (const char* state : {"Up", "Hot"}) {
                const QString file = QStringLiteral("buttons/Bn_%1_%2.bmp").arg(button, state);
                QTest::newRow(qPrintable(file)) << file << size;
            }
    }

    void shouldDecodeEveryPictureAtItsControlsSize()
    {
        QFETCH(QString, name);
        QFETCH(QSize, size);
        const QImage image = load(name);
        QVERIFY2(!image.isNull(), qPrintable(name));
        QCOMPARE(image.size(), size);
    }

    void shouldLoadTheTwelveRowPicturesInContainerOrder()
    {
        QFile order(":/artwork/pictures/order.txt");
        QVERIFY(order.open(QIODevice::ReadOnly | QIODevice::Text));
        const QStringList names = QString::fromLatin1(order.readAll()).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(names.size(), 12);
        QCOMPARE(names.first(), QStringLiteral("ListBoxItem_BG.bmp"));
        QCOMPARE(names.last(), QStringLiteral("ListBoxItem_FileTypeU.bmp"));
        for (const QString& name : names) {
            const QString file = name.endsWith(".bmp", Qt::CaseInsensitive) ? name : name + ".bmp";
            const QImage image = load("pictures/" + file);
            QVERIFY2(!image.isNull(), qPrintable(file));
            QCOMPARE(image.size(), QSize(30, 30));
            QVERIFY2(!image.hasAlphaChannel(), "row pictures are drawn opaque");
        }
    }

    void shouldAnimate14FramesOf60MillisecondsWithTransparency()
    {
        QMovie movie(":/artwork/scanning.gif");
        QVERIFY(movie.isValid());
        QCOMPARE(movie.frameCount(), 14);
        QVERIFY(movie.jumpToFrame(0));
        QCOMPARE(movie.currentImage().size(), QSize(80, 74));
        QVERIFY(movie.currentImage().hasAlphaChannel());
        QCOMPARE(qAlpha(movie.currentImage().pixel(0, 0)), 0);
        // The delay the file stores: QMovie's own figure takes off the time it
        // spent decoding, which a slow or loaded machine makes 49.
        QImageReader reader(":/artwork/scanning.gif");
        QCOMPARE(reader.loopCount(), -1);  // forever
        for (int frame = 0; frame < 14; ++frame) {
            QVERIFY(!reader.read().isNull());
            QCOMPARE(reader.nextImageDelay(), 50);
        }
    }

    void shouldCarryTheIconAtFourSizes()
    {
        QImageReader reader(":/artwork/quelvo.ico");
        QCOMPARE(reader.imageCount(), 4);
        QList<int> sizes;
        for (int i = 0; i < reader.imageCount(); ++i) {
            QVERIFY(reader.jumpToImage(i));
            const QImage image = reader.read();
            QVERIFY(image.hasAlphaChannel());
            sizes << image.width();
        }
        std::sort(sizes.begin(), sizes.end());
        QCOMPARE(sizes, (QList<int>{16, 24, 32, 48}));
    }

    void shouldShowTheKeyColourOnlyInTheRoundedCorners_data()
    {
        QTest::addColumn<QString>("page");
        for (const char* page : {"page_start.png", "page_scanning.png", "page_report.png",
                                 "page_lookup.png", "page_about.png"})
            QTest::newRow(page) << page;
    }

    void shouldShowTheKeyColourOnlyInTheRoundedCorners()
    {
        QFETCH(QString, page);
        const QImage window = composeWindow(page, buttonsOn(page));
        int holes = 0;
        for (int y = 0; y < window.height(); ++y)
            for (int x = 0; x < window.width(); ++x)
                if ((window.pixel(x, y) & 0xffffff) == (kSkyBlue & 0xffffff)) {
                    QVERIFY2(inCorner(x, y), qPrintable(QStringLiteral("hole at %1,%2").arg(x).arg(y)));
                    ++holes;
                }
        QVERIFY2(holes >= 4 * 30 && holes <= 4 * 42, qPrintable(QString::number(holes)));
        QCOMPARE(window.pixel(0, 0) & 0xffffff, kSkyBlue & 0xffffff);
        QCOMPARE(window.pixel(739, 529) & 0xffffff, kSkyBlue & 0xffffff);
    }
};

QTEST_MAIN(TestArtworkQt)
#include "tst_artwork_qt.moc"
