// Transfer limits short enough to watch a stalled or trickling server given
// up within a test, restored when the object goes. Still far below what a
// loopback transfer manages, even under the sanitizers.
#pragma once

#include "net/transfer_limits.h"

namespace testsupport {

class ShortTransferLimits {
public:
    static constexpr TransferLimits kLimits{64 * 1024, std::chrono::milliseconds(300), std::chrono::milliseconds(300)};

    ShortTransferLimits() { SetTransferLimitsForTesting(kLimits); }
    ~ShortTransferLimits() { SetTransferLimitsForTesting(std::nullopt); }
    ShortTransferLimits(const ShortTransferLimits&) = delete;
    ShortTransferLimits& operator=(const ShortTransferLimits&) = delete;
};

}  // namespace testsupport
