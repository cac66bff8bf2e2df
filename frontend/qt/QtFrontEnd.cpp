#include "frontend/qt/QtFrontEnd.h"

#include "frontend/Services.h"
#include "frontend/qt/DesktopOpener.h"
#include "frontend/qt/QuelvoVersion.h"
#include "frontend/qt/TWebBrowser.h"
#include "frontend/qt/markup/Convert.h"
#include "frontend/qt/markup/Desktop.h"
#include "frontend/qt/markup/HTMLabel.h"
#include "frontend/qt/markup/HTMListB.h"
#include "frontend/qt/markup/PictureContainer.h"
#include "frontend/qt/widgets/Colors.h"
#include "frontend/qt/widgets/TAdvSmoothPanel.h"
#include "frontend/qt/widgets/TGIFImage.h"
#include "frontend/qt/widgets/TImage.h"
#include "frontend/qt/widgets/TRzBmpButton.h"
#include "frontend/qt/widgets/TRzEdit.h"
#include "frontend/qt/widgets/TRzLabel.h"
#include "frontend/qt/widgets/TRzPageControl.h"
#include "frontend/qt/widgets/TRzPanel.h"
#include "frontend/qt/widgets/TRzVersionInfo.h"
#include "frontend/qt/widgets/TRzVersionInfoStatus.h"

#include <QApplication>
#include <QBitmap>
#include <QCloseEvent>
#include <QCursor>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPointer>
#include <QScreen>
#include <QUrl>
#include <QWebEngineProfile>
#include <QWindow>

#include <algorithm>
#include <map>
#include <vector>

namespace quelvo::frontend::qt {

namespace {

QString Q(std::u16string_view text) { return markup::ToQString(text); }
std::u16string U(const QString& text) { return text.toStdU16String(); }
QString Artwork(const std::string& name) { return QStringLiteral(":/artwork/") + QString::fromStdString(name); }
QColor ToQ(TColor c) { return QColor(c.r, c.g, c.b); }
QRect ToQ(TRect r) { return QRect(r.left, r.top, r.width, r.height); }

// The TControl half of every adapter, over its widget. The widget belongs to
// its Qt parent; the adapter to the main window.
template<class Interface, class W>
class QtControl : public Interface, public QtWidgetHolder {
public:
    QtControl(std::string name, W* widget) : m_name(std::move(name)), m_widget(widget)
    {
        widget->setObjectName(QString::fromStdString(m_name));
    }

    const std::string& Name() const override { return m_name; }
    TRect Bounds() const override
    {
        const QRect g = m_widget->geometry();
        return TRect{g.x(), g.y(), g.width(), g.height()};
    }
    bool Visible() const override { return m_widget && !m_widget->isHidden(); }
    void SetVisible(bool on) override { m_widget->setVisible(on); }
    bool Showing() const override { return m_widget && m_widget->isVisible(); }
    bool Enabled() const override { return m_widget->isEnabled(); }
    void SetEnabled(bool on) override { m_widget->setEnabled(on); }
    QWidget* Widget() const override { return m_widget; }
    W* Native() const { return m_widget; }

private:
    std::string m_name;
    QPointer<W> m_widget;
};

class QtMainWindow;

// The top-level widget: frameless, in the key colour, its events handed to
// the window's interface.
class QtHost : public QWidget {
public:
    QtHost(QtMainWindow* owner, TColor key) : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint), m_owner(owner)
    {
        QPalette pal = palette();
        pal.setColor(QPalette::Window, ToQ(key));
        pal.setColor(QPalette::WindowText, widgets::clWindowText());
        setPalette(pal);
        setAutoFillBackground(true);
        QFont font(QStringLiteral("Tahoma"));
        font.setPixelSize(11);
        setFont(font);
        setWindowIcon(QIcon(Artwork("quelvo.png")));
    }

    QtMainWindow* Owner() const { return m_owner; }

