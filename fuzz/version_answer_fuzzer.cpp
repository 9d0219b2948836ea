// The version service's answer as the server sends it (UTF-8 bytes), read
// for the launcher's check and for the client's. A cdn_path it takes names
// a folder below the data folder and fits a path buffer; an answer without
// the fields it needs gives nothing at all.
#include "fuzz/path_walk.h"
#include "fuzz/require.h"
#include "platform/text.h"
#include "platform/win_types.h"
#include "update/version_service.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::wstring answer = platform::FromUtf8(std::string_view(reinterpret_cast<const char*>(data), size));
    for (const wchar_t* prefix : {L"launcher/", L""}) {
        const VersionAnswerFields read = ReadVersionAnswer(answer, prefix);
        if (read.cdnPath) {
            FUZZ_REQUIRE(read.cdnPath->size() < MAX_PATH);
            FUZZ_REQUIRE(fuzz::Walk(*read.cdnPath).StaysBelow());
        }
        FUZZ_REQUIRE(read.complete || (!read.cdnUrl && !read.cdnPath && !read.webUrl && read.indexName.empty()));
    }
    return 0;
}
