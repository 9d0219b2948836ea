// Paths from the server as they arrive: UTF-8 in an answer, UTF-16LE in an
// md5 list. Whatever the checks let through stays below its folder; a list
// path also has no empty component, so that taking "launcher/" off it
// leaves a path that stays below too.
#include "fuzz/path_walk.h"
#include "fuzz/require.h"
#include "platform/text.h"
#include "update/safe_path.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace {
constexpr std::size_t kLauncherPrefixLength = 9;  // "launcher/"
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    for (const std::wstring& path : {platform::FromUtf8(bytes), platform::FromUtf16Le(bytes)}) {
        const fuzz::PathWalk walk = fuzz::Walk(path);
        if (IsSafeRelativePath(path))
            FUZZ_REQUIRE(walk.StaysBelow());
        if (IsSafeListPath(path)) {
            FUZZ_REQUIRE(IsSafeRelativePath(path) && !walk.emptyComponent);
            if (path.starts_with(L"launcher/"))
                FUZZ_REQUIRE(fuzz::Walk(path.substr(kLauncherPrefixLength)).StaysBelow());
        }
    }
    return 0;
}
