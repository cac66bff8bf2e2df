#pragma once

// The page inside the embedded browser. It loads the lookup address and
// what that page loads from its own origin, and nothing else: every other
// navigation (a link, a new window, a redirect elsewhere) is cancelled and
// its address handed on, to be opened outside this process.

#include <QString>
#include <QUrl>
#include <QWebEnginePage>

#include <functional>
#include <memory>

namespace quelvo::frontend::qt {

class LookupPage : public QWebEnginePage {
    Q_OBJECT
public:
    // Called on the UI thread, after the engine's call has returned, with a
    // web or mail address the page was not allowed to load.
    using THandOff = std::function<void(const QString& address)>;

    LookupPage(QWebEngineProfile* profile, QObject* parent, THandOff handOff);
    ~LookupPage() override;

    // The only address the page itself may show; set before loading it.
    void SetLookupAddress(const QString& address);

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;
    QWebEnginePage* createWindow(WebWindowType type) override;

private:
    class OriginGuard;
    struct Shared;

    void QueueHandOff(const QUrl& url);
    void HandOff(const QUrl& url);

    THandOff m_handOff;
    std::shared_ptr<Shared> m_shared;
    std::unique_ptr<OriginGuard> m_guard;
};

}  // namespace quelvo::frontend::qt
