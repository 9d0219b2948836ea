#include "platform/linux/user32/message_queue.h"

#include "platform/linux/user32/mouse_input.h"
#include "platform/linux/user32/window_object.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <optional>

namespace platform {

namespace {

// Closes the thread's queue when the thread ends.
struct QueueHolder {
    std::shared_ptr<MessageQueue> queue;
    ~QueueHolder() {
        if (queue) {
            queue->Close();
        }
    }
};

thread_local QueueHolder t_queue;

bool Matches(const MSG& msg, HWND hwnd, UINT min, UINT max) {
    if (hwnd && msg.hwnd != hwnd) {
        return false;
    }
    return (min == 0 && max == 0) || (msg.message >= min && msg.message <= max);
}

}  // namespace

// ---- SentReply

bool SentReply::Claim() {
    std::lock_guard<std::mutex> lock(KernelLock());
    if (m_abandoned) {
        return false;
    }
    m_started = true;
    return true;
}

void SentReply::Complete(LRESULT result) {
    std::lock_guard<std::mutex> lock(KernelLock());
    m_result = result;
    m_done = true;
    WakeWaitersLocked();
}

void SentReply::Abandon() {
    std::lock_guard<std::mutex> lock(KernelLock());
    if (!m_started) {
        m_abandoned = true;
    }
}

bool SentReply::Done() {
    std::lock_guard<std::mutex> lock(KernelLock());
    return m_done;
}

LRESULT SentReply::Result() {
    std::lock_guard<std::mutex> lock(KernelLock());
    return m_result;
}

// ---- MessageQueue

std::shared_ptr<MessageQueue> MessageQueue::ForCurrentThread() {
    if (!t_queue.queue) {
        t_queue.queue = std::make_shared<MessageQueue>();
    }
    return t_queue.queue;
}

std::shared_ptr<MessageQueue> MessageQueue::CurrentIfAny() {
    return t_queue.queue;
}

MessageQueue::MessageQueue() : m_owner(std::this_thread::get_id()) {
    // The process's first thread runs on GLib's global default context, where
    // a display backend's events arrive. Other window threads get a context
    // of their own (or the one they pushed), so a worker that happens to use
    // a queue first cannot take the window thread's context.
    const bool mainThread = syscall(SYS_gettid) == getpid();
    GMainContext* context = mainThread ? g_main_context_default() : g_main_context_get_thread_default();
    if (context && g_main_context_acquire(context)) {
        m_context = g_main_context_ref(context);
        return;
    }
    m_context = g_main_context_new();
    g_main_context_push_thread_default(m_context);
    m_pushedContext = true;
    g_main_context_acquire(m_context);
}

MessageQueue::~MessageQueue() {
    g_main_context_unref(m_context);
}

bool MessageQueue::Post(const MSG& msg, std::function<bool(MSG&)> prepare) {
    Item item;
    item.msg = msg;
    item.msg.time = MessageTime();
    item.msg.pt = CursorPosition();  // before the queue's lock: the mouse lock comes first
    item.prepare = std::move(prepare);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_closed) {
            return false;
        }
        m_items.push_back(std::move(item));
    }
    Wake();
    return true;
}

bool MessageQueue::PostCall(std::function<void()> call) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_closed) {
            return false;
        }
        Item item;
        item.call = std::move(call);
        m_items.push_back(std::move(item));
    }
    Wake();
    return true;
}

bool MessageQueue::Send(std::function<LRESULT()> call, std::shared_ptr<SentReply> reply,
                        std::shared_ptr<MessageQueue> sender) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_closed) {
            return false;
        }
        m_sent.push_back({std::move(call), std::move(reply), std::move(sender)});
    }
    Wake();
    return true;
}

void MessageQueue::Wake() {
    // Documented to make a blocked iteration return, or the next one not to
    // block, so a post between our check and the wait is never lost.
    g_main_context_wakeup(m_context);
}

void MessageQueue::RunSent(SentItem& item) {
    // Completes the reply however the call ends, so the sender never hangs.
    struct Completion {
        SentItem& item;
        LRESULT result = 0;
        ~Completion() {
            item.reply->Complete(result);
            if (item.sender) {
                item.sender->Wake();
            }
        }
    } completion{item};
    if (item.reply->Claim()) {
        completion.result = item.call();
    }
}

void MessageQueue::ProcessSent() {
    for (;;) {
        SentItem item;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_sent.empty()) {
                return;
            }
            item = std::move(m_sent.front());
            m_sent.pop_front();
        }
        RunSent(item);
    }
}

void MessageQueue::WaitForActivity() {
    ProcessSent();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_items.empty() || !m_sent.empty()) {
            return;
        }
    }
    for (const Timer& timer : m_timers) {
        if (timer.dueSerial != 0) {
            return;
        }
    }
    g_main_context_iteration(m_context, TRUE);
    ProcessSent();
}

