// Trust in signed releases: the keys in release.pub beside the launcher, the
// document fetched and verified before each version answer is used, and the
// highest serial accepted before, kept in the data folder so that an older
// genuine release served again is refused.
#pragma once

#include "update/update_context.h"

#include <string>

// Reads release.pub from the launcher's folder. Without one, releases are
// not checked and the diagnostic log says so; one that does not read makes
// every release refused.
void LoadReleaseKeys(CUpdateContext& context, const std::wstring& launcherFolder);

// The document's and the signature's URL for an answer's URL: ".release"
// and ".release.sig" at the end of its path, before any query.
std::wstring ReleaseDocumentUrl(const std::wstring& answerUrl);
std::wstring ReleaseSignatureUrl(const std::wstring& answerUrl);

// Without checks: clears context.release, true. Otherwise fetches the
// document of the answer at answerUrl and its signature and accepts it into
// context.release only when a trusted key signed it, it is of this kind (a
// launcher's of this platform: the client is shared by the platforms of a
// folder), it has not expired and its serial is not below the highest
// accepted before (an equal one must carry the same document); the serial
// is then kept. False, with the reason in the diagnostic log, otherwise.
bool AcceptRelease(CUpdateContext& context, const std::wstring& answerUrl, ReleaseKind kind);
