#include "frontend/win32/Win32Controls.h"

#include "frontend/GIFTiming.h"
#include "frontend/win32/Win32FrontEnd.h"
#include "platform/win32/VersionInfo.h"

#include <gdiplus.h>
#include <shlwapi.h>
#include <windowsx.h>

#include <algorithm>

namespace quelvo::frontend::win32 {

namespace {

RECT ToRect(TRect r) { return RECT{r.left, r.top, r.left + r.width, r.top + r.height}; }

void Repaint(HWND hwnd)
{
    if (Win32Node* node = Win32Node::FromHandle(hwnd))
        node->RepaintSelf();
}

SIZE ClientSize(HWND hwnd)
{
    RECT r{};
    GetClientRect(hwnd, &r);
    return SIZE{r.right, r.bottom};
}

// The desktop colours the controls use, as Windows shows them by default
// (the Qt front end uses the same values).
constexpr COLORREF kBtnShadow = RGB(160, 160, 160);
constexpr COLORREF kGrayText = RGB(109, 109, 109);

const wchar_t kPanelClass[] = L"QuelvoPanel";
const wchar_t kPageClass[] = L"QuelvoPage";
const wchar_t kPageStackClass[] = L"QuelvoPageStack";
const wchar_t kPictureClass[] = L"QuelvoPicture";
const wchar_t kButtonClass[] = L"QuelvoBitmapButton";
const wchar_t kLabelClass[] = L"QuelvoLabel";
const wchar_t kEditFrameClass[] = L"QuelvoEditFrame";
const wchar_t kVersionPaneClass[] = L"QuelvoVersionPane";

}  // namespace

bool MouseDownMessage(UINT message, WPARAM, TMouseButton* button)
{
    switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        *button = TMouseButton::mbLeft;
        return true;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
        *button = TMouseButton::mbRight;
        return true;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK:
        *button = TMouseButton::mbMiddle;
        return true;
    default:
        return false;
    }
}

std::uint32_t ShiftFromKeys(WPARAM wParam)
{
    std::uint32_t shift = ssNone;
    if (wParam & MK_SHIFT)
        shift |= ssShift;
    if (wParam & MK_CONTROL)
        shift |= ssCtrl;
    if (GetKeyState(VK_MENU) < 0)
        shift |= ssAlt;
    return shift;
}

// --- panel ---------------------------------------------------------------

Win32Panel::Win32Panel(Win32Node* parent, std::string name, TRect bounds, const std::vector<std::uint8_t>& fillBytes)
    : Win32Control(std::move(name)), m_fill(fillBytes)
{
    RegisterNodeClass(kPanelClass);
    CreateNode(parent, kPanelClass, WS_VISIBLE | WS_CLIPCHILDREN, 0, ToRect(bounds));
}

void Win32Panel::BuildCache()
{
    const SIZE size = ClientSize(Handle());
    m_cache = Win32Bitmap();
    m_cacheValid = true;
    if (m_fill.empty() || size.cx <= 0 || size.cy <= 0)
        return;
    ++m_cacheBuilds;
    m_cache = Win32Bitmap(size.cx, size.cy);
    IStream* stream = SHCreateMemStream(m_fill.data(), static_cast<UINT>(m_fill.size()));
    if (!stream || m_cache.Empty()) {
        if (stream)
            stream->Release();
        return;
    }
    {
        Gdiplus::Bitmap fill(stream);
        // GDI+ draws straight into the cache's pixels.
        Gdiplus::Bitmap target(size.cx, size.cy, size.cx * 4, PixelFormat32bppPARGB,
                               reinterpret_cast<BYTE*>(m_cache.Pixels()));
        Gdiplus::Graphics g(&target);
        g.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
        g.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBicubic);
        g.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
        if (fill.GetLastStatus() == Gdiplus::Ok) {
            // At its own size in pixels, whatever resolution the file names.
            const Gdiplus::Rect at(0, 0, static_cast<INT>(fill.GetWidth()), static_cast<INT>(fill.GetHeight()));
            g.DrawImage(&fill, at);
        }
    }
    stream->Release();
}

void Win32Panel::PaintSelf(HDC dc)
{
    if (m_fill.empty())
        return;  // a plain container: transparent
    if (!m_cacheValid)
        BuildCache();
    m_cache.DrawBlended(dc, 0, 0);
}

