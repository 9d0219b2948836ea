// A process-wide table from handle values to the objects behind them, as
// kernel objects, internet handles and GDI objects each keep one.
//
// Handle values are multiples of 4 counted up from the first one, and never
// reused: a closed or made-up handle is not found, instead of reaching
// another object. Objects are taken out, not destroyed, under the table's
// lock, so that the last reference can go after the lock is released.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

namespace platform {

template <class T>
class HandleTable {
public:
    // The table with its lock held, for steps that must see it unchanged.
    class Locked {
    public:
        explicit Locked(HandleTable& table) : m_lock(table.m_mutex), m_table(table) {}

        // The new object's handle.
        void* Insert(T object) {
            const std::uintptr_t value = m_table.m_next;
            m_table.m_next += 4;
            m_table.m_objects.emplace(value, std::move(object));
            return reinterpret_cast<void*>(value);
        }
        // Null when the handle is not in the table.
        T* Find(const void* handle) {
            auto it = m_table.m_objects.find(reinterpret_cast<std::uintptr_t>(handle));
            return it == m_table.m_objects.end() ? nullptr : &it->second;
        }
        // Nothing when the handle is not in the table.
        std::optional<T> Take(const void* handle) {
            auto it = m_table.m_objects.find(reinterpret_cast<std::uintptr_t>(handle));
            if (it == m_table.m_objects.end()) {
                return std::nullopt;
            }
            std::optional<T> taken(std::move(it->second));
            m_table.m_objects.erase(it);
            return taken;
        }
        // Every object for which take(object) holds, in no particular order.
        template <class Predicate>
        std::vector<T> TakeIf(Predicate take) {
            std::vector<T> taken;
            for (auto it = m_table.m_objects.begin(); it != m_table.m_objects.end();) {
                if (take(it->second)) {
                    taken.push_back(std::move(it->second));
                    it = m_table.m_objects.erase(it);
                } else {
                    ++it;
                }
            }
            return taken;
        }

    private:
        std::unique_lock<std::mutex> m_lock;
        HandleTable& m_table;
    };

    // firstHandle: a multiple of 4 above 0.
    explicit HandleTable(std::uintptr_t firstHandle) : m_next(firstHandle) {}
    HandleTable(const HandleTable&) = delete;
    HandleTable& operator=(const HandleTable&) = delete;

    Locked Lock() { return Locked(*this); }

    // ---- one step each, under the lock
    void* Insert(T object) { return Lock().Insert(std::move(object)); }
    // A copy of the object (for shared pointers, a reference to it); nothing
    // when the handle is not in the table.
    std::optional<T> Lookup(const void* handle) {
        Locked locked = Lock();
        const T* found = locked.Find(handle);
        return found ? std::optional<T>(*found) : std::nullopt;
    }
    std::optional<T> Take(const void* handle) { return Lock().Take(handle); }

private:
    std::mutex m_mutex;
    std::uintptr_t m_next;                            // guarded by m_mutex
    std::unordered_map<std::uintptr_t, T> m_objects;  // guarded by m_mutex
};

// The process's table of one kind of object, from FirstHandle up. Never
// destroyed: threads may still close handles while the statics end.
template <class T, std::uintptr_t FirstHandle>
HandleTable<T>& ProcessHandleTable() {
    static HandleTable<T>* table = new HandleTable<T>(FirstHandle);
    return *table;
}

}  // namespace platform
