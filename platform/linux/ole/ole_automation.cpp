// BSTR strings and VARIANT values. A BSTR carries its length in bytes just
// before the text, as callers that take the length rely on.
#include "platform/oaidl.h"

#include <cstring>
#include <cwchar>
#include <new>

namespace {

// Keeps the text aligned for wchar_t whatever the prefix holds.
constexpr std::size_t kPrefix = alignof(std::max_align_t);

}  // namespace

BSTR SysAllocString(const OLECHAR* psz) {
    if (!psz) {
        return nullptr;
    }
    const std::size_t length = std::wcslen(psz);
    auto* block = static_cast<char*>(::operator new(kPrefix + (length + 1) * sizeof(OLECHAR), std::nothrow));
    if (!block) {
        return nullptr;
    }
    const auto bytes = static_cast<std::uint32_t>(length * sizeof(OLECHAR));
    std::memcpy(block + kPrefix - sizeof bytes, &bytes, sizeof bytes);
    auto* text = reinterpret_cast<BSTR>(block + kPrefix);
    std::wmemcpy(text, psz, length + 1);
    return text;
}

void SysFreeString(BSTR bstrString) {
    if (bstrString) {
        ::operator delete(reinterpret_cast<char*>(bstrString) - kPrefix);
    }
}

UINT SysStringLen(BSTR pbstr) {
    if (!pbstr) {
        return 0;
    }
    std::uint32_t bytes = 0;
    std::memcpy(&bytes, reinterpret_cast<const char*>(pbstr) - sizeof bytes, sizeof bytes);
    return bytes / sizeof(OLECHAR);
}

void VariantInit(VARIANT* pvarg) {
    pvarg->vt = VT_EMPTY;
    pvarg->lVal = 0;
}

HRESULT VariantClear(VARIANT* pvarg) {
    if (!pvarg) {
        return E_INVALIDARG;
    }
    if (pvarg->vt == VT_BSTR) {
        SysFreeString(pvarg->bstrVal);
    } else if (pvarg->vt == VT_DISPATCH && pvarg->pdispVal) {
        pvarg->pdispVal->Release();
    }
    VariantInit(pvarg);
    return S_OK;
}
