#include "net/http/http_exception.h"

#include "net/http/http_error_message.h"

#include <type_traits>

namespace Drelk {

template <typename CharType>
errmsg_exceptionT<CharType>::errmsg_exceptionT(const CharType* szErrMsg) {
    SetMessageText(szErrMsg);
}

template <typename CharType>
const char* errmsg_exceptionT<CharType>::what() const noexcept {
    if constexpr (std::is_same_v<CharType, wchar_t>)
        return "errmsg_exceptionW";
    else
        return GetMessageText();
}

template <typename CharType>
const CharType* errmsg_exceptionT<CharType>::GetMessageText() const noexcept {
    if (!m_pszErrMsg) {
        if constexpr (std::is_same_v<CharType, wchar_t>)
            return L"NULL";
        else
            return "NULL";
    }
    return m_pszErrMsg->c_str();
}

template <typename CharType>
void errmsg_exceptionT<CharType>::SetMessageText(const CharType* szErrMsg) {
    if (szErrMsg)
        m_pszErrMsg = std::make_shared<const std::basic_string<CharType>>(szErrMsg);
    else
        m_pszErrMsg.reset();
}

template <typename CharType>
httpclientexceptionT<CharType>::httpclientexceptionT(DWORD dwErrorCode, DWORD dwWin32LastError)
    : httpclientexceptionT(ErrorMessageOf<CharType>(dwErrorCode), dwErrorCode, dwWin32LastError) {}

template <typename CharType>
httpclientexceptionT<CharType>::httpclientexceptionT(const CharType* szErrMsg, DWORD dwErrorCode,
                                                     DWORD dwWin32LastError)
    : errmsg_exceptionT<CharType>(szErrMsg), m_dwErrorCode(dwErrorCode), m_dwWin32LastError(dwWin32LastError) {}

template <typename CharType>
const char* httpclientexceptionT<CharType>::what() const noexcept {
    if constexpr (std::is_same_v<CharType, wchar_t>)
        return "httpclientexceptionW";
    else
        return this->GetMessageText();
}

template class errmsg_exceptionT<wchar_t>;
template class errmsg_exceptionT<char>;
template class httpclientexceptionT<wchar_t>;
template class httpclientexceptionT<char>;

}  // namespace Drelk
