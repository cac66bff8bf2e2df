#pragma once

// The Qt front end: every control of frontend/Controls.h over the skinned Qt
// widgets (widgets/, markup/ beside this file), and the services over
// QApplication. The main window is a frameless QWidget whose shape leaves out
// the key colour.

#include "frontend/Controls.h"

#include <QColor>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QRegion>
#include <QSize>

#include <memory>

class QWidget;

namespace quelvo::frontend::qt {

// Every Qt control gives its widget (tests send it input).
class QtWidgetHolder {
public:
    virtual ~QtWidgetHolder() = default;
    virtual QWidget* Widget() const = 0;
};

// The widget behind a control made by the Qt front end, or null.
QWidget* WidgetOf(const TControl* control);

// Top-left of a window of `size` centred on the virtual desktop, never left
// of or above its top-left corner.
QPoint DesktopCentredPosition(const QRect& desktop, QSize size);

// The window region that is shown and clickable: every pixel of `composed`
// that is not exactly `keyColour`.
QRegion ColourKeyRegion(const QImage& composed, const QColor& keyColour);

class QtFrontEnd : public TFrontEnd {
public:
    // Needs the QApplication to exist.
    QtFrontEnd();
    ~QtFrontEnd() override;

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

private:
    bool m_busy = false;
};

}  // namespace quelvo::frontend::qt
