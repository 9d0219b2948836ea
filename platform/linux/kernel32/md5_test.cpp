#include "platform/advapi_md5.h"
#include "platform/kernel32.h"

#define CRYPTOPP_ENABLE_NAMESPACE_WEAK 1
#include <cryptopp/md5.h>

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

std::string Hex(const unsigned char* bytes, std::size_t count) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (std::size_t i = 0; i < count; ++i) {
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 15];
    }
    return text;
}

class Md5Test : public ::testing::Test {
protected:
    void SetUp() override {
        m_module = LoadLibraryW(L"ADVAPI32.DLL");
        ASSERT_NE(m_module, nullptr);
        m_init = reinterpret_cast<PMD5Init>(GetProcAddress(m_module, "MD5Init"));
        m_update = reinterpret_cast<PMD5Update>(GetProcAddress(m_module, "MD5Update"));
        m_final = reinterpret_cast<PMD5Final>(GetProcAddress(m_module, "MD5Final"));
        ASSERT_TRUE(m_init && m_update && m_final);
    }
    void TearDown() override { EXPECT_TRUE(FreeLibrary(m_module)); }

    // The digest of `data` fed in pieces that end at the given offsets.
    std::string Digest(const std::string& data, const std::vector<std::size_t>& cuts = {}) {
        MD5_CTX context;
        m_init(&context);
        std::size_t start = 0;
        for (std::size_t cut : cuts) {
            m_update(&context, reinterpret_cast<const unsigned char*>(data.data()) + start,
                     static_cast<unsigned int>(cut - start));
            start = cut;
        }
        m_update(&context, reinterpret_cast<const unsigned char*>(data.data()) + start,
                 static_cast<unsigned int>(data.size() - start));
        m_final(&context);
        return Hex(context.digest, 16);
    }

    HMODULE m_module = nullptr;
    PMD5Init m_init = nullptr;
    PMD5Update m_update = nullptr;
    PMD5Final m_final = nullptr;
};

TEST_F(Md5Test, Rfc1321Vectors) {
    EXPECT_EQ(Digest(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(Digest("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(Digest("12345678901234567890123456789012345678901234567890123456789012345678901234567890"),
              "57edf4a22be3c955ac49da2e2107b67a");
    EXPECT_EQ(Digest(std::string(1000000, 'a')), "7707d6ae4e027c70eea2a935c2296f21");
}

TEST_F(Md5Test, AnySplitGivesTheOneShotDigest) {
    std::mt19937 random(1321);
    std::string data(3000, '\0');
    for (char& c : data) {
        c = static_cast<char>(random());
    }
    // Lengths around the block and padding boundaries (55, 56, 63, 64, ...).
    for (std::size_t length : {0, 1, 55, 56, 57, 63, 64, 65, 119, 120, 128, 1000, 3000}) {
        const std::string piece = data.substr(0, length);
        std::string expected(CryptoPP::Weak::MD5::DIGESTSIZE, '\0');
        CryptoPP::Weak::MD5().CalculateDigest(reinterpret_cast<CryptoPP::byte*>(expected.data()),
                                              reinterpret_cast<const CryptoPP::byte*>(piece.data()), piece.size());
        const std::string expectedHex = Hex(reinterpret_cast<const unsigned char*>(expected.data()), expected.size());
        EXPECT_EQ(Digest(piece), expectedHex) << "length " << length;
        for (std::size_t cut = 0; cut <= length; cut += 7) {
            EXPECT_EQ(Digest(piece, {cut}), expectedHex) << "length " << length << " cut " << cut;
        }
        std::vector<std::size_t> cuts;
        for (std::size_t at = 0; at < length; at += 1 + random() % 70) {
            cuts.push_back(at);
        }
        EXPECT_EQ(Digest(piece, cuts), expectedHex) << "length " << length << " in many pieces";
    }
}

TEST(Modules, OnlyAdvapi32AndItsMd5Functions) {
    EXPECT_EQ(LoadLibraryW(L"advapi32"), LoadLibraryW(L"advapi32.dll"));
    EXPECT_EQ(LoadLibraryW(L"kernel32.dll"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
    EXPECT_EQ(LoadLibraryW(nullptr), nullptr);

    HMODULE module = LoadLibraryW(L"Advapi32.dll");
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(GetProcAddress(module, "md5init"), nullptr);  // export names are case-sensitive
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
    EXPECT_EQ(GetProcAddress(module, "SHA1Init"), nullptr);
    EXPECT_EQ(GetProcAddress(module, reinterpret_cast<LPCSTR>(static_cast<std::uintptr_t>(1))), nullptr);
    EXPECT_EQ(GetProcAddress(nullptr, "MD5Init"), nullptr);
    EXPECT_TRUE(FreeLibrary(module));
    EXPECT_FALSE(FreeLibrary(nullptr));
}

}  // namespace
