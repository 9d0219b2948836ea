#include "net/request_diag.h"

#include "platform/wininet.h"
#include "state/diag_log.h"

namespace {

const wchar_t kTopic[] = L"request";

const wchar_t* WinInetErrorName(DWORD error) {
    switch (error) {
        case ERROR_INTERNET_TIMEOUT:
            return L"timed out";
        case ERROR_INTERNET_INVALID_URL:
            return L"invalid URL";
        case ERROR_INTERNET_UNRECOGNIZED_SCHEME:
            return L"unknown scheme";
        case ERROR_INTERNET_NAME_NOT_RESOLVED:
            return L"host name not resolved";
        case ERROR_INTERNET_OPERATION_CANCELLED:
            return L"cancelled";
        case ERROR_INTERNET_CANNOT_CONNECT:
            return L"cannot connect";
        case ERROR_INTERNET_CONNECTION_ABORTED:
            return L"connection aborted";
        case ERROR_INTERNET_CONNECTION_RESET:
            return L"connection reset";
        case ERROR_INTERNET_SEC_CERT_DATE_INVALID:
        case ERROR_INTERNET_SEC_CERT_CN_INVALID:
        case ERROR_INTERNET_SEC_CERT_ERRORS:
        case ERROR_INTERNET_SEC_CERT_NO_REV:
        case ERROR_INTERNET_SEC_CERT_REV_FAILED:
        case ERROR_INTERNET_INVALID_CA:
        case ERROR_INTERNET_SECURITY_CHANNEL_ERROR:
            return L"the server's certificate was not accepted";
        case ERROR_HTTP_INVALID_SERVER_RESPONSE:
            return L"invalid server response";
        case ERROR_HTTP_REDIRECT_FAILED:
            return L"redirect failed";
        default:
            return nullptr;
    }
}

}  // namespace

std::wstring TransferErrorText(const Drelk::httpclientexceptionW& error) {
    std::wstring text = error.GetMessageText();
    if (const DWORD code = error.GetWin32Error()) {
        text += L" (WinINet " + std::to_wstring(code);
        if (const wchar_t* name = WinInetErrorName(code))
            text += std::wstring(L": ") + name;
        text += L")";
    }
    return text;
}

void CRequestDiag::Begin(const std::wstring& url) {
    m_url = url;
    m_started = std::chrono::steady_clock::now();
}

std::wstring CRequestDiag::Elapsed() const {
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - m_started).count();
    return L" (" + std::to_wstring(ms) + L" ms)";
}

void CRequestDiag::Answered(unsigned long status, std::uint64_t length) {
    const std::wstring line = L"GET " + m_url + L" -> " + std::to_wstring(status);
    if (status == 200 || status == 206)
        DiagNote(kTopic, line + L", " + std::to_wstring(length) + L" bytes announced" + Elapsed());
    else
        DiagProblem(kTopic, line + Elapsed());
}

void CRequestDiag::Failed(const std::wstring& why) {
    DiagProblem(kTopic, L"GET " + m_url + L" -> no answer: " + why + Elapsed());
}

void CRequestDiag::BodyDone(std::uint64_t received, std::uint64_t announced, const std::wstring& where) {
    const std::wstring line =
        L"GET " + m_url + L": " + std::to_wstring(received) + L" of " + std::to_wstring(announced) + L" bytes " + where;
    if (announced != 0 && received != announced)
        DiagProblem(kTopic, line + L", cut short" + Elapsed());
    else
        DiagNote(kTopic, line + Elapsed());
}

void CRequestDiag::BodyFailed(std::uint64_t received, std::uint64_t announced, const std::wstring& why) {
    DiagProblem(kTopic, L"GET " + m_url + L": the body failed after " + std::to_wstring(received) + L" of " +
                            std::to_wstring(announced) + L" bytes: " + why + Elapsed());
}
