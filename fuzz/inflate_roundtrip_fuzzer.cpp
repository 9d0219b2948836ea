// Any file the publisher may pack as ".z" (see fuzz/packing_source.h),
// packed by the publisher's own packer and inflated as the download worker
// inflates it: with the size the list gives, exactly the file comes back;
// with a list one byte short, the inflate ends in a data error without
// passing that size. The digest the publisher keeps is the file's.
#include "codec/inflate_file.h"
#include "codec/sha256_digest.h"
#include "fuzz/fuzz_files.h"
#include "fuzz/packing_source.h"
#include "fuzz/require.h"
#include "tools/cdn/publish/pack_file.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace {

constexpr int kDataError = -3;

ssize_t Append(void* cookie, const char* data, std::size_t size) {
    static_cast<std::string*>(cookie)->append(data, size);
    return static_cast<ssize_t>(size);
}

int Inflate(std::string& packed, std::uint64_t listed, std::string& inflated) {
    inflated.clear();
    std::FILE* source = fmemopen(packed.data(), packed.size(), "rb");
    std::FILE* target = fopencookie(&inflated, "wb", cookie_io_functions_t{nullptr, Append, nullptr, nullptr});
    FUZZ_REQUIRE(source && target);
    const int result = InflateFile(source, target, listed);
    std::fclose(source);
    std::fclose(target);
    return result;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static fuzz::InputFile sourceFile;
    static fuzz::InputFile packedFile;
    const std::string source = fuzz::PackingSource(data, size);
    FUZZ_REQUIRE(sourceFile.Write(reinterpret_cast<const std::uint8_t*>(source.data()), source.size()));

    const PackedFile packed = PackFile(sourceFile.Path(), packedFile.Path(), Packing::Zlib);
    FUZZ_REQUIRE(packed.size == source.size() && packed.source == Sha256Of(source));
    std::string packedBytes;
    FUZZ_REQUIRE(packedFile.Read(packedBytes) && !packedBytes.empty());

    std::string inflated;
    FUZZ_REQUIRE(Inflate(packedBytes, source.size(), inflated) == 0);
    FUZZ_REQUIRE(inflated == source);
    if (!source.empty()) {
        FUZZ_REQUIRE(Inflate(packedBytes, source.size() - 1, inflated) == kDataError);
        FUZZ_REQUIRE(inflated.size() < source.size() && source.starts_with(inflated));
    }
    return 0;
}
