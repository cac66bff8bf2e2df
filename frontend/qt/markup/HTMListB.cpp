#include "frontend/qt/markup/HTMListB.h"

#include "frontend/qt/markup/Convert.h"
#include "frontend/qt/markup/Desktop.h"
#include "frontend/qt/markup/MeasureSurface.h"
#include "frontend/qt/markup/PictureContainer.h"
#include "frontend/qt/markup/QtSurface.h"
#include "markup/engine/RenderMarkup.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPaintEvent>
#include <QScrollBar>

#include <algorithm>
#include <utility>

namespace quelvo::markup {

THTMListBox::THTMListBox(QWidget* parent) : QAbstractScrollArea(parent) {
    m_color = palette().color(QPalette::Base);
    m_selectionColor = palette().color(QPalette::Highlight);
    m_selectionFontColor = palette().color(QPalette::HighlightedText);
    m_font = FontSpec{u"Tahoma", 8, false, false, ToRgb(palette().color(QPalette::Text))};
    m_items.SetHook([this](TMarkupStrings::Change change, int index) { ItemsChanged(change, index); });
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    verticalScrollBar()->setSingleStep(1);
    viewport()->setMouseTracking(true);
    viewport()->setAutoFillBackground(false);
    setFocusPolicy(Qt::StrongFocus);
    SetBorderStyle(bsSingle);
    UpdateScrollBar();
}

THTMListBox::~THTMListBox() = default;

// ---- items and heights -------------------------------------------------

void THTMListBox::ItemsChanged(TMarkupStrings::Change change, int index) {
    using Change = TMarkupStrings::Change;
    switch (change) {
    case Change::Cleared:
        m_heights.clear();
        m_itemIndex = -1;
        verticalScrollBar()->setValue(0);
        break;
    case Change::Added:
        m_heights.insert(m_heights.begin() + index, m_updateCount > 0 ? m_itemHeight : AutoHeightOf(index));
        if (m_itemIndex >= index) ++m_itemIndex;
        break;
    case Change::Removed:
        m_heights.erase(m_heights.begin() + index);
        if (m_itemIndex == index) m_itemIndex = -1;
        else if (m_itemIndex > index) --m_itemIndex;
        break;
    case Change::Replaced: {
        // The item keeps its place, height and the scroll position; show it now.
        if (m_updateCount > 0) return;
        const QRect rect = ItemRect(index);
        if (!rect.isEmpty()) viewport()->repaint(rect);
        return;
    }
    case Change::Reordered:
        m_itemIndex = -1;
        LayoutHeights();
        break;
    }
    if (m_updateCount > 0) return;
    UpdateScrollBar();
    viewport()->update();
}

void THTMListBox::BeginUpdate() { ++m_updateCount; }

void THTMListBox::EndUpdate() {
    if (m_updateCount == 0) return;
    --m_updateCount;
    Relayout();
}

void THTMListBox::Relayout() {
    if (m_updateCount > 0) return;
    LayoutHeights();
    UpdateScrollBar();
    viewport()->update();
}

void THTMListBox::LayoutHeights() {
    m_heights.resize(static_cast<std::size_t>(m_items.Count()));
    for (int i = 0; i < m_items.Count(); ++i) m_heights[static_cast<std::size_t>(i)] = AutoHeightOf(i);
}

int THTMListBox::AutoHeightOf(int index) const {
    if (!m_autoItemHeight) return m_itemHeight;
    QtSurface metrics(nullptr, viewport()->logicalDpiY(), palette());
    MeasureSurface measure(metrics);
    const int width = std::max(1, viewport()->width() - 2);
    DrawMarkup(measure, m_items.Text(index), Rect{0, 0, width, 1 << 20}, m_font, ToRgb(m_urlColor),
               !m_ellipsis, m_lineSpacing, m_pictures);
    return measure.Bottom() > 0 ? measure.Bottom() : m_itemHeight;
}

int THTMListBox::ItemHeightAt(int index) const {
    if (index < 0 || index >= static_cast<int>(m_heights.size())) return 0;
    return m_heights[static_cast<std::size_t>(index)];
}

// The highest top index: the one that shows the last item whole at the bottom.
int THTMListBox::LastTopIndex() const {
    const int available = viewport()->height();
    int used = 0;
    int top = m_items.Count();
    while (top > 0 && used + ItemHeightAt(top - 1) <= available) used += ItemHeightAt(--top);
    if (top == m_items.Count() && top > 0) --top;  // an item taller than the list still gets a place
    return top;
}

void THTMListBox::UpdateScrollBar() {
    QScrollBar* bar = verticalScrollBar();
    const int top = bar->value();
    int visible = 0, used = 0;
    for (int i = top; i < m_items.Count() && used + ItemHeightAt(i) <= viewport()->height(); ++i, ++visible)
        used += ItemHeightAt(i);
    bar->setPageStep(std::max(1, visible));
    bar->setRange(0, LastTopIndex());
}

int THTMListBox::TopIndex() const { return verticalScrollBar()->value(); }

void THTMListBox::SetTopIndex(int index) { verticalScrollBar()->setValue(index); }

void THTMListBox::scrollContentsBy(int, int) { viewport()->update(); }

void THTMListBox::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    if (m_autoItemHeight) LayoutHeights();
    UpdateScrollBar();
}

