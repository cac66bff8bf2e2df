#pragma once

// The bitmap button written once: which picture shows in which state, and
// the input state machine of press, hot, Space, focus loss and disabling.
// Each front end hands its window events to TButtonBehaviour and paints the
// picture it names; the behaviour asks back through TControlHost (repaint,
// mouse capture, focus, size).
//
// Input (every button has group index 0, so it never latches):
// - a mouse press, of any button, fires MouseDown first; then an enabled,
//   visible button without the focus takes it; a left press on an enabled,
//   focused button shows Down and captures the mouse;
// - while a mouse press lasts, moves show Down inside (0 <= x < width,
//   0 <= y < height) and Up outside; the release of any mouse button ends it
//   and clicks when inside; losing the capture ends it without a click;
// - Enter clicks at once; Space shows Down until the next real key release,
//   which clicks; losing the focus first ends it without a click (the key's
//   release then goes to another control);
// - a disabled button takes no input and shows its Disabled picture; a
//   press in progress ends; enabled again, it is Up.
// A press of one kind (mouse or key) is ended only by its own kind.

#include "frontend/ControlHost.h"
#include "frontend/Controls.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

namespace quelvo::frontend {

enum class TButtonState { bsUp, bsDisabled, bsDown, bsExclusive };

// The six picture slots, in their fixed order.
enum class TBmpSlot { Up, UpAndFocused, Disabled, Down, StayDown, Hot };
inline constexpr std::size_t kBmpSlotCount = 6;

// What decides the picture. Present[i] tells whether slot i holds a picture.
struct TBmpLook {
    TButtonState State = TButtonState::bsUp;
    bool MouseOver = false;
    bool Focused = false;
    bool ShowFocus = true;
    std::array<bool, kBmpSlotCount> Present{};
};

// The picture drawn: one of the slots, or the embossed grey rendering of the
// Up picture (a disabled button without a Disabled picture).
TButtonPicture PictureForState(const TBmpLook& look);

// Keys the button reacts to.
enum class TButtonKey { Enter, Space, Other };

class TButtonBehaviour {
public:
    explicit TButtonBehaviour(TControlHost& host);
    ~TButtonBehaviour();
    TButtonBehaviour(const TButtonBehaviour&) = delete;
    TButtonBehaviour& operator=(const TButtonBehaviour&) = delete;

    // Which slots hold a picture (a Hot picture makes entering repaint).
    void SetPresent(TBmpSlot slot, bool present);
    bool Present(TBmpSlot slot) const { return m_present[static_cast<std::size_t>(slot)]; }
    // Whether a focused button shows its UpAndFocused picture (default on).
    bool ShowFocus() const { return m_showFocus; }
    void SetShowFocus(bool on);
    // The modal result handed to the window on a click (0: none).
    int ModalResult() const { return m_modalResult; }
    void SetModalResult(int result) { m_modalResult = result; }

    TButtonState State() const { return m_state; }
    bool MouseOver() const { return m_mouseOver; }
    // A press (mouse or key) is in progress.
    bool Tracking() const { return m_press != Press::None; }
    bool Enabled() const { return m_enabled; }
    TButtonPicture CurrentPicture() const;

    // Window events, in the button's own coordinates. The handled ones
    // return true: the front end then keeps them from its default handling.
    void MouseEnter();
    void MouseLeave();
    void MouseDown(TMouseButton button, std::uint32_t shift, int x, int y);
    void MouseMove(int x, int y);
    void MouseUp(int x, int y);
    void CaptureLost();
    bool KeyDown(TButtonKey key);
    // autoRepeat: a release sent while the key is still held.
    bool KeyUp(bool autoRepeat);
    void FocusIn();
    void FocusOut();
    void SetEnabled(bool on);

    // Fires the click exactly as a completed press does.
    void Click();

    // The button's events; they may destroy the button.
    std::function<void(TMouseButton button, std::uint32_t shift, int x, int y)> OnMouseDown;
    std::function<void()> OnClick;

private:
    enum class Press { None, Mouse, Key };

    void SetState(TButtonState state);
    bool Inside(int x, int y) const;
    void EndPress(bool click);

    TControlHost& m_host;
    std::array<bool, kBmpSlotCount> m_present{};
    TButtonState m_state = TButtonState::bsUp;
    Press m_press = Press::None;
    bool m_mouseOver = false;
    bool m_enabled = true;
    bool m_showFocus = true;
    int m_modalResult = 0;
    // Cleared when the behaviour goes, so that a handler that destroyed the
    // button is noticed.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

}  // namespace quelvo::frontend
