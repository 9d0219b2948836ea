// Internal to the stand-in: the message queue of a window thread, on a GLib
// main context.
//
// A thread gets its queue when it creates its first window (or first asks for
// a message). The process's first thread runs its queue on GLib's global
// default context, so that a display backend's events arrive on the same
// loop; other threads on their own. Other threads only add items and wake
// the context; everything else runs on the owner thread, inside
// GetMessageW, PeekMessageW and the waits of the stand-in's loops.
#pragma once

#include "platform/linux/kernel32/kernel_object.h"
#include "platform/winuser.h"

#include <glib.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace platform {

// The answer to a message sent from another thread. The sender waits on it
// as on any kernel object, so a stop request ends its wait.
class SentReply : public KernelObject {
public:
    bool IsWaitable() const override { return true; }

    // Owner thread, before the call: false when the sender has given up (it
    // was stopped), and the call is skipped.
    bool Claim();
    void Complete(LRESULT result);
    // Sender: gives up waiting; a call not yet started will not run.
    void Abandon();
    bool Done();
    LRESULT Result();

protected:
    bool TryAcquireLocked() override { return m_done; }

private:
    // guarded by KernelLock()
    bool m_done = false;
    bool m_started = false;
    bool m_abandoned = false;
    LRESULT m_result = 0;
};

class MessageQueue {
public:
    // The calling thread's queue, made on first use.
    static std::shared_ptr<MessageQueue> ForCurrentThread();
    // The calling thread's queue if it has one.
    static std::shared_ptr<MessageQueue> CurrentIfAny();

    MessageQueue();
    ~MessageQueue();
    MessageQueue(const MessageQueue&) = delete;
    MessageQueue& operator=(const MessageQueue&) = delete;

    bool IsOwnerThread() const { return std::this_thread::get_id() == m_owner; }
    GMainContext* Context() const { return m_context; }

    // ---- any thread; false once the owner thread has ended
    // A posted message. `prepare`, if set, runs on the owner thread when the
    // message is taken out and may change it, or consume it (false).
    bool Post(const MSG& msg, std::function<bool(MSG&)> prepare = {});
    // Runs on the owner thread in order with the posted messages.
    bool PostCall(std::function<void()> call);
    // Runs on the owner thread before any posted message; the reply gets the
    // result. `sender` (the sender's own queue, if any) is woken on completion.
    bool Send(std::function<LRESULT()> call, std::shared_ptr<SentReply> reply, std::shared_ptr<MessageQueue> sender);
    void Wake();

    // ---- owner thread
    // The first message for hWnd (NULL: any) within [min, max] (0, 0: any);
    // sent messages and marshalled calls run on the way. Waits when `wait`.
    bool Get(MSG& msg, HWND hwnd, UINT min, UINT max, bool remove, bool wait);
    // Runs the messages other threads sent.
    void ProcessSent();
    // Returns when there may be something new: a message or call queued, a
    // message sent and handled, a GLib source dispatched. Handles sent
    // messages; retrieves nothing.
    void WaitForActivity();
    // Drops the queued messages and timers of a destroyed window.
    void Purge(HWND hwnd);
    UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC proc);
    bool KillTimer(HWND hwnd, UINT_PTR id);
    // The owner thread ends: nothing is accepted any more, waiting senders
    // get 0, the thread's windows go.
    void Close();

private:
    struct Item {
        MSG msg{};
        std::function<bool(MSG&)> prepare;
        std::function<void()> call;
    };
    struct SentItem {
        std::function<LRESULT()> call;
        std::shared_ptr<SentReply> reply;
        std::shared_ptr<MessageQueue> sender;
    };
    struct Timer {
        HWND hwnd;
        UINT_PTR id;
        TIMERPROC proc;
        GSource* source;
        std::uint64_t dueSerial;  // 0: not due; otherwise the order it fell due in
    };
    struct TimerTick;

    static gboolean OnTimerSource(gpointer data);
    void TimerElapsed(HWND hwnd, UINT_PTR id);
    bool TakeDueTimer(MSG& msg, HWND hwnd, UINT min, UINT max, bool remove);
    static void RunSent(SentItem& item);

    const std::thread::id m_owner;
    GMainContext* m_context = nullptr;
    bool m_pushedContext = false;

    // Taken before WindowLock(), never while holding it.
    std::mutex m_mutex;
    std::deque<Item> m_items;     // guarded by m_mutex
    std::deque<SentItem> m_sent;  // guarded by m_mutex
    bool m_closed = false;        // guarded by m_mutex

    // owner thread only
    std::vector<Timer> m_timers;
    std::uint64_t m_nextDueSerial = 1;
};

// Milliseconds of the monotonic clock, as MSG::time and timer procedures get.
DWORD MessageTime();

}  // namespace platform
