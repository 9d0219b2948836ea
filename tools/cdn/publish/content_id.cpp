#include "tools/cdn/publish/content_id.h"

#include "codec/md5_functions.h"
#include "tools/cdn/publish/file_handle.h"
#include "tools/cdn/publish/publish_error.h"

#include <vector>

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

}  // namespace

std::string ToHex(const ContentId& id) {
    return HexEncode(id.data(), id.size());
}

std::optional<std::string> BytesFromHex(std::string_view hex) {
    if (hex.size() % 2 != 0) {
        return std::nullopt;
    }
    std::string bytes;
    bytes.reserve(hex.size() / 2);
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        const int high = HexValue(hex[i]);
        const int low = HexValue(hex[i + 1]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        bytes.push_back(static_cast<char>(high * 16 + low));
    }
    return bytes;
}

void Sha1Stream::Update(const void* pbyData, std::size_t cbData) {
    m_sha1.Update(static_cast<const CryptoPP::byte*>(pbyData), cbData);
}

ContentId Sha1Stream::Final() {
    ContentId id{};
    m_sha1.Final(id.data());
    return id;
}

ContentId Sha1Of(std::string_view bytes) {
    Sha1Stream sha1;
    sha1.Update(bytes.data(), bytes.size());
    return sha1.Final();
}

ContentId Sha1OfFile(const std::filesystem::path& file) {
    FileHandle handle = OpenFile(file, "rb");
    Sha1Stream sha1;
    std::vector<char> chunk(1 << 16);
    while (const std::size_t cbRead = ReadSome(handle, file, chunk.data(), chunk.size())) {
        sha1.Update(chunk.data(), cbRead);
    }
    return sha1.Final();
}
