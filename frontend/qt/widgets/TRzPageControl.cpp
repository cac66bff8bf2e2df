#include "widgets/TRzPageControl.h"

#include <QPainter>

#include <algorithm>

namespace quelvo::widgets {

namespace {

// The window's focus, also while the window is not active (Qt then only
// records it).
QWidget* FocusIn(QWidget* widget) { return widget->window()->focusWidget(); }

bool CanFocus(QWidget* widget) { return widget->isEnabled() && widget->isVisible(); }

}  // namespace

QWidget* FirstTabStop(QWidget* container)
{
    for (QWidget* w = container->nextInFocusChain(); w && w != container; w = w->nextInFocusChain()) {
        if (container->isAncestorOf(w) && (w->focusPolicy() & Qt::TabFocus) && w->isEnabled() &&
            w->isVisibleTo(container))
            return w;
    }
    return nullptr;
}

TRzTabSheet::TRzTabSheet(TRzPageControl* pageControl) : QWidget(pageControl)
{
    // Presses on a page end here; they never reach the controls beneath.
    setAttribute(Qt::WA_NoMousePropagation);
    hide();
    if (pageControl)
        pageControl->AddPage(this);
}

int TRzTabSheet::PageIndex() const
{
    if (!FPageControl)
        return -1;
    for (int i = 0; i < FPageControl->PageCount(); ++i) {
        if (FPageControl->Pages(i) == this)
            return i;
    }
    return -1;
}

void TRzTabSheet::SetColor(const QColor& colour)
{
    if (colour == FColor)
        return;
    FColor = colour;
    update();
}

void TRzTabSheet::paintEvent(QPaintEvent*)
{
    if (!FColor.isValid())
        return;
    QPainter p(this);
    p.fillRect(rect(), FColor);
}

TRzPageControl::TRzPageControl(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_NoMousePropagation);
}

void TRzPageControl::AddPage(TRzTabSheet* page)
{
    if (!page || page->FPageControl == this)
        return;
    if (page->parentWidget() != this)
        page->setParent(this);
    page->FPageControl = this;
    page->setGeometry(rect());
    page->hide();
    FPages.push_back(page);
}

TRzTabSheet* TRzPageControl::Pages(int index) const
{
    if (index < 0 || index >= PageCount())
        return nullptr;
    return FPages[static_cast<std::size_t>(index)];
}

int TRzPageControl::ActivePageIndex() const
{
    const auto it = std::find(FPages.begin(), FPages.end(), FActivePage);
    return it == FPages.end() ? -1 : static_cast<int>(it - FPages.begin());
}

void TRzPageControl::SetActivePage(TRzTabSheet* page)
{
    if (!page || page->FPageControl != this || page == FActivePage)
        return;
    TRzTabSheet* old = FActivePage;

    // Park the focus on the old page itself so that hiding it does not send
    // the focus wandering along the tab chain.
    if (old) {
        QWidget* focus = FocusIn(this);
        if (focus && old->isAncestorOf(focus))
            old->setFocus(Qt::OtherFocusReason);
    }

    page->setGeometry(rect());
    page->raise();
    page->show();
    if (old && FocusIn(this) == old) {
        if (CanFocus(page))
            page->setFocus(Qt::OtherFocusReason);
        else
            setFocus(Qt::OtherFocusReason);
    }

    if (old)
        old->hide();
    FActivePage = page;

    if (FocusIn(this) == page) {
        if (QWidget* first = FirstTabStop(page))
            first->setFocus(Qt::TabFocusReason);
    }
    if (OnChange)
        OnChange(this);
}

void TRzPageControl::resizeEvent(QResizeEvent* e)
{
    for (TRzTabSheet* page : FPages)
        page->setGeometry(rect());
    QWidget::resizeEvent(e);
}

}  // namespace quelvo::widgets
