// Unpack and digest throughput against the usual command-line tools, and the
// peak memory of our steps at two file sizes (it must not grow with the file).
//
//   unpack_bench [size-MiB, default 256] [work folder, default $TMPDIR or /tmp]
//
// Each measured step runs in a child process of its own and reports its peak
// RSS (VmHWM) itself: a fresh image after exec, so the figure is that step's
// alone. (wait4's ru_maxrss would not do: it keeps the high-water mark of the
// forked copy of this process.)
#include "codec/inflate_file.h"
#include "codec/lzma_decode_file.h"
#include "codec/md5_functions.h"
#include "platform/text.h"
#include "tests/support/temp_dir.h"

#include "LzmaEnc.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr std::uint64_t kMiB = 1024 * 1024;
constexpr std::uint64_t kSmallSize = 64 * kMiB;
constexpr int kRepeats = 3;

struct FileClose {
    void operator()(FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<FILE, FileClose>;

FileHandle OpenFile(const fs::path& path, const char* mode) {
    FileHandle file(std::fopen(path.c_str(), mode));
    if (!file) {
        std::perror(path.c_str());
        std::exit(2);
    }
    return file;
}

// ---- test data

// Semi-compressible: 4 KiB of record-like text, then 1 KiB of noise, repeated.
void WriteTestData(const fs::path& path, std::uint64_t size) {
    static const char* const kWords[] = {"stone", "ember", "quill", "moor",  "gate",  "lance", "mire", "helm",
                                         "rune",  "vale",  "spire", "crest", "drake", "thorn", "wyrm", "keep"};
    std::uint64_t state = 0x9E3779B97F4A7C15ull;
    auto next = [&state] {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    };
    FileHandle file = OpenFile(path, "wb");
    std::string block;
    for (std::uint64_t written = 0; written < size;) {
        block.clear();
        while (block.size() < 4096) {
            const std::uint64_t r = next();
            block += "id=" + std::to_string(r % 100000) + " name=" + kWords[r >> 60] + kWords[(r >> 56) & 15] +
                     " x=" + std::to_string((r >> 20) % 4096) + " y=" + std::to_string((r >> 32) % 4096) + "\n";
        }
        for (int i = 0; i < 128; ++i) {
            const std::uint64_t r = next();
            block.append(reinterpret_cast<const char*>(&r), sizeof r);
        }
        const std::size_t take = static_cast<std::size_t>(std::min<std::uint64_t>(block.size(), size - written));
        std::fwrite(block.data(), 1, take, file.get());
        written += take;
    }
}

// ---- packing

void* SdkAlloc(void*, std::size_t size) {
    return std::malloc(size);
}
void SdkFree(void*, void* address) {
    std::free(address);
}
ISzAlloc g_sdkAlloc = {SdkAlloc, SdkFree};

struct FileInStream {
    ISeqInStream vt;
    FILE* file;
};
struct FileOutStream {
    ISeqOutStream vt;
    FILE* file;
};

SRes ReadFromFile(void* p, void* buf, std::size_t* size) {
    FILE* file = static_cast<FileInStream*>(p)->file;
    *size = std::fread(buf, 1, *size, file);
    return std::ferror(file) ? SZ_ERROR_READ : SZ_OK;
}

std::size_t WriteToFile(void* p, const void* buf, std::size_t size) {
    return std::fwrite(buf, 1, size, static_cast<FileOutStream*>(p)->file);
}

struct EncoderDestroy {
    void operator()(void* encoder) const { LzmaEnc_Destroy(encoder, &g_sdkAlloc, &g_sdkAlloc); }
};

// The alone layout with the size known, as the publisher writes it.
void PackLzma(const fs::path& source, const fs::path& target, std::uint64_t size) {
    std::unique_ptr<void, EncoderDestroy> encoder(LzmaEnc_Create(&g_sdkAlloc));
    CLzmaEncProps props;
    LzmaEncProps_Init(&props);
    props.level = 1;
    props.dictSize = 1 << 24;
    if (LzmaEnc_SetProps(encoder.get(), &props) != SZ_OK) {
        std::fprintf(stderr, "LzmaEnc_SetProps failed\n");
        std::exit(2);
    }
    unsigned char header[LZMA_PROPS_SIZE + 8];
    SizeT propsSize = LZMA_PROPS_SIZE;
    LzmaEnc_WriteProperties(encoder.get(), header, &propsSize);
    for (int i = 0; i < 8; ++i) {
        header[LZMA_PROPS_SIZE + i] = static_cast<unsigned char>(size >> (8 * i));
    }
    FileHandle in = OpenFile(source, "rb");
    FileHandle out = OpenFile(target, "wb");
    std::fwrite(header, 1, sizeof header, out.get());
    FileInStream inStream{{ReadFromFile}, in.get()};
    FileOutStream outStream{{WriteToFile}, out.get()};
    if (LzmaEnc_Encode(encoder.get(), &outStream.vt, &inStream.vt, nullptr, &g_sdkAlloc, &g_sdkAlloc) != SZ_OK) {
        std::fprintf(stderr, "LZMA packing failed\n");
        std::exit(2);
    }
}

void PackZlib(const fs::path& source, const fs::path& target) {
    z_stream stream{};
    deflateInit(&stream, Z_DEFAULT_COMPRESSION);
    FileHandle in = OpenFile(source, "rb");
    FileHandle out = OpenFile(target, "wb");
    std::vector<unsigned char> inBuf(1 << 16);
    std::vector<unsigned char> outBuf(1 << 16);
    int flush = Z_NO_FLUSH;
    while (flush != Z_FINISH) {
        stream.avail_in = static_cast<uInt>(std::fread(inBuf.data(), 1, inBuf.size(), in.get()));
        stream.next_in = inBuf.data();
        flush = stream.avail_in < inBuf.size() ? Z_FINISH : Z_NO_FLUSH;
        do {
            stream.avail_out = static_cast<uInt>(outBuf.size());
            stream.next_out = outBuf.data();
            deflate(&stream, flush);
            std::fwrite(outBuf.data(), 1, outBuf.size() - stream.avail_out, out.get());
        } while (stream.avail_out == 0);
    }
    deflateEnd(&stream);
}

// ---- the measured steps, run inside a child process

long PeakRssKiB() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmHWM:", 0) == 0) {
            return std::stol(line.substr(6));
        }
    }
    return -1;
}

