#pragma once

// The base of every Win32 control of the window. Each control is a child
// window of its parent control's window and paints itself through an
// off-screen buffer. Skinned controls are transparent where their pictures
// are: before a control paints, every ancestor paints its own image (not its
// children) into the control's buffer, shifted so that the part under the
// control lands there. Nothing ever erases to a plain colour.
//
// The top-level window is the root node; a node's window procedure hands
// each message to HandleMessage of the C++ object kept in GWLP_USERDATA.

#include "frontend/Controls.h"

#include <windows.h>

#include <string>

namespace quelvo::frontend::win32 {

class Win32Node {
public:
    Win32Node() = default;
    virtual ~Win32Node();
    Win32Node(const Win32Node&) = delete;
    Win32Node& operator=(const Win32Node&) = delete;

    HWND Handle() const { return m_hwnd; }
    Win32Node* ParentNode() const { return m_parent; }

    // The node of a window made by this front end, or null.
    static Win32Node* FromHandle(HWND hwnd);

    // Paints this node's own image, without its children, into dc whose
    // origin is the node's top-left corner. Transparent nodes paint nothing.
    virtual void PaintSelf(HDC dc) { (void)dc; }

    // Paints into dc (origin: this node's top-left) what lies behind this
    // node: each ancestor's PaintSelf, outermost first, each followed by the
    // PaintSelf of the siblings beneath (in z-order) the branch that leads to
    // this node, where they overlap it.
    void PaintBackground(HDC dc) const;

    // Position of this node's top-left in the given ancestor's coordinates.
    POINT OffsetIn(const Win32Node* ancestor) const;

protected:
    // Creates the window: a child of parent (or a top-level window when
    // parent is null) with the class registered under className.
    void CreateNode(Win32Node* parent, const wchar_t* className, DWORD style, DWORD exStyle, const RECT& bounds,
                    const wchar_t* text = L"");
    // Takes over a window made by someone else (a native control), so that
    // FromHandle finds it; the node keeps its original window procedure.
    void AttachNode(Win32Node* parent, HWND hwnd);

    // Messages a native child sends its parent about itself (WM_DRAWITEM,
    // WM_MEASUREITEM, WM_COMMAND, WM_CTLCOLOR*): every node hands them back
    // to the child's node. True when handled, with the result in *result.
    virtual bool HandleReflected(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
    {
        (void)message, (void)wParam, (void)lParam, (void)result;
        return false;
    }

    // The node's messages; the default reflects the messages above and calls the window's default procedure
    // (or the native control's own one for attached windows).
    virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT DefaultHandling(UINT message, WPARAM wParam, LPARAM lParam);

    // Registers a window class whose procedure dispatches to HandleMessage.
    static void RegisterNodeClass(const wchar_t* className, UINT style = CS_DBLCLKS, HCURSOR cursor = nullptr);

    // Paints background, then PaintSelf, through one off-screen bitmap, and
    // copies it to the screen: the WM_PAINT of a self-drawn node.
    void BufferedPaint();

private:
    static LRESULT CALLBACK NodeProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK AttachedProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    HWND m_hwnd = nullptr;
    Win32Node* m_parent = nullptr;
    WNDPROC m_nativeProc = nullptr;
};

// The TControl half of a control, over its window.
template<class Interface>
class Win32Control : public Interface, public Win32Node {
public:
    explicit Win32Control(std::string name) : m_name(std::move(name)) {}

    const std::string& Name() const override { return m_name; }
    TRect Bounds() const override
    {
        RECT r{};
        GetWindowRect(Handle(), &r);
        MapWindowPoints(HWND_DESKTOP, GetParent(Handle()), reinterpret_cast<POINT*>(&r), 2);
        if (!GetParent(Handle()))
            GetWindowRect(Handle(), &r);
        return TRect{r.left, r.top, r.right - r.left, r.bottom - r.top};
    }
    bool Visible() const override { return (GetWindowLongPtrW(Handle(), GWL_STYLE) & WS_VISIBLE) != 0; }
    void SetVisible(bool on) override { ShowWindow(Handle(), on ? SW_SHOWNA : SW_HIDE); }
    bool Showing() const override { return IsWindowVisible(Handle()) != FALSE; }
    bool Enabled() const override { return IsWindowEnabled(Handle()) != FALSE; }
    void SetEnabled(bool on) override { EnableWindow(Handle(), on ? TRUE : FALSE); }

private:
    std::string m_name;
};

// UTF-16 as the Windows API spells it.
inline const wchar_t* W(const std::u16string& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }
inline std::u16string U16(const wchar_t* text)
{
    return text ? std::u16string(reinterpret_cast<const char16_t*>(text)) : std::u16string();
}

}  // namespace quelvo::frontend::win32
