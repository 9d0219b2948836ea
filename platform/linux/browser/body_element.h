// Internal to the browser control: a document's body as the page's host
// sees it. Setting an attribute to an object hands the object to the page's
// script as a property it can call.
#pragma once

#include "platform/linux/browser/document_part.h"

namespace platform {

class BodyElement : public DocumentPart<IHTMLElement> {
public:
    using DocumentPart::DocumentPart;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override {
        return Answer<IHTMLElement>(this, riid, IID_IHTMLElement, ppvObject);
    }

    HRESULT STDMETHODCALLTYPE setAttribute(BSTR strAttributeName, VARIANT AttributeValue, LONG lFlags) override;
};

}  // namespace platform
