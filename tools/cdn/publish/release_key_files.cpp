#include "tools/cdn/publish/release_key_files.h"

#include "tools/cdn/publish/exclusive_file.h"
#include "tools/cdn/publish/file_handle.h"
#include "tools/cdn/publish/publish_error.h"
#include "wire/release_keys.h"

#include <optional>
#include <system_error>

namespace fs = std::filesystem;

namespace {

void WriteNew(const fs::path& file, const std::string& text, FileReaders readers) {
    FileHandle handle = CreateNewFile(file, readers);
    try {
        WriteAll(handle, file, text.data(), text.size());
        CloseWritten(std::move(handle), file);
    } catch (...) {
        std::error_code ignored;
        fs::remove(file, ignored);
        throw;
    }
}

}  // namespace

std::string WriteNewKeyPair(const fs::path& outDir) {
    const fs::path privateFile = outDir / kPrivateKeyFile;
    const fs::path publicFile = outDir / kPublicKeyFile;
    std::error_code error;
    // Both checked before either is written: a pair is made whole or not at all.
    for (const fs::path& file : {privateFile, publicFile}) {
        if (fs::exists(fs::symlink_status(file, error))) {
            throw PublishError(file.string() + " exists already; keygen never replaces a key (choose another --out)");
        }
    }
    const std::optional<Ed25519Seed> seed = NewEd25519Seed();
    if (!seed) {
        throw PublishError("the system's random source gave no key");
    }
    const std::string publicLine = PublicKeyLine(Ed25519PublicKeyOf(*seed));
    CreateFolders(outDir);
    WriteNew(privateFile, PrivateKeyText(*seed), FileReaders::OwnerOnly);
    try {
        WriteNew(publicFile, publicLine, FileReaders::Anyone);
    } catch (...) {
        fs::remove(privateFile, error);
        throw;
    }
    return publicLine;
}

Ed25519Seed ReadSigningKey(const fs::path& file) {
    std::error_code error;
    if (!fs::is_regular_file(file, error)) {
        throw PublishError("--sign-key " + file.string() + ": no such file");
    }
    const std::optional<Ed25519Seed> seed = ParsePrivateKey(ReadWholeFile(file));
    if (!seed) {
        throw PublishError("--sign-key " + file.string() + ": not a private key written by \"quillmoor-cdn keygen\"");
    }
    return *seed;
}
