#include "frontend/win32/markup/Win32MarkupList.h"

#include "frontend/win32/markup/Desktop.h"
#include "frontend/win32/markup/GdiSurface.h"
#include "markup/engine/RenderMarkup.h"

#include <windowsx.h>

#include <algorithm>
#include <utility>

namespace quelvo::frontend::win32 {

namespace {

// Control identifiers of the lists, so that their owner's WM_MEASUREITEM
// finds them.
int NextControlId()
{
    static int next = 0x5100;
    return next++;
}

bool Meets(const RECT& a, const RECT& b) { return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom; }

}  // namespace

Win32MarkupList::Win32MarkupList(Win32Node* parent, std::string name, TRect bounds, const markup::FontSpec& font,
                                 int itemHeight, const markup::PictureSource* pictures)
    : Win32Control<TMarkupListBox>(std::move(name)),
      OpenDesktop([](const std::u16string& target) { OpenWithDesktop(target); }),
      m_font(font),
      m_itemHeight(std::max(1, itemHeight)),
      m_pictures(pictures)
{
    // No LBS_HASSTRINGS: the rows live here, the native list keeps only their count.
    const DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_TABSTOP | WS_VSCROLL | LBS_OWNERDRAWFIXED
                        | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT;
    HWND hwnd = CreateWindowExW(0, L"LISTBOX", L"", style, bounds.left, bounds.top, bounds.width, bounds.height,
                                parent ? parent->Handle() : nullptr,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(NextControlId())),
                                GetModuleHandleW(nullptr), nullptr);
    AttachNode(parent, hwnd);
    // The owner's WM_MEASUREITEM came before the node was attached.
    SendMessageW(hwnd, LB_SETITEMHEIGHT, 0, MAKELPARAM(m_itemHeight, 0));
}

Win32MarkupList::~Win32MarkupList()
{
    if (m_brush)
        DeleteObject(m_brush);
}

// ---- items ---------------------------------------------------------------

void Win32MarkupList::Clear()
{
    m_items.clear();
    SendMessageW(Handle(), LB_RESETCONTENT, 0, 0);  // also back to the top
    InvalidateRect(Handle(), nullptr, FALSE);
}

void Win32MarkupList::Add(const std::u16string& row)
{
    m_items.push_back(row);
    const LRESULT added = SendMessageW(Handle(), LB_ADDSTRING, 0, 0);
    if (added == LB_ERR || added == LB_ERRSPACE)
        m_items.pop_back();
}

std::u16string Win32MarkupList::Item(int index) const
{
    if (index < 0 || index >= Count())
        return {};
    return m_items[static_cast<std::size_t>(index)];
}

void Win32MarkupList::SetItem(int index, const std::u16string& row)
{
    if (index < 0 || index >= Count())
        return;
    m_items[static_cast<std::size_t>(index)] = row;
    if (m_updateCount > 0 || !IsWindowVisible(Handle()))
        return;
    // That row alone, at once, where it is: nothing scrolls.
    RECT area = ItemRect(index);
    if (IsRectEmpty(&area))
        return;
    if (index == Count() - 1) {
        RECT client{};
        GetClientRect(Handle(), &client);
        area.bottom = std::max(area.bottom, client.bottom);
    }
    HDC dc = GetDC(Handle());
    PaintArea(dc, area);
    ReleaseDC(Handle(), dc);
}

void Win32MarkupList::BeginUpdate()
{
    if (m_updateCount++ == 0)
        SendMessageW(Handle(), WM_SETREDRAW, FALSE, 0);
}

void Win32MarkupList::EndUpdate()
{
    if (m_updateCount == 0 || --m_updateCount > 0)
        return;
    SendMessageW(Handle(), WM_SETREDRAW, TRUE, 0);
    RedrawWindow(Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_UPDATENOW);
}

// ---- geometry --------------------------------------------------------------

int Win32MarkupList::TopIndex() const { return static_cast<int>(SendMessageW(Handle(), LB_GETTOPINDEX, 0, 0)); }

void Win32MarkupList::SetTopIndex(int index) { SendMessageW(Handle(), LB_SETTOPINDEX, static_cast<WPARAM>(index), 0); }

RECT Win32MarkupList::ItemRect(int index) const
{
    const int top = TopIndex();
    if (index < top || index >= Count())
        return RECT{};
    RECT client{};
    GetClientRect(Handle(), &client);
    const long long y = static_cast<long long>(index - top) * m_itemHeight;
    if (y >= client.bottom)
        return RECT{};
    return RECT{0, static_cast<LONG>(y), client.right, static_cast<LONG>(y + m_itemHeight)};
}

