#include "update/manifest.h"

#include "codec/md5_functions.h"
#include "codec/path_key.h"
#include "state/diag_log.h"
#include "update/release_check.h"
#include "update/retry.h"
#include "update/whole_body.h"
#include "wire/manifest_format.h"

namespace {
// Hex text is ASCII: widening is a copy.
std::wstring Widened(const std::string& hex) {
    return std::wstring(hex.begin(), hex.end());
}
}  // namespace

void ParseManifest(const unsigned char* pbyData, std::size_t cbData, std::map<std::string, std::string>& map) {
    ReadManifestRecords(pbyData, cbData, [&](const std::string& key, const ManifestId& id) {
        map[key] = HexEncode(id.data(), id.size());
    });
}

bool FetchManifest(const std::wstring& url, std::map<std::string, std::string>& map, CUpdateContext& context) {
    return RetryWithBackoff([&] {
        // A body of broken records is one a further base may have whole; only
        // when none has is it taken, with no record, as from a single host.
        bool broken = false;
        const bool whole = context.cdnBases.TryEach(url, [&](const std::wstring& from) {
            const auto body = FetchWholeBody(from);
            if (!body || !ReleaseAllowsBody(context, url, body->data(), body->size))
                return false;
            if (body->size % kManifestRecordSize != 0) {
                DiagProblem(L"manifest", from + L": " + std::to_wstring(body->size) +
                                             L" bytes, not whole 25-byte records; none is taken");
                broken = true;
                return false;
            }
            ParseManifest(body->data(), body->size, map);
            return true;
        });
        return whole || broken;
    });
}

std::wstring ResolveCdnUrl(const CUpdateContext& context, const std::wstring& cdnPath) {
    const std::size_t nameStart = cdnPath.find_last_of(L"/\\");
    const std::wstring fileName = nameStart == std::wstring::npos ? cdnPath : cdnPath.substr(nameStart + 1);

    if (!context.diffMap.empty()) {
        const auto found = context.diffMap.find(PathKey(cdnPath));
        if (found != context.diffMap.end())
            return cdn_url + L"file/" + Widened(found->second) + L"/" + fileName;
    }

    const std::size_t slash = cdnPath.rfind(L'/');
    const std::wstring directory = slash == std::wstring::npos ? L"." : cdnPath.substr(0, slash);
    const auto found = context.indexMap.find(PathKey(directory));
    if (found != context.indexMap.end())
        return cdn_url + L"tree/" + Widened(found->second) + L"/" + fileName;
    return std::wstring();
}
