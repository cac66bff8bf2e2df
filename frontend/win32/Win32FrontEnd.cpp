#include "frontend/win32/Win32FrontEnd.h"

#include "frontend/Services.h"
#include "frontend/win32/Artwork.h"
#include "frontend/win32/DesktopShell.h"
#include "frontend/win32/Win32Controls.h"

#include <gdiplus.h>
#include <ole2.h>
#include <shellapi.h>
#undef MessageBox

#include <algorithm>
#include <atomic>
#include <climits>
#include <stdexcept>

#if __has_include("frontend/win32/markup/Win32MarkupList.h")
#include "frontend/win32/markup/Win32MarkupLabel.h"
#include "frontend/win32/markup/Win32MarkupList.h"
#include "frontend/win32/markup/Win32PictureContainer.h"
#include "frontend/win32/markup/Win32WebBrowser.h"
#define QUELVO_WIN32_MARKUP 1
#else
#define QUELVO_WIN32_MARKUP 0
#endif

namespace quelvo::frontend::win32 {

namespace {

constexpr wchar_t kMainWindowClass[] = L"QuelvoMainWindow";
constexpr wchar_t kPostWindowClass[] = L"QuelvoPostWindow";
constexpr wchar_t kTabIndexProp[] = L"QuelvoTabIndex";
constexpr wchar_t kCreationProp[] = L"QuelvoCreation";
constexpr UINT kRunPosted = WM_APP + 1;

std::atomic<bool> g_busy{false};

Win32Node* NodeOf(TControl* control)
{
    auto* node = dynamic_cast<Win32Node*>(control);
    if (!node)
        throw std::invalid_argument("not a control of the Win32 front end");
    return node;
}

Win32MainWindow* RootOf(Win32Node* node)
{
    while (node && node->ParentNode())
        node = node->ParentNode();
    return dynamic_cast<Win32MainWindow*>(node);
}

HWND OwnerHandle(TMainWindow* owner)
{
    auto* node = dynamic_cast<Win32Node*>(owner);
    return node ? node->Handle() : nullptr;
}

std::vector<std::uint8_t> Art(const std::string& name)
{
    std::vector<std::uint8_t> bytes;
    func_LoadArtwork(name, bytes);
    return bytes;
}

[[maybe_unused]] std::u16string Ascii16(std::string_view text) { return std::u16string(text.begin(), text.end()); }

RECT ToRect(TRect r) { return RECT{r.left, r.top, r.left + r.width, r.top + r.height}; }

// Handles one message as the loop does: the window's own tab keys first.
void DispatchOne(MSG& msg)
{
    // Only Tab concerns the window; other messages spare the look-up.
    if (msg.hwnd && msg.message == WM_KEYDOWN && msg.wParam == VK_TAB) {
        HWND root = GetAncestor(msg.hwnd, GA_ROOT);
        if (auto* window = dynamic_cast<Win32MainWindow*>(Win32Node::FromHandle(root)))
            if (window->HandleDialogKey(msg))
                return;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
}

#if !QUELVO_WIN32_MARKUP
// Stand-ins while the markup controls are not part of the build: they keep
// what they are given and draw nothing.
const wchar_t kPlaceholderClass[] = L"QuelvoPlaceholder";

template<class Interface>
class Placeholder : public Win32Control<Interface> {
public:
    Placeholder(Win32Node* parent, std::string name, TRect bounds) : Win32Control<Interface>(std::move(name))
    {
        Win32Node::RegisterNodeClass(kPlaceholderClass);
        this->CreateNode(parent, kPlaceholderClass, WS_VISIBLE, 0, ToRect(bounds));
    }
};

class PlaceholderLabel : public Placeholder<TMarkupLabel> {
public:
    using Placeholder::Placeholder;
    void ClearText() override { m_lines.clear(); }
    void AddText(const std::u16string& line) override { m_lines.push_back(line); }
    std::vector<std::u16string> TextLines() const override { return m_lines; }

private:
    std::vector<std::u16string> m_lines;
};

class PlaceholderList : public Placeholder<TMarkupListBox> {
public:
    using Placeholder::Placeholder;
    void Clear() override { m_rows.clear(); }
    void Add(const std::u16string& row) override { m_rows.push_back(row); }
    int Count() const override { return static_cast<int>(m_rows.size()); }
    std::u16string Item(int index) const override
    {
        return index >= 0 && index < Count() ? m_rows[static_cast<std::size_t>(index)] : std::u16string();
    }
    void SetItem(int index, const std::u16string& row) override
    {
        if (index >= 0 && index < Count())
            m_rows[static_cast<std::size_t>(index)] = row;
    }
    void BeginUpdate() override {}
    void EndUpdate() override {}

private:
    std::vector<std::u16string> m_rows;
};

class PlaceholderBrowser : public Placeholder<TWebBrowserControl> {
public:
    using Placeholder::Placeholder;
    void Navigate(const std::u16string& url, int) override { m_url = url; }
    std::u16string LocationURL() const override { return m_url; }

private:
    std::u16string m_url;
};
#endif

int TabIndexOf(HWND hwnd)
{
    const auto value = reinterpret_cast<INT_PTR>(GetPropW(hwnd, kTabIndexProp));
    return value > 0 ? static_cast<int>(value - 1) : INT_MAX;
}

INT_PTR CreationOf(HWND hwnd) { return reinterpret_cast<INT_PTR>(GetPropW(hwnd, kCreationProp)); }

void CollectTabStops(HWND parent, std::vector<HWND>& out)
{
    std::vector<HWND> children;
    for (HWND h = GetWindow(parent, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT))
        children.push_back(h);
    std::stable_sort(children.begin(), children.end(), [](HWND a, HWND b) {
        const int ta = TabIndexOf(a), tb = TabIndexOf(b);
        if (ta != tb)
            return ta < tb;
        return CreationOf(a) < CreationOf(b);
    });
    for (HWND h : children) {
        const LONG_PTR style = GetWindowLongPtrW(h, GWL_STYLE);
        if (!(style & WS_VISIBLE) || (style & WS_DISABLED))
            continue;
        if (style & WS_TABSTOP)
            out.push_back(h);
        else
            CollectTabStops(h, out);
    }
}

}  // namespace

bool BusyCursorOn() { return g_busy.load(); }

std::vector<HWND> TabStops(HWND container)
{
    std::vector<HWND> stops;
    if (container)
        CollectTabStops(container, stops);
    return stops;
}

void SetTabIndex(HWND control, int index)
{
    SetPropW(control, kTabIndexProp, reinterpret_cast<HANDLE>(static_cast<INT_PTR>(index) + 1));
}

void SetCreationOrder(HWND control)
{
    static INT_PTR made = 0;
    SetPropW(control, kCreationProp, reinterpret_cast<HANDLE>(++made));
}

// --- main window -----------------------------------------------------------

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

// --- front end ---------------------------------------------------------------

Win32FrontEnd::Win32FrontEnd()
{
    Gdiplus::GdiplusStartupInput input;
    Gdiplus::GdiplusStartup(&m_gdiplusToken, &input, nullptr);
    // No OLE here: the embedded browser starts it when it first navigates
    // (under Wine it takes from a tenth of a second to seconds, before the
    // first window could show), and the shell gets COM when it is first asked.

    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    if (!GetClassInfoExW(GetModuleHandleW(nullptr), kPostWindowClass, &wc)) {
        wc = WNDCLASSEXW{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = &Win32FrontEnd::PostProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = kPostWindowClass;
        RegisterClassExW(&wc);
    }
    m_postWindow = CreateWindowExW(0, kPostWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                   GetModuleHandleW(nullptr), nullptr);
    SetWindowLongPtrW(m_postWindow, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

Win32FrontEnd::~Win32FrontEnd()
{
    if (m_postWindow) {
        SetWindowLongPtrW(m_postWindow, GWLP_USERDATA, 0);
        DestroyWindow(m_postWindow);
    }
    m_pictures.reset();
    Gdiplus::GdiplusShutdown(m_gdiplusToken);
}

template<class T>
T* Win32FrontEnd::Adopt(Win32Node* parent, std::unique_ptr<T> control)
{
    Win32MainWindow* root = RootOf(parent);
    if (!root)
        throw std::invalid_argument("a control needs a main window above it");
    if (HWND hwnd = control->Handle()) {
        // Made later, drawn later: on top of the siblings made before.
        SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        SetCreationOrder(hwnd);
    }
    return root->Own(std::move(control));
}

std::unique_ptr<TMainWindow> Win32FrontEnd::CreateMainWindow(const std::string& name, int width, int height,
                                                             TColor keyColour)
{
    return std::make_unique<Win32MainWindow>(name, width, height, keyColour);
}

TPanelControl* Win32FrontEnd::CreateSkinPanel(TControl* parent, const std::string& name, TRect bounds,
                                              const std::string& fillArt)
{
    Win32Node* node = NodeOf(parent);
    return Adopt(node, std::make_unique<Win32Panel>(node, name, bounds, Art(fillArt)));
}

TPanelControl* Win32FrontEnd::CreatePanel(TControl* parent, const std::string& name, TRect bounds)
{
    Win32Node* node = NodeOf(parent);
    return Adopt(node, std::make_unique<Win32Panel>(node, name, bounds, std::vector<std::uint8_t>{}));
}

TPageStack* Win32FrontEnd::CreatePageStack(TControl* parent, const std::string& name, TRect bounds)
{
    Win32Node* node = NodeOf(parent);
    return Adopt(node, std::make_unique<Win32PageStack>(node, name, bounds));
}

TPage* Win32FrontEnd::CreatePage(TPageStack* stack, const std::string& name, TColor colour)
{
    auto* owner = dynamic_cast<Win32PageStack*>(stack);
    if (!owner)
        throw std::invalid_argument("not a page stack of the Win32 front end");
    const TRect all{0, 0, owner->Bounds().width, owner->Bounds().height};
    Win32Page* page = Adopt(owner, std::make_unique<Win32Page>(owner, name, all, colour));
    owner->AddPage(page);
    return page;
}

TPictureControl* Win32FrontEnd::CreatePicture(TControl* parent, const std::string& name, TRect bounds,
                                              const std::string& art)
{
    Win32Node* node = NodeOf(parent);
    return Adopt(node, std::make_unique<Win32PictureBox>(node, name, bounds, Art(art)));
}

TAnimatedPicture* Win32FrontEnd::CreateAnimatedPicture(TControl* parent, const std::string& name, TRect bounds,
                                                       const std::string& art)
{
    Win32Node* node = NodeOf(parent);
    return Adopt(node, std::make_unique<Win32AnimatedPicture>(node, name, bounds, Art(art)));
}

TBitmapButton* Win32FrontEnd::CreateButton(TControl* parent, const std::string& name, int left, int top,
                                           const std::string& upArt, const std::string& hotArt, bool hotAsDisabled)
{
    Win32Node* node = NodeOf(parent);
    return Adopt(node, std::make_unique<Win32BitmapButton>(node, name, left, top, Art(upArt), Art(hotArt),
                                                           hotAsDisabled));
}

TTextLabel* Win32FrontEnd::CreateLabel(TControl* parent, const std::string& name, TRect bounds,
                                       const std::u16string& caption, const TFontDesc& font, TColor colour,
                                       bool wordWrap)
{
    Win32Node* node = NodeOf(parent);
    return Adopt(node, std::make_unique<Win32Label>(node, name, bounds, caption, font, colour, wordWrap));
}

TEditBox* Win32FrontEnd::CreateEdit(TControl* parent, const std::string& name, TRect bounds)
{
    Win32Node* node = NodeOf(parent);
    return Adopt(node, std::make_unique<Win32EditBox>(node, name, bounds));
}

std::function<void(const std::u16string&)> Win32FrontEnd::DesktopOpener(Win32Node* parent)
{
    Win32MainWindow* root = RootOf(parent);
    return [this, root](const std::u16string& target) {
        if (IsOpenableAddress(target))
            ShellOpen(root, target);
    };
}

TMarkupLabel* Win32FrontEnd::CreateMarkupLabel(TControl* parent, const std::string& name, TRect bounds,
                                               const markup::FontSpec& font)
{
    Win32Node* node = NodeOf(parent);
#if QUELVO_WIN32_MARKUP
    return Adopt(node, std::make_unique<Win32MarkupLabel>(node, name, bounds, font, DesktopOpener(node)));
#else
    (void)font;
    return Adopt(node, std::make_unique<PlaceholderLabel>(node, name, bounds));
#endif
}

TMarkupListBox* Win32FrontEnd::CreateMarkupList(TControl* parent, const std::string& name, TRect bounds,
                                                const markup::FontSpec& font, int itemHeight)
{
    Win32Node* node = NodeOf(parent);
#if QUELVO_WIN32_MARKUP
    auto list = std::make_unique<Win32MarkupList>(node, name, bounds, font, itemHeight, Pictures());
    // Web and mail links go to the shell as the window's other links do.
    list->OpenDesktop = DesktopOpener(node);
    return Adopt(node, std::move(list));
#else
    (void)font, (void)itemHeight;
    return Adopt(node, std::make_unique<PlaceholderList>(node, name, bounds));
#endif
}

TWebBrowserControl* Win32FrontEnd::CreateWebBrowser(TControl* parent, const std::string& name, TRect bounds)
{
    Win32Node* node = NodeOf(parent);
#if QUELVO_WIN32_MARKUP
    return Adopt(node, std::make_unique<Win32WebBrowser>(node, name, bounds, DesktopOpener(node)));
#else
    return Adopt(node, std::make_unique<PlaceholderBrowser>(node, name, bounds));
#endif
}

TVersionPane* Win32FrontEnd::CreateVersionPane(TControl* parent, const std::string& name, TRect bounds,
                                               const std::u16string& fieldLabel, TColor labelColour)
{
    Win32Node* node = NodeOf(parent);
    return Adopt(node, std::make_unique<Win32VersionPane>(node, name, bounds, fieldLabel, labelColour));
}

void Win32FrontEnd::SetTabOrder(const std::vector<TControl*>& chain)
{
    int index = 0;
    for (TControl* control : chain) {
        HWND hwnd = NodeOf(control)->Handle();
        if (!hwnd)
            continue;
        SetWindowLongPtrW(hwnd, GWL_STYLE, GetWindowLongPtrW(hwnd, GWL_STYLE) | WS_TABSTOP);
        SetTabIndex(hwnd, index++);
    }
}

const markup::PictureSource* Win32FrontEnd::Pictures()
{
#if QUELVO_WIN32_MARKUP
    if (!m_pictures) {
        auto container = std::make_shared<Win32PictureContainer>();
        const std::vector<std::uint8_t> order = Art("pictures/order.txt");
        std::string text(order.begin(), order.end());
        std::size_t start = 0;
        while (start <= text.size()) {
            std::size_t end = text.find('\n', start);
            if (end == std::string::npos)
                end = text.size();
            std::string name = text.substr(start, end - start);
            start = end + 1;
            while (!name.empty() && (name.back() == '\r' || name.back() == ' ' || name.back() == '\t'))
                name.pop_back();
            while (!name.empty() && (name.front() == ' ' || name.front() == '\t'))
                name.erase(name.begin());
            if (name.empty())
                continue;
            std::string lower = name;
            std::transform(lower.begin(), lower.end(), lower.begin(),
                           [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; });
            const bool hasExtension = lower.size() >= 4 && lower.compare(lower.size() - 4, 4, ".bmp") == 0;
            container->Add(Ascii16(name), Art("pictures/" + (hasExtension ? name : name + ".bmp")));
        }
        m_pictures = container;
    }
#endif
    return m_pictures.get();
}

void Win32FrontEnd::Post(std::function<void()> task)
{
    {
        std::lock_guard<std::mutex> lock(m_postMutex);
        m_posted.push_back(std::move(task));
    }
    PostMessageW(m_postWindow, kRunPosted, 0, 0);
}

void Win32FrontEnd::RunPosted()
{
    // Every task waiting now, in the order posted; one message may stand for
    // several tasks.
    for (;;) {
        std::function<void()> task;
        {
            std::lock_guard<std::mutex> lock(m_postMutex);
            if (m_posted.empty())
                return;
            task = std::move(m_posted.front());
            m_posted.pop_front();
        }
        if (task)
            task();
    }
}

LRESULT CALLBACK Win32FrontEnd::PostProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == kRunPosted) {
        if (auto* self = reinterpret_cast<Win32FrontEnd*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA)))
            self->RunPosted();
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

void Win32FrontEnd::ProcessMessages()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            // Leave it for the loop that is to end.
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        DispatchOne(msg);
    }
}

int Win32FrontEnd::MessageBox(TMainWindow* owner, const std::u16string& caption, const std::u16string& text,
                              TMsgIcon icon)
{
    if (const TMessageBoxHandler& handler = MessageBoxHandler())
        return handler(caption, text, icon);
    const UINT flags = MB_OK | (icon == TMsgIcon::Error ? MB_ICONERROR : MB_ICONINFORMATION);
    return MessageBoxW(OwnerHandle(owner), W(text), W(caption), flags);
}

void Win32FrontEnd::ShellOpen(TMainWindow* owner, const std::u16string& object)
{
    if (const TShellOpener& opener = ShellOpener()) {
        opener(object);
        return;
    }
    OpenOnDesktop(OwnerHandle(owner), object);
}

std::u16string Win32FrontEnd::ExecutablePath() const
{
    std::vector<wchar_t> path(MAX_PATH);
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return {};
        if (length < path.size())
            return std::u16string(path.begin(), path.begin() + length);
        path.resize(path.size() * 2);
    }
}

void Win32FrontEnd::SetBusyCursor(bool on)
{
    g_busy.store(on);
    SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(on ? IDC_WAIT : IDC_ARROW)));
}

int RunMessageLoop()
{
    MSG msg{};
    for (;;) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0)
            return static_cast<int>(msg.wParam);
        if (got == -1)
            return -1;
        DispatchOne(msg);
    }
}

}  // namespace quelvo::frontend::win32
