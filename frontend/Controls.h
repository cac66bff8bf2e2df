#pragma once

// The controls the main window is built from, as the window's handlers see
// them: one interface per kind of control, and a factory that makes them.
// Each front end (Qt on Linux, Win32 on Windows) implements every interface
// over its own windowing system, so the form, its fields and its handlers
// exist once. No toolkit type appears here: texts are UTF-16, colours RGB,
// positions and sizes pixels relative to the parent control.
//
// Ownership: the main window owns every control made under it; the form
// keeps plain pointers, valid while the main window lives.

#include "markup/engine/Surface.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace quelvo::frontend {

struct TRect {
    int left = 0, top = 0, width = 0, height = 0;
    friend bool operator==(const TRect&, const TRect&) = default;
};

using TColor = markup::Rgb;

enum class TMouseButton { mbLeft, mbRight, mbMiddle };

// Modifier keys held during a mouse event.
enum TShiftState : std::uint32_t { ssNone = 0, ssShift = 1, ssCtrl = 2, ssAlt = 4 };

enum class TMsgIcon { Information, Error };

// What a bitmap button draws now (the state-to-picture table of the button).
enum class TButtonPicture { Up, UpAndFocused, Disabled, Down, StayDown, Hot, EmbossedUp };

// Every control, and every event's sender.
class TObject {
public:
    virtual ~TObject() = default;
};

using TNotifyEvent = std::function<void(TObject* Sender)>;
using TMouseEvent =
    std::function<void(TObject* Sender, TMouseButton Button, std::uint32_t Shift, int X, int Y)>;
// List box link press: the row index and the link target as written.
using TListAnchorClick = std::function<void(TObject* Sender, int Index, const std::u16string& Anchor)>;
// Label link press: the link target as written.
using TLabelAnchorClick = std::function<void(TObject* Sender, const std::u16string& Anchor)>;

class TControl : public TObject {
public:
    // The component name ("Bn_QLVO_StartScan").
    virtual const std::string& Name() const = 0;
    // Position and size in the parent.
    virtual TRect Bounds() const = 0;
    // The control's own visibility flag (not its ancestors').
    virtual bool Visible() const = 0;
    virtual void SetVisible(bool on) = 0;
    // True when it and every ancestor are visible.
    virtual bool Showing() const = 0;
    virtual bool Enabled() const = 0;
    virtual void SetEnabled(bool on) = 0;
};

// A page of the page stack; its controls are its children.
class TPage : public TControl {};

// Pages with hidden tabs: exactly one visible. A page of another stack, or
// the page already active, changes nothing. The focus moves with the page.
class TPageStack : public TControl {
public:
    virtual void SetActivePage(TPage* page) = 0;
    virtual TPage* ActivePage() const = 0;
};

// A button drawn entirely from pictures (Up; Hot and Down the same
// highlighted picture; Disabled too on the navigation buttons).
class TBitmapButton : public TControl {
public:
    // Fires the click exactly as a completed press does.
    virtual void Click() = 0;
    virtual TButtonPicture CurrentPicture() const = 0;
    TNotifyEvent OnClick;
};

// A panel: the background panel painted from a picture with alpha (mouse
// down fires for every button pressed on its own surface), or a plain
// transparent container.
class TPanelControl : public TControl {
public:
    TMouseEvent OnMouseDown;
};

// A still picture drawn at the top-left at its own size.
class TPictureControl : public TControl {};

// An animated GIF; Animate off until switched on.
class TAnimatedPicture : public TControl {
public:
    virtual bool Animate() const = 0;
    // Setting the value it already has does nothing.
    virtual void SetAnimate(bool on) = 0;
    virtual int FrameCount() const = 0;
};

// A transparent text label; every caption change repaints it once.
class TTextLabel : public TControl {
public:
    virtual std::u16string Caption() const = 0;
    virtual void SetCaption(const std::u16string& caption) = 0;
};

// The single-line edit box of the filter.
class TEditBox : public TControl {
public:
    virtual std::u16string Text() const = 0;
    virtual void SetText(const std::u16string& text) = 0;
};

// A label whose text is markup (its lines joined with one space). A press
// on a link fires OnAnchorClick, then the desktop opens web and mail targets.
class TMarkupLabel : public TControl {
public:
    virtual void ClearText() = 0;
    virtual void AddText(const std::u16string& line) = 0;
    virtual std::vector<std::u16string> TextLines() const = 0;
    TLabelAnchorClick OnAnchorClick;
};

// The report list: one markup string per row, rows of fixed height, pictures
// from the window's picture container. SetItem keeps the row's index and
// height and does not scroll.
class TMarkupListBox : public TControl {
public:
    virtual void Clear() = 0;
    virtual void Add(const std::u16string& row) = 0;
    virtual int Count() const = 0;
    // Out of range: empty text.
    virtual std::u16string Item(int index) const = 0;
    virtual void SetItem(int index, const std::u16string& row) = 0;
    // A nesting count; the last EndUpdate lays out and repaints once.
    virtual void BeginUpdate() = 0;
    virtual void EndUpdate() = 0;
    TListAnchorClick OnAnchorClick;
};

