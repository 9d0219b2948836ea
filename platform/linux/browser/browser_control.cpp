// The browser control: its web view, its host's settings and objects, and
// navigation.
#include "platform/linux/browser/browser_control.h"

#include "platform/linux/browser/document_part.h"
#include "platform/linux/browser/page_script.h"
#include "platform/linux/display/window_backend.h"
#include "platform/text.h"

namespace platform {

namespace {

std::string g_browserDataFolder;

// One web context for every view: each context runs its own network process.
WebKitWebContext* SharedWebContext() {
    static WebKitWebContext* const context = [] {
        if (g_browserDataFolder.empty()) {
            return webkit_web_context_get_default();
        }
        const std::string data = g_browserDataFolder + "/data";
        const std::string cache = g_browserDataFolder + "/cache";
        WebKitWebsiteDataManager* manager = webkit_website_data_manager_new(
            "base-data-directory", data.c_str(), "base-cache-directory", cache.c_str(), nullptr);
        WebKitWebContext* made = webkit_web_context_new_with_website_data_manager(manager);
        g_object_unref(manager);
        return made;
    }();
    return context;
}

}  // namespace

void SetBrowserDataFolder(const std::wstring& folder) {
    g_browserDataFolder = NativePath(folder);
}

std::unique_ptr<BrowserControl> BrowserControl::Create(CHtmlView& view, COleControlSite& site, HWND window) {
    if (!gdk_display_get_default()) {
        return nullptr;
    }
    std::unique_ptr<BrowserControl> control(new BrowserControl(view, site, window));
    if (!control->Build()) {
        return nullptr;
    }
    return control;
}

BrowserControl::BrowserControl(CHtmlView& view, COleControlSite& site, HWND window)
    : m_view(view), m_site(site), m_window(window), m_shared(std::make_shared<Shared>()) {
    m_shared->objects = &m_objects;
}

bool BrowserControl::Build() {
    m_content = webkit_user_content_manager_new();
    m_webView = WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", SharedWebContext(),
                                             "user-content-manager", m_content, nullptr));
    g_object_ref_sink(m_webView);
    WebKitSettings* settings = webkit_web_view_get_settings(m_webView);
    // No GPU behind a virtual or remote display; drawing in software always works.
    webkit_settings_set_hardware_acceleration_policy(settings, WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER);

    DOCHOSTUIINFO info{sizeof(DOCHOSTUIINFO), 0, DOCHOSTUIDBLCLK_DEFAULT, nullptr, nullptr};
    if (IDocHostUIHandler* handler = HostInterface<IDocHostUIHandler>(IID_IDocHostUIHandler)) {
        if (FAILED(handler->GetHostInfo(&info))) {
            info.dwFlags = 0;
        }
        IDispatch* external = nullptr;
        if (SUCCEEDED(handler->GetExternal(&external)) && external) {
            m_objects.push_back(external);
        }
        handler->Release();
    }
    if (!m_objects.empty()) {
        webkit_user_content_manager_register_script_message_handler(m_content, kMessageHandler);
        g_signal_connect(m_content, (std::string("script-message-received::") + kMessageHandler).c_str(),
                         G_CALLBACK(OnScriptMessage), this);
        const std::string source = ExternalScript();
        WebKitUserScript* script =
            webkit_user_script_new(source.c_str(), WEBKIT_USER_CONTENT_INJECT_ALL_FRAMES,
                                   WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, nullptr, nullptr);
        webkit_user_content_manager_add_script(m_content, script);
        webkit_user_script_unref(script);
    }
    if (info.dwFlags & DOCHOSTUIFLAG_SCROLL_NO) {
        WebKitUserStyleSheet* sheet = webkit_user_style_sheet_new(kNoScrollSheet, WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
                                                                  WEBKIT_USER_STYLE_LEVEL_USER, nullptr, nullptr);
        webkit_user_content_manager_add_style_sheet(m_content, sheet);
        webkit_user_style_sheet_unref(sheet);
    }

    g_signal_connect(m_webView, "decide-policy", G_CALLBACK(OnDecidePolicy), this);
    g_signal_connect(m_webView, "load-changed", G_CALLBACK(OnLoadChanged), this);
    g_signal_connect(m_webView, "load-failed", G_CALLBACK(OnLoadFailed), this);
    g_signal_connect(m_webView, "context-menu", G_CALLBACK(OnContextMenu), this);
    g_signal_connect(m_webView, "script-dialog", G_CALLBACK(OnScriptDialog), this);

    GtkWidget* shown = GTK_WIDGET(m_webView);
    if (!(info.dwFlags & DOCHOSTUIFLAG_NO3DBORDER)) {
        shown = gtk_frame_new(nullptr);
        gtk_frame_set_shadow_type(GTK_FRAME(shown), GTK_SHADOW_IN);
        gtk_container_add(GTK_CONTAINER(shown), GTK_WIDGET(m_webView));
    }
    m_widget = GTK_WIDGET(g_object_ref_sink(shown));
    gtk_widget_show_all(m_widget);
    m_shared->webView = m_webView;
    return Backend().EmbedNativeView(m_window, m_widget);
}

