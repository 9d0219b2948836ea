// The download product over the HTTP client: GETs a URL and either reads the
// whole small answer into memory or streams it into a file through a lent
// transfer buffer.
#pragma once

#include "net/http/http_client.h"
#include "net/inet_product.h"
#include "net/request_diag.h"
#include "net/transfer_watch.h"

#include <cstdint>
#include <cstdio>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <string>

class CHttpProduct : public CInetProduct {
public:
    // Reads of the body while saving.
    static constexpr DWORD kReadSize = 10240;
    // INTERNET_MAX_URL_LENGTH and MAX_PATH, without the terminators.
    static constexpr std::size_t kMaxUrlLength = 2083;
    static constexpr std::size_t kMaxPathLength = 259;

    // The buffer is lent, never freed here. A buffer that cannot take one
    // whole read (1 to 10,239 bytes) or a missing one is refused: the
    // product then has no buffer, as one made with size 0, and Save writes
    // no file.
    CHttpProduct(DWORD cbBuffer, BYTE* pBuffer);
    ~CHttpProduct() override;
    CHttpProduct(const CHttpProduct&) = delete;
    CHttpProduct& operator=(const CHttpProduct&) = delete;

    // A URL and suffix longer than kMaxUrlLength, or a relative start outside
    // the URL, is refused with 0 before anything is sent. An answer whose
    // headers do not come within the answer wait (transfer_limits.h) fails.
    int Open(const wchar_t* szUrl, const wchar_t* szSuffix, int nRelativeStart, DWORD nReserved) override;
    // Reads no further than the answer's Content-Length, and fails when the
    // body falls behind the minimum rate by more than the answer wait. A
    // body without a length may take several calls: each goes on where the
    // last ended, under one rate budget, until a read of 0 ends the body.
    bool ReadAll(BYTE* pbyBuff, DWORD cbCapacity, DWORD* pcbRead) override;
    // A path longer than kMaxPathLength leaves no destination, so that a
    // later Save writes nothing rather than into an earlier file.
    const wchar_t* SetSavePath(const wchar_t* szPath) override;
    int SaveTo(const wchar_t* szPath) override;
    // Takes no more of the body than its Content-Length, nor than the body
    // limit: an answer announcing more than the limit gives an empty file.
    // A body that falls behind the minimum rate by more than the rate window
    // is given up like a failed read, keeping what arrived.
    int Save() override;
    // The most Save takes of any body; what a caller knows the file can
    // hold, so that an endless answer cannot fill the disk.
    void SetBodyLimit(std::uint64_t cbLimit) { m_cbBodyLimit = cbLimit; }
    // Sees each block of the body as it is written to the file, so that a
    // caller can digest it on the way instead of reading the file back.
    void SetBodyObserver(std::function<void(const BYTE* pbyData, DWORD cbData)> observer) {
        m_bodyObserver = std::move(observer);
    }
    DWORD GetTotalSize() override { return m_nTotal; }
    DWORD GetReceivedSize() override { return m_nReceived; }
    // 0 while the total is unknown (0).
    float GetPercent() override;
    bool ToggleStop() override;
    bool IsStopped() override { return m_bStop; }

protected:
    // Writes one block of the buffer as a single unit; 1 when it was written
    // whole, 0 otherwise (always 0 for an empty block). Tests watch the
    // blocks through it.
    virtual std::size_t WriteBlock(std::FILE* pFile, const BYTE* pbyData, DWORD cbData);

private:
    // The bytes of the body to take at most: the Content-Length of this
    // answer, when it has one, and the body limit.
    std::uint64_t BodyBound() const;

    bool m_bStop = false;
    std::unique_ptr<Drelk::CHttpClient> m_pClient;
    // Watches the exchange of m_pResponse, which it outlives.
    std::unique_ptr<CTransferWatch> m_pWatch;
    std::unique_ptr<Drelk::CHttpResponse> m_pResponse;
    BYTE* m_pBuffer = nullptr;
    DWORD m_cbBuffer = 0;
    std::wstring m_szUrl;
    std::wstring m_szSavePath;
    DWORD m_nReceived = 0;
    DWORD m_nTotal = 0;
    DWORD m_nReserved = 0;
    // The Content-Length of this answer; m_nTotal keeps an earlier one.
    std::optional<DWORD> m_nAnnounced;
    // What ReadAll took of this answer's body so far.
    std::uint64_t m_cbReadWhole = 0;
    std::uint64_t m_cbBodyLimit = std::numeric_limits<std::uint64_t>::max();
    std::function<void(const BYTE*, DWORD)> m_bodyObserver;
    CRequestDiag m_diag;
};