    // A drag the window follows itself, where the platform has no window move.
    void FollowMouse()
    {
        m_dragging = true;
        m_dragOffset = QCursor::pos() - pos();
    }
    void WatchDrags(QWidget* surface) { surface->installEventFilter(this); }

protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override
    {
        if (m_dragging) {
            if (e->type() == QEvent::MouseMove) {
                move(static_cast<QMouseEvent*>(e)->globalPosition().toPoint() - m_dragOffset);
                return true;
            }
            if (e->type() == QEvent::MouseButtonRelease)
                m_dragging = false;
        }
        return QWidget::eventFilter(watched, e);
    }

private:
    QtMainWindow* m_owner;
    bool m_shown = false;
    bool m_dragging = false;
    QPoint m_dragOffset;
};

class QtMainWindow : public TMainWindow, public QtWidgetHolder {
public:
    QtMainWindow(std::string name, int width, int height, TColor key) : m_name(std::move(name)), m_key(key)
    {
        m_host = std::make_unique<QtHost>(this, key);
        m_host->setObjectName(QString::fromStdString(m_name));
        m_host->setFixedSize(width, height);
        const QScreen* screen = QGuiApplication::primaryScreen();
        m_host->move(DesktopCentredPosition(screen ? screen->virtualGeometry() : QRect(0, 0, width, height),
                                            QSize(width, height)));
    }
    ~QtMainWindow() override
    {
        m_controls.clear();
        m_host.reset();
    }

    template<class T>
    T* Adopt(std::unique_ptr<T> control)
    {
        T* raw = control.get();
        m_controls.push_back(std::move(control));
        return raw;
    }

    markup::TPictureContainer* Pictures()
    {
        if (!m_pictures) {
            m_pictures = new markup::TPictureContainer(m_host.get());
            m_pictures->setObjectName(QStringLiteral("PictureContainer_QLVO"));
            m_pictures->LoadFolder(Artwork("pictures"));
        }
        return m_pictures;
    }

    widgets::TRzVersionInfo* VersionInfo()
    {
        if (!m_versionInfo) {
            m_versionInfo = new widgets::TRzVersionInfo(m_host.get());
            m_versionInfo->setObjectName(QStringLiteral("RzVersionInfo1"));
        }
        return m_versionInfo;
    }

    // The shape: every pixel of the background panel not in the key colour.
    void ShapeFrom(widgets::TAdvSmoothPanel* panel)
    {
        m_host->setMask(ColourKeyRegion(panel->Composed(), ToQ(m_key)));
        m_host->WatchDrags(panel);
    }

    const std::string& Name() const override { return m_name; }
    TRect Bounds() const override
    {
        const QRect g = m_host->geometry();
        return TRect{g.x(), g.y(), g.width(), g.height()};
    }
    bool Visible() const override { return m_host->isVisible(); }
    void SetVisible(bool on) override { m_host->setVisible(on); }
    bool Showing() const override { return m_host->isVisible(); }
    bool Enabled() const override { return m_host->isEnabled(); }
    void SetEnabled(bool on) override { m_host->setEnabled(on); }
    QWidget* Widget() const override { return m_host.get(); }

    std::u16string Caption() const override { return U(m_host->windowTitle()); }
    void SetCaption(const std::u16string& caption) override { m_host->setWindowTitle(Q(caption)); }
    void Show() override { m_host->show(); }
    void Close() override { m_host->close(); }
    void Minimize() override { m_host->showMinimized(); }
    bool Minimized() const override { return (m_host->windowState() & Qt::WindowMinimized) != 0; }
    void Restore() override { m_host->showNormal(); }
    void StartMove() override
    {
        if (const auto& handler = WindowMoveHandler()) {
            handler();
            return;
        }
        if (QWindow* handle = m_host->windowHandle(); handle && handle->startSystemMove())
            return;
        // No window manager to move it (a bare X server): follow the mouse
        // until the button is released.
        m_host->FollowMouse();
    }

