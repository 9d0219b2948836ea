#include "net/http/http_client_map.h"

#include "net/http/http_tool.h"

#include <algorithm>
#include <new>

namespace Drelk {

template <typename HttpTool>
void CHttpClientMapT<HttpTool>::Add(const CharType* szName, const CharType* szValue, DWORD dwFlags) {
    if (!szName)
        HttpTool::ThrowException("CHttpClientMapT::AddPointerDirectly: szName can not be NULL.");
    StringPtr szNameCopy = HttpTool::StringCopy(szName);
    StringPtr szValueCopy = HttpTool::StringCopy(szValue);
    Insert(std::move(szNameCopy), std::move(szValueCopy), dwFlags);
}

template <typename HttpTool>
void CHttpClientMapT<HttpTool>::AddPointerDirectly(StringPtr szName, StringPtr szValue) {
    if (!szName)
        HttpTool::ThrowException("CHttpClientMapT::AddPointerDirectly: szName can not be NULL.");
    Insert(std::move(szName), std::move(szValue), 0);
}

template <typename HttpTool>
void CHttpClientMapT<HttpTool>::Remove(const CharType* szName) {
    if (!szName)
        return;
    std::erase_if(m_entries,
                  [szName](const Entry& entry) { return HttpTool::StringICompare(entry.szName.get(), szName) == 0; });
}

template <typename HttpTool>
void CHttpClientMapT<HttpTool>::Insert(StringPtr szName, StringPtr szValue, DWORD dwFlags) {
    const auto position = std::upper_bound(m_entries.begin(), m_entries.end(), szName.get(),
                                           [](const CharType* szKey, const Entry& entry) {
                                               return HttpTool::StringICompare(szKey, entry.szName.get()) < 0;
                                           });
    try {
        m_entries.insert(position, Entry{std::move(szName), std::move(szValue), dwFlags});
    } catch (const std::bad_alloc&) {
        HttpTool::ThrowException(102);
    }
}

template class CHttpClientMapT<CHttpToolW>;

}  // namespace Drelk
