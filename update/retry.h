// The retry rule of every fetch of the update protocol: up to five attempts,
// waiting 1, 2, 4 and 8 seconds between them and not after the last.
#pragma once

#include <functional>

constexpr int kFetchAttempts = 5;
constexpr unsigned kFirstRetryWaitMs = 1000;

// Runs attempt until it returns true; false when all attempts failed.
// giveUp, when given, is asked after each failed attempt: true ends the
// retries at once, without the wait, for a failure that waiting cannot mend.
bool RetryWithBackoff(const std::function<bool()>& attempt, const std::function<bool()>& giveUp = {});
