// What one request of a download product did, for the diagnostic log: the
// URL, the status or the transfer error, the bytes and the time taken.
#pragma once

#include "net/http/http_exception.h"

#include <chrono>
#include <cstdint>
#include <string>

// The layer's text with the WinINet error it saved, in words:
// "::HttpSendRequest failed. (WinINet 12029: cannot connect)".
std::wstring TransferErrorText(const Drelk::httpclientexceptionW& error);

class CRequestDiag {
public:
    // The request is about to be sent; its time starts now.
    void Begin(const std::wstring& url);
    // The answer's status and, for 200 and 206, its announced length; any
    // other status is a problem.
    void Answered(unsigned long status, std::uint64_t length);
    // No answer (or it was never sent): why.
    void Failed(const std::wstring& why);
    // The body arrived whole (received equals the announced length, or none
    // was announced) or came short, which is a problem; where says what
    // became of it ("read", "saved to PATH").
    void BodyDone(std::uint64_t received, std::uint64_t announced, const std::wstring& where);
    // The body's transfer ended with an error after received bytes.
    void BodyFailed(std::uint64_t received, std::uint64_t announced, const std::wstring& why);

private:
    std::wstring Elapsed() const;

    std::wstring m_url;
    std::chrono::steady_clock::time_point m_started{};
};
