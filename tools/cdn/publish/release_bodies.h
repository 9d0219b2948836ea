// Every body a launcher fetches for one version answer, found the way the
// launcher finds it in a published folder: the manifests the answer names,
// the md5 list resolved through them, each packed object the list leads to
// and, for the launcher, the platform's settings file. Read back from the
// folder rather than taken from the publish that wrote it, so that "sign"
// covers exactly what is being served.
#pragma once

#include "wire/release_document.h"

#include <filesystem>
#include <map>
#include <string>
#include <string_view>

// Bodies by their path below cdn_url (UTF-8, not percent-encoded), with the
// size and SHA-256 of the file at that path below root. Throws PublishError
// when the launcher could not fetch one of them from root.
std::map<std::string, ReleaseBody> ReleaseBodies(const std::filesystem::path& root, ReleaseKind kind,
                                                 const std::string& platformCode, std::string_view answerText);
