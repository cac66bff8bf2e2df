#include "frontend/win32/Win32MainWindow.h"

#include "frontend/Services.h"
#include "frontend/win32/Win32Gdi.h"
#include "frontend/win32/Win32TabOrder.h"

#include <algorithm>
#include <atomic>
#include <stdexcept>

namespace quelvo::frontend::win32 {

namespace {

constexpr wchar_t kMainWindowClass[] = L"QuelvoMainWindow";

std::atomic<bool> g_busy{false};

}  // namespace

bool BusyCursorOn() { return g_busy.load(); }

void SetBusyCursorOn(bool on) { g_busy.store(on); }

Win32MainWindow::Win32MainWindow(const std::string& name, int width, int height, TColor keyColour)
    : Win32Control(name), m_key(keyColour)
{
    RegisterNodeClass(kMainWindowClass);
    const DWORD style = WS_POPUP | WS_MINIMIZEBOX | WS_SYSMENU | WS_CLIPCHILDREN;
    const DWORD exStyle = WS_EX_LAYERED | WS_EX_APPWINDOW;
    RECT frame{0, 0, width, height};
    AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    const int outerWidth = frame.right - frame.left;
    const int outerHeight = frame.bottom - frame.top;

    // Centred on the desktop that spans every monitor, never left of or
    // above its top-left corner.
    const int deskLeft = GetSystemMetrics(SM_XVIRTUALSCREEN);
    const int deskTop = GetSystemMetrics(SM_YVIRTUALSCREEN);
    const int deskWidth = GetSystemMetrics(SM_CXVIRTUALSCREEN);
    const int deskHeight = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    const int left = std::max(deskLeft, deskLeft + deskWidth / 2 - outerWidth / 2);
    const int top = std::max(deskTop, deskTop + deskHeight / 2 - outerHeight / 2);

    CreateNode(nullptr, kMainWindowClass, style, exStyle, RECT{left, top, left + outerWidth, top + outerHeight});
    if (!Handle())
        throw std::runtime_error("the main window could not be created");
    SetLayeredWindowAttributes(Handle(), ToColorRef(keyColour), 0, LWA_COLORKEY);
    if (HICON icon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1))) {
        SendMessageW(Handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
        SendMessageW(Handle(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    }
}

Win32MainWindow::~Win32MainWindow()
{
    // The windows go first, while every control's object still answers
    // their last messages; then the objects.
    if (Handle())
        DestroyWindow(Handle());
    while (!m_controls.empty())
        m_controls.pop_back();
}

std::u16string Win32MainWindow::Caption() const
{
    const int length = GetWindowTextLengthW(Handle());
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int got = GetWindowTextW(Handle(), text.data(), length + 1);
    text.resize(static_cast<std::size_t>(std::max(0, got)));
    return std::u16string(text.begin(), text.end());
}

void Win32MainWindow::SetCaption(const std::u16string& caption) { SetWindowTextW(Handle(), W(caption)); }

void Win32MainWindow::Show()
{
    // A closed window stays closed: its handlers' state is gone.
    if (m_closed)
        return;
    if (!m_shown) {
        m_shown = true;
        if (OnShow)
            OnShow(this);
    }
    ShowWindow(Handle(), SW_SHOW);
    UpdateWindow(Handle());
}

void Win32MainWindow::Close()
{
    if (m_closed)
        return;
    m_closed = true;
    if (OnClose)
        OnClose(this);
    ShowWindow(Handle(), SW_HIDE);
    PostQuitMessage(0);
}

void Win32MainWindow::Minimize() { ShowWindow(Handle(), SW_MINIMIZE); }

bool Win32MainWindow::Minimized() const { return IsIconic(Handle()) != FALSE; }

void Win32MainWindow::Restore() { ShowWindow(Handle(), SW_RESTORE); }

void Win32MainWindow::StartMove()
{
    if (const TWindowMoveHandler& handler = WindowMoveHandler()) {
        handler();
        return;
    }
    // As if the title bar had been grabbed: the system moves the window
    // until the button is released.
    ReleaseCapture();
    SendMessageW(Handle(), WM_NCLBUTTONDOWN, HTCAPTION, 0);
}

void Win32MainWindow::PaintSelf(HDC dc)
{
    RECT client{};
    GetClientRect(Handle(), &client);
    HBRUSH brush = CreateSolidBrush(ToColorRef(m_key));
    FillRect(dc, &client, brush);
    DeleteObject(brush);
}

bool Win32MainWindow::HandleDialogKey(const MSG& msg)
{
    if (msg.message != WM_KEYDOWN || msg.wParam != VK_TAB)
        return false;
    if (msg.hwnd != Handle() && !IsChild(Handle(), msg.hwnd))
        return false;
    if (GetKeyState(VK_CONTROL) < 0 || GetKeyState(VK_MENU) < 0)
        return false;
    const std::vector<HWND> stops = TabStops(Handle());
    if (stops.empty())
        return true;
    const HWND focus = GetFocus();
    int at = -1;
    for (std::size_t i = 0; i < stops.size(); ++i)
        if (stops[i] == focus || IsChild(stops[i], focus))
            at = static_cast<int>(i);
    const int count = static_cast<int>(stops.size());
    const bool back = GetKeyState(VK_SHIFT) < 0;
    int next;
    if (at < 0)
        next = back ? count - 1 : 0;
    else
        next = (at + (back ? count - 1 : 1)) % count;
    SetFocus(stops[static_cast<std::size_t>(next)]);
    return true;
}

LRESULT Win32MainWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CLOSE:
        Close();
        return 0;
    case WM_SETCURSOR:
        // Children ask their parents first: one answer covers the window.
        if (BusyCursorOn()) {
            SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_WAIT)));
            return TRUE;
        }
        break;
    case WM_ACTIVATE:
        // The focus comes back to where it was, as in a dialog.
        if (LOWORD(wParam) == WA_INACTIVE) {
            HWND focus = GetFocus();
            if (focus && IsChild(Handle(), focus))
                m_lastFocus = focus;
        } else if (m_lastFocus && IsWindow(m_lastFocus) && IsChild(Handle(), m_lastFocus)) {
            SetFocus(m_lastFocus);
            return 0;
        }
        break;
    default:
        break;
    }
    return Win32Node::HandleMessage(message, wParam, lParam);
}

}  // namespace quelvo::frontend::win32
