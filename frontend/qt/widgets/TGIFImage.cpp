#include "frontend/qt/widgets/TGIFImage.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>


namespace quelvo::widgets {

TGIFImage::TGIFImage(QObject* parent) : QObject(parent)
{
    FTimer.setSingleShot(true);
    connect(&FTimer, &QTimer::timeout, this, [this] { FPlayer.TimerElapsed(); });
}

void TGIFImage::Host::Repaint()
{
    if (m_image.OnChange)
        m_image.OnChange();
}

bool TGIFImage::LoadFromData(const QByteArray& data)
{
    FFrames.clear();

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
    FPlayer.Load(std::string_view(data.constData(), static_cast<std::size_t>(data.size())), FFrames.size());
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

const QImage& TGIFImage::CurrentImage() const { return Frame(CurrentFrame()); }

const QImage& TGIFImage::Frame(int index) const
{
    static const QImage none;
    if (index < 0 || index >= FrameCount())
        return none;
    return FFrames[static_cast<std::size_t>(index)];
}

}  // namespace quelvo::widgets
