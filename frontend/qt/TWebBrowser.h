#pragma once

// The embedded web browser of the application lookup page. The browser
// engine starts on the first navigation, so a window that never shows the
// lookup page never starts it. It shows the address it is told to navigate
// to and nothing else: any other address the page leads to is handed to
// handOff instead (see LookupPage).

#include <QString>
#include <QUrl>
#include <QWidget>

#include <functional>

class QWebEngineView;

namespace quelvo::frontend::qt {

class TWebBrowser : public QWidget {
    Q_OBJECT
public:
    using THandOff = std::function<void(const QString& address)>;
    explicit TWebBrowser(QWidget* parent = nullptr, THandOff handOff = {});

    void Navigate(const QString& url);
    // The address of the last navigation (empty before the first).
    QString LocationURL() const { return FLocation; }
    QWebEngineView* View() const { return FView; }

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    QWebEngineView* FView = nullptr;
    QString FLocation;
    THandOff FHandOff;
};

}  // namespace quelvo::frontend::qt
