#include "platform/gdiplus_startup.h"

#include "platform/linux/gdi/gdiplus_state.h"

#include <mutex>
#include <set>

namespace {

class StartupTokens {
public:
    static StartupTokens& Instance() {
        static StartupTokens tokens;
        return tokens;
    }
    ULONG_PTR Add() {
        std::lock_guard lock(m_mutex);
        m_live.insert(++m_last);
        return m_last;
    }
    void Remove(ULONG_PTR token) {
        std::lock_guard lock(m_mutex);
        m_live.erase(token);
    }
    bool Any() {
        std::lock_guard lock(m_mutex);
        return !m_live.empty();
    }

private:
    std::mutex m_mutex;
    std::set<ULONG_PTR> m_live;
    ULONG_PTR m_last = 0;
};

// Nothing runs in the background here, so there is nothing to hook.
Gdiplus::Status WINAPI NoNotificationHook(ULONG_PTR* token) {
    if (!token)
        return Gdiplus::InvalidParameter;
    *token = 0;
    return Gdiplus::Ok;
}

void WINAPI NoNotificationUnhook(ULONG_PTR) {}

}  // namespace

namespace Gdiplus {

Status WINAPI GdiplusStartup(ULONG_PTR* token, const GdiplusStartupInput* input, GdiplusStartupOutput* output) {
    if (!token || !input)
        return InvalidParameter;
    if (input->GdiplusVersion != 1)
        return UnsupportedGdiplusVersion;
    if (input->SuppressBackgroundThread) {
        if (!output)
            return InvalidParameter;
        output->NotificationHook = NoNotificationHook;
        output->NotificationUnhook = NoNotificationUnhook;
    }
    *token = StartupTokens::Instance().Add();
    return Ok;
}

void WINAPI GdiplusShutdown(ULONG_PTR token) {
    StartupTokens::Instance().Remove(token);
}

}  // namespace Gdiplus

namespace platform {

bool GdiplusRunning() {
    return StartupTokens::Instance().Any();
}

}  // namespace platform