int DoStep(const std::string& step, const std::string& source, const std::string& target) {
    if (!LoadMd5Functions()) {
        return 2;
    }
    if (step == "lz") {
        return LzmaDecodeFile(platform::FromUtf8(source), platform::FromUtf8(target));
    }
    if (step == "z") {
        FileHandle in = OpenFile(source, "rb");
        FileHandle out = OpenFile(target, "wb");
        return InflateFile(in.get(), out.get());
    }
    if (step == "md5") {
        wchar_t szDigest[32];
        if (!Md5HexOfFile(platform::FromUtf8(source), szDigest)) {
            return 1;
        }
        std::printf("%s\n", platform::ToUtf8(std::wstring_view(szDigest, 32)).c_str());
        return 0;
    }
    return 2;
}

int RunStep(const std::string& step, const std::string& source, const std::string& target) {
    const int result = DoStep(step, source, target);
    std::fprintf(stderr, "%ld\n", PeakRssKiB());
    return result;
}

// ---- child processes

struct Run {
    double seconds = 0;
    long peakRssKiB = 0;  // our steps only
};

// Runs argv with stdin, stdout and stderr redirected to files (empty: inherited).
Run RunChild(const std::vector<std::string>& argv, const fs::path& input, const fs::path& output,
             const fs::path& errors = {}) {
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid < 0) {
        std::perror("fork");
        std::exit(2);
    }
    if (pid == 0) {
        auto redirect = [](const fs::path& path, int flags, int target) {
            const int fd = open(path.c_str(), flags, 0644);
            if (fd < 0 || dup2(fd, target) < 0) {
                _exit(126);
            }
        };
        if (!input.empty()) {
            redirect(input, O_RDONLY, STDIN_FILENO);
        }
        if (!output.empty()) {
            redirect(output, O_WRONLY | O_CREAT | O_TRUNC, STDOUT_FILENO);
        }
        if (!errors.empty()) {
            redirect(errors, O_WRONLY | O_CREAT | O_TRUNC, STDERR_FILENO);
        }
        std::vector<char*> args;
        for (const std::string& arg : argv) {
            args.push_back(const_cast<char*>(arg.c_str()));
        }
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    const auto end = std::chrono::steady_clock::now();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s failed (status %d)\n", argv[0].c_str(), status);
        std::exit(1);
    }
    Run run{std::chrono::duration<double>(end - start).count(), 0};
    if (!errors.empty()) {
        std::ifstream(errors) >> run.peakRssKiB;
    }
    return run;
}

