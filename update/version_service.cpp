#include "update/version_service.h"

#include "net/http_product.h"
#include "platform/text.h"
#include "state/diag_log.h"
#include "state/launcher_settings.h"
#include "state/message_table.h"
#include "state/view_broser.h"
#include "update/file_list.h"
#include "update/manifest.h"
#include "update/release_check.h"
#include "update/release_trust.h"
#include "update/retry.h"
#include "update/safe_path.h"
#include "wire/version_answer_format.h"

#include <vector>

namespace {

constexpr DWORD kAnswerCapacity = kMaxAnswerBytes;
const wchar_t kTopic[] = L"version";

bool FetchAnswerManifests(const std::wstring& indexName, const std::wstring& diffName, CUpdateContext& context) {
    if (indexName.empty()) {
        DiagProblem(kTopic, L"the answer names no cdn_index");
        return false;
    }
    const std::wstring indexUrl = cdn_url + L"index/" + indexName;
    FetchManifest(indexUrl, context.indexMap, context);
    if (context.indexMap.empty()) {
        DiagProblem(kTopic, L"the index manifest " + indexUrl + L" gave no record");
        return false;
    }
    if (diffName.empty())
        return true;
    const std::wstring diffUrl = cdn_url + L"diff/" + indexName + L".." + diffName;
    FetchManifest(diffUrl, context.diffMap, context);
    if (context.diffMap.empty())
        DiagProblem(kTopic, L"the diff manifest " + diffUrl + L" gave no record");
    return !context.diffMap.empty();
}

}  // namespace

VersionAnswerFields ReadVersionAnswer(const std::wstring& answer, const std::wstring& prefix) {
    const AnswerFieldList list = SplitAnswer(answer);
    VersionAnswerFields read;
    read.fieldCount = list.fieldCount;
    read.complete = list.fieldCount >= kAnswerFieldMinimum;
    if (!read.complete)
        return read;
    for (const auto& [key, value] : list.fields) {
        if (key == L"cdn_url") {
            read.cdnUrl = value;
        } else if (key == L"cdn_path") {
            // The path names local folders: it must stay a relative path
            // below the data folder and fit a path buffer.
            const std::wstring path = prefix + value;
            if (path.size() < MAX_PATH && IsSafeRelativePath(path)) {
                read.cdnPath = path;
            } else {
                read.usable = false;
                read.refusedPath = path;
            }
        } else if (key == L"cdn_index") {
            read.indexName = value;
        } else if (key == L"cdn_diff_index") {
            read.diffName = value;
        } else if (key == L"web_url") {
            read.webUrl = value;
        }
    }
    return read;
}

bool ParseVersionAnswer(const std::wstring& answer, const std::wstring& prefix, CUpdateContext& context) {
    const VersionAnswerFields read = ReadVersionAnswer(answer, prefix);
    // An answer the accepted release does not name is taken for nothing.
    if (read.complete && !ReleaseAllowsAnswer(context, answer)) {
        context.diffMap.clear();
        context.indexMap.clear();
        return false;
    }
    if (read.cdnUrl)
        cdn_url = *read.cdnUrl;
    if (read.cdnPath)
        cdn_path = *read.cdnPath;
    if (read.webUrl)
        web_url = *read.webUrl;

    context.diffMap.clear();
    context.indexMap.clear();
    if (!read.complete) {
        DiagProblem(kTopic, answer.empty()
                                ? L"no answer text"
                                : L"an answer of " + std::to_wstring(read.fieldCount) +
                                      L" fields, 4 or more needed: \"" + answer.substr(0, kAnswerCapacity) + L"\"");
        return false;
    }
    if (!read.usable) {
        DiagProblem(kTopic, L"cdn_path \"" + read.refusedPath + L"\" refused: not a short relative path");
        return false;
    }
    DiagNote(kTopic, L"answer: cdn_url " + cdn_url + L", cdn_path " + cdn_path + L", index " + read.indexName +
                         (read.diffName.empty() ? L", no diff" : L", diff " + read.diffName));
    return FetchAnswerManifests(read.indexName, read.diffName, context);
}

bool QueryVersionService(const std::wstring& prefix, CUpdateContext& context, const std::wstring& url) {
    const ReleaseKind kind = prefix.empty() ? ReleaseKind::Client : ReleaseKind::Launcher;
    return RetryWithBackoff([&] {
        if (!AcceptRelease(context, url, kind))
            return false;
        std::wstring answer;
        {
            CHttpProduct product(0, nullptr);
            if (product.Open(url.c_str(), L"", 0, 0)) {
                // One byte more than the capacity keeps the terminator inside.
                std::vector<unsigned char> buffer(kAnswerCapacity + 1, 0);
                DWORD received = 0;
                if (product.ReadAll(buffer.data(), kAnswerCapacity, &received))
                    answer =
                        platform::FromUtf8(std::string_view(reinterpret_cast<const char*>(buffer.data()), received));
            }
        }
        return ParseVersionAnswer(answer, prefix, context);
    });
}

bool CheckLauncherVersion(CUpdateContext& context) {
    ContextLockHolder hold(context);
    context.totalBytes = 1;
    const std::wstring url = g_settings.versionUrl + L"?platform=" + g_settings.platform;
    if (!QueryVersionService(L"launcher/", context, url)) {
        DiagProblem(kTopic, L"launcher check: no usable answer from " + url + L" in 5 attempts");
        GetViewBroser()->SetErrorText(g_messages.entries[message::kLauncherVersionUnavailable]);
        return false;
    }
    if (!FetchFileList(context, g_settings.launcherListName)) {
        DiagProblem(kTopic, L"launcher check: the launcher's md5 list could not be read");
        GetViewBroser()->SetErrorText(g_messages.entries[message::kLauncherListUnreadable]);
        return false;
    }
    PrepareLauncherList(context);
    return true;
}

bool SetClientVersionUrl(const std::wstring& pageArgument, std::wstring& target) {
    std::wstring url = pageArgument;
    const std::size_t slash = url.rfind(L'/');
    if (slash != std::wstring::npos) {
        url.resize(slash + 1);
        url += L"pcversion";
    }
    const bool changed = url != target;
    target = url;
    return changed;
}

bool UpdateClientVersionUrl(CUpdateContext& context, const std::wstring& pageArgument) {
    std::lock_guard<std::mutex> hold(context.pageInputLock);
    return SetClientVersionUrl(pageArgument, context.clientVersionUrl);
}

bool SetPageAnswer(CUpdateContext& context, const std::wstring& text) {
    std::lock_guard<std::mutex> hold(context.pageInputLock);
    if (text == context.pageAnswer)
        return false;
    context.pageAnswer = text;
    return true;
}
