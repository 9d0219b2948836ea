#include "net/http/http_url_analyzer.h"

#include "net/http/http_tool.h"
#include "platform/kernel32.h"

#include <gtest/gtest.h>

#include <array>

namespace Drelk {
namespace {

using Analyzer = CHttpUrlAnalyzerT<CHttpToolW>;

// scheme, host, port, path, query, fragment: {start, length} each.
using Fields = std::array<std::size_t, 12>;

Fields Analyse(const wchar_t* szUrl) {
    UrlAnalysis a;
    Analyzer::Analyze(szUrl, CP_ACP, a);
    return {a.nSchemeIdx, a.nSchemeLen, a.nHostIdx,  a.nHostLen,  a.nPortIdx,     a.nPortLen,
            a.nPathIdx,   a.nPathLen,   a.nQueryIdx, a.nQueryLen, a.nFragmentIdx, a.nFragmentLen};
}

TEST(HttpUrlAnalyzer, SplitsEveryPartByPosition) {
    EXPECT_EQ(Analyse(L"http://host/a/b?x=1#f"), (Fields{0, 4, 7, 4, 11, 0, 11, 4, 15, 4, 19, 2}));
    EXPECT_EQ(Analyse(L"http://127.0.0.1:8080/f.lz"), (Fields{0, 4, 7, 9, 17, 4, 21, 5, 26, 0, 26, 0}));
    EXPECT_EQ(Analyse(L"HTTPS://h"), (Fields{0, 5, 8, 1, 9, 0, 9, 0, 9, 0, 9, 0}));
}

TEST(HttpUrlAnalyzer, QueryAndFragmentWithoutPath) {
    EXPECT_EQ(Analyse(L"http://h?q=1"), (Fields{0, 4, 7, 1, 8, 0, 8, 0, 8, 4, 12, 0}));
    EXPECT_EQ(Analyse(L"http://h#top"), (Fields{0, 4, 7, 1, 8, 0, 8, 0, 8, 0, 8, 4}));
    // A second '?' belongs to the query, a '?' after the '#' to the fragment.
    EXPECT_EQ(Analyse(L"http://h/p?a?b#c?d"), (Fields{0, 4, 7, 1, 8, 0, 8, 2, 10, 4, 14, 4}));
}

TEST(HttpUrlAnalyzer, PortRunsToTheEndOfTheAuthority) {
    // Everything after the first ':' counts to the port, even a second ':'.
    EXPECT_EQ(Analyse(L"http://h:1:2/x"), (Fields{0, 4, 7, 1, 9, 3, 12, 2, 14, 0, 14, 0}));
    // An empty port leaves the port length 0.
    EXPECT_EQ(Analyse(L"http://h:/x"), (Fields{0, 4, 7, 1, 9, 0, 9, 2, 11, 0, 11, 0}));
    // A ':' in the path is no port.
    EXPECT_EQ(Analyse(L"http://h/a:b"), (Fields{0, 4, 7, 1, 8, 0, 8, 4, 12, 0, 12, 0}));
}

TEST(HttpUrlAnalyzer, UrlWithoutSchemeStartsWithTheHost) {
    EXPECT_EQ(Analyse(L"host:81/a"), (Fields{0, 0, 0, 4, 5, 2, 7, 2, 9, 0, 9, 0}));
    // ":/" alone is no scheme separator.
    EXPECT_EQ(Analyse(L"a:/b"), (Fields{0, 0, 0, 1, 2, 0, 2, 2, 4, 0, 4, 0}));
}

TEST(HttpUrlAnalyzer, EmptyHost) {
    EXPECT_EQ(Analyse(L"http:///a"), (Fields{0, 4, 7, 0, 7, 0, 7, 2, 9, 0, 9, 0}));
}

TEST(HttpUrlAnalyzer, NullOrEmptyUrlLeavesEveryFieldZero) {
    const Fields zero{};
    EXPECT_EQ(Analyse(nullptr), zero);
    EXPECT_EQ(Analyse(L""), zero);

    // Fields of an earlier analysis do not survive.
    UrlAnalysis a;
    Analyzer::Analyze(L"http://h:1/p?q#f", CP_ACP, a);
    Analyzer::Analyze(L"", CP_ACP, a);
    EXPECT_EQ(a.nFragmentIdx, 0u);
    EXPECT_EQ(a.nPortLen, 0u);
}

TEST(HttpUrlAnalyzer, RefusesUtf8AndUtf7CodePages) {
    for (UINT codePage : {CP_UTF8, CP_UTF7}) {
        UrlAnalysis a;
        try {
            Analyzer::Analyze(L"http://h/", codePage, a);
            ADD_FAILURE() << "code page " << codePage << " accepted";
        } catch (const httpclientexceptionW& e) {
            EXPECT_STREQ(
                e.GetMessageText(),
                L"CHttpUrlAnalyzerT::Analyze: CP_UTF8 and CP_UTF7 can not be used for the CodePage parameter.");
            EXPECT_EQ(e.GetErrorCode(), 0u);
        }
    }
}

}  // namespace
}  // namespace Drelk
