#include "frontend/qt/widgets/TRzLabel.h"

#include "frontend/qt/widgets/Colors.h"

#include "frontend/qt/markup/BoldText.h"

#include <QEvent>
#include <QFontMetrics>
#include <QPainter>

#include <climits>

namespace quelvo::widgets {

TRzLabel::TRzLabel(QWidget* parent) : QWidget(parent), FFontColor(clWindowText())
{
    AdjustSize();
}

void TRzLabel::SetCaption(const QString& caption)
{
    if (caption == FCaption)
        return;
    FCaption = caption;
    AdjustSize();
    update();
}

void TRzLabel::SetFontColor(const QColor& colour)
{
    if (colour == FFontColor)
        return;
    FFontColor = colour;
    update();
}

void TRzLabel::SetLabelFont(const QFont& newFont)
{
    // The font change arrives as a FontChange event, which resizes and repaints.
    setFont(newFont);
}

void TRzLabel::SetTransparent(bool on)
{
    if (on == FTransparent)
        return;
    FTransparent = on;
    update();
}

void TRzLabel::SetColor(const QColor& colour)
{
    if (colour == FColor)
        return;
    FColor = colour;
    if (!FTransparent)
        update();
}

void TRzLabel::SetAutoSize(bool on)
{
    if (on == FAutoSize)
        return;
    FAutoSize = on;
    AdjustSize();
    update();
}

void TRzLabel::SetWordWrap(bool on)
{
    if (on == FWordWrap)
        return;
    FWordWrap = on;
    AdjustSize();
    update();
}

int TRzLabel::TextFlags() const
{
    return Qt::AlignLeft | Qt::AlignTop | (FWordWrap ? Qt::TextWordWrap : Qt::TextSingleLine);
}

void TRzLabel::AdjustSize()
{
    if (!FAutoSize)
        return;
    const QFontMetrics metrics(font());
    if (FWordWrap) {
        const QRect bounds = metrics.boundingRect(QRect(0, 0, width(), INT_MAX / 2), TextFlags(), FCaption);
        resize(width(), std::max(bounds.height(), metrics.height()));
    } else {
        const QSize text = metrics.size(Qt::TextSingleLine, FCaption);
        // An overstruck bold reaches one pixel further right.
        const int strike = FCaption.isEmpty() ? 0 : markup::OverstrikeCount(font()) - 1;
        resize(text.width() + strike, std::max(text.height(), metrics.height()));
    }
}

void TRzLabel::paintEvent(QPaintEvent*)
{
    ++FPaintCount;
    QPainter p(this);
    if (!FTransparent && FColor.isValid())
        p.fillRect(rect(), FColor);
    p.setFont(font());
    p.setPen(FFontColor);
    markup::DrawBoldAwareText(p, rect(), TextFlags(), FCaption);
}

void TRzLabel::changeEvent(QEvent* e)
{
    if (e->type() == QEvent::FontChange) {
        AdjustSize();
        update();
    }
    QWidget::changeEvent(e);
}

}  // namespace quelvo::widgets
