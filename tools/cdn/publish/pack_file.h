// Packs one source file into the form the launcher downloads, in a single
// read: the size and MD5 for the md5 list and the packed bytes always
// describe the same content, even if the source changes meanwhile (that is
// then refused).
#pragma once

#include "tools/cdn/publish/content_id.h"

#include <array>
#include <cstdint>
#include <filesystem>

enum class Packing {
    Stored,  // as it stands (the settings file)
    Zlib,    // ".z": one zlib stream, RFC 1950
    Lzma,    // ".lz": LZMA "alone" with the known unpacked size
};

// SHA-256 of a source's bytes: what decides whether its packed object can
// be reused, so it must not be open to collisions.
using SourceDigest = std::array<unsigned char, 32>;

struct PackedFile {
    std::uint64_t size = 0;  // bytes of the source
    std::array<unsigned char, 16> md5{};
    SourceDigest source{};
    ContentId id{};  // SHA-1 of the bytes written to the target
};

// Throws PublishError when the source cannot be read, changed size while
// being read, or the target cannot be written.
PackedFile PackFile(const std::filesystem::path& source, const std::filesystem::path& target, Packing packing);

// Reads the source once for its size, MD5 and digest; id stays empty.
PackedFile DigestSource(const std::filesystem::path& source);

// Names the packer and every setting that shapes its output: equal names and
// equal sources give equal objects.
std::string PackerSettings(Packing packing);

// The 16 characters that md5 lists carry: digest bytes 4 to 11 in hex.
std::string Md5ListText(const std::array<unsigned char, 16>& md5);
