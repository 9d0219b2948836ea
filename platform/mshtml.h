// What the browser control asks of its host, and the little of its document
// object model the host uses: the document's body and an attribute on it.
#pragma once

#include "platform/oaidl.h"
#include "platform/winuser.h"

#ifdef _WIN32
// The input method interface these pull in has a method named Sleep, which
// kernel32.h routes to the cooperative stop: not inside the SDK's headers.
#pragma push_macro("Sleep")
#undef Sleep
#include <mshtmhst.h>
#include <mshtml.h>
#include <servprov.h>
#include <urlmon.h>
#pragma pop_macro("Sleep")
#else
// ---- document
inline constexpr IID IID_IHTMLDocument2{0x332C4425, 0x26CB, 0x11D0, {0xB4, 0x83, 0x00, 0xC0, 0x4F, 0xD9, 0x01, 0x19}};
inline constexpr IID IID_IHTMLElement{0x3050F1FF, 0x98B5, 0x11CF, {0xBB, 0x82, 0x00, 0xAA, 0x00, 0xBD, 0xCE, 0x0B}};

struct IHTMLElement : IDispatch {
    // An object value becomes a property of the element that the page's
    // script reads (document.body.external, say).
    virtual HRESULT STDMETHODCALLTYPE setAttribute(BSTR strAttributeName, VARIANT AttributeValue, LONG lFlags) = 0;

protected:
    ~IHTMLElement() = default;
};

struct IHTMLDocument2 : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_body(IHTMLElement** p) = 0;

protected:
    ~IHTMLDocument2() = default;
};

inline constexpr CLSID CLSID_WebBrowser{0x8856F961, 0x340A, 0x11D0, {0xA9, 0x6B, 0x00, 0xC0, 0x4F, 0xD7, 0x05, 0xA2}};

// ---- host user interface
#define DOCHOSTUIFLAG_NO3DBORDER 0x00000004
#define DOCHOSTUIFLAG_SCROLL_NO 0x00000008
#define DOCHOSTUIFLAG_THEME 0x00040000
#define DOCHOSTUIDBLCLK_DEFAULT 0

#define CONTEXT_MENU_DEFAULT 0
#define CONTEXT_MENU_IMAGE 1
#define CONTEXT_MENU_CONTROL 2
#define CONTEXT_MENU_TABLE 3
#define CONTEXT_MENU_TEXTSELECT 4
#define CONTEXT_MENU_ANCHOR 5
#define CONTEXT_MENU_UNKNOWN 6

struct DOCHOSTUIINFO {
    ULONG cbSize;
    DWORD dwFlags;
    DWORD dwDoubleClick;
    OLECHAR* pchHostCss;
    OLECHAR* pchHostNS;
};

struct IDropTarget;
struct IDataObject;
struct IOleInPlaceActiveObject;
struct IOleCommandTarget;
struct IOleInPlaceFrame;
struct IOleInPlaceUIWindow;
using LPDROPTARGET = IDropTarget*;
using LPDATAOBJECT = IDataObject*;

inline constexpr IID IID_IDocHostShowUI{0xC4D244B0, 0xD43E, 0x11CF, {0x89, 0x3B, 0x00, 0xAA, 0x00, 0xBD, 0xCE, 0x1A}};
inline constexpr IID IID_IDocHostUIHandler{
    0xBD3F23C0, 0xD43E, 0x11CF, {0x89, 0x3B, 0x00, 0xAA, 0x00, 0xBD, 0xCE, 0x1A}};
inline constexpr IID IID_IDocHostUIHandler2{
    0x3050F6D0, 0x98B5, 0x11CF, {0xBB, 0x82, 0x00, 0xAA, 0x00, 0xBD, 0xCE, 0x0B}};

struct IDocHostShowUI : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE ShowMessage(HWND hwnd, LPOLESTR lpstrText, LPOLESTR lpstrCaption, DWORD dwType,
                                                  LPOLESTR lpstrHelpFile, DWORD dwHelpContext, LRESULT* plResult) = 0;
    virtual HRESULT STDMETHODCALLTYPE ShowHelp(HWND hwnd, LPOLESTR pszHelpFile, UINT uCommand, DWORD dwData,
                                               POINT ptMouse, IDispatch* pDispatchObjectHit) = 0;

protected:
    ~IDocHostShowUI() = default;
};

