#include "net/rate_budget.h"

#include <algorithm>

namespace {

// Beyond any transfer's life; keeps the time arithmetic far from overflow.
constexpr double kLongestWaitSeconds = 1e7;

}  // namespace

CRateBudget::CRateBudget(std::uint32_t bytesPerSecond, std::chrono::milliseconds grace, Clock::time_point start)
    : m_bytesPerSecond(std::max<double>(bytesPerSecond, 1.0)),
      m_maxAhead(m_bytesPerSecond * std::chrono::duration<double>(grace).count()),
      m_ahead(m_maxAhead),
      m_last(start) {}

CRateBudget::Clock::time_point CRateBudget::ReadDeadline(std::uint64_t cbAsked) const {
    const double seconds = std::clamp((std::max(m_ahead, 0.0) + static_cast<double>(cbAsked)) / m_bytesPerSecond, 0.0,
                                      kLongestWaitSeconds);
    return m_last + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

bool CRateBudget::Record(Clock::time_point now, std::uint64_t cbRead) {
    const double elapsed = std::chrono::duration<double>(now - m_last).count();
    m_ahead = std::min(m_maxAhead, m_ahead - m_bytesPerSecond * elapsed + static_cast<double>(cbRead));
    m_last = now;
    return m_ahead >= 0.0;
}