Run Best(const std::vector<std::string>& argv, const fs::path& input, const fs::path& output,
         const fs::path& errors = {}) {
    Run best = RunChild(argv, input, output, errors);
    for (int i = 1; i < kRepeats; ++i) {
        const Run run = RunChild(argv, input, output, errors);
        best.seconds = std::min(best.seconds, run.seconds);
        best.peakRssKiB = std::max(best.peakRssKiB, run.peakRssKiB);
    }
    return best;
}

std::optional<std::string> FindProgram(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    for (std::size_t begin = 0; begin <= dirs.size();) {
        const std::size_t end = std::min(dirs.find(':', begin), dirs.size());
        const fs::path candidate = fs::path(dirs.substr(begin, end - begin)) / name;
        if (access(candidate.c_str(), X_OK) == 0) {
            return candidate.string();
        }
        begin = end + 1;
    }
    return std::nullopt;
}

std::string DigestOf(const fs::path& path) {
    wchar_t szDigest[32];
    if (!Md5HexOfFile(platform::FromUtf8(path.string()), szDigest)) {
        return "(unreadable)";
    }
    return platform::ToUtf8(std::wstring_view(szDigest, 32));
}

std::string FirstWordOf(const fs::path& path) {
    FileHandle file = OpenFile(path, "rb");
    char word[64] = {};
    return std::fscanf(file.get(), "%63s", word) == 1 ? word : "";
}

double MBps(std::uint64_t bytes, double seconds) {
    return static_cast<double>(bytes) / 1e6 / seconds;
}

struct DataSet {
    std::uint64_t size;
    fs::path raw, lz, z;
};

DataSet MakeDataSet(const fs::path& dir, std::uint64_t size) {
    const std::string stem = std::to_string(size / kMiB) + "MiB";
    DataSet set{size, dir / (stem + ".bin"), dir / (stem + ".lz"), dir / (stem + ".z")};
    std::printf("preparing %s: data, .lz (LzmaEnc level 1, 16 MiB dictionary), .z (zlib level 6)...\n", stem.c_str());
    std::fflush(stdout);
    WriteTestData(set.raw, size);
    PackLzma(set.raw, set.lz, size);
    PackZlib(set.raw, set.z);
    std::printf("  .lz %.1f MiB, .z %.1f MiB\n", static_cast<double>(fs::file_size(set.lz)) / kMiB,
                static_cast<double>(fs::file_size(set.z)) / kMiB);
    return set;
}

struct Tool {
    std::string label;
    std::vector<std::string> argv;
};

// One line per tool: our step against it on the same input.
bool Compare(const char* work, const Run& ours, const std::vector<Tool>& tools, const DataSet& set,
             const fs::path& input, const fs::path& output, const std::string& expected) {
    bool allGood = true;
    const double oursMBps = MBps(set.size, ours.seconds);
    std::printf("%-13s %9.1f  ", work, oursMBps);
    bool first = true;
    for (const Tool& tool : tools) {
        if (!first) {
            std::printf("%-13s %9s  ", "", "");
        }
        first = false;
        const Run run = Best(tool.argv, input, output);
        const std::string got = output.filename() == "md5.txt" ? FirstWordOf(output) : DigestOf(output);
        const bool good = got == expected;
        allGood = allGood && good;
        const double toolMBps = MBps(set.size, run.seconds);
        std::printf("%-24s %9.1f %7.2f%s\n", tool.label.c_str(), toolMBps, oursMBps / toolMBps,
                    good ? "" : "  OUTPUT DIFFERS");
    }
    if (tools.empty()) {
        std::printf("(no tool found)\n");
    }
    return allGood;
}

