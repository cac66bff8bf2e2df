#include "frontend/win32/Win32Control.h"

#include <algorithm>
#include <mutex>
#include <unordered_map>
#include <utility>
#include <vector>

namespace quelvo::frontend::win32 {

namespace {

// Which node a window belongs to. Kept here rather than as a window
// property: every message asks, and under Wine each property lookup is a
// round trip to the server.
class NodeTable {
public:
    void Set(HWND hwnd, Win32Node* node)
    {
        std::lock_guard lock(m_mutex);
        m_nodes[hwnd] = node;
    }
    void Remove(HWND hwnd)
    {
        std::lock_guard lock(m_mutex);
        m_nodes.erase(hwnd);
    }
    Win32Node* Find(HWND hwnd)
    {
        std::lock_guard lock(m_mutex);
        const auto it = m_nodes.find(hwnd);
        return it == m_nodes.end() ? nullptr : it->second;
    }

private:
    std::mutex m_mutex;
    std::unordered_map<HWND, Win32Node*> m_nodes;
};

NodeTable& Nodes()
{
    static NodeTable table;
    return table;
}

// Kept backgrounds are valid while they carry the current epoch; anything
// that may change what lies behind a node starts a new one. Painting happens
// on the UI thread only.
unsigned long g_epoch = 1;
long g_composed = 0;

// One off-screen picture for the paints of small nodes (labels, buttons,
// the animation), grown to the largest of them: such a paint makes no bitmap
// of its own. A large node (the background, a page) paints only when the
// layout changes, through a picture made for the paint and let go after it.
struct Scratch {
    static constexpr long long kKeptPixels = 256 * 256;
    Win32Bitmap small;
    Win32Bitmap large;
    Win32Bitmap idle{1, 1};  // selected while no paint runs, so the others can go
    HDC frameDc = nullptr;
    HDC sourceDc = nullptr;

    HDC Frame(int width, int height)
    {
        if (!frameDc) {
            frameDc = CreateCompatibleDC(nullptr);
            sourceDc = CreateCompatibleDC(nullptr);
            SelectObject(frameDc, idle.Handle());
        }
        const bool isLarge = static_cast<long long>(width) * height > kKeptPixels;
        Win32Bitmap& target = isLarge ? large : small;
        if (target.Width() < width || target.Height() < height) {
            SelectObject(frameDc, idle.Handle());
            target = Win32Bitmap(std::max(width, target.Width()), std::max(height, target.Height()));
            if (target.Empty())
                return nullptr;
        }
        SelectObject(frameDc, target.Handle());
        return frameDc;
    }
    // After a paint: a large picture goes.
    void Done()
    {
        SelectObject(frameDc, idle.Handle());
        large = Win32Bitmap();
    }
};

Scratch& TheScratch()
{
    static Scratch scratch;
    return scratch;
}

// Whether a move, size, show, hide or z-order change may alter what lies
// behind some node.
bool ChangesLayout(const WINDOWPOS& pos)
{
    constexpr UINT kNothing = SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER;
    return (pos.flags & kNothing) != kNothing || (pos.flags & (SWP_SHOWWINDOW | SWP_HIDEWINDOW)) != 0;
}

class FrameClock;
FrameClock& Frames();

// Paints of single nodes, at most one frame of them every kFrameMs: the
// first change after a quiet spell shows at once, later ones wait for the
// frame's end and show together. The screen gets the window's changes each
// time the thread goes idle, and for a colour-keyed window Wine then scans
// every pixel of it for the key: a scan that renames its labels a hundred
// times a second would spend most of its time there.
class FrameClock {
public:
    static constexpr UINT kFrameMs = 40;

    void Request(HWND hwnd)
    {
        if (std::find(m_pending.begin(), m_pending.end(), hwnd) == m_pending.end())
            m_pending.push_back(hwnd);
        if (m_timer)
            return;
        const DWORD since = GetTickCount() - m_lastFrame;
        if (since >= kFrameMs) {
            Flush();
            return;
        }
        m_timer = SetTimer(nullptr, 0, kFrameMs - since, &FrameClock::OnTimer);
        if (!m_timer)
            Flush();  // no timer to wait for: paint now rather than never
    }

    void Flush()
    {
        if (m_timer) {
            KillTimer(nullptr, m_timer);
            m_timer = 0;
        }
        if (m_pending.empty())
            return;
        m_lastFrame = GetTickCount();
        std::vector<HWND> pending;
        pending.swap(m_pending);
        for (HWND hwnd : pending) {
            if (Win32Node* node = Win32Node::FromHandle(hwnd))  // gone meanwhile: nothing to paint
                node->PaintAlone();
        }
    }

private:
    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD) { Frames().Flush(); }

    std::vector<HWND> m_pending;
    UINT_PTR m_timer = 0;
    DWORD m_lastFrame = 0;
};

FrameClock& Frames()
{
    static FrameClock clock;
    return clock;
}

}  // namespace

long Win32Node::BackgroundsComposed() { return g_composed; }

void Win32Node::PaintFrameNow() { Frames().Flush(); }

void Win32Node::ForgetBackgrounds() { ++g_epoch; }

