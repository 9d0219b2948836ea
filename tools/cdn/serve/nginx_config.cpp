#include "tools/cdn/serve/nginx_config.h"

#include "tools/cdn/publish/file_handle.h"
#include "tools/cdn/publish/publish_error.h"
#include "tools/cdn/publish/version_answer.h"

#include <algorithm>
#include <map>
#include <string_view>

namespace fs = std::filesystem;

namespace {

// A path as nginx reads it: absolute, in double quotes. Characters that
// would end the string or start a variable are refused.
std::string QuotedPath(const fs::path& where, const std::string& what) {
    // Forward slashes and UTF-8 on every system: nginx on Windows reads
    // "C:/x" and takes a backslash as an escape.
    const std::u8string generic = fs::absolute(where).lexically_normal().generic_u8string();
    std::string path(generic.begin(), generic.end());
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    for (char c : path) {
        if (c == '"' || c == '\\' || c == '$' || static_cast<unsigned char>(c) < 0x20) {
            throw PublishError(what + " " + path +
                               ": nginx would misread a quote, backslash, \"$\" or control character");
        }
    }
    return path;
}

std::string QuotedFolder(const fs::path& folder, const std::string& what) {
    std::error_code error;
    if (!fs::is_directory(folder, error)) {
        throw PublishError(what + " " + folder.string() + " is not a folder");
    }
    return QuotedPath(folder, what);
}

// nginx reads the certificate and key at its start, as root: a missing file
// found then stops the whole server, every other site with it.
std::string QuotedFile(const fs::path& file, const std::string& what) {
    std::error_code error;
    if (!fs::is_regular_file(file, error)) {
        throw PublishError(what + " " + file.string() + " is not a file");
    }
    return QuotedPath(file, what);
}

bool MadeOf(const std::string& text, const std::string& extra) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [&](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               extra.find(c) != std::string::npos;
    });
}

// The port of nginx's listen: "443", "127.0.0.1:8443", "[::1]:443 ssl";
// an address alone listens on 80.
std::string ListenPort(const std::string& listen) {
    const std::string address = listen.substr(0, listen.find(' '));
    const std::size_t colon = address.rfind(':');
    if (colon != std::string::npos && address.find(']', colon) == std::string::npos) {
        return address.substr(colon + 1);
    }
    if (std::all_of(address.begin(), address.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return address;
    }
    return "80";
}

void RefusePlaceholders(const fs::path& root) {
    std::error_code error;
    for (fs::directory_iterator it(root / "answers", error), end; !error && it != end; it.increment(error)) {
        // The answers only: a release document names files, whose names may hold anything.
        if (it->path().extension() == ".txt" && it->is_regular_file(error) &&
            ReadWholeFile(it->path()).find(kServerPlaceholder) != std::string::npos) {
            throw PublishError(it->path().string() + " holds \"" + std::string(kServerPlaceholder) +
                               "\", which only \"quillmoor-cdn serve\" fills in: publish again with --base-url and "
                               "--web-url naming this server");
        }
    }
}

// The server block; @ROOT@, @LISTEN@, @SERVER_NAME@ and @PAGE@ are filled in.
constexpr const char* kServerTemplate = R"(# nginx configuration for the Quillmoor publish in @ROOT@,
# written by "quillmoor-cdn nginx-conf". It goes into nginx's http block (on
# Debian: a file in /etc/nginx/sites-enabled/). The routes are those of
# "quillmoor-cdn serve":
#   /cdn/{index,diff,file,tree}/...          the published objects
#   /api/launcherversionnew?platform=CODE    answers/launcher-CODE.txt
#   /web/pcversion                           answers/client.txt
#   /api/launcherversionnew.release[.sig]?platform=CODE
#                                            answers/launcher-CODE.release[.sig]
#   /web/pcversion.release[.sig]             answers/client.release[.sig]
server {
    listen @LISTEN@;
    server_name @SERVER_NAME@;
@TLS@
    # The launcher takes every body as it is stored and asks for byte
    # ranges: nothing is compressed on the fly.
    gzip off;

    # An object's name changes with its bytes: once published, a name
    # always names the same bytes, so any cache may keep it for good.
    location ~ "^/cdn/((?:index|diff|file|tree)/.+)$" {
        alias "@ROOT@/$1";
        types { }
        default_type application/octet-stream;
        add_header Cache-Control "public, max-age=31536000, immutable";
    }

    # The answers name the current publish and change with the next one:
    # never cached.
    location = /api/launcherversionnew {
        if ($arg_platform !~ "^[A-Za-z0-9_-]{1,64}$") {
            return 404;
        }
        root "@ROOT@";
        try_files /answers/launcher-$arg_platform.txt =404;
        types { }
        default_type "text/plain; charset=utf-8";
        add_header Cache-Control "no-cache";
    }
    location = /web/pcversion {
        root "@ROOT@";
        try_files /answers/client.txt =404;
        types { }
        default_type "text/plain; charset=utf-8";
        add_header Cache-Control "no-cache";
    }

    # The signed releases beside the answers, switched with them: never
    # cached either.
    location ~ "^/api/launcherversionnew(?<release>\.release(?:\.sig)?)$" {
        if ($arg_platform !~ "^[A-Za-z0-9_-]{1,64}$") {
            return 404;
        }
        root "@ROOT@";
        try_files /answers/launcher-$arg_platform$release =404;
        types { }
        default_type "text/plain; charset=utf-8";
        add_header Cache-Control "no-cache";
    }
    location ~ "^/web/pcversion(?<release>\.release(?:\.sig)?)$" {
        root "@ROOT@";
        try_files /answers/client$release =404;
        types { }
        default_type "text/plain; charset=utf-8";
        add_header Cache-Control "no-cache";
    }
@PAGE@
    location / {
        return 404;
    }
}
)";

