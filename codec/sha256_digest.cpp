#include "codec/sha256_digest.h"

#include <cryptopp/sha.h>

struct Sha256Stream::State {
    CryptoPP::SHA256 sha256;
};

Sha256Stream::Sha256Stream() : m_state(std::make_unique<State>()) {}

Sha256Stream::~Sha256Stream() = default;

void Sha256Stream::Update(const void* pbyData, std::size_t cbData) {
    m_state->sha256.Update(static_cast<const CryptoPP::byte*>(pbyData), cbData);
}

Sha256Digest Sha256Stream::Final() {
    Sha256Digest digest{};
    m_state->sha256.Final(digest.data());
    return digest;
}

Sha256Digest Sha256Of(std::string_view bytes) {
    Sha256Stream stream;
    stream.Update(bytes.data(), bytes.size());
    return stream.Final();
}