int Win32MarkupList::ItemAtPos(POINT pos) const
{
    RECT client{};
    GetClientRect(Handle(), &client);
    if (!PtInRect(&client, pos))
        return -1;
    const long long index = TopIndex() + static_cast<long long>(pos.y) / m_itemHeight;
    return index < Count() ? static_cast<int>(index) : -1;
}

namespace {

// The native list as the shared link logic sees it.
class ItemsView : public ListBoxItems {
public:
    explicit ItemsView(const Win32MarkupList& list) : m_list(list) {}
    int Count() const override { return m_list.Count(); }
    int ItemAtPoint(markup::Point point) const override { return m_list.ItemAtPos(POINT{point.x, point.y}); }
    markup::Rect ItemRect(int index) const override
    {
        const RECT r = m_list.ItemRect(index);
        return markup::Rect{r.left, r.top, r.right, r.bottom};
    }
    std::u16string_view ItemText(int index) const override { return m_list.ItemView(index); }

private:
    const Win32MarkupList& m_list;
};

}  // namespace

std::u16string_view Win32MarkupList::ItemView(int index) const
{
    if (index < 0 || index >= Count())
        return {};
    return m_items[static_cast<std::size_t>(index)];
}

ListBoxLink Win32MarkupList::LinkAt(POINT pos) const
{
    HDC dc = GetDC(Handle());
    ListBoxLink link;
    {
        GdiSurface metrics(dc);
        link = FindListBoxLink(metrics, ItemsView(*this), ListBoxLinkStyle{m_font, URLColor, true, m_pictures},
                               markup::Point{pos.x, pos.y});
    }
    ReleaseDC(Handle(), dc);
    return link;
}

std::u16string Win32MarkupList::AnchorAt(POINT pos, int* index) const
{
    ListBoxLink link = LinkAt(pos);
    if (index)
        *index = link.index;
    return std::move(link.target);
}

// Whole, at the bottom if it was cut off there: not every native list
// scrolls a half-shown row into view when it is pressed.
void Win32MarkupList::ScrollIntoView(int index)
{
    if (index < 0 || index >= Count())
        return;
    const int top = TopIndex();
    if (index < top) {
        SetTopIndex(index);
        return;
    }
    RECT client{};
    GetClientRect(Handle(), &client);
    const int whole = std::max(1, static_cast<int>(client.bottom) / m_itemHeight);
    if (index >= top + whole)
        SetTopIndex(index - whole + 1);
}

// ---- painting --------------------------------------------------------------

void Win32MarkupList::RenderItem(HDC dc, int index, const RECT& rect) const
{
    // A row draws inside its own rectangle whatever its markup overflows.
    SaveDC(dc);
    IntersectClipRect(dc, rect.left, rect.top, rect.right, rect.bottom);
    {
        GdiSurface surface(dc);
        surface.FillRect(markup::Rect{rect.left, rect.top, rect.right, rect.bottom}, Color);
        markup::DrawMarkup(surface, m_items[static_cast<std::size_t>(index)],
                           markup::Rect{rect.left + 2, rect.top, rect.right, rect.bottom}, m_font, URLColor, true, 0,
                           m_pictures);
    }
    RestoreDC(dc, -1);
}

void Win32MarkupList::PaintArea(HDC dc, const RECT& area) const
{
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    if (width <= 0 || height <= 0)
        return;
    HDC buffer = CreateCompatibleDC(dc);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, width, height);
    HGDIOBJ oldBitmap = SelectObject(buffer, bitmap);
    SetWindowOrgEx(buffer, area.left, area.top, nullptr);
    {
        // Below the last item the list shows its own colour.
        GdiSurface surface(buffer);
        surface.FillRect(markup::Rect{area.left, area.top, area.right, area.bottom}, Color);
    }
    RECT client{};
    GetClientRect(Handle(), &client);
    int y = 0;
    for (int i = TopIndex(); i < Count() && y < client.bottom; ++i, y += m_itemHeight) {
        const RECT rect{0, y, client.right, y + m_itemHeight};
        if (Meets(rect, area))
            RenderItem(buffer, i, rect);
    }
    BitBlt(dc, area.left, area.top, width, height, buffer, area.left, area.top, SRCCOPY);
    SelectObject(buffer, oldBitmap);
    DeleteObject(bitmap);
    DeleteDC(buffer);
}

void Win32MarkupList::Paint()
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(Handle(), &ps);
    PaintArea(dc, ps.rcPaint);
    EndPaint(Handle(), &ps);
}