constexpr const char* kPageTemplate = R"(
    # The launcher's page (/web/...), shown at every start; hidden files
    # stay private.
    location /web/ {
        alias "@WEB@/";
        location ~ "/\." {
            return 404;
        }
        add_header Cache-Control "no-cache";
    }
)";

constexpr const char* kTlsTemplate = R"(
    # HTTPS: the certificate chain (the server's first) and its key.
    ssl_certificate "@CERTIFICATE@";
    ssl_certificate_key "@KEY@";
)";

// Plain HTTP for whoever still asks for it; the launcher should be given the
// https:// addresses themselves, or every request takes the detour.
constexpr const char* kRedirectTemplate = R"(
# Plain HTTP: every request goes to the same address over HTTPS.
server {
    listen @REDIRECT@;
    server_name @SERVER_NAME@;
    return 301 https://$host@HTTPS_PORT@$request_uri;
}
)";

// The template with every @NAME@ of values replaced in one pass, so that a
// value (a path) is never searched for names itself.
std::string Filled(std::string_view text, const std::map<std::string, std::string>& values) {
    std::string filled;
    std::size_t from = 0;
    for (std::size_t at = text.find('@'); at != std::string_view::npos; at = text.find('@', from)) {
        const std::size_t end = text.find('@', at + 1);
        const auto value =
            end == std::string_view::npos ? values.end() : values.find(std::string(text.substr(at + 1, end - at - 1)));
        filled.append(text.substr(from, at - from));
        if (value == values.end()) {
            filled += '@';
            from = at + 1;
        } else {
            filled += value->second;
            from = end + 1;
        }
    }
    filled.append(text.substr(from));
    return filled;
}

}  // namespace

std::string NginxServerConfig(const NginxConfigOptions& options) {
    const std::string root = QuotedFolder(options.root, "the root");
    const std::optional<std::string> web =
        options.webDir ? std::optional<std::string>(QuotedFolder(*options.webDir, "the page folder")) : std::nullopt;
    // Words may follow the port: "443 ssl".
    if (!MadeOf(options.listen, ".:[] ") || options.listen.front() == ' ') {
        throw PublishError("--listen \"" + options.listen + "\": a port, or an address and a port, and nginx's words");
    }
    if (!MadeOf(options.serverName, ".-_*")) {
        throw PublishError("--server-name \"" + options.serverName + "\": one host name");
    }
    if (options.tlsCertificate.has_value() != options.tlsKey.has_value()) {
        throw PublishError("--tls-certificate and --tls-key go together");
    }
    const bool https = options.tlsCertificate.has_value();
    if (options.redirectHttp && (!https || !MadeOf(*options.redirectHttp, ".:[]"))) {
        throw PublishError(
            "--redirect-http needs --tls-certificate and --tls-key, and a port or an address and a port");
    }
    RefusePlaceholders(options.root);

    std::string listen = options.listen;
    std::string tls;
    if (https) {
        tls = Filled(kTlsTemplate, {{"CERTIFICATE", QuotedFile(*options.tlsCertificate, "the certificate")},
                                    {"KEY", QuotedFile(*options.tlsKey, "the key")}});
        if ((" " + listen + " ").find(" ssl ") == std::string::npos) {
            listen += " ssl";
        }
    }
    const std::string page = web ? Filled(kPageTemplate, {{"WEB", *web}}) : std::string();
    std::string config =
        Filled(kServerTemplate,
               {{"ROOT", root}, {"LISTEN", listen}, {"SERVER_NAME", options.serverName}, {"TLS", tls}, {"PAGE", page}});
    if (options.redirectHttp) {
        // The HTTPS port goes into the address unless it is the default.
        const std::string port = ListenPort(listen);
        config += Filled(kRedirectTemplate, {{"REDIRECT", *options.redirectHttp},
                                             {"SERVER_NAME", options.serverName},
                                             {"HTTPS_PORT", port == "443" ? "" : ":" + port}});
    }
    return config;
}

std::optional<std::string> NginxConfigWarning(const NginxConfigOptions& options) {
    std::error_code error;
    if (!fs::is_directory(options.root, error) || fs::is_directory(options.root / "answers", error)) {
        return std::nullopt;
    }
    return options.root.string() + " holds no publish yet (no answers/): nginx answers 404 until one is written";
}
