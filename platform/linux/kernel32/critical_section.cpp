// Critical sections: recursive mutexes, as on Windows.
#include "platform/thread_stop.h"

void InitializeCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
    lpCriticalSection->mutex = new std::recursive_mutex;
}

void EnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
    // A stopped thread enters no new locked step. Inside a destructor run by
    // unwinding the lock is still taken: the code around it expects to hold it.
    platform::StopPoint();
    lpCriticalSection->mutex->lock();
}

void LeaveCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
    lpCriticalSection->mutex->unlock();
}

void DeleteCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
    delete lpCriticalSection->mutex;
    lpCriticalSection->mutex = nullptr;
}
