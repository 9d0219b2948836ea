// Internal to the browser control: the objects of one document, and the
// state they share with the browser that shows it.
#pragma once

#include "platform/linux/browser/browser_control.h"
#include "platform/linux/browser/com_object.h"

#include <memory>
#include <utility>
#include <vector>

namespace platform {

struct BrowserControl::Shared {
    WebKitWebView* webView = nullptr;  // null once the browser is gone
    unsigned generation = 0;           // counts committed documents
    std::vector<IDispatch*>* objects = nullptr;
};

// A part of one document; it reaches the page only while that document is
// the one shown.
template <typename Interface>
class DocumentPart : public RefCounted<Interface> {
public:
    DocumentPart(std::shared_ptr<BrowserControl::Shared> shared, unsigned generation)
        : m_shared(std::move(shared)), m_generation(generation) {}

protected:
    bool Current() const { return m_shared->webView && m_shared->generation == m_generation; }

    std::shared_ptr<BrowserControl::Shared> m_shared;
    unsigned m_generation;
};

}  // namespace platform
