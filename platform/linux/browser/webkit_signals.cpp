// What WebKit tells the browser control, turned into what the browser
// control tells its view and asks its host: navigation errors, documents
// loaded, the page's calls, context menus and script dialogs.
#include "platform/linux/browser/browser_control.h"

#include "platform/linux/browser/html_document.h"
#include "platform/linux/browser/page_script.h"
#include "platform/linux/kernel32/system_modules.h"
#include "platform/text.h"

#include <string>
#include <vector>

namespace platform {

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
    WebKitURIResponse* response =
        webkit_response_policy_decision_get_response(WEBKIT_RESPONSE_POLICY_DECISION(decision));
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
    const DWORD kind =
        ContextMenuKindOf(static_cast<WebKitHitTestResultContext>(webkit_hit_test_result_get_context(hit)));
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
    const DWORD boxType =
        type == WEBKIT_SCRIPT_DIALOG_ALERT ? (MB_OK | MB_ICONWARNING) : (MB_OKCANCEL | MB_ICONQUESTION);
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
