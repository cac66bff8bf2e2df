#pragma once

// THTMListBox: a scrolling list whose every item is one markup string, drawn
// by the markup engine. Scrolling is by whole items; links report presses
// through OnAnchorClick and pointer moves through OnAnchorEnter/OnAnchorExit.

#include "frontend/ListBoxLinks.h"
#include "frontend/qt/markup/MarkupStrings.h"
#include "markup/engine/Surface.h"

#include <QAbstractScrollArea>
#include <QColor>
#include <QCursor>

#include <functional>
#include <string>
#include <vector>

namespace quelvo::markup {

class TPictureContainer;

enum TBorderStyle { bsNone, bsSingle };

class THTMListBox : public QAbstractScrollArea {
    Q_OBJECT
public:
    // Sender, item index (-1 for none), link target as written in the markup.
    using TAnchorClick = std::function<void(QObject* Sender, int index, const QString& anchor)>;
    using TAnchorEvent = TAnchorClick;
    using TMouseDown = std::function<void(QObject* Sender, Qt::MouseButton button, QPoint pos)>;

    explicit THTMListBox(QWidget* parent = nullptr);
    ~THTMListBox() override;

    // Changes repaint at once; Set keeps the item's index, height, the current
    // item and the scroll position.
    TMarkupStrings& Items() { return m_items; }
    const TMarkupStrings& Items() const { return m_items; }

    // A nesting count: the last EndUpdate re-lays out the item heights and repaints.
    void BeginUpdate();
    void EndUpdate();

    int ItemHeight() const { return m_itemHeight; }
    void SetItemHeight(int height);
    bool AutoItemHeight() const { return m_autoItemHeight; }
    void SetAutoItemHeight(bool on);
    QColor Color() const { return m_color; }
    void SetColor(const QColor& colour);
    // The base font of the markup (face, points, style, colour).
    const FontSpec& Font() const { return m_font; }
    void SetFont(const FontSpec& font);
    QColor URLColor() const { return m_urlColor; }
    void SetURLColor(const QColor& colour);
    bool Ellipsis() const { return m_ellipsis; }
    void SetEllipsis(bool on);
    int LineSpacing() const { return m_lineSpacing; }
    void SetLineSpacing(int pixels);
    TPictureContainer* PictureContainer() const { return m_pictures; }
    void SetPictureContainer(TPictureContainer* container);
    bool ShowSelection() const { return m_showSelection; }
    void SetShowSelection(bool on);
    QColor SelectionColor() const { return m_selectionColor; }
    void SetSelectionColor(const QColor& colour);
    QColor SelectionFontColor() const { return m_selectionFontColor; }
    void SetSelectionFontColor(const QColor& colour);
    bool ShowFocus() const { return m_showFocus; }
    void SetShowFocus(bool on);
    bool AutoFocus() const { return m_autoFocus; }
    void SetAutoFocus(bool on) { m_autoFocus = on; }
    TBorderStyle BorderStyle() const { return m_borderStyle; }
    void SetBorderStyle(TBorderStyle style);
    bool Multiline() const { return m_multiline; }
    void SetMultiline(bool on);
    // On: items are kept in ascending order (ASCII case ignored); Add inserts in place.
    bool Sorted() const { return m_items.Sorted(); }
    void SetSorted(bool on);

    // The current item (invisible unless ShowSelection), -1 for none.
    int ItemIndex() const { return m_itemIndex; }
    void SetItemIndex(int index);
    // Index of the first visible item.
    int TopIndex() const;
    void SetTopIndex(int index);
    int ItemHeightAt(int index) const;

    // In viewport coordinates; an empty rectangle when the item is not visible.
    QRect ItemRect(int index) const;
    // The item under a viewport point, or -1.
    int ItemAtPos(QPoint pos) const;
    // The link under a viewport point: its target (empty when none) and the item index.
    QString AnchorAt(QPoint pos, int* index = nullptr) const;

    TAnchorClick OnAnchorClick;
    TAnchorEvent OnAnchorEnter;
    TAnchorEvent OnAnchorExit;
    TMouseDown OnMouseDown;

    // Last link target under the pointer, and the cursor shown before the hand.
    QString FOldAnchor() const;
    QCursor FOldCursor() const { return m_oldCursor; }

    // Paints the visible items into painter (viewport coordinates); what paintEvent does.
    void PaintItems(QPainter& painter, const QRect& exposed);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    void ItemsChanged(TMarkupStrings::Change change, int index);
    void Relayout();
    void LayoutHeights();
    void UpdateScrollBar();
    void ScrollIntoView(int index);
    void Press(QMouseEvent* event);
    frontend::ListBoxLink LinkAt(QPoint pos) const;
    void DrawItem(QPainter& painter, int index, const QRect& rect);
    int AutoHeightOf(int index) const;
    int LastTopIndex() const;

    TMarkupStrings m_items;
    std::vector<int> m_heights;
    int m_updateCount = 0;
    int m_itemHeight = 16;
    bool m_autoItemHeight = true;
    QColor m_color;
    FontSpec m_font;
    QColor m_urlColor = Qt::blue;
    bool m_ellipsis = false;
    int m_lineSpacing = 0;
    TPictureContainer* m_pictures = nullptr;
    bool m_showSelection = true;
    QColor m_selectionColor;
    QColor m_selectionFontColor;
    bool m_showFocus = true;
    bool m_autoFocus = false;
    TBorderStyle m_borderStyle = bsSingle;
    bool m_multiline = false;
    int m_itemIndex = -1;
    frontend::ListBoxLinkTracker m_links;
    QCursor m_oldCursor;
};

}  // namespace quelvo::markup
