// The page view of the launcher's window: text menus only on selected text,
// and the page shown as soon as the view exists.
#pragma once

#include "ui/web/orb_html_view.h"

class CBrowserView : public COrbHtmlView {
public:
    void OnInitialUpdate() override;
};
