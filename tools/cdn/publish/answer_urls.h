// The two addresses a publish writes into its answers: cdn_url, to which the
// launcher appends "index/", "tree/"... directly, and web_url, the page link
// of the progress dialog. Each is an absolute http or https URL, or starts
// with "{server}/", which only "quillmoor-cdn serve" fills in.
#pragma once

#include <optional>
#include <string>
#include <string_view>

// The cdn_url for --base-url, ending with "/". Throws PublishError naming the
// option for anything else than an address as above, and for a query or a
// fragment, which would swallow the paths appended to it.
std::string CdnBaseUrl(std::string_view baseUrl);

// A --mirror address as launchers read it from the settings file, ending
// with "/" like the cdn_url it stands in for. Throws PublishError for
// anything but an absolute http or https address without query or fragment:
// "{server}" too, since the settings file is served as it stands.
std::string MirrorBaseUrl(std::string_view mirrorUrl);

// Throws PublishError naming the option when webUrl is not an address as above.
void CheckWebUrl(std::string_view webUrl);

// A warning for answers that still hold "{server}": any server but "serve"
// hands them out as they stand, and the launcher cannot reach "{server}/...".
std::optional<std::string> PlaceholderWarning(std::string_view baseUrl, std::string_view webUrl);
