#include "platform/linux/browser/browser_control.h"

#include "platform/linux/kernel32/system_modules.h"
#include "platform/linux/display/window_backend.h"
#include "platform/text.h"

#include <array>

namespace platform {

namespace {

constexpr char kMessageHandler[] = "quillmoorExternal";

// The page reaches host objects through proxies: any method name becomes a
// call, which the host resolves by name (without regard to case) and runs
// in the order the page made the calls. The arguments go as strings, as the
// host's methods take them.
constexpr char kExternalScript[] = R"js((() => {
  const handler = window.webkit.messageHandlers.%s;
  const ignored = new Set(['then', 'toJSON', 'valueOf', 'toString', 'constructor']);
  const make = (object) => new Proxy({}, {
    get(target, name) {
      if (typeof name !== 'string' || ignored.has(name)) return undefined;
      return (...args) => { handler.postMessage({object, name, args: args.map(String)}); };
    },
  });
  Object.defineProperty(window, '__quillmoorObject', {value: make});
  Object.defineProperty(window, 'external', {value: make(0), configurable: true});
})();)js";

// Without scroll bars the document cannot be scrolled either, as a page
// shown with scrolling off.
constexpr char kNoScrollSheet[] = "html { overflow: hidden !important; }";

struct GErrorRelease {
    void operator()(GError* error) const { g_error_free(error); }
};

std::string Quoted(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            static constexpr char kHex[] = "0123456789abcdef";
            out += "\\u00";
            out += kHex[c >> 4];
            out += kHex[c & 0xF];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

VARIANT StringVariant(const std::string& text) {
    VARIANT value;
    value.vt = VT_BSTR;
    value.bstrVal = SysAllocString(FromUtf8(text).c_str());
    return value;
}

}  // namespace

struct BrowserControl::Shared {
    WebKitWebView* webView = nullptr;  // null once the browser is gone
    unsigned generation = 0;           // counts committed documents
    std::vector<IDispatch*>* objects = nullptr;
};

namespace {

// Counts references; ends itself at the last Release.
template <typename Interface>
class RefCounted : public Interface {
public:
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --m_refs;
        if (left == 0) {
            delete this;
        }
        return left;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override {
        return E_NOTIMPL;
    }

protected:
    virtual ~RefCounted() = default;

private:
    ULONG m_refs = 1;
};

template <typename Interface>
HRESULT Answer(Interface* self, REFIID riid, REFIID own, void** ppvObject) {
    if (!ppvObject) {
        return E_POINTER;
    }
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == own) {
        *ppvObject = self;
        self->AddRef();
        return S_OK;
    }
    *ppvObject = nullptr;
    return E_NOINTERFACE;
}

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

class BodyElement : public DocumentPart<IHTMLElement> {
public:
    using DocumentPart::DocumentPart;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override {
        return Answer<IHTMLElement>(this, riid, IID_IHTMLElement, ppvObject);
    }

    HRESULT STDMETHODCALLTYPE setAttribute(BSTR strAttributeName, VARIANT AttributeValue, LONG) override {
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
};

class HtmlDocument : public DocumentPart<IHTMLDocument2> {
public:
    using DocumentPart::DocumentPart;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override {
        return Answer<IHTMLDocument2>(this, riid, IID_IHTMLDocument2, ppvObject);
    }

    HRESULT STDMETHODCALLTYPE get_body(IHTMLElement** p) override {
        if (!p) {
            return E_POINTER;
        }
        *p = new BodyElement(m_shared, m_generation);
        return S_OK;
    }
};

}  // namespace

std::optional<DWORD> NavigateErrorOf(const GError* error) {
    if (!error) {
        return std::nullopt;
    }
    if ((error->domain == WEBKIT_NETWORK_ERROR && error->code == WEBKIT_NETWORK_ERROR_CANCELLED) ||
        (error->domain == WEBKIT_POLICY_ERROR &&
         error->code == WEBKIT_POLICY_ERROR_FRAME_LOAD_INTERRUPTED_BY_POLICY_CHANGE) ||
        g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED)) {
        return std::nullopt;
    }
    HRESULT code = INET_E_DOWNLOAD_FAILURE;
    if (error->domain == G_RESOLVER_ERROR || g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CONNECTION_REFUSED) ||
        g_error_matches(error, G_IO_ERROR, G_IO_ERROR_NOT_FOUND) ||
        (error->domain == WEBKIT_NETWORK_ERROR && error->code == WEBKIT_NETWORK_ERROR_FILE_DOES_NOT_EXIST)) {
        code = INET_E_RESOURCE_NOT_FOUND;
    } else if (g_error_matches(error, G_IO_ERROR, G_IO_ERROR_HOST_UNREACHABLE) ||
               g_error_matches(error, G_IO_ERROR, G_IO_ERROR_NETWORK_UNREACHABLE)) {
        code = INET_E_CANNOT_CONNECT;
    } else if (g_error_matches(error, G_IO_ERROR, G_IO_ERROR_TIMED_OUT)) {
        code = INET_E_CONNECTION_TIMEOUT;
    } else if (error->domain == G_TLS_ERROR || error->domain == WEBKIT_DOWNLOAD_ERROR) {
        code = error->domain == G_TLS_ERROR ? INET_E_SECURITY_PROBLEM : INET_E_DOWNLOAD_FAILURE;
    } else if (error->domain == WEBKIT_NETWORK_ERROR && error->code == WEBKIT_NETWORK_ERROR_UNKNOWN_PROTOCOL) {
        code = INET_E_UNKNOWN_PROTOCOL;
    } else if (error->domain == WEBKIT_POLICY_ERROR) {
        code = INET_E_INVALID_URL;
    }
    return static_cast<DWORD>(code);
}

