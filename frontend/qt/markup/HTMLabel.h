#pragma once

// THTMLabel: a label whose text is markup, drawn by the markup engine on the
// label's own rectangle. Links show the hand cursor; a press fires
// OnAnchorClick and then opens web and mail targets with the desktop.

#include "frontend/qt/markup/MarkupStrings.h"
#include "markup/engine/Surface.h"

#include <QColor>
#include <QWidget>

#include <functional>

namespace quelvo::markup {

enum TVAlignment { tvaTop, tvaCenter, tvaBottom };

class THTMLabel : public QWidget {
    Q_OBJECT
public:
    using TAnchorClick = std::function<void(QObject* Sender, const QString& Anchor)>;
    using TMouseDown = std::function<void(QObject* Sender, Qt::MouseButton button, QPoint pos)>;

    explicit THTMLabel(QWidget* parent = nullptr);

    // Lines of markup, joined with one space; every change repaints.
    TMarkupStrings& HTMLText() { return m_lines; }
    const TMarkupStrings& HTMLText() const { return m_lines; }

    bool Transparent() const { return m_transparent; }
    void SetTransparent(bool on);
    // Background when not transparent.
    QColor Color() const { return m_color; }
    void SetColor(const QColor& colour);
    const FontSpec& Font() const { return m_font; }
    void SetFont(const FontSpec& font);
    QColor URLColor() const { return m_urlColor; }
    void SetURLColor(const QColor& colour);
    bool Ellipsis() const { return m_ellipsis; }
    void SetEllipsis(bool on);
    int LineSpacing() const { return m_lineSpacing; }
    void SetLineSpacing(int pixels);
    TVAlignment VAlignment() const { return m_vAlignment; }
    void SetVAlignment(TVAlignment alignment);
    bool AutoSizing() const { return m_autoSizing; }
    void SetAutoSizing(bool on) { m_autoSizing = on; }

    // The link target under a point in the label (empty when none).
    QString AnchorAt(QPoint pos) const;

    TAnchorClick OnAnchorClick;
    TMouseDown OnMouseDown;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    void Press(QMouseEvent* event);
    Rect LayoutRect(Surface& metrics, const std::u16string& text) const;

    TMarkupStrings m_lines;
    bool m_transparent = false;
    QColor m_color;
    FontSpec m_font;
    QColor m_urlColor = Qt::blue;
    bool m_ellipsis = false;
    int m_lineSpacing = 0;
    TVAlignment m_vAlignment = tvaTop;
    bool m_autoSizing = false;
};

}  // namespace quelvo::markup
