#include "frontend/qt/widgets/TGIFImage.h"
#include "frontend/qt/widgets/TImage.h"

#include <QtTest>

#include <optional>
#include <vector>

using namespace quelvo::widgets;

namespace {

struct FrameSpec {
    std::optional<int> delay;  // none: no graphic control extension
    int colourIndex = 1;       // 0 blue, 1 red
    bool transparentZero = false;
};

// A 1 x 1 GIF with one pixel per frame, frames left in place.
QByteArray MakeGIF(const std::vector<FrameSpec>& frames, std::optional<int> loop)
{
    QByteArray g("GIF89a");
    g.append("\x01\x00\x01\x00\x80\x00\x00", 7);
    g.append("\x00\x00\xFF\xFF\x00\x00", 6);  // blue, red
    if (loop) {
        g.append("\x21\xFF\x0BNETSCAPE2.0\x03\x01", 16);
        g.append(char(*loop & 0xFF)).append(char(*loop >> 8)).append('\0');
    }
    for (const FrameSpec& f : frames) {
        if (f.delay || f.transparentZero) {
            const int delay = f.delay.value_or(0);
            g.append("\x21\xF9\x04", 3);
            g.append(char((1 << 2) | (f.transparentZero ? 1 : 0)));
            g.append(char(delay & 0xFF)).append(char(delay >> 8)).append('\0').append('\0');
        }
        g.append("\x2C\x00\x00\x00\x00\x01\x00\x01\x00\x00", 10);
        g.append("\x02\x02", 2);
        g.append(f.colourIndex == 1 ? "\x4C\x01" : "\x44\x01", 2);
        g.append('\0');
    }
    g.append('\x3B');
    return g;
}

}  // namespace

class TestGIFImage : public QObject {
    Q_OBJECT
private slots:
    // The timing rule and the stepping are the shared GIF player's
    // (tests/frontend/GIFPlayerTest.cpp); here: Qt's decoder and timer.
    void shouldTimeTheFramesItDecodes()
    {
        const QByteArray data = MakeGIF({{5}, {std::nullopt}, {0}}, 0);
        TGIFImage gif;
        QVERIFY(gif.LoadFromData(data));
        QCOMPARE(gif.FrameCount(), 3);
        QCOMPARE(gif.FrameTime(0), 60);
        QCOMPARE(gif.FrameTime(1), 120);
        QCOMPARE(gif.FrameTime(2), 120);
        QCOMPARE(gif.LoopCount(), 0);
    }

    void shouldSurviveDamagedData()
    {
        const QByteArray data = MakeGIF({{5}, {5}}, 0);
        for (qsizetype cut = 0; cut < data.size(); ++cut) {
            TGIFImage gif;
            gif.LoadFromData(data.left(cut));
            QVERIFY(gif.FrameCount() <= 2);
            for (int i = 0; i < 3; ++i)
                gif.Step();
        }
        TGIFImage gif;
        QVERIFY(!gif.LoadFromData("not a picture"));
        QVERIFY(gif.Empty());
    }

    void shouldShowWhatLiesBehindTransparentPixels()
    {
        TGIFImage gif;
        QVERIFY(gif.LoadFromData(MakeGIF({{5, 0, true}, {5, 1, false}, {5, 0, true}}, 0)));
        QCOMPARE(qAlpha(gif.Frame(0).pixel(0, 0)), 0);
        QCOMPARE(gif.Frame(1).pixelColor(0, 0), QColor(255, 0, 0));
        // Frame 2 is transparent over the red frame left in place.
        QCOMPARE(gif.Frame(2).pixelColor(0, 0), QColor(255, 0, 0));
    }

    void shouldAnimateWhileHiddenAndStandStillWhenOff()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath("a.gif");
        {
            QFile out(file);
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write(MakeGIF({{3}, {3, 0}, {3}}, 0));
        }
        TImage image;  // never shown
        QVERIFY(image.LoadFromFile(file));
        TGIFImage* gif = image.GIF();
        QVERIFY(gif);
        QVERIFY(!gif->Animate());
        QTest::qWait(100);
        QCOMPARE(gif->CurrentFrame(), 0);

        int changes = 0;
        gif->OnChange = [&changes] { ++changes; };
        gif->SetAnimate(true);
        QTRY_VERIFY_WITH_TIMEOUT(changes >= 3, 2000);
        gif->SetAnimate(false);
        const int frame = gif->CurrentFrame();
        const int seen = changes;
        QTest::qWait(150);
        QCOMPARE(gif->CurrentFrame(), frame);
        QCOMPARE(changes, seen);
        QCOMPARE(image.Picture(), gif->CurrentImage());
    }

    void shouldLoadTheScanningAnimation()
    {
        const QString file = QStringLiteral(QUELVO_SOURCE_DIR "/resources/scanning.gif");
        if (!QFile::exists(file))
            QSKIP("scanning animation not drawn yet");
        TGIFImage gif;
        QVERIFY(gif.LoadFromFile(file));
        QCOMPARE(gif.FrameCount(), 14);
        QCOMPARE(gif.Width(), 80);
        QCOMPARE(gif.Height(), 74);
        for (int i = 0; i < 14; ++i)
            QCOMPARE(gif.FrameTime(i), 60);
        QCOMPARE(gif.LoopCount(), 0);
    }
};

QTEST_MAIN(TestGIFImage)
#include "tst_TGIFImage.moc"
