#include "update/version_service.h"

#include "net/http_product.h"
#include "platform/text.h"
#include "state/launcher_settings.h"
#include "state/message_table.h"
#include "state/view_broser.h"
#include "update/file_list.h"
#include "update/manifest.h"
#include "update/retry.h"
#include "update/safe_path.h"

#include <cwchar>
#include <vector>

namespace {

constexpr int kAnswerFieldLimit = 5;
constexpr int kAnswerFieldMinimum = 4;
constexpr DWORD kAnswerCapacity = 1024;

bool FetchAnswerManifests(const std::wstring& indexName, const std::wstring& diffName, CUpdateContext& context) {
    if (indexName.empty())
        return false;
    FetchManifest(cdn_url + L"index/" + indexName, context.indexMap);
    if (context.indexMap.empty())
        return false;
    if (diffName.empty())
        return true;
    FetchManifest(cdn_url + L"diff/" + indexName + L".." + diffName, context.diffMap);
    return !context.diffMap.empty();
}

}  // namespace

int SplitFields(wchar_t* text, int limit, const wchar_t* delimiters, wchar_t** fields) {
    int count = 0;
    bool atFieldStart = true;
    for (wchar_t* p = text; *p; ++p) {
        if (std::wcschr(delimiters, *p)) {
            *p = L'\0';
            if (count == limit)
                break;
            atFieldStart = true;
        } else if (atFieldStart) {
            fields[count++] = p;
            atFieldStart = false;
        }
    }
    return count;
}

VersionAnswer ReadVersionAnswer(const std::wstring& answer, const std::wstring& prefix) {
    std::vector<wchar_t> text(answer.begin(), answer.end());
    text.push_back(L'\0');
    wchar_t* fields[kAnswerFieldLimit] = {};
    const int fieldCount = SplitFields(text.data(), kAnswerFieldLimit, L"|", fields);

    VersionAnswer read;
    read.complete = fieldCount >= kAnswerFieldMinimum;
    if (!read.complete)
        return read;
    for (int i = 0; i < fieldCount; ++i) {
        wchar_t* parts[2] = {};
        if (SplitFields(fields[i], 2, L"=", parts) != 2)
            continue;
        const std::wstring key = parts[0];
        const std::wstring value = parts[1];
        if (key == L"cdn_url") {
            read.cdnUrl = value;
        } else if (key == L"cdn_path") {
            // The path names local folders: it must stay a relative path
            // below the data folder and fit a path buffer.
            const std::wstring path = prefix + value;
            if (path.size() < MAX_PATH && IsSafeRelativePath(path))
                read.cdnPath = path;
            else
                read.usable = false;
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
    const VersionAnswer read = ReadVersionAnswer(answer, prefix);
    if (read.cdnUrl)
        cdn_url = *read.cdnUrl;
    if (read.cdnPath)
        cdn_path = *read.cdnPath;
    if (read.webUrl)
        web_url = *read.webUrl;

    context.diffMap.clear();
    context.indexMap.clear();
    if (!read.complete || !read.usable)
        return false;
    return FetchAnswerManifests(read.indexName, read.diffName, context);
}

bool QueryVersionService(const std::wstring& prefix, CUpdateContext& context, const std::wstring& url) {
    return RetryWithBackoff([&] {
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
        GetViewBroser()->SetErrorText(g_messages.entries[11]);
        return false;
    }
    if (!FetchFileList(context, g_settings.launcherListName)) {
        GetViewBroser()->SetErrorText(g_messages.entries[12]);
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
