#include "tests/support/request_checks.h"

#include <gtest/gtest.h>

namespace testsupport {
namespace {

RecordedRequest DownloadRequest() {
    return {"GET",
            "/f",
            "HTTP/1.1",
            {{"Cache-Control", "no-cache"}, {"Range", "bytes=0-"}, {"User-Agent", "Drelk HTTP Client Class"}}};
}

TEST(RequestChecks, TheLayersDownloadRequestPasses) {
    EXPECT_TRUE(IsDownloadRequest(DownloadRequest(), "bytes=0-"));
    // Header names are matched without regard to case.
    RecordedRequest lower = DownloadRequest();
    for (auto& header : lower.headers)
        header.first = header.first == "Range" ? "range" : header.first;
    EXPECT_TRUE(IsDownloadRequest(lower, "bytes=0-"));
}

TEST(RequestChecks, EveryDifferenceIsNamed) {
    RecordedRequest request = DownloadRequest();
    request.method = "HEAD";
    request.headers.push_back({"Range", "bytes=5-"});
    request.headers.erase(request.headers.begin());  // Cache-Control
    const ::testing::AssertionResult result = IsDownloadRequest(request, "bytes=0-");
    ASSERT_FALSE(result);
    const std::string message = result.message();
    EXPECT_NE(message.find("the method is \"HEAD\""), std::string::npos) << message;
    EXPECT_NE(message.find("the count of Range is \"2\""), std::string::npos) << message;
    EXPECT_NE(message.find("the count of Cache-Control is \"0\""), std::string::npos) << message;
    EXPECT_EQ(message.find("User-Agent"), std::string::npos) << message;

    RecordedRequest otherRange = DownloadRequest();
    EXPECT_FALSE(IsDownloadRequest(otherRange, "bytes=7-"));
    otherRange.version = "HTTP/1.0";
    EXPECT_FALSE(IsDownloadRequest(otherRange, "bytes=0-"));
}

}  // namespace
}  // namespace testsupport
