// Addresses that come from the server and are handed on to a browser, the
// shell or the settings file.
#pragma once

#include <string>

// True for an absolute http or https URL with a host, as the HTTP client
// splits it, and without blanks or control characters. Anything else (a
// "javascript:" or "file:" address, a path, a command-line option) is not a
// web address.
bool IsWebUrl(const std::wstring& url);
