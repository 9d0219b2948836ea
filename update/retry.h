// The retry rule of every fetch of the update protocol: up to five attempts,
// waiting 1, 2, 4 and 8 seconds between them and not after the last.
#pragma once

#include <functional>

constexpr int kFetchAttempts = 5;
constexpr unsigned kFirstRetryWaitMs = 1000;

// Runs attempt until it returns true; false when all attempts failed.
bool RetryWithBackoff(const std::function<bool()>& attempt);
