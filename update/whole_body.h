// One attempt at a small answer read whole into memory: the manifests and
// md5 lists.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>

// The largest body read whole: manifests and md5 lists of far larger
// clients than any published fit, and a server announcing more cannot make
// the launcher reserve it.
constexpr std::size_t kMaxWholeBodyBytes = std::size_t{64} << 20;

struct WholeBody {
    // Not zero-filled: memory is touched only as the bytes arrive, so an
    // announced length that never comes costs no resident memory.
    std::unique_ptr<unsigned char[]> bytes;
    std::size_t size = 0;

    const unsigned char* data() const { return bytes.get(); }
};

// Opens url with a new reading product and reads its announced length, or,
// without a Content-Length, the body to its end. No answer, an empty body, a
// body above kMaxWholeBodyBytes (cbMax for a smaller cap; an announced one is
// refused before anything is allocated), no memory, or a transfer that fails
// or comes short give nothing: a broken transfer must never pass for data.
std::optional<WholeBody> FetchWholeBody(const std::wstring& url, std::size_t cbMax = kMaxWholeBodyBytes);
