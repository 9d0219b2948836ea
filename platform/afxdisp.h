// Automation and control sites of the application framework: a command
// target with a dispatch map answers IDispatch for script callers, and a
// control site is what a hosted control asks its container through.
#pragma once

#include "platform/oaidl.h"

#include <string_view>

class CCmdTarget;
class CWnd;

// The methods a dispatch map offers take one string and return nothing to
// the caller: the only kind the launcher's external object has.
using AFX_DISPFN = void (CCmdTarget::*)(LPCWSTR);

#define VTS_BSTR "\x08"

struct AFX_DISPMAP_ENTRY {
    LPCWSTR lpszName;
    AFX_DISPFN pfn;
    VARTYPE vtReturn;
};

constexpr AFX_DISPMAP_ENTRY AfxDispatchEntry(LPCWSTR name, AFX_DISPFN pfn, VARTYPE vtReturn, std::string_view params) {
    // Evaluated while compiling: another parameter list does not build.
    return params == VTS_BSTR ? AFX_DISPMAP_ENTRY{name, pfn, vtReturn} : throw "only VTS_BSTR methods are offered";
}

#define DECLARE_DISPATCH_MAP() \
protected:                     \
    const AFX_DISPMAP_ENTRY* GetDispatchMap() const override;

#define BEGIN_DISPATCH_MAP(theClass, baseClass)                 \
    const AFX_DISPMAP_ENTRY* theClass::GetDispatchMap() const { \
        static constexpr AFX_DISPMAP_ENTRY entries[] = {
#define DISP_FUNCTION(theClass, szExternalName, pfnMember, vtRetVal, vtsParams) \
    AfxDispatchEntry(L##szExternalName, static_cast<AFX_DISPFN>(&theClass::pfnMember), vtRetVal, vtsParams),
#define END_DISPATCH_MAP()         \
    { nullptr, nullptr, VT_EMPTY } \
    }                              \
    ;                              \
    return entries;                \
    }

class CCmdTarget {
public:
    CCmdTarget();
    virtual ~CCmdTarget();
    CCmdTarget(const CCmdTarget&) = delete;
    CCmdTarget& operator=(const CCmdTarget&) = delete;

    // Gives the object an IDispatch over its dispatch map.
    void EnableAutomation();
    // NULL unless automation is enabled. The object owns itself: references
    // are counted, but the object's owner ends it, after its callers let go.
    LPDISPATCH GetIDispatch(BOOL bAddRef);

protected:
    // Entries end with a null name. Methods get their 1-based position as
    // DISPID, and names match without regard to case.
    virtual const AFX_DISPMAP_ENTRY* GetDispatchMap() const;

private:
    class XDispatch;
    XDispatch* m_pDispatch = nullptr;
};

// The container of a window's controls.
class COleControlContainer {
public:
    explicit COleControlContainer(CWnd* pWnd) : m_pWnd(pWnd) {}
    CWnd* m_pWnd;
};

// One hosted control's place in its container. Derived sites answer their
// own interfaces in InternalQueryInterface and pass other requests on.
class COleControlSite : public CCmdTarget {
public:
    explicit COleControlSite(COleControlContainer* pCtrlCont);

    // The site's own interfaces, whoever controls it.
    virtual HRESULT InternalQueryInterface(REFIID iid, void** ppvObj);
    // What the site's interfaces answer for IUnknown: the controlling
    // object's when there is one, else the site's own.
    ULONG ExternalAddRef();
    ULONG ExternalRelease();
    HRESULT ExternalQueryInterface(REFIID iid, void** ppvObj);

    // A control host that gives the control a site object of its own makes
    // that object the controlling one (NULL: none again), so that every
    // interface the control gets from either leads back to one object.
    void SetControllingUnknown(IUnknown* pOuter) { m_pOuterUnknown = pOuter; }

    COleControlContainer* m_pCtrlCont;

private:
    IUnknown* m_pOuterUnknown = nullptr;
    // The site's own identity; its interfaces all lead back here.
    struct XUnknown : IUnknown {
        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override;
        ULONG STDMETHODCALLTYPE AddRef() override;
        ULONG STDMETHODCALLTYPE Release() override;
        COleControlSite* m_pSite = nullptr;
    } m_xUnknown;
    ULONG m_dwRef = 1;
};
