#include "frontend/qt/TWebBrowser.h"

#include <QWebEngineView>

namespace quelvo::frontend::qt {

TWebBrowser::TWebBrowser(QWidget* parent) : QWidget(parent)
{
    setFocusPolicy(Qt::TabFocus);
    setAttribute(Qt::WA_NoMousePropagation);
}

void TWebBrowser::Navigate(const QString& url)
{
    FLocation = url;
    if (!FView) {
        FView = new QWebEngineView(this);
        FView->setGeometry(rect());
        FView->show();
        setFocusProxy(FView);
    }
    FView->load(QUrl(url));
}

void TWebBrowser::resizeEvent(QResizeEvent* e)
{
    if (FView)
        FView->setGeometry(rect());
    QWidget::resizeEvent(e);
}

}  // namespace quelvo::frontend::qt