DWORD ContextMenuKindOf(WebKitHitTestResultContext context) {
    if (context & WEBKIT_HIT_TEST_RESULT_CONTEXT_SELECTION) {
        return CONTEXT_MENU_TEXTSELECT;
    }
    if (context & WEBKIT_HIT_TEST_RESULT_CONTEXT_EDITABLE) {
        return CONTEXT_MENU_CONTROL;
    }
    if (context & WEBKIT_HIT_TEST_RESULT_CONTEXT_LINK) {
        return CONTEXT_MENU_ANCHOR;
    }
    if (context & (WEBKIT_HIT_TEST_RESULT_CONTEXT_IMAGE | WEBKIT_HIT_TEST_RESULT_CONTEXT_MEDIA)) {
        return CONTEXT_MENU_IMAGE;
    }
    return CONTEXT_MENU_DEFAULT;
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

template <typename Interface>
Interface* BrowserControl::HostInterface(REFIID iid) const {
    void* answer = nullptr;
    if (FAILED(m_site.ExternalQueryInterface(iid, &answer))) {
        return nullptr;
    }
    return static_cast<Interface*>(answer);
}

bool BrowserControl::Build() {
    m_content = webkit_user_content_manager_new();
    m_webView = WEBKIT_WEB_VIEW(webkit_web_view_new_with_user_content_manager(m_content));
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
        WebKitUserStyleSheet* sheet =
            webkit_user_style_sheet_new(kNoScrollSheet, WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
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

std::string BrowserControl::ExternalScript() const {
    std::string source = kExternalScript;
    source.replace(source.find("%s"), 2, kMessageHandler);
    return source;
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

void BrowserControl::ReportNavigateError(const std::string& url, const std::string& frame, DWORD code,
                                         bool* cancel) {
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

void BrowserControl::OnScriptMessage(WebKitUserContentManager*, WebKitJavascriptResult* result, gpointer data) {
    auto& self = *static_cast<BrowserControl*>(data);
    JSCValue* message = webkit_javascript_result_get_js_value(result);
    if (!jsc_value_is_object(message)) {
        return;
    }
    JSCValue* objectValue = jsc_value_object_get_property(message, "object");
    JSCValue* nameValue = jsc_value_object_get_property(message, "name");
    JSCValue* argsValue = jsc_value_object_get_property(message, "args");
    const std::int32_t object = jsc_value_to_int32(objectValue);
    gchar* name = jsc_value_to_string(nameValue);
    const std::wstring methodName = FromUtf8(name ? name : "");
    g_free(name);
    std::vector<VARIANT> args;
    if (jsc_value_is_array(argsValue)) {
        JSCValue* lengthValue = jsc_value_object_get_property(argsValue, "length");
        const std::int32_t length = jsc_value_to_int32(lengthValue);
        g_object_unref(lengthValue);
        // Arguments travel last first.
        for (std::int32_t i = length - 1; i >= 0; --i) {
            JSCValue* arg = jsc_value_object_get_property_at_index(argsValue, static_cast<guint>(i));
            gchar* text = jsc_value_to_string(arg);
            args.push_back(StringVariant(text ? text : ""));
            g_free(text);
            g_object_unref(arg);
        }
    }
    g_object_unref(objectValue);
    g_object_unref(nameValue);
    g_object_unref(argsValue);

    if (object >= 0 && static_cast<std::size_t>(object) < self.m_objects.size()) {
        IDispatch* target = self.m_objects[static_cast<std::size_t>(object)];
        std::wstring nameBuffer = methodName;
        LPOLESTR names[] = {nameBuffer.data()};
        DISPID id = -1;
        if (SUCCEEDED(target->GetIDsOfNames(IID_NULL, names, 1, 0, &id))) {
            DISPPARAMS params{args.data(), nullptr, static_cast<UINT>(args.size()), 0};
            // The call may run a whole modal loop; nothing of this control is
            // touched after it.
            target->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
        }
    }
    for (VARIANT& arg : args) {
        VariantClear(&arg);
    }
}

gboolean BrowserControl::OnDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type,
                                        gpointer data) {
    auto& self = *static_cast<BrowserControl*>(data);
    if (type == WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION) {
        WebKitNavigationAction* action =
            webkit_navigation_policy_decision_get_navigation_action(WEBKIT_NAVIGATION_POLICY_DECISION(decision));
        WebKitURIRequest* request = webkit_navigation_action_get_request(action);
        self.ApplyUrlPolicies(webkit_uri_request_get_uri(request));
        return FALSE;
    }
    if (type != WEBKIT_POLICY_DECISION_TYPE_RESPONSE) {
        return FALSE;
    }
    // A server's error status is a navigation error to the host, though the
    // engine shows the server's page as any other.
    WebKitURIResponse* response = webkit_response_policy_decision_get_response(WEBKIT_RESPONSE_POLICY_DECISION(decision));
    const guint status = webkit_uri_response_get_status_code(response);
    if (status < 400) {
        return FALSE;
    }
    const bool mainFrame =
        webkit_response_policy_decision_is_main_frame_main_resource(WEBKIT_RESPONSE_POLICY_DECISION(decision));
    bool cancel = false;
    self.ReportNavigateError(webkit_uri_response_get_uri(response), mainFrame ? "" : "frame", status, &cancel);
    if (cancel) {
        webkit_policy_decision_ignore(decision);
        return TRUE;
    }
    return FALSE;
}

void BrowserControl::OnLoadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer data) {
    auto& self = *static_cast<BrowserControl*>(data);
    if (event == WEBKIT_LOAD_COMMITTED) {
        ++self.m_shared->generation;
        if (self.m_document) {
            self.m_document->Release();
        }
        self.m_document = new HtmlDocument(self.m_shared, self.m_shared->generation);
        return;
    }
    if (event != WEBKIT_LOAD_FINISHED || !self.m_document) {
        return;
    }
    VARIANT url = StringVariant(webkit_web_view_get_uri(self.m_webView) ? webkit_web_view_get_uri(self.m_webView) : "");
    self.m_view.DocumentComplete(self.m_document, &url);
    VariantClear(&url);
}

gboolean BrowserControl::OnLoadFailed(WebKitWebView*, WebKitLoadEvent, gchar* uri, GError* error, gpointer data) {
    auto& self = *static_cast<BrowserControl*>(data);
    const std::optional<DWORD> code = NavigateErrorOf(error);
    if (!code) {
        return FALSE;
    }
    bool cancel = false;
    self.ReportNavigateError(uri ? uri : "", "", *code, &cancel);
    // Not cancelled: the engine shows its own error page.
    return cancel ? TRUE : FALSE;
}

gboolean BrowserControl::OnContextMenu(WebKitWebView*, WebKitContextMenu*, GdkEvent* event, WebKitHitTestResult* hit,
                                       gpointer data) {
    auto& self = *static_cast<BrowserControl*>(data);
    IDocHostUIHandler* handler = self.HostInterface<IDocHostUIHandler>(IID_IDocHostUIHandler);
    if (!handler) {
        return FALSE;
    }
    gdouble x = 0;
    gdouble y = 0;
    if (event) {
        gdk_event_get_root_coords(event, &x, &y);
    }
    POINT point{static_cast<LONG>(x), static_cast<LONG>(y)};
    const DWORD kind = ContextMenuKindOf(static_cast<WebKitHitTestResultContext>(webkit_hit_test_result_get_context(hit)));
    const HRESULT hr = handler->ShowContextMenu(kind, &point, nullptr, nullptr);
    handler->Release();
    // S_OK: the host took it, and there is no menu.
    return hr == S_OK ? TRUE : FALSE;
}

gboolean BrowserControl::OnScriptDialog(WebKitWebView*, WebKitScriptDialog* dialog, gpointer data) {
    auto& self = *static_cast<BrowserControl*>(data);
    const WebKitScriptDialogType type = webkit_script_dialog_get_dialog_type(dialog);
    if (type != WEBKIT_SCRIPT_DIALOG_ALERT && type != WEBKIT_SCRIPT_DIALOG_CONFIRM) {
        return FALSE;
    }
    IDocHostShowUI* showUi = self.HostInterface<IDocHostShowUI>(IID_IDocHostShowUI);
    if (!showUi) {
        return FALSE;
    }
    std::wstring text = FromUtf8(webkit_script_dialog_get_message(dialog));
    std::wstring caption(kBrowserMessageCaption);
    const DWORD boxType = type == WEBKIT_SCRIPT_DIALOG_ALERT ? (MB_OK | MB_ICONWARNING) : (MB_OKCANCEL | MB_ICONQUESTION);
    LRESULT pressed = IDCANCEL;
    const HRESULT hr = showUi->ShowMessage(self.m_window, text.data(), caption.data(), boxType, nullptr, 0, &pressed);
    showUi->Release();
    if (hr != S_OK) {
        return FALSE;  // the engine's own box
    }
    if (type == WEBKIT_SCRIPT_DIALOG_CONFIRM) {
        webkit_script_dialog_confirm_set_confirmed(dialog, pressed == IDOK);
    }
    return TRUE;
}

}  // namespace platform
