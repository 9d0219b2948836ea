#include "platform/linux/wininet/wininet_headers.h"

#include "platform/wininet.h"

#include <gtest/gtest.h>

namespace platform {
namespace {

using Lines = std::vector<RequestHeaders::Line>;

TEST(RequestHeadersTest, AddsEveryLineOfABlockInOrder) {
    RequestHeaders headers;
    EXPECT_EQ(headers.Add("Cache-Control: no-cache\r\n", HTTP_ADDREQ_FLAG_ADD), ERROR_SUCCESS);
    EXPECT_EQ(headers.Add("Range:bytes=0-\r\nX-One:  spaced value \t\nX-Two: 2", HTTP_ADDREQ_FLAG_ADD), ERROR_SUCCESS);
    EXPECT_EQ(headers.Add("X-One: again", HTTP_ADDREQ_FLAG_ADD), ERROR_SUCCESS);
    EXPECT_EQ(headers.Lines(), (Lines{{"Cache-Control", "no-cache"},
                                      {"Range", "bytes=0-"},
                                      {"X-One", "spaced value"},
                                      {"X-Two", "2"},
                                      {"X-One", "again"}}));
    EXPECT_TRUE(headers.Has("cache-control"));
    EXPECT_FALSE(headers.Has("Cache"));
}

TEST(RequestHeadersTest, RefusesMalformedBlocksWhole) {
    RequestHeaders headers;
    EXPECT_EQ(headers.Add("X-Good: 1\r\nno colon here\r\n", HTTP_ADDREQ_FLAG_ADD), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(headers.Add("Bad Name: 1", HTTP_ADDREQ_FLAG_ADD), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(headers.Add(": no name", HTTP_ADDREQ_FLAG_ADD), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(headers.Add(std::string_view("X-Nul: a\0b", 10), HTTP_ADDREQ_FLAG_ADD), ERROR_INVALID_PARAMETER);
    EXPECT_TRUE(headers.Lines().empty());
}

TEST(RequestHeadersTest, ReplaceAndAddIfNewFollowTheirModifiers) {
    RequestHeaders headers;
    ASSERT_EQ(headers.Add("Range: bytes=0-\r\nX-Keep: k", HTTP_ADDREQ_FLAG_ADD), ERROR_SUCCESS);

    EXPECT_EQ(headers.Add("range: bytes=5-", HTTP_ADDREQ_FLAG_REPLACE), ERROR_SUCCESS);
    EXPECT_EQ(headers.Add("X-Missing: 1", HTTP_ADDREQ_FLAG_REPLACE), ERROR_HTTP_HEADER_NOT_FOUND);
    EXPECT_EQ(headers.Add("X-New: 1", HTTP_ADDREQ_FLAG_REPLACE | HTTP_ADDREQ_FLAG_ADD), ERROR_SUCCESS);
    EXPECT_EQ(headers.Add("X-Keep: other", HTTP_ADDREQ_FLAG_ADD_IF_NEW), ERROR_HTTP_HEADER_ALREADY_EXISTS);
    EXPECT_EQ(headers.Lines(), (Lines{{"Range", "bytes=5-"}, {"X-Keep", "k"}, {"X-New", "1"}}));

    // Replacing with an empty value removes the header.
    EXPECT_EQ(headers.Add("X-Keep:", HTTP_ADDREQ_FLAG_REPLACE), ERROR_SUCCESS);
    EXPECT_EQ(headers.Lines(), (Lines{{"Range", "bytes=5-"}, {"X-New", "1"}}));
}

}  // namespace
}  // namespace platform
