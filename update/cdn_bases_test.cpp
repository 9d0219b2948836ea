#include "update/cdn_bases.h"

#include "tests/support/diag_lines.h"
#include "update/update_context.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

class CdnBases : public ::testing::Test {
protected:
    void SetUp() override { cdn_url = L"http://primary/cdn/"; }
    void TearDown() override { cdn_url.clear(); }

    // Fetches url over the bases; only the bases in answering succeed. The
    // URLs asked for are kept in order.
    bool Fetch(const std::wstring& url, const std::set<std::wstring>& answering) {
        return bases.TryEach(url, [&](const std::wstring& from) {
            asked.push_back(from);
            return answering.count(from) != 0;
        });
    }

    CCdnBases bases;
    std::vector<std::wstring> asked;
    testsupport::DiagLines diag;
};

}  // namespace

TEST_F(CdnBases, OnlyWebAddressesServeAndTheOneThatAnsweredGoesFirst) {
    bases.SetMirrors(L" http://m1/cdn/\thttps://m2:8443/cdn/ ftp://m3/cdn/ cdn/ {server}/cdn/ http://m1/cdn/ ");
    EXPECT_EQ(diag.Take(), (std::vector<std::string>{
                               "mirror (problem): \"ftp://m3/cdn/\" in Mirrors ignored: not an absolute http or "
                               "https address",
                               "mirror (problem): \"cdn/\" in Mirrors ignored: not an absolute http or https address",
                               "mirror (problem): \"{server}/cdn/\" in Mirrors ignored: not an absolute http or "
                               "https address",
                               "mirror: mirrors: http://m1/cdn/ https://m2:8443/cdn/",
                           }));

    // The primary and the first mirror fail: the second answers, each named.
    EXPECT_TRUE(Fetch(L"http://primary/cdn/index/i1", {L"https://m2:8443/cdn/index/i1"}));
    EXPECT_EQ(asked, (std::vector<std::wstring>{L"http://primary/cdn/index/i1", L"http://m1/cdn/index/i1",
                                                L"https://m2:8443/cdn/index/i1"}));
    EXPECT_EQ(diag.Take(), (std::vector<std::string>{
                               "mirror: index/i1 failed on http://primary/cdn/; trying http://m1/cdn/",
                               "mirror: index/i1 failed on http://m1/cdn/; trying https://m2:8443/cdn/",
                               "mirror: https://m2:8443/cdn/ answered for index/i1; it is tried first from now on",
                           }));

    // From then on the second mirror is asked first, the others after it in
    // their order; a pass where none answers fails.
    asked.clear();
    EXPECT_TRUE(Fetch(L"http://primary/cdn/tree/t/a.lz", {L"https://m2:8443/cdn/tree/t/a.lz"}));
    EXPECT_EQ(asked, (std::vector<std::wstring>{L"https://m2:8443/cdn/tree/t/a.lz"}));
    asked.clear();
    EXPECT_FALSE(Fetch(L"http://primary/cdn/tree/t/b.lz", {}));
    EXPECT_EQ(asked, (std::vector<std::wstring>{L"https://m2:8443/cdn/tree/t/b.lz", L"http://primary/cdn/tree/t/b.lz",
                                                L"http://m1/cdn/tree/t/b.lz"}));

    // An address not below cdn_url (no URL at all, for a path no manifest
    // knows) is asked for once, as it stands.
    asked.clear();
    EXPECT_FALSE(Fetch(L"", {}));
    EXPECT_FALSE(Fetch(L"http://elsewhere/x", {}));
    EXPECT_EQ(asked, (std::vector<std::wstring>{L"", L"http://elsewhere/x"}));

    // A new list starts over in its own order; an empty one leaves cdn_url.
    bases.SetMirrors(L"http://m1/cdn/");
    asked.clear();
    EXPECT_FALSE(Fetch(L"http://primary/cdn/index/i2", {}));
    EXPECT_EQ(asked, (std::vector<std::wstring>{L"http://primary/cdn/index/i2", L"http://m1/cdn/index/i2"}));
    bases.SetMirrors(L"");
    asked.clear();
    EXPECT_FALSE(Fetch(L"http://primary/cdn/index/i3", {}));
    EXPECT_EQ(asked, (std::vector<std::wstring>{L"http://primary/cdn/index/i3"}));
}
