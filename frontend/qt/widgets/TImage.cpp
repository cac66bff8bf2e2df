#include "frontend/qt/widgets/TImage.h"

#include <QFile>
#include <QPainter>

namespace quelvo::widgets {

TImage::TImage(QWidget* parent) : QWidget(parent) {}

bool TImage::LoadFromFile(const QString& fileName)
{
    QFile file(fileName);
    QByteArray data;
    if (file.open(QIODevice::ReadOnly))
        data = file.readAll();

    if (data.startsWith("GIF8")) {
        auto gif = std::make_unique<TGIFImage>();
        const bool ok = gif->LoadFromData(data);
        FGIF = std::move(gif);
        FGIF->OnChange = [this] { update(); };
        FPicture = QImage();
        PictureChanged();
        return ok;
    }
    FGIF.reset();
    FPicture = QImage::fromData(data);
    PictureChanged();
    return !FPicture.isNull();
}

void TImage::SetPicture(const QImage& picture)
{
    FGIF.reset();
    FPicture = picture;
    PictureChanged();
}

QImage TImage::Picture() const { return FGIF ? FGIF->CurrentImage() : FPicture; }

void TImage::SetAutoSize(bool on)
{
    if (on == FAutoSize)
        return;
    FAutoSize = on;
    PictureChanged();
}

void TImage::PictureChanged()
{
    if (FAutoSize) {
        const QImage picture = Picture();
        if (!picture.isNull())
            resize(picture.size());
    }
    update();
}

void TImage::paintEvent(QPaintEvent*)
{
    const QImage& picture = FGIF ? FGIF->CurrentImage() : FPicture;
    if (picture.isNull())
        return;
    QPainter p(this);
    p.drawImage(0, 0, picture);
}

}  // namespace quelvo::widgets
