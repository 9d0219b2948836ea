// Splits a URL by position into scheme, host, port, path, query and
// fragment, without copying or validating anything.
#pragma once

#include "platform/win_types.h"

#include <cstddef>

namespace Drelk {

// Character indices and lengths in the analysed URL. The query includes its
// '?', the fragment its '#'.
struct UrlAnalysis {
    std::size_t nSchemeIdx = 0;
    std::size_t nSchemeLen = 0;
    std::size_t nHostIdx = 0;
    std::size_t nHostLen = 0;
    std::size_t nPortIdx = 0;
    std::size_t nPortLen = 0;
    std::size_t nPathIdx = 0;
    std::size_t nPathLen = 0;
    std::size_t nQueryIdx = 0;
    std::size_t nQueryLen = 0;
    std::size_t nFragmentIdx = 0;
    std::size_t nFragmentLen = 0;
};

template <typename HttpTool>
class CHttpUrlAnalyzerT {
public:
    using CharType = typename HttpTool::CharType;

    // CP_UTF8 and CP_UTF7 are refused. A null or empty URL gives all zeros.
    static void Analyze(const CharType* szUrl, UINT CodePage, UrlAnalysis& objAnal);
};

}  // namespace Drelk
