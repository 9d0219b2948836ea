// Addresses from the server (cdn_url, web_url and every URL built on them)
// as UTF-8, split by the HTTP client's analysis. The parts lie inside the
// address and follow one another to its end; the request built on them
// fits the length computed for it; the port and the web-address checks
// answer without reading outside the address.
#include "fuzz/require.h"
#include "net/http/http_client.h"
#include "net/http/http_exception.h"
#include "net/http/http_url_analyzer.h"
#include "net/web_url.h"
#include "platform/text.h"

#include <cstddef>
#include <cstdint>
#include <cwchar>
#include <memory>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using Client = Drelk::CHttpClient;
    const std::wstring text = platform::FromUtf8(std::string_view(reinterpret_cast<const char*>(data), size));
    const wchar_t* url = text.c_str();
    const std::size_t length = std::wcslen(url);

    Drelk::UrlAnalysis parts;
    Drelk::CHttpUrlAnalyzerT<Drelk::CHttpToolW>::Analyze(url, CP_ACP, parts);
    if (length > 0) {
        FUZZ_REQUIRE(parts.nSchemeIdx == 0 && parts.nHostIdx <= length);
        if (parts.nSchemeLen > 0)
            FUZZ_REQUIRE(parts.nHostIdx == parts.nSchemeLen + 3);
        // The host, then either nothing or ':' and the port, up to the path.
        const std::size_t hostEnd = parts.nHostIdx + parts.nHostLen;
        const bool noPort = hostEnd == parts.nPathIdx && parts.nPortIdx == parts.nPathIdx && parts.nPortLen == 0;
        const bool port = parts.nPortIdx == hostEnd + 1 && parts.nPortIdx + parts.nPortLen == parts.nPathIdx;
        FUZZ_REQUIRE(noPort || port);
        FUZZ_REQUIRE(parts.nPathIdx + parts.nPathLen == parts.nQueryIdx);
        FUZZ_REQUIRE(parts.nQueryIdx + parts.nQueryLen == parts.nFragmentIdx);
        FUZZ_REQUIRE(parts.nFragmentIdx + parts.nFragmentLen == length);
    }

    IsWebUrl(text);
    Client::IsHttpsScheme(url, parts);
    Client::ObjectName(url, parts);
    try {
        Client::ServerPort(url, parts);
    } catch (const Drelk::httpclientexceptionW&) {
        // A port that is no port is refused: the answer to it.
    }

    // A request with a parameter to encode, written into a buffer of
    // exactly the length computed for it.
    static const std::unique_ptr<Client> client = [] {
        auto made = std::make_unique<Client>();
        made->AddParam(L"platform", L"d\u00e9mo q");
        return made;
    }();
    const std::size_t requestLength = client->MakeGetUrlLength(url);
    const auto request = std::make_unique<wchar_t[]>(requestLength);
    client->MakeGetUrl(request.get(), url);
    FUZZ_REQUIRE(std::wcslen(request.get()) + 1 == requestLength);
    return 0;
}