BrowserControl::~BrowserControl() {
    m_shared->webView = nullptr;
    m_shared->objects = nullptr;
    if (m_webView) {
        g_signal_handlers_disconnect_by_data(m_webView, this);
        webkit_web_view_stop_loading(m_webView);
    }
    if (m_content) {
        g_signal_handlers_disconnect_by_data(m_content, this);
        g_object_unref(m_content);
    }
    if (m_widget) {
        gtk_widget_destroy(m_widget);
        g_object_unref(m_widget);
    }
    if (m_webView) {
        g_object_unref(m_webView);
    }
    if (m_document) {
        m_document->Release();
    }
    for (IDispatch* object : m_objects) {
        object->Release();
    }
}

void BrowserControl::Navigate(const std::wstring& url) {
    webkit_web_view_load_uri(m_webView, ToUtf8(url).c_str());
}

LPDISPATCH BrowserControl::Document() const {
    if (m_document) {
        m_document->AddRef();
    }
    return m_document;
}

void BrowserControl::ApplyUrlPolicies(const std::string& url) {
    IServiceProvider* services = HostInterface<IServiceProvider>(IID_IServiceProvider);
    if (!services) {
        return;
    }
    void* answer = nullptr;
    const HRESULT found = services->QueryService(IID_IInternetSecurityManager, IID_IInternetSecurityManager, &answer);
    services->Release();
    if (FAILED(found) || !answer) {
        return;
    }
    auto* security = static_cast<IInternetSecurityManager*>(answer);
    const std::wstring address = FromUtf8(url);
    // The engine's own choice stands where the host leaves it the default.
    auto allowed = [&](DWORD action, bool byDefault) {
        DWORD policy = URLPOLICY_DISALLOW;
        const HRESULT hr = security->ProcessUrlAction(address.c_str(), action, reinterpret_cast<BYTE*>(&policy),
                                                      sizeof policy, nullptr, 0, PUAF_DEFAULT, 0);
        if (hr == INET_E_DEFAULT_ACTION || FAILED(hr)) {
            return byDefault;
        }
        return policy == URLPOLICY_ALLOW;
    };
    WebKitSettings* settings = webkit_web_view_get_settings(m_webView);
    webkit_settings_set_enable_javascript(settings, allowed(URLACTION_SCRIPT_RUN, true));
    webkit_settings_set_allow_universal_access_from_file_urls(settings, allowed(URLACTION_CROSS_DOMAIN_DATA, false));
    security->Release();
}

void BrowserControl::ReportNavigateError(const std::string& url, const std::string& frame, DWORD code, bool* cancel) {
    VARIANT address = StringVariant(url);
    VARIANT frameName = StringVariant(frame);
    VARIANT status;
    status.vt = VT_I4;
    status.lVal = static_cast<LONG>(code);
    VARIANT_BOOL cancelled = 0;
    m_view.NavigateError(nullptr, &address, &frameName, &status, &cancelled);
    VariantClear(&address);
    VariantClear(&frameName);
    *cancel = cancelled != 0;
}

}  // namespace platform