// ---- pointer ---------------------------------------------------------------

void Win32MarkupList::PointerMoved(POINT pos)
{
    if (!m_tracking) {
        TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, Handle(), 0};
        m_tracking = TrackMouseEvent(&track) != FALSE;
        // Entering: the wheel then scrolls the list at once. Never from a
        // window that is not the active one.
        if (AutoFocus && GetFocus() != Handle() && GetActiveWindow() == GetAncestor(Handle(), GA_ROOT))
            SetFocus(Handle());
    }
    const ListBoxLink link = LinkAt(pos);
    const ListBoxMove move = m_links.Move(link, m_overLink);
    if (move.restoreCursor) {
        m_overLink = false;
        SetCursor(m_oldCursor ? m_oldCursor : LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW)));
    }
    if (move.fireExit && OnAnchorExit)
        OnAnchorExit(this, move.exitIndex, move.exitTarget);
    if (move.showHand) {
        m_oldCursor = GetCursor();
        m_overLink = true;
        SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_HAND)));
    }
    if (move.fireEnter && OnAnchorEnter)
        OnAnchorEnter(this, link.index, link.target);
}

LRESULT Win32MarkupList::Press(UINT message, WPARAM wParam, LPARAM lParam)
{
    // Which link was pressed is decided before the native list makes the
    // row current: a left press on a half-shown row scrolls it into view.
    const ListBoxLink link = LinkAt(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
    const LRESULT result = DefaultHandling(message, wParam, lParam);
    if (message == WM_LBUTTONDOWN)
        ScrollIntoView(static_cast<int>(SendMessageW(Handle(), LB_GETCARETINDEX, 0, 0)));
    const ListBoxPress press = DecideListBoxPress(link);
    if (press == ListBoxPress::MouseDown)
        return result;
    // A link press is no drag: the native list lets the mouse go, so that it
    // neither selects nor scrolls under a message box the event opens.
    if (GetCapture() == Handle())
        ReleaseCapture();
    if (press == ListBoxPress::OpenWithDesktop) {
        if (OpenDesktop)
            OpenDesktop(link.target);
    } else if (OnAnchorClick) {
        OnAnchorClick(this, link.index, link.target);
    }
    return result;
}

// ---- messages --------------------------------------------------------------

LRESULT Win32MarkupList::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT:
        Paint();
        return 0;
    case WM_PRINTCLIENT: {
        RECT client{};
        GetClientRect(Handle(), &client);
        PaintArea(reinterpret_cast<HDC>(wParam), client);
        return 0;
    }
    case WM_ERASEBKGND:
        return 1;  // the paint covers every pixel
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDBLCLK:
        return Press(message, wParam, lParam);
    case WM_MOUSEMOVE:
        PointerMoved(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        break;
    case WM_MOUSELEAVE:
        m_tracking = false;
        break;
    case WM_SETCURSOR:
        if (LOWORD(lParam) == HTCLIENT && m_overLink) {
            SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_HAND)));
            return TRUE;
        }
        break;
    default:
        break;
    }
    return Win32Node::HandleMessage(message, wParam, lParam);
}

bool Win32MarkupList::HandleReflected(UINT message, WPARAM, LPARAM lParam, LRESULT* result)
{
    switch (message) {
    case WM_DRAWITEM: {
        const auto* draw = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        const int index = static_cast<int>(draw->itemID);
        // Neither the selection nor the focus shows: a focus change draws nothing.
        if (index >= 0 && index < Count() && (draw->itemAction & (ODA_DRAWENTIRE | ODA_SELECT))) {
            RECT area = draw->rcItem;
            if (index == Count() - 1) {
                RECT client{};
                GetClientRect(Handle(), &client);
                area.bottom = std::max(area.bottom, client.bottom);
            }
            PaintArea(draw->hDC, area);
        }
        *result = TRUE;
        return true;
    }
    case WM_MEASUREITEM:
        reinterpret_cast<MEASUREITEMSTRUCT*>(lParam)->itemHeight = static_cast<UINT>(m_itemHeight);
        *result = TRUE;
        return true;
    case WM_CTLCOLORLISTBOX:
        if (!m_brush || m_brushColour != Color) {
            if (m_brush)
                DeleteObject(m_brush);
            m_brush = CreateSolidBrush(ToColorRef(Color));
            m_brushColour = Color;
        }
        *result = reinterpret_cast<LRESULT>(m_brush);
        return true;
    default:
        return false;
    }
}

}  // namespace quelvo::frontend::win32
