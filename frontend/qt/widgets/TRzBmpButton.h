#pragma once

// A button whose whole look is given by pictures: one picture per state,
// drawn 1:1 with one transparent colour left out so that whatever lies behind
// the button shows there. It has no caption and no border.
//
// Input and states are the shared button behaviour (frontend/ButtonBehaviour.h);
// this widget hands it Qt's events and paints the picture it names. A
// disabled button also keeps its presses from the controls beneath.

#include "frontend/ButtonBehaviour.h"
#include "frontend/qt/widgets/Events.h"

#include <QColor>
#include <QImage>
#include <QPixmap>
#include <QWidget>

#include <array>

namespace quelvo::widgets {

using frontend::TButtonState;
using TRzBmpSlot = frontend::TBmpSlot;
using TRzBmpPicture = frontend::TButtonPicture;
using TRzBmpLook = frontend::TBmpLook;
using frontend::PictureForState;

class TRzBmpButton : public QWidget {
    Q_OBJECT
public:
    explicit TRzBmpButton(QWidget* parent = nullptr);

    // An empty image empties the slot. Setting Up resizes the button to it.
    void SetBitmap(TRzBmpSlot slot, const QImage& picture);
    const QImage& Bitmap(TRzBmpSlot slot) const;
    bool HasBitmap(TRzBmpSlot slot) const;

    // Pixels exactly equal to this colour are not drawn (default clOlive).
    QColor TransparentColor() const { return FTransparentColor; }
    void SetTransparentColor(const QColor& colour);

    // Whether a focused button shows its UpAndFocused picture (default on).
    bool ShowFocus() const { return FCore.ShowFocus(); }
    void SetShowFocus(bool on);

    TButtonState State() const { return FCore.State(); }
    bool MouseOver() const { return FCore.MouseOver(); }
    bool Tracking() const { return FCore.Tracking(); }
    TRzBmpPicture CurrentPicture() const { return FCore.CurrentPicture(); }

    // The modal result handed to the parent dialog on a click (0: none).
    int ModalResult() const { return FCore.ModalResult(); }
    void SetModalResult(int result) { FCore.SetModalResult(result); }

    // Fires the click exactly as a completed press does.
    void Click();

    TNotifyEvent OnClick;
    TMouseEvent OnMouseDown;

    // Size of a button with no Up picture.
    static constexpr int kDefaultWidth = 80;
    static constexpr int kDefaultHeight = 30;

protected:
    bool event(QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void keyReleaseEvent(QKeyEvent* e) override;
    void enterEvent(QEnterEvent* e) override;
    void leaveEvent(QEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void changeEvent(QEvent* e) override;

private:
    // What the shared behaviour asks of the widget.
    class Host : public frontend::TControlHost {
    public:
        explicit Host(TRzBmpButton& button) : m_button(button) {}
        void Repaint() override { m_button.update(); }
        bool HasFocus() const override;
        void TakeFocus() override { m_button.setFocus(Qt::MouseFocusReason); }
        bool IsVisible() const override { return m_button.isVisible(); }
        int Width() const override { return m_button.width(); }
        int Height() const override { return m_button.height(); }
        void SetModalResult(int result) override;

    private:
        TRzBmpButton& m_button;
    };

    void HandlePress(QMouseEvent* e);
    void SizeToBitmap();
    const QPixmap& MaskedPicture(TRzBmpPicture picture);
    void InvalidateMasked();

    std::array<QImage, 6> FBitmaps;
    // Pictures with the transparent colour cut out, built on first use.
    std::array<QPixmap, 7> FMasked;
    std::array<bool, 7> FMaskedValid{};
    QColor FTransparentColor;
    Host FHost{*this};
    frontend::TButtonBehaviour FCore{FHost};
};

// The picture with every pixel equal to `transparent` made fully transparent.
QImage MaskOutColour(const QImage& picture, const QColor& transparent);

// A grey, embossed rendering of a picture for a disabled button.
QImage EmbossedGrey(const QImage& picture);

}  // namespace quelvo::widgets
