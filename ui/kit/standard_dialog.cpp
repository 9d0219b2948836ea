#include "ui/kit/standard_dialog.h"

#include "platform/kernel32.h"

#include <memory>
#include <type_traits>

namespace {

using SetLayeredWindowAttributesProc = BOOL(WINAPI*)(HWND, COLORREF, BYTE, DWORD);

struct LibraryRelease {
    void operator()(HMODULE module) const { FreeLibrary(module); }
};
using LibraryHandle = std::unique_ptr<std::remove_pointer_t<HMODULE>, LibraryRelease>;

}  // namespace

CStandardDialog::CStandardDialog(UINT nIDTemplate, CWnd* pParentWnd, COLORREF crKey)
    : CDialog(nIDTemplate, pParentWnd), m_crKey(crKey), m_nTemplateId(nIDTemplate) {}

BOOL CStandardDialog::CreateModeless() {
    return Create(m_nTemplateId, m_pParentWnd);
}

BOOL CStandardDialog::OnInitDialog() {
    CDialog::OnInitDialog();
    m_brKey.CreateSolidBrush(m_crKey);
    ModifyStyleEx(0, WS_EX_LAYERED);
    // Looked up at run time, as systems without layered windows lack it;
    // without it the overlay simply stays opaque.
    if (LibraryHandle user32{LoadLibraryW(L"User32.DLL")}) {
        // Through the generic function type: the compiler accepts that cast
        // from any function pointer.
        const auto setAttributes = reinterpret_cast<SetLayeredWindowAttributesProc>(
            reinterpret_cast<void (*)()>(GetProcAddress(user32.get(), "SetLayeredWindowAttributes")));
        if (setAttributes)
            setAttributes(m_hWnd, m_crKey, 0, LWA_COLORKEY);
    }
    return TRUE;
}

LRESULT CStandardDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CTLCOLORDLG)
        return reinterpret_cast<LRESULT>(static_cast<HBRUSH>(m_brKey));
    return CDialog::WindowProc(message, wParam, lParam);
}

void CStandardDialog::OnOK() {}

void CStandardDialog::OnCancel() {
    if (CWnd* parent = GetParent())
        parent->SendMessage(WM_CLOSE);
    CDialog::OnCancel();
}
