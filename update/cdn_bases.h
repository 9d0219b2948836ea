// The base addresses of the CDN: cdn_url from the version answer, then the
// mirrors the settings file names. A fetch that fails on one base is tried on
// the next before it counts as a failed attempt, and the base that answered
// is tried first from then on, so a dead host costs one failure a run, not
// one a file.
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <vector>

class CCdnBases {
public:
    // Takes the Mirrors value of the settings file. Only absolute http or
    // https addresses are taken; each other word is left out with a line in
    // the diagnostic log. A changed list forgets which base answered last.
    void SetMirrors(const std::wstring& value);

    // Calls fetch with url and, while it fails, with url's cdn_url replaced
    // by each further base in turn; true as soon as one call succeeds. Without
    // mirrors, or for a url not below cdn_url, fetch runs once on url itself.
    bool TryEach(const std::wstring& url, const std::function<bool(const std::wstring& from)>& fetch);

private:
    std::mutex m_lock;
    std::wstring m_value;
    std::vector<std::wstring> m_mirrors;
    // The base that answered last where the one before it failed.
    std::wstring m_first;
};

// The retry rule over the bases: one pass over them is one attempt, so the
// attempts and the waits between them stay those of a single host. attempt
// is told the number of its pass, from 1.
bool RetryOnBases(CCdnBases& bases, const std::wstring& url,
                  const std::function<bool(const std::wstring& from, int pass)>& attempt,
                  const std::function<bool()>& giveUp = {});
