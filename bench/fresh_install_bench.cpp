// Peak memory of a fresh install when the server lies about sizes. Each run
// installs a published launcher and client from the loopback test server
// into an empty data folder, the launcher's own update threads doing the
// work (launcher check, the server's settings file, client check, client
// download), in a forked child of its own. One run is honest; the others
// meet one lie each: a Content-Length of 2,000,000,000 on the client's
// version answer, its index manifest, its md5 list, one packed file or the
// settings file, and an md5 list of 2,000,000 entries. Each line gives the
// outcome, the wall time and how far the child's resident memory rose
// (VmHWM over VmRSS at its start); a lie must cost about what the honest run
// costs, not what it announces.
//
//     <build>/bench/fresh_install_bench [entries]
//
// entries: lines of the long md5 list, default 2,000,000.
#include "app/update_threads.h"
#include "bench/proc_status.h"
#include "codec/md5_functions.h"
#include "platform/text.h"
#include "platform/thread_stop.h"
#include "state/launcher_settings.h"
#include "state/mem_manger.h"
#include "state/message_table.h"
#include "state/update_events.h"
#include "state/view_broser.h"
#include "tests/support/loopback_server.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_files.h"
#include "tools/cdn/publish/publisher.h"
#include "update/update_context.h"
#include "update/version_service.h"

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <sstream>
#include <string>

namespace fs = std::filesystem;
using testsupport::Fault;
using testsupport::ReadBytes;
using testsupport::WriteBytes;

namespace {

constexpr std::int64_t kLie = 2000000000;
constexpr DWORD kPatienceMs = 600000;

struct Measured {
    std::string outcome;
    double seconds = 0;
    long riseKiB = -1;
};

// Runs install in a child; what it reports.
Measured InChild(const std::function<std::string()>& install) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        return {};
    // The child must not print what the parent has buffered.
    std::fflush(stdout);
    const pid_t pid = fork();
    if (pid == 0) {
        const long start = StatusKiB("VmRSS:");
        const auto begin = std::chrono::steady_clock::now();
        const std::string outcome = install();
        char line[256];
        const int length =
            std::snprintf(line, sizeof line, "%.2f %ld %s",
                          std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count(),
                          StatusKiB("VmHWM:") - start, outcome.c_str());
        (void)!write(pipeEnds[1], line, static_cast<std::size_t>(length));
        _exit(0);
    }
    close(pipeEnds[1]);
    const std::string report = ReadToEnd(pipeEnds[0]);
    waitpid(pid, nullptr, 0);
    close(pipeEnds[0]);
    Measured measured;
    std::istringstream in(report);
    in >> measured.seconds >> measured.riseKiB;
    std::getline(in >> std::ws, measured.outcome);
    return measured;
}

// A fresh install, as the launcher's threads run it after a plain start and
// the page's version report: the outcome in words.
std::string FreshInstall(const fs::path& work, const std::string& base) {
    const fs::path installed = work / "installed";
    g_settings.platform = L"pv";
    g_settings.dataFolder = (work / "data").wstring();
    g_settings.startDirectory = installed.wstring();
    g_settings.launcherPath = (installed / "Launcher.exe").wstring();
    g_settings.versionUrl = platform::FromUtf8(base + "/api/launcherversionnew");
    g_messages.Fill(L"chs");
    GetMemManger()->Allocate(CMemManger::kTransferBufferSize);
    // Retry waits cost time, not memory.
    platform::SetSleepHook([](DWORD) { return DWORD{0}; });
    CViewBroser* view = GetViewBroser();

    VersionCheckThread(nullptr);
    if (!view->GetErrorText().empty())
        return "launcher check failed";
    LauncherUpdateThread(nullptr);
    if (!view->GetErrorText().empty())
        return "launcher update failed";
    const bool settingsTaken = g_settings.webUrl == L"http://127.0.0.1/quillmoor/page.html";

    SetEvent(ClientCheckReadyEvent);
    UpdateClientVersionUrl(*GetUpdateContext(), platform::FromUtf8(base + "/web/index.html"));
    ClientCheckThread(nullptr);
    std::string outcome;
    for (int waited = 0; outcome.empty() && waited < static_cast<int>(kPatienceMs); waited += 10) {
        if (WaitForSingleObject(ClientReadyEvent, 10) == WAIT_OBJECT_0)
            outcome = std::string("installed") + (settingsTaken ? "" : ", settings kept");
        else if (!view->GetErrorText().empty())
            outcome = "failed: " + platform::ToUtf8(view->GetErrorText());
    }
    platform::EndRemainingThreads();
    return outcome.empty() ? "timed out" : outcome;
}

