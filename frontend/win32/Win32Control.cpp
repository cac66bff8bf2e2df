#include "frontend/win32/Win32Control.h"

#include <vector>

namespace quelvo::frontend::win32 {

namespace {
constexpr wchar_t kNodeProp[] = L"QuelvoNode";
}

Win32Node::~Win32Node()
{
    if (m_hwnd && IsWindow(m_hwnd)) {
        RemovePropW(m_hwnd, kNodeProp);
        if (m_nativeProc)
            SetWindowLongPtrW(m_hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_nativeProc));
        DestroyWindow(m_hwnd);
    }
}

Win32Node* Win32Node::FromHandle(HWND hwnd)
{
    return hwnd ? static_cast<Win32Node*>(GetPropW(hwnd, kNodeProp)) : nullptr;
}

void Win32Node::RegisterNodeClass(const wchar_t* className, UINT style, HCURSOR cursor)
{
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    if (GetClassInfoExW(GetModuleHandleW(nullptr), className, &wc))
        return;
    wc.cbSize = sizeof wc;
    wc.style = style;
    wc.lpfnWndProc = &Win32Node::NodeProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = cursor ? cursor : LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = nullptr;  // never erased to a plain colour
    wc.lpszClassName = className;
    RegisterClassExW(&wc);
}

void Win32Node::CreateNode(Win32Node* parent, const wchar_t* className, DWORD style, DWORD exStyle,
                           const RECT& bounds, const wchar_t* text)
{
    m_parent = parent;
    HWND parentWindow = parent ? parent->Handle() : nullptr;
    if (parent)
        style |= WS_CHILD | WS_CLIPSIBLINGS;
    CreateWindowExW(exStyle, className, text, style, bounds.left, bounds.top, bounds.right - bounds.left,
                    bounds.bottom - bounds.top, parentWindow, nullptr, GetModuleHandleW(nullptr), this);
}

void Win32Node::AttachNode(Win32Node* parent, HWND hwnd)
{
    m_parent = parent;
    m_hwnd = hwnd;
    SetPropW(hwnd, kNodeProp, this);
    m_nativeProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Win32Node::AttachedProc)));
}

LRESULT CALLBACK Win32Node::NodeProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        auto* node = static_cast<Win32Node*>(create->lpCreateParams);
        if (node) {
            node->m_hwnd = hwnd;
            SetPropW(hwnd, kNodeProp, node);
        }
    }
    Win32Node* node = FromHandle(hwnd);
    if (!node)
        return DefWindowProcW(hwnd, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        RemovePropW(hwnd, kNodeProp);
        const LRESULT result = DefWindowProcW(hwnd, message, wParam, lParam);
        node->m_hwnd = nullptr;
        return result;
    }
    return node->HandleMessage(message, wParam, lParam);
}

LRESULT CALLBACK Win32Node::AttachedProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    Win32Node* node = FromHandle(hwnd);
    if (!node)
        return DefWindowProcW(hwnd, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        WNDPROC native = node->m_nativeProc;
        RemovePropW(hwnd, kNodeProp);
        SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(native));
        node->m_nativeProc = nullptr;
        node->m_hwnd = nullptr;
        return CallWindowProcW(native, hwnd, message, wParam, lParam);
    }
    return node->HandleMessage(message, wParam, lParam);
}

LRESULT Win32Node::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    HWND child = nullptr;
    switch (message) {
    case WM_DRAWITEM:
        child = reinterpret_cast<DRAWITEMSTRUCT*>(lParam)->hwndItem;
        break;
    case WM_MEASUREITEM:
        child = GetDlgItem(m_hwnd, static_cast<int>(reinterpret_cast<MEASUREITEMSTRUCT*>(lParam)->CtlID));
        break;
    case WM_COMMAND:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORLISTBOX:
        child = reinterpret_cast<HWND>(lParam);
        break;
    default:
        break;
    }
    if (Win32Node* node = child && child != m_hwnd ? FromHandle(child) : nullptr) {
        LRESULT result = 0;
        if (node->HandleReflected(message, wParam, lParam, &result))
            return result;
    }
    if (message == WM_PAINT && !m_nativeProc) {
        BufferedPaint();
        return 0;
    }
    if (message == WM_ERASEBKGND && !m_nativeProc)
        return 1;
    return DefaultHandling(message, wParam, lParam);
}

LRESULT Win32Node::DefaultHandling(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (m_nativeProc)
        return CallWindowProcW(m_nativeProc, m_hwnd, message, wParam, lParam);
    return DefWindowProcW(m_hwnd, message, wParam, lParam);
}

POINT Win32Node::OffsetIn(const Win32Node* ancestor) const
{
    POINT p{0, 0};
    if (!ancestor)
        return p;
    MapWindowPoints(m_hwnd, ancestor->Handle(), &p, 1);
    return p;
}

void Win32Node::PaintBackground(HDC dc) const
{
    // This node and its ancestors, this node first.
    std::vector<const Win32Node*> chain;
    for (const Win32Node* n = this; n; n = n->m_parent)
        chain.push_back(n);
    RECT mine{};
    GetWindowRect(m_hwnd, &mine);
    auto paintAt = [&](const Win32Node* node) {
        const POINT at = OffsetIn(node);
        POINT old{};
        SetWindowOrgEx(dc, at.x, at.y, &old);
        const_cast<Win32Node*>(node)->PaintSelf(dc);
        SetWindowOrgEx(dc, old.x, old.y, nullptr);
    };
    // Outermost first: each ancestor, then the siblings beneath the branch
    // that leads here (a label over a page's picture shows the picture), the
    // lowest first.
    for (std::size_t i = chain.size() - 1; i >= 1; --i) {
        const Win32Node* ancestor = chain[i];
        const Win32Node* branch = chain[i - 1];
        paintAt(ancestor);
        std::vector<const Win32Node*> beneath;
        for (HWND h = GetWindow(branch->m_hwnd, GW_HWNDNEXT); h; h = GetWindow(h, GW_HWNDNEXT)) {
            const Win32Node* sibling = FromHandle(h);
            if (!sibling || sibling->m_parent != ancestor || !IsWindowVisible(h))
                continue;
            RECT theirs{}, common{};
            GetWindowRect(h, &theirs);
            if (IntersectRect(&common, &theirs, &mine))
                beneath.push_back(sibling);
        }
        for (auto it = beneath.rbegin(); it != beneath.rend(); ++it)
            paintAt(*it);
    }
}

void Win32Node::BufferedPaint()
{
    PAINTSTRUCT ps;
    HDC screen = BeginPaint(m_hwnd, &ps);
    RECT client{};
    GetClientRect(m_hwnd, &client);
    HDC buffer = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, client.right, client.bottom);
    HGDIOBJ old = SelectObject(buffer, bitmap);
    PaintBackground(buffer);
    PaintSelf(buffer);
    BitBlt(screen, ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right - ps.rcPaint.left,
           ps.rcPaint.bottom - ps.rcPaint.top, buffer, ps.rcPaint.left, ps.rcPaint.top, SRCCOPY);
    SelectObject(buffer, old);
    DeleteObject(bitmap);
    DeleteDC(buffer);
    EndPaint(m_hwnd, &ps);
}

}  // namespace quelvo::frontend::win32
