#include "frontend/win32/Win32TabOrder.h"

#include <algorithm>
#include <climits>

namespace quelvo::frontend::win32 {

namespace {

constexpr wchar_t kTabIndexProp[] = L"QuelvoTabIndex";
constexpr wchar_t kCreationProp[] = L"QuelvoCreation";

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

}  // namespace quelvo::frontend::win32
