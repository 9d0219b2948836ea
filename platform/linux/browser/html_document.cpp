#include "platform/linux/browser/html_document.h"

#include "platform/linux/browser/body_element.h"

namespace platform {

HRESULT HtmlDocument::get_body(IHTMLElement** p) {
    if (!p) {
        return E_POINTER;
    }
    *p = new BodyElement(m_shared, m_generation);
    return S_OK;
}

}  // namespace platform
