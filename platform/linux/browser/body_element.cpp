#include "platform/linux/browser/body_element.h"

#include "platform/linux/browser/page_script.h"
#include "platform/text.h"

#include <string>

namespace platform {

HRESULT BodyElement::setAttribute(BSTR strAttributeName, VARIANT AttributeValue, LONG) {
    if (!strAttributeName || !Current()) {
        return E_FAIL;
    }
    const std::string name = Quoted(ToUtf8(strAttributeName));
    std::string script;
    if (AttributeValue.vt == VT_DISPATCH && AttributeValue.pdispVal) {
        // An object becomes a property the page's script can call.
        std::vector<IDispatch*>& objects = *m_shared->objects;
        std::size_t index = 0;
        while (index < objects.size() && objects[index] != AttributeValue.pdispVal) {
            ++index;
        }
        if (index == objects.size()) {
            AttributeValue.pdispVal->AddRef();
            objects.push_back(AttributeValue.pdispVal);
        }
        script = "document.body[" + name + "] = window.__quillmoorObject(" + std::to_string(index) + ");";
    } else if (AttributeValue.vt == VT_BSTR) {
        const std::wstring value = AttributeValue.bstrVal ? AttributeValue.bstrVal : L"";
        script = "document.body.setAttribute(" + name + ", " + Quoted(ToUtf8(value)) + ");";
    } else {
        return E_INVALIDARG;
    }
    webkit_web_view_evaluate_javascript(m_shared->webView, ("if (document.body) { " + script + " }").c_str(), -1,
                                        nullptr, nullptr, nullptr, nullptr, nullptr);
    return S_OK;
}

}  // namespace platform
