// A fresh install on every core against the script a user would write. A
// client of `files` files is published by the project's publisher and served
// by the loopback test server; then, side by side in one run and for two
// kinds of data (binary assets that decode slowly, text that decodes fast):
//
//   launcher    the client check and the client download driver
//               (RunDriverLoop), in a forked child, into an empty data folder
//   one by one  the same driver as before, one DownloadWorker per file
//   script      curl -s URL | xz --format=lzma -dc | tee FILE | md5sum,
//               one file after another
//   xargs -P2   the same script, two files at a time
//   verify      a second check over the installed client (every file's MD5,
//               nothing to fetch) against md5sum over the same files
//
// Each step's wall time, CPU time (user and system) and, for ours, how far
// resident memory rose (VmHWM over VmRSS at its start). Every install is
// compared with the client; a wrong one ends the run with exit code 1.
//
// Then one file of big-MiB installed alone: how far memory rose.
//
// Last, many small files served by "quillmoor-cdn serve" (connections kept
// alive, as a real CDN keeps them): what each file costs the launcher beside
// what one curl costs that fetches every packed object over one connection.
//
//     <build>/bench/parallel_install_bench [size-MiB] [files] [work-folder] [big-MiB] [small-files]
//
// size-MiB: the client's size, default 512, 0 leaves the comparison out;
// files: default 16; work-folder: default $TMPDIR or /tmp, it needs about 4
// times the larger size free; big-MiB: default 1024, 0 leaves the big file
// out; small-files: files of 4 KiB, default 2000, 0 leaves them out.
#include "app/update_threads.h"
#include "bench/proc_status.h"
#include "codec/md5_functions.h"
#include "platform/text.h"
#include "platform/thread_stop.h"
#include "state/launcher_settings.h"
#include "state/mem_manger.h"
#include "state/message_table.h"
#include "tests/support/loopback_server.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_files.h"
#include "tools/cdn/publish/publisher.h"
#include "tools/cdn/serve/cdn_server.h"
#include "update/download_worker.h"
#include "update/file_list.h"
#include "update/update_context.h"
#include "update/version_service.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
using testsupport::ReadBytes;
using testsupport::WriteBytes;

