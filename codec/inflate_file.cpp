#include "codec/inflate_file.h"

#include "platform/thread_stop.h"

#include <zlib.h>

#include <memory>
#include <vector>

namespace {

constexpr std::size_t kChunk = 16384;

struct InflateEnd {
    void operator()(z_stream* stream) const { inflateEnd(stream); }
};
using InflateGuard = std::unique_ptr<z_stream, InflateEnd>;

}  // namespace

int InflateFile(FILE* source, FILE* target, std::uint64_t outputLimit, const WrittenBlockObserver& written) {
    z_stream stream{};
    int result = inflateInit(&stream);
    if (result != Z_OK) {
        return result;
    }
    const InflateGuard guard(&stream);
    std::vector<unsigned char> in(kChunk);
    std::vector<unsigned char> out(kChunk);
    std::uint64_t produced = 0;

    do {
        platform::StopPoint();
        stream.avail_in = static_cast<uInt>(std::fread(in.data(), 1, in.size(), source));
        if (std::ferror(source)) {
            return Z_ERRNO;
        }
        if (stream.avail_in == 0) {
            break;
        }
        stream.next_in = in.data();
        // Drain the chunk: a full output buffer means inflate has more to give.
        do {
            stream.avail_out = static_cast<uInt>(out.size());
            stream.next_out = out.data();
            result = inflate(&stream, Z_NO_FLUSH);
            switch (result) {
                case Z_NEED_DICT:
                    // The launcher never packs with a preset dictionary.
                    return Z_DATA_ERROR;
                case Z_STREAM_ERROR:
                case Z_DATA_ERROR:
                case Z_MEM_ERROR:
                    return result;
                default:
                    break;
            }
            const std::size_t cbHave = out.size() - stream.avail_out;
            produced += cbHave;
            if (produced > outputLimit) {
                return Z_DATA_ERROR;
            }
            platform::StopPoint();
            if (std::fwrite(out.data(), 1, cbHave, target) != cbHave) {
                return Z_ERRNO;
            }
            if (written && cbHave != 0) {
                written(out.data(), cbHave);
            }
        } while (stream.avail_out == 0);
    } while (result != Z_STREAM_END);

    if (result != Z_STREAM_END) {
        return Z_DATA_ERROR;
    }
    // Bytes still buffered in the target count as written only once they are out.
    return std::fflush(target) == 0 ? Z_OK : Z_ERRNO;
}
