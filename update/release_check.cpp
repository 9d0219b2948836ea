#include "update/release_check.h"

#include "net/http_product.h"
#include "platform/crt.h"
#include "platform/text.h"
#include "state/diag_log.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

const wchar_t kTopic[] = L"release";

}  // namespace

bool ReleaseAllowsAnswer(const CUpdateContext& context, const std::wstring& answer) {
    if (!context.release)
        return true;
    const std::string fields = AnswerWithoutCdnUrl(platform::ToUtf8(answer));
    if (fields == context.release->answer)
        return true;
    DiagProblem(kTopic, L"the answer \"" + platform::FromUtf8(fields) + L"\" is not the release's \"" +
                            platform::FromUtf8(context.release->answer) + L"\"");
    return false;
}

bool ReleaseAllowsBody(const CUpdateContext& context, const std::wstring& url, std::uint64_t size,
                       const Sha256Digest& digest) {
    if (!context.release)
        return true;
    std::wstring refusal;
    if (url.size() <= cdn_url.size() || url.compare(0, cdn_url.size(), cdn_url) != 0) {
        refusal = L"not below cdn_url " + cdn_url;
    } else {
        const auto found = context.release->bodies.find(platform::ToUtf8(url.substr(cdn_url.size())));
        if (found == context.release->bodies.end())
            refusal = L"the release names no such body";
        else if (found->second.size != size)
            refusal = std::to_wstring(size) + L" bytes where the release lists " + std::to_wstring(found->second.size);
        else if (found->second.sha256 != digest)
            refusal = L"its SHA-256 is not the one the release lists";
    }
    if (refusal.empty())
        return true;
    DiagProblem(kTopic, L"refused the body of " + url + L": " + refusal);
    return false;
}

bool ReleaseAllowsBody(const CUpdateContext& context, const std::wstring& url, const unsigned char* pbyData,
                       std::size_t cbData) {
    if (!context.release)
        return true;
    Sha256Stream sha256;
    sha256.Update(pbyData, cbData);
    return ReleaseAllowsBody(context, url, cbData, sha256.Final());
}

void CReceivedDigest::Watch(CHttpProduct& product) {
    m_sha256.Final();
    m_size = 0;
    product.SetBodyObserver([this](const BYTE* pbyData, DWORD cbData) {
        m_sha256.Update(pbyData, cbData);
        m_size += cbData;
    });
}

bool CReceivedDigest::Watch(CHttpProduct& product, const std::wstring& keptFile, std::uint64_t keptBytes) {
    Watch(product);
    if (keptBytes == 0)
        return true;
    struct FileCloser {
        void operator()(FILE* file) const { std::fclose(file); }
    };
    std::unique_ptr<FILE, FileCloser> file(_wfopen(keptFile.c_str(), L"rb"));
    std::vector<unsigned char> block(1 << 16);
    std::uint64_t left = keptBytes;
    while (file && left != 0) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(left, block.size()));
        const std::size_t got = std::fread(block.data(), 1, want, file.get());
        if (got == 0)
            break;
        m_sha256.Update(block.data(), got);
        m_size += got;
        left -= got;
    }
    return left == 0;
}
