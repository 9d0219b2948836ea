// The exceptions of the HTTP layer: a message holder and the client
// exception with the layer's error code and the saved Win32 error, each as a
// wide and a narrow twin.
#pragma once

#include "platform/win_types.h"

#include <exception>
#include <memory>
#include <string>

namespace Drelk {

template <typename CharType>
class errmsg_exceptionT : public std::exception {
public:
    errmsg_exceptionT() noexcept = default;
    // A null text leaves the exception without a message.
    explicit errmsg_exceptionT(const CharType* szErrMsg);
    ~errmsg_exceptionT() override = default;

    // The class name for the wide twin, the message itself for the narrow one.
    const char* what() const noexcept override;
    // The message, or "NULL" when there is none.
    virtual const CharType* GetMessageText() const noexcept;
    // Replaces the message with a copy of szErrMsg; null leaves none.
    virtual void SetMessageText(const CharType* szErrMsg);

private:
    // Shared and immutable, so copying an exception while it is thrown
    // cannot fail.
    std::shared_ptr<const std::basic_string<CharType>> m_pszErrMsg;
};

template <typename CharType>
class httpclientexceptionT : public errmsg_exceptionT<CharType> {
public:
    // Without a text the message is the code's text (ErrorMessageOf).
    explicit httpclientexceptionT(DWORD dwErrorCode = 0, DWORD dwWin32LastError = 0);
    httpclientexceptionT(const CharType* szErrMsg, DWORD dwErrorCode, DWORD dwWin32LastError = 0);

    const char* what() const noexcept override;

    DWORD GetErrorCode() const noexcept { return m_dwErrorCode; }
    DWORD GetWin32Error() const noexcept { return m_dwWin32LastError; }

private:
    DWORD m_dwErrorCode = 0;
    DWORD m_dwWin32LastError = 0;
};

using errmsg_exceptionW = errmsg_exceptionT<wchar_t>;
using errmsg_exceptionA = errmsg_exceptionT<char>;
using httpclientexceptionW = httpclientexceptionT<wchar_t>;
using httpclientexceptionA = httpclientexceptionT<char>;

extern template class errmsg_exceptionT<wchar_t>;
extern template class errmsg_exceptionT<char>;
extern template class httpclientexceptionT<wchar_t>;
extern template class httpclientexceptionT<char>;

}  // namespace Drelk
