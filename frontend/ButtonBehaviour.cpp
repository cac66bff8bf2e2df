#include "frontend/ButtonBehaviour.h"

namespace quelvo::frontend {

TButtonPicture PictureForState(const TBmpLook& look)
{
    auto has = [&](TBmpSlot slot) { return look.Present[static_cast<std::size_t>(slot)]; };
    switch (look.State) {
    case TButtonState::bsUp:
        if (look.MouseOver && has(TBmpSlot::Hot))
            return TButtonPicture::Hot;
        if (look.Focused && look.ShowFocus && has(TBmpSlot::UpAndFocused))
            return TButtonPicture::UpAndFocused;
        return TButtonPicture::Up;
    case TButtonState::bsDown:
        return has(TBmpSlot::Down) ? TButtonPicture::Down : TButtonPicture::Up;
    case TButtonState::bsExclusive:
        if (has(TBmpSlot::StayDown))
            return TButtonPicture::StayDown;
        return has(TBmpSlot::Down) ? TButtonPicture::Down : TButtonPicture::Up;
    case TButtonState::bsDisabled:
        return has(TBmpSlot::Disabled) ? TButtonPicture::Disabled : TButtonPicture::EmbossedUp;
    }
    return TButtonPicture::Up;
}

TButtonBehaviour::TButtonBehaviour(TControlHost& host) : m_host(host) {}

TButtonBehaviour::~TButtonBehaviour() { *m_alive = false; }

void TButtonBehaviour::SetPresent(TBmpSlot slot, bool present)
{
    bool& slotPresent = m_present[static_cast<std::size_t>(slot)];
    if (slotPresent == present)
        return;
    slotPresent = present;
    m_host.Repaint();
}

void TButtonBehaviour::SetShowFocus(bool on)
{
    if (on == m_showFocus)
        return;
    m_showFocus = on;
    m_host.Repaint();
}

TButtonPicture TButtonBehaviour::CurrentPicture() const
{
    TBmpLook look;
    look.State = m_state;
    look.MouseOver = m_mouseOver;
    look.Focused = m_host.HasFocus();
    look.ShowFocus = m_showFocus;
    look.Present = m_present;
    return PictureForState(look);
}

void TButtonBehaviour::SetState(TButtonState state)
{
    if (state == m_state)
        return;
    m_state = state;
    m_host.Repaint();
}

bool TButtonBehaviour::Inside(int x, int y) const
{
    return x >= 0 && x < m_host.Width() && y >= 0 && y < m_host.Height();
}

void TButtonBehaviour::EndPress(bool click)
{
    const Press press = m_press;
    // Cleared first: giving the mouse back may report the capture lost.
    m_press = Press::None;
    if (press == Press::Mouse)
        m_host.ReleaseMouse();
    SetState(m_enabled ? TButtonState::bsUp : TButtonState::bsDisabled);
    if (click)
        Click();
}

void TButtonBehaviour::MouseEnter()
{
    m_mouseOver = true;
    if (Present(TBmpSlot::Hot))
        m_host.Repaint();
}

void TButtonBehaviour::MouseLeave()
{
    m_mouseOver = false;
    if (Present(TBmpSlot::Hot))
        m_host.Repaint();
}

void TButtonBehaviour::MouseDown(TMouseButton button, std::uint32_t shift, int x, int y)
{
    if (!m_enabled)
        return;
    if (OnMouseDown) {
        // Called through copies: the handler may destroy the button.
        const std::shared_ptr<bool> alive = m_alive;
        const auto onMouseDown = OnMouseDown;
        onMouseDown(button, shift, x, y);
        if (!*alive || !m_enabled)
            return;
    }
    if (!m_host.HasFocus() && m_host.IsVisible())
        m_host.TakeFocus();
    if (button == TMouseButton::mbLeft && m_host.HasFocus()) {
        m_press = Press::Mouse;
        SetState(TButtonState::bsDown);
        m_host.CaptureMouse();
    }
}

void TButtonBehaviour::MouseMove(int x, int y)
{
    if (m_press == Press::Mouse)
        SetState(Inside(x, y) ? TButtonState::bsDown : TButtonState::bsUp);
}

void TButtonBehaviour::MouseUp(int x, int y)
{
    // The release of any mouse button ends a mouse press.
    if (m_press == Press::Mouse)
        EndPress(Inside(x, y));
}

void TButtonBehaviour::CaptureLost()
{
    // Someone else took the mouse: the press ends without a click.
    if (m_press == Press::Mouse)
        EndPress(false);
}

bool TButtonBehaviour::KeyDown(TButtonKey key)
{
    switch (key) {
    case TButtonKey::Enter:
        Click();
        return true;
    case TButtonKey::Space:
        // A mouse press keeps the button; the key does not take it over.
        if (m_enabled && m_press != Press::Mouse) {
            m_press = Press::Key;
            SetState(TButtonState::bsDown);
        }
        return true;
    case TButtonKey::Other:
        break;
    }
    return false;
}

bool TButtonBehaviour::KeyUp(bool autoRepeat)
{
    if (m_press != Press::Key || autoRepeat)
        return false;
    EndPress(true);
    return true;
}

void TButtonBehaviour::FocusIn() { m_host.Repaint(); }

void TButtonBehaviour::FocusOut()
{
    if (m_press == Press::Key)
        EndPress(false);
    m_host.Repaint();
}

void TButtonBehaviour::SetEnabled(bool on)
{
    if (on == m_enabled)
        return;
    m_enabled = on;
    if (m_press != Press::None)
        EndPress(false);
    SetState(on ? TButtonState::bsUp : TButtonState::bsDisabled);
}

void TButtonBehaviour::Click()
{
    if (m_modalResult != 0)
        m_host.SetModalResult(m_modalResult);
    if (OnClick) {
        const auto onClick = OnClick;
        onClick();
    }
}

}  // namespace quelvo::frontend
