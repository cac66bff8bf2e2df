#include "MarkupTestUtil.h"

#include "frontend/qt/markup/Desktop.h"
#include "frontend/qt/markup/HTMListB.h"
#include "frontend/qt/markup/PictureContainer.h"
#include "frontend/qt/markup/QtSurface.h"

#include <QScrollBar>
#include <QtTest>

#include <memory>
#include <utility>

using namespace quelvo::markup;
using namespace quelvo::markup::test;

namespace {

struct Fired {
    int index;
    QString anchor;
    friend bool operator==(const Fired&, const Fired&) = default;
};

char* toString(const Fired& f) { return QTest::toString(QString("(%1, %2)").arg(f.index).arg(f.anchor)); }

constexpr int kRow = 32;

// Records the paints a widget receives, as they happen.
struct PaintCounter : QObject {
    QList<QRect> rects;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) rects.append(static_cast<QPaintEvent*>(event)->rect());
        return false;
    }
};

}  // namespace

class TestHTMListBox : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void shouldFireAnchorClickOnCheckBoxPictureWithinItsHitBand_data();
    void shouldFireAnchorClickOnCheckBoxPictureWithinItsHitBand();
    void shouldFireAnchorClickWithStatusLinkTargetAndScrolledIndex();
    void shouldFireAnchorClickForRightButton();
    void shouldActOnThePartlyShownRowUnderThePointerWithEveryButton_data();
    void shouldActOnThePartlyShownRowUnderThePointerWithEveryButton();
    void shouldFireAnchorClickTwiceForDoubleClick();
    void shouldFireNothingOnHeaderAndGroupRowsOrBelowLastItem();
    void shouldOpenWebAndMailTargetsWithDesktopInsteadOfEvent();
    void shouldKeepPositionHeightAndCurrentItemWhenReplacingItem();
    void shouldShowScrollBarOnlyWhileItemsAreTallerThanList();
    void shouldKeepEveryStatusLinkWholeBesideTheScrollBar();
    void shouldScrollByWholeItemsWithWheelAndKeys();
    void shouldScrollToTopWhenCleared();
    void shouldFireEnterAndExitOnlyWhenTargetChanges();
    void shouldTakeFocusWhenPointerEntersWithAutoFocus();
    void shouldPaintReportRowsWithBackgroundsLinesAndPictures();
    void shouldKeepItemsOrderedWhenSorted();
    void shouldSizeItemsByContentOnlyWithAutoItemHeight();

private:
    void Press(QPoint pos, Qt::MouseButton button = Qt::LeftButton);
    void MoveTo(QPoint pos);
    void FillCheckBoxRows(int count);
    QImage Grab();

    std::unique_ptr<TPictureContainer> m_pictures;
    std::unique_ptr<THTMListBox> m_list;
    QList<Fired> m_clicks, m_enters, m_exits;
    QStringList m_opened;
    int m_mouseDowns = 0;
};

void TestHTMListBox::initTestCase() { QVERIFY(RegisterMarkupFonts()); }

void TestHTMListBox::init() {
    m_pictures = std::make_unique<TPictureContainer>();
    FillWithSolidPictures(*m_pictures);
    m_list = std::make_unique<THTMListBox>();
    SetUpAsReportList(*m_list, m_pictures.get());
    m_clicks.clear();
    m_enters.clear();
    m_exits.clear();
    m_opened.clear();
    m_mouseDowns = 0;
    m_list->OnAnchorClick = [this](QObject* sender, int index, const QString& anchor) {
        QCOMPARE(sender, m_list.get());
        m_clicks.append({index, anchor});
    };
    m_list->OnAnchorEnter = [this](QObject*, int index, const QString& anchor) { m_enters.append({index, anchor}); };
    m_list->OnAnchorExit = [this](QObject*, int index, const QString& anchor) { m_exits.append({index, anchor}); };
    m_list->OnMouseDown = [this](QObject*, Qt::MouseButton, QPoint) { ++m_mouseDowns; };
    SetDesktopOpener([this](const QString& target) { m_opened.append(target); });
    m_list->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_list.get()));
}

void TestHTMListBox::cleanup() {
    SetDesktopOpener({});
    m_list.reset();
    m_pictures.reset();
}

void TestHTMListBox::Press(QPoint pos, Qt::MouseButton button) {
    QTest::mousePress(m_list->viewport(), button, {}, pos);
    QTest::mouseRelease(m_list->viewport(), button, {}, pos);
}

