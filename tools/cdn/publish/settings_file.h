// The platform's settings file, which the launcher fetches from the CDN and
// puts in place of its own. A missing "Web" key there empties the launcher's
// page address, so the publisher warns about it.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

// Warnings for the user; empty when the file names a page in [Config].
std::vector<std::string> SettingsFileWarnings(const std::filesystem::path& file);
