#include "codec/md5_functions.h"

#include "platform/crt.h"
#include "platform/kernel32.h"
#include "platform/thread_stop.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <memory>
#include <mutex>
#include <type_traits>
#include <vector>

namespace {

constexpr char kHexDigits[] = "0123456789abcdef";
constexpr std::size_t kDigestBytes = 16;
constexpr std::size_t kHexChars = 2 * kDigestBytes;
// Large enough that the per-call cost vanishes, small enough for a worker thread.
constexpr std::size_t kFileChunk = 64 * 1024;

struct FileClose {
    void operator()(FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<FILE, FileClose>;

// Filled once at start-up and only read afterwards. The module stays loaded
// until the process ends, on purpose: worker threads may still be digesting
// while static objects are destroyed, so this state has no destructor that
// could unload the module under them.
struct Md5Module {
    HMODULE hModule = nullptr;
    PMD5Init pInit = nullptr;
    PMD5Update pUpdate = nullptr;
    PMD5Final pFinal = nullptr;

    bool Available() const { return pInit && pUpdate && pFinal; }
};

static_assert(std::is_trivially_destructible_v<Md5Module>);

Md5Module& Md5State() {
    static Md5Module state;
    return state;
}

// MD5Update takes a 32-bit length; larger inputs go in slices.
void UpdateInSlices(MD5_CTX& context, const unsigned char* pbyData, std::size_t cbData) {
    const Md5Module& md5 = Md5State();
    while (cbData > 0) {
        const auto cbSlice = static_cast<unsigned int>(std::min<std::size_t>(cbData, UINT_MAX));
        md5.pUpdate(&context, pbyData, cbSlice);
        pbyData += cbSlice;
        cbData -= cbSlice;
    }
}

void WriteHex(const unsigned char* pbyDigest, wchar_t* szDigest) {
    for (std::size_t i = 0; i < kDigestBytes; ++i) {
        szDigest[2 * i] = static_cast<wchar_t>(kHexDigits[pbyDigest[i] >> 4]);
        szDigest[2 * i + 1] = static_cast<wchar_t>(kHexDigits[pbyDigest[i] & 0x0F]);
    }
}

bool Fail(wchar_t* szDigest) {
    std::fill_n(szDigest, kHexChars, L'\0');
    return false;
}

}  // namespace

bool LoadMd5Functions() {
    static std::once_flag loaded;
    std::call_once(loaded, [] {
        Md5Module& md5 = Md5State();
        md5.hModule = LoadLibraryW(L"advapi32.dll");
        if (!md5.hModule) {
            return;
        }
        md5.pInit = reinterpret_cast<PMD5Init>(GetProcAddress(md5.hModule, "MD5Init"));
        md5.pUpdate = reinterpret_cast<PMD5Update>(GetProcAddress(md5.hModule, "MD5Update"));
        md5.pFinal = reinterpret_cast<PMD5Final>(GetProcAddress(md5.hModule, "MD5Final"));
    });
    return Md5State().Available();
}

Md5Stream::Md5Stream() {
    if (Md5State().Available()) {
        Md5State().pInit(&m_context);
    }
}

void Md5Stream::Update(const void* pbyData, std::size_t cbData) {
    if (Md5State().Available()) {
        UpdateInSlices(m_context, static_cast<const unsigned char*>(pbyData), cbData);
    }
}

bool Md5Stream::Final(wchar_t* szDigest) {
    const Md5Module& md5 = Md5State();
    if (!md5.Available()) {
        return Fail(szDigest);
    }
    md5.pFinal(&m_context);
    WriteHex(m_context.digest, szDigest);
    return true;
}

std::wstring Md5Stream::FinalText() {
    wchar_t szDigest[kHexChars];
    Final(szDigest);
    return Md5Text(szDigest);
}

bool Md5Hex(const void* pbyBuff, std::size_t cbBuff, wchar_t* szDigest) {
    Md5Stream stream;
    stream.Update(pbyBuff, cbBuff);
    return stream.Final(szDigest);
}

bool Md5HexOfFile(const std::wstring& path, wchar_t* szDigest) {
    if (!Md5State().Available()) {
        return Fail(szDigest);
    }
    FileHandle file(_wfopen(path.c_str(), L"rb"));
    if (!file) {
        return Fail(szDigest);
    }
    std::vector<unsigned char> chunk(kFileChunk);
    Md5Stream stream;
    for (;;) {
        // Digests of multi-GiB files take a while; a stopped thread ends here.
        platform::StopPoint();
        const std::size_t cbRead = std::fread(chunk.data(), 1, chunk.size(), file.get());
        stream.Update(chunk.data(), cbRead);
        if (cbRead < chunk.size()) {
            break;
        }
    }
    if (std::ferror(file.get())) {
        return Fail(szDigest);
    }
    return stream.Final(szDigest);
}

std::wstring Md5Text(const wchar_t* szDigest) {
    // A failed digest is all zero characters and so gives an empty text.
    const wchar_t* begin = szDigest + 8;
    return std::wstring(begin, std::find(begin, begin + 16, L'\0'));
}

std::wstring Md5TextOfFile(const std::wstring& path) {
    wchar_t szDigest[kHexChars];
    if (!Md5HexOfFile(path, szDigest)) {
        return {};
    }
    return Md5Text(szDigest);
}

std::string HexEncode(const unsigned char* pbyData, std::size_t cbData) {
    std::string text;
    text.reserve(2 * cbData);
    for (std::size_t i = 0; i < cbData; ++i) {
        text.push_back(kHexDigits[pbyData[i] >> 4]);
        text.push_back(kHexDigits[pbyData[i] & 0x0F]);
    }
    return text;
}

bool HexDecode(std::string_view hex, unsigned char* pbyOut, std::size_t cbOut) {
    auto digit = [](char c) { return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1; };
    if (hex.size() != 2 * cbOut)
        return false;
    for (std::size_t i = 0; i < cbOut; ++i) {
        const int high = digit(hex[2 * i]);
        const int low = digit(hex[2 * i + 1]);
        if (high < 0 || low < 0)
            return false;
        pbyOut[i] = static_cast<unsigned char>(high * 16 + low);
    }
    return true;
}