QRect THTMListBox::ItemRect(int index) const {
    const int top = TopIndex();
    if (index < top || index >= m_items.Count()) return {};
    int y = 0;
    for (int i = top; i < index; ++i) {
        y += ItemHeightAt(i);
        if (y >= viewport()->height()) return {};
    }
    return QRect(0, y, viewport()->width(), ItemHeightAt(index));
}

int THTMListBox::ItemAtPos(QPoint pos) const {
    if (pos.x() < 0 || pos.x() >= viewport()->width() || pos.y() < 0 || pos.y() >= viewport()->height())
        return -1;
    int y = 0;
    for (int i = TopIndex(); i < m_items.Count(); ++i) {
        y += ItemHeightAt(i);
        if (pos.y() < y) return i;
    }
    return -1;
}

namespace {
// The list's items as the toolkit-free link logic sees them.
class ItemsView : public frontend::ListBoxItems {
public:
    explicit ItemsView(const THTMListBox& list) : m_list(list) {}
    int Count() const override { return m_list.Items().Count(); }
    int ItemAtPoint(Point point) const override { return m_list.ItemAtPos(QPoint(point.x, point.y)); }
    Rect ItemRect(int index) const override { return ToRect(m_list.ItemRect(index)); }
    std::u16string_view ItemText(int index) const override { return m_list.Items().Text(index); }

private:
    const THTMListBox& m_list;
};
}  // namespace

frontend::ListBoxLink THTMListBox::LinkAt(QPoint pos) const {
    QtSurface metrics(nullptr, viewport()->logicalDpiY(), palette());
    const frontend::ListBoxLinkStyle style{m_font, ToRgb(m_urlColor), !m_ellipsis, m_pictures};
    return frontend::FindListBoxLink(metrics, ItemsView(*this), style, Point{pos.x(), pos.y()});
}

QString THTMListBox::AnchorAt(QPoint pos, int* index) const {
    const frontend::ListBoxLink link = LinkAt(pos);
    if (index) *index = link.index;
    return ToQString(link.target);
}

QString THTMListBox::FOldAnchor() const { return ToQString(m_links.FOldAnchor()); }

// ---- current item --------------------------------------------------------

void THTMListBox::SetItemIndex(int index) {
    if (index < -1 || index >= m_items.Count()) index = -1;
    if (index == m_itemIndex) return;
    m_itemIndex = index;
    if (index >= 0) ScrollIntoView(index);
    if (m_showSelection || m_showFocus) viewport()->update();
}

void THTMListBox::ScrollIntoView(int index) {
    if (index < TopIndex()) {
        SetTopIndex(index);
        return;
    }
    int used = 0, top = index;
    while (top >= 0 && used + ItemHeightAt(top) <= viewport()->height()) used += ItemHeightAt(top--);
    top = std::min(top + 1, index);
    if (top > TopIndex()) SetTopIndex(top);
}

void THTMListBox::keyPressEvent(QKeyEvent* event) {
    const int count = m_items.Count();
    if (count == 0) {
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    const int page = std::max(1, verticalScrollBar()->pageStep() - 1);
    const int current = m_itemIndex;
    int next = current;
    switch (event->key()) {
    case Qt::Key_Down: next = current + 1; break;
    case Qt::Key_Up: next = current < 0 ? 0 : current - 1; break;
    case Qt::Key_PageDown: next = current + page; break;
    case Qt::Key_PageUp: next = current - page; break;
    case Qt::Key_Home: next = 0; break;
    case Qt::Key_End: next = count - 1; break;
    default: QAbstractScrollArea::keyPressEvent(event); return;
    }
    next = std::clamp(next, 0, count - 1);
    SetItemIndex(next);
    ScrollIntoView(next);
    event->accept();
}

// ---- painting ------------------------------------------------------------

void THTMListBox::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    PaintItems(painter, event->rect());
}

void THTMListBox::PaintItems(QPainter& painter, const QRect& exposed) {
    const int height = viewport()->height();
    const int width = viewport()->width();
    int y = 0;
    int i = TopIndex();
    for (; i < m_items.Count() && y < height; ++i) {
        const QRect rect(0, y, width, ItemHeightAt(i));
        y += rect.height();
        if (rect.bottom() < exposed.top() || rect.top() > exposed.bottom()) continue;
        DrawItem(painter, i, rect);
    }
    // Below the last item the list shows its own colour.
    if (i >= m_items.Count() && y < height) painter.fillRect(QRect(0, y, width, height - y), m_color);
}