void TestHTMListBox::MoveTo(QPoint pos) {
    QMouseEvent move(QEvent::MouseMove, pos, m_list->viewport()->mapToGlobal(pos), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(m_list->viewport(), &move);
}

void TestHTMListBox::FillCheckBoxRows(int count) {
    for (int i = 0; i < count; ++i) m_list->Items().Add(CheckBoxItem(QString(".e%1").arg(i)));
}

QImage TestHTMListBox::Grab() { return m_list->viewport()->grab().toImage(); }

void TestHTMListBox::shouldFireAnchorClickOnCheckBoxPictureWithinItsHitBand_data() {
    QTest::addColumn<QPoint>("inItem");
    QTest::addColumn<bool>("hit");
    QTest::newRow("top-left corner of band") << QPoint(56, 1) << true;
    QTest::newRow("bottom-right corner of band") << QPoint(84, 29) << true;
    QTest::newRow("middle") << QPoint(70, 15) << true;
    QTest::newRow("left border") << QPoint(55, 15) << false;
    QTest::newRow("right border") << QPoint(85, 15) << false;
    QTest::newRow("top border") << QPoint(70, 0) << false;
    QTest::newRow("bottom border") << QPoint(70, 30) << false;
    QTest::newRow("text between pictures and link") << QPoint(150, 15) << false;
}

void TestHTMListBox::shouldFireAnchorClickOnCheckBoxPictureWithinItsHitBand() {
    QFETCH(QPoint, inItem);
    QFETCH(bool, hit);
    m_list->Items().Add(NeedsApplicationHeader());
    m_list->Items().Add(GroupRow("Audio"));
    m_list->Items().Add(CheckBoxItem(".mp3"));
    Press(inItem + QPoint(0, 2 * kRow));
    if (hit)
        QCOMPARE(m_clicks, (QList<Fired>{{2, "check .mp3"}}));
    else
        QVERIFY(m_clicks.isEmpty());
}

void TestHTMListBox::shouldFireAnchorClickWithStatusLinkTargetAndScrolledIndex() {
    FillCheckBoxRows(20);
    m_list->SetTopIndex(5);
    Press(QPoint(410, 1 * kRow + 15));
    QCOMPARE(m_clicks, (QList<Fired>{{6, ".e6"}}));
    QCOMPARE(m_list->ItemIndex(), 6);
}

void TestHTMListBox::shouldFireAnchorClickForRightButton() {
    m_list->Items().Add(CheckBoxItem(".doc"));
    Press(QPoint(70, 15), Qt::RightButton);
    QCOMPARE(m_clicks, (QList<Fired>{{0, "check .doc"}}));
    // Only the left button makes the item current.
    QCOMPARE(m_list->ItemIndex(), -1);
}

void TestHTMListBox::shouldActOnThePartlyShownRowUnderThePointerWithEveryButton_data() {
    QTest::addColumn<int>("rows");
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<int>("x");
    QTest::addColumn<QString>("target");
    for (int rows : {11, 9}) {
        const QString where = rows == 9 ? "last row" : "row with more below";
        for (auto [button, name] : {std::pair{Qt::LeftButton, "left"}, std::pair{Qt::RightButton, "right"},
                                    std::pair{Qt::MiddleButton, "middle"}}) {
            QTest::addRow("check box, %s, %s", qPrintable(where), name) << rows << button << 70 << "check .e8";
            QTest::addRow("status link, %s, %s", qPrintable(where), name) << rows << button << 410 << ".e8";
        }
    }
}

// The list shows 8.5 rows: the ninth is cut at the list's bottom edge.
void TestHTMListBox::shouldActOnThePartlyShownRowUnderThePointerWithEveryButton() {
    QFETCH(int, rows);
    QFETCH(Qt::MouseButton, button);
    QFETCH(int, x);
    QFETCH(QString, target);
    FillCheckBoxRows(rows);
    QCOMPARE(m_list->viewport()->height(), 286);
    // The check box is hit down to the list's last pixel row; the status text in its band.
    const QList<int> ys = x == 70 ? QList<int>{8 * kRow + 1, 8 * kRow + 15, 285} : QList<int>{8 * kRow + 15};
    for (int y : ys) {
        m_clicks.clear();
        m_list->SetItemIndex(-1);
        m_list->SetTopIndex(0);
        Press(QPoint(x, y), button);
        QCOMPARE(m_clicks, (QList<Fired>{{8, target}}));
        // Any scrolling comes after: a left press makes the row current and shows it whole.
        QCOMPARE(m_list->ItemIndex(), button == Qt::LeftButton ? 8 : -1);
        QCOMPARE(m_list->TopIndex(), button == Qt::LeftButton ? 1 : 0);
    }
    QCOMPARE(m_mouseDowns, 0);
}

void TestHTMListBox::shouldFireAnchorClickTwiceForDoubleClick() {
    m_list->Items().Add(CheckBoxItem(".doc"));
    QWindow* window = m_list->window()->windowHandle();
    const QPoint pos = m_list->viewport()->mapTo(m_list->window(), QPoint(70, 15));
    QTest::mouseDClick(window, Qt::LeftButton, {}, pos);
    QCOMPARE(m_clicks, (QList<Fired>{{0, "check .doc"}, {0, "check .doc"}}));
}

void TestHTMListBox::shouldFireNothingOnHeaderAndGroupRowsOrBelowLastItem() {
    m_list->Items().Add(ProblemsHeader());
    m_list->Items().Add(GroupRow("Unknown", true));
    for (int x : {5, 30, 70, 150, 410}) {
        Press(QPoint(x, 15));
        Press(QPoint(x, kRow + 15));
    }
    Press(QPoint(70, 2 * kRow + 15));
    QVERIFY(m_clicks.isEmpty());
    QCOMPARE(m_mouseDowns, 11);
    QCOMPARE(m_list->ItemAtPos(QPoint(70, 2 * kRow + 15)), -1);
}

void TestHTMListBox::shouldOpenWebAndMailTargetsWithDesktopInsteadOfEvent() {
    m_list->Items().Add("<A href=\"http://example.org/x\">web</A>");
    m_list->Items().Add("<A href=\"mailto:a@example.org\">mail</A>");
    m_list->Items().Add("<A href=\"check http\">other</A>");
    // A registry key name can carry "://": such rows neither fire nor open.
    m_list->Items().Add("<A href=\".x file://C:/Windows/notepad.exe\">crafted</A>");
    m_list->Items().Add("<A href=\".y://z\">crafted</A>");
    for (int row = 0; row < 5; ++row) Press(QPoint(5, row * kRow + 6));
    QCOMPARE(m_opened, (QStringList{"http://example.org/x", "mailto:a@example.org"}));
    QCOMPARE(m_clicks, (QList<Fired>{{2, "check http"}}));
}

void TestHTMListBox::shouldKeepPositionHeightAndCurrentItemWhenReplacingItem() {
    FillCheckBoxRows(20);
    m_list->SetTopIndex(5);
    Press(QPoint(200, 2 * kRow + 15));  // makes item 7 current
    QCOMPARE(m_list->ItemIndex(), 7);
    QCOMPARE(Grab().pixelColor(70, 2 * kRow + 15), PictureColour("idxs.1"));

    QCoreApplication::processEvents();  // let pending paints and layout happen first
    PaintCounter paints;
    m_list->viewport()->installEventFilter(&paints);
    m_list->Items().Set(7, CheckBoxItem(".e7", true));
    QCOMPARE(paints.rects, (QList<QRect>{m_list->ItemRect(7)}));  // at once, that row only

    QCOMPARE(m_list->Items()[7], CheckBoxItem(".e7", true));
    QCOMPARE(m_list->Items().Count(), 20);
    QCOMPARE(m_list->TopIndex(), 5);
    QCOMPARE(m_list->ItemIndex(), 7);
    QCOMPARE(m_list->ItemHeightAt(7), kRow);
    QCOMPARE(m_list->ItemRect(7), QRect(0, 2 * kRow, m_list->viewport()->width(), kRow));
    QCOMPARE(Grab().pixelColor(70, 2 * kRow + 15), PictureColour("idxs.2"));
}

void TestHTMListBox::shouldShowScrollBarOnlyWhileItemsAreTallerThanList() {
    QCOMPARE(m_list->viewport()->height(), 286);
    FillCheckBoxRows(8);
    QTRY_VERIFY(!m_list->verticalScrollBar()->isVisible());
    m_list->Items().Add(ValidItem(".txt"));
    QTRY_VERIFY(m_list->verticalScrollBar()->isVisible());
    QCOMPARE(m_list->verticalScrollBar()->maximum(), 1);
    // The ninth row shows its first 30 pixels.
    const QRect ninth = m_list->ItemRect(8);
    QCOMPARE(ninth.top(), 8 * kRow);
    QCOMPARE(ninth.height(), kRow);
    QVERIFY(ninth.bottom() >= m_list->viewport()->height());
    m_list->Items().Delete(8);
    QTRY_VERIFY(!m_list->verticalScrollBar()->isVisible());
}

// The report as it usually shows, more rows than fit and so a scroll bar:
// each status link lies whole on its row's one line, left of the bar.
void TestHTMListBox::shouldKeepEveryStatusLinkWholeBesideTheScrollBar() {
    const std::pair<QString, QString> links[] = {
        {NeedsApplicationItem(".avi"), "New Application Required"},
        {ProblemItem(".bad"), "Fix Registry Problem"},
        {ValidItem(".txt"), "No Problems"},
    };
    for (const auto& link : links) m_list->Items().Add(link.first);
    FillCheckBoxRows(8);
    QTRY_VERIFY(m_list->verticalScrollBar()->isVisible());
    QtSurface surface(nullptr);
    surface.SelectFont(FontSpec{u"Tahoma", 8, false, true, Rgb{0, 0, 255}});
    for (int i = 0; i < int(std::size(links)); ++i) {
        const int width = surface.MeasureText(links[i].second.toStdU16String(), false).width;
        // Drawn from 2 + 400, located from 400 (the list's own offset).
        QVERIFY2(2 + 400 + width <= m_list->viewport()->width(), qPrintable(links[i].second));
        const QString target = links[i].first.mid(links[i].first.indexOf("href=\"") + 6, 4);
        QCOMPARE(m_list->AnchorAt(QPoint(400 + width - 1, i * kRow + 16)), target);
    }
}

void TestHTMListBox::shouldScrollByWholeItemsWithWheelAndKeys() {
    FillCheckBoxRows(30);
    QWheelEvent wheel(QPointF(100, 100), m_list->viewport()->mapToGlobal(QPointF(100, 100)), QPoint(),
                      QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(m_list->viewport(), &wheel);
    QCOMPARE(m_list->TopIndex(), QApplication::wheelScrollLines());

    QTest::keyClick(m_list.get(), Qt::Key_End);
    QCOMPARE(m_list->ItemIndex(), 29);
    QCOMPARE(m_list->TopIndex(), 30 - 8);
    QTest::keyClick(m_list.get(), Qt::Key_Up);
    QCOMPARE(m_list->ItemIndex(), 28);
    QCOMPARE(m_list->TopIndex(), 30 - 8);
    QTest::keyClick(m_list.get(), Qt::Key_Home);
    QCOMPARE(m_list->ItemIndex(), 0);
    QCOMPARE(m_list->TopIndex(), 0);
    QTest::keyClick(m_list.get(), Qt::Key_PageDown);
    QCOMPARE(m_list->ItemIndex(), 7);
    QCOMPARE(m_list->TopIndex(), 0);
    QTest::keyClick(m_list.get(), Qt::Key_Down);
    QCOMPARE(m_list->ItemIndex(), 8);
    QCOMPARE(m_list->TopIndex(), 1);
}

void TestHTMListBox::shouldScrollToTopWhenCleared() {
    FillCheckBoxRows(30);
    m_list->SetTopIndex(12);
    m_list->SetItemIndex(14);
    m_list->Items().Clear();
    QCOMPARE(m_list->ItemIndex(), -1);
    FillCheckBoxRows(30);
    QCOMPARE(m_list->TopIndex(), 0);
}

void TestHTMListBox::shouldFireEnterAndExitOnlyWhenTargetChanges() {
    // Rows 0 and 1 share the status link target ".abc".
    m_list->Items().Add(CheckBoxItem(".abc"));
    m_list->Items().Add(CheckBoxItem(".abc"));
    m_list->Items().Add(CheckBoxItem(".xyz"));
    const auto shape = [this] { return m_list->viewport()->cursor().shape(); };

    MoveTo(QPoint(410, 15));
    QCOMPARE(m_enters, (QList<Fired>{{0, ".abc"}}));
    QCOMPARE(shape(), Qt::PointingHandCursor);
    QCOMPARE(m_list->FOldCursor().shape(), Qt::ArrowCursor);

    MoveTo(QPoint(410, kRow + 15));
    QCOMPARE(m_enters.size(), 1);
    QVERIFY(m_exits.isEmpty());

    MoveTo(QPoint(410, 2 * kRow + 15));
    QCOMPARE(m_exits, (QList<Fired>{{2, ".abc"}}));
    QCOMPARE(m_enters, (QList<Fired>{{0, ".abc"}, {2, ".xyz"}}));

    // Straight onto the check box of the same row: a different target.
    MoveTo(QPoint(70, 2 * kRow + 15));
    QCOMPARE(m_exits.last(), (Fired{2, ".xyz"}));
    QCOMPARE(m_enters.last(), (Fired{2, "check .xyz"}));

    // Off every link, below the last item: the saved cursor returns.
    MoveTo(QPoint(70, 4 * kRow));
    QCOMPARE(m_exits.last(), (Fired{-1, "check .xyz"}));
    QCOMPARE(shape(), Qt::ArrowCursor);
    QVERIFY(m_list->FOldAnchor().isEmpty());
    MoveTo(QPoint(60, 4 * kRow));
    QCOMPARE(m_exits.size(), 3);
}

void TestHTMListBox::shouldTakeFocusWhenPointerEntersWithAutoFocus() {
    m_list->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_list.get()));
    m_list->clearFocus();
    QEnterEvent enter(QPointF(10, 10), QPointF(10, 10), m_list->mapToGlobal(QPointF(10, 10)));
    QCoreApplication::sendEvent(m_list.get(), &enter);
    QTRY_VERIFY(m_list->hasFocus());
}