namespace {

// Publishes work/launcher and clientDir into work/cdn and serves it, with
// the client's version answer, as the launcher finds it.
PublishOptions PublishAndServe(testsupport::LoopbackServer& server, const fs::path& work, const fs::path& clientDir) {
    PublishOptions options;
    options.launcherDir = work / "launcher";
    options.clientDir = clientDir;
    options.platformCode = "pv";
    options.outDir = work / "cdn";
    options.baseUrl = server.BaseUrl() + "/cdn/";
    std::ostringstream log;
    Publish(options, log, false);
    server.ServeFolder("/cdn/", options.outDir.string());
    server.SetBody("/web/pcversion", ReadBytes(options.outDir / "answers" / "client.txt"));
    return options;
}

std::uint64_t g_state = 0x9E3779B97F4A7C15ull;
std::uint64_t Next() {
    g_state ^= g_state << 13;
    g_state ^= g_state >> 7;
    g_state ^= g_state << 17;
    return g_state;
}

// Like game assets: short matches at many distances among bytes of a
// skewed alphabet, the data LZMA decodes slowest.
std::string Binary(std::size_t size) {
    std::string data;
    data.reserve(size + 64);
    while (data.size() < size) {
        const std::uint64_t r = Next();
        if (data.size() > 4096 && r % 3 == 0) {
            const std::size_t from = data.size() - 1 - (r >> 8) % 4000;
            const std::size_t length = 4 + (r >> 40) % 12;
            for (std::size_t i = 0; i < length; ++i)
                data += data[from + i];
        } else {
            for (int i = 0; i < 6; ++i)
                data += static_cast<char>(((r >> (8 * i)) & 0xff) % 48);
        }
    }
    data.resize(size);
    return data;
}

// Record-like text: long matches, decoded fast.
std::string Text(std::size_t size) {
    static const char* const kWords[] = {"stone", "ember", "quill", "moor",  "gate",  "lance", "mire", "helm",
                                         "rune",  "vale",  "spire", "crest", "drake", "thorn", "wyrm", "keep"};
    std::string data;
    data.reserve(size + 64);
    while (data.size() < size) {
        const std::uint64_t r = Next();
        data += "id=" + std::to_string(r % 100000) + " name=" + kWords[r >> 60] + kWords[(r >> 56) & 15] +
                " x=" + std::to_string((r >> 20) % 4096) + "\n";
    }
    data.resize(size);
    return data;
}

struct Measured {
    std::string report;  // "ok" or what failed
    double seconds = 0;
    double cpuSeconds = 0;
    double riseMiB = 0;
};

double CpuSeconds(const rusage& usage) {
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Runs step in a forked child: its wall time, CPU time and memory rise.
Measured InChild(const std::function<std::string()>& step) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        return {"no pipe"};
    std::fflush(stdout);
    const pid_t pid = fork();
    if (pid == 0) {
        close(pipeEnds[0]);
        const long start = StatusKiB("VmRSS:");
        const auto begin = std::chrono::steady_clock::now();
        const std::string report = step();
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
        std::ostringstream line;
        line << seconds << ' ' << (StatusKiB("VmHWM:") - start) << ' ' << report;
        const std::string text = line.str();
        (void)!write(pipeEnds[1], text.data(), text.size());
        _exit(0);
    }
    close(pipeEnds[1]);
    const std::string text = ReadToEnd(pipeEnds[0]);
    close(pipeEnds[0]);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    Measured measured;
    long riseKiB = 0;
    std::istringstream in(text);
    in >> measured.seconds >> riseKiB;
    std::getline(in >> std::ws, measured.report);
    measured.riseMiB = riseKiB / 1024.0;
    measured.cpuSeconds = CpuSeconds(usage);
    return measured;
}

// A shell command: wall and CPU time of it and its children.
Measured Shell(const std::string& command) {
    rusage before{};
    getrusage(RUSAGE_CHILDREN, &before);
    const auto begin = std::chrono::steady_clock::now();
    const int status = std::system(command.c_str());
    Measured measured;
    measured.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    rusage after{};
    getrusage(RUSAGE_CHILDREN, &after);
    measured.cpuSeconds = CpuSeconds(after) - CpuSeconds(before);
    measured.report = status == 0 ? "ok" : "exit status " + std::to_string(status);
    return measured;
}

// The launcher's state for a client check, data in data.
void PointAt(const fs::path& data) {
    g_settings.platform = L"pv";
    g_settings.dataFolder = data.wstring();
    g_messages.Fill(L"chs");
    GetMemManger()->Allocate(CMemManger::kTransferBufferSize);
    platform::SetSleepHook([](DWORD) { return DWORD{0}; });
}

std::string CheckClient(const std::string& base) {
    std::wstring url;
    CUpdateContext& context = *GetUpdateContext();
    if (!SetClientVersionUrl(platform::FromUtf8(base + "/web/index.html"), url) ||
        !QueryVersionService(L"", context, url))
        return "version query failed";
    return CheckClientFiles(context) ? "" : "client check failed";
}

// The client check and download as the client chain runs them.
std::string LauncherInstall(const std::string& base, const fs::path& data, bool sideBySide) {
    PointAt(data);
    std::string report = CheckClient(base);
    CUpdateContext& context = *GetUpdateContext();
    if (report.empty() && sideBySide && !RunDriverLoop(false))
        report = "the driver failed";
    while (report.empty() && !sideBySide && !context.pendingFiles.empty()) {
        HANDLE thread = CreateThread(nullptr, 0, DownloadWorker, nullptr, 0, nullptr);
        WaitForSingleObject(thread, INFINITE);
        DWORD exitCode = 0;
        GetExitCodeThread(thread, &exitCode);
        CloseHandle(thread);
        if (exitCode != 1)
            report = "a worker failed";
    }
    platform::EndRemainingThreads();
    return report.empty() ? "ok" : report;
}

// A second start over the installed client: every file digested, none fetched.
std::string Verify(const std::string& base, const fs::path& data) {
    PointAt(data);
    const std::string report = CheckClient(base);
    if (!report.empty())
        return report;
    return GetUpdateContext()->pendingFiles.empty() ? "ok" : "files still pending";
}

// Every client file installed as published.
std::string Compare(const fs::path& client, const fs::path& installed) {
    for (const fs::path& file : testsupport::FilesBelow(client))
        if (ReadBytes(client / file) != ReadBytes(installed / file))
            return file.generic_string() + " differs";
    return "ok";
}

void Print(const char* what, const Measured& measured, double reference) {
    std::printf("  %-34s %8.2f s %8.2f s CPU %8.1f MiB  %5.2f  %s\n", what, measured.seconds, measured.cpuSeconds,
                measured.riseMiB, reference > 0 ? reference / measured.seconds : 0.0, measured.report.c_str());
    std::fflush(stdout);
}

// Many small files from a server that keeps connections alive: the
// launcher's cost per file beside what one curl, one connection for all,
// needs to fetch the packed objects. False when an install went wrong.
bool SmallFiles(const fs::path& work, int count) {
    WriteBytes(work / "launcher" / "Launcher.exe", "launcher program");
    WriteBytes(work / "launcher" / "pv.ini", "[Config]\nLanguage=chs\n");
    const fs::path client = work / "client";
    for (int i = 0; i < count; ++i)
        WriteBytes(client / ("data" + std::to_string(i % 16) + "/small" + std::to_string(i) + ".txt"), Text(4096));
    PublishOptions options;
    options.launcherDir = work / "launcher";
    options.clientDir = client;
    options.platformCode = "pv";
    options.outDir = work / "cdn";
    std::ostringstream log;
    Publish(options, log, false);
    ServeOptions serve;
    serve.root = options.outDir;
    CdnServer server(serve, [](const std::string&) {});
    const std::string base = "http://127.0.0.1:" + std::to_string(server.Start());

    // One curl, one connection: the config file names every object.
    std::ofstream config(work / "curl.txt");
    for (const auto& entry : fs::recursive_directory_iterator(options.outDir / "tree"))
        if (entry.path().extension() == ".lz")
            config << "url = \"" << base << "/cdn/" << fs::relative(entry.path(), options.outDir).generic_string()
                   << "\"\noutput = /dev/null\n";
    config.close();
    const Measured fetching = Shell("curl -s --config '" + (work / "curl.txt").string() + "'");
    const Measured ours = InChild([&] { return LauncherInstall(base, work / "data", true); });
    const std::string compared = Compare(client, work / "data" / "C1");
    const Measured verify = InChild([&] { return Verify(base, work / "data"); });
    const Measured md5sum =
        Shell("find '" + (work / "data" / "C1").string() + "' -type f -print0 | xargs -0 md5sum >/dev/null");

    std::printf("%d small files (4 KiB of text each), served with connections kept alive:\n", count);
    Print("curl, every object, one connection", fetching, 0);
    Print("launcher, side by side", ours, 0);
    std::printf("  per file: launcher %.3f ms, curl fetching alone %.3f ms\n", ours.seconds * 1000 / count,
                fetching.seconds * 1000 / count);
    Print("verify only (second check)", verify, 0);
    Print("md5sum over the same files", md5sum, 0);
    server.Stop();
    bool right = true;
    for (const std::string* result : {&compared, &ours.report, &verify.report, &fetching.report})
        if (*result != "ok") {
            std::printf("  WRONG: %s\n", result->c_str());
            right = false;
        }
    return right;
}

}  // namespace