void THTMListBox::DrawItem(QPainter& painter, int index, const QRect& rect) {
    const bool selected = m_showSelection && index == m_itemIndex;
    painter.fillRect(rect, selected ? m_selectionColor : m_color);
    FontSpec base = m_font;
    if (selected) base.colour = ToRgb(m_selectionFontColor);
    {
        QtSurface surface(&painter, viewport()->logicalDpiY(), palette());
        DrawMarkup(surface, m_items.Text(index), ToRect(rect.adjusted(2, 0, 0, 0)), base, ToRgb(m_urlColor),
                   !m_ellipsis, m_lineSpacing, m_pictures);
    }
    if (selected && m_showFocus && hasFocus()) {
        painter.save();
        painter.setPen(QPen(ToQColor(base.colour), 0, Qt::DotLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(rect.adjusted(0, 0, -1, -1));
        painter.restore();
    }
}

QSize THTMListBox::sizeHint() const { return QSize(200, 150); }

// ---- pointer -------------------------------------------------------------

void THTMListBox::mouseMoveEvent(QMouseEvent* event) {
    QWidget* port = viewport();
    const frontend::ListBoxLink link = LinkAt(event->position().toPoint());
    const frontend::ListBoxMove move = m_links.Move(link, port->cursor().shape() == Qt::PointingHandCursor);
    if (move.restoreCursor) port->setCursor(m_oldCursor);
    if (move.fireExit && OnAnchorExit) OnAnchorExit(this, move.exitIndex, ToQString(move.exitTarget));
    if (move.showHand) {
        m_oldCursor = port->cursor();
        port->setCursor(Qt::PointingHandCursor);
    }
    if (move.fireEnter && OnAnchorEnter) OnAnchorEnter(this, link.index, ToQString(link.target));
    QAbstractScrollArea::mouseMoveEvent(event);
}

void THTMListBox::mousePressEvent(QMouseEvent* event) { Press(event); }

// A double click reaches us as a second press: it fires the link again.
void THTMListBox::mouseDoubleClickEvent(QMouseEvent* event) { Press(event); }

void THTMListBox::mouseReleaseEvent(QMouseEvent* event) { event->accept(); }

void THTMListBox::Press(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    // The link under the pointer now counts: making the item current below
    // may scroll a partly shown item into view and another one under the pointer.
    const frontend::ListBoxLink link = LinkAt(pos);
    if (event->button() == Qt::LeftButton && link.index >= 0) SetItemIndex(link.index);
    event->accept();
    switch (frontend::DecideListBoxPress(link)) {
    case frontend::ListBoxPress::MouseDown:
        if (OnMouseDown) OnMouseDown(this, event->button(), pos);
        break;
    case frontend::ListBoxPress::OpenWithDesktop:
        OpenWithDesktop(ToQString(link.target));
        break;
    case frontend::ListBoxPress::AnchorClick:
        if (OnAnchorClick) OnAnchorClick(this, link.index, ToQString(link.target));
        break;
    }
}

void THTMListBox::enterEvent(QEnterEvent* event) {
    if (m_autoFocus) setFocus(Qt::MouseFocusReason);
    QAbstractScrollArea::enterEvent(event);
}

// ---- properties ------------------------------------------------------------

void THTMListBox::SetItemHeight(int height) {
    if (height <= 0 || height == m_itemHeight) return;
    m_itemHeight = height;
    Relayout();
}

void THTMListBox::SetAutoItemHeight(bool on) {
    if (Assign(m_autoItemHeight, on)) Relayout();
}

void THTMListBox::SetColor(const QColor& colour) {
    if (Assign(m_color, colour)) viewport()->update();
}

void THTMListBox::SetFont(const FontSpec& font) {
    if (Assign(m_font, font)) Relayout();
}

void THTMListBox::SetURLColor(const QColor& colour) {
    if (Assign(m_urlColor, colour)) viewport()->update();
}

void THTMListBox::SetEllipsis(bool on) {
    if (Assign(m_ellipsis, on)) Relayout();
}

void THTMListBox::SetLineSpacing(int pixels) {
    if (Assign(m_lineSpacing, pixels)) Relayout();
}

void THTMListBox::SetPictureContainer(TPictureContainer* container) {
    if (Assign(m_pictures, container)) Relayout();
}

void THTMListBox::SetShowSelection(bool on) {
    if (Assign(m_showSelection, on)) viewport()->update();
}

void THTMListBox::SetSelectionColor(const QColor& colour) {
    if (Assign(m_selectionColor, colour)) viewport()->update();
}

void THTMListBox::SetSelectionFontColor(const QColor& colour) {
    if (Assign(m_selectionFontColor, colour)) viewport()->update();
}

void THTMListBox::SetShowFocus(bool on) {
    if (Assign(m_showFocus, on)) viewport()->update();
}

void THTMListBox::SetBorderStyle(TBorderStyle style) {
    m_borderStyle = style;
    // A single border is the platform's sunken list frame.
    setFrameStyle(style == bsNone ? QFrame::NoFrame : (QFrame::StyledPanel | QFrame::Sunken));
}

void THTMListBox::SetMultiline(bool on) {
    if (Assign(m_multiline, on)) Relayout();
}

void THTMListBox::SetSorted(bool on) { m_items.SetSorted(on); }

}  // namespace quelvo::markup
