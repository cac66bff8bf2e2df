#pragma once

// The embedded web browser of the lookup page: the WebBrowser control,
// hosted in place in the control's rectangle through OLE in-place
// activation and driven through IWebBrowser2. It starts on the first
// navigation. Where it cannot start (no HTML engine installed, or no
// navigation events to watch), the rectangle says so and addresses open in
// the desktop's browser instead. It shows the address it is told to
// navigate to and what that page loads from its own origin; every other
// address the page leads to (a link, a new window) is cancelled through the
// control's events and handed to the desktop; a page a server redirected
// elsewhere closes the control.

#include "frontend/Controls.h"
#include "frontend/win32/Win32Control.h"

#include <exdisp.h>
#include <ole2.h>

#include <functional>
#include <string>
#include <vector>

namespace quelvo::frontend::win32 {

class BrowserSite;
class BrowserEvents;

class Win32WebBrowser : public Win32Control<TWebBrowserControl> {
public:
    Win32WebBrowser(Win32Node* parent, std::string name, TRect bounds,
                    std::function<void(const std::u16string&)> openDesktop);
    ~Win32WebBrowser() override;

    void Navigate(const std::u16string& url, int flags) override;
    std::u16string LocationURL() const override { return m_location; }

    // Makes the browser object: a new reference to an object that provides
    // IWebBrowser2 (and IOleObject, to be shown in place), or null when it
    // cannot be made. Empty: the system's WebBrowser control. An object
    // without IOleObject is driven without being shown. Returns the
    // previous maker.
    using TBrowserObjectMaker = std::function<IUnknown*()>;
    static TBrowserObjectMaker SetBrowserObjectMaker(TBrowserObjectMaker maker);

    // True once the browser runs; false before the first navigation and
    // when it could not start.
    bool Embedded() const { return m_browser != nullptr; }
    // True when it could not start: the rectangle shows why.
    bool Unavailable() const { return m_state == State::Unavailable; }

    // The text shown in the rectangle when the browser cannot start.
    static const std::u16string& UnavailableText();

    void PaintSelf(HDC dc) override;

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    enum class State { NotStarted, Running, Unavailable };

    bool Start();
    void Stop();
    void GiveUp();
    bool MayNavigate(const std::u16string& url, bool topLevel);
    void Arrived(const std::u16string& url, bool topLevel);
    // After the control's event has returned: opening may show a message box.
    void QueueHandOff(const std::u16string& url);
    void HandOffQueued();

    std::function<void(const std::u16string&)> m_openDesktop;
    std::u16string m_location;
    State m_state = State::NotStarted;
    bool m_oleInitialized = false;
    BrowserSite* m_site = nullptr;
    IOleObject* m_object = nullptr;
    IWebBrowser2* m_browser = nullptr;
    BrowserEvents* m_events = nullptr;
    std::vector<std::u16string> m_handOffs;
    bool m_leaving = false;  // the page went elsewhere: the control closes
};

}  // namespace quelvo::frontend::win32