void TestHTMListBox::shouldPaintReportRowsWithBackgroundsLinesAndPictures() {
    m_list->Items().Add(NeedsApplicationHeader());
    m_list->Items().Add(GroupRow("Audio"));
    m_list->Items().Add(CheckBoxItem(".mp3"));
    const QImage image = Grab();
    const QColor white(Qt::white), group("#d6e7f9"), entry("#e4eef9");

    QCOMPARE(image.pixelColor(300, 5), white);  // heading rows have no BODY
    QCOMPARE(image.pixelColor(4, 5), PictureColour("ListBoxItem_RAA.bmp"));  // picture 2 px in, top on item top
    QCOMPARE(image.pixelColor(1, 5), white);

    QCOMPARE(image.pixelColor(300, kRow + 5), group);
    QCOMPARE(image.pixelColor(0, kRow + 5), group);  // BODY widened 2 px to the left
    QCOMPARE(image.pixelColor(2 + 15, kRow + 5), PictureColour("ListBoxItem_FileTypeG.bmp"));
    QCOMPARE(image.pixelColor(300, kRow + 31), white);  // HR on the item's last row

    QCOMPARE(image.pixelColor(300, 2 * kRow + 5), entry);
    QCOMPARE(image.pixelColor(300, 2 * kRow + 30), entry);
    QCOMPARE(image.pixelColor(300, 2 * kRow + 31), white);
    QCOMPARE(image.pixelColor(2 + 25, 2 * kRow), PictureColour("idxs.0"));
    QCOMPARE(image.pixelColor(2 + 54, 2 * kRow + 29), PictureColour("idxs.0"));
    QCOMPARE(image.pixelColor(2 + 55, 2 * kRow), PictureColour("idxs.1"));
    QCOMPARE(image.pixelColor(2 + 84, 2 * kRow + 29), PictureColour("idxs.1"));
    QCOMPARE(image.pixelColor(2 + 85, 2 * kRow + 5), entry);

    // Below the last item the list's own colour.
    QCOMPARE(image.pixelColor(300, 3 * kRow + 5), white);
    QCOMPARE(image.pixelColor(300, 285), white);
}

