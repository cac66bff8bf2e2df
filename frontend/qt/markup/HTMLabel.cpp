#include "frontend/qt/markup/HTMLabel.h"

#include "frontend/LinkTargets.h"
#include "frontend/qt/markup/Convert.h"
#include "frontend/qt/markup/Desktop.h"
#include "frontend/qt/markup/MeasureSurface.h"
#include "frontend/qt/markup/QtSurface.h"
#include "markup/engine/RenderMarkup.h"

#include <QMouseEvent>
#include <QPainter>

namespace quelvo::markup {

THTMLabel::THTMLabel(QWidget* parent) : QWidget(parent) {
    m_color = palette().color(QPalette::Window);
    m_font = FontSpec{u"Tahoma", 8, false, false, ToRgb(palette().color(QPalette::WindowText))};
    m_lines.SetHook([this](TMarkupStrings::Change, int) { update(); });
    setMouseTracking(true);
}

void THTMLabel::SetTransparent(bool on) {
    if (Assign(m_transparent, on)) update();
}

void THTMLabel::SetColor(const QColor& colour) {
    if (Assign(m_color, colour)) update();
}

void THTMLabel::SetFont(const FontSpec& font) {
    if (Assign(m_font, font)) update();
}

void THTMLabel::SetURLColor(const QColor& colour) {
    if (Assign(m_urlColor, colour)) update();
}

void THTMLabel::SetEllipsis(bool on) {
    if (Assign(m_ellipsis, on)) update();
}

void THTMLabel::SetLineSpacing(int pixels) {
    if (Assign(m_lineSpacing, pixels)) update();
}

void THTMLabel::SetVAlignment(TVAlignment alignment) {
    if (Assign(m_vAlignment, alignment)) update();
}

// The layout rectangle: the client rectangle, moved down for centred or
// bottom alignment by the free space under the content.
Rect THTMLabel::LayoutRect(Surface& metrics, const std::u16string& text) const {
    Rect layout = ToRect(rect());
    if (m_vAlignment == tvaTop) return layout;
    MeasureSurface measure(metrics);
    DrawMarkup(measure, text, layout, m_font, ToRgb(m_urlColor), !m_ellipsis, m_lineSpacing, nullptr);
    const int free = measure.Bottom() > layout.top ? layout.bottom - measure.Bottom() : 0;
    if (free > 0) layout.top += m_vAlignment == tvaCenter ? free / 2 : free;
    return layout;
}

void THTMLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (!m_transparent) painter.fillRect(rect(), m_color);
    const std::u16string text = m_lines.Joined();
    QtSurface surface(&painter, logicalDpiY(), palette());
    DrawMarkup(surface, text, LayoutRect(surface, text), m_font, ToRgb(m_urlColor), !m_ellipsis, m_lineSpacing,
               nullptr);
}

QString THTMLabel::AnchorAt(QPoint pos) const {
    const std::u16string text = m_lines.Joined();
    QtSurface metrics(nullptr, logicalDpiY(), palette());
    const MarkupResult found = LocateMarkupLink(metrics, text, LayoutRect(metrics, text), m_font, ToRgb(m_urlColor),
                                                !m_ellipsis, m_lineSpacing, nullptr, Point{pos.x(), pos.y()});
    return found.overLink ? ToQString(found.linkTarget) : QString();
}

void THTMLabel::mouseMoveEvent(QMouseEvent* event) {
    if (!AnchorAt(event->position().toPoint()).isEmpty())
        setCursor(Qt::PointingHandCursor);
    else if (cursor().shape() == Qt::PointingHandCursor)
        setCursor(Qt::ArrowCursor);
    QWidget::mouseMoveEvent(event);
}

void THTMLabel::mousePressEvent(QMouseEvent* event) { Press(event); }

void THTMLabel::mouseDoubleClickEvent(QMouseEvent* event) { Press(event); }

// The ordinary mouse-down first, then the event, then the desktop.
void THTMLabel::Press(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    event->accept();
    if (OnMouseDown) OnMouseDown(this, event->button(), pos);
    const QString anchor = AnchorAt(pos);
    if (anchor.isEmpty()) return;
    if (OnAnchorClick) OnAnchorClick(this, anchor);
    if (frontend::IsDesktopTarget(anchor.toStdU16String())) OpenWithDesktop(anchor);
}

}  // namespace quelvo::markup
