// What checking a signed release costs a fresh install. One client is
// published twice, unsigned and signed with a fresh key, each folder served
// by a loopback test server of its own. Fresh installs into an empty data
// folder then alternate between the two, the launcher's own code doing the
// work: the version query, the client check and one download worker per
// pending file, retry waits skipped; the signed installs trust the key
// through release.pub beside the launcher. Each install runs in a forked
// child, so every one starts from the process state of a launcher start,
// and is checked file by file against the client; a failure exits 1.
//
//     <build>/bench/signed_install_bench [size-MiB] [pairs] [work-folder]
//
// size-MiB: the client's size, in 16 files (default 64); pairs: measured
// pairs of installs (default 5, at least 1); work-folder: default $TMPDIR
// or /tmp.
#include "bench/proc_status.h"
#include "codec/md5_functions.h"
#include "codec/sha256_digest.h"
#include "platform/text.h"
#include "platform/thread_stop.h"
#include "state/launcher_settings.h"
#include "state/mem_manger.h"
#include "state/message_table.h"
#include "tests/support/loopback_server.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_files.h"
#include "tools/cdn/publish/publisher.h"
#include "update/download_worker.h"
#include "update/file_list.h"
#include "update/release_trust.h"
#include "update/update_context.h"
#include "update/version_service.h"
#include "wire/release_keys.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using testsupport::ReadBytes;
using testsupport::WriteBytes;

namespace {

constexpr int kFiles = 16;

// Record-like text with stretches of noise (4 KiB, then 1 KiB): it packs
// and unpacks at about the speed of real game data, unlike noise or zeros.
std::string SemiCompressible(std::size_t size, std::uint64_t seed) {
    static const char* const kWords[] = {"stone", "ember", "quill", "moor",  "gate",  "lance", "mire", "helm",
                                         "rune",  "vale",  "spire", "crest", "drake", "thorn", "wyrm", "keep"};
    std::uint64_t state = 0x9E3779B97F4A7C15ull ^ (seed * 0xBF58476D1CE4E5B9ull);
    auto next = [&state] {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    };
    std::string data;
    data.reserve(size + 8192);
    while (data.size() < size) {
        const std::size_t textEnd = data.size() + 4096;
        while (data.size() < textEnd) {
            const std::uint64_t r = next();
            data += "id=" + std::to_string(r % 100000) + " name=" + kWords[r >> 60] + kWords[(r >> 56) & 15] +
                    " x=" + std::to_string((r >> 20) % 4096) + " y=" + std::to_string((r >> 32) % 4096) + "\n";
        }
        for (int i = 0; i < 128; ++i) {
            const std::uint64_t r = next();
            data.append(reinterpret_cast<const char*>(&r), sizeof r);
        }
    }
    data.resize(size);
    return data;
}

struct Variant {
    const char* name;
    const testsupport::LoopbackServer* server;
    fs::path installed;  // the launcher's start folder
    bool signedRelease;
};

struct Outcome {
    bool ok = false;
    double seconds = 0;
    double cpuSeconds = 0;  // the child's, user and system: less swayed by others' load
    std::string detail;
};

Outcome Failed(std::string detail) {
    Outcome outcome;
    outcome.detail = std::move(detail);
    return outcome;
}

// The client check and every download, as the launcher's chain runs them
// after a start in `installed`; in a child of its own. "ok CHECKED SECONDS"
// or what failed comes back through a pipe.
Outcome InstallInChild(const Variant& variant, const fs::path& data) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        return Failed("no pipe");
    std::fflush(stdout);
    const pid_t pid = fork();
    if (pid == 0) {
        close(pipeEnds[0]);
        const std::string base = variant.server->BaseUrl();
        g_settings.platform = L"pv";
        g_settings.dataFolder = data.wstring();
        g_settings.startDirectory = variant.installed.wstring();
        g_settings.launcherPath = (variant.installed / "Launcher.exe").wstring();
        g_settings.versionUrl = platform::FromUtf8(base + "/api/launcherversionnew");
        g_messages.Fill(L"chs");
        GetMemManger()->Allocate(CMemManger::kTransferBufferSize);
        // Retry pauses would only add waiting to both sides.
        platform::SetSleepHook([](DWORD) { return DWORD{0}; });
        CUpdateContext& context = *GetUpdateContext();

        const auto begin = std::chrono::steady_clock::now();
        LoadReleaseKeys(context, variant.installed.wstring());
        std::wstring url;
        std::string report;
        if (!SetClientVersionUrl(platform::FromUtf8(base + "/web/index.html"), url) ||
            !QueryVersionService(L"", context, url))
            report = "version query failed";
        else if (!CheckClientFiles(context))
            report = "client check failed";
        while (report.empty() && !context.pendingFiles.empty()) {
            const std::string file = platform::ToUtf8(context.pendingFiles.back().path);
            HANDLE thread = CreateThread(nullptr, 0, DownloadWorker, nullptr, 0, nullptr);
            WaitForSingleObject(thread, INFINITE);
            DWORD exitCode = 0;
            GetExitCodeThread(thread, &exitCode);
            CloseHandle(thread);
            if (exitCode != 1)
                report = "download of " + file + " failed";
        }
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
        if (report.empty()) {
            char line[64];
            std::snprintf(line, sizeof line, "ok %d %.6f", context.releasesChecked && context.release ? 1 : 0, seconds);
            report = line;
        }
        platform::EndRemainingThreads();
        (void)!write(pipeEnds[1], report.data(), report.size());
        _exit(0);
    }
    close(pipeEnds[1]);
    const std::string report = ReadToEnd(pipeEnds[0]);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    close(pipeEnds[0]);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return Failed("child ended abnormally: " + report);
    if (report.rfind("ok ", 0) != 0)
        return Failed(report.empty() ? "no report" : report);
    std::istringstream in(report.substr(3));
    int checked = -1;
    Outcome outcome;
    in >> checked >> outcome.seconds;
    outcome.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    if (checked != (variant.signedRelease ? 1 : 0))
        return Failed(variant.signedRelease ? "release not checked" : "release checked unasked");
    outcome.ok = true;
    return outcome;
}

