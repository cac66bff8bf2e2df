#include "frontend/qt/widgets/TRzVersionInfoStatus.h"

#include "frontend/qt/widgets/Colors.h"

#include <QFontMetrics>
#include <QPainter>

namespace quelvo::widgets {

TRzVersionInfoStatus::TRzVersionInfoStatus(QWidget* parent)
    : QWidget(parent), FFieldLabelColor(clWindowText())
{
    resize(kDefaultWidth, kDefaultHeight);
}

void TRzVersionInfoStatus::SetVersionInfo(TRzVersionInfo* info)
{
    if (info == FVersionInfo)
        return;
    FVersionInfo = info;
    update();
}

void TRzVersionInfoStatus::SetField(TRzVersionInfoField field)
{
    if (field == FField)
        return;
    FField = field;
    update();
}

void TRzVersionInfoStatus::SetFieldLabel(const QString& label)
{
    if (label == FFieldLabel)
        return;
    FFieldLabel = label;
    update();
}

void TRzVersionInfoStatus::SetFieldLabelColor(const QColor& colour)
{
    if (colour == FFieldLabelColor)
        return;
    FFieldLabelColor = colour;
    update();
}

QString TRzVersionInfoStatus::Caption() const
{
    return FVersionInfo ? FVersionInfo->Field(FField) : QString();
}

int TRzVersionInfoStatus::LabelLeft() const { return 1 + FTextOffset; }

int TRzVersionInfoStatus::ValueLeft() const
{
    return QFontMetrics(font()).horizontalAdvance(FFieldLabel) + 2 * FTextOffset;
}

void TRzVersionInfoStatus::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setFont(font());
    const int labelWidth = QFontMetrics(font()).horizontalAdvance(FFieldLabel);
    p.setPen(isEnabled() ? FFieldLabelColor : clGrayText());
    p.drawText(QRect(LabelLeft(), 0, labelWidth, height()), Qt::AlignLeft | Qt::AlignVCenter,
               FFieldLabel);
    QRect value = rect();
    value.setLeft(ValueLeft());
    p.setPen(isEnabled() ? palette().color(QPalette::WindowText) : clGrayText());
    p.drawText(value, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, Caption());
}

}  // namespace quelvo::widgets
