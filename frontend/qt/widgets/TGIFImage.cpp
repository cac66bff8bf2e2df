#include "widgets/TGIFImage.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>


namespace quelvo::widgets {

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