bool Win32Node::CoversOthers()
{
    if (m_coversEpoch == g_epoch)
        return m_covers;
    m_coversEpoch = g_epoch;
    m_covers = false;
    for (HWND h = GetWindow(m_hwnd, GW_CHILD); h && !m_covers; h = GetWindow(h, GW_HWNDNEXT))
        m_covers = IsWindowVisible(h) != FALSE;
    RECT mine{};
    GetWindowRect(m_hwnd, &mine);
    for (HWND h = GetWindow(m_hwnd, GW_HWNDPREV); h && !m_covers; h = GetWindow(h, GW_HWNDPREV)) {
        RECT theirs{}, common{};
        GetWindowRect(h, &theirs);
        m_covers = IsWindowVisible(h) && IntersectRect(&common, &theirs, &mine);
    }
    return m_covers;
}

void Win32Node::RepaintSelf()
{
    if (!m_hwnd)
        return;
    if (!IsWindowVisible(m_hwnd) || IsIconic(GetAncestor(m_hwnd, GA_ROOT))) {
        InvalidateRect(m_hwnd, nullptr, FALSE);
        return;
    }
    if (CoversOthers()) {
        // What is drawn over this node shows it too: all of it again, in turn.
        ForgetBackgrounds();
        RedrawWindow(m_hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
        if (m_parent) {
            RECT mine{};
            GetWindowRect(m_hwnd, &mine);
            MapWindowPoints(HWND_DESKTOP, m_parent->Handle(), reinterpret_cast<POINT*>(&mine), 2);
            RedrawWindow(m_parent->Handle(), &mine, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
        }
        return;
    }
    // Nothing else changes: this node alone, in the current frame.
    Frames().Request(m_hwnd);
}

void Win32Node::PaintAlone()
{
    if (!IsWindowVisible(m_hwnd) || IsIconic(GetAncestor(m_hwnd, GA_ROOT)) || CoversOthers()) {
        RepaintSelf();
        return;
    }
    // Painting here rather than through WM_PAINT spares the round of
    // invalidation, message and paint bracket, which costs several times the
    // drawing under Wine.
    if (HDC dc = GetDC(m_hwnd)) {
        RECT client{};
        GetClientRect(m_hwnd, &client);
        Compose(dc, client, true);
        ReleaseDC(m_hwnd, dc);
    }
}

Win32Node::~Win32Node()
{
    if (m_hwnd && IsWindow(m_hwnd)) {
        Nodes().Remove(m_hwnd);
        if (m_nativeProc)
            SetWindowLongPtrW(m_hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_nativeProc));
        DestroyWindow(m_hwnd);
    }
}

Win32Node* Win32Node::FromHandle(HWND hwnd)
{
    return hwnd ? Nodes().Find(hwnd) : nullptr;
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
    Nodes().Set(hwnd, this);
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
            Nodes().Set(hwnd, node);
        }
    }
    Win32Node* node = FromHandle(hwnd);
    if (!node)
        return DefWindowProcW(hwnd, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        Nodes().Remove(hwnd);
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
        Nodes().Remove(hwnd);
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
    if (message == WM_WINDOWPOSCHANGED && ChangesLayout(*reinterpret_cast<const WINDOWPOS*>(lParam))) {
        ForgetBackgrounds();
        // A hidden node paints nothing: its background is not kept.
        if (reinterpret_cast<const WINDOWPOS*>(lParam)->flags & SWP_HIDEWINDOW)
            m_background = Win32Bitmap();
        // Whatever lay over, under or in the node may show something else
        // now, and a moved window only carries its old pixels along: the
        // whole window is painted again, from new backgrounds. Layout
        // changes are rare (a page change, a button shown or hidden).
        HWND root = GetAncestor(m_hwnd, GA_ROOT);
        if (root && IsWindowVisible(root))
            RedrawWindow(root, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
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
    // A node that has changed its own image once keeps its background from
    // then on; the others (pages, full-page pictures) paint only when the
    // layout changes and keep none.
    Compose(screen, ps.rcPaint, !m_background.Empty());
    EndPaint(m_hwnd, &ps);
}

void Win32Node::Compose(HDC screen, const RECT& area, bool keep)
{
    ++m_paints;
    RECT client{};
    GetClientRect(m_hwnd, &client);
    Scratch& scratch = TheScratch();
    HDC buffer = client.right > 0 && client.bottom > 0 ? scratch.Frame(client.right, client.bottom) : nullptr;
    if (!buffer)
        return;
    const int saved = SaveDC(buffer);
    IntersectClipRect(buffer, 0, 0, client.right, client.bottom);
    if (m_parent) {
        if (m_backgroundEpoch != g_epoch || m_background.Width() != client.right
            || m_background.Height() != client.bottom) {
            // Composed where the frame is, then kept when asked.
            PaintBackground(buffer);
            if (keep && (m_background.Width() != client.right || m_background.Height() != client.bottom))
                m_background = Win32Bitmap(client.right, client.bottom);
            if (keep && !m_background.Empty()) {
                HGDIOBJ old = SelectObject(scratch.sourceDc, m_background.Handle());
                BitBlt(scratch.sourceDc, 0, 0, client.right, client.bottom, buffer, 0, 0, SRCCOPY);
                SelectObject(scratch.sourceDc, old);
                m_backgroundEpoch = g_epoch;
            }
            ++g_composed;
        } else {
            HGDIOBJ old = SelectObject(scratch.sourceDc, m_background.Handle());
            BitBlt(buffer, 0, 0, client.right, client.bottom, scratch.sourceDc, 0, 0, SRCCOPY);
            SelectObject(scratch.sourceDc, old);
        }
    }
    PaintSelf(buffer);
    RestoreDC(buffer, saved);
    BitBlt(screen, area.left, area.top, area.right - area.left, area.bottom - area.top, buffer, area.left, area.top,
           SRCCOPY);
    scratch.Done();
}

}  // namespace quelvo::frontend::win32