    void FireShow()
    {
        if (OnShow)
            OnShow(this);
    }
    void FireClose()
    {
        if (!m_closed && OnClose) {
            m_closed = true;
            OnClose(this);
        }
    }

private:
    std::string m_name;
    TColor m_key;
    std::unique_ptr<QtHost> m_host;
    std::vector<std::unique_ptr<TObject>> m_controls;
    markup::TPictureContainer* m_pictures = nullptr;
    widgets::TRzVersionInfo* m_versionInfo = nullptr;
    bool m_closed = false;
};

void QtHost::showEvent(QShowEvent* e)
{
    // Runs before the window is first mapped; restoring from the taskbar
    // does not run it again.
    if (!m_shown) {
        m_shown = true;
        m_owner->FireShow();
    }
    QWidget::showEvent(e);
}

void QtHost::closeEvent(QCloseEvent* e)
{
    m_owner->FireClose();
    e->accept();
}

QWidget* ParentWidget(TControl* parent)
{
    QWidget* widget = WidgetOf(parent);
    Q_ASSERT(widget);
    return widget;
}

QtMainWindow& OwnerOf(TControl* parent)
{
    auto* host = static_cast<QtHost*>(ParentWidget(parent)->window());
    return *host->Owner();
}

template<class Adapter, class W>
Adapter* Make(TControl* parent, std::string name, W* widget)
{
    return OwnerOf(parent).Adopt(std::make_unique<Adapter>(std::move(name), widget));
}

class QtPanel : public QtControl<TPanelControl, QWidget> {
public:
    using QtControl::QtControl;
};

class QtPage : public QtControl<TPage, widgets::TRzTabSheet> {
public:
    using QtControl::QtControl;
};

class QtPageStack : public QtControl<TPageStack, widgets::TRzPageControl> {
public:
    using QtControl::QtControl;
    void SetActivePage(TPage* page) override
    {
        // Pages of another stack are not ours to show.
        auto it = std::find(m_pages.begin(), m_pages.end(), page);
        if (it != m_pages.end())
            Native()->SetActivePage(static_cast<QtPage*>(page)->Native());
    }
    TPage* ActivePage() const override
    {
        for (QtPage* page : m_pages)
            if (page->Native() == Native()->ActivePage())
                return page;
        return nullptr;
    }
    void AddPage(QtPage* page) { m_pages.push_back(page); }

private:
    std::vector<QtPage*> m_pages;
};

class QtPicture : public QtControl<TPictureControl, widgets::TImage> {
public:
    using QtControl::QtControl;
};

class QtAnimatedPicture : public QtControl<TAnimatedPicture, widgets::TImage> {
public:
    using QtControl::QtControl;
    bool Animate() const override { return Native()->GIF() && Native()->GIF()->Animate(); }
    void SetAnimate(bool on) override
    {
        if (auto* gif = Native()->GIF())
            gif->SetAnimate(on);
    }
    int FrameCount() const override { return Native()->GIF() ? Native()->GIF()->FrameCount() : 0; }
};

class QtButton : public QtControl<TBitmapButton, widgets::TRzBmpButton> {
public:
    QtButton(std::string name, widgets::TRzBmpButton* button) : QtControl(std::move(name), button)
    {
        button->OnClick = [this](QObject*) {
            if (OnClick)
                OnClick(this);
        };
    }
    void Click() override { Native()->Click(); }
    TButtonPicture CurrentPicture() const override
    {
        return static_cast<TButtonPicture>(static_cast<int>(Native()->CurrentPicture()));
    }
};

class QtLabel : public QtControl<TTextLabel, widgets::TRzLabel> {
public:
    using QtControl::QtControl;
    std::u16string Caption() const override { return U(Native()->Caption()); }
    void SetCaption(const std::u16string& caption) override { Native()->SetCaption(Q(caption)); }
};

class QtEdit : public QtControl<TEditBox, widgets::TRzEdit> {
public:
    using QtControl::QtControl;
    std::u16string Text() const override { return U(Native()->Text()); }
    void SetText(const std::u16string& text) override { Native()->SetText(Q(text)); }
};

class QtMarkupLabel : public QtControl<TMarkupLabel, markup::THTMLabel> {
public:
    QtMarkupLabel(std::string name, markup::THTMLabel* label) : QtControl(std::move(name), label)
    {
        label->OnAnchorClick = [this](QObject*, const QString& anchor) {
            if (OnAnchorClick)
                OnAnchorClick(this, U(anchor));
        };
    }
    void ClearText() override { Native()->HTMLText().Clear(); }
    void AddText(const std::u16string& line) override { Native()->HTMLText().Add(std::u16string(line)); }
    std::vector<std::u16string> TextLines() const override
    {
        std::vector<std::u16string> lines;
        const auto& text = Native()->HTMLText();
        for (int i = 0; i < text.Count(); ++i)
            lines.push_back(text.Text(i));
        return lines;
    }
};

class QtMarkupList : public QtControl<TMarkupListBox, markup::THTMListBox> {
public:
    QtMarkupList(std::string name, markup::THTMListBox* list) : QtControl(std::move(name), list)
    {
        list->OnAnchorClick = [this](QObject*, int index, const QString& anchor) {
            if (OnAnchorClick)
                OnAnchorClick(this, index, U(anchor));
        };
    }
    void Clear() override { Native()->Items().Clear(); }
    void Add(const std::u16string& row) override { Native()->Items().Add(std::u16string(row)); }
    int Count() const override { return Native()->Items().Count(); }
    std::u16string Item(int index) const override
    {
        return index >= 0 && index < Count() ? Native()->Items().Text(index) : std::u16string();
    }
    void SetItem(int index, const std::u16string& row) override { Native()->Items().Set(index, std::u16string(row)); }
    void BeginUpdate() override { Native()->BeginUpdate(); }
    void EndUpdate() override { Native()->EndUpdate(); }
};

class QtWebBrowser : public QtControl<TWebBrowserControl, TWebBrowser> {
public:
    using QtControl::QtControl;
    void Navigate(const std::u16string& url, int flags) override
    {
        // Flags 4 and 8: the page is neither read from nor written to a cache
        // (the view uses the default profile).
        if (flags & (navNoReadFromCache | navNoWriteToCache))
            QWebEngineProfile::defaultProfile()->setHttpCacheType(QWebEngineProfile::NoCache);
        Native()->Navigate(Q(url));
    }
    std::u16string LocationURL() const override { return U(Native()->LocationURL()); }
};

class QtVersionPane : public QtControl<TVersionPane, widgets::TRzVersionInfoStatus> {
public:
    using QtControl::QtControl;
    std::u16string FieldLabel() const override { return U(Native()->FieldLabel()); }
    std::u16string Value() const override { return U(Native()->Caption()); }
};

}  // namespace

