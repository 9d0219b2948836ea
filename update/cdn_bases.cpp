#include "update/cdn_bases.h"

#include "net/web_url.h"
#include "state/diag_log.h"
#include "state/launcher_settings.h"
#include "update/retry.h"
#include "update/update_context.h"
#include "wire/mirror_list.h"

#include <algorithm>

static_assert(kMirrorsBuffer == kMaxMirrorsChars + 1, "the launcher reads every Mirrors value the publisher writes");

namespace {
const wchar_t kTopic[] = L"mirror";
}  // namespace

void CCdnBases::SetMirrors(const std::wstring& value) {
    std::lock_guard<std::mutex> hold(m_lock);
    if (value == m_value)
        return;
    m_value = value;
    m_mirrors.clear();
    m_first.clear();
    for (std::wstring& mirror : SplitMirrors(value)) {
        if (!IsWebUrl(mirror))
            DiagProblem(kTopic, L"\"" + mirror + L"\" in Mirrors ignored: not an absolute http or https address");
        else if (std::find(m_mirrors.begin(), m_mirrors.end(), mirror) == m_mirrors.end())
            m_mirrors.push_back(std::move(mirror));
    }
    std::wstring named;
    for (const std::wstring& mirror : m_mirrors)
        named += L" " + mirror;
    DiagNote(kTopic, m_mirrors.empty() ? L"no mirrors" : L"mirrors:" + named);
}

bool CCdnBases::TryEach(const std::wstring& url, const std::function<bool(const std::wstring& from)>& fetch) {
    const std::wstring primary = cdn_url;
    std::vector<std::wstring> bases{primary};
    {
        std::lock_guard<std::mutex> hold(m_lock);
        if (!m_mirrors.empty() && !primary.empty() && url.starts_with(primary)) {
            for (const std::wstring& mirror : m_mirrors) {
                if (mirror != primary)
                    bases.push_back(mirror);
            }
        }
        const auto first = std::find(bases.begin(), bases.end(), m_first);
        if (first != bases.end())
            std::rotate(bases.begin(), first, first + 1);
    }
    if (bases.size() == 1)
        return fetch(url);

    const std::wstring rest = url.substr(primary.size());
    for (std::size_t i = 0; i < bases.size(); ++i) {
        if (fetch(bases[i] + rest)) {
            if (i != 0) {
                std::lock_guard<std::mutex> hold(m_lock);
                m_first = bases[i];
                DiagNote(kTopic, bases[i] + L" answered for " + rest + L"; it is tried first from now on");
            }
            return true;
        }
        if (i + 1 < bases.size())
            DiagNote(kTopic, rest + L" failed on " + bases[i] + L"; trying " + bases[i + 1]);
    }
    return false;
}

bool RetryOnBases(CCdnBases& bases, const std::wstring& url,
                  const std::function<bool(const std::wstring& from, int pass)>& attempt,
                  const std::function<bool()>& giveUp) {
    int pass = 0;
    return RetryWithBackoff(
        [&] {
            ++pass;
            return bases.TryEach(url, [&](const std::wstring& from) { return attempt(from, pass); });
        },
        giveUp);
}
