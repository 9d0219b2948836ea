// The web browser control over WebKitGTK. It asks its host through the
// control site as the browser control does: the UI handler for context
// menus, host flags and the external object, the show-UI handler for the
// page's message boxes, the security manager for what a page may run. Its
// events go to the view. Everything happens on the display's thread.
#pragma once

#include "platform/afxhtml.h"

#include <webkit2/webkit2.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// The navigation error the browser reports for a failed load, as the
// browser control's error codes; none for a load that was only replaced or
// stopped.
std::optional<DWORD> NavigateErrorOf(const GError* error);

// The context-menu kind (CONTEXT_MENU_...) for what the pointer is over.
DWORD ContextMenuKindOf(WebKitHitTestResultContext context);

class BrowserControl {
public:
    // Null when there is no display, or its backend cannot show the browser
    // in the window.
    static std::unique_ptr<BrowserControl> Create(CHtmlView& view, COleControlSite& site, HWND window);
    ~BrowserControl();
    BrowserControl(const BrowserControl&) = delete;
    BrowserControl& operator=(const BrowserControl&) = delete;

    void Navigate(const std::wstring& url);
    // The current document's IDispatch with a reference; NULL before the first.
    LPDISPATCH Document() const;
    // Keys reach the browser through the toolkit's own events, never through
    // the host's loop: there is nothing to offer.
    bool TranslateAccelerator(MSG*) { return false; }

    // The state the documents share with their browser: which page is
    // current, and whether the browser is still there.
    struct Shared;

private:
    BrowserControl(CHtmlView& view, COleControlSite& site, HWND window);
    bool Build();

    // The host's answer through the control site, with a reference; null
    // when it has none.
    template <typename Interface>
    Interface* HostInterface(REFIID iid) const;
    void ApplyUrlPolicies(const std::string& url);
    void ReportNavigateError(const std::string& url, const std::string& frame, DWORD code, bool* cancel);

    static void OnScriptMessage(WebKitUserContentManager* manager, WebKitJavascriptResult* result, gpointer data);
    static gboolean OnDecidePolicy(WebKitWebView* webView, WebKitPolicyDecision* decision,
                                   WebKitPolicyDecisionType type, gpointer data);
    static void OnLoadChanged(WebKitWebView* webView, WebKitLoadEvent event, gpointer data);
    static gboolean OnLoadFailed(WebKitWebView* webView, WebKitLoadEvent event, gchar* uri, GError* error,
                                 gpointer data);
    static gboolean OnContextMenu(WebKitWebView* webView, WebKitContextMenu* menu, GdkEvent* event,
                                  WebKitHitTestResult* hit, gpointer data);
    static gboolean OnScriptDialog(WebKitWebView* webView, WebKitScriptDialog* dialog, gpointer data);

    CHtmlView& m_view;
    COleControlSite& m_site;
    HWND m_window;
    GtkWidget* m_widget = nullptr;  // what the window shows: the web view, framed or not
    WebKitWebView* m_webView = nullptr;
    WebKitUserContentManager* m_content = nullptr;
    // Objects the page reaches by number: 0 is window.external.
    std::vector<IDispatch*> m_objects;
    std::shared_ptr<Shared> m_shared;
    IDispatch* m_document = nullptr;
};

template <typename Interface>
Interface* BrowserControl::HostInterface(REFIID iid) const {
    void* answer = nullptr;
    if (FAILED(m_site.ExternalQueryInterface(iid, &answer))) {
        return nullptr;
    }
    return static_cast<Interface*>(answer);
}

}  // namespace platform
