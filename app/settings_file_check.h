// Whether the server's copy of the settings file may replace the local one.
#pragma once

#include "update/update_context.h"

#include <string>
#include <vector>

// The largest settings file taken from the server; the launcher's own is a
// few lines.
constexpr long kMaxServerSettingsBytes = 8 * 1024;

// True when the file reads as a settings file: at most
// kMaxServerSettingsBytes of text (UTF-8, or UTF-16LE with its byte-order
// mark) without control characters, a [Config] section, and Version and Web,
// when present, absolute http or https URLs with a host. A transfer that
// arrived whole can still be an error page or garbage, and a local file
// replaced by it would stop every later start.
bool IsUsableSettingsFile(const std::wstring& path);

// True when the launcher's md5 list names no file at listedPath, or names it
// with this file's size and digest: the list describes the published settings
// file too, and a byte flipped in a value still reads as a settings file.
bool MatchesListedFile(const std::wstring& path, const std::vector<FileEntry>& listed, const std::wstring& listedPath);