// Every client file installed as published, and nothing else.
std::string Compare(const fs::path& client, const fs::path& installed) {
    const auto source = testsupport::FilesBelow(client);
    if (!fs::is_directory(installed))
        return "nothing installed";
    const auto target = testsupport::FilesBelow(installed);
    if (source != target)
        return "installed files differ in names: " + std::to_string(target.size()) + " against " +
               std::to_string(source.size());
    for (const fs::path& file : source)
        if (ReadBytes(client / file) != ReadBytes(installed / file))
            return file.generic_string() + " differs";
    return {};
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
    const std::uint64_t sizeMiB = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 64;
    const int pairs = std::max(1, argc > 2 ? std::atoi(argv[2]) : 5);
    const char* tmp = std::getenv("TMPDIR");
    const fs::path parent = argc > 3 ? fs::path(argv[3]) : fs::path(tmp && *tmp ? tmp : "/tmp");
    if (sizeMiB == 0) {
        std::fprintf(stderr, "size-MiB must be at least 1\n");
        return 2;
    }
    if (!LoadMd5Functions()) {
        std::fprintf(stderr, "no MD5 functions\n");
        return 2;
    }
    const testsupport::TempDir folder(parent);
    const fs::path launcher = folder.Path() / "launcher";
    const fs::path client = folder.Path() / "client";
    WriteBytes(launcher / "Launcher.exe", "launcher program");
    WriteBytes(launcher / "pv.ini", "[Config]\nLanguage=chs\n");
    const std::uint64_t total = sizeMiB << 20;
    for (int i = 0; i < kFiles; ++i) {
        const std::uint64_t size = total / kFiles + (i < static_cast<int>(total % kFiles) ? 1 : 0);
        WriteBytes(client / "data" / ("part" + std::to_string(i) + ".pak"),
                   SemiCompressible(static_cast<std::size_t>(size), static_cast<std::uint64_t>(i)));
    }

    const std::optional<Ed25519Seed> seed = NewEd25519Seed();
    if (!seed) {
        std::fprintf(stderr, "no key\n");
        return 2;
    }
    const fs::path keyFile = folder.Path() / "release.key";
    WriteBytes(keyFile, PrivateKeyText(*seed));

    testsupport::LoopbackServer plainServer;
    testsupport::LoopbackServer signedServer;
    const auto publish = [&](testsupport::LoopbackServer& server, const fs::path& out, bool sign) {
        PublishOptions options;
        options.launcherDir = launcher;
        options.clientDir = client;
        options.platformCode = "pv";
        options.outDir = out;
        options.baseUrl = server.BaseUrl() + "/cdn/";
        options.webUrl = server.BaseUrl() + "/web/index.html";
        if (sign)
            options.signing.keyFiles.push_back(keyFile);
        std::ostringstream log;
        const auto begin = std::chrono::steady_clock::now();
        const PublishSummary summary = Publish(options, log, false);
        std::printf("published %s: %zu files, %.1f MiB, %.1f s\n", sign ? "signed" : "unsigned", summary.files,
                    summary.bytes / 1048576.0,
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count());
        std::fflush(stdout);
        const fs::path answers = out / "answers";
        server.ServeFolder("/cdn/", out.string());
        server.SetBody("/api/launcherversionnew?platform=pv", ReadBytes(answers / "launcher-pv.txt"));
        server.SetBody("/web/pcversion", ReadBytes(answers / "client.txt"));
        if (sign) {
            server.SetBody("/api/launcherversionnew.release?platform=pv", ReadBytes(answers / "launcher-pv.release"));
            server.SetBody("/api/launcherversionnew.release.sig?platform=pv",
                           ReadBytes(answers / "launcher-pv.release.sig"));
            server.SetBody("/web/pcversion.release", ReadBytes(answers / "client.release"));
            server.SetBody("/web/pcversion.release.sig", ReadBytes(answers / "client.release.sig"));
        }
    };
    try {
        publish(plainServer, folder.Path() / "cdn-unsigned", false);
        publish(signedServer, folder.Path() / "cdn-signed", true);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "publish failed: %s\n", error.what());
        return 1;
    }
    std::uint64_t packed = 0;
    for (const auto& entry : fs::recursive_directory_iterator(folder.Path() / "cdn-signed" / "tree"))
        if (entry.is_regular_file())
            packed += entry.file_size();

    Variant plain{"unsigned", &plainServer, folder.Path() / "start-unsigned", false};
    Variant signedOne{"signed", &signedServer, folder.Path() / "start-signed", true};
    for (const Variant* variant : {&plain, &signedOne})
        for (const char* name : {"Launcher.exe", "pv.ini"})
            WriteBytes(variant->installed / name, ReadBytes(launcher / name));
    WriteBytes(signedOne.installed / "release.pub", PublicKeyLine(Ed25519PublicKeyOf(*seed)));

    int run = 0;
    const auto install = [&](const Variant& variant) {
        const fs::path data = folder.Path() / ("data-" + std::to_string(run++));
        fs::create_directories(data);
        // The last install's writes go to disk now, not during this one.
        sync();
        Outcome outcome = InstallInChild(variant, data);
        if (outcome.ok) {
            const std::string difference = Compare(client, data / "C1");
            if (!difference.empty())
                outcome = Failed(difference);
        }
        fs::remove_all(data);
        if (!outcome.ok) {
            std::printf("%s install failed: %s\n", variant.name, outcome.detail.c_str());
            std::exit(1);
        }
        return outcome;
    };

    std::printf("client: %d files, %llu MiB, %.1f MiB packed; %d pairs after one warm-up pair\n", kFiles,
                static_cast<unsigned long long>(sizeMiB), packed / 1048576.0, pairs);
    install(plain);
    install(signedOne);
    std::printf("%6s %12s %12s %8s %12s %12s %8s\n", "pair", "unsigned s", "signed s", "ratio", "unsigned cpu",
                "signed cpu", "ratio");
    std::vector<double> plainTimes, signedTimes, ratios, plainCpu, signedCpu, cpuRatios;
    for (int pair = 0; pair < pairs; ++pair) {
        // Which goes first alternates too, so a drift in the load favours neither.
        Outcome plainRun, signedRun;
        if (pair % 2 == 0) {
            plainRun = install(plain);
            signedRun = install(signedOne);
        } else {
            signedRun = install(signedOne);
            plainRun = install(plain);
        }
        plainTimes.push_back(plainRun.seconds);
        signedTimes.push_back(signedRun.seconds);
        ratios.push_back(signedRun.seconds / plainRun.seconds);
        plainCpu.push_back(plainRun.cpuSeconds);
        signedCpu.push_back(signedRun.cpuSeconds);
        cpuRatios.push_back(signedRun.cpuSeconds / plainRun.cpuSeconds);
        std::printf("%6d %12.3f %12.3f %8.4f %12.3f %12.3f %8.4f\n", pair + 1, plainRun.seconds, signedRun.seconds,
                    ratios.back(), plainRun.cpuSeconds, signedRun.cpuSeconds, cpuRatios.back());
        std::fflush(stdout);
    }
    std::printf("%6s %12.3f %12.3f %8.4f %12.3f %12.3f %8.4f\n", "median", Median(plainTimes), Median(signedTimes),
                Median(ratios), Median(plainCpu), Median(signedCpu), Median(cpuRatios));
    std::printf("(ratios: the median of the pairs' ratios)\n");

    // Both sides take every body's SHA-256 as it arrives (the release check
    // needs it when there is one); what that alone costs, from memory.
    std::vector<std::string> bodies;
    for (const auto& entry : fs::recursive_directory_iterator(folder.Path() / "cdn-signed" / "tree"))
        if (entry.is_regular_file())
            bodies.push_back(ReadBytes(entry.path()));
    std::vector<double> hashTimes;
    for (int repeat = 0; repeat < 5; ++repeat) {
        const auto begin = std::chrono::steady_clock::now();
        unsigned char fold = 0;
        for (const std::string& body : bodies)
            fold ^= Sha256Of(body)[0];
        hashTimes.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count() +
                            fold * 0.0);
    }
    const double hashSeconds = Median(hashTimes);
    std::printf("SHA-256 of the %.1f MiB of bodies: %.3f s (median of 5), %.2f%% of the unsigned install\n",
                packed / 1048576.0, hashSeconds, hashSeconds / Median(plainTimes) * 100);
    std::printf("checking costs %+.1f%% of a fresh install's time (aim: at most +2%%)\n", (Median(ratios) - 1) * 100);
    return 0;
}
