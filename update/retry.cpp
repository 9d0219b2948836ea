#include "update/retry.h"

#include "platform/kernel32.h"

bool RetryWithBackoff(const std::function<bool()>& attempt) {
    unsigned wait = kFirstRetryWaitMs;
    for (int i = 1;; ++i) {
        if (attempt())
            return true;
        if (i == kFetchAttempts)
            return false;
        Sleep(wait);
        wait *= 2;
    }
}