QWidget* WidgetOf(const TControl* control)
{
    const auto* holder = dynamic_cast<const QtWidgetHolder*>(control);
    return holder ? holder->Widget() : nullptr;
}

QPoint DesktopCentredPosition(const QRect& desktop, QSize size)
{
    const int left = desktop.left() + desktop.width() / 2 - size.width() / 2;
    const int top = desktop.top() + desktop.height() / 2 - size.height() / 2;
    return {std::max(left, desktop.left()), std::max(top, desktop.top())};
}

QRegion ColourKeyRegion(const QImage& composed, const QColor& keyColour)
{
    const QImage opaque = composed.convertToFormat(QImage::Format_RGB32);
    const QImage mask = opaque.createMaskFromColor(keyColour.rgb(), Qt::MaskInColor);
    return QRegion(QBitmap::fromImage(mask));
}

QtFrontEnd::QtFrontEnd()
{
    if (!widgets::ExecutableVersionReader())
        widgets::SetExecutableVersionReader(&EmbeddedVersionData);
    // Links that the markup widgets hand to the desktop go the same way as
    // the window's own shell calls.
    markup::SetDesktopOpener([this](const QString& target) { ShellOpen(nullptr, U(target)); });
}

QtFrontEnd::~QtFrontEnd()
{
    markup::SetDesktopOpener({});
    if (m_busy)
        QApplication::restoreOverrideCursor();
}

std::unique_ptr<TMainWindow> QtFrontEnd::CreateMainWindow(const std::string& name, int width, int height,
                                                          TColor keyColour)
{
    return std::make_unique<QtMainWindow>(name, width, height, keyColour);
}

TPanelControl* QtFrontEnd::CreateSkinPanel(TControl* parent, const std::string& name, TRect bounds,
                                           const std::string& fillArt)
{
    auto* panel = new widgets::TAdvSmoothPanel(ParentWidget(parent));
    panel->setGeometry(ToQ(bounds));
    panel->SetFill(QImage(Artwork(fillArt)));
    auto* adapter = Make<QtPanel>(parent, name, static_cast<QWidget*>(panel));
    panel->OnMouseDown = [adapter](QObject*, Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y) {
        if (adapter->OnMouseDown)
            adapter->OnMouseDown(adapter, widgets::FromQtButton(button), widgets::FromQtShift(shift), x, y);
    };
    if (auto* window = dynamic_cast<QtMainWindow*>(parent))
        window->ShapeFrom(panel);
    return adapter;
}

