#include "net/http/http_url_analyzer.h"

#include "net/http/http_tool.h"
#include "platform/kernel32.h"

namespace Drelk {

template <typename HttpTool>
void CHttpUrlAnalyzerT<HttpTool>::Analyze(const CharType* szUrl, UINT CodePage, UrlAnalysis& objAnal) {
    if (CodePage == CP_UTF8 || CodePage == CP_UTF7)
        HttpTool::ThrowException(
            "CHttpUrlAnalyzerT::Analyze: CP_UTF8 and CP_UTF7 can not be used for the CodePage parameter.");

    objAnal = UrlAnalysis{};
    if (!szUrl || !*szUrl)
        return;

    // Scheme: up to the first ':' that is followed by "//".
    std::size_t i = 0;
    for (const CharType* p = szUrl; *p; ++p) {
        if (p[0] == ':' && p[1] == '/' && p[2] == '/') {
            objAnal.nSchemeLen = static_cast<std::size_t>(p - szUrl);
            i = objAnal.nSchemeLen + 3;
            break;
        }
    }

    // Host and port: up to the first '/', '?' or '#'.
    objAnal.nHostIdx = i;
    bool bInPort = false;
    for (; szUrl[i] && szUrl[i] != '/' && szUrl[i] != '?' && szUrl[i] != '#'; ++i) {
        if (bInPort) {
            ++objAnal.nPortLen;
        } else if (szUrl[i] == ':') {
            bInPort = true;
            objAnal.nPortIdx = i + 1;
        } else {
            ++objAnal.nHostLen;
        }
    }
    if (!bInPort)
        objAnal.nPortIdx = i;

    // Path and query: up to the first '#'.
    objAnal.nPathIdx = i;
    bool bInQuery = false;
    for (; szUrl[i] && szUrl[i] != '#'; ++i) {
        if (!bInQuery && szUrl[i] == '?') {
            bInQuery = true;
            objAnal.nQueryIdx = i;
        }
        if (bInQuery)
            ++objAnal.nQueryLen;
        else
            ++objAnal.nPathLen;
    }
    if (!bInQuery)
        objAnal.nQueryIdx = i;

    // Fragment: the rest, '#' included.
    objAnal.nFragmentIdx = i;
    for (; szUrl[i]; ++i)
        ++objAnal.nFragmentLen;
}

template class CHttpUrlAnalyzerT<CHttpToolW>;

}  // namespace Drelk
