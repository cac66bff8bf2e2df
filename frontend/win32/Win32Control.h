#pragma once

// The base of every Win32 control of the window. Each control is a child
// window of its parent control's window and paints itself through an
// off-screen buffer. Skinned controls are transparent where their pictures
// are: what lies behind a control (every ancestor's own image, not its
// children, shifted so that the part under the control lands there) is
// composed once and kept as the control's background; a paint copies it and
// draws the control's own image over it. Nothing ever erases to a plain
// colour.
//
// A kept background holds until something it shows may have changed: any
// control of the front end is moved, resized, shown, hidden or raised (a page
// change, the window minimised or restored), or a control that lies under
// others changes its own image (RepaintSelf). A caption change then repaints
// that label and nothing else.
//
// The top-level window is the root node; a node's window procedure hands
// each message to HandleMessage of the C++ object kept in GWLP_USERDATA.

#include "frontend/Controls.h"
#include "frontend/win32/Win32Gdi.h"

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

    // Repaints this node after its own image changed. When other nodes are
    // drawn over it (its children, or siblings above that overlap it), the
    // backgrounds kept by every node are forgotten first. Otherwise it alone
    // is painted, with the other changes of the same frame: at once after a
    // quiet spell, else when the frame (40 ms) ends, as the message loop runs.
    void RepaintSelf();
    // Paints this node alone now (the frame's end).
    void PaintAlone();
    // Ends the current frame now: every node waiting for it paints.
    static void PaintFrameNow();

    // How often a node composed its background so far (every node counted),
    // and whether this node holds one now.
    static long BackgroundsComposed();
    bool HasBackground() const { return !m_background.Empty(); }
    // How often this node painted itself so far (WM_PAINT or RepaintSelf).
    int PaintCount() const { return m_paints; }
    // Forgets every kept background: what lies behind the nodes has changed.
    static void ForgetBackgrounds();

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

    // The WM_PAINT of a self-drawn node: Compose over the update region.
    void BufferedPaint();
    // Background, then PaintSelf, through one off-screen picture, copied to
    // area (client coordinates) of screen; keep: the background is kept.
    void Compose(HDC screen, const RECT& area, bool keep);

private:
    static LRESULT CALLBACK NodeProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK AttachedProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    // Whether other nodes are drawn over this one (decided once per epoch).
    bool CoversOthers();

    HWND m_hwnd = nullptr;
    Win32Node* m_parent = nullptr;
    WNDPROC m_nativeProc = nullptr;
    Win32Bitmap m_background;          // what lies behind, as of m_backgroundEpoch
    unsigned long m_backgroundEpoch = 0;
    unsigned long m_coversEpoch = 0;
    bool m_covers = false;
    int m_paints = 0;
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
