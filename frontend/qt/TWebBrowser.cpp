#include "frontend/qt/TWebBrowser.h"

#include "frontend/qt/LookupPage.h"

#include <QWebEngineProfile>
#include <QWebEngineView>

namespace quelvo::frontend::qt {

TWebBrowser::TWebBrowser(QWidget* parent, THandOff handOff) : QWidget(parent), FHandOff(std::move(handOff))
{
    setFocusPolicy(Qt::TabFocus);
    setAttribute(Qt::WA_NoMousePropagation);
}

void TWebBrowser::Navigate(const QString& url)
{
    FLocation = url;
    if (!FView) {
        FView = new QWebEngineView(this);
        FView->setPage(new LookupPage(QWebEngineProfile::defaultProfile(), FView, FHandOff));
        FView->setGeometry(rect());
        FView->show();
        setFocusProxy(FView);
    }
    static_cast<LookupPage*>(FView->page())->SetLookupAddress(url);
    FView->load(QUrl(url));
}

void TWebBrowser::resizeEvent(QResizeEvent* e)
{
    if (FView)
        FView->setGeometry(rect());
    QWidget::resizeEvent(e);
}

}  // namespace quelvo::frontend::qt
