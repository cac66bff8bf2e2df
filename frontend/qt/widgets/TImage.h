#pragma once

// A picture control: the picture is drawn at the top-left at its own size,
// with its alpha; where it is transparent, what lies behind shows. It holds
// either a still picture (PNG, BMP, ...) or an animated GIF.

#include "frontend/qt/widgets/TGIFImage.h"

#include <QImage>
#include <QString>
#include <QWidget>

#include <memory>

namespace quelvo::widgets {

class TImage : public QWidget {
    Q_OBJECT
public:
    explicit TImage(QWidget* parent = nullptr);

    // Loads a file or Qt resource; GIF files become an animated picture.
    // False when it cannot be read (the control is then empty).
    bool LoadFromFile(const QString& fileName);
    void SetPicture(const QImage& picture);

    // The animated picture, none when the control holds a still one.
    TGIFImage* GIF() const { return FGIF.get(); }

    // What is drawn now: the still picture or the GIF's current frame.
    QImage Picture() const;

    bool AutoSize() const { return FAutoSize; }
    void SetAutoSize(bool on);

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    void PictureChanged();

    QImage FPicture;
    std::unique_ptr<TGIFImage> FGIF;
    bool FAutoSize = false;
};

}  // namespace quelvo::widgets