int main(int argc, char** argv) {
    const std::uint64_t sizeMiB = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 512;
    const int files = argc > 2 ? std::atoi(argv[2]) : 16;
    const char* tmp = std::getenv("TMPDIR");
    const fs::path root = argc > 3 ? fs::path(argv[3]) : fs::path(tmp ? tmp : "/tmp");
    const std::uint64_t bigMiB = argc > 4 ? std::strtoull(argv[4], nullptr, 10) : 1024;
    const int smallFiles = argc > 5 ? std::atoi(argv[5]) : 2000;
    if (!LoadMd5Functions() || files < 1 || smallFiles < 0) {
        std::fprintf(stderr, "no MD5 functions, or no files\n");
        return 1;
    }
    const testsupport::TempDir folder(root);
    bool wrong = false;
    std::printf("%llu MiB in %d files, %u cores; ratio: the script one by one / the step\n",
                static_cast<unsigned long long>(sizeMiB), files, std::thread::hardware_concurrency());
    for (const bool binary : {true, false}) {
        if (sizeMiB == 0)
            break;
        const fs::path work = folder.Path() / (binary ? "binary" : "text");
        const fs::path client = work / "client";
        WriteBytes(work / "launcher" / "Launcher.exe", "launcher program");
        WriteBytes(work / "launcher" / "pv.ini", "[Config]\nLanguage=chs\n");
        const std::size_t fileSize = static_cast<std::size_t>((sizeMiB << 20) / static_cast<std::uint64_t>(files));
        for (int i = 0; i < files; ++i)
            WriteBytes(client / ("data/part" + std::to_string(i) + ".pak"), binary ? Binary(fileSize) : Text(fileSize));

        testsupport::LoopbackServer server;
        const PublishOptions options = PublishAndServe(server, work, client);

        // The script's URLs: the packed objects the index serves, by name.
        std::ofstream urls(work / "urls.txt");
        std::uint64_t packed = 0;
        for (const auto& entry : fs::recursive_directory_iterator(options.outDir / "tree"))
            if (entry.path().extension() == ".lz") {
                urls << server.BaseUrl() << "/cdn/" << fs::relative(entry.path(), options.outDir).generic_string()
                     << "\n";
                packed += fs::file_size(entry.path());
            }
        urls.close();
        std::printf("%s: %.1f MiB packed\n", binary ? "binary assets" : "text", packed / 1048576.0);

        const std::string out = (work / "script").string();
        fs::create_directories(out);
        const std::string script = "sh -c 'curl -s \"$0\" | xz --format=lzma -dc | tee \"" + out +
                                   "/$(basename \"$0\" .lz)\" | md5sum >/dev/null'";
        const std::string list = "'" + (work / "urls.txt").string() + "'";
        const Measured oneByOne = Shell("while read -r u; do " + script + " \"$u\"; done < " + list);
        const Measured twoAtATime = Shell("xargs -P2 -n1 " + script + " < " + list);
        const fs::path data = work / "data";
        const Measured ours = InChild([&] { return LauncherInstall(server.BaseUrl(), data, true); });
        const std::string compared = Compare(client, data / "C1");
        fs::remove_all(work / "data-one");
        const Measured before = InChild([&] { return LauncherInstall(server.BaseUrl(), work / "data-one", false); });
        const std::string comparedBefore = Compare(client, work / "data-one" / "C1");
        fs::remove_all(work / "data-one");
        const Measured verify = InChild([&] { return Verify(server.BaseUrl(), data); });
        const Measured md5sum =
            Shell("find '" + (data / "C1").string() + "' -type f -print0 | xargs -0 md5sum >/dev/null");

        Print("script, one file after another", oneByOne, oneByOne.seconds);
        Print("script, xargs -P2", twoAtATime, oneByOne.seconds);
        Print("launcher, one worker at a time", before, oneByOne.seconds);
        Print("launcher, side by side", ours, oneByOne.seconds);
        std::printf("  side by side against xargs -P2: %.2f of its time; one at a time: %.2f\n",
                    ours.seconds / twoAtATime.seconds, before.seconds / twoAtATime.seconds);
        Print("verify only (second check)", verify, 0);
        Print("md5sum over the same files", md5sum, 0);
        std::printf("  verify against md5sum: %.2f of its speed\n", md5sum.seconds / verify.seconds);
        for (const std::string* result : {&compared, &comparedBefore, &ours.report, &before.report, &verify.report})
            if (*result != "ok") {
                std::printf("  WRONG: %s\n", result->c_str());
                wrong = true;
            }
        fs::remove_all(work);
    }

    // One big file: memory must not grow with it.
    if (bigMiB != 0) {
        const fs::path work = folder.Path() / "big";
        WriteBytes(work / "launcher" / "Launcher.exe", "launcher program");
        WriteBytes(work / "launcher" / "pv.ini", "[Config]\nLanguage=chs\n");
        WriteBytes(work / "client" / "data" / "huge.pak", Text(static_cast<std::size_t>(bigMiB << 20)));
        testsupport::LoopbackServer server;
        PublishAndServe(server, work, work / "client");
        const Measured big = InChild([&] { return LauncherInstall(server.BaseUrl(), work / "data", true); });
        std::printf("one file of %llu MiB (text):\n", static_cast<unsigned long long>(bigMiB));
        Print("launcher, side by side", big, 0);
        const std::string compared = Compare(work / "client", work / "data" / "C1");
        if (compared != "ok" || big.report != "ok") {
            std::printf("  WRONG: %s %s\n", compared.c_str(), big.report.c_str());
            wrong = true;
        }
    }
    if (smallFiles != 0 && !SmallFiles(folder.Path() / "small", smallFiles))
        wrong = true;
    return wrong ? 1 : 0;
}
