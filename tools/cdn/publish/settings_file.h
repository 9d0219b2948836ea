// The platform's settings file, which the launcher fetches from the CDN and
// puts in place of its own. A missing "Web" key there empties the launcher's
// page address, so the publisher warns about it.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

// Warnings for the user; empty when the file names a page in [Config].
std::vector<std::string> SettingsFileWarnings(const std::filesystem::path& file);

// The settings file's bytes with one "Mirrors=" line naming mirrors, blank
// separated, right below the first [Config] header (one is added at the end
// when there is none), in place of every Mirrors line [Config] held. The
// file's encoding, byte-order mark and line ends are kept.
std::string SettingsWithMirrors(const std::string& bytes, const std::vector<std::string>& mirrors);
