// 20-byte content ids: SHA-1 digests of stored bytes or of tree listings.
#pragma once

#include <array>
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include <cryptopp/sha.h>

using ContentId = std::array<unsigned char, 20>;

// Lowercase hex, as the launcher puts ids into URLs.
std::string ToHex(const ContentId& id);

// Raw bytes of an even-length lowercase or uppercase hex text; nullopt for
// anything else.
std::optional<std::string> BytesFromHex(std::string_view hex);

ContentId Sha1Of(std::string_view bytes);
// Streams the file; throws PublishError when it cannot be read.
ContentId Sha1OfFile(const std::filesystem::path& file);

// A SHA-1 fed piece by piece.
class Sha1Stream {
public:
    void Update(const void* pbyData, std::size_t cbData);
    ContentId Final();

private:
    CryptoPP::SHA1 m_sha1;
};
