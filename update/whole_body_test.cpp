#include "update/whole_body.h"

#include "platform/text.h"
#include "tests/support/loopback_server.h"

#include <gtest/gtest.h>

using testsupport::Fault;
using testsupport::LoopbackServer;

namespace {

std::wstring UrlOf(const LoopbackServer& server, const std::string& target) {
    return platform::FromUtf8(server.BaseUrl() + target);
}

}  // namespace

TEST(WholeBody, BodiesUpToTheCapArriveWhole) {
    LoopbackServer server;
    std::string body(kMaxWholeBodyBytes, 'm');
    body.front() = 'a';
    body.back() = 'z';
    server.SetBody("/list", body);
    const auto fetched = FetchWholeBody(UrlOf(server, "/list"));
    ASSERT_TRUE(fetched);
    ASSERT_EQ(fetched->size, body.size());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(fetched->data()), fetched->size), body);
}

TEST(WholeBody, LargerAnnouncementsAreRefused) {
    LoopbackServer server;
    server.SetBody("/big", std::string(kMaxWholeBodyBytes + 1, 'x'));
    EXPECT_FALSE(FetchWholeBody(UrlOf(server, "/big")));
    // Two billion bytes announced, a few sent.
    server.SetBody("/liar", "0123456789");
    server.SetFault("/liar", Fault{.extraContentLength = 2'000'000'000});
    EXPECT_FALSE(FetchWholeBody(UrlOf(server, "/liar")));
    // Under the cap, a body that never comes whole is no body either.
    server.SetFault("/liar", Fault{.extraContentLength = 1000});
    EXPECT_FALSE(FetchWholeBody(UrlOf(server, "/liar")));
}