LRESULT Win32Panel::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    TMouseButton button{};
    if (MouseDownMessage(message, wParam, &button)) {
        if (OnMouseDown)
            OnMouseDown(this, button, ShiftFromKeys(wParam), GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        return 0;
    }
    if (message == WM_SIZE)
        m_cacheValid = false;
    return Win32Node::HandleMessage(message, wParam, lParam);
}

// --- page stack ------------------------------------------------------------

Win32Page::Win32Page(Win32Node* stack, std::string name, TRect bounds, TColor colour)
    : Win32Control(std::move(name)), m_colour(colour)
{
    RegisterNodeClass(kPageClass);
    CreateNode(stack, kPageClass, WS_CLIPCHILDREN, 0, ToRect(bounds));  // hidden until made active
}

void Win32Page::PaintSelf(HDC dc)
{
    const SIZE size = ClientSize(Handle());
    HBRUSH brush = CreateSolidBrush(ToColorRef(m_colour));
    RECT all{0, 0, size.cx, size.cy};
    FillRect(dc, &all, brush);
    DeleteObject(brush);
}

Win32PageStack::Win32PageStack(Win32Node* parent, std::string name, TRect bounds)
    : Win32Control(std::move(name))
{
    RegisterNodeClass(kPageStackClass);
    CreateNode(parent, kPageStackClass, WS_VISIBLE | WS_CLIPCHILDREN, 0, ToRect(bounds));
}

void Win32PageStack::AddPage(Win32Page* page)
{
    m_pages.push_back(page);
    const SIZE size = ClientSize(Handle());
    SetWindowPos(page->Handle(), nullptr, 0, 0, size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32PageStack::SetActivePage(TPage* page)
{
    auto it = std::find_if(m_pages.begin(), m_pages.end(), [&](Win32Page* p) { return p == page; });
    if (it == m_pages.end() || *it == m_active)
        return;
    Win32Page* next = *it;
    Win32Page* old = m_active;

    // Park the focus on the old page itself, so that hiding it does not send
    // the focus elsewhere.
    if (old) {
        HWND focus = GetFocus();
        if (focus && IsChild(old->Handle(), focus))
            SetFocus(old->Handle());
    }

    SetWindowPos(next->Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    if (old && GetFocus() == old->Handle()) {
        if (IsWindowEnabled(next->Handle()) && IsWindowVisible(next->Handle()))
            SetFocus(next->Handle());
        else
            SetFocus(Handle());
    }

    if (old)
        ShowWindow(old->Handle(), SW_HIDE);
    m_active = next;

    if (GetFocus() == next->Handle()) {
        const std::vector<HWND> stops = TabStops(next->Handle());
        if (!stops.empty())
            SetFocus(stops.front());
    }
}

LRESULT Win32PageStack::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_SIZE) {
        for (Win32Page* page : m_pages)
            SetWindowPos(page->Handle(), nullptr, 0, 0, LOWORD(lParam), HIWORD(lParam), SWP_NOZORDER | SWP_NOACTIVATE);
    }
    return Win32Node::HandleMessage(message, wParam, lParam);
}

// --- pictures --------------------------------------------------------------

Win32PictureBox::Win32PictureBox(Win32Node* parent, std::string name, TRect bounds,
                                 const std::vector<std::uint8_t>& bytes)
    : Win32Control(std::move(name)), m_bytes(bytes)
{
    RegisterNodeClass(kPictureClass);
    CreateNode(parent, kPictureClass, WS_VISIBLE, 0, ToRect(bounds));
}

void Win32PictureBox::PaintSelf(HDC dc)
{
    // Decoded when first shown: the pictures of pages not visited take no
    // memory.
    if (!m_bytes.empty()) {
        m_picture = DecodePicture(m_bytes);
        m_bytes = {};
    }
    m_picture.DrawBlended(dc, 0, 0);
}

Win32AnimatedPicture::Win32AnimatedPicture(Win32Node* parent, std::string name, TRect bounds,
                                           const std::vector<std::uint8_t>& bytes)
    : Win32Control(std::move(name))
{
    TDecodedAnimation decoded = DecodeAnimation(bytes);
    const TGIFTiming timing =
        ReadGIFTiming(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    m_frames = std::move(decoded.Frames);
    for (std::size_t i = 0; i < m_frames.size(); ++i) {
        // The file's own blocks first; what GDI+ reads where they say nothing.
        std::optional<int> delay = i < timing.Delays.size() ? timing.Delays[i] : std::nullopt;
        if (!delay && i < decoded.Delays.size())
            delay = decoded.Delays[i];
        m_frameTimes.push_back(GIFFrameTimeMs(delay));
    }
    // Without a looping extension the animation plays once.
    m_loopCount = timing.LoopCount ? *timing.LoopCount : decoded.LoopCount.value_or(1);

    RegisterNodeClass(kPictureClass);
    CreateNode(parent, kPictureClass, WS_VISIBLE, 0, ToRect(bounds));
}

Win32AnimatedPicture::~Win32AnimatedPicture() { StopTimer(); }

int Win32AnimatedPicture::FrameTime(int index) const
{
    if (index < 0 || index >= FrameCount())
        return 0;
    return m_frameTimes[static_cast<std::size_t>(index)];
}

void Win32AnimatedPicture::SetAnimate(bool on)
{
    if (on == m_animate)
        return;
    m_animate = on;
    if (on) {
        m_loopsDone = 0;
        ScheduleNext();
    } else {
        StopTimer();
    }
}

void Win32AnimatedPicture::Step()
{
    if (m_frames.size() < 2)
        return;
    int next = m_current + 1;
    if (next >= FrameCount()) {
        ++m_loopsDone;
        if (m_loopCount != 0 && m_loopsDone >= m_loopCount) {
            StopTimer();
            return;  // the last frame stays
        }
        next = 0;
    }
    m_current = next;
    Repaint(Handle());
}

void Win32AnimatedPicture::ScheduleNext()
{
    if (m_frames.size() < 2 || !Handle())
        return;
    if (m_loopCount != 0 && m_loopsDone >= m_loopCount)
        return;
    SetTimer(Handle(), 1, static_cast<UINT>(FrameTime(m_current)), nullptr);
    m_timerOn = true;
    ++m_timerStarts;
}

void Win32AnimatedPicture::StopTimer()
{
    if (m_timerOn && Handle())
        KillTimer(Handle(), 1);
    m_timerOn = false;
}

void Win32AnimatedPicture::PaintSelf(HDC dc)
{
    if (m_current < FrameCount())
        m_frames[static_cast<std::size_t>(m_current)].DrawBlended(dc, 0, 0);
}

LRESULT Win32AnimatedPicture::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_TIMER && wParam == 1) {
        StopTimer();  // one frame at a time: each has its own time
        Step();
        if (m_animate)
            ScheduleNext();
        return 0;
    }
    return Win32Node::HandleMessage(message, wParam, lParam);
}

