#include "ui/web/browser_view.h"

void CBrowserView::OnInitialUpdate() {
    COrbHtmlView::OnInitialUpdate();
    m_nContextMenuMode = 3;
    Navigate2(m_strUrl.c_str(), 0, nullptr, nullptr, nullptr, 0);
}
