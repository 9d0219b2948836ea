// Whether a transfer keeps up with a minimum rate. It may fall behind the
// rate by at most one grace's worth of bytes, and it banks no more than that
// when it runs ahead, so a fast start buys one grace, not hours of trickle.
// Bytes count when a read returns them: a read of many bytes is judged by
// when it ends, and may take as long as its bytes take at the minimum rate.
#pragma once

#include <chrono>
#include <cstdint>

class CRateBudget {
public:
    using Clock = std::chrono::steady_clock;

    // A rate of 0 is taken as 1 byte per second.
    CRateBudget(std::uint32_t bytesPerSecond, std::chrono::milliseconds grace, Clock::time_point start);

    // The latest end of a read of cbAsked bytes, begun now, that keeps the
    // transfer within its budget.
    Clock::time_point ReadDeadline(std::uint64_t cbAsked) const;
    // Counts cbRead bytes received by `now`; false once the transfer has
    // fallen behind.
    bool Record(Clock::time_point now, std::uint64_t cbRead);

private:
    double m_bytesPerSecond;
    double m_maxAhead;  // bytes: one grace at the minimum rate
    double m_ahead;     // bytes ahead of the minimum rate at m_last; negative when behind
    Clock::time_point m_last;
};
