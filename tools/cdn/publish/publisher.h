// Publishing: a launcher folder and a client folder become a CDN tree in the
// launcher's format, with the version answers that point at it.
//
// Layout of the output folder:
//   tree/<tree id>/<name>   every object, by the tree of its CDN directory
//   file/<file id>/<name>   objects that changed against --previous
//   index/<index name>      one index manifest covering every directory
//   diff/<index>..<prev>    file ids of the changed objects, when any
//   answers/launcher-<platform>.txt, answers/client.txt   version answers
//   answers/*.release, answers/*.release.sig   with signing keys: what each
//                           answer leads to, signed (release_signer.h)
//   packing/sources         what each object was packed from (not served)
//   packing/<platform>.ini  with --mirror: the settings file as served (not
//                           served from here)
// The index name is the SHA-1 of the index; a diff is named after the
// previous publish's index. Objects are written first and the answers last,
// so a server running on the folder switches from one publish to the next.
#pragma once

#include "tools/cdn/publish/release_signer.h"
#include "tools/cdn/publish/version_answer.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

struct PublishOptions {
    std::filesystem::path launcherDir;
    std::filesystem::path clientDir;
    std::string platformCode;
    std::filesystem::path outDir;
    // Default: <launcherDir>/<platformCode>.ini
    std::optional<std::filesystem::path> settingsFile;
    std::string launcherVersion = "L1";
    std::string clientVersion = "C1";
    std::string baseUrl = std::string(kServerPlaceholder) + "/cdn/";
    std::string webUrl = std::string(kServerPlaceholder) + "/web/index.html";
    std::optional<std::filesystem::path> previousDir;
    // Written into the settings file as its Mirrors line; none: the file is
    // served as it stands.
    std::vector<std::string> mirrors;
    unsigned jobs = 0;  // files packed at once; 0: one per core
    SigningOptions signing;
};

struct PublishSummary {
    std::size_t files = 0;  // launcher and client files
    std::uint64_t bytes = 0;
    std::string indexName;
    std::string diffName;  // empty: nothing changed, or no --previous
    std::size_t changedObjects = 0;
    std::uint64_t releaseSerial = 0;  // 0: not signed
    std::int64_t releaseExpires = 0;
};

// Warnings and progress go to log. Throws PublishError; the answers and
// release documents of an earlier publish in outDir stay in force then.
PublishSummary Publish(const PublishOptions& options, std::ostream& log, bool logIsTerminal);
