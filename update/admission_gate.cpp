#include "update/admission_gate.h"

namespace {

// How often a waiter looks again without a signal.
constexpr DWORD kRecheckMs = 10;

}  // namespace

CAdmissionGate::CAdmissionGate(int slots, std::uint64_t capacity)
    : m_hLeft(CreateEventW(nullptr, FALSE, FALSE, nullptr)), m_slots(slots < 1 ? 1 : slots), m_capacity(capacity) {}

CAdmissionGate::~CAdmissionGate() {
    CloseHandle(m_hLeft);
}

bool CAdmissionGate::TryEnter(std::uint64_t weight) {
    platform::CriticalSectionLock hold(m_lock.Native());
    const bool fits =
        m_holders == 0 || (m_holders < m_slots && weight <= m_capacity && m_weight <= m_capacity - weight);
    if (fits) {
        ++m_holders;
        m_weight += weight;
    }
    return fits;
}

void CAdmissionGate::Enter(std::uint64_t weight) {
    while (!TryEnter(weight))
        WaitForSingleObject(m_hLeft, kRecheckMs);
}

void CAdmissionGate::Leave(std::uint64_t weight) {
    {
        platform::CriticalSectionLock hold(m_lock.Native());
        --m_holders;
        m_weight -= weight;
    }
    SetEvent(m_hLeft);
}

AdmissionTicket::AdmissionTicket(CAdmissionGate& gate, std::uint64_t weight) : m_gate(&gate), m_weight(weight) {
    gate.Enter(weight);
}

void AdmissionTicket::End() {
    if (m_gate)
        m_gate->Leave(m_weight);
    m_gate = nullptr;
}
