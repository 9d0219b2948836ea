#include "update/whole_body.h"

#include "net/http_product.h"

#include <new>

std::optional<std::vector<unsigned char>> FetchWholeBody(const std::wstring& url) {
    CHttpProduct product(0, nullptr);
    if (!product.Open(url.c_str(), L"", 0, 0))
        return std::nullopt;
    const DWORD total = product.GetTotalSize();
    if (total == 0)
        return std::nullopt;
    std::vector<unsigned char> body;
    try {
        body.assign(total, 0);
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
    DWORD received = 0;
    if (!product.ReadAll(body.data(), total, &received) || received != total)
        return std::nullopt;
    return body;
}