struct IDocHostUIHandler : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE ShowContextMenu(DWORD dwID, POINT* ppt, IUnknown* pcmdtReserved,
                                                      IDispatch* pdispReserved) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetHostInfo(DOCHOSTUIINFO* pInfo) = 0;
    virtual HRESULT STDMETHODCALLTYPE ShowUI(DWORD dwID, IOleInPlaceActiveObject* pActiveObject,
                                             IOleCommandTarget* pCommandTarget, IOleInPlaceFrame* pFrame,
                                             IOleInPlaceUIWindow* pDoc) = 0;
    virtual HRESULT STDMETHODCALLTYPE HideUI() = 0;
    virtual HRESULT STDMETHODCALLTYPE UpdateUI() = 0;
    virtual HRESULT STDMETHODCALLTYPE EnableModeless(BOOL fEnable) = 0;
    virtual HRESULT STDMETHODCALLTYPE OnDocWindowActivate(BOOL fActivate) = 0;
    virtual HRESULT STDMETHODCALLTYPE OnFrameWindowActivate(BOOL fActivate) = 0;
    virtual HRESULT STDMETHODCALLTYPE ResizeBorder(LPCRECT prcBorder, IOleInPlaceUIWindow* pUIWindow,
                                                   BOOL fRameWindow) = 0;
    virtual HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG* lpMsg, const GUID* pguidCmdGroup, DWORD nCmdID) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetOptionKeyPath(LPOLESTR* pchKey, DWORD dw) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDropTarget(IDropTarget* pDropTarget, IDropTarget** ppDropTarget) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetExternal(IDispatch** ppDispatch) = 0;
    virtual HRESULT STDMETHODCALLTYPE TranslateUrl(DWORD dwTranslate, LPWSTR pchURLIn, LPWSTR* ppchURLOut) = 0;
    virtual HRESULT STDMETHODCALLTYPE FilterDataObject(IDataObject* pDO, IDataObject** ppDORet) = 0;

protected:
    ~IDocHostUIHandler() = default;
};

struct IDocHostUIHandler2 : IDocHostUIHandler {
    virtual HRESULT STDMETHODCALLTYPE GetOverrideKeyPath(LPOLESTR* pchKey, DWORD dw) = 0;

protected:
    ~IDocHostUIHandler2() = default;
};

// ---- URL security
#define INET_E_INVALID_URL ((HRESULT)0x800C0002L)
#define INET_E_NO_SESSION ((HRESULT)0x800C0003L)
#define INET_E_CANNOT_CONNECT ((HRESULT)0x800C0004L)
#define INET_E_RESOURCE_NOT_FOUND ((HRESULT)0x800C0005L)
#define INET_E_OBJECT_NOT_FOUND ((HRESULT)0x800C0006L)
#define INET_E_DATA_NOT_AVAILABLE ((HRESULT)0x800C0007L)
#define INET_E_DOWNLOAD_FAILURE ((HRESULT)0x800C0008L)
#define INET_E_CONNECTION_TIMEOUT ((HRESULT)0x800C000BL)
#define INET_E_UNKNOWN_PROTOCOL ((HRESULT)0x800C000DL)
#define INET_E_SECURITY_PROBLEM ((HRESULT)0x800C000EL)
#define INET_E_DEFAULT_ACTION ((HRESULT)0x800C0011L)

#define URLACTION_SCRIPT_RUN 0x1400
#define URLACTION_CROSS_DOMAIN_DATA 0x1406
#define URLPOLICY_ALLOW 0x00
#define URLPOLICY_QUERY 0x01
#define URLPOLICY_DISALLOW 0x03
#define PUAF_DEFAULT 0

inline constexpr IID IID_IInternetSecurityManager{
    0x79EAC9EE, 0xBAF9, 0x11CE, {0x8C, 0x82, 0x00, 0xAA, 0x00, 0x4B, 0xA9, 0x0B}};
inline constexpr IID IID_IServiceProvider{0x6D5140C1, 0x7436, 0x11CE, {0x80, 0x34, 0x00, 0xAA, 0x00, 0x60, 0x09, 0xFA}};

struct IInternetSecurityMgrSite;
struct IEnumString;

struct IInternetSecurityManager : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE SetSecuritySite(IInternetSecurityMgrSite* pSite) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetSecuritySite(IInternetSecurityMgrSite** ppSite) = 0;
    virtual HRESULT STDMETHODCALLTYPE MapUrlToZone(LPCWSTR pwszUrl, DWORD* pdwZone, DWORD dwFlags) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetSecurityId(LPCWSTR pwszUrl, BYTE* pbSecurityId, DWORD* pcbSecurityId,
                                                    DWORD_PTR dwReserved) = 0;
    virtual HRESULT STDMETHODCALLTYPE ProcessUrlAction(LPCWSTR pwszUrl, DWORD dwAction, BYTE* pPolicy, DWORD cbPolicy,
                                                       BYTE* pContext, DWORD cbContext, DWORD dwFlags,
                                                       DWORD dwReserved) = 0;
    virtual HRESULT STDMETHODCALLTYPE QueryCustomPolicy(LPCWSTR pwszUrl, REFGUID guidKey, BYTE** ppPolicy,
                                                        DWORD* pcbPolicy, BYTE* pContext, DWORD cbContext,
                                                        DWORD dwReserved) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetZoneMapping(DWORD dwZone, LPCWSTR lpszPattern, DWORD dwFlags) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetZoneMappings(DWORD dwZone, IEnumString** ppenumString, DWORD dwFlags) = 0;

protected:
    ~IInternetSecurityManager() = default;
};

struct IServiceProvider : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE QueryService(REFGUID guidService, REFIID riid, void** ppvObject) = 0;

protected:
    ~IServiceProvider() = default;
};
#endif
