// The version service: where on the CDN the current launcher and client lie.
#pragma once

#include "update/update_context.h"

#include <optional>
#include <string>

// Launcher request, launcher md5 list and launcher comparison, under the
// context lock. Sets the error text of the step that failed.
bool CheckLauncherVersion(CUpdateContext& context);

// Requests url (5 attempts) and parses the answer with prefix.
bool QueryVersionService(const std::wstring& prefix, CUpdateContext& context, const std::wstring& url);

// What an answer says, read before anything is taken from it or fetched.
struct VersionAnswerFields {
    // It has the four fields an answer needs at least; only then are the
    // values below read.
    bool complete = false;
    int fieldCount = 0;
    // No cdn_path, or one below the data folder that fits a path buffer.
    bool usable = true;
    std::wstring refusedPath;  // the cdn_path that made it unusable
    std::optional<std::wstring> cdnUrl;
    std::optional<std::wstring> cdnPath;  // prefix included; only a usable one
    std::optional<std::wstring> webUrl;
    std::wstring indexName;
    std::wstring diffName;
};

// Reads "key=value|..."; prefix goes before cdn_path.
VersionAnswerFields ReadVersionAnswer(const std::wstring& answer, const std::wstring& prefix);

// Parses "key=value|..." into the version configuration and fetches the
// manifests it names. True when the manifests it needed are non-empty.
bool ParseVersionAnswer(const std::wstring& answer, const std::wstring& prefix, CUpdateContext& context);

// The page's URL with its last path component replaced by "pcversion".
bool SetClientVersionUrl(const std::wstring& pageArgument, std::wstring& target);

// SetClientVersionUrl into the context's clientVersionUrl, under its lock.
bool UpdateClientVersionUrl(CUpdateContext& context, const std::wstring& pageArgument);

// Keeps an answer the page handed over; true when it differs from the last.
bool SetPageAnswer(CUpdateContext& context, const std::wstring& text);
