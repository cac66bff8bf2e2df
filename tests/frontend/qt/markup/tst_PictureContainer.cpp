#include "MarkupTestUtil.h"

#include "frontend/qt/markup/PictureContainer.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace quelvo::markup;
using namespace quelvo::markup::test;

class TestPictureContainer : public QObject {
    Q_OBJECT

private slots:
    void shouldFindPicturesIgnoringAsciiCaseOnly();
    void shouldGiveFirstOfSameNamedPictures();
    void shouldLoadFolderInListedOrder();
    void shouldSkipUnreadablePictures();
    void shouldLoadTheProgramsPictures();
};

void TestPictureContainer::shouldFindPicturesIgnoringAsciiCaseOnly() {
    TPictureContainer container;
    FillWithSolidPictures(container);
    const THTMLPicture* lower = container.FindPicture(QString("idxs.1"));
    QVERIFY(lower);
    QCOMPARE(container.FindPicture(QString("IDXS.1")), lower);
    QCOMPARE(lower->Image().pixelColor(15, 15), PictureColour("idxs.1"));
    QCOMPARE(container.FindPicture(std::u16string_view(u"Idxs.1")), lower);
    QCOMPARE(container.FindPicture(QString("idxs.5")), nullptr);
    QCOMPARE(container.FindPicture(QString("idxs.")), nullptr);
    QCOMPARE(container.FindPicture(QString("LISTBOXITEM_FILETYPEU.BMP")),
             &container.Items()[11].Picture);

    container.AddImage(QString::fromUtf8("straße"), SolidPicture(Qt::red));
    QVERIFY(container.FindPicture(QString::fromUtf8("STRAßE")));
    QCOMPARE(container.FindPicture(QString::fromUtf8("STRASSE")), nullptr);
    container.AddImage(QString::fromUtf8("ä"), SolidPicture(Qt::red));
    QCOMPARE(container.FindPicture(QString::fromUtf8("Ä")), nullptr);  // only a to z fold
}

void TestPictureContainer::shouldGiveFirstOfSameNamedPictures() {
    TPictureContainer container;
    container.AddImage("pic", SolidPicture(Qt::red));
    container.AddImage("PIC", SolidPicture(Qt::green));
    QCOMPARE(container.FindPicture(QString("Pic"))->Image().pixelColor(0, 0), QColor(Qt::red));
    QCOMPARE(container.Items().Count(), 2);
    QCOMPARE(container.Items()[1].Tag, 0);
}

void TestPictureContainer::shouldLoadFolderInListedOrder() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QStringList names{"idxs.1", "ListBoxItem_WP.bmp", "idxs.0"};
    for (const QString& name : names)
        QVERIFY(SolidPicture(PictureColour(name)).save(dir.filePath(TPictureContainer::FileNameFor(name)), "BMP"));
    QFile order(dir.filePath("order.txt"));
    QVERIFY(order.open(QIODevice::WriteOnly));
    order.write("idxs.1\n\nListBoxItem_WP.bmp\r\nidxs.0\n");
    order.close();

    TPictureContainer container;
    QCOMPARE(container.LoadFolder(dir.path()), 3);
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(container.Items()[i].Name, names[i]);
        QCOMPARE(container.Items()[i].Picture.Width(), 30);
        QCOMPARE(container.Items()[i].Picture.Image().pixelColor(3, 3), PictureColour(names[i]));
        QVERIFY(!container.Items()[i].Picture.Data().isEmpty());
    }
    QVERIFY(QFile::exists(dir.filePath("idxs.1.bmp")));
    QVERIFY(QFile::exists(dir.filePath("ListBoxItem_WP.bmp")));
}

void TestPictureContainer::shouldSkipUnreadablePictures() {
    QTemporaryDir dir;
    QFile bad(dir.filePath("broken.bmp"));
    QVERIFY(bad.open(QIODevice::WriteOnly));
    bad.write("BM not really a bitmap");
    bad.close();
    TPictureContainer container;
    QVERIFY(!container.AddFromFile("broken", dir.filePath("broken.bmp")));
    QVERIFY(!container.AddFromFile("missing", dir.filePath("missing.bmp")));
    QCOMPARE(container.Items().Count(), 0);
    QCOMPARE(container.LoadFolder(dir.filePath("no-such-folder")), 0);
}

void TestPictureContainer::shouldLoadTheProgramsPictures() {
    const QString folder = QStringLiteral(QUELVO_SOURCE_DIR "/resources/pictures");
    if (!QFile::exists(folder + "/order.txt")) QSKIP("the pictures have not been drawn yet");
    TPictureContainer container;
    QCOMPARE(container.LoadFolder(folder), 12);
    for (int i = 0; i < 12; ++i) {
        const TPictureItem& item = container.Items()[i];
        QCOMPARE(item.Name, PictureNames()[i]);
        QCOMPARE(item.Picture.Data().size(), 2816);
        QCOMPARE(item.Picture.Width(), 30);
        QCOMPARE(item.Picture.Height(), 30);
    }
}

QTEST_MAIN(TestPictureContainer)
#include "tst_PictureContainer.moc"
