// Download throughput of the download product against curl, on the same body
// served by the loopback test server in the same run.
//
//   http_download_bench [size-MiB, default 512] [work folder, default $TMPDIR or /tmp]
//
// Our side is what a download worker does: Open, then SaveTo through the
// 1,054,720-byte transfer buffer. curl's side is `curl -s -o FILE URL`, timed
// from its start to its exit. Best of three runs each, alternating; every
// saved file is compared with the body.
#include "net/http_product.h"
#include "platform/text.h"
#include "tests/support/loopback_server.h"
#include "tests/support/temp_dir.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr std::uint64_t kMiB = 1024 * 1024;
constexpr DWORD kTransferBufferSize = 1030 * 1024;
constexpr int kRepeats = 3;

std::string MakeBody(std::uint64_t size) {
    std::string body(size, '\0');
    std::uint64_t state = 0x9E3779B97F4A7C15ull;
    for (std::uint64_t i = 0; i + 8 <= size; i += 8) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        std::memcpy(&body[i], &state, 8);
    }
    return body;
}

bool SameAsBody(const fs::path& file, const std::string& body) {
    std::ifstream in(file, std::ios::binary);
    std::vector<char> chunk(8 * kMiB);
    std::uint64_t offset = 0;
    while (in) {
        in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
        const auto count = static_cast<std::uint64_t>(in.gcount());
        if (offset + count > body.size() || std::memcmp(chunk.data(), body.data() + offset, count) != 0)
            return false;
        offset += count;
    }
    return offset == body.size();
}

double SecondsOf(const std::function<bool()>& run) {
    const auto start = Clock::now();
    if (!run())
        return -1.0;
    return std::chrono::duration<double>(Clock::now() - start).count();
}

bool DownloadWithProduct(const std::string& url, const fs::path& file, std::vector<BYTE>& buffer) {
    CHttpProduct product(kTransferBufferSize, buffer.data());
    if (product.Open(platform::FromUtf8(url).c_str(), L"", 0, 0) != 1)
        return false;
    product.SaveTo(platform::FromUtf8(file.string()).c_str());
    return true;
}

bool DownloadWithCurl(const std::string& url, const fs::path& file) {
    std::string program = "curl";
    std::string silent = "-s";
    std::string output = "-o";
    std::string path = file.string();
    std::string target = url;
    char* argv[] = {program.data(), silent.data(), output.data(), path.data(), target.data(), nullptr};
    pid_t pid = 0;
    if (posix_spawnp(&pid, "curl", nullptr, nullptr, argv, environ) != 0)
        return false;
    int status = 0;
    return waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::uint64_t sizeMiB = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 512;
    const char* tmp = std::getenv("TMPDIR");
    const fs::path base = argc > 2 ? fs::path(argv[2]) : fs::path(tmp && *tmp ? tmp : "/tmp");
    if (sizeMiB == 0) {
        std::fprintf(stderr, "usage: %s [size-MiB] [work-folder]\n", argv[0]);
        return 2;
    }
    const testsupport::TempDir workFolder(base);
    const fs::path& work = workFolder.Path();

    const std::uint64_t size = sizeMiB * kMiB;
    testsupport::LoopbackServer server;
    server.SetBody("/body.bin", MakeBody(size));
    const std::string body = MakeBody(size);  // the reference copy for the checks
    const std::string url = server.BaseUrl() + "/body.bin";
    std::vector<BYTE> buffer(kTransferBufferSize);

    double bestProduct = 0.0;
    double bestCurl = 0.0;
    bool ok = true;
    for (int run = 0; run < kRepeats && ok; ++run) {
        const fs::path productFile = work / "product.bin";
        const fs::path curlFile = work / "curl.bin";

        const double productSeconds = SecondsOf([&] { return DownloadWithProduct(url, productFile, buffer); });
        ok = productSeconds > 0 && SameAsBody(productFile, body);
        if (!ok)
            std::fprintf(stderr, "product download %d failed or differs from the body\n", run + 1);
        fs::remove(productFile);

        const double curlSeconds = SecondsOf([&] { return DownloadWithCurl(url, curlFile); });
        if (ok) {
            ok = curlSeconds > 0 && SameAsBody(curlFile, body);
            if (!ok)
                std::fprintf(stderr, "curl download %d failed or differs from the body\n", run + 1);
        }
        fs::remove(curlFile);

        if (ok) {
            const double productRate = static_cast<double>(size) / 1e6 / productSeconds;
            const double curlRate = static_cast<double>(size) / 1e6 / curlSeconds;
            std::printf("run %d: CHttpProduct %.1f MB/s, curl %.1f MB/s\n", run + 1, productRate, curlRate);
            bestProduct = std::max(bestProduct, productRate);
            bestCurl = std::max(bestCurl, curlRate);
        }
    }
    if (!ok)
        return 1;

    std::printf("\n%llu MiB over loopback, best of %d (MB = 10^6 bytes):\n", static_cast<unsigned long long>(sizeMiB),
                kRepeats);
    std::printf("  CHttpProduct::SaveTo  %8.1f MB/s\n", bestProduct);
    std::printf("  curl -s -o            %8.1f MB/s\n", bestCurl);
    std::printf("  ratio product/curl    %8.2f\n", bestProduct / bestCurl);
    return 0;
}