// --- bitmap button ---------------------------------------------------------

Win32BitmapButton::Win32BitmapButton(Win32Node* parent, std::string name, int left, int top,
                                     const std::vector<std::uint8_t>& upBytes,
                                     const std::vector<std::uint8_t>& hotBytes, bool hotAsDisabled)
    : Win32Control(std::move(name))
{
    const COLORREF transparent = RGB(128, 128, 0);  // clOlive
    const Win32Bitmap up = DecodePicture(upBytes);
    const Win32Bitmap hot = DecodePicture(hotBytes);
    auto slot = [&](TBmpSlot s) -> Win32MaskedBitmap& { return m_pictures[static_cast<std::size_t>(s)]; };
    slot(TBmpSlot::Up) = Win32MaskedBitmap(up, transparent);
    // Hot and Down are one and the same highlighted picture.
    slot(TBmpSlot::Hot) = Win32MaskedBitmap(hot, transparent);
    slot(TBmpSlot::Down) = Win32MaskedBitmap(hot, transparent);
    if (hotAsDisabled)
        slot(TBmpSlot::Disabled) = Win32MaskedBitmap(hot, transparent);

    // Sized to the Up picture.
    const int width = up.Empty() ? kDefaultWidth : up.Width();
    const int height = up.Empty() ? kDefaultHeight : up.Height();
    RegisterNodeClass(kButtonClass, CS_DBLCLKS, LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_HAND)));
    CreateNode(parent, kButtonClass, WS_VISIBLE | WS_TABSTOP, 0, RECT{left, top, left + width, top + height});
}

