// Component objects as the browser control and its host talk: IUnknown,
// IDispatch with VARIANT arguments, BSTR strings. Only what the page's
// external object and the host interfaces use.
#pragma once

#include "platform/win_types.h"

#ifdef _WIN32
#include <oaidl.h>
#include <oleauto.h>
#else
#define STDMETHODCALLTYPE
#define DISP_E_MEMBERNOTFOUND ((HRESULT)0x80020003L)
#define DISP_E_UNKNOWNNAME ((HRESULT)0x80020006L)
#define DISP_E_BADPARAMCOUNT ((HRESULT)0x8002000EL)
#define DISP_E_TYPEMISMATCH ((HRESULT)0x80020005L)

using OLECHAR = wchar_t;
using LPOLESTR = OLECHAR*;
using LPCOLESTR = const OLECHAR*;
// Length-prefixed, zero-terminated wide text from SysAllocString.
using BSTR = OLECHAR*;
using DISPID = LONG;
using LCID = DWORD;
using VARTYPE = std::uint16_t;
using VARIANT_BOOL = std::int16_t;

BSTR SysAllocString(const OLECHAR* psz);
void SysFreeString(BSTR bstrString);
UINT SysStringLen(BSTR pbstr);

inline constexpr IID IID_IUnknown{0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_IDispatch{0x00020400, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_NULL{0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};

struct IUnknown {
    virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) = 0;
    virtual ULONG STDMETHODCALLTYPE AddRef() = 0;
    virtual ULONG STDMETHODCALLTYPE Release() = 0;

protected:
    ~IUnknown() = default;
};
using LPUNKNOWN = IUnknown*;

struct IDispatch;
using LPDISPATCH = IDispatch*;

enum VARENUM : VARTYPE { VT_EMPTY = 0, VT_NULL = 1, VT_I4 = 3, VT_BSTR = 8, VT_DISPATCH = 9, VT_BOOL = 11 };

struct VARIANT {
    VARTYPE vt = VT_EMPTY;
    union {
        LONG lVal;
        BSTR bstrVal;
        IDispatch* pdispVal;
        VARIANT_BOOL boolVal;
    };
};
void VariantInit(VARIANT* pvarg);
// Frees a BSTR or releases an object the variant holds; leaves it VT_EMPTY.
HRESULT VariantClear(VARIANT* pvarg);

// Arguments in reverse order, as the caller pushed them.
struct DISPPARAMS {
    VARIANT* rgvarg = nullptr;
    DISPID* rgdispidNamedArgs = nullptr;
    UINT cArgs = 0;
    UINT cNamedArgs = 0;
};
struct EXCEPINFO;
struct ITypeInfo;

#define DISPATCH_METHOD 0x1
#define DISP_E_BADINDEX ((HRESULT)0x8002000BL)

// In Windows' method order, so that one implementation serves both systems.
struct IDispatch : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* pctinfo) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid,
                                                    DISPID* rgDispId) = 0;
    virtual HRESULT STDMETHODCALLTYPE Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags,
                                             DISPPARAMS* pDispParams, VARIANT* pVarResult, EXCEPINFO* pExcepInfo,
                                             UINT* puArgErr) = 0;

protected:
    ~IDispatch() = default;
};
#endif
