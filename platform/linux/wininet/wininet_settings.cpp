#include "platform/linux/wininet/wininet_settings.h"

#include <strings.h>

namespace platform {

namespace {

bool SameText(std::string_view a, std::string_view b) {
    return a.size() == b.size() && ::strncasecmp(a.data(), b.data(), a.size()) == 0;
}

bool IsLoopbackHost(std::string_view host) {
    return SameText(host, "localhost") || host.substr(0, 4) == "127." || host == "::1" || host == "[::1]";
}

// The object name as it goes on the request line: starting with '/', with
// blanks, control characters and bytes beyond ASCII percent-encoded. Escapes
// already present are kept.
std::string EscapeObjectName(std::string_view object) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string escaped;
    if (object.empty() || object.front() != '/') {
        escaped = "/";
    }
    for (char c : object) {
        auto u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u >= 0x7F) {
            escaped += '%';
            escaped += kHex[u >> 4];
            escaped += kHex[u & 0xF];
        } else {
            escaped += c;
        }
    }
    return escaped;
}

std::vector<std::string> SplitList(std::string_view list) {
    std::vector<std::string> entries;
    std::size_t begin = 0;
    while (begin < list.size()) {
        std::size_t end = list.find_first_of(" \t;", begin);
        if (end == std::string_view::npos) {
            end = list.size();
        }
        if (end > begin) {
            entries.emplace_back(list.substr(begin, end - begin));
        }
        begin = end + 1;
    }
    return entries;
}

// WinINet's proxy list: "host:port" entries, or "scheme=host:port" ones for
// one scheme. The first that applies is used; none means a direct request.
std::string ProxyFor(std::string_view list, bool secure) {
    std::string_view scheme = secure ? "https" : "http";
    for (const auto& entry : SplitList(list)) {
        std::size_t equals = entry.find('=');
        if (equals == std::string::npos) {
            return entry;
        }
        if (SameText(std::string_view(entry).substr(0, equals), scheme)) {
            return entry.substr(equals + 1);
        }
    }
    return {};
}

// WinINet's bypass list in curl's form. "<local>" (names without a dot) has
// no equivalent there and is left out.
std::string NoProxyList(std::string_view list) {
    std::string joined;
    for (const auto& entry : SplitList(list)) {
        if (entry.front() == '<') {
            continue;
        }
        if (!joined.empty()) {
            joined += ',';
        }
        joined += entry;
    }
    return joined;
}

}  // namespace

bool IsValidHost(std::string_view host) {
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']') {
        host = host.substr(1, host.size() - 2);
    }
    if (host.empty()) {
        return false;
    }
    for (char c : host) {
        auto u = static_cast<unsigned char>(c);
        bool allowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                       c == '.' || c == '_' || c == ':' || u >= 0x80;
        if (!allowed) {
            return false;
        }
    }
    return true;
}

TransferSettings BuildTransferSettings(const InternetRequest& request) {
    const InternetConnection& connection = *request.connection;
    const InternetSession& session = *connection.session;
    bool secure = (request.flags & INTERNET_FLAG_SECURE) != 0;
    std::string host = connection.host;
    if (host.find(':') != std::string::npos && host.front() != '[') {
        host = "[" + host + "]";
    }

    // The scheme's own port is left out, so that it is not named in the Host
    // header or a proxy's request line either.
    unsigned defaultPort = secure ? INTERNET_DEFAULT_HTTPS_PORT : INTERNET_DEFAULT_HTTP_PORT;
    if (connection.port != INTERNET_INVALID_PORT_NUMBER && connection.port != defaultPort) {
        host += ":" + std::to_string(connection.port);
    }

    TransferSettings settings;
    settings.url = (secure ? "https://" : "http://") + host + EscapeObjectName(request.objectName);
    settings.method = request.verb;
    settings.http10 = request.http10;
    settings.userAgent = session.agent;
    settings.followRedirects = (request.flags & INTERNET_FLAG_NO_AUTO_REDIRECT) == 0;
    settings.verifyHostName = (request.flags & INTERNET_FLAG_IGNORE_CERT_CN_INVALID) == 0;

    for (const auto& [name, value] : request.headers.Lines()) {
        settings.headerLines.push_back(value.empty() ? name + ";" : name + ": " + value);
    }
    // Only the headers the caller gave: none of curl's own.
    for (const char* own : {"Accept", "Expect", "Pragma"}) {
        if (!request.headers.Has(own)) {
            settings.headerLines.push_back(std::string(own) + ":");
        }
    }

    // Loopback never goes through a proxy, as with WinINet; a preconfigured
    // session uses the environment's proxy settings.
    if (IsLoopbackHost(connection.host) || session.accessType == INTERNET_OPEN_TYPE_DIRECT) {
        settings.proxy = "";
    } else if (session.accessType == INTERNET_OPEN_TYPE_PROXY) {
        settings.proxy = ProxyFor(session.proxy, secure);
        settings.noProxy = NoProxyList(session.proxyBypass);
    }
    settings.proxyUserName = request.ProxyUserName();
    settings.proxyPassword = request.ProxyPassword();
    return settings;
}

}  // namespace platform
