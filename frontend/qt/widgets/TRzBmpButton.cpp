#include "widgets/TRzBmpButton.h"

#include "widgets/Colors.h"

#include <QDialog>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>

#include <cmath>

namespace quelvo::widgets {

namespace {

std::size_t SlotIndex(TRzBmpSlot slot) { return static_cast<std::size_t>(slot); }
std::size_t PictureIndex(TRzBmpPicture picture) { return static_cast<std::size_t>(picture); }

bool IsMouseEvent(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
        return true;
    default:
        return false;
    }
}

}  // namespace

QImage MaskOutColour(const QImage& picture, const QColor& transparent)
{
    QImage out = picture.convertToFormat(QImage::Format_ARGB32);
    const QRgb key = transparent.rgb() & 0x00FFFFFF;
    for (int y = 0; y < out.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            if ((line[x] & 0x00FFFFFF) == key)
                line[x] = 0;
        }
    }
    return out;
}

QImage EmbossedGrey(const QImage& picture)
{
    // Light copy offset by one pixel under a dark copy: the classic engraved
    // look of disabled controls.
    const QImage grey = picture.convertToFormat(QImage::Format_Grayscale8)
                            .convertToFormat(QImage::Format_ARGB32);
    QImage out(picture.size(), QImage::Format_ARGB32);
    out.fill(Qt::transparent);
    QImage light = grey;
    QImage dark = grey;
    for (int y = 0; y < grey.height(); ++y) {
        auto* l = reinterpret_cast<QRgb*>(light.scanLine(y));
        auto* d = reinterpret_cast<QRgb*>(dark.scanLine(y));
        for (int x = 0; x < grey.width(); ++x) {
            const int v = qGray(l[x]);
            const int alpha = qAlpha(l[x]);
            l[x] = qRgba(255, 255, 255, v < 192 ? alpha : 0);
            d[x] = qRgba(128, 128, 128, v < 192 ? alpha : 0);
        }
    }
    QPainter p(&out);
    p.drawImage(1, 1, light);
    p.drawImage(0, 0, dark);
    return out;
}

TRzBmpButton::TRzBmpButton(QWidget* parent)
    : QWidget(parent), FTransparentColor(clOlive())
{
    // Focus is taken by the press handler itself, after the mouse-down event.
    setFocusPolicy(Qt::TabFocus);
    setCursor(Qt::PointingHandCursor);
    setAttribute(Qt::WA_NoMousePropagation);
    SizeToBitmap();
}

void TRzBmpButton::SetBitmap(TRzBmpSlot slot, const QImage& picture)
{
    FBitmaps[SlotIndex(slot)] = picture;
    InvalidateMasked();
    if (slot == TRzBmpSlot::Up)
        SizeToBitmap();
    update();
}

const QImage& TRzBmpButton::Bitmap(TRzBmpSlot slot) const { return FBitmaps[SlotIndex(slot)]; }

bool TRzBmpButton::HasBitmap(TRzBmpSlot slot) const { return !FBitmaps[SlotIndex(slot)].isNull(); }

void TRzBmpButton::SetTransparentColor(const QColor& colour)
{
    if (colour == FTransparentColor)
        return;
    FTransparentColor = colour;
    InvalidateMasked();
    update();
}

void TRzBmpButton::SetShowFocus(bool on)
{
    if (on == FShowFocus)
        return;
    FShowFocus = on;
    update();
}

TRzBmpPicture TRzBmpButton::CurrentPicture() const
{
    TRzBmpLook look;
    look.State = FState;
    look.MouseOver = FMouseOver;
    look.Focused = hasFocus();
    look.ShowFocus = FShowFocus;
    for (std::size_t i = 0; i < FBitmaps.size(); ++i)
        look.Present[i] = !FBitmaps[i].isNull();
    return PictureForState(look);
}

void TRzBmpButton::Click()
{
    if (FModalResult != 0) {
        if (auto* dialog = qobject_cast<QDialog*>(window()))
            dialog->setResult(FModalResult);
    }
    if (OnClick)
        OnClick(this);
}

void TRzBmpButton::SizeToBitmap()
{
    const QImage& up = FBitmaps[SlotIndex(TRzBmpSlot::Up)];
    if (up.isNull())
        resize(kDefaultWidth, kDefaultHeight);
    else
        resize(up.size());
}

void TRzBmpButton::InvalidateMasked() { FMaskedValid.fill(false); }

