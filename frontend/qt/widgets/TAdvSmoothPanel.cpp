#include "frontend/qt/widgets/TAdvSmoothPanel.h"

#include <QMouseEvent>
#include <QPainter>

#include <cmath>

namespace quelvo::widgets {

TAdvSmoothPanel::TAdvSmoothPanel(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_NoMousePropagation);
}

void TAdvSmoothPanel::SetFill(const QImage& picture)
{
    FFill = picture;
    FCacheValid = false;
    update();
}

void TAdvSmoothPanel::SetCaption(const QString& caption)
{
    if (caption == FCaption)
        return;
    FCaption = caption;
    FCacheValid = false;
    update();
}

void TAdvSmoothPanel::SetTransparent(bool on)
{
    if (on == FTransparent)
        return;
    FTransparent = on;
    FCacheValid = false;
    update();
}

QColor TAdvSmoothPanel::UnderColour() const
{
    if (FTransparent && parentWidget()) {
        const QWidget* parent = parentWidget();
        return parent->palette().color(parent->backgroundRole());
    }
    return QColor(Qt::transparent);
}

const QImage& TAdvSmoothPanel::Cache()
{
    if (!FCacheValid || FCache.size() != size()) {
        FCache = QImage(size(), QImage::Format_ARGB32_Premultiplied);
        FCache.fill(Qt::transparent);
        QPainter p(&FCache);
        p.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform |
                         QPainter::TextAntialiasing);
        if (!FFill.isNull())
            p.drawImage(0, 0, FFill);
        if (!FCaption.isEmpty()) {
            p.setFont(font());
            p.setPen(palette().color(QPalette::WindowText));
            p.drawText(FCache.rect(), Qt::AlignCenter, FCaption);
        }
        FCacheValid = true;
        ++FCacheBuilds;
    }
    return FCache;
}

QImage TAdvSmoothPanel::Composed()
{
    QImage out(size(), QImage::Format_ARGB32_Premultiplied);
    out.fill(UnderColour());
    QPainter p(&out);
    p.drawImage(0, 0, Cache());
    return out;
}

void TAdvSmoothPanel::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QColor under = UnderColour();
    if (under.alpha() != 0)
        p.fillRect(rect(), under);
    p.drawImage(0, 0, Cache());
}

void TAdvSmoothPanel::resizeEvent(QResizeEvent* e)
{
    FCacheValid = false;
    QWidget::resizeEvent(e);
}

void TAdvSmoothPanel::mousePressEvent(QMouseEvent* e)
{
    e->accept();
    if (OnMouseDown)
        OnMouseDown(this, e->button(), e->modifiers(),
                    static_cast<int>(std::floor(e->position().x())),
                    static_cast<int>(std::floor(e->position().y())));
}

void TAdvSmoothPanel::mouseDoubleClickEvent(QMouseEvent* e) { mousePressEvent(e); }

}  // namespace quelvo::widgets