TPanelControl* QtFrontEnd::CreatePanel(TControl* parent, const std::string& name, TRect bounds)
{
    auto* panel = new widgets::TRzPanel(ParentWidget(parent));
    panel->setGeometry(ToQ(bounds));
    return Make<QtPanel>(parent, name, static_cast<QWidget*>(panel));
}

TPageStack* QtFrontEnd::CreatePageStack(TControl* parent, const std::string& name, TRect bounds)
{
    auto* stack = new widgets::TRzPageControl(ParentWidget(parent));
    stack->setGeometry(ToQ(bounds));
    return Make<QtPageStack>(parent, name, stack);
}

TPage* QtFrontEnd::CreatePage(TPageStack* stack, const std::string& name, TColor colour)
{
    auto* qtStack = static_cast<QtPageStack*>(stack);
    auto* page = new widgets::TRzTabSheet(qtStack->Native());
    page->SetColor(ToQ(colour));
    auto* adapter = Make<QtPage>(stack, name, page);
    qtStack->AddPage(adapter);
    return adapter;
}

TPictureControl* QtFrontEnd::CreatePicture(TControl* parent, const std::string& name, TRect bounds,
                                           const std::string& art)
{
    auto* image = new widgets::TImage(ParentWidget(parent));
    image->setGeometry(ToQ(bounds));
    image->LoadFromFile(Artwork(art));
    return Make<QtPicture>(parent, name, image);
}

TAnimatedPicture* QtFrontEnd::CreateAnimatedPicture(TControl* parent, const std::string& name, TRect bounds,
                                                    const std::string& art)
{
    auto* image = new widgets::TImage(ParentWidget(parent));
    image->setGeometry(ToQ(bounds));
    image->LoadFromFile(Artwork(art));
    return Make<QtAnimatedPicture>(parent, name, image);
}

TBitmapButton* QtFrontEnd::CreateButton(TControl* parent, const std::string& name, int left, int top,
                                        const std::string& upArt, const std::string& hotArt, bool hotAsDisabled)
{
    using widgets::TRzBmpSlot;
    auto* button = new widgets::TRzBmpButton(ParentWidget(parent));
    const QImage up(Artwork(upArt));
    const QImage hot(Artwork(hotArt));
    button->SetBitmap(TRzBmpSlot::Up, up);
    button->SetBitmap(TRzBmpSlot::Hot, hot);
    button->SetBitmap(TRzBmpSlot::Down, hot);
    if (hotAsDisabled)
        button->SetBitmap(TRzBmpSlot::Disabled, hot);
    button->move(left, top);
    return Make<QtButton>(parent, name, button);
}

TTextLabel* QtFrontEnd::CreateLabel(TControl* parent, const std::string& name, TRect bounds,
                                    const std::u16string& caption, const TFontDesc& font, TColor colour,
                                    bool wordWrap)
{
    auto* label = new widgets::TRzLabel(ParentWidget(parent));
    label->SetAutoSize(false);
    label->SetWordWrap(wordWrap);
    QFont qfont(Q(font.face));
    qfont.setPixelSize(font.pixels);
    qfont.setBold(font.bold);
    label->SetLabelFont(qfont);
    label->SetFontColor(ToQ(colour));
    label->SetCaption(Q(caption));
    label->setGeometry(ToQ(bounds));
    return Make<QtLabel>(parent, name, label);
}

TEditBox* QtFrontEnd::CreateEdit(TControl* parent, const std::string& name, TRect bounds)
{
    auto* edit = new widgets::TRzEdit(ParentWidget(parent));
    edit->setGeometry(ToQ(bounds));
    edit->SetColor(widgets::clWhite());
    edit->SetFrameVisible(true);
    return Make<QtEdit>(parent, name, edit);
}

