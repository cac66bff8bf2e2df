#include "frontend/qt/widgets/TRzBmpButton.h"

#include "frontend/qt/widgets/Colors.h"

#include <QDialog>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

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
    FCore.OnMouseDown = [this](frontend::TMouseButton button, std::uint32_t shift, int x, int y) {
        if (OnMouseDown)
            OnMouseDown(this, ToQtButton(button), ToQtShift(shift), x, y);
    };
    FCore.OnClick = [this] {
        if (OnClick)
            OnClick(this);
    };
    SizeToBitmap();
}

// While the window is not yet active Qt records the focus without handing
// it over; the button is the window's focus all the same.
bool TRzBmpButton::Host::HasFocus() const
{
    return m_button.hasFocus() || m_button.window()->focusWidget() == &m_button;
}

void TRzBmpButton::Host::SetModalResult(int result)
{
    if (auto* dialog = qobject_cast<QDialog*>(m_button.window()))
        dialog->setResult(result);
}

void TRzBmpButton::SetBitmap(TRzBmpSlot slot, const QImage& picture)
{
    FBitmaps[SlotIndex(slot)] = picture;
    FCore.SetPresent(slot, !picture.isNull());
    InvalidateMasked();
    if (slot == TRzBmpSlot::Up)
        SizeToBitmap();
    update();
}

const QImage& TRzBmpButton::Bitmap(TRzBmpSlot slot) const { return FBitmaps[SlotIndex(slot)]; }

bool TRzBmpButton::HasBitmap(TRzBmpSlot slot) const { return FCore.Present(slot); }

void TRzBmpButton::SetTransparentColor(const QColor& colour)
{
    if (colour == FTransparentColor)
        return;
    FTransparentColor = colour;
    InvalidateMasked();
    update();
}

void TRzBmpButton::SetShowFocus(bool on) { FCore.SetShowFocus(on); }

void TRzBmpButton::Click() { FCore.Click(); }

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
    // Qt keeps the mouse with the pressed widget until release by itself.
    const QPointF at = e->position();
    e->accept();
    FCore.MouseDown(FromQtButton(e->button()), FromQtShift(e->modifiers()), static_cast<int>(std::floor(at.x())),
                    static_cast<int>(std::floor(at.y())));
}

void TRzBmpButton::mousePressEvent(QMouseEvent* e) { HandlePress(e); }

// The second press of a double click is an ordinary press.
void TRzBmpButton::mouseDoubleClickEvent(QMouseEvent* e) { HandlePress(e); }

void TRzBmpButton::mouseMoveEvent(QMouseEvent* e)
{
    FCore.MouseMove(static_cast<int>(std::floor(e->position().x())), static_cast<int>(std::floor(e->position().y())));
}

void TRzBmpButton::mouseReleaseEvent(QMouseEvent* e)
{
    FCore.MouseUp(static_cast<int>(std::floor(e->position().x())), static_cast<int>(std::floor(e->position().y())));
}

void TRzBmpButton::keyPressEvent(QKeyEvent* e)
{
    frontend::TButtonKey key = frontend::TButtonKey::Other;
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter)
        key = frontend::TButtonKey::Enter;
    else if (e->key() == Qt::Key_Space)
        key = frontend::TButtonKey::Space;
    if (!FCore.KeyDown(key))
        QWidget::keyPressEvent(e);
}

void TRzBmpButton::keyReleaseEvent(QKeyEvent* e)
{
    if (!FCore.KeyUp(e->isAutoRepeat()))
        QWidget::keyReleaseEvent(e);
}

void TRzBmpButton::enterEvent(QEnterEvent*) { FCore.MouseEnter(); }

void TRzBmpButton::leaveEvent(QEvent*) { FCore.MouseLeave(); }

void TRzBmpButton::focusInEvent(QFocusEvent*) { FCore.FocusIn(); }

void TRzBmpButton::focusOutEvent(QFocusEvent*) { FCore.FocusOut(); }

void TRzBmpButton::changeEvent(QEvent* e)
{
    if (e->type() == QEvent::EnabledChange)
        FCore.SetEnabled(isEnabled());
    QWidget::changeEvent(e);
}

}  // namespace quelvo::widgets
