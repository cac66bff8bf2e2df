#pragma once

// The embedded web browser of the application lookup page. The browser
// engine starts on the first navigation, so a window that never shows the
// lookup page never starts it.

#include <QString>
#include <QUrl>
#include <QWidget>

class QWebEngineView;

namespace quelvo::frontend::qt {

class TWebBrowser : public QWidget {
    Q_OBJECT
public:
    explicit TWebBrowser(QWidget* parent = nullptr);

    void Navigate(const QString& url);
    // The address of the last navigation (empty before the first).
    QString LocationURL() const { return FLocation; }
    QWebEngineView* View() const { return FView; }

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    QWebEngineView* FView = nullptr;
    QString FLocation;
};

}  // namespace quelvo::frontend::qt
