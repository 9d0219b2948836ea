// What an accepted release allows: the answer it names and the bodies it
// lists. Without an accepted release everything is allowed, as for a
// launcher that checks no releases. Each refusal names its reason in the
// diagnostic log.
#pragma once

#include "codec/sha256_digest.h"
#include "update/update_context.h"

#include <cstdint>
#include <string>

class CHttpProduct;

// The answer's fields, cdn_url aside, must be the document's.
bool ReleaseAllowsAnswer(const CUpdateContext& context, const std::wstring& answer);

// The body fetched from url (cdn_url followed by a path the document names)
// must have the listed size and SHA-256.
bool ReleaseAllowsBody(const CUpdateContext& context, const std::wstring& url, std::uint64_t size,
                       const Sha256Digest& digest);
bool ReleaseAllowsBody(const CUpdateContext& context, const std::wstring& url, const unsigned char* pbyData,
                       std::size_t cbData);

// Size and SHA-256 of what a product saves, taken block by block as it is
// written, so a body is never read back to be checked.
class CReceivedDigest {
public:
    // Starts over and watches the product's next saves.
    void Watch(CHttpProduct& product);
    // The same for a save that continues keptFile: its first keptBytes are
    // digested first, read back once. False when they cannot be read; the
    // digest then matches nothing.
    bool Watch(CHttpProduct& product, const std::wstring& keptFile, std::uint64_t keptBytes);
    std::uint64_t Size() const { return m_size; }
    Sha256Digest Final() { return m_sha256.Final(); }

private:
    Sha256Stream m_sha256;
    std::uint64_t m_size = 0;
};
