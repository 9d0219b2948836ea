// "quillmoor-cdn sign": signs the answers a folder serves again, with a new
// serial and expiry and nothing packed, so that a timer keeps a release
// from expiring on players' launchers.
#pragma once

#include "tools/cdn/publish/release_signer.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

struct SignOptions {
    std::filesystem::path outDir;
    SigningOptions signing;
    // Default: the platform of the folder's one launcher answer.
    std::optional<std::string> platformCode;
};

struct SignSummary {
    std::string platformCode;
    std::uint64_t serial = 0;
    std::int64_t expires = 0;
};

// Throws PublishError; the documents in force stay as they were then.
SignSummary SignPublish(const SignOptions& options, std::int64_t now);