TMarkupLabel* QtFrontEnd::CreateMarkupLabel(TControl* parent, const std::string& name, TRect bounds,
                                            const markup::FontSpec& font)
{
    auto* label = new markup::THTMLabel(ParentWidget(parent));
    label->setGeometry(ToQ(bounds));
    label->SetTransparent(true);
    label->SetFont(font);
    return Make<QtMarkupLabel>(parent, name, label);
}

TMarkupListBox* QtFrontEnd::CreateMarkupList(TControl* parent, const std::string& name, TRect bounds,
                                             const markup::FontSpec& font, int itemHeight)
{
    auto* list = new markup::THTMListBox(ParentWidget(parent));
    list->setGeometry(ToQ(bounds));
    list->SetBorderStyle(markup::bsNone);
    list->SetColor(widgets::clWhite());
    list->SetFont(font);
    list->SetAutoItemHeight(false);
    list->SetItemHeight(itemHeight);
    list->SetMultiline(true);
    list->SetSorted(false);
    list->SetPictureContainer(OwnerOf(parent).Pictures());
    list->SetShowFocus(false);
    list->SetShowSelection(false);
    list->SetSelectionColor(widgets::clWhite());
    list->SetSelectionFontColor(QColor(0, 0, 0));
    list->SetAutoFocus(true);
    return Make<QtMarkupList>(parent, name, list);
}

TWebBrowserControl* QtFrontEnd::CreateWebBrowser(TControl* parent, const std::string& name, TRect bounds)
{
    // What the lookup page leads to opens outside the program, like a link.
    auto* browser = new TWebBrowser(ParentWidget(parent), [this](const QString& address) { ShellOpen(nullptr, U(address)); });
    browser->setGeometry(ToQ(bounds));
    return Make<QtWebBrowser>(parent, name, browser);
}

TVersionPane* QtFrontEnd::CreateVersionPane(TControl* parent, const std::string& name, TRect bounds,
                                            const std::u16string& fieldLabel, TColor labelColour)
{
    auto* pane = new widgets::TRzVersionInfoStatus(ParentWidget(parent));
    pane->setGeometry(ToQ(bounds));
    pane->SetFieldLabel(Q(fieldLabel));
    pane->SetFieldLabelColor(ToQ(labelColour));
    pane->SetField(widgets::TRzVersionInfoField::vifFileVersion);
    pane->SetVersionInfo(OwnerOf(parent).VersionInfo());
    return Make<QtVersionPane>(parent, name, pane);
}

void QtFrontEnd::SetTabOrder(const std::vector<TControl*>& chain)
{
    for (std::size_t i = 1; i < chain.size(); ++i)
        QWidget::setTabOrder(WidgetOf(chain[i - 1]), WidgetOf(chain[i]));
}

void QtFrontEnd::Post(std::function<void()> task)
{
    QMetaObject::invokeMethod(qApp, std::move(task), Qt::QueuedConnection);
}

void QtFrontEnd::ProcessMessages() { QCoreApplication::processEvents(); }

int QtFrontEnd::MessageBox(TMainWindow* owner, const std::u16string& caption, const std::u16string& text,
                           TMsgIcon icon)
{
    if (const auto& handler = MessageBoxHandler())
        return handler(caption, text, icon);
    QMessageBox box(icon == TMsgIcon::Error ? QMessageBox::Critical : QMessageBox::Information, Q(caption), Q(text),
                    QMessageBox::Ok, WidgetOf(owner));
    // An address shown instead of opened is copied from here.
    box.setTextInteractionFlags(Qt::TextSelectableByMouse);
    box.exec();
    return 1;
}

void QtFrontEnd::ShellOpen(TMainWindow* owner, const std::u16string& object)
{
    if (const auto& opener = ShellOpener()) {
        opener(object);
        return;
    }
    const TDesktopOpenResult result = OpenOnDesktop(object);
    if (!result.message.empty())
        MessageBox(owner, u"Quelvo", result.message, TMsgIcon::Information);
}

std::u16string QtFrontEnd::ExecutablePath() const { return U(QCoreApplication::applicationFilePath()); }

void QtFrontEnd::SetBusyCursor(bool on)
{
    if (on == m_busy)
        return;
    m_busy = on;
    if (on)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

}  // namespace quelvo::frontend::qt
