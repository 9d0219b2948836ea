// How long the launcher waits on a server: every transfer limit in one
// place. A slow server is given up, not waited for: the caller's retries
// (and, for files, their digests) take it from there.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

struct TransferLimits {
    // A transfer that falls further behind this rate than one rateWindow's
    // worth of bytes is given up.
    std::uint32_t minimumBytesPerSecond;
    // How far a streamed file may fall behind the minimum rate, and so how
    // long its first read may take at most beyond its bytes at that rate.
    std::chrono::milliseconds rateWindow;
    // The longest wait for an answer's headers, and how far a small body
    // read whole (answers, manifests, lists) may fall behind: a stalled
    // manifest is retried 25 times by the retry rules, so this bounds it.
    std::chrono::milliseconds answerWait;
};

inline constexpr TransferLimits kTransferLimits{1024, std::chrono::seconds(60), std::chrono::seconds(10)};

// The limits in force: kTransferLimits unless a test shortened them.
TransferLimits CurrentTransferLimits();

// For tests only: limits short enough to watch a stall or a trickle given
// up in a test's time. An empty value restores kTransferLimits.
void SetTransferLimitsForTesting(std::optional<TransferLimits> limits);
