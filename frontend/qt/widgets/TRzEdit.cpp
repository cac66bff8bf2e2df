#include "frontend/qt/widgets/TRzEdit.h"

#include "frontend/qt/widgets/Colors.h"

#include <QPainter>

namespace quelvo::widgets {

TRzEdit::TRzEdit(QWidget* parent)
    : QLineEdit(parent), FColor(clWhite()), FFrameColor(clBtnShadow())
{
    // The frame is drawn by hand: the style's frame is 3-D and thicker.
    setFrame(false);
    setTextMargins(2, 1, 2, 1);
    ApplyLook();
}

void TRzEdit::SetColor(const QColor& colour)
{
    if (colour == FColor)
        return;
    FColor = colour;
    ApplyLook();
}

void TRzEdit::SetFrameVisible(bool on)
{
    if (on == FFrameVisible)
        return;
    FFrameVisible = on;
    update();
}

void TRzEdit::SetFrameColor(const QColor& colour)
{
    if (colour == FFrameColor)
        return;
    FFrameColor = colour;
    update();
}

void TRzEdit::ApplyLook()
{
    QPalette pal = palette();
    pal.setColor(QPalette::Base, FColor);
    pal.setColor(QPalette::Text, clWindowText());
    setPalette(pal);
    setAutoFillBackground(true);
    update();
}

void TRzEdit::paintEvent(QPaintEvent* e)
{
    QLineEdit::paintEvent(e);
    if (!FFrameVisible)
        return;
    QPainter p(this);
    p.setPen(FFrameColor);
    p.setBrush(Qt::NoBrush);
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

}  // namespace quelvo::widgets