TButtonPicture Win32BitmapButton::CurrentPicture() const
{
    TBmpLook look;
    look.State = m_state;
    look.MouseOver = m_mouseOver;
    look.Focused = Handle() && GetFocus() == Handle();
    for (std::size_t i = 0; i < kBmpSlotCount; ++i)
        look.Present[i] = !m_pictures[i].Empty();
    return PictureForState(look);
}

void Win32BitmapButton::Click()
{
    // The modal result is none: nothing to hand to the window.
    if (OnClick)
        OnClick(this);
}

void Win32BitmapButton::PaintSelf(HDC dc)
{
    const TButtonPicture picture = CurrentPicture();
    if (picture == TButtonPicture::EmbossedUp) {
        m_pictures[static_cast<std::size_t>(TBmpSlot::Up)].DrawEmbossed(dc, 0, 0);
        return;
    }
    // The picture kinds and the slots share their order.
    m_pictures[static_cast<std::size_t>(picture)].Draw(dc, 0, 0);
}

void Win32BitmapButton::SetState(TButtonState state)
{
    if (state == m_state)
        return;
    m_state = state;
    Repaint(Handle());
}

bool Win32BitmapButton::Inside(LPARAM lParam) const
{
    const SIZE size = ClientSize(Handle());
    const int x = GET_X_LPARAM(lParam);
    const int y = GET_Y_LPARAM(lParam);
    return x >= 0 && x < size.cx && y >= 0 && y < size.cy;
}

void Win32BitmapButton::Press(UINT message, WPARAM wParam, LPARAM lParam)
{
    TMouseButton button{};
    MouseDownMessage(message, wParam, &button);
    if (OnMouseDown)
        OnMouseDown(this, button, ShiftFromKeys(wParam), GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
    const bool enabled = IsWindowEnabled(Handle()) != FALSE;
    if (enabled && GetFocus() != Handle() && IsWindowVisible(Handle()))
        SetFocus(Handle());
    if (button == TMouseButton::mbLeft && enabled && GetFocus() == Handle()) {
        SetState(TButtonState::bsDown);
        m_tracking = true;
        m_mouseTracking = true;
        SetCapture(Handle());
    }
}

void Win32BitmapButton::EndTracking(bool inside)
{
    m_tracking = false;
    m_mouseTracking = false;
    if (GetCapture() == Handle())
        ReleaseCapture();
    SetState(TButtonState::bsUp);
    if (inside)
        Click();
}

LRESULT Win32BitmapButton::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    const std::size_t hot = static_cast<std::size_t>(TBmpSlot::Hot);
    switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:  // the second press of a double click is a press
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK:
        if (IsWindowEnabled(Handle()))
            Press(message, wParam, lParam);
        return 0;
    case WM_MOUSEMOVE:
        if (!m_mouseOver) {
            m_mouseOver = true;
            TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, Handle(), 0};
            TrackMouseEvent(&track);
            if (!m_pictures[hot].Empty())
                Repaint(Handle());
        }
        if (m_tracking)
            SetState(Inside(lParam) ? TButtonState::bsDown : TButtonState::bsUp);
        return 0;
    case WM_MOUSELEAVE:
        m_mouseOver = false;
        if (!m_pictures[hot].Empty())
            Repaint(Handle());
        return 0;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
        // The release of any button ends a press.
        if (m_tracking)
            EndTracking(Inside(lParam));
        return 0;
    case WM_CAPTURECHANGED:
        // Someone else took the mouse: the press ends without a click.
        if (m_mouseTracking && reinterpret_cast<HWND>(lParam) != Handle()) {
            m_tracking = false;
            m_mouseTracking = false;
            SetState(IsWindowEnabled(Handle()) ? TButtonState::bsUp : TButtonState::bsDisabled);
        }
        return 0;
    case WM_KEYDOWN:
        if (wParam == VK_RETURN) {
            Click();
            return 0;
        }
        if (wParam == VK_SPACE) {
            if (IsWindowEnabled(Handle())) {
                SetState(TButtonState::bsDown);
                m_tracking = true;
            }
            return 0;
        }
        break;
    case WM_KEYUP:
        if (m_tracking && !m_mouseTracking) {
            m_tracking = false;
            SetState(TButtonState::bsUp);
            Click();
            return 0;
        }
        break;
    case WM_CHAR:
        if (wParam == L'\r' || wParam == L' ')
            return 0;  // no beep
        break;
    case WM_KILLFOCUS:
        // A Space press ends with the focus, without a click: its key
        // release goes to another control.
        if (m_tracking && !m_mouseTracking) {
            m_tracking = false;
            SetState(TButtonState::bsUp);
        }
        Repaint(Handle());
        break;
    case WM_SETFOCUS:
        Repaint(Handle());
        break;
    case WM_ENABLE:
        // A press in progress ends; disabled shows the Disabled picture.
        m_tracking = false;
        if (m_mouseTracking) {
            m_mouseTracking = false;
            if (GetCapture() == Handle())
                ReleaseCapture();
        }
        m_state = wParam ? TButtonState::bsUp : TButtonState::bsDisabled;
        Repaint(Handle());
        return 0;
    default:
        break;
    }
    return Win32Node::HandleMessage(message, wParam, lParam);
}

