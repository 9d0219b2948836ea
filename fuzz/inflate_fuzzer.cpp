// A packed launcher file (".z", one zlib stream) as the server sends it,
// inflated as the download worker inflates it, bounded by the size its list
// entry gives (1 MiB here). The target counts what reaches it: never more
// than that bound.
#include "codec/inflate_file.h"
#include "fuzz/require.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace {

constexpr std::uint64_t kListLimit = 1 << 20;

ssize_t CountWrite(void* cookie, const char*, std::size_t size) {
    *static_cast<std::uint64_t*>(cookie) += size;
    return static_cast<ssize_t>(size);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;  // no memory stream of nothing; the unpacker's tests cover an empty file
    std::FILE* source = fmemopen(const_cast<std::uint8_t*>(data), size, "rb");
    std::uint64_t written = 0;
    std::FILE* target = fopencookie(&written, "wb", cookie_io_functions_t{nullptr, CountWrite, nullptr, nullptr});
    FUZZ_REQUIRE(source && target);

    const int result = InflateFile(source, target, kListLimit);
    std::fclose(source);
    std::fclose(target);
    FUZZ_REQUIRE(written <= kListLimit);
    FUZZ_REQUIRE(result == 0 || result == -3 || result == -4 || result == -1);
    return 0;
}
