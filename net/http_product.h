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

    // "bytes FIRST-LAST/TOTAL" with FIRST <= LAST < TOTAL; none for anything
    // else ("bytes */TOTAL", an unknown total, other units).
    static bool ParseContentRange(const std::wstring& strValue, std::uint64_t& nFirst, std::uint64_t& nLast,
                                  std::uint64_t& nTotal);

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
    // The next Open (only that one) asks for the body from byte nOffset on
    // ("Range: bytes=N-"), and, with a validator, only if the object is
    // still the one it names ("If-Range"). Save then appends to its file
    // what an answer that continues at nOffset brings (ContinuesAt).
    void ResumeFrom(std::uint64_t nOffset, std::wstring strValidator);
    // The status of the last answer; 0 when there was none.
    DWORD GetStatus() const { return m_dwStatus; }
    // The last answer's validator: its ETag, else its Last-Modified, as
    // received; empty when it has neither.
    const std::wstring& GetValidator() const { return m_strValidator; }
    // The size of the whole object the last answer is part of: the total
    // of a 206's Content-Range, the Content-Length of a 200; none when the
    // answer does not say.
    std::optional<std::uint64_t> GetObjectSize() const;
    // True when the last answer is a 206 whose Content-Range runs from
    // nOffset to the end of an object of nTotal bytes, with a length (when
    // it has one) of what remains, and a validator, when it has one, equal
    // to strValidator.
    bool ContinuesAt(std::uint64_t nOffset, std::uint64_t nTotal, const std::wstring& strValidator) const;
    // The bytes in the file Save wrote: what it kept, when it continued a
    // file, and what it wrote of this answer.
    std::uint64_t GetSavedSize() const { return m_cbSaved; }
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
    // answer, when it has one, and what the body limit leaves beside the
    // nHeld bytes the file keeps.
    std::uint64_t BodyBound(std::uint64_t nHeld) const;
    // The offset at which the last answer continues the file: the one asked
    // for when it is a 206 that starts there, else 0.
    std::uint64_t ContinuedFrom() const;

    // A 206's "bytes FIRST-LAST/TOTAL", with a known total.
    struct ContentRange {
        std::uint64_t first = 0;
        std::uint64_t last = 0;
        std::uint64_t total = 0;
    };

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
    // Asked for by ResumeFrom for the next Open.
    std::uint64_t m_nAskedOffset = 0;
    std::wstring m_strAskedValidator;
    // The offset the last Open asked from.
    std::uint64_t m_nResumeOffset = 0;
    DWORD m_dwStatus = 0;
    std::wstring m_strValidator;
    std::optional<ContentRange> m_contentRange;
    std::uint64_t m_cbSaved = 0;
    CRequestDiag m_diag;
};
