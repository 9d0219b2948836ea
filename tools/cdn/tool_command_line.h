// The command line of quillmoor-cdn: "publish", "sign", "keygen", "serve",
// "nginx-conf" and "prune", each with "--name value" (or "--name=value") options and its
// own --help.
#pragma once

#include "tools/cdn/publish/prune.h"
#include "tools/cdn/publish/publisher.h"
#include "tools/cdn/publish/release_key_files.h"
#include "tools/cdn/publish/sign_publish.h"
#include "tools/cdn/serve/cdn_server.h"
#include "tools/cdn/serve/nginx_config.h"

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

struct HelpRequest {
    std::string text;
};

struct ServeCommand {
    ServeOptions server;
    std::optional<std::filesystem::path> portFile;
};

using ToolCommand = std::variant<HelpRequest, PublishOptions, ServeCommand, NginxConfigOptions, SignOptions,
                                 KeygenOptions, PruneOptions>;

// A command line that means nothing; the message says what to change.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// args: the arguments after the program name.
ToolCommand ParseToolCommand(const std::vector<std::string>& args);
