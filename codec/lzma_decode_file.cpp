#include "codec/lzma_decode_file.h"

#include "platform/crt.h"
#include "platform/thread_stop.h"

#include "LzmaDec.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <vector>

namespace {

constexpr std::size_t kBufferSize = 1 << 16;
constexpr std::size_t kHeaderSize = LZMA_PROPS_SIZE + 8;
constexpr std::uint64_t kUnknownSize = ~std::uint64_t{0};
// The publisher packs with a 16 MiB dictionary. The decoder allocates
// whatever the header names before a byte is decoded, so a larger one is
// refused as unsupported rather than taken as a 4 GiB allocation.
constexpr UInt32 kMaxDictionarySize = UInt32{64} << 20;

void* SdkAlloc(void*, std::size_t size) {
    return std::malloc(size);
}
void SdkFree(void*, void* address) {
    std::free(address);
}
ISzAlloc g_sdkAlloc = {SdkAlloc, SdkFree};

struct FileClose {
    void operator()(FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<FILE, FileClose>;

// Releases the probability tables and the dictionary; the state itself lives
// on the caller's stack.
struct DecoderFree {
    void operator()(CLzmaDec* state) const { LzmaDec_Free(state, &g_sdkAlloc); }
};
using DecoderGuard = std::unique_ptr<CLzmaDec, DecoderFree>;

std::uint64_t ReadLittleEndian64(const unsigned char* pbyData) {
    std::uint64_t value = 0;
    for (int i = 7; i >= 0; --i) {
        value = (value << 8) | pbyData[i];
    }
    return value;
}

SRes DecodeStream(CLzmaDec& state, FILE* source, FILE* target, std::uint64_t unpackSize, std::uint64_t outputLimit,
                  const LzmaProgressCallback& progress, const WrittenBlockObserver& written) {
    const bool sizeKnown = unpackSize != kUnknownSize;
    std::vector<unsigned char> in(kBufferSize);
    std::vector<unsigned char> out(kBufferSize);
    std::size_t inPos = 0;
    std::size_t inSize = 0;
    std::uint64_t produced = 0;

    LzmaDec_Init(&state);
    for (;;) {
        platform::StopPoint();
        if (inPos == inSize) {
            inSize = std::fread(in.data(), 1, in.size(), source);
            inPos = 0;
            if (std::ferror(source)) {
                return SZ_ERROR_READ;
            }
        }

        SizeT inProcessed = inSize - inPos;
        SizeT outProcessed = out.size();
        ELzmaFinishMode finishMode = LZMA_FINISH_ANY;
        if (sizeKnown && outProcessed > unpackSize) {
            // The last round: the stream has to end exactly here.
            outProcessed = static_cast<SizeT>(unpackSize);
            finishMode = LZMA_FINISH_END;
        }
        ELzmaStatus status = LZMA_STATUS_NOT_SPECIFIED;
        const SRes res = LzmaDec_DecodeToBuf(&state, out.data(), &outProcessed, in.data() + inPos, &inProcessed,
                                             finishMode, &status);
        inPos += inProcessed;
        unpackSize -= outProcessed;
        produced += outProcessed;
        if (produced > outputLimit) {
            return SZ_ERROR_DATA;
        }

        platform::StopPoint();
        if (std::fwrite(out.data(), 1, outProcessed, target) != outProcessed) {
            return SZ_ERROR_WRITE;
        }
        if (written && outProcessed != 0) {
            written(out.data(), outProcessed);
        }
        if (progress) {
            progress(static_cast<std::uint32_t>(outProcessed));
        }

        if (res != SZ_OK || (sizeKnown && unpackSize == 0)) {
            return res;
        }
        if (inProcessed == 0 && outProcessed == 0) {
            // No progress at all: only an end marker on a stream of unknown
            // size is a proper end.
            if (sizeKnown || status != LZMA_STATUS_FINISHED_WITH_MARK) {
                return SZ_ERROR_DATA;
            }
            return SZ_OK;
        }
    }
}

// The header's properties when they decode and are not refused.
std::optional<CLzmaProps> AcceptedProps(const unsigned char* header) {
    CLzmaProps props;
    if (LzmaProps_Decode(&props, header, LZMA_PROPS_SIZE) != SZ_OK || props.dicSize > kMaxDictionarySize) {
        return std::nullopt;
    }
    return props;
}

}  // namespace

std::uint64_t LzmaDecoderMemory(const std::wstring& source) {
    FileHandle sourceFile(_wfopen(source.c_str(), L"rb"));
    unsigned char header[LZMA_PROPS_SIZE];
    if (!sourceFile || std::fread(header, 1, LZMA_PROPS_SIZE, sourceFile.get()) != LZMA_PROPS_SIZE) {
        return 0;
    }
    const std::optional<CLzmaProps> props = AcceptedProps(header);
    if (!props) {
        return 0;
    }
    // As LzmaDec.c counts them: the base models and one literal table per
    // lc + lp context bits.
    constexpr std::uint64_t kBaseProbs = 1846;
    constexpr std::uint64_t kLiteralProbs = 0x300;
    const std::uint64_t probs = kBaseProbs + (kLiteralProbs << (props->lc + props->lp));
    return std::uint64_t{props->dicSize} + probs * sizeof(CLzmaProb);
}

int LzmaDecodeFile(const std::wstring& source, const std::wstring& target, const LzmaProgressCallback& progress,
                   std::uint64_t outputSize, const WrittenBlockObserver& written) {
    // The source first: a missing source must not cost the target its content.
    FileHandle sourceFile(_wfopen(source.c_str(), L"rb"));
    if (!sourceFile) {
        return -1;
    }
    FileHandle targetFile(_wfopen(target.c_str(), L"wb"));
    if (!targetFile) {
        return -1;
    }

    unsigned char header[kHeaderSize];
    if (std::fread(header, 1, kHeaderSize, sourceFile.get()) != kHeaderSize) {
        return SZ_ERROR_INPUT_EOF;
    }
    const std::uint64_t unpackSize = ReadLittleEndian64(header + LZMA_PROPS_SIZE);
    // Without a listed size (the default) any announced size goes.
    if (outputSize != kUnknownSize && unpackSize != kUnknownSize && unpackSize != outputSize) {
        return SZ_ERROR_DATA;
    }

    if (!AcceptedProps(header)) {
        return SZ_ERROR_UNSUPPORTED;
    }

    CLzmaDec state;
    LzmaDec_Construct(&state);
    const DecoderGuard guard(&state);
    SRes res = LzmaDec_Allocate(&state, header, LZMA_PROPS_SIZE, &g_sdkAlloc);
    if (res != SZ_OK) {
        return res;
    }
    res = DecodeStream(state, sourceFile.get(), targetFile.get(), unpackSize, outputSize, progress, written);
    if (res != SZ_OK) {
        return res;
    }
    // The last buffered bytes are written on close; losing them is a failed write.
    return std::fclose(targetFile.release()) == 0 ? SZ_OK : SZ_ERROR_WRITE;
}
