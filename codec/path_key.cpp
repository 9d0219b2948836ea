#include "codec/path_key.h"

#include "codec/md5_functions.h"
#include "platform/text.h"

#include <cryptopp/sha.h>

namespace {

constexpr unsigned int kKeyBytes = 5;

}  // namespace

std::string PathKey(const std::wstring& cdnPath) {
    const std::string utf8 = platform::ToUtf8(cdnPath);
    CryptoPP::SHA1 sha1;
    CryptoPP::HashTransformation& hash = sha1;
    hash.Update(reinterpret_cast<const CryptoPP::byte*>(utf8.data()), utf8.size());
    CryptoPP::byte key[kKeyBytes];
    hash.TruncatedFinal(key, kKeyBytes);
    return HexEncode(key, kKeyBytes);
}
