#include "update/whole_body.h"

#include "net/http_product.h"
#include "state/diag_log.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

// The first round of a body without a length; each further round doubles
// the room, so the copies add up to less than the body itself.
constexpr std::size_t kFirstRoundBytes = std::size_t{64} << 10;

// Room for cbRoom bytes, the first cbKeep of them taken over from old.
bool Regrow(WholeBody& body, std::size_t cbKeep, std::size_t cbRoom) {
    try {
        auto bytes = std::make_unique_for_overwrite<unsigned char[]>(cbRoom);
        if (cbKeep != 0)
            std::memcpy(bytes.get(), body.bytes.get(), cbKeep);
        body.bytes = std::move(bytes);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

// A body sent without Content-Length (chunked, as proxies and compressing
// CDNs send it): read to its end in growing rounds, so that a small list
// costs little memory in a 32-bit program, and given up one byte past cbCap.
std::optional<WholeBody> ReadUnsizedBody(CHttpProduct& product, const std::wstring& url, std::size_t cbCap) {
    WholeBody body;
    std::size_t cbRoom = 0;
    for (;;) {
        if (body.size == cbRoom) {
            if (body.size > cbCap) {
                DiagProblem(L"request", url + L": more than " + std::to_wstring(cbCap) +
                                            L" bytes without a Content-Length; refused");
                return std::nullopt;
            }
            const std::size_t cbGrown = std::min(std::max(cbRoom * 2, kFirstRoundBytes), cbCap + 1);
            if (!Regrow(body, body.size, cbGrown))
                return std::nullopt;
            cbRoom = cbGrown;
        }
        DWORD received = 0;
        if (!product.ReadAll(body.bytes.get() + body.size, static_cast<DWORD>(cbRoom - body.size), &received))
            return std::nullopt;
        if (received == 0)
            break;
        body.size += received;
    }
    // An empty body is no list, as a Content-Length of 0 is not.
    if (body.size == 0)
        return std::nullopt;
    return body;
}

}  // namespace

std::optional<WholeBody> FetchWholeBody(const std::wstring& url, std::size_t cbMax) {
    const std::size_t cbCap = std::min(cbMax, kMaxWholeBodyBytes);
    CHttpProduct product(0, nullptr);
    if (!product.Open(url.c_str(), L"", 0, 0))
        return std::nullopt;
    // A fresh product's total is 0 both without a Content-Length and with
    // one of 0; the unsized read finds the latter empty.
    const DWORD total = product.GetTotalSize();
    if (total == 0)
        return ReadUnsizedBody(product, url, cbCap);
    if (total > cbCap)
        return std::nullopt;
    WholeBody body;
    if (!Regrow(body, 0, total))
        return std::nullopt;
    body.size = total;
    DWORD received = 0;
    if (!product.ReadAll(body.bytes.get(), total, &received) || received != total)
        return std::nullopt;
    return body;
}
