// A packed client file (".lz", the LZMA "alone" layout) as the server sends
// it, unpacked as the download worker unpacks it: from a file into a file,
// bounded by the size its list entry gives. The list here is an honest one
// that gives the size the header announces, at most 1 MiB. The output never
// passes that size, a stream that ends well produces it exactly when it was
// announced, and the progress reports add up to what was written. Large
// dictionaries meet the malloc limit the runs set.
#include "codec/lzma_decode_file.h"
#include "fuzz/fuzz_files.h"
#include "fuzz/require.h"
#include "platform/text.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace {

constexpr std::uint64_t kListLimit = 1 << 20;
constexpr std::size_t kHeaderSize = 13;
constexpr std::uint64_t kUnknownSize = ~std::uint64_t{0};
constexpr std::uint32_t kRoundSize = 65536;

std::uint64_t AnnouncedSize(const std::uint8_t* data, std::size_t size) {
    if (size < kHeaderSize)
        return kUnknownSize;
    std::uint64_t value = 0;
    for (int i = 12; i >= 5; --i)
        value = (value << 8) | data[i];
    return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static fuzz::InputFile packed;
    static const fuzz::ScratchFolder folder;
    static const std::wstring unpacked = folder.File(L"unpacked");
    if (!packed.Write(data, size))
        return 0;
    const std::uint64_t announced = AnnouncedSize(data, size);
    const std::uint64_t listed = std::min(announced, kListLimit);

    std::uint64_t reported = 0;
    const int result = LzmaDecodeFile(
        packed.Path(), unpacked,
        [&](std::uint32_t produced) {
            FUZZ_REQUIRE(produced <= kRoundSize);
            reported += produced;
        },
        listed);

    struct stat written {};
    FUZZ_REQUIRE(stat(platform::NativePath(unpacked).c_str(), &written) == 0);
    const auto writtenSize = static_cast<std::uint64_t>(written.st_size);
    FUZZ_REQUIRE(writtenSize <= listed);
    if (result == 0) {
        FUZZ_REQUIRE(reported == writtenSize);
        if (announced != kUnknownSize)
            FUZZ_REQUIRE(writtenSize == announced);
    }
    return 0;
}