const QPixmap& TRzBmpButton::MaskedPicture(TRzBmpPicture picture)
{
    const std::size_t i = PictureIndex(picture);
    if (!FMaskedValid[i]) {
        const QImage& up = FBitmaps[SlotIndex(TRzBmpSlot::Up)];
        QImage source;
        if (picture == TRzBmpPicture::EmbossedUp)
            source = up.isNull() ? QImage() : EmbossedGrey(MaskOutColour(up, FTransparentColor));
        else if (!FBitmaps[i].isNull())
            source = MaskOutColour(FBitmaps[i], FTransparentColor);
        FMasked[i] = source.isNull() ? QPixmap() : QPixmap::fromImage(source);
        FMaskedValid[i] = true;
    }
    return FMasked[i];
}

void TRzBmpButton::SetState(TButtonState state)
{
    if (state == FState)
        return;
    FState = state;
    update();
}

bool TRzBmpButton::event(QEvent* e)
{
    // A disabled button takes no input, and its presses must not fall
    // through to the control beneath (the window would start a drag).
    if (!isEnabled() && IsMouseEvent(e->type())) {
        e->accept();
        return true;
    }
    return QWidget::event(e);
}

void TRzBmpButton::paintEvent(QPaintEvent*)
{
    // Qt composes the parent and the siblings beneath into the backing store
    // first; the masked picture leaves the transparent colour to them.
    const QPixmap& picture = MaskedPicture(CurrentPicture());
    if (picture.isNull())
        return;
    QPainter p(this);
    p.drawPixmap(0, 0, picture);
}

void TRzBmpButton::HandlePress(QMouseEvent* e)
{
    QPointer<TRzBmpButton> self(this);
    const QPointF at = e->position();
    if (OnMouseDown)
        OnMouseDown(this, e->button(), e->modifiers(), static_cast<int>(std::floor(at.x())),
                    static_cast<int>(std::floor(at.y())));
    if (!self)
        return;
    if (isEnabled() && !hasFocus() && isVisible())
        setFocus(Qt::MouseFocusReason);
    // While the window is not yet active Qt records the focus without
    // handing it over; the button is the window's focus all the same.
    const bool focused = hasFocus() || window()->focusWidget() == this;
    if (e->button() == Qt::LeftButton && isEnabled() && focused) {
        SetState(TButtonState::bsDown);
        FTracking = true;
    }
    e->accept();
}

void TRzBmpButton::mousePressEvent(QMouseEvent* e) { HandlePress(e); }

// The second press of a double click is an ordinary press.
void TRzBmpButton::mouseDoubleClickEvent(QMouseEvent* e) { HandlePress(e); }

void TRzBmpButton::mouseMoveEvent(QMouseEvent* e)
{
    if (!FTracking)
        return;
    const double x = e->position().x();
    const double y = e->position().y();
    const bool inside = x >= 0 && x < width() && y >= 0 && y < height();
    SetState(inside ? TButtonState::bsDown : TButtonState::bsUp);
}

void TRzBmpButton::mouseReleaseEvent(QMouseEvent* e)
{
    if (!FTracking)
        return;
    FTracking = false;
    SetState(TButtonState::bsUp);
    const double x = e->position().x();
    const double y = e->position().y();
    if (x >= 0 && x < width() && y >= 0 && y < height())
        Click();
}

void TRzBmpButton::keyPressEvent(QKeyEvent* e)
{
    switch (e->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        Click();
        return;
    case Qt::Key_Space:
        if (isEnabled()) {
            SetState(TButtonState::bsDown);
            FTracking = true;
        }
        return;
    default:
        QWidget::keyPressEvent(e);
    }
}

void TRzBmpButton::keyReleaseEvent(QKeyEvent* e)
{
    // Auto-repeat sends releases while the key is still held; only the real
    // release ends the press.
    if (!FTracking || e->isAutoRepeat()) {
        QWidget::keyReleaseEvent(e);
        return;
    }
    FTracking = false;
    SetState(TButtonState::bsUp);
    Click();
}

void TRzBmpButton::enterEvent(QEnterEvent*)
{
    FMouseOver = true;
    if (HasBitmap(TRzBmpSlot::Hot))
        update();
}

void TRzBmpButton::leaveEvent(QEvent*)
{
    FMouseOver = false;
    if (HasBitmap(TRzBmpSlot::Hot))
        update();
}

void TRzBmpButton::focusInEvent(QFocusEvent*) { update(); }

void TRzBmpButton::focusOutEvent(QFocusEvent*) { update(); }

void TRzBmpButton::changeEvent(QEvent* e)
{
    if (e->type() == QEvent::EnabledChange) {
        FTracking = false;
        SetState(isEnabled() ? TButtonState::bsUp : TButtonState::bsDisabled);
    }
    QWidget::changeEvent(e);
}

}  // namespace quelvo::widgets
