// Manifests: 25-byte records, the first 5 bytes of the SHA-1 of a CDN path
// (its PathKey) followed by a 20-byte id, with no header or trailer.
#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <map>
#include <string>

inline constexpr std::size_t kManifestKeySize = 5;
inline constexpr std::size_t kManifestIdSize = 20;
inline constexpr std::size_t kManifestRecordSize = kManifestKeySize + kManifestIdSize;

using ManifestId = std::array<unsigned char, kManifestIdSize>;

// Calls record with each record's key (10 lowercase hex characters, as
// PathKey gives) and id, in file order. A size that is not a whole number of
// records gives no call and false.
bool ReadManifestRecords(const unsigned char* pbyData, std::size_t cbData,
                         const std::function<void(const std::string& key, const ManifestId& id)>& record);

// The bytes of a manifest holding these records, in key order, so the same
// records always give the same bytes. Throws std::invalid_argument for a key
// that is not 10 lowercase hex characters.
std::string ManifestBytes(const std::map<std::string, ManifestId>& records);
