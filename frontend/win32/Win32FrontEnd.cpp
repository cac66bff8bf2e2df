#include "frontend/win32/Win32FrontEnd.h"

#include "frontend/PictureOrder.h"
#include "frontend/Services.h"
#include "frontend/win32/Artwork.h"
#include "frontend/win32/DesktopShell.h"
#include "frontend/win32/Win32Controls.h"
#include "frontend/win32/Win32MainWindow.h"
#include "frontend/win32/Win32TabOrder.h"
#include "frontend/win32/markup/Desktop.h"
#include "frontend/win32/markup/Win32MarkupLabel.h"
#include "frontend/win32/markup/Win32MarkupList.h"
#include "frontend/win32/markup/Win32PictureContainer.h"
#include "frontend/win32/markup/Win32WebBrowser.h"
#include "platform/Text.h"

#include <gdiplus.h>
#include <ole2.h>
#include <shellapi.h>
#undef MessageBox

#include <algorithm>
#include <stdexcept>

namespace quelvo::frontend::win32 {

namespace {

constexpr wchar_t kPostWindowClass[] = L"QuelvoPostWindow";
constexpr UINT kRunPosted = WM_APP + 1;

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

}  // namespace

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
    Win32BitmapButton::CreateArgs args;
    args.parent = NodeOf(parent);
    args.name = name;
    args.left = left;
    args.top = top;
    args.up = Art(upArt);
    args.hot = Art(hotArt);
    args.hotAsDisabled = hotAsDisabled;
    return Adopt(args.parent, std::make_unique<Win32BitmapButton>(args));
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
    return [root](const std::u16string& target) { OpenWithDesktop(target, root ? root->Handle() : nullptr); };
}

TMarkupLabel* Win32FrontEnd::CreateMarkupLabel(TControl* parent, const std::string& name, TRect bounds,
                                               const markup::FontSpec& font)
{
    Win32Node* node = NodeOf(parent);
    return Adopt(node, std::make_unique<Win32MarkupLabel>(node, name, bounds, font, DesktopOpener(node)));
}

TMarkupListBox* Win32FrontEnd::CreateMarkupList(TControl* parent, const std::string& name, TRect bounds,
                                                const markup::FontSpec& font, int itemHeight)
{
    Win32Node* node = NodeOf(parent);
    auto list = std::make_unique<Win32MarkupList>(node, name, bounds, font, itemHeight, Pictures());
    list->OpenDesktop = DesktopOpener(node);
    return Adopt(node, std::move(list));
}

TWebBrowserControl* Win32FrontEnd::CreateWebBrowser(TControl* parent, const std::string& name, TRect bounds)
{
    Win32Node* node = NodeOf(parent);
    return Adopt(node, std::make_unique<Win32WebBrowser>(node, name, bounds, DesktopOpener(node)));
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
    if (!m_pictures) {
        auto container = std::make_shared<Win32PictureContainer>();
        const std::vector<std::uint8_t> order = Art("pictures/order.txt");
        for (const TPictureFile& picture :
             ReadPictureOrder(std::string_view(reinterpret_cast<const char*>(order.data()), order.size())))
            container->Add(platform::FromUtf8(picture.name), Art("pictures/" + picture.file));
        m_pictures = container;
    }
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
    SetBusyCursorOn(on);
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
