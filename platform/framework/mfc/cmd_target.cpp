// Automation of command targets and the base control site.
#include "platform/afxdisp.h"

#include <cwctype>

namespace {

bool SameNameNoCase(LPCWSTR a, LPCWSTR b) {
    for (; *a && *b; ++a, ++b) {
        if (std::towlower(*a) != std::towlower(*b)) {
            return false;
        }
    }
    return *a == *b;
}

}  // namespace

// The IDispatch of a command target: its dispatch map, called by name.
// Final: its owner deletes it by its own type, and COM interfaces have no
// virtual destructor, so nothing may derive from it.
class CCmdTarget::XDispatch final : public IDispatch {
public:
    explicit XDispatch(CCmdTarget& owner) : m_owner(owner) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override {
        if (!ppvObject) {
            return E_POINTER;
        }
        if (riid == IID_IUnknown || riid == IID_IDispatch) {
            *ppvObject = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *ppvObject = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
    ULONG STDMETHODCALLTYPE Release() override { return m_refs > 0 ? --m_refs : 0; }

    // No type information: callers find the methods by name.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* pctinfo) override {
        if (!pctinfo) {
            return E_POINTER;
        }
        *pctinfo = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** ppTInfo) override {
        if (ppTInfo) {
            *ppTInfo = nullptr;
        }
        return DISP_E_BADINDEX;
    }

    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* rgszNames, UINT cNames, LCID, DISPID* rgDispId) override {
        if (!rgszNames || !rgDispId || cNames == 0) {
            return E_INVALIDARG;
        }
        // Methods only: no named arguments to resolve.
        for (UINT i = 1; i < cNames; ++i) {
            rgDispId[i] = -1;
        }
        const AFX_DISPMAP_ENTRY* entries = m_owner.GetDispatchMap();
        for (DISPID id = 1; entries && entries[id - 1].lpszName; ++id) {
            if (rgszNames[0] && SameNameNoCase(rgszNames[0], entries[id - 1].lpszName)) {
                rgDispId[0] = id;
                return cNames == 1 ? S_OK : DISP_E_UNKNOWNNAME;
            }
        }
        rgDispId[0] = -1;
        return DISP_E_UNKNOWNNAME;
    }

    HRESULT STDMETHODCALLTYPE Invoke(DISPID dispIdMember, REFIID, LCID, WORD wFlags, DISPPARAMS* pDispParams,
                                     VARIANT* pVarResult, EXCEPINFO*, UINT* puArgErr) override {
        const AFX_DISPMAP_ENTRY* entry = Find(dispIdMember);
        if (!entry || !(wFlags & DISPATCH_METHOD)) {
            return DISP_E_MEMBERNOTFOUND;
        }
        if (!pDispParams || pDispParams->cArgs != 1 || pDispParams->cNamedArgs != 0) {
            return DISP_E_BADPARAMCOUNT;
        }
        const VARIANT& argument = pDispParams->rgvarg[0];
        if (argument.vt != VT_BSTR) {
            if (puArgErr) {
                *puArgErr = 0;
            }
            return DISP_E_TYPEMISMATCH;
        }
        (m_owner.*entry->pfn)(argument.bstrVal ? argument.bstrVal : L"");
        if (pVarResult) {
            VariantInit(pVarResult);  // the caller gets no value
        }
        return S_OK;
    }

private:
    const AFX_DISPMAP_ENTRY* Find(DISPID id) const {
        const AFX_DISPMAP_ENTRY* entries = m_owner.GetDispatchMap();
        for (DISPID at = 1; entries && entries[at - 1].lpszName; ++at) {
            if (at == id) {
                return &entries[at - 1];
            }
        }
        return nullptr;
    }

    CCmdTarget& m_owner;
    ULONG m_refs = 0;
};

CCmdTarget::CCmdTarget() = default;

CCmdTarget::~CCmdTarget() {
    delete m_pDispatch;
}

void CCmdTarget::EnableAutomation() {
    if (!m_pDispatch) {
        m_pDispatch = new XDispatch(*this);
    }
}

LPDISPATCH CCmdTarget::GetIDispatch(BOOL bAddRef) {
    if (m_pDispatch && bAddRef) {
        m_pDispatch->AddRef();
    }
    return m_pDispatch;
}

const AFX_DISPMAP_ENTRY* CCmdTarget::GetDispatchMap() const {
    return nullptr;
}

COleControlSite::COleControlSite(COleControlContainer* pCtrlCont) : m_pCtrlCont(pCtrlCont) {
    m_xUnknown.m_pSite = this;
}

HRESULT COleControlSite::InternalQueryInterface(REFIID iid, void** ppvObj) {
    if (iid == IID_IUnknown) {
        *ppvObj = &m_xUnknown;
        ExternalAddRef();
        return S_OK;
    }
    *ppvObj = nullptr;
    return E_NOINTERFACE;
}

ULONG COleControlSite::ExternalAddRef() {
    if (m_pOuterUnknown) {
        return m_pOuterUnknown->AddRef();
    }
    return ++m_dwRef;
}

ULONG COleControlSite::ExternalRelease() {
    if (m_pOuterUnknown) {
        return m_pOuterUnknown->Release();
    }
    // The view that made the site ends it; the count only tells.
    return m_dwRef > 0 ? --m_dwRef : 0;
}

HRESULT COleControlSite::ExternalQueryInterface(REFIID iid, void** ppvObj) {
    if (!ppvObj) {
        return E_POINTER;
    }
    if (m_pOuterUnknown) {
        return m_pOuterUnknown->QueryInterface(iid, ppvObj);
    }
    return InternalQueryInterface(iid, ppvObj);
}

HRESULT COleControlSite::XUnknown::QueryInterface(REFIID riid, void** ppvObject) {
    return m_pSite->ExternalQueryInterface(riid, ppvObject);
}

ULONG COleControlSite::XUnknown::AddRef() {
    return m_pSite->ExternalAddRef();
}

ULONG COleControlSite::XUnknown::Release() {
    return m_pSite->ExternalRelease();
}