// --- label -------------------------------------------------------------------

Win32Label::Win32Label(Win32Node* parent, std::string name, TRect bounds, const std::u16string& caption,
                       const TFontDesc& font, TColor colour, bool wordWrap)
    : Win32Control(std::move(name)), m_caption(caption), m_font(WindowFont(font)), m_colour(colour),
      m_wordWrap(wordWrap)
{
    RegisterNodeClass(kLabelClass);
    CreateNode(parent, kLabelClass, WS_VISIBLE, 0, ToRect(bounds));
}

void Win32Label::SetCaption(const std::u16string& caption)
{
    if (caption == m_caption)
        return;
    m_caption = caption;
    Repaint(Handle());
}

void Win32Label::PaintSelf(HDC dc)
{
    const SIZE size = ClientSize(Handle());
    RECT box{0, 0, size.cx, size.cy};
    HGDIOBJ oldFont = SelectObject(dc, m_font);
    const int oldMode = SetBkMode(dc, TRANSPARENT);
    const COLORREF oldColour = SetTextColor(dc, ToColorRef(m_colour));
    for (int strike = 0; strike < OverstrikeCount(m_font); ++strike) {
        RECT at = box;
        OffsetRect(&at, strike, 0);
        DrawTextW(dc, W(m_caption), static_cast<int>(m_caption.size()), &at,
                  DT_LEFT | DT_TOP | DT_NOPREFIX | (m_wordWrap ? DT_WORDBREAK : DT_SINGLELINE));
    }
    SetTextColor(dc, oldColour);
    SetBkMode(dc, oldMode);
    SelectObject(dc, oldFont);
}



// --- edit box ----------------------------------------------------------------

// The native EDIT inside the frame: white, in the window font.
class Win32EditBox::Field : public Win32Node {
public:
    Field(Win32Node* frame, HWND edit) { AttachNode(frame, edit); }

protected:
    bool HandleReflected(UINT message, WPARAM wParam, LPARAM, LRESULT* result) override
    {
        if (message != WM_CTLCOLOREDIT)
            return false;
        HDC dc = reinterpret_cast<HDC>(wParam);
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        SetBkColor(dc, RGB(255, 255, 255));
        *result = reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
        return true;
    }
};

namespace {

// How far the field's text reaches above its baseline, as the field draws it.
int FieldAscent()
{
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, DefaultWindowFont());
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    SelectObject(dc, old);
    DeleteDC(dc);
    return tm.tmAscent;
}

}  // namespace

Win32EditBox::Win32EditBox(Win32Node* parent, std::string name, TRect bounds) : Win32Control(std::move(name))
{
    RegisterNodeClass(kEditFrameClass, CS_DBLCLKS, LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_IBEAM)));
    CreateNode(parent, kEditFrameClass, WS_VISIBLE | WS_TABSTOP | WS_CLIPCHILDREN, 0, ToRect(bounds));
    // The frame takes one pixel on every side. The text's line is centred
    // inside it, as the Linux build centres it; the field, which draws its
    // text at its top, starts where that puts the text.
    const TextLine line = FontLine(DefaultWindowFont());
    const int inside = std::max(0, bounds.height - 2);
    const int fieldTop = std::clamp(1 + (inside - line.Height()) / 2 + line.ascent - FieldAscent(), 1, 1 + inside);
    HWND edit = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | ES_LEFT | ES_AUTOHSCROLL, 1, fieldTop,
                                std::max(0, bounds.width - 2), 1 + inside - fieldTop, Handle(),
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(1)), GetModuleHandleW(nullptr), nullptr);
    if (!edit)
        return;
    SendMessageW(edit, WM_SETFONT, reinterpret_cast<WPARAM>(DefaultWindowFont()), FALSE);
    // Three pixels between the frame and the text on either side, as the
    // Linux build leaves them.
    SendMessageW(edit, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELONG(kTextMargin, kTextMargin));
    m_field = std::make_unique<Field>(this, edit);
}

