#include "tools/cdn/publish/pack_file.h"

#include "codec/md5_functions.h"
#include "tools/cdn/publish/file_handle.h"
#include "tools/cdn/publish/publish_error.h"

#define CRYPTOPP_ENABLE_NAMESPACE_WEAK 1
#include <cryptopp/md5.h>
#include <cryptopp/sha.h>
#include <zlib.h>

#include "7zVersion.h"
#include "LzmaEnc.h"

#include <sys/stat.h>
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <type_traits>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kChunk = 1 << 16;
constexpr std::size_t kLzmaHeaderSize = LZMA_PROPS_SIZE + 8;
// Enough for good ratios; the launcher allocates this much to decode.
constexpr UInt32 kLzmaDictionaryBits = 24;
constexpr UInt32 kLzmaDictionary = 1u << kLzmaDictionaryBits;
constexpr int kZlibLevel = Z_BEST_COMPRESSION;
constexpr int kLzmaLevel = 5;

// Reads the source once, feeding the MD5 and the digest, and insists on
// exactly the size the file had when opened: the LZMA header announces it
// before the stream.
class SourceReader {
public:
    explicit SourceReader(const fs::path& source) : m_path(source), m_file(OpenFile(source, "rb")) {
        struct stat info {};
        if (fstat(fileno(m_file.get()), &info) != 0) {
            throw PublishError("cannot read " + source.string());
        }
        m_expected = static_cast<std::uint64_t>(info.st_size);
    }

    std::uint64_t ExpectedSize() const { return m_expected; }

    std::size_t Read(void* pbyBuff, std::size_t cbBuff) {
        const std::size_t cbRead = ReadSome(m_file, m_path, pbyBuff, cbBuff);
        m_md5.Update(static_cast<const CryptoPP::byte*>(pbyBuff), cbRead);
        m_sha256.Update(static_cast<const CryptoPP::byte*>(pbyBuff), cbRead);
        m_size += cbRead;
        if (m_size > m_expected || (cbRead == 0 && m_size != m_expected)) {
            throw PublishError(m_path.string() + " changed while it was being published");
        }
        return cbRead;
    }

    void Finish(PackedFile& packed) {
        packed.size = m_size;
        m_md5.Final(packed.md5.data());
        m_sha256.Final(packed.source.data());
    }

private:
    fs::path m_path;
    FileHandle m_file;
    CryptoPP::Weak::MD5 m_md5;
    CryptoPP::SHA256 m_sha256;
    std::uint64_t m_expected = 0;
    std::uint64_t m_size = 0;
};

// Writes the packed bytes and hashes them into the content id.
class TargetWriter {
public:
    explicit TargetWriter(const fs::path& target) : m_path(target), m_file(OpenFile(target, "wb")) {}

    void Write(const void* pbyData, std::size_t cbData) {
        WriteAll(m_file, m_path, pbyData, cbData);
        m_sha1.Update(pbyData, cbData);
    }

    void Finish(PackedFile& packed) {
        CloseWritten(std::move(m_file), m_path);
        packed.id = m_sha1.Final();
    }

private:
    fs::path m_path;
    FileHandle m_file;
    Sha1Stream m_sha1;
};

void CopyStored(SourceReader& reader, TargetWriter& writer) {
    std::vector<unsigned char> chunk(kChunk);
    while (const std::size_t cbRead = reader.Read(chunk.data(), chunk.size())) {
        writer.Write(chunk.data(), cbRead);
    }
}

struct DeflateEnd {
    void operator()(z_stream* stream) const { deflateEnd(stream); }
};

void Deflate(SourceReader& reader, TargetWriter& writer, const fs::path& source) {
    z_stream stream{};
    // zlib's own header and Adler-32 trailer: the launcher accepts no other framing.
    if (deflateInit(&stream, kZlibLevel) != Z_OK) {
        throw PublishError("cannot start zlib for " + source.string());
    }
    std::unique_ptr<z_stream, DeflateEnd> guard(&stream);
    std::vector<unsigned char> in(kChunk);
    std::vector<unsigned char> out(kChunk);
    int flush = Z_NO_FLUSH;
    while (flush != Z_FINISH) {
        const std::size_t cbRead = reader.Read(in.data(), in.size());
        flush = cbRead == 0 ? Z_FINISH : Z_NO_FLUSH;
        stream.next_in = in.data();
        stream.avail_in = static_cast<uInt>(cbRead);
        do {
            stream.next_out = out.data();
            stream.avail_out = static_cast<uInt>(out.size());
            if (deflate(&stream, flush) == Z_STREAM_ERROR) {
                throw PublishError("zlib failed on " + source.string());
            }
            writer.Write(out.data(), out.size() - stream.avail_out);
        } while (stream.avail_out == 0);
    }
}

// The SDK calls back through C structs; each adapter starts with the SDK's
// interface so the callback can find its C++ side again. Exceptions must not
// unwind through C code: they are parked and rethrown after the encoder.
struct LzmaInput {
    ISeqInStream vt;
    SourceReader* reader;
    std::exception_ptr failure;

