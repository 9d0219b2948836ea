// Signed releases beside the version answers: for each answer a release
// document naming every body the launcher will fetch for it, and the
// signatures of that document by the studio's keys.
//   answers/launcher-<platform>.release   answers/launcher-<platform>.release.sig
//   answers/client.release                answers/client.release.sig
#pragma once

#include "codec/ed25519_signature.h"
#include "wire/release_document.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

inline constexpr unsigned kDefaultReleaseDays = 30;
inline constexpr unsigned kMaxReleaseDays = 3650;

struct SigningOptions {
    std::vector<std::filesystem::path> keyFiles;  // none: nothing is signed
    unsigned expiresDays = kDefaultReleaseDays;
};

// One version answer in answers/.
struct ReleaseAnswer {
    std::string stem;  // its file name without ".txt": "launcher-pv", "client"
    ReleaseKind kind = ReleaseKind::Client;
    std::string text;  // exactly as answers/<stem>.txt holds it
};

struct ReleaseFiles {
    std::string stem;
    std::string document;
    std::string signatures;
};

struct SignedRelease {
    std::uint64_t serial = 0;
    std::int64_t expires = 0;
    std::vector<ReleaseFiles> files;  // one per answer, in the answers' order
};

class ReleaseSigner {
public:
    // Reads every key file. Throws PublishError naming a file that holds no key.
    explicit ReleaseSigner(const SigningOptions& options);

    // One document per answer, all with the same serial (NextReleaseSerial),
    // published at now and expiring the chosen number of days later, its
    // bodies read from root. Throws PublishError when an answer holds
    // "{server}" anywhere but in cdn_url (a document signs the rest as it
    // stands, and no launcher fills it in) or a body cannot be read.
    SignedRelease Sign(const std::filesystem::path& root, const std::string& platformCode,
                       const std::vector<ReleaseAnswer>& answers, std::int64_t now) const;

private:
    std::vector<Ed25519Seed> m_keys;
    std::int64_t m_lifetime;
};

// Throws PublishError for a web_url a signed release cannot name.
void CheckSignableWebUrl(std::string_view webUrl);

// now, or one more than the highest serial of the documents in
// root/answers when that is higher: a release never goes back, even when
// the clock does or another machine published last. Throws PublishError for
// a document there that cannot be read.
std::uint64_t NextReleaseSerial(const std::filesystem::path& root, std::int64_t now);

// The release documents in root/answers, by file name.
std::vector<std::string> ReleaseDocumentsIn(const std::filesystem::path& root);

// Each document, then its signatures, each file renamed into place whole.
void WriteReleaseFiles(const std::filesystem::path& root, const std::vector<ReleaseFiles>& files);

// Seconds since 1970, as documents carry them.
std::int64_t UnixTimeNow();
