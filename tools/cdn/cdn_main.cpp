// quillmoor-cdn: publishes folders as a CDN tree for the launcher, signs its
// releases, serves such a tree, and prints an nginx configuration that hosts
// it.
#include "tools/cdn/publish/file_handle.h"
#include "tools/cdn/publish/publish_error.h"
#include "tools/cdn/publish/publisher.h"
#include "tools/cdn/publish/release_key_files.h"
#include "tools/cdn/publish/sign_publish.h"
#include "tools/cdn/serve/cdn_server.h"
#include "tools/cdn/tool_command_line.h"

#include "platform/console.h"

#include <iostream>
#include <mutex>

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

int RunPublish(const PublishOptions& options) {
    const PublishSummary summary = Publish(options, std::cerr, platform::ErrorOutputIsTerminal());
    std::cerr << "published " << summary.files << " files (" << summary.bytes << " bytes) to "
              << options.outDir.string() << ": index " << summary.indexName;
    if (!summary.diffName.empty()) {
        std::cerr << ", diff " << summary.indexName << ".." << summary.diffName << " with " << summary.changedObjects
                  << " changed objects";
    }
    std::cerr << '\n';
    if (summary.releaseSerial != 0) {
        std::cerr << "signed release " << summary.releaseSerial << ", expires at " << summary.releaseExpires
                  << " (Unix time): run \"quillmoor-cdn sign\" before then\n";
    }
    return 0;
}

int RunSign(const SignOptions& options) {
    const SignSummary summary = SignPublish(options, UnixTimeNow());
    std::cerr << "signed the answers of " << options.outDir.string() << " for platform " << summary.platformCode
              << ": release " << summary.serial << ", expires at " << summary.expires << " (Unix time)\n";
    return 0;
}

int RunKeygen(const KeygenOptions& options) {
    const std::string publicLine = WriteNewKeyPair(options.outDir);
    std::cerr << "wrote " << (options.outDir / kPrivateKeyFile).string()
              << " (keep it off the CDN host, and a copy somewhere safe) and "
              << (options.outDir / kPublicKeyFile).string() << " (put it into the launcher folder you publish)\n";
    std::cout << publicLine;
    return 0;
}

int RunPrune(const PruneOptions& options) {
    Prune(options, std::cout);
    return 0;
}

int RunNginxConf(const NginxConfigOptions& options) {
    if (const std::optional<std::string> warning = NginxConfigWarning(options)) {
        std::cerr << "quillmoor-cdn: warning: " << *warning << '\n';
    }
    std::cout << NginxServerConfig(options);
    return 0;
}

int RunServe(const ServeCommand& command) {
    if (const std::optional<std::string> warning = ServeWarning(command.server)) {
        std::cerr << "quillmoor-cdn: warning: " << *warning << '\n';
    }
    // Before the server's threads exist: the request to end only ends the wait.
    platform::ConsoleStop stop;

    std::mutex logMutex;
    CdnServer server(command.server, [&logMutex](const std::string& line) {
        std::lock_guard<std::mutex> lock(logMutex);
        std::cout << line << std::endl;
    });
    const int port = server.Start();
    {
        std::lock_guard<std::mutex> lock(logMutex);
        std::cout << "listening on http://" << command.server.host << ":" << port << std::endl;
    }
    if (command.portFile) {
        WriteFileAtomically(*command.portFile, std::to_string(port) + "\n");
    }
    stop.Wait();
    server.Stop();
    std::cerr << "stopped\n";
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        const ToolCommand command = ParseToolCommand(std::vector<std::string>(argv + 1, argv + argc));
        if (const auto* help = std::get_if<HelpRequest>(&command)) {
            std::cout << help->text;
            return 0;
        }
        if (const auto* publish = std::get_if<PublishOptions>(&command)) {
            return RunPublish(*publish);
        }
        if (const auto* nginx = std::get_if<NginxConfigOptions>(&command)) {
            return RunNginxConf(*nginx);
        }
        if (const auto* sign = std::get_if<SignOptions>(&command)) {
            return RunSign(*sign);
        }
        if (const auto* keygen = std::get_if<KeygenOptions>(&command)) {
            return RunKeygen(*keygen);
        }
        if (const auto* prune = std::get_if<PruneOptions>(&command)) {
            return RunPrune(*prune);
        }
        return RunServe(std::get<ServeCommand>(command));
    } catch (const UsageError& failure) {
        std::cerr << "quillmoor-cdn: " << failure.what() << '\n';
        return kExitUsage;
    } catch (const std::exception& failure) {
        std::cerr << "quillmoor-cdn: error: " << failure.what() << '\n';
        return kExitFailure;
    }
}