// Navigation flags of the embedded browser.
inline constexpr int navNoReadFromCache = 4;
inline constexpr int navNoWriteToCache = 8;

// The embedded web browser of the lookup page.
class TWebBrowserControl : public TControl {
public:
    // Starts loading the address; does not wait for the page.
    virtual void Navigate(const std::u16string& url, int flags) = 0;
    // The address of the last navigation (empty before the first).
    virtual std::u16string LocationURL() const = 0;
};

// The About page's version pane: a field label, then the executable's file
// version.
class TVersionPane : public TControl {
public:
    virtual std::u16string FieldLabel() const = 0;
    // The value shown ("1.0.0.14", or "Value Not Available" without version data).
    virtual std::u16string Value() const = 0;
};

// The borderless top-level window: pixels in the key colour are neither
// shown nor clickable.
class TMainWindow : public TControl {
public:
    virtual std::u16string Caption() const = 0;
    virtual void SetCaption(const std::u16string& caption) = 0;
    // Shows it; the first show fires OnShow before it becomes visible.
    virtual void Show() = 0;
    // Closes it: OnClose fires once, then the program's message loop ends.
    virtual void Close() = 0;
    virtual void Minimize() = 0;
    virtual bool Minimized() const = 0;
    virtual void Restore() = 0;
    // Lets the platform move the window with the mouse until the left button
    // is released, as a press on a title bar does.
    virtual void StartMove() = 0;
    TNotifyEvent OnShow;
    TNotifyEvent OnClose;
};

struct TFontDesc {
    std::u16string face;
    int pixels = 11;
    bool bold = false;
};

// Everything a front end makes and does for the window.
class TFrontEnd {
public:
    virtual ~TFrontEnd() = default;

    // Controls. `art` names a file of the window's artwork as it lies under
    // resources/ ("background.png", "buttons/Bn_StartScan_Up.bmp").
    virtual std::unique_ptr<TMainWindow> CreateMainWindow(const std::string& name, int width, int height,
                                                          TColor keyColour) = 0;
    virtual TPanelControl* CreateSkinPanel(TControl* parent, const std::string& name, TRect bounds,
                                           const std::string& fillArt) = 0;
    virtual TPanelControl* CreatePanel(TControl* parent, const std::string& name, TRect bounds) = 0;
    virtual TPageStack* CreatePageStack(TControl* parent, const std::string& name, TRect bounds) = 0;
    // Appended to the stack, hidden until made active; it fills the stack.
    virtual TPage* CreatePage(TPageStack* stack, const std::string& name, TColor colour) = 0;
    virtual TPictureControl* CreatePicture(TControl* parent, const std::string& name, TRect bounds,
                                           const std::string& art) = 0;
    virtual TAnimatedPicture* CreateAnimatedPicture(TControl* parent, const std::string& name, TRect bounds,
                                                    const std::string& art) = 0;
    // Sized to its Up picture; Hot and Down show hotArt, and so does Disabled
    // when hotAsDisabled.
    virtual TBitmapButton* CreateButton(TControl* parent, const std::string& name, int left, int top,
                                        const std::string& upArt, const std::string& hotArt,
                                        bool hotAsDisabled) = 0;
    virtual TTextLabel* CreateLabel(TControl* parent, const std::string& name, TRect bounds,
                                    const std::u16string& caption, const TFontDesc& font, TColor colour,
                                    bool wordWrap) = 0;
    virtual TEditBox* CreateEdit(TControl* parent, const std::string& name, TRect bounds) = 0;
    virtual TMarkupLabel* CreateMarkupLabel(TControl* parent, const std::string& name, TRect bounds,
                                            const markup::FontSpec& font) = 0;
    // The report list: white, no border, rows of itemHeight, pictures of the
    // window's picture container (resources/pictures in order.txt order).
    virtual TMarkupListBox* CreateMarkupList(TControl* parent, const std::string& name, TRect bounds,
                                             const markup::FontSpec& font, int itemHeight) = 0;
    virtual TWebBrowserControl* CreateWebBrowser(TControl* parent, const std::string& name, TRect bounds) = 0;
    virtual TVersionPane* CreateVersionPane(TControl* parent, const std::string& name, TRect bounds,
                                            const std::u16string& fieldLabel, TColor labelColour) = 0;
    // The keyboard focus order of the given controls.
    virtual void SetTabOrder(const std::vector<TControl*>& chain) = 0;

    // Services.
    // Runs task on the UI thread, in the order posted; callable from any thread.
    virtual void Post(std::function<void()> task) = 0;
    // Handles every pending window message (paint, input) and returns.
    virtual void ProcessMessages() = 0;
    // A modal message box with an OK button; returns the button pressed (1).
    virtual int MessageBox(TMainWindow* owner, const std::u16string& caption, const std::u16string& text,
                           TMsgIcon icon) = 0;
    // The shell's "open" verb, fire and forget.
    virtual void ShellOpen(TMainWindow* owner, const std::u16string& object) = 0;
    // The running executable's full path.
    virtual std::u16string ExecutablePath() const = 0;
    // The busy cursor over the window while on.
    virtual void SetBusyCursor(bool on) = 0;
};

}  // namespace quelvo::frontend
