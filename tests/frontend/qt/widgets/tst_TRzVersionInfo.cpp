#include "frontend/qt/widgets/TRzVersionInfo.h"
#include "frontend/qt/widgets/TRzVersionInfoStatus.h"

#include <QPainter>
#include <QtTest>

using namespace quelvo::widgets;

namespace {

TRzVersionReader Reader(std::optional<TRzVersionData> data)
{
    return [data] { return data; };
}

TRzVersionData TwoTranslations()
{
    TRzVersionData data;
    TRzVersionTranslation english;
    english.Strings = {{"FileVersion", "1.0.0.14"}, {"ProductVersion", "1.0.0.0"},
                       {"ProductName", "Quelvo"}};
    TRzVersionTranslation german;
    german.Language = 0x0407;
    german.Strings = {{"FileVersion", "9.9"}, {"Comments", "zweite"}};
    data.Translations = {english, german};
    return data;
}

}  // namespace

class TestVersionInfo : public QObject {
    Q_OBJECT
private slots:
    void shouldReadEveryFieldAsNotAvailableWithoutVersionData()
    {
        TRzVersionInfo info(nullptr, Reader(std::nullopt));
        QVERIFY(!info.HasVersionData());
        for (int i = 0; i < kVersionFieldCount; ++i)
            QCOMPARE(info.Field(static_cast<TRzVersionInfoField>(i)), QString("Value Not Available"));
    }

    void shouldReadFieldsOfTheFirstTranslationOnly()
    {
        TRzVersionInfo info(nullptr, Reader(TwoTranslations()));
        QCOMPARE(info.FileVersion(), QString("1.0.0.14"));
        QCOMPARE(info.ProductVersion(), QString("1.0.0.0"));
        QCOMPARE(info.ProductName(), QString("Quelvo"));
        // Present only in the second translation: missing here.
        QCOMPARE(info.Comments(), QString());
        QCOMPARE(info.CompanyName(), QString());
    }

    void shouldReadAgainAfterLoading()
    {
        std::optional<TRzVersionData> data;
        TRzVersionInfo info(nullptr, [&data] { return data; });
        QCOMPARE(info.FileVersion(), QString("Value Not Available"));
        data = TwoTranslations();
        info.Loaded();
        QCOMPARE(info.FileVersion(), QString("1.0.0.14"));
    }

    void shouldUseTheExecutablesReaderByDefault()
    {
        SetExecutableVersionReader(Reader(TwoTranslations()));
        TRzVersionInfo info;
        QCOMPARE(info.FileVersion(), QString("1.0.0.14"));
        SetExecutableVersionReader({});
        TRzVersionInfo none;
        QCOMPARE(none.FileVersion(), QString("Value Not Available"));
    }

    void shouldShowTheChosenFieldAfterTheLabel()
    {
        TRzVersionInfo info(nullptr, Reader(TwoTranslations()));
        TRzVersionInfoStatus pane;
        QCOMPARE(pane.size(), QSize(100, 20));
        QCOMPARE(pane.Caption(), QString());
        pane.SetVersionInfo(&info);
        pane.SetFieldLabel("Product version:");
        QCOMPARE(pane.Caption(), QString("1.0.0.14"));
        pane.SetField(TRzVersionInfoField::vifTrademarks);
        QCOMPARE(pane.Caption(), QString());
        QCOMPARE(pane.LabelLeft(), 3);
        QCOMPARE(pane.ValueLeft(), QFontMetrics(pane.font()).horizontalAdvance("Product version:") + 4);
    }

    void shouldDrawLabelInItsColourAndNothingOutsideTheText()
    {
        TRzVersionInfo info(nullptr, Reader(TwoTranslations()));
        TRzVersionInfoStatus pane;
        pane.resize(169, 20);
        pane.SetVersionInfo(&info);
        pane.SetFieldLabel("Product version:");
        pane.SetFieldLabelColor(QColor(255, 0, 0));
        QImage shot(pane.size(), QImage::Format_ARGB32);
        shot.fill(Qt::transparent);
        pane.render(&shot, QPoint(), QRegion(), QWidget::DrawChildren);
        bool redInLabel = false;
        for (int x = 0; x < pane.ValueLeft(); ++x)
            for (int y = 0; y < 20; ++y)
                redInLabel |= shot.pixelColor(x, y).red() > 200 && shot.pixelColor(x, y).green() < 80;
        QVERIFY(redInLabel);
        // Transparent: the corner stays untouched.
        QCOMPARE(qAlpha(shot.pixel(0, 0)), 0);
    }

    // The value's part begins right after the label's width plus twice the text offset.
    void shouldDrawTheValueFromTheLabelWidthPlusTwiceTheTextOffset()
    {
        TRzVersionInfo info(nullptr, Reader(TwoTranslations()));
        TRzVersionInfoStatus pane;
        pane.resize(169, 20);
        pane.SetVersionInfo(&info);
        pane.SetFieldLabel("Product version:");
        const int valueLeft = QFontMetrics(pane.font()).horizontalAdvance("Product version:") + 4;
        QCOMPARE(pane.ValueLeft(), valueLeft);
        QImage shot(pane.size(), QImage::Format_ARGB32);
        shot.fill(Qt::transparent);
        pane.render(&shot, QPoint(), QRegion(), QWidget::DrawChildren);

        QImage expected(pane.size(), QImage::Format_ARGB32);
        expected.fill(Qt::transparent);
        {
            QPainter p(&expected);
            p.setFont(pane.font());
            p.setPen(pane.palette().color(QPalette::WindowText));
            p.drawText(QRect(valueLeft, 0, pane.width() - valueLeft, pane.height()),
                       Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, pane.Caption());
        }
        bool inked = false;
        for (int x = valueLeft; x < pane.width(); ++x)
            for (int y = 0; y < pane.height(); ++y) {
                QCOMPARE(shot.pixel(x, y), expected.pixel(x, y));
                inked |= qAlpha(shot.pixel(x, y)) > 0;
            }
        QVERIFY(inked);
    }
};

QTEST_MAIN(TestVersionInfo)
#include "tst_TRzVersionInfo.moc"
