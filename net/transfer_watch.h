// Keeps one exchange of a download product within the transfer limits: the
// answer's headers within the answer wait, the body at the minimum rate. Its
// own thread closes the request once a blocking call passes its deadline;
// WinINet then fails that call, the one way to free a thread blocked in it,
// on Windows as on the stand-in.
#pragma once

#include "net/http/request_cancel.h"
#include "net/rate_budget.h"
#include "net/transfer_limits.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <thread>

class CTransferWatch {
public:
    using Clock = CRateBudget::Clock;

    explicit CTransferWatch(const TransferLimits& limits);
    ~CTransferWatch();
    CTransferWatch(const CTransferWatch&) = delete;
    CTransferWatch& operator=(const CTransferWatch&) = delete;

    // What the HTTP client hands the request to.
    Drelk::CRequestCancel& Canceller() { return m_cancel; }

    // The answer's headers are awaited from now on.
    void AwaitAnswer();
    // The body begins. A small body read whole may fall behind the minimum
    // rate by the answer wait; a streamed file by the rate window.
    void BeginBody(bool bReadWhole);
    // A read of cbAsked bytes begins now.
    void BeginRead(std::uint64_t cbAsked);
    // The read returned cbRead bytes; false when the transfer has fallen
    // behind the minimum rate or the watch cut it off.
    bool EndRead(std::uint64_t cbRead);
    // Nothing is awaited until the next call.
    void Idle();
    // True once the watch has closed the request.
    bool Expired();

private:
    void Arm(Clock::time_point deadline);
    void Run();

    const TransferLimits m_limits;
    Drelk::CRequestCancel m_cancel;
    std::optional<CRateBudget> m_budget;  // the owner's thread only

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::optional<Clock::time_point> m_deadline;  // guarded by m_mutex
    bool m_bExpired = false;                      // guarded by m_mutex
    bool m_bStopping = false;                     // guarded by m_mutex
    // Last: it runs once everything above exists.
    std::thread m_thread;
};
