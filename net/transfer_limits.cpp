#include "net/transfer_limits.h"

#include <mutex>

namespace {

std::mutex g_limitsLock;
std::optional<TransferLimits> g_testLimits;  // guarded by g_limitsLock

}  // namespace

TransferLimits CurrentTransferLimits() {
    std::lock_guard<std::mutex> hold(g_limitsLock);
    return g_testLimits.value_or(kTransferLimits);
}

void SetTransferLimitsForTesting(std::optional<TransferLimits> limits) {
    std::lock_guard<std::mutex> hold(g_limitsLock);
    g_testLimits = limits;
}
