#pragma once

// A button whose whole look is given by pictures: one picture per state,
// drawn 1:1 with one transparent colour left out so that whatever lies behind
// the button shows there. It has no caption and no border.
//
// Input: the mouse-down event fires for every button press before anything
// else; a left press on an enabled, focused button presses it (Down) and
// tracks the mouse until any button is released; the click fires when the
// release happens inside. Enter clicks at once; Space holds the button Down
// until the next key release, then clicks. A disabled button shows its
// Disabled picture and swallows all input.

#include "frontend/ButtonLook.h"
#include "widgets/Events.h"

#include <QColor>
#include <QImage>
#include <QPixmap>
#include <QWidget>

#include <array>

namespace quelvo::widgets {

// The state-to-picture table lives with the front ends, toolkit-free.
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
    bool ShowFocus() const { return FShowFocus; }
    void SetShowFocus(bool on);

    TButtonState State() const { return FState; }
    bool MouseOver() const { return FMouseOver; }
    bool Tracking() const { return FTracking; }
    TRzBmpPicture CurrentPicture() const;

    // The modal result handed to the parent window on a click (0: none).
    int ModalResult() const { return FModalResult; }
    void SetModalResult(int result) { FModalResult = result; }

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
    void HandlePress(QMouseEvent* e);
    void SetState(TButtonState state);
    void SizeToBitmap();
    const QPixmap& MaskedPicture(TRzBmpPicture picture);
    void InvalidateMasked();

    std::array<QImage, 6> FBitmaps;
    // Pictures with the transparent colour cut out, built on first use.
    std::array<QPixmap, 7> FMasked;
    std::array<bool, 7> FMaskedValid{};
    QColor FTransparentColor;
    TButtonState FState = TButtonState::bsUp;
    bool FMouseOver = false;
    bool FTracking = false;
    bool FShowFocus = true;
    int FModalResult = 0;
};

// The picture with every pixel equal to `transparent` made fully transparent.
QImage MaskOutColour(const QImage& picture, const QColor& transparent);

// A grey, embossed rendering of a picture for a disabled button.
QImage EmbossedGrey(const QImage& picture);

}  // namespace quelvo::widgets
