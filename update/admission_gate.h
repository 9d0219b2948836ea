// Admission of work that must not all run at once: the one transfer buffer,
// and decoders by their memory.
#pragma once

#include "platform/critical_section.h"
#include "platform/kernel32.h"

#include <cstdint>

// At most `slots` holders at once, and while anyone holds it no more than
// `capacity` of weight in all. A weight above the capacity is admitted when
// it would be alone, so that nothing waits for ever.
class CAdmissionGate {
public:
    CAdmissionGate(int slots, std::uint64_t capacity);
    ~CAdmissionGate();
    CAdmissionGate(const CAdmissionGate&) = delete;
    CAdmissionGate& operator=(const CAdmissionGate&) = delete;

    // True when weight was admitted now.
    bool TryEnter(std::uint64_t weight);
    // Waits until weight is admitted. The wait is a stop point: a stopped
    // thread unwinds from it holding nothing.
    void Enter(std::uint64_t weight);
    void Leave(std::uint64_t weight);

private:
    platform::CriticalSection m_lock;
    // Signalled by every Leave; waiters also look again now and then, since
    // one signal wakes one of them.
    HANDLE m_hLeft;
    const int m_slots;
    const std::uint64_t m_capacity;
    int m_holders = 0;
    std::uint64_t m_weight = 0;
};

// Holds an admission from construction until End or destruction.
class AdmissionTicket {
public:
    AdmissionTicket(CAdmissionGate& gate, std::uint64_t weight);
    ~AdmissionTicket() { End(); }
    AdmissionTicket(const AdmissionTicket&) = delete;
    AdmissionTicket& operator=(const AdmissionTicket&) = delete;

    void End();

private:
    CAdmissionGate* m_gate;
    std::uint64_t m_weight;
};
