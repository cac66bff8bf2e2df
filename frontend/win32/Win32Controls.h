#pragma once

// The skinned controls of the Win32 front end. Each is a child window of its
// parent control's window and paints through the off-screen buffer of its
// base: what lies behind it first, then its own image.

#include "frontend/ButtonLook.h"
#include "frontend/win32/Win32Control.h"
#include "frontend/win32/Win32Gdi.h"

#include <array>
#include <functional>
#include <string>
#include <vector>

namespace quelvo::frontend::win32 {

// The button, shift state and position of a mouse press message.
bool MouseDownMessage(UINT message, WPARAM wParam, TMouseButton* button);
std::uint32_t ShiftFromKeys(WPARAM wParam);

// A panel: painted from a fill picture with alpha (the background panel), or
// a plain transparent container. OnMouseDown fires for a press of any button
// on its own surface.
class Win32Panel : public Win32Control<TPanelControl> {
public:
    Win32Panel(Win32Node* parent, std::string name, TRect bounds, const std::vector<std::uint8_t>& fillBytes);

    void PaintSelf(HDC dc) override;
    // How often the cached picture was composed (once until the size changes).
    int CacheBuilds() const { return m_cacheBuilds; }

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void BuildCache();

    std::vector<std::uint8_t> m_fill;
    Win32Bitmap m_cache;
    bool m_cacheValid = false;
    int m_cacheBuilds = 0;
};

class Win32Page : public Win32Control<TPage> {
public:
    Win32Page(Win32Node* stack, std::string name, TRect bounds, TColor colour);
    void PaintSelf(HDC dc) override;

private:
    TColor m_colour;
};

class Win32PageStack : public Win32Control<TPageStack> {
public:
    Win32PageStack(Win32Node* parent, std::string name, TRect bounds);

    void AddPage(Win32Page* page);
    void SetActivePage(TPage* page) override;
    TPage* ActivePage() const override { return m_active; }

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    std::vector<Win32Page*> m_pages;
    Win32Page* m_active = nullptr;
};

// A still picture at its own size, alpha included.
class Win32PictureBox : public Win32Control<TPictureControl> {
public:
    Win32PictureBox(Win32Node* parent, std::string name, TRect bounds, const std::vector<std::uint8_t>& bytes);
    void PaintSelf(HDC dc) override;

private:
    std::vector<std::uint8_t> m_bytes;  // the file, until first painted
    Win32Bitmap m_picture;
};

// An animated GIF stepped by a UI-thread timer while Animate is on.
class Win32AnimatedPicture : public Win32Control<TAnimatedPicture> {
public:
    Win32AnimatedPicture(Win32Node* parent, std::string name, TRect bounds, const std::vector<std::uint8_t>& bytes);
    ~Win32AnimatedPicture() override;

    bool Animate() const override { return m_animate; }
    void SetAnimate(bool on) override;
    int FrameCount() const override { return static_cast<int>(m_frames.size()); }

    int CurrentFrame() const { return m_current; }
    int FrameTime(int index) const;
    // 0: forever.
    int LoopCount() const { return m_loopCount; }
    // How often the frame timer was started.
    int TimerStarts() const { return m_timerStarts; }
    // Moves to the next frame as the timer does.
    void Step();

    void PaintSelf(HDC dc) override;

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void ScheduleNext();
    void StopTimer();

    std::vector<Win32Bitmap> m_frames;
    std::vector<int> m_frameTimes;
    int m_loopCount = 1;
    int m_loopsDone = 0;
    int m_current = 0;
    bool m_animate = false;
    bool m_timerOn = false;
    int m_timerStarts = 0;
};

// The bitmap button: pictures per state, drawn over what lies behind with
// the transparent colour left out.
class Win32BitmapButton : public Win32Control<TBitmapButton> {
public:
    Win32BitmapButton(Win32Node* parent, std::string name, int left, int top, const std::vector<std::uint8_t>& upBytes,
                      const std::vector<std::uint8_t>& hotBytes, bool hotAsDisabled);

    void Click() override;
    TButtonPicture CurrentPicture() const override;

    TButtonState State() const { return m_state; }
    bool Tracking() const { return m_tracking; }
    bool MouseOver() const { return m_mouseOver; }

    // Fires first on every mouse-button press.
    TMouseEvent OnMouseDown;

    void PaintSelf(HDC dc) override;

    // Size of a button without an Up picture.
    static constexpr int kDefaultWidth = 80;
    static constexpr int kDefaultHeight = 30;

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void SetState(TButtonState state);
    void Press(UINT message, WPARAM wParam, LPARAM lParam);
    void EndTracking(bool inside);
    bool Inside(LPARAM lParam) const;

    std::array<Win32MaskedBitmap, kBmpSlotCount> m_pictures;
    TButtonState m_state = TButtonState::bsUp;
    bool m_tracking = false;
    bool m_mouseTracking = false;  // tracking by mouse (capture held)
    bool m_mouseOver = false;
};

// A transparent text label of fixed size; the text is clipped to it.
class Win32Label : public Win32Control<TTextLabel> {
public:
    Win32Label(Win32Node* parent, std::string name, TRect bounds, const std::u16string& caption, const TFontDesc& font,
               TColor colour, bool wordWrap);

    std::u16string Caption() const override { return m_caption; }
    void SetCaption(const std::u16string& caption) override;
    void PaintSelf(HDC dc) override;

private:
    std::u16string m_caption;
    HFONT m_font;
    TColor m_colour;
    bool m_wordWrap;
};

// The filter box: a native EDIT inside a flat one-pixel frame.
class Win32EditBox : public Win32Control<TEditBox> {
public:
    Win32EditBox(Win32Node* parent, std::string name, TRect bounds);
    ~Win32EditBox() override;

    std::u16string Text() const override;
    void SetText(const std::u16string& text) override;
    HWND EditHandle() const;
    // Pixels between the frame and the text on the left and on the right.
    static constexpr int kTextMargin = 3;

    void PaintSelf(HDC dc) override;

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    class Field;
    std::unique_ptr<Field> m_field;
};

// The version pane: a field label, then the executable's file version.
class Win32VersionPane : public Win32Control<TVersionPane> {
public:
    Win32VersionPane(Win32Node* parent, std::string name, TRect bounds, const std::u16string& fieldLabel,
                     TColor labelColour);
    // As above with the value given (tests).
    Win32VersionPane(Win32Node* parent, std::string name, TRect bounds, const std::u16string& fieldLabel,
                     TColor labelColour, const std::u16string& value);

    std::u16string FieldLabel() const override { return m_label; }
    std::u16string Value() const override { return m_value; }
    int TextOffset() const { return 2; }
    int LabelLeft() const { return 1 + TextOffset(); }
    // Left edge of the value's part: the label's width plus twice the offset.
    int ValueLeft() const;

    void PaintSelf(HDC dc) override;

private:
    std::u16string m_label;
    std::u16string m_value;
    TColor m_labelColour;
};

}  // namespace quelvo::frontend::win32
