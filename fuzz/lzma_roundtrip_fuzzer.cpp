// Any file the publisher may pack as ".lz" (see fuzz/packing_source.h),
// packed by the publisher's own packer and unpacked as the download worker
// unpacks it, from a file into a file: with the size the list gives,
// exactly the file comes back, in rounds of at most 65536 bytes that the
// progress reports add up; a list that gives another size is refused
// before a byte is written. The digest the publisher keeps is the file's.
#include "codec/lzma_decode_file.h"
#include "codec/sha256_digest.h"
#include "fuzz/fuzz_files.h"
#include "fuzz/packing_source.h"
#include "fuzz/require.h"
#include "tools/cdn/publish/pack_file.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace {

constexpr int kDataError = 1;  // the SDK's SZ_ERROR_DATA
constexpr std::uint32_t kRoundSize = 65536;
constexpr std::uint64_t kUnknownSize = ~std::uint64_t{0};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static fuzz::InputFile sourceFile;
    static fuzz::InputFile packedFile;
    static fuzz::InputFile unpackedFile;
    const std::string source = fuzz::PackingSource(data, size);
    FUZZ_REQUIRE(sourceFile.Write(reinterpret_cast<const std::uint8_t*>(source.data()), source.size()));

    const PackedFile packed = PackFile(sourceFile.Path(), packedFile.Path(), Packing::Lzma);
    FUZZ_REQUIRE(packed.size == source.size() && packed.source == Sha256Of(source));

    std::uint64_t reported = 0;
    const auto progress = [&](std::uint32_t produced) {
        FUZZ_REQUIRE(produced <= kRoundSize);
        reported += produced;
    };
    FUZZ_REQUIRE(LzmaDecodeFile(packedFile.Path(), unpackedFile.Path(), progress, source.size()) == 0);
    std::string unpacked;
    FUZZ_REQUIRE(unpackedFile.Read(unpacked));
    FUZZ_REQUIRE(unpacked == source && reported == source.size());

    for (const std::uint64_t listed : {source.size() + std::uint64_t{1}, source.size() - std::uint64_t{1}}) {
        if (listed == kUnknownSize)
            continue;  // one below nothing: no listed size at all, which any stream may meet
        FUZZ_REQUIRE(LzmaDecodeFile(packedFile.Path(), unpackedFile.Path(), {}, listed) == kDataError);
        FUZZ_REQUIRE(unpackedFile.Read(unpacked) && unpacked.empty());
    }
    return 0;
}
