#pragma once

// What a control's shared behaviour (ButtonBehaviour.h, GIFPlayer.h) asks of
// the window it lives in. Each front end implements it over its own
// windowing system; tests implement it with a recording fake.
//
// | Repaint        | paint the control again soon (not at once)            |
// | StartTimer(ms) | one single-shot timer per control: after ms, call the  |
// |                | behaviour's TimerElapsed; starting it again restarts it|
// | StopTimer      | the pending timer, if any, never fires                 |
// | CaptureMouse   | every mouse event goes to this control until released  |
// | ReleaseMouse   | gives the mouse back; a host may then report the       |
// |                | capture lost, which the behaviour ignores              |
// | HasFocus       | the control holds its window's keyboard focus (also    |
// |                | while the window itself is not active)                 |
// | TakeFocus      | gives it the keyboard focus                            |
// | IsVisible      | it and every ancestor are shown                        |
// | Width, Height  | its size in pixels                                     |
// | SetModalResult | hands a button's modal result to its window            |
//
// Only Repaint is needed by every behaviour; the rest do nothing by default.

namespace quelvo::frontend {

class TControlHost {
public:
    virtual ~TControlHost() = default;
    virtual void Repaint() = 0;
    virtual void StartTimer(int milliseconds) { (void)milliseconds; }
    virtual void StopTimer() {}
    virtual void CaptureMouse() {}
    virtual void ReleaseMouse() {}
    virtual bool HasFocus() const { return false; }
    virtual void TakeFocus() {}
    virtual bool IsVisible() const { return true; }
    virtual int Width() const { return 0; }
    virtual int Height() const { return 0; }
    virtual void SetModalResult(int result) { (void)result; }
};

}  // namespace quelvo::frontend
