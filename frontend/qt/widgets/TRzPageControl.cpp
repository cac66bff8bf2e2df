#include "frontend/qt/widgets/TRzPageControl.h"

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
    FCore.AddPage();
}

TRzTabSheet* TRzPageControl::Pages(int index) const
{
    if (index < 0 || index >= PageCount())
        return nullptr;
    return FPages[static_cast<std::size_t>(index)];
}

int TRzPageControl::ActivePageIndex() const { return FCore.ActivePage(); }

void TRzPageControl::SetActivePage(TRzTabSheet* page)
{
    const auto it = std::find(FPages.begin(), FPages.end(), page);
    if (it == FPages.end())
        return;
    if (FCore.SetActivePage(static_cast<int>(it - FPages.begin())) && OnChange)
        OnChange(this);
}

bool TRzPageControl::Host::FocusInside(int page) const
{
    QWidget* focus = FocusIn(&m_stack);
    return focus && m_stack.Pages(page)->isAncestorOf(focus);
}

bool TRzPageControl::Host::FocusOnPage(int page) const { return FocusIn(&m_stack) == m_stack.Pages(page); }

bool TRzPageControl::Host::PageCanFocus(int page) const { return CanFocus(m_stack.Pages(page)); }

void TRzPageControl::Host::FocusPage(int page) { m_stack.Pages(page)->setFocus(Qt::OtherFocusReason); }

void TRzPageControl::Host::FocusStack() { m_stack.setFocus(Qt::OtherFocusReason); }

void TRzPageControl::Host::FocusFirstTabStop(int page)
{
    if (QWidget* first = FirstTabStop(m_stack.Pages(page)))
        first->setFocus(Qt::TabFocusReason);
}

void TRzPageControl::Host::ShowOnTop(int page)
{
    TRzTabSheet* sheet = m_stack.Pages(page);
    sheet->setGeometry(m_stack.rect());
    sheet->raise();
    sheet->show();
}

void TRzPageControl::Host::Hide(int page) { m_stack.Pages(page)->hide(); }

void TRzPageControl::resizeEvent(QResizeEvent* e)
{
    for (TRzTabSheet* page : FPages)
        page->setGeometry(rect());
    QWidget::resizeEvent(e);
}

}  // namespace quelvo::widgets
