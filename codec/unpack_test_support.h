// Test support for the digest and unpack tests: generated test data and
// platform threads.
#pragma once

#include "platform/kernel32.h"

#include <cstddef>
#include <functional>
#include <string>

// Text-like bytes with plenty of repetition, as game data files often have.
inline std::string CompressibleBytes(std::size_t size) {
    std::string bytes;
    bytes.reserve(size + 64);
    for (std::size_t line = 0; bytes.size() < size; ++line) {
        bytes += "item " + std::to_string(line % 977) + " weight=" + std::to_string(line * 7 % 113) + "\n";
    }
    bytes.resize(size);
    return bytes;
}

inline DWORD WINAPI RunThreadBody(LPVOID parameter) {
    (*static_cast<std::function<void()>*>(parameter))();
    return 1;
}

// Starts body on a platform thread, so that TerminateThread can stop it.
// body must outlive the thread.
inline HANDLE StartPlatformThread(std::function<void()>& body) {
    return CreateThread(nullptr, 0, RunThreadBody, &body, 0, nullptr);
}
