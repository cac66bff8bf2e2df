#pragma once

// What the form's tests need of a front end: the front end itself, its event
// loop, and input sent to a control through its own windowing system, as a
// user's mouse would send it. One implementation per front end; the tests
// themselves are the same for both.

#include "frontend/Controls.h"

#include <chrono>
#include <functional>
#include <string>

namespace quelvo::app {
class TForm_QLVO_GUI;
}

namespace quelvo::app::test {

class FormHarness {
public:
    virtual ~FormHarness() = default;
    virtual frontend::TFrontEnd& FrontEnd() = 0;
    // Handles events until done() holds or the time runs out; returns done().
    virtual bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) = 0;
    // Handles events for the given time.
    virtual void Wait(std::chrono::milliseconds time) = 0;
    // Shows the window and waits until it is on the screen.
    virtual bool ShowAndWait(TForm_QLVO_GUI& form) = 0;
    // A button press and release at (x, y) of the control.
    virtual void Press(frontend::TControl* control, int x, int y,
                       frontend::TMouseButton button = frontend::TMouseButton::mbLeft) = 0;
    virtual void Release(frontend::TControl* control, int x, int y,
                         frontend::TMouseButton button = frontend::TMouseButton::mbLeft) = 0;
    // A second press of a double click.
    virtual void DoublePress(frontend::TControl* control, int x, int y) = 0;
    // Writes what the window shows now to an image file (PNG on Qt, BMP on
    // Win32; the extension is the harness's). False when it cannot.
    virtual bool SaveWindowImage(TForm_QLVO_GUI& form, const std::string& pathWithoutExtension) = 0;
    // The link target under (x, y) of a markup label (empty when none).
    virtual std::u16string LabelAnchorAt(frontend::TMarkupLabel* label, int x, int y) = 0;
};

// The harness of the front end the test executable was built with.
FormHarness& Harness();

}  // namespace quelvo::app::test
