// An nginx server block that hosts a publish as "quillmoor-cdn serve" does:
// the same routes, with the caching each kind of file allows. Printed by
// "quillmoor-cdn nginx-conf"; the publishing guide shows it and the hosting
// test runs nginx on it.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

struct NginxConfigOptions {
    std::filesystem::path root;
    std::optional<std::filesystem::path> webDir;
    std::string listen = "80";     // nginx's listen: [ADDRESS:]PORT [ssl ...]
    std::string serverName = "_";  // nginx's server_name: any host
    // HTTPS: both or neither. The listen then gets "ssl" when it lacks it.
    std::optional<std::filesystem::path> tlsCertificate;
    std::optional<std::filesystem::path> tlsKey;
    // With HTTPS: nginx's listen of a second, plain-HTTP block that sends
    // every request to the same address over HTTPS.
    std::optional<std::string> redirectHttp;
};

// The server block, with absolute paths, and the redirecting block when
// asked for. Throws PublishError for a root or page folder that is no folder,
// a certificate or key that is no file, a path nginx would misread, an odd
// listen or server name, half of the HTTPS options, and for answers that
// still hold "{server}", which only "serve" fills in.
std::string NginxServerConfig(const NginxConfigOptions& options);

// A warning for a root that holds no publish yet, or nothing.
std::optional<std::string> NginxConfigWarning(const NginxConfigOptions& options);
