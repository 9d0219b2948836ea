// Shared by the page view's tests: a window standing in for the main
// window, recording the page's commands as they are sent, and a page
// script's call of the external object.
#pragma once

#include "platform/afxwin.h"
#include "ui/web/page_messages.h"

#include <string>
#include <utility>
#include <vector>

namespace page_view_test {

class CommandWindow : public CWnd {
public:
    CommandWindow() { CreateEx(0, nullptr, L"commands", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr); }

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message >= WM_STARTGAME && message <= WM_STARTGAMEDATA) {
            commands.emplace_back(message, reinterpret_cast<LPCWSTR>(lParam));
            return 0;
        }
        return CWnd::WindowProc(message, wParam, lParam);
    }

    std::vector<std::pair<UINT, std::wstring>> commands;
};

// Calls a method of an IDispatch as a page script does: by name, one string.
inline HRESULT CallByName(IDispatch* object, const std::wstring& name, const std::vector<std::wstring>& args,
                          DISPID* idOut = nullptr) {
    std::wstring buffer = name;
    LPOLESTR names[] = {buffer.data()};
    DISPID id = 0;
    const HRESULT found = object->GetIDsOfNames(IID_NULL, names, 1, 0, &id);
    if (idOut) {
        *idOut = id;
    }
    if (FAILED(found)) {
        return found;
    }
    std::vector<VARIANT> values;
    for (auto arg = args.rbegin(); arg != args.rend(); ++arg) {
        VARIANT value;
        value.vt = VT_BSTR;
        value.bstrVal = SysAllocString(arg->c_str());
        values.push_back(value);
    }
    DISPPARAMS params{values.data(), nullptr, static_cast<UINT>(values.size()), 0};
    const HRESULT result = object->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
    for (VARIANT& value : values) {
        VariantClear(&value);
    }
    return result;
}

}  // namespace page_view_test