Win32EditBox::~Win32EditBox() = default;

HWND Win32EditBox::EditHandle() const { return m_field ? m_field->Handle() : nullptr; }

std::u16string Win32EditBox::Text() const
{
    HWND edit = EditHandle();
    if (!edit)
        return {};
    const int length = GetWindowTextLengthW(edit);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int got = GetWindowTextW(edit, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(std::max(0, got)));
    return U16(text.c_str()).substr(0, text.size());
}

void Win32EditBox::SetText(const std::u16string& text)
{
    if (HWND edit = EditHandle())
        SetWindowTextW(edit, W(text));
}

void Win32EditBox::PaintSelf(HDC dc)
{
    const SIZE size = ClientSize(Handle());
    RECT all{0, 0, size.cx, size.cy};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    // A flat frame of one pixel in the button-shadow colour.
    HBRUSH frame = CreateSolidBrush(kBtnShadow);
    FrameRect(dc, &all, frame);
    DeleteObject(frame);
}

LRESULT Win32EditBox::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_SETFOCUS) {
        if (HWND edit = EditHandle())
            SetFocus(edit);
        return 0;
    }
    if (message == WM_LBUTTONDOWN) {
        // The frame's own pixel: the box takes the focus all the same.
        if (HWND edit = EditHandle())
            SetFocus(edit);
        return 0;
    }
    return Win32Node::HandleMessage(message, wParam, lParam);
}

// --- version pane --------------------------------------------------------------

namespace {

std::u16string OwnFileVersion()
{
    return platform::Field(platform::ReadOwnVersionStrings(), platform::VersionField::FileVersion);
}

int TextWidth(HFONT font, const std::u16string& text)
{
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    SIZE size{};
    GetTextExtentPoint32W(dc, W(text), static_cast<int>(text.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return size.cx;
}

}  // namespace

Win32VersionPane::Win32VersionPane(Win32Node* parent, std::string name, TRect bounds,
                                   const std::u16string& fieldLabel, TColor labelColour)
    : Win32VersionPane(parent, std::move(name), bounds, fieldLabel, labelColour, OwnFileVersion())
{
}

Win32VersionPane::Win32VersionPane(Win32Node* parent, std::string name, TRect bounds,
                                   const std::u16string& fieldLabel, TColor labelColour, const std::u16string& value)
    : Win32Control(std::move(name)), m_label(fieldLabel), m_value(value), m_labelColour(labelColour)
{
    RegisterNodeClass(kVersionPaneClass);
    CreateNode(parent, kVersionPaneClass, WS_VISIBLE, 0, ToRect(bounds));
}

int Win32VersionPane::ValueLeft() const { return TextWidth(DefaultWindowFont(), m_label) + 2 * TextOffset(); }

void Win32VersionPane::PaintSelf(HDC dc)
{
    const SIZE size = ClientSize(Handle());
    const bool enabled = IsWindowEnabled(Handle()) != FALSE;
    const COLORREF grey = kGrayText;
    HGDIOBJ oldFont = SelectObject(dc, DefaultWindowFont());
    const int oldMode = SetBkMode(dc, TRANSPARENT);
    const UINT flags = DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX;

    const int labelWidth = ValueLeft() - 2 * TextOffset();
    RECT label{LabelLeft(), 0, LabelLeft() + labelWidth, size.cy};
    SetTextColor(dc, enabled ? ToColorRef(m_labelColour) : grey);
    DrawTextW(dc, W(m_label), static_cast<int>(m_label.size()), &label, flags);

    // The value keeps the pane's text offset inside its own part.
    RECT value{ValueLeft() + TextOffset(), 0, size.cx, size.cy};
    SetTextColor(dc, enabled ? GetSysColor(COLOR_WINDOWTEXT) : grey);
    DrawTextW(dc, W(m_value), static_cast<int>(m_value.size()), &value, flags);

    SetBkMode(dc, oldMode);
    SelectObject(dc, oldFont);
}

}  // namespace quelvo::frontend::win32