// An md5 list of `entries` short lines, UTF-16LE as published.
std::string LongList(std::size_t entries) {
    std::string text = "\xFF\xFE";
    text.reserve(entries * 64);
    for (std::size_t i = 0; i < entries; ++i) {
        const std::string line = "d/f" + std::to_string(i) + "\n1 0123456789abcdef\n";
        for (char ch : line) {
            text += ch;
            text += '\0';
        }
    }
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    const std::size_t entries = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 2000000;
    if (!LoadMd5Functions()) {
        std::fprintf(stderr, "no MD5 functions\n");
        return 1;
    }
    const testsupport::TempDir folder;
    const fs::path launcher = folder.Path() / "launcher";
    const fs::path client = folder.Path() / "client";
    const fs::path cdn = folder.Path() / "cdn";
    const std::string settings = "[Config]\nWeb=http://127.0.0.1/quillmoor/page.html\nLanguage=chs\n";
    WriteBytes(launcher / "Launcher.exe", "launcher program");
    WriteBytes(launcher / "pv.ini", settings);
    WriteBytes(client / "qm.exe", "game program");
    for (int i = 0; i < 8; ++i)
        WriteBytes(client / "data" / ("part" + std::to_string(i) + ".pak"), testsupport::RandomBytes(256 << 10, i));

    testsupport::LoopbackServer server;
    const std::string base = server.BaseUrl();
    PublishOptions options;
    options.launcherDir = launcher;
    options.clientDir = client;
    options.platformCode = "pv";
    options.outDir = cdn;
    options.baseUrl = base + "/cdn/";
    std::ostringstream log;
    Publish(options, log, false);
    server.ServeFolder("/cdn/", cdn.string());
    const std::string clientAnswer = ReadBytes(cdn / "answers" / "client.txt");
    server.SetBody("/api/launcherversionnew?platform=pv", ReadBytes(cdn / "answers" / "launcher-pv.txt"));
    server.SetBody("/web/pcversion", clientAnswer);

    const auto targetOf = [&](const std::string& name) {
        for (const auto& entry : fs::recursive_directory_iterator(cdn / "tree"))
            if (entry.path().filename() == name)
                return "/cdn/" + fs::relative(entry.path(), cdn).generic_string();
        return std::string();
    };
    const std::size_t indexStart = clientAnswer.find("cdn_index=") + 10;
    const std::string index =
        "/cdn/index/" + clientAnswer.substr(indexStart, clientAnswer.find('|', indexStart) - indexStart);
    const auto lieAbout = [&](const std::string& target) {
        const std::string body = target[1] == 'w' ? clientAnswer : ReadBytes(cdn / target.substr(5));
        server.SetFault(target, Fault{.extraContentLength = kLie - static_cast<std::int64_t>(body.size())});
    };

    std::printf("%-44s %-58s %8s %12s\n", "server", "outcome", "seconds", "peak rise");
    const auto run = [&](const char* what, const std::function<void()>& lie) {
        server.ClearFaults();
        lie();
        const fs::path work = folder.Path() / "runs" / what;
        fs::create_directories(work / "data");
        for (const char* name : {"Launcher.exe", "pv.ini"})
            fs::copy_file(launcher / name, work / "installed" / name,
                          (fs::create_directories(work / "installed"), fs::copy_options::none));
        const Measured measured = InChild([&] { return FreshInstall(work, base); });
        std::printf("%-44s %-58s %8.1f %8.1f MiB\n", what, measured.outcome.c_str(), measured.seconds,
                    measured.riseKiB / 1024.0);
        std::fflush(stdout);
    };

    run("honest", [] {});
    run("2e9 Content-Length: client version answer", [&] { lieAbout("/web/pcversion"); });
    run("2e9 Content-Length: index manifest", [&] { lieAbout(index); });
    run("2e9 Content-Length: client md5 list", [&] { lieAbout(targetOf("qm.md5")); });
    run("2e9 Content-Length: one packed file", [&] { lieAbout(targetOf("part3.pak.lz")); });
    run("2e9 Content-Length: settings file", [&] { lieAbout(targetOf("pv.ini")); });
    const std::string longList = LongList(entries);
    server.SetBody(targetOf("qm.md5"), longList);
    const std::string what =
        "md5 list of " + std::to_string(entries) + " entries (" + std::to_string(longList.size() >> 20) + " MiB)";
    run(what.c_str(), [] {});
    return 0;
}
