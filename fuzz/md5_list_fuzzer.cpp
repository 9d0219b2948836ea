// An md5 list as the server sends it (UTF-16LE after a byte-order mark),
// read and compared as for an install without local files. Every entry
// kept names a file below its folder, also once "launcher/" is taken off,
// and the sizes stay within 2^53 bytes in all, so no sum of them can
// overflow (UndefinedBehaviorSanitizer watches the comparison's sums).
#include "fuzz/path_walk.h"
#include "fuzz/require.h"
#include "update/file_list.h"

#include <cstddef>
#include <cstdint>
#include <sstream>

namespace {
constexpr std::size_t kLauncherPrefixLength = 9;  // "launcher/"
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CUpdateContext context;
    std::wistringstream stream(DecodeMd5List(data, size));
    ParseFileList(stream, context);

    std::int64_t listed = 0;
    for (const FileEntry& entry : context.remoteFiles) {
        const fuzz::PathWalk walk = fuzz::Walk(entry.path);
        FUZZ_REQUIRE(walk.StaysBelow() && !walk.emptyComponent);
        if (entry.path.starts_with(L"launcher/"))
            FUZZ_REQUIRE(fuzz::Walk(entry.path.substr(kLauncherPrefixLength)).StaysBelow());
        FUZZ_REQUIRE(entry.size >= 0 && entry.size <= kMaxListedBytes);
        listed += entry.size;
        FUZZ_REQUIRE(listed <= kMaxListedBytes);
    }

    CompareFileList(context, 0, false);
    FUZZ_REQUIRE(context.pendingFiles.size() == context.remoteFiles.size());
    FUZZ_REQUIRE(context.totalBytes == listed);
    return 0;
}
