#include "net/http_product.h"

#include "platform/crt.h"
#include "platform/shell32.h"
#include "platform/text.h"
#include "platform/thread_stop.h"
#include "state/controller.h"
#include "state/launcher_settings.h"
#include "state/message_table.h"
#include "state/view_broser.h"

#include <algorithm>
#include <cwchar>
#include <limits>
#include <new>
#include <string_view>
#include <utility>

namespace {

// RELOAD | NO_CACHE_WRITE | KEEP_CONNECTION | RESYNCHRONIZE | HYPERLINK |
// NO_UI | PRAGMA_NOCACHE
constexpr DWORD kRequestFlags = 0x84400F00u;
static_assert(kRequestFlags == (INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_KEEP_CONNECTION |
                                INTERNET_FLAG_RESYNCHRONIZE | INTERNET_FLAG_HYPERLINK | INTERNET_FLAG_NO_UI |
                                INTERNET_FLAG_PRAGMA_NOCACHE));

struct FileCloser {
    void operator()(std::FILE* pFile) const { std::fclose(pFile); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// The file name without its folder and without its last extension; a kept
// part ("NAME.lz.part") is named as the file it becomes.
std::wstring BareFileName(const std::wstring& strPath) {
    constexpr std::wstring_view kPart = L".part";
    std::wstring strName = strPath;
    if (strName.size() > kPart.size() && strName.compare(strName.size() - kPart.size(), kPart.size(), kPart) == 0)
        strName.resize(strName.size() - kPart.size());
    ::PathStripPathW(strName.data());
    ::PathRemoveExtensionW(strName.data());
    strName.resize(std::wcslen(strName.c_str()));
    return strName;
}

}  // namespace

CHttpProduct::CHttpProduct(DWORD cbBuffer, BYTE* pBuffer) {
    if (pBuffer && cbBuffer >= kReadSize) {
        m_pBuffer = pBuffer;
        m_cbBuffer = cbBuffer;
    }
    // Without a client every Open fails; the product itself stays usable.
    try {
        m_pClient = std::make_unique<Drelk::CHttpClient>();
    } catch (const std::bad_alloc&) {
    }
}

CHttpProduct::~CHttpProduct() {
    // The response's request belongs to the client's connection.
    m_pResponse.reset();
    m_pClient.reset();
}

void CHttpProduct::ResumeFrom(std::uint64_t nOffset, std::wstring strValidator) {
    m_nAskedOffset = nOffset;
    m_strAskedValidator = std::move(strValidator);
}

bool CHttpProduct::ParseContentRange(const std::wstring& strValue, std::uint64_t& nFirst, std::uint64_t& nLast,
                                     std::uint64_t& nTotal) {
    // At most 18 digits a number: no overflow.
    std::size_t nAt = 0;
    const auto number = [&](std::uint64_t& nValue, wchar_t chEnd) {
        const std::size_t nStart = nAt;
        nValue = 0;
        while (nAt < strValue.size() && strValue[nAt] >= L'0' && strValue[nAt] <= L'9' && nAt - nStart < 18)
            nValue = nValue * 10 + static_cast<std::uint64_t>(strValue[nAt++] - L'0');
        if (nAt == nStart || (chEnd != 0 && (nAt >= strValue.size() || strValue[nAt] != chEnd)))
            return false;
        if (chEnd != 0)
            ++nAt;
        return true;
    };
    if (strValue.compare(0, 6, L"bytes ") != 0)
        return false;
    nAt = 6;
    std::uint64_t nA = 0, nB = 0, nC = 0;
    if (!number(nA, L'-') || !number(nB, L'/') || !number(nC, 0) || nAt != strValue.size())
        return false;
    if (nA > nB || nB >= nC)
        return false;
    nFirst = nA;
    nLast = nB;
    nTotal = nC;
    return true;
}

std::optional<std::uint64_t> CHttpProduct::GetObjectSize() const {
    if (m_dwStatus == 206)
        return m_contentRange ? std::optional<std::uint64_t>(m_contentRange->total) : std::nullopt;
    if (m_dwStatus == 200 && m_nAnnounced)
        return std::uint64_t{*m_nAnnounced};
    return std::nullopt;
}

bool CHttpProduct::ContinuesAt(std::uint64_t nOffset, std::uint64_t nTotal, const std::wstring& strValidator) const {
    if (m_dwStatus != 206 || !m_contentRange || m_contentRange->first != nOffset || m_contentRange->total != nTotal ||
        m_contentRange->last + 1 != nTotal)
        return false;
    if (m_nAnnounced && *m_nAnnounced != nTotal - nOffset)
        return false;
    return m_strValidator.empty() || m_strValidator == strValidator;
}

std::uint64_t CHttpProduct::ContinuedFrom() const {
    if (m_nResumeOffset != 0 && m_dwStatus == 206 && m_contentRange && m_contentRange->first == m_nResumeOffset)
        return m_nResumeOffset;
    return 0;
}

int CHttpProduct::Open(const wchar_t* szUrl, const wchar_t* szSuffix, int nRelativeStart, DWORD nReserved) {
    m_pResponse.reset();
    m_pWatch.reset();
    m_nAnnounced.reset();
    m_cbReadWhole = 0;
    m_dwStatus = 0;
    m_strValidator.clear();
    m_contentRange.reset();
    // A resume is asked for one request only.
    m_nResumeOffset = std::exchange(m_nAskedOffset, 0);
    const std::wstring strIfRange = std::exchange(m_strAskedValidator, std::wstring());
    int nResult = 0;
    try {
        const std::wstring_view strUrl = szUrl ? szUrl : L"";
        const std::wstring_view strSuffix = szSuffix ? szSuffix : L"";
        if (!m_pClient || strUrl.size() + strSuffix.size() > kMaxUrlLength || nRelativeStart < 0 ||
            static_cast<std::size_t>(nRelativeStart) > strUrl.size()) {
            m_diag.Begin(std::wstring(strUrl) + std::wstring(strSuffix));
            m_diag.Failed(L"not sent: no client, an address past 2083 characters or a start outside it");
            return 0;
        }

        m_szUrl = strUrl;

        // The default destination mirrors the URL below the update folder.
        // Callers replace it through SaveTo; one that does not fit is left
        // out rather than cut.
        std::wstring strSavePath = g_settings.dataFolder + L"\\Update\\";
        strSavePath += strUrl.substr(static_cast<std::size_t>(nRelativeStart));
        std::replace(strSavePath.begin(), strSavePath.end(), L'/', L'\\');
        if (strSavePath.size() <= kMaxPathLength)
            m_szSavePath = std::move(strSavePath);
        else
            m_szSavePath.clear();

        m_szUrl += strSuffix;
        m_nReserved = nReserved;

        wchar_t szRange[32];
        std::swprintf(szRange, std::size(szRange), L"bytes=%llu-", static_cast<unsigned long long>(m_nResumeOffset));
        // One Range header per request, however often the product is opened,
        // and an If-Range only with the resume that asked for it.
        m_pClient->RemoveHeader(L"Range");
        m_pClient->AddHeader(L"Range", szRange);
        m_pClient->RemoveHeader(L"If-Range");
        if (m_nResumeOffset != 0 && !strIfRange.empty())
            m_pClient->AddHeader(L"If-Range", strIfRange.c_str());

        m_diag.Begin(m_szUrl);
        m_pWatch = std::make_unique<CTransferWatch>(CurrentTransferLimits());
        m_pWatch->AwaitAnswer();
        m_pResponse = m_pClient->Get(m_szUrl.c_str(), kRequestFlags, &m_pWatch->Canceller());
        m_pWatch->Idle();

        const DWORD dwStatus = m_pResponse->GetStatus();
        m_dwStatus = dwStatus;
        if (dwStatus == 200 || dwStatus == 206) {
            DWORD nLength = 0;
            if (m_pResponse->GetContentLength(nLength)) {
                m_nTotal = nLength;
                m_nAnnounced = nLength;
            }
            if (!m_pResponse->GetHeaderText(HTTP_QUERY_ETAG, m_strValidator))
                m_pResponse->GetHeaderText(HTTP_QUERY_LAST_MODIFIED, m_strValidator);
            std::wstring strRange;
            ContentRange range;
            if (dwStatus == 206 && m_pResponse->GetHeaderText(HTTP_QUERY_CONTENT_RANGE, strRange) &&
                ParseContentRange(strRange, range.first, range.last, range.total))
                m_contentRange = range;
            // A continued file's progress runs to the whole object's size.
            if (ContinuedFrom() != 0 && m_contentRange->total <= std::numeric_limits<DWORD>::max())
                m_nTotal = static_cast<DWORD>(m_contentRange->total);
            nResult = 1;
        }
        m_diag.Answered(dwStatus, nResult ? m_nTotal : 0);
    } catch (const Drelk::httpclientexceptionW& error) {
        m_diag.Failed(TransferErrorText(error));
        nResult = 0;
    } catch (const std::exception& error) {
        m_diag.Failed(platform::FromUtf8(error.what()));
        nResult = 0;
    }
    return nResult;
}

bool CHttpProduct::ReadAll(BYTE* pbyBuff, DWORD cbCapacity, DWORD* pcbRead) {
    DWORD dwConnectedFlags = 0;
    if (cbCapacity < m_nTotal || !m_pResponse || !::InternetGetConnectedState(&dwConnectedFlags, 0)) {
        if (m_pResponse)
            m_diag.BodyFailed(0, m_nTotal,
                              cbCapacity < m_nTotal
                                  ? L"larger than the " + std::to_wstring(cbCapacity) + L" bytes expected"
                                  : L"no internet connection");
        return false;
    }
    try {
        // An empty capacity still goes to the read, which refuses it.
        const std::uint64_t cbBound = BodyBound(0);
        const std::uint64_t cbLeft = cbBound > m_cbReadWhole ? cbBound - m_cbReadWhole : 0;
        const auto cbAsk = static_cast<DWORD>(std::min<std::uint64_t>(cbCapacity, cbLeft));
        DWORD cbRead = 0;
        if (cbAsk != 0 || cbCapacity == 0) {
            // One budget for the whole body, however many calls read it.
            if (m_cbReadWhole == 0)
                m_pWatch->BeginBody(true);
            m_pWatch->BeginRead(cbAsk);
            cbRead = m_pResponse->ReadContent(pbyBuff, cbAsk);
            if (!m_pWatch->EndRead(cbRead))
                return false;
        }
        m_cbReadWhole += cbRead;
        if (pcbRead)
            *pcbRead = cbRead;
        // The log gets the first read and the body's end, not every round
        // in between.
        const bool bMayGoOn = cbRead != 0 && cbRead == cbAsk && m_cbReadWhole < cbBound;
        if (!bMayGoOn || m_cbReadWhole == cbRead)
            m_diag.BodyDone(m_cbReadWhole, m_nTotal, L"read");
        return true;
    } catch (const Drelk::httpclientexceptionW& error) {
        m_diag.BodyFailed(m_cbReadWhole, m_nTotal, TransferErrorText(error));
        return false;
    } catch (const std::exception& error) {
        m_diag.BodyFailed(m_cbReadWhole, m_nTotal, platform::FromUtf8(error.what()));
        return false;
    }
}

const wchar_t* CHttpProduct::SetSavePath(const wchar_t* szPath) {
    const std::wstring_view strPath = szPath ? szPath : L"";
    if (strPath.size() <= kMaxPathLength)
        m_szSavePath = strPath;
    else
        m_szSavePath.clear();
    return m_szSavePath.c_str();
}

int CHttpProduct::SaveTo(const wchar_t* szPath) {
    std::wstring strPath = szPath ? szPath : L"";
    std::replace(strPath.begin(), strPath.end(), L'/', L'\\');
    SetSavePath(strPath.c_str());
    return Save();
}

int CHttpProduct::Save() {
    CViewBroser* pView = GetViewBroser();
    FilePtr pFile;
    // An answer that continues the file appends to what it holds.
    const std::uint64_t nHeld = ContinuedFrom();
    m_cbSaved = 0;
    if (m_cbBuffer != 0 && m_pResponse && !m_szSavePath.empty()) {
        m_nReceived = 0;

        std::wstring strFolder = m_szSavePath;
        if (::PathRemoveFileSpecW(strFolder.data()))
            ::SHCreateDirectoryExW(nullptr, strFolder.c_str(), nullptr);

        pFile.reset(::_wfopen(m_szSavePath.c_str(), nHeld != 0 ? L"ab" : L"wb+"));
        // The blocks are large already: stdio's buffer would only copy them
        // once more and hold a tail back until the file is closed.
        if (pFile)
            std::setvbuf(pFile.get(), nullptr, _IONBF, 0);
        else
            m_diag.BodyFailed(0, m_nTotal, L"cannot create " + m_szSavePath);
        // The rest of a file only follows exactly the bytes it was asked after.
        if (pFile && nHeld != 0 && platform::CFileSize(pFile.get()) != static_cast<std::int64_t>(nHeld)) {
            pFile.reset();
            m_diag.BodyFailed(0, m_nTotal,
                              L"cannot continue " + m_szSavePath + L": it does not hold the " + std::to_wstring(nHeld) +
                                  L" bytes asked after");
        }
    }

    if (pFile) {
        pView->SetDetailText(BareFileName(m_szSavePath));

        // The view gets the 64-bit count, so a body over 4 GiB does not send
        // the progress backwards; m_nReceived stops at its largest value.
        std::uint64_t nReceived = nHeld;
        m_cbSaved = nHeld;
        DWORD cbFill = 0;
        bool bAbandoned = false;
        const std::uint64_t cbBound = nHeld + BodyBound(nHeld);
        // The bytes a continued file holds count as done.
        if (nHeld != 0)
            pView->AddDone(static_cast<std::int64_t>(nHeld));
        m_pWatch->BeginBody(false);
        std::wstring strFailure;
        try {
            for (;;) {
                if (GetController()->closing) {
                    bAbandoned = true;
                    strFailure = L"stopped: the launcher is closing";
                    break;
                }
                // At the bound the body counts as ended, as if a read had
                // returned 0; more is never asked for.
                const auto cbAsk = static_cast<DWORD>(std::min<std::uint64_t>(kReadSize, cbBound - nReceived));
                DWORD cbRead = 0;
                bool bBehind = false;
                if (cbAsk != 0) {
                    m_pWatch->BeginRead(cbAsk);
                    cbRead = m_pResponse->ReadContent(m_pBuffer + cbFill, cbAsk);
                    bBehind = !m_pWatch->EndRead(cbRead);
                }
                cbFill += cbRead;
                nReceived += cbRead;
                m_nReceived = static_cast<DWORD>(std::min<std::uint64_t>(nReceived, std::numeric_limits<DWORD>::max()));

                pView->SetStageText(g_messages.entries[message::kDownloadingClient]);
                pView->SetDone(0, static_cast<std::int64_t>(nReceived));
                pView->SetTotal(0, m_nTotal);
                pView->AddDone(cbRead);

                // Too slow: given up like a failed read.
                if (bBehind) {
                    bAbandoned = true;
                    strFailure = L"given up: slower than the minimum rate";
                    break;
                }
                if (std::uint64_t{cbFill} + kReadSize <= m_cbBuffer && cbRead != 0)
                    continue;
                if (WriteBlock(pFile.get(), m_pBuffer, cbFill) == 0) {
                    strFailure = L"cannot write " + m_szSavePath;
                    break;
                }
                m_cbSaved += cbFill;
                if (m_bodyObserver && cbFill != 0)
                    m_bodyObserver(m_pBuffer, cbFill);
                cbFill = 0;
                if (cbRead == 0)
                    break;
            }
        } catch (const Drelk::httpclientexceptionW& error) {
            bAbandoned = true;
            strFailure = TransferErrorText(error);
        } catch (const std::exception& error) {
            bAbandoned = true;
            strFailure = platform::FromUtf8(error.what());
        }
        // A stop or a failed read keeps what arrived so far.
        if (bAbandoned && WriteBlock(pFile.get(), m_pBuffer, cbFill) != 0) {
            m_cbSaved += cbFill;
            if (m_bodyObserver)
                m_bodyObserver(m_pBuffer, cbFill);
        }
        pFile.reset();
        if (strFailure.empty())
            m_diag.BodyDone(nReceived, m_nTotal, L"saved to " + m_szSavePath);
        else
            m_diag.BodyFailed(nReceived, m_nTotal, strFailure);
    }

    pView->SetDetailText(g_messages.entries[message::kDownloadFinished]);
    return 1;
}

std::size_t CHttpProduct::WriteBlock(std::FILE* pFile, const BYTE* pbyData, DWORD cbData) {
    // A thread stopped from outside writes nothing more; a write under way
    // ends before the stop request returns, since the buffer is shared.
    platform::StopPoint();
    platform::VisibleStep step;
    if (!step.Allowed())
        return 0;
    return std::fwrite(pbyData, cbData, 1, pFile);
}

std::uint64_t CHttpProduct::BodyBound(std::uint64_t nHeld) const {
    const std::uint64_t cbLimit = m_cbBodyLimit > nHeld ? m_cbBodyLimit - nHeld : 0;
    if (!m_nAnnounced)
        return cbLimit;
    // A body announced larger than the limit cannot be what the caller
    // expects: none of it is worth the transfer.
    return *m_nAnnounced <= cbLimit ? *m_nAnnounced : 0;
}

float CHttpProduct::GetPercent() {
    if (m_nTotal == 0)
        return 0.0f;
    return static_cast<float>(static_cast<double>(m_nReceived) / static_cast<double>(m_nTotal) * 100.0);
}

bool CHttpProduct::ToggleStop() {
    m_bStop = !m_bStop;
    return m_bStop;
}
