// The update protocol's state: the version configuration taken from the
// version service, and the one context holding the file lists and manifests.
#pragma once

#include "codec/ed25519_signature.h"
#include "platform/critical_section.h"
#include "update/cdn_bases.h"
#include "wire/md5_list_format.h"
#include "wire/release_document.h"

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// Version configuration, written only by the version answer parser.
extern std::wstring cdn_url;
extern std::wstring cdn_path;
extern std::wstring web_url;

// One entry of an md5 list. Sizes are 64-bit: game files may pass 2 GiB.
using FileEntry = Md5ListEntry;

class CUpdateContext {
public:
    // Written by the window thread while an earlier client check may still
    // read them: both are kept under pageInputLock.
    std::mutex pageInputLock;
    std::wstring clientVersionUrl;
    std::wstring pageAnswer;
    platform::CriticalSection lock;
    int lockDepth = 0;
    std::vector<FileEntry> remoteFiles;
    std::int64_t totalBytes = 1;
    std::vector<FileEntry> pendingFiles;
    int launcherUpdatePending = 0;
    // Keys and ids are hex text; kept narrow, since a manifest's records
    // number in the hundreds of thousands for a large client.
    std::map<std::string, std::string> diffMap;
    std::map<std::string, std::string> indexMap;
    std::wstring packSuffix;
    // cdn_url and its mirrors, with the one that answered last.
    CCdnBases cdnBases;
    // Set when the data folder's volume cannot take what is pending, by the
    // driver before its first download or by a worker whose write failed:
    // the update then ends with diskShortText instead of its usual failure.
    bool diskShort = false;
    std::wstring diskShortText;
    // Signed releases: checked when the launcher's folder holds release.pub
    // (its keys may still be none, when the file does not read: then
    // nothing is accepted). release is the accepted document of the answer
    // in use; every body fetched for it must be one it names.
    bool releasesChecked = false;
    std::vector<Ed25519PublicKey> releaseKeys;
    std::shared_ptr<const ReleaseDocument> release;
};

// Holds the context lock for a whole check, counting its depth.
class ContextLockHolder {
public:
    explicit ContextLockHolder(CUpdateContext& context);
    ~ContextLockHolder();
    ContextLockHolder(const ContextLockHolder&) = delete;
    ContextLockHolder& operator=(const ContextLockHolder&) = delete;

private:
    CUpdateContext& m_context;
};

// What the page last reported, copied under its lock.
struct PageInputs {
    std::wstring clientVersionUrl;
    std::wstring pageAnswer;
};
PageInputs ReadPageInputs(CUpdateContext& context);

CUpdateContext* GetUpdateContext();
