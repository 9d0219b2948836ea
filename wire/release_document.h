// The signed release document: for one version answer, every body a
// launcher will act on with its size and SHA-256, a serial that only grows
// and an expiry. UTF-8 lines ended by LF, in a fixed order:
//
//   quillmoor-release 1
//   kind launcher|client
//   platform CODE
//   serial N
//   published UNIX-SECONDS
//   expires UNIX-SECONDS
//   answer THE ANSWER'S FIELDS WITHOUT cdn_url
//   body SHA256-HEX SIZE PATH-BELOW-cdn_url     (one a body, sorted by path)
//
// cdn_url is left out of the answer on purpose: the server names its own
// address there, and every body is checked by its digest wherever it came
// from.
#pragma once

#include "codec/sha256_digest.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

// A client of a million files stays well inside; a server cannot make the
// launcher take more.
inline constexpr std::size_t kMaxReleaseDocumentBytes = std::size_t{64} << 20;

enum class ReleaseKind { Launcher, Client };

struct ReleaseBody {
    std::uint64_t size = 0;
    Sha256Digest sha256{};
    bool operator==(const ReleaseBody&) const = default;
};

struct ReleaseDocument {
    ReleaseKind kind = ReleaseKind::Client;
    std::string platform;
    std::uint64_t serial = 0;
    std::int64_t published = 0;
    std::int64_t expires = 0;
    std::string answer;
    std::map<std::string, ReleaseBody> bodies;  // by path below cdn_url
    bool operator==(const ReleaseDocument&) const = default;
};

// Throws std::invalid_argument for a value that would not read back the same
// (a line end or control character, an empty platform or body path).
std::string ReleaseDocumentText(const ReleaseDocument& document);

// The document, or nullopt with the reason in problem: anything that is not
// exactly the form above, read whole.
std::optional<ReleaseDocument> ParseReleaseDocument(std::string_view text, std::string& problem);

// The answer as a document names it: its fields in order, cdn_url left out.
std::string AnswerWithoutCdnUrl(std::string_view answer);
