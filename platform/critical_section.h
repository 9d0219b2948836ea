// An owned critical section: initialised on construction, deleted on
// destruction. Hold it with platform::CriticalSectionLock.
#pragma once

#include "platform/kernel32.h"
#include "platform/thread_stop.h"

namespace platform {

class CriticalSection {
public:
    CriticalSection() { InitializeCriticalSection(&m_cs); }
    ~CriticalSection() { DeleteCriticalSection(&m_cs); }
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;

    CRITICAL_SECTION& Native() { return m_cs; }

private:
    CRITICAL_SECTION m_cs{};
};

}  // namespace platform
