#pragma once

// A panel painted from a picture with an alpha channel. The picture is drawn
// at the top-left at its own size into a cached ARGB picture of the panel's
// size; the cache is rebuilt only when the size, fill, caption or
// transparency changed. A transparent panel first shows its parent's colour
// and blends the cache over it.

#include "frontend/qt/widgets/Events.h"

#include <QColor>
#include <QImage>
#include <QString>
#include <QWidget>

namespace quelvo::widgets {

class TAdvSmoothPanel : public QWidget {
    Q_OBJECT
public:
    explicit TAdvSmoothPanel(QWidget* parent = nullptr);

    const QImage& Fill() const { return FFill; }
    void SetFill(const QImage& picture);

    QString Caption() const { return FCaption; }
    void SetCaption(const QString& caption);

    bool Transparent() const { return FTransparent; }
    void SetTransparent(bool on);

    // The colour shown under the picture: the parent's background colour when
    // transparent, else the panel's own (none: fully transparent).
    QColor UnderColour() const;

    // The panel as it appears: the under colour with the cached picture
    // blended over it.
    QImage Composed();

    // How often the cache has been built (the fill is drawn only then).
    int CacheBuilds() const { return FCacheBuilds; }

    // Fires for every mouse button pressed on the panel's own surface.
    TMouseEvent OnMouseDown;

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;

private:
    const QImage& Cache();

    QImage FFill;
    QString FCaption;
    bool FTransparent = true;
    QImage FCache;
    bool FCacheValid = false;
    int FCacheBuilds = 0;
};

}  // namespace quelvo::widgets
