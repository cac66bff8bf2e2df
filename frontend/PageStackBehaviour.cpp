#include "frontend/PageStackBehaviour.h"

namespace quelvo::frontend {

bool TPageStackBehaviour::SetActivePage(int page)
{
    if (page < 0 || page >= m_count || page == m_active)
        return false;
    const int old = m_active;

    // Park the focus on the old page itself, so that hiding it does not send
    // the focus wandering along the tab order.
    if (old >= 0 && m_host.FocusInside(old))
        m_host.FocusPage(old);

    m_host.ShowOnTop(page);
    if (old >= 0 && m_host.FocusOnPage(old)) {
        if (m_host.PageCanFocus(page))
            m_host.FocusPage(page);
        else
            m_host.FocusStack();
    }

    if (old >= 0)
        m_host.Hide(old);
    m_active = page;

    if (m_host.FocusOnPage(page))
        m_host.FocusFirstTabStop(page);
    return true;
}

}  // namespace quelvo::frontend
