#include "frontend/qt/LookupPage.h"

#include "frontend/LinkTargets.h"
#include "frontend/LookupNavigation.h"
#include "frontend/Services.h"

#include <QMetaObject>
#include <QMutex>
#include <QMutexLocker>
#include <QWebEngineNewWindowRequest>
#include <QWebEngineUrlRequestInfo>
#include <QWebEngineUrlRequestInterceptor>

namespace quelvo::frontend::qt {

namespace {

std::u16string U(const QString& text) { return text.toStdU16String(); }

TLoadKind KindOf(QWebEnginePage::NavigationType type, bool isMainFrame)
{
    if (!isMainFrame)
        return TLoadKind::Frame;
    return type == QWebEnginePage::NavigationTypeRedirect ? TLoadKind::Redirect : TLoadKind::Page;
}

}  // namespace

// The lookup address, read by the request guard on whichever thread the
// engine calls it.
struct LookupPage::Shared {
    QMutex mutex;
    std::u16string lookup;

    std::u16string Lookup()
    {
        QMutexLocker lock(&mutex);
        return lookup;
    }
};

// Every request the page makes, its own page, frames, pictures and scripts
// included, after the navigation checks: what a redirect or the page itself
// asks for elsewhere is blocked before it leaves the machine.
class LookupPage::OriginGuard : public QWebEngineUrlRequestInterceptor {
public:
    OriginGuard(std::shared_ptr<Shared> shared, LookupPage* page) : m_shared(std::move(shared)), m_page(page) {}

    void interceptRequest(QWebEngineUrlRequestInfo& info) override
    {
        const bool mainFrame = info.resourceType() == QWebEngineUrlRequestInfo::ResourceTypeMainFrame;
        const TLoadKind kind = mainFrame ? TLoadKind::Redirect
                               : info.resourceType() == QWebEngineUrlRequestInfo::ResourceTypeSubFrame
                                   ? TLoadKind::Frame
                                   : TLoadKind::Resource;
        const QUrl url = info.requestUrl();
        if (EmbeddedViewMayLoad(m_shared->Lookup(), U(url.toString(QUrl::FullyEncoded)), kind))
            return;
        info.block(true);
        if (HandsRefusedLoadToDesktop(kind))
            m_page->QueueHandOff(url);
    }

private:
    std::shared_ptr<Shared> m_shared;
    LookupPage* m_page;
};

LookupPage::LookupPage(QWebEngineProfile* profile, QObject* parent, THandOff handOff)
    : QWebEnginePage(profile, parent), m_handOff(std::move(handOff)), m_shared(std::make_shared<Shared>()),
      m_guard(std::make_unique<OriginGuard>(m_shared, this))
{
    setUrlRequestInterceptor(m_guard.get());
    // A window of its own is never opened (the request is left unanswered);
    // its address goes on like any other refused one.
    connect(this, &QWebEnginePage::newWindowRequested, this,
            [this](QWebEngineNewWindowRequest& request) { QueueHandOff(request.requestedUrl()); });
}

LookupPage::~LookupPage() { setUrlRequestInterceptor(nullptr); }

void LookupPage::SetLookupAddress(const QString& address)
{
    QMutexLocker lock(&m_shared->mutex);
    m_shared->lookup = U(address);
}

bool LookupPage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame)
{
    const TLoadKind kind = KindOf(type, isMainFrame);
    if (EmbeddedViewMayLoad(m_shared->Lookup(), U(url.toString(QUrl::FullyEncoded)), kind))
        return true;
    if (HandsRefusedLoadToDesktop(kind))
        QueueHandOff(url);
    return false;
}

QWebEnginePage* LookupPage::createWindow(WebWindowType) { return nullptr; }

void LookupPage::QueueHandOff(const QUrl& url)
{
    // Not from inside the engine's call: opening may show a message box.
    // Dropped when the page goes first.
    QMetaObject::invokeMethod(this, [this, url] { HandOff(url); }, Qt::QueuedConnection);
}

void LookupPage::HandOff(const QUrl& url)
{
    const QString address = url.toString(QUrl::FullyEncoded);
    // Web and mail addresses only: a file, a script or a data address is
    // simply not loaded.
    if (m_handOff && IsOpenableAddress(U(address)))
        m_handOff(address);
}

}  // namespace quelvo::frontend::qt
