// Internal to the browser control: the document the page shows, as its host
// sees it.
#pragma once

#include "platform/linux/browser/document_part.h"

namespace platform {

class HtmlDocument : public DocumentPart<IHTMLDocument2> {
public:
    using DocumentPart::DocumentPart;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override {
        return Answer<IHTMLDocument2>(this, riid, IID_IHTMLDocument2, ppvObject);
    }

    HRESULT STDMETHODCALLTYPE get_body(IHTMLElement** p) override;
};

}  // namespace platform
