#include "tools/cdn/publish/answer_urls.h"

#include "tools/cdn/publish/publish_error.h"
#include "tools/cdn/publish/version_answer.h"

#include <strings.h>

namespace {

bool StartsWithText(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && ::strncasecmp(text.data(), prefix.data(), prefix.size()) == 0;
}

bool HoldsPlaceholder(std::string_view url) {
    return url.find(kServerPlaceholder) != std::string_view::npos;
}

// Why url is no address the launcher can fetch, or nothing.
std::optional<std::string> UrlProblem(std::string_view url) {
    std::string_view rest;
    if (url.substr(0, kServerPlaceholder.size()) == kServerPlaceholder) {
        rest = url.substr(kServerPlaceholder.size());
        if (rest.empty() || rest.front() != '/') {
            return std::string("\"") + std::string(kServerPlaceholder) + "\" must be followed by \"/\"";
        }
    } else {
        std::size_t schemeLength = 0;
        for (std::string_view scheme : {"http://", "https://"}) {
            if (StartsWithText(url, scheme)) {
                schemeLength = scheme.size();
            }
        }
        if (schemeLength == 0) {
            return "not an absolute http:// or https:// address";
        }
        rest = url.substr(schemeLength);
        if (rest.empty() || rest.front() == '/' || rest.front() == '?' || rest.front() == '#') {
            return "no host after the scheme";
        }
    }
    for (char c : rest) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte == 0x7F || c == '"' || c == '<' || c == '>' || c == '\\') {
            return "a blank, control character, quote, angle bracket or backslash cannot stand in an address";
        }
    }
    return std::nullopt;
}

[[noreturn]] void Refuse(std::string_view option, std::string_view value, const std::string& problem) {
    throw PublishError(std::string(option) + " \"" + std::string(value) + "\": " + problem);
}

// A base the launcher appends paths to, ending with "/"; what names it.
std::string BaseUrl(std::string_view option, std::string_view url, std::string_view what) {
    if (const std::optional<std::string> problem = UrlProblem(url)) {
        Refuse(option, url, *problem);
    }
    if (url.find_first_of("?#") != std::string_view::npos) {
        Refuse(option, url, std::string(what) + " cannot carry a query or fragment: the launcher appends paths to it");
    }
    std::string base(url);
    if (base.back() != '/') {
        base += '/';
    }
    return base;
}

}  // namespace

std::string CdnBaseUrl(std::string_view baseUrl) {
    return BaseUrl("--base-url", baseUrl, "the cdn_url");
}

std::string MirrorBaseUrl(std::string_view mirrorUrl) {
    // The settings file is served as it stands: "serve" fills in no address
    // there.
    if (mirrorUrl.substr(0, kServerPlaceholder.size()) == kServerPlaceholder) {
        Refuse("--mirror", mirrorUrl, "not an absolute http:// or https:// address");
    }
    return BaseUrl("--mirror", mirrorUrl, "a mirror");
}

void CheckWebUrl(std::string_view webUrl) {
    if (const std::optional<std::string> problem = UrlProblem(webUrl)) {
        Refuse("--web-url", webUrl, *problem);
    }
}

std::optional<std::string> PlaceholderWarning(std::string_view baseUrl, std::string_view webUrl) {
    std::string options;
    if (HoldsPlaceholder(baseUrl)) {
        options = "--base-url";
    }
    if (HoldsPlaceholder(webUrl)) {
        options += options.empty() ? "--web-url" : " and --web-url";
    }
    if (options.empty()) {
        return std::nullopt;
    }
    return "the answers hold \"" + std::string(kServerPlaceholder) +
           "\", which only \"quillmoor-cdn serve\" fills in; for any other server give " + options +
           " (e.g. --base-url https://cdn.example.com/cdn/), or the launcher fails to fetch";
}
