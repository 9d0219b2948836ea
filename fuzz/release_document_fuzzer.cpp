// A release document and the files beside it (its signatures, the trusted
// keys, a private key) as bytes from anywhere. The document and the
// signature file have one spelling each, so whatever reads writes back to
// exactly the bytes it came from; the writer never refuses what the reader
// took. The key files allow more (comments, blank lines, CR before LF, a
// last line without LF), so their keys are written and read again instead.
#include "fuzz/require.h"
#include "wire/release_document.h"
#include "wire/release_keys.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace {

void CheckDocument(std::string_view text) {
    std::string problem;
    const std::optional<ReleaseDocument> document = ParseReleaseDocument(text, problem);
    if (!document) {
        FUZZ_REQUIRE(!problem.empty());
        return;
    }
    FUZZ_REQUIRE(text.size() <= kMaxReleaseDocumentBytes);
    std::string written;
    try {
        written = ReleaseDocumentText(*document);
    } catch (const std::invalid_argument&) {
        FUZZ_REQUIRE(!"the writer refuses a document the reader took");
    }
    FUZZ_REQUIRE(written == text);
}

void CheckSignatures(std::string_view text) {
    const auto signatures = ParseReleaseSignatures(text);
    if (!signatures)
        return;
    FUZZ_REQUIRE(!signatures->empty() && text.size() <= kMaxReleaseSignatureBytes);
    FUZZ_REQUIRE(ReleaseSignaturesText(*signatures) == text);
}

void CheckPublicKeys(std::string_view text) {
    const auto keys = ParsePublicKeys(text);
    if (!keys)
        return;
    std::string written;
    for (const Ed25519PublicKey& key : *keys)
        written += PublicKeyLine(key);
    FUZZ_REQUIRE(ParsePublicKeys(written) == keys);
}

void CheckPrivateKey(std::string_view text) {
    const auto seed = ParsePrivateKey(text);
    if (!seed)
        return;
    // One line, its end optional: what is left once the end is dropped is
    // the line the writer writes.
    std::string_view line = text;
    if (line.ends_with('\n'))
        line.remove_suffix(1);
    if (line.ends_with('\r'))
        line.remove_suffix(1);
    std::string written = PrivateKeyText(*seed);
    FUZZ_REQUIRE(written.ends_with('\n'));
    written.pop_back();
    FUZZ_REQUIRE(written == line);
    FUZZ_REQUIRE(ParsePrivateKey(PrivateKeyText(*seed)) == seed);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    CheckDocument(text);
    CheckSignatures(text);
    CheckPublicKeys(text);
    CheckPrivateKey(text);
    return 0;
}
