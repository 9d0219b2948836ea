#include "update/whole_body.h"

#include "net/http_product.h"

#include <algorithm>
#include <new>

std::optional<WholeBody> FetchWholeBody(const std::wstring& url, std::size_t cbMax) {
    CHttpProduct product(0, nullptr);
    if (!product.Open(url.c_str(), L"", 0, 0))
        return std::nullopt;
    const DWORD total = product.GetTotalSize();
    if (total == 0 || total > std::min(cbMax, kMaxWholeBodyBytes))
        return std::nullopt;
    WholeBody body;
    try {
        body.bytes = std::make_unique_for_overwrite<unsigned char[]>(total);
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
    body.size = total;
    DWORD received = 0;
    if (!product.ReadAll(body.bytes.get(), total, &received) || received != total)
        return std::nullopt;
    return body;
}
