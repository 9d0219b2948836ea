#include "update/retry.h"

#include "platform/kernel32.h"

bool RetryWithBackoff(const std::function<bool()>& attempt, const std::function<bool()>& giveUp) {
    unsigned wait = kFirstRetryWaitMs;
    for (int i = 1;; ++i) {
        if (attempt())
            return true;
        if (i == kFetchAttempts || (giveUp && giveUp()))
            return false;
        Sleep(wait);
        wait *= 2;
    }
}
