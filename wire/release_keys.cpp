#include "wire/release_keys.h"

#include "codec/md5_functions.h"

#include <array>

namespace {

template <std::size_t N>
bool ReadHex(std::string_view hex, std::array<unsigned char, N>& bytes) {
    return HexDecode(hex, bytes.data(), N);
}

template <std::size_t N>
std::string Hex(const std::array<unsigned char, N>& bytes) {
    return HexEncode(bytes.data(), bytes.size());
}

// Each line without its end; a last line without LF counts too.
std::vector<std::string_view> Lines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lines.push_back(line);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    }
    return lines;
}

}  // namespace

std::string PrivateKeyText(const Ed25519Seed& seed) {
    return "ed25519-private " + Hex(seed) + "\n";
}

std::optional<Ed25519Seed> ParsePrivateKey(std::string_view text) {
    const std::vector<std::string_view> lines = Lines(text);
    Ed25519Seed seed{};
    constexpr std::string_view kPrefix = "ed25519-private ";
    if (lines.size() != 1 || !lines[0].starts_with(kPrefix) || !ReadHex(lines[0].substr(kPrefix.size()), seed))
        return std::nullopt;
    return seed;
}

std::string PublicKeyLine(const Ed25519PublicKey& key) {
    return "ed25519 " + Hex(key) + "\n";
}

std::optional<std::vector<Ed25519PublicKey>> ParsePublicKeys(std::string_view text) {
    std::vector<Ed25519PublicKey> keys;
    constexpr std::string_view kPrefix = "ed25519 ";
    for (std::string_view line : Lines(text)) {
        if (line.empty() || line.front() == '#')
            continue;
        Ed25519PublicKey key{};
        if (!line.starts_with(kPrefix) || !ReadHex(line.substr(kPrefix.size()), key))
            return std::nullopt;
        keys.push_back(key);
    }
    return keys;
}

std::string ReleaseSignaturesText(const std::vector<ReleaseSignature>& signatures) {
    std::string text;
    for (const ReleaseSignature& signature : signatures)
        text += "ed25519 " + Hex(signature.key) + " " + Hex(signature.signature) + "\n";
    return text;
}

std::optional<std::vector<ReleaseSignature>> ParseReleaseSignatures(std::string_view text) {
    // Only the publisher writes these, LF alone ending each line: one
    // spelling, as for the document they sign.
    if (text.empty() || text.size() > kMaxReleaseSignatureBytes || text.back() != '\n' ||
        text.find('\r') != std::string_view::npos)
        return std::nullopt;
    std::vector<ReleaseSignature> signatures;
    constexpr std::string_view kPrefix = "ed25519 ";
    constexpr std::size_t kKeyHex = 64;
    for (std::string_view line : Lines(text)) {
        ReleaseSignature signature;
        if (!line.starts_with(kPrefix) || line.size() != kPrefix.size() + kKeyHex + 1 + 128 ||
            line[kPrefix.size() + kKeyHex] != ' ' || !ReadHex(line.substr(kPrefix.size(), kKeyHex), signature.key) ||
            !ReadHex(line.substr(kPrefix.size() + kKeyHex + 1), signature.signature))
            return std::nullopt;
        signatures.push_back(signature);
    }
    return signatures;
}
