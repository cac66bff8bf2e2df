#pragma once

// The Win32 front end: the factory of every control of the window, and the
// services the window's handlers use (hand-over to the UI thread, message
// processing, message boxes, the shell).

#include "frontend/Controls.h"
#include "frontend/win32/Win32MainWindow.h"

#include <windows.h>
// The interface's MessageBox, not the Windows macro.
#undef MessageBox

#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace quelvo::markup {
class PictureSource;
}

namespace quelvo::frontend::win32 {

class Win32FrontEnd : public TFrontEnd {
public:
    Win32FrontEnd();
    ~Win32FrontEnd() override;

    std::unique_ptr<TMainWindow> CreateMainWindow(const std::string& name, int width, int height,
                                                  TColor keyColour) override;
    TPanelControl* CreateSkinPanel(TControl* parent, const std::string& name, TRect bounds,
                                   const std::string& fillArt) override;
    TPanelControl* CreatePanel(TControl* parent, const std::string& name, TRect bounds) override;
    TPageStack* CreatePageStack(TControl* parent, const std::string& name, TRect bounds) override;
    TPage* CreatePage(TPageStack* stack, const std::string& name, TColor colour) override;
    TPictureControl* CreatePicture(TControl* parent, const std::string& name, TRect bounds,
                                   const std::string& art) override;
    TAnimatedPicture* CreateAnimatedPicture(TControl* parent, const std::string& name, TRect bounds,
                                            const std::string& art) override;
    TBitmapButton* CreateButton(TControl* parent, const std::string& name, int left, int top,
                                const std::string& upArt, const std::string& hotArt, bool hotAsDisabled) override;
    TTextLabel* CreateLabel(TControl* parent, const std::string& name, TRect bounds, const std::u16string& caption,
                            const TFontDesc& font, TColor colour, bool wordWrap) override;
    TEditBox* CreateEdit(TControl* parent, const std::string& name, TRect bounds) override;
    TMarkupLabel* CreateMarkupLabel(TControl* parent, const std::string& name, TRect bounds,
                                    const markup::FontSpec& font) override;
    TMarkupListBox* CreateMarkupList(TControl* parent, const std::string& name, TRect bounds,
                                     const markup::FontSpec& font, int itemHeight) override;
    TWebBrowserControl* CreateWebBrowser(TControl* parent, const std::string& name, TRect bounds) override;
    TVersionPane* CreateVersionPane(TControl* parent, const std::string& name, TRect bounds,
                                    const std::u16string& fieldLabel, TColor labelColour) override;
    void SetTabOrder(const std::vector<TControl*>& chain) override;

    void Post(std::function<void()> task) override;
    void ProcessMessages() override;
    int MessageBox(TMainWindow* owner, const std::u16string& caption, const std::u16string& text,
                   TMsgIcon icon) override;
    void ShellOpen(TMainWindow* owner, const std::u16string& object) override;
    std::u16string ExecutablePath() const override;
    void SetBusyCursor(bool on) override;

    // The report rows' pictures (resources/pictures, in order.txt order).
    const markup::PictureSource* Pictures();

private:
    static LRESULT CALLBACK PostProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    void RunPosted();
    // The new control's window on top of its siblings, owned by its window.
    template<class T>
    T* Adopt(Win32Node* parent, std::unique_ptr<T> control);
    // Hands link targets to the desktop with the window as owner.
    std::function<void(const std::u16string&)> DesktopOpener(Win32Node* parent);

    ULONG_PTR m_gdiplusToken = 0;
    HWND m_postWindow = nullptr;
    std::mutex m_postMutex;
    std::deque<std::function<void()>> m_posted;
    std::shared_ptr<markup::PictureSource> m_pictures;
};

// Runs the message loop until the main window has closed (WM_QUIT); returns
// the quit code.
int RunMessageLoop();

}  // namespace quelvo::frontend::win32
