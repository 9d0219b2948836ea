// SHA-256 of release bodies: fed piece by piece as a body arrives, so that
// nothing is read back to be checked.
#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

using Sha256Digest = std::array<unsigned char, 32>;

class Sha256Stream {
public:
    Sha256Stream();
    ~Sha256Stream();
    Sha256Stream(const Sha256Stream&) = delete;
    Sha256Stream& operator=(const Sha256Stream&) = delete;

    void Update(const void* pbyData, std::size_t cbData);
    // The digest of everything fed since construction or the last Final.
    Sha256Digest Final();

private:
    struct State;
    std::unique_ptr<State> m_state;
};

Sha256Digest Sha256Of(std::string_view bytes);
