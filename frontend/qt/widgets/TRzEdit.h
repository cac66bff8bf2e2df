#pragma once

// A single-line edit box, white, with a flat one-pixel frame in the
// button-shadow grey on all four sides.

#include <QColor>
#include <QLineEdit>
#include <QString>

namespace quelvo::widgets {

class TRzEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit TRzEdit(QWidget* parent = nullptr);

    QString Text() const { return text(); }
    void SetText(const QString& text) { setText(text); }

    QColor Color() const { return FColor; }
    void SetColor(const QColor& colour);

    bool FrameVisible() const { return FFrameVisible; }
    void SetFrameVisible(bool on);

    QColor FrameColor() const { return FFrameColor; }
    void SetFrameColor(const QColor& colour);

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    void ApplyLook();

    QColor FColor;
    QColor FFrameColor;
    bool FFrameVisible = true;
};

}  // namespace quelvo::widgets