    static SRes Read(void* p, void* buf, size_t* size) {
        auto* self = static_cast<LzmaInput*>(p);
        try {
            *size = self->reader->Read(buf, *size);
            return SZ_OK;
        } catch (...) {
            self->failure = std::current_exception();
            *size = 0;
            return SZ_ERROR_READ;
        }
    }
};

struct LzmaOutput {
    ISeqOutStream vt;
    TargetWriter* writer;
    std::exception_ptr failure;

    static size_t Write(void* p, const void* buf, size_t size) {
        auto* self = static_cast<LzmaOutput*>(p);
        try {
            self->writer->Write(buf, size);
            return size;
        } catch (...) {
            self->failure = std::current_exception();
            return 0;
        }
    }
};

static_assert(std::is_standard_layout_v<LzmaInput> && std::is_standard_layout_v<LzmaOutput>);

void* SdkAlloc(void*, size_t size) {
    return std::malloc(size);
}
void SdkFree(void*, void* address) {
    std::free(address);
}
ISzAlloc g_sdkAlloc = {SdkAlloc, SdkFree};

struct EncoderDestroy {
    void operator()(void* encoder) const { LzmaEnc_Destroy(encoder, &g_sdkAlloc, &g_sdkAlloc); }
};

void EncodeLzma(SourceReader& reader, TargetWriter& writer, const fs::path& source) {
    std::unique_ptr<void, EncoderDestroy> encoder(LzmaEnc_Create(&g_sdkAlloc));
    if (!encoder) {
        throw PublishError("out of memory packing " + source.string());
    }
    CLzmaEncProps props;
    LzmaEncProps_Init(&props);
    props.level = kLzmaLevel;
    props.dictSize = kLzmaDictionary;
    // Small files get a small dictionary, and so need little memory to decode.
    props.reduceSize = static_cast<UInt32>(std::min<std::uint64_t>(reader.ExpectedSize(), 0xFFFFFFFFu));
    props.numThreads = 1;
    unsigned char header[kLzmaHeaderSize];
    SizeT propsSize = LZMA_PROPS_SIZE;
    if (LzmaEnc_SetProps(encoder.get(), &props) != SZ_OK ||
        LzmaEnc_WriteProperties(encoder.get(), header, &propsSize) != SZ_OK) {
        throw PublishError("cannot set up LZMA for " + source.string());
    }
    // The known size, little-endian: the decoder then stops there without an end marker.
    for (int i = 0; i < 8; ++i) {
        header[LZMA_PROPS_SIZE + i] = static_cast<unsigned char>(reader.ExpectedSize() >> (8 * i));
    }
    writer.Write(header, sizeof header);

    LzmaInput input{{&LzmaInput::Read}, &reader, nullptr};
    LzmaOutput output{{&LzmaOutput::Write}, &writer, nullptr};
    const SRes result = LzmaEnc_Encode(encoder.get(), &output.vt, &input.vt, nullptr, &g_sdkAlloc, &g_sdkAlloc);
    if (input.failure) {
        std::rethrow_exception(input.failure);
    }
    if (output.failure) {
        std::rethrow_exception(output.failure);
    }
    if (result != SZ_OK) {
        throw PublishError("LZMA failed on " + source.string() + " (code " + std::to_string(result) + ")");
    }
}

}  // namespace

PackedFile PackFile(const fs::path& source, const fs::path& target, Packing packing) {
    SourceReader reader(source);
    TargetWriter writer(target);
    switch (packing) {
        case Packing::Stored:
            CopyStored(reader, writer);
            break;
        case Packing::Zlib:
            Deflate(reader, writer, source);
            break;
        case Packing::Lzma:
            EncodeLzma(reader, writer, source);
            break;
    }
    PackedFile packed;
    reader.Finish(packed);
    writer.Finish(packed);
    return packed;
}

PackedFile DigestSource(const fs::path& source) {
    SourceReader reader(source);
    std::vector<unsigned char> chunk(kChunk);
    while (reader.Read(chunk.data(), chunk.size()) != 0) {
    }
    PackedFile digested;
    reader.Finish(digested);
    return digested;
}

std::string PackerSettings(Packing packing) {
    switch (packing) {
        case Packing::Stored:
            return "stored";
        case Packing::Zlib:
            return std::string("zlib-") + ZLIB_VERSION + "-level" + std::to_string(kZlibLevel);
        case Packing::Lzma: {
            // One word: the SDK's version reads "9.22 beta".
            std::string version = MY_VERSION;
            std::replace(version.begin(), version.end(), ' ', '-');
            return "lzma-alone-sdk" + version + "-level" + std::to_string(kLzmaLevel) + "-dict" +
                   std::to_string(kLzmaDictionaryBits);
        }
    }
    return {};
}

std::string Md5ListText(const std::array<unsigned char, 16>& md5) {
    return HexEncode(md5.data() + 4, 8);
}
