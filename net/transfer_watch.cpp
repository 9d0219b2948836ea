#include "net/transfer_watch.h"

CTransferWatch::CTransferWatch(const TransferLimits& limits) : m_limits(limits), m_thread([this] { Run(); }) {}

CTransferWatch::~CTransferWatch() {
    {
        std::lock_guard<std::mutex> hold(m_mutex);
        m_bStopping = true;
    }
    m_wake.notify_one();
    m_thread.join();
}

void CTransferWatch::AwaitAnswer() {
    Arm(Clock::now() + m_limits.answerWait);
}

void CTransferWatch::BeginBody(bool bReadWhole) {
    m_budget.emplace(m_limits.minimumBytesPerSecond, bReadWhole ? m_limits.answerWait : m_limits.rateWindow,
                     Clock::now());
}

void CTransferWatch::BeginRead(std::uint64_t cbAsked) {
    if (!m_budget)
        BeginBody(false);
    Arm(m_budget->ReadDeadline(cbAsked));
}

bool CTransferWatch::EndRead(std::uint64_t cbRead) {
    Idle();
    if (Expired())
        return false;
    return m_budget && m_budget->Record(Clock::now(), cbRead);
}

void CTransferWatch::Idle() {
    std::lock_guard<std::mutex> hold(m_mutex);
    m_deadline.reset();
}

bool CTransferWatch::Expired() {
    std::lock_guard<std::mutex> hold(m_mutex);
    return m_bExpired;
}

void CTransferWatch::Arm(Clock::time_point deadline) {
    {
        std::lock_guard<std::mutex> hold(m_mutex);
        m_deadline = deadline;
    }
    m_wake.notify_one();
}

void CTransferWatch::Run() {
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_bStopping) {
        if (!m_deadline) {
            m_wake.wait(lock);
            continue;
        }
        const Clock::time_point deadline = *m_deadline;
        if (m_wake.wait_until(lock, deadline, [&] { return m_bStopping || m_deadline != deadline; }))
            continue;
        m_deadline.reset();
        m_bExpired = true;
        // Closing may wait for WinINet; the owner must be able to disarm
        // meanwhile.
        lock.unlock();
        m_cancel.Cancel();
        lock.lock();
    }
}
