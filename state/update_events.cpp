#include "state/update_events.h"

namespace {
HANDLE NewUpdateEvent() {
    return CreateEventW(nullptr, FALSE, FALSE, nullptr);
}
}  // namespace

const HANDLE VersionKnownEvent = NewUpdateEvent();
const HANDLE LauncherCheckedEvent = NewUpdateEvent();
const HANDLE ClientCheckReadyEvent = NewUpdateEvent();
const HANDLE ClientListReadyEvent = NewUpdateEvent();
const HANDLE ClientDownloadedEvent = NewUpdateEvent();
const HANDLE ClientReadyEvent = NewUpdateEvent();