std::vector<Tool> Available(const std::vector<Tool>& candidates) {
    std::vector<Tool> found;
    for (Tool tool : candidates) {
        if (const auto program = FindProgram(tool.argv[0])) {
            tool.argv[0] = *program;
            found.push_back(std::move(tool));
        }
    }
    return found;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::strcmp(argv[1], "--step") == 0) {
        return RunStep(argv[2], argv[3], argv[4]);
    }
    const std::uint64_t size = (argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 256) * kMiB;
    if (size < kSmallSize) {
        std::fprintf(stderr, "size must be at least %llu MiB\n", static_cast<unsigned long long>(kSmallSize / kMiB));
        return 2;
    }
    const char* tmp = std::getenv("TMPDIR");
    const fs::path parent = argc > 2 ? argv[2] : (tmp ? tmp : "/tmp");
    std::unique_ptr<testsupport::TempDir> work;
    try {
        work = std::make_unique<testsupport::TempDir>(parent);
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "%s\n", failure.what());
        return 2;
    }
    const fs::path dir = work->Path();
    if (!LoadMd5Functions()) {
        std::fprintf(stderr, "no MD5 functions\n");
        return 2;
    }
    const std::string self = fs::read_symlink("/proc/self/exe").string();
    auto step = [&](const char* name, const fs::path& source, const fs::path& target) {
        return std::vector<std::string>{self, "--step", name, source.string(), target.string()};
    };

    const DataSet small = MakeDataSet(dir, kSmallSize);
    const DataSet full = size == kSmallSize ? small : MakeDataSet(dir, size);
    const fs::path out = dir / "out.bin";
    const fs::path md5Out = dir / "md5.txt";
    const fs::path peak = dir / "peak.txt";

    // Peak RSS of each of our steps at both sizes.
    const Run smallLz = RunChild(step("lz", small.lz, out), {}, {}, peak);
    const Run smallZ = RunChild(step("z", small.z, out), {}, {}, peak);
    const Run smallMd5 = RunChild(step("md5", small.raw, {}), {}, md5Out, peak);

    const Run lz = Best(step("lz", full.lz, out), {}, {}, peak);
    const bool lzGood = DigestOf(out) == DigestOf(full.raw);
    const Run z = Best(step("z", full.z, out), {}, {}, peak);
    const bool zGood = DigestOf(out) == DigestOf(full.raw);
    const Run md5 = Best(step("md5", full.raw, {}), {}, md5Out, peak);
    const std::string expected = FirstWordOf(md5Out);

    std::printf(
        "\n%llu MiB of output per run, best of %d runs; MB/s = 10^6 bytes of output per second;\n"
        "ratio = ours / tool\n\n",
        static_cast<unsigned long long>(size / kMiB), kRepeats);
    std::printf("%-13s %9s  %-24s %9s %7s\n", "work", "ours MB/s", "tool", "tool MB/s", "ratio");
    bool good = lzGood && zGood;
    const std::vector<Tool> lzmaTools =
        Available({{"lzmp -dc", {"lzmp", "-dc"}}, {"xz --format=lzma -dc", {"xz", "--format=lzma", "-dc"}}});
    const std::vector<Tool> zlibTools =
        Available({{"zlib-flate -uncompress", {"zlib-flate", "-uncompress"}}, {"pigz -dzc", {"pigz", "-dzc"}}});
    const std::vector<Tool> md5Tools = Available({{"md5sum", {"md5sum"}}});
    good = Compare("lzma decode", lz, lzmaTools, full, full.lz, out, expected) && good;
    good = Compare("zlib inflate", z, zlibTools, full, full.z, out, expected) && good;
    good = Compare("md5 of file", md5, md5Tools, full, full.raw, md5Out, expected) && good;

    std::printf("\npeak RSS (VmHWM) of our steps, KiB  %5llu MiB  %5llu MiB\n",
                static_cast<unsigned long long>(kSmallSize / kMiB), static_cast<unsigned long long>(size / kMiB));
    std::printf("  lzma decode                       %9ld  %9ld\n", smallLz.peakRssKiB, lz.peakRssKiB);
    std::printf("  zlib inflate                      %9ld  %9ld\n", smallZ.peakRssKiB, z.peakRssKiB);
    std::printf("  md5 of file                       %9ld  %9ld\n", smallMd5.peakRssKiB, md5.peakRssKiB);
    if (!lzGood || !zGood) {
        std::printf("\nOUR OUTPUT DIFFERS FROM THE DATA\n");
    }

    return good ? 0 : 1;
}