bool MessageQueue::Get(MSG& msg, HWND hwnd, UINT min, UINT max, bool remove, bool wait) {
    for (;;) {
        ProcessSent();
        std::optional<Item> taken;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            for (auto it = m_items.begin(); it != m_items.end();) {
                // A window destroyed after the post gets nothing (handles are
                // never reused, so this cannot hit another window).
                if (!it->call && it->msg.hwnd && !LookupWindow(it->msg.hwnd)) {
                    it = m_items.erase(it);
                    continue;
                }
                // Marshalled calls run in order with the messages before the
                // one retrieved, whatever the filter.
                if (it->call || Matches(it->msg, hwnd, min, max)) {
                    if (!it->call && !remove) {
                        msg = it->msg;
                        return true;
                    }
                    taken = std::move(*it);
                    m_items.erase(it);
                    break;
                }
                ++it;
            }
        }
        if (taken) {
            if (taken->call) {
                taken->call();
                continue;
            }
            msg = taken->msg;
            if (taken->prepare && !taken->prepare(msg)) {
                continue;
            }
            return true;
        }
        if (TakeDueTimer(msg, hwnd, min, max, remove)) {
            return true;
        }
        if (!wait) {
            return false;
        }
        g_main_context_iteration(m_context, TRUE);
    }
}

void MessageQueue::Purge(HWND hwnd) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_items.erase(std::remove_if(m_items.begin(), m_items.end(),
                                     [hwnd](const Item& item) { return !item.call && item.msg.hwnd == hwnd; }),
                      m_items.end());
    }
    for (auto it = m_timers.begin(); it != m_timers.end();) {
        if (it->hwnd == hwnd) {
            g_source_destroy(it->source);
            g_source_unref(it->source);
            it = m_timers.erase(it);
        } else {
            ++it;
        }
    }
}

// What a timer's GLib source carries: the queue outlives its sources (they
// are destroyed with their timers and at Close).
struct MessageQueue::TimerTick {
    MessageQueue* queue;
    HWND hwnd;
    UINT_PTR id;
};

gboolean MessageQueue::OnTimerSource(gpointer data) {
    auto* tick = static_cast<TimerTick*>(data);
    tick->queue->TimerElapsed(tick->hwnd, tick->id);
    return G_SOURCE_CONTINUE;
}

void MessageQueue::TimerElapsed(HWND hwnd, UINT_PTR id) {
    for (Timer& timer : m_timers) {
        // One WM_TIMER per timer however many periods pass unretrieved.
        if (timer.hwnd == hwnd && timer.id == id && timer.dueSerial == 0) {
            timer.dueSerial = m_nextDueSerial++;
        }
    }
}

bool MessageQueue::TakeDueTimer(MSG& msg, HWND hwnd, UINT min, UINT max, bool remove) {
    Timer* first = nullptr;
    for (Timer& timer : m_timers) {
        if (timer.dueSerial == 0) {
            continue;
        }
        MSG candidate{timer.hwnd, WM_TIMER, timer.id, reinterpret_cast<LPARAM>(timer.proc), 0, {}};
        if (Matches(candidate, hwnd, min, max) && (!first || timer.dueSerial < first->dueSerial)) {
            first = &timer;
        }
    }
    if (!first) {
        return false;
    }
    msg = MSG{first->hwnd, WM_TIMER, first->id, reinterpret_cast<LPARAM>(first->proc), MessageTime(), CursorPosition()};
    if (remove) {
        first->dueSerial = 0;
    }
    return true;
}

UINT_PTR MessageQueue::SetTimer(HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC proc) {
    KillTimer(hwnd, id);  // an existing timer of that id starts over
    GSource* source = g_timeout_source_new(std::max<UINT>(elapse, USER_TIMER_MINIMUM));
    g_source_set_callback(source, &MessageQueue::OnTimerSource, new TimerTick{this, hwnd, id},
                          [](gpointer data) { delete static_cast<TimerTick*>(data); });
    g_source_attach(source, m_context);
    m_timers.push_back({hwnd, id, proc, source, 0});
    return id;
}

bool MessageQueue::KillTimer(HWND hwnd, UINT_PTR id) {
    auto it = std::find_if(m_timers.begin(), m_timers.end(),
                           [&](const Timer& timer) { return timer.hwnd == hwnd && timer.id == id; });
    if (it == m_timers.end()) {
        return false;
    }
    g_source_destroy(it->source);
    g_source_unref(it->source);
    m_timers.erase(it);
    return true;
}

void MessageQueue::Close() {
    std::deque<SentItem> sent;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_closed = true;
        sent.swap(m_sent);
        m_items.clear();
    }
    for (SentItem& item : sent) {
        item.reply->Complete(0);
        if (item.sender) {
            item.sender->Wake();
        }
    }
    for (Timer& timer : m_timers) {
        g_source_destroy(timer.source);
        g_source_unref(timer.source);
    }
    m_timers.clear();
    DetachThreadWindows(this);
    g_main_context_release(m_context);
    if (m_pushedContext) {
        g_main_context_pop_thread_default(m_context);
    }
}

DWORD MessageTime() {
    return static_cast<DWORD>(g_get_monotonic_time() / 1000);
}

}  // namespace platform
