#include "widgets/TGIFImage.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>

#include <algorithm>

namespace quelvo::widgets {

namespace {

// A bounds-checked walk over the GIF's blocks.
class GIFCursor {
public:
    explicit GIFCursor(const QByteArray& data) : m_data(data) {}

    bool Has(qsizetype n) const { return m_pos + n <= m_data.size(); }
    int Byte(qsizetype at) const { return static_cast<unsigned char>(m_data[m_pos + at]); }
    int Take()
    {
        const int b = Byte(0);
        ++m_pos;
        return b;
    }
    void Skip(qsizetype n) { m_pos += n; }
    QByteArray Peek(qsizetype n) const { return m_data.mid(m_pos, n); }
    qsizetype Pos() const { return m_pos; }

    // Skips a chain of data sub-blocks up to and including its terminator.
    bool SkipSubBlocks()
    {
        while (Has(1)) {
            const int n = Take();
            if (n == 0)
                return true;
            if (!Has(n))
                return false;
            Skip(n);
        }
        return false;
    }

private:
    const QByteArray& m_data;
    qsizetype m_pos = 0;
};

qsizetype ColourTableBytes(int packed)
{
    return (packed & 0x80) ? 3 * (qsizetype(1) << ((packed & 0x07) + 1)) : 0;
}

}  // namespace

TGIFTiming ReadGIFTiming(const QByteArray& data)
{
    TGIFTiming timing;
    GIFCursor c(data);
    if (!c.Has(13) || !data.startsWith("GIF8"))
        return timing;
    const int screenFlags = c.Byte(10);
    c.Skip(13);
    if (!c.Has(ColourTableBytes(screenFlags)))
        return timing;
    c.Skip(ColourTableBytes(screenFlags));

    std::optional<int> pendingDelay;
    while (c.Has(1)) {
        const int introducer = c.Take();
        if (introducer == 0x21) {
            if (!c.Has(1))
                break;
            const int label = c.Take();
            if (label == 0xF9 && c.Has(5) && c.Byte(0) >= 4) {
                pendingDelay = c.Byte(2) | (c.Byte(3) << 8);
            } else if (label == 0xFF && c.Has(12) && c.Byte(0) == 11) {
                const QByteArray id = c.Peek(12).mid(1);
                if (id == "NETSCAPE2.0" || id == "ANIMEXTS1.0") {
                    c.Skip(12);
                    if (c.Has(4) && c.Byte(0) >= 3 && c.Byte(1) == 1)
                        timing.LoopCount = c.Byte(2) | (c.Byte(3) << 8);
                }
            }
            if (!c.SkipSubBlocks())
                break;
        } else if (introducer == 0x2C) {
            if (!c.Has(9))
                break;
            const int packed = c.Byte(8);
            c.Skip(9);
            timing.Delays.push_back(pendingDelay);
            pendingDelay.reset();
            if (!c.Has(ColourTableBytes(packed) + 1))
                break;
            c.Skip(ColourTableBytes(packed) + 1);  // colour table, LZW code size
            if (!c.SkipSubBlocks())
                break;
        } else {
            break;  // trailer, or something that is not a block
        }
    }
    return timing;
}

int GIFFrameTimeMs(std::optional<int> delayHundredths)
{
    int delay = delayHundredths.value_or(0);
    if (delay == 0)
        delay = 10;
    return std::clamp(delay, 3, 1000) * 12;
}

TGIFImage::TGIFImage(QObject* parent) : QObject(parent)
{
    FTimer.setSingleShot(true);
    connect(&FTimer, &QTimer::timeout, this, [this] {
        Step();
        if (FAnimate)
            ScheduleNext();
    });
}

bool TGIFImage::LoadFromData(const QByteArray& data)
{
    FTimer.stop();
    FFrames.clear();
    FFrameTimes.clear();
    FCurrent = 0;
    FLoopsDone = 0;

    QByteArray bytes = data;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    // Qt's reader hands out whole frames, each composed over the previous
    // ones as the disposal and transparency of the file say.
    QImageReader reader(&buffer, "gif");
    while (reader.canRead()) {
        QImage frame = reader.read();
        if (frame.isNull())
            break;
        FFrames.push_back(frame.convertToFormat(QImage::Format_ARGB32_Premultiplied));
    }

    const TGIFTiming timing = ReadGIFTiming(data);
    for (std::size_t i = 0; i < FFrames.size(); ++i)
        FFrameTimes.push_back(GIFFrameTimeMs(i < timing.Delays.size() ? timing.Delays[i] : std::nullopt));
    // Without a looping extension the animation plays once.
    FLoopCount = timing.LoopCount.value_or(1);

    if (FAnimate)
        ScheduleNext();
    if (OnChange)
        OnChange();
    return !FFrames.empty();
}

bool TGIFImage::LoadFromFile(const QString& fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        LoadFromData({});
        return false;
    }
    return LoadFromData(file.readAll());
}

int TGIFImage::Width() const { return FFrames.empty() ? 0 : FFrames.front().width(); }

int TGIFImage::Height() const { return FFrames.empty() ? 0 : FFrames.front().height(); }

int TGIFImage::FrameTime(int index) const
{
    if (index < 0 || index >= FrameCount())
        return 0;
    return FFrameTimes[static_cast<std::size_t>(index)];
}

void TGIFImage::SetAnimate(bool on)
{
    if (on == FAnimate)
        return;
    FAnimate = on;
    if (on) {
        FLoopsDone = 0;
        ScheduleNext();
    } else {
        FTimer.stop();
    }
}

const QImage& TGIFImage::CurrentImage() const { return Frame(FCurrent); }

const QImage& TGIFImage::Frame(int index) const
{
    static const QImage none;
    if (index < 0 || index >= FrameCount())
        return none;
    return FFrames[static_cast<std::size_t>(index)];
}

void TGIFImage::Step()
{
    if (FFrames.size() < 2)
        return;
    int next = FCurrent + 1;
    if (next >= FrameCount()) {
        ++FLoopsDone;
        if (FLoopCount != 0 && FLoopsDone >= FLoopCount) {
            FTimer.stop();
            return;  // the last frame stays
        }
        next = 0;
    }
    FCurrent = next;
    if (OnChange)
        OnChange();
}

void TGIFImage::ScheduleNext()
{
    if (FFrames.size() < 2)
        return;
    if (FLoopCount != 0 && FLoopsDone >= FLoopCount)
        return;
    FTimer.start(FrameTime(FCurrent));
}

}  // namespace quelvo::widgets
