#include "net/web_url.h"

#include "net/http/http_tool.h"
#include "net/http/http_url_analyzer.h"
#include "platform/kernel32.h"

#include <algorithm>

bool IsWebUrl(const std::wstring& url) {
    if (std::any_of(url.begin(), url.end(), [](wchar_t ch) { return ch <= L' ' || ch == 0x7f; }))
        return false;
    Drelk::UrlAnalysis analysis;
    Drelk::CHttpUrlAnalyzerT<Drelk::CHttpToolW>::Analyze(url.c_str(), CP_ACP, analysis);
    const std::wstring scheme = url.substr(analysis.nSchemeIdx, analysis.nSchemeLen);
    const bool web = Drelk::CHttpToolW::StringICompare(scheme.c_str(), L"http") == 0 ||
                     Drelk::CHttpToolW::StringICompare(scheme.c_str(), L"https") == 0;
    return web && analysis.nHostLen > 0;
}
