#pragma once

// A text label. Transparent by default; with auto size on it takes the size
// of its text, otherwise it keeps its size and clips. Word wrap breaks lines
// at spaces within the width. Each change of caption or look repaints once.

#include <QColor>
#include <QString>
#include <QWidget>

namespace quelvo::widgets {

class TRzLabel : public QWidget {
    Q_OBJECT
public:
    explicit TRzLabel(QWidget* parent = nullptr);

    QString Caption() const { return FCaption; }
    void SetCaption(const QString& caption);

    // Text colour (the font colour).
    QColor FontColor() const { return FFontColor; }
    void SetFontColor(const QColor& colour);
    void SetLabelFont(const QFont& font);

    bool Transparent() const { return FTransparent; }
    void SetTransparent(bool on);
    // Background colour, shown when not transparent.
    QColor Color() const { return FColor; }
    void SetColor(const QColor& colour);

    bool AutoSize() const { return FAutoSize; }
    void SetAutoSize(bool on);

    bool WordWrap() const { return FWordWrap; }
    void SetWordWrap(bool on);

    // How many times the label has painted itself (for tests of the
    // repaint-once rule).
    int PaintCount() const { return FPaintCount; }

protected:
    void paintEvent(QPaintEvent* e) override;
    void changeEvent(QEvent* e) override;

private:
    int TextFlags() const;
    void AdjustSize();

    QString FCaption;
    QColor FFontColor;
    QColor FColor;
    bool FTransparent = true;
    bool FAutoSize = true;
    bool FWordWrap = false;
    int FPaintCount = 0;
};

}  // namespace quelvo::widgets
