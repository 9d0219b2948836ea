// Peak memory of what the launcher reads whole: an md5 list and a manifest
// fetched from the loopback test server and parsed, and an answer whose
// server announces far more than it sends. Each step runs in a forked child
// and reports how far its resident memory rose above where it started
// (VmHWM - VmRSS at the start), as a multiple of the body's size.
//
//     <build>/bench/whole_body_bench [list-MiB]
#include "bench/proc_status.h"
#include "codec/path_key.h"
#include "platform/text.h"
#include "tests/support/loopback_server.h"
#include "update/file_list.h"
#include "update/manifest.h"
#include "update/update_context.h"
#include "update/whole_body.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

namespace {

// Runs step in a child; its rise in resident memory, KiB.
long RiseKiB(const std::function<bool()>& step) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        return -1;
    const pid_t pid = fork();
    if (pid == 0) {
        const long start = StatusKiB("VmRSS:");
        const bool ok = step();
        const long rise = ok ? StatusKiB("VmHWM:") - start : -1;
        (void)!write(pipeEnds[1], &rise, sizeof rise);
        _exit(0);
    }
    long rise = -1;
    (void)!read(pipeEnds[0], &rise, sizeof rise);
    waitpid(pid, nullptr, 0);
    close(pipeEnds[0]);
    close(pipeEnds[1]);
    return rise;
}

std::string Utf16Le(const std::string& ascii) {
    std::string bytes = "\xFF\xFE";
    for (char ch : ascii) {
        bytes += ch;
        bytes += '\0';
    }
    return bytes;
}

void Report(const char* what, std::size_t bodyBytes, long riseKiB) {
    std::printf("%-34s %9.1f MiB body  %9.1f MiB peak rise  %6.2fx\n", what, bodyBytes / 1048576.0, riseKiB / 1024.0,
                riseKiB * 1024.0 / static_cast<double>(bodyBytes));
}

}  // namespace

int main(int argc, char** argv) {
    const std::size_t listMiB = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 32;
    testsupport::LoopbackServer server;
    cdn_url = platform::FromUtf8(server.BaseUrl() + "/");
    cdn_path = L"C1/";

    // An md5 list as the publisher writes it: UTF-16LE, a path line and a
    // "size md5" line per file.
    std::string text;
    for (std::size_t i = 0; text.size() * 2 < listMiB << 20; ++i)
        text += "data/area" + std::to_string(i % 97) + "/file" + std::to_string(i) + ".pak\r\n" +
                std::to_string(1000 + i) + " 0123456789abcdef\r\n";
    const std::string list = Utf16Le(text);
    server.SetBody("/file/list/list.txt", list);
    CUpdateContext& context = *GetUpdateContext();
    context.diffMap[PathKey(L"C1/list.txt")] = "list";
    Report("md5 list, fetched and parsed", list.size(), RiseKiB([&] { return FetchFileList(context, L"list.txt"); }));

    // A manifest of as many bytes: 25-byte records of distinct keys.
    std::string manifest(list.size() / 25 * 25, '\0');
    for (std::size_t offset = 0; offset < manifest.size(); offset += 25)
        for (int i = 0; i < 8; ++i)
            manifest[offset + i % 5 + (i >= 5 ? 5 : 0)] = static_cast<char>((offset / 25) >> (8 * (i % 5)));
    server.SetBody("/index/big", manifest);
    Report("manifest, fetched and parsed", manifest.size(), RiseKiB([&] {
               std::map<std::string, std::string> map;
               return FetchManifest(cdn_url + L"index/big", map, context) && !map.empty();
           }));

    // A server that announces 60 MiB and sends 10 bytes, five times over.
    server.SetBody("/liar", "0123456789");
    server.SetFault("/liar", testsupport::Fault{.extraContentLength = 60 << 20});
    Report("60 MiB announced, 10 bytes sent", 60 << 20, RiseKiB([&] {
               for (int attempt = 0; attempt < 5; ++attempt)
                   FetchWholeBody(cdn_url + L"liar");
               return true;
           }));
    return 0;
}