void TestHTMListBox::shouldKeepItemsOrderedWhenSorted() {
    m_list->Items().Add("b");
    m_list->Items().Add("C");
    m_list->Items().Add("a");
    m_list->SetSorted(true);
    QCOMPARE(m_list->Items()[0], "a");
    QCOMPARE(m_list->Items()[2], "C");
    QCOMPARE(m_list->Items().Add("B"), 2);  // after the equal "b"
    QCOMPARE(m_list->ItemHeightAt(3), kRow);
}

void TestHTMListBox::shouldSizeItemsByContentOnlyWithAutoItemHeight() {
    QtSurface metrics(nullptr, 96);
    metrics.SelectFont(m_list->Font());
    const int textHeight = metrics.TextHeight();
    m_list->Items().Add(GroupRow("Audio"));
    m_list->Items().Add("a<br/>b<br/>c");
    m_list->Items().Add("");
    QCOMPARE(m_list->ItemHeightAt(1), kRow);

    m_list->SetAutoItemHeight(true);
    QCOMPARE(m_list->ItemHeightAt(0), 32);  // the 30-pixel line and the separator below it
    QCOMPARE(m_list->ItemHeightAt(1), 3 * textHeight);
    QCOMPARE(m_list->ItemHeightAt(2), kRow);  // nothing drawn: the fixed height
    QCOMPARE(m_list->ItemRect(2).top(), 32 + 3 * textHeight);

    // Adding inside an update waits for EndUpdate to size the items.
    m_list->BeginUpdate();
    m_list->Items().Add("a<br/>b");
    m_list->EndUpdate();
    QCOMPARE(m_list->ItemHeightAt(3), 2 * textHeight);

    m_list->SetAutoItemHeight(false);
    for (int i = 0; i < 4; ++i) QCOMPARE(m_list->ItemHeightAt(i), kRow);
}

QTEST_MAIN(TestHTMListBox)
#include "tst_HTMListB.moc"
