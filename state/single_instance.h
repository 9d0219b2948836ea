// Process-wide single instances: created on first use under a creation lock,
// kept until process exit. The fast path reads the pointer without the lock.
#pragma once

#include "platform/critical_section.h"

#include <atomic>
#include <memory>

template <class T>
class TSingleInstance {
public:
    static T* Get() {
        Slot& slot = Storage();
        if (T* instance = slot.pointer.load(std::memory_order_acquire))
            return instance;
        platform::CriticalSectionLock hold(slot.lock.Native());
        if (!slot.owner) {
            slot.owner = std::make_unique<T>();
            slot.pointer.store(slot.owner.get(), std::memory_order_release);
        }
        return slot.owner.get();
    }

private:
    struct Slot {
        platform::CriticalSection lock;
        std::atomic<T*> pointer{nullptr};
        std::unique_ptr<T> owner;
    };
    // A function-local slot is ready however early the first call comes.
    static Slot& Storage() {
        static Slot slot;
        return slot;
    }
};
