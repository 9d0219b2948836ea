// Manifests map truncated SHA-1 keys of CDN paths to 20-byte ids; through
// them every CDN path becomes a download URL.
#pragma once

#include "update/update_context.h"

#include <map>
#include <string>

// Downloads one manifest of 25-byte records into map (not cleared first),
// from the context's bases. A later record with the same key replaces the
// earlier id. A body the context's accepted release does not list is a failed
// attempt.
bool FetchManifest(const std::wstring& url, std::map<std::string, std::string>& map, CUpdateContext& context);

// Adds the records of a manifest body; a body whose size is not a multiple
// of 25 bytes adds nothing.
void ParseManifest(const unsigned char* pbyData, std::size_t cbData, std::map<std::string, std::string>& map);

// The download URL of a CDN path: a "file/" URL from the diff manifest, else
// a "tree/" URL from the index manifest entry of its directory; empty when
// neither knows it.
std::wstring ResolveCdnUrl(const CUpdateContext& context, const std::wstring& cdnPath);
