// Checks of what the launcher's HTTP layer sends, as the loopback server
// recorded it. The client and the download product send the same fixed
// request line and headers; both test suites check them through here.
#pragma once

#include "tests/support/loopback_server.h"

#include <gtest/gtest.h>

#include <string>

namespace testsupport {

// A GET over HTTP/1.1 with the layer's User-Agent, exactly one
// "Cache-Control: no-cache" and exactly one Range header of `range`. Every
// mismatch is named, not only the first.
inline ::testing::AssertionResult IsDownloadRequest(const RecordedRequest& request, const std::string& range) {
    std::string mismatches;
    const auto expect = [&mismatches](const std::string& what, const std::string& actual, const std::string& wanted) {
        if (actual != wanted)
            mismatches += "\n  " + what + " is \"" + actual + "\", not \"" + wanted + "\"";
    };
    expect("the method", request.method, "GET");
    expect("the version", request.version, "HTTP/1.1");
    expect("User-Agent", request.Header("User-Agent"), "Drelk HTTP Client Class");
    expect("the count of Cache-Control", std::to_string(request.HeaderCount("Cache-Control")), "1");
    expect("Cache-Control", request.Header("Cache-Control"), "no-cache");
    expect("the count of Range", std::to_string(request.HeaderCount("Range")), "1");
    expect("Range", request.Header("Range"), range);
    if (!mismatches.empty())
        return ::testing::AssertionFailure() << request.method << " " << request.target << ":" << mismatches;
    return ::testing::AssertionSuccess();
}

}  // namespace testsupport
