// Shared by the window tests: a window that records its messages, worker
// threads started with CreateThread, and waiting on the window thread.
#pragma once

#include "platform/thread_stop.h"
#include "platform/window_automation.h"
#include "platform/winuser.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace window_test {

// Long enough never to be reached by a passing test.
constexpr DWORD kPatience = 10000;

// What the tests' worker threads post and send to a window.
constexpr UINT kWorkerMessage = WM_USER + 7;

struct Received {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    std::thread::id thread;
};

// A window of the calling thread whose procedure records every message; a
// handler may answer a message instead of DefWindowProcW.
class TestWindow {
public:
    using Handler = std::function<std::optional<LRESULT>(UINT message, WPARAM wParam, LPARAM lParam)>;

    explicit TestWindow(DWORD style = WS_POPUP, RECT rect = {100, 100, 300, 250}, HWND parent = nullptr,
                        DWORD exStyle = 0, UINT id = 0) {
        static const ATOM registered = [] {
            WNDCLASSW windowClass{};
            windowClass.lpfnWndProc = &TestWindow::Proc;
            windowClass.lpszClassName = L"QmTestWindow";
            return RegisterClassW(&windowClass);
        }();
        EXPECT_NE(registered, 0);
        m_hwnd = CreateWindowExW(exStyle, L"QmTestWindow", L"test", style, rect.left, rect.top, rect.right - rect.left,
                                 rect.bottom - rect.top, parent, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)),
                                 nullptr, nullptr);
        EXPECT_NE(m_hwnd, nullptr);
        SetWindowLongPtrW(m_hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~TestWindow() {
        if (IsWindow(m_hwnd)) {
            DestroyWindow(m_hwnd);
        }
    }
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;

    HWND hwnd() const { return m_hwnd; }
    void OnMessage(Handler handler) { m_handler = std::move(handler); }

    std::vector<Received> Messages(UINT message) const {
        std::lock_guard<std::mutex> lock(m_mutex);
        std::vector<Received> found;
        for (const Received& received : m_received) {
            if (received.message == message) {
                found.push_back(received);
            }
        }
        return found;
    }
    std::size_t Count(UINT message) const { return Messages(message).size(); }

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<TestWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (!self) {
            return DefWindowProcW(hwnd, message, wParam, lParam);
        }
        {
            std::lock_guard<std::mutex> lock(self->m_mutex);
            self->m_received.push_back({message, wParam, lParam, std::this_thread::get_id()});
        }
        if (self->m_handler) {
            if (auto result = self->m_handler(message, wParam, lParam)) {
                return *result;
            }
        }
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }

    HWND m_hwnd = nullptr;
    Handler m_handler;
    mutable std::mutex m_mutex;
    std::vector<Received> m_received;
};

// A top-down 32-bit DIB section selected into a memory DC, as a layered
// window's picture is drawn.
class MemoryPicture {
public:
    MemoryPicture(int width, int height) : m_width(width) {
        m_dc = CreateCompatibleDC(nullptr);
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        m_bitmap = CreateDIBSection(m_dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        EXPECT_NE(m_bitmap, nullptr);
        m_bits = static_cast<std::uint32_t*>(bits);
        m_previous = SelectObject(m_dc, m_bitmap);
    }
    ~MemoryPicture() {
        SelectObject(m_dc, m_previous);
        DeleteObject(m_bitmap);
        DeleteDC(m_dc);
    }
    MemoryPicture(const MemoryPicture&) = delete;
    MemoryPicture& operator=(const MemoryPicture&) = delete;

    HDC dc() const { return m_dc; }
    std::uint32_t& At(int x, int y) { return m_bits[y * m_width + x]; }

private:
    int m_width;
    HDC m_dc = nullptr;
    HBITMAP m_bitmap = nullptr;
    HGDIOBJ m_previous = nullptr;
    std::uint32_t* m_bits = nullptr;
};

inline DWORD WINAPI RunFunction(LPVOID parameter) {
    std::unique_ptr<std::function<DWORD()>> function(static_cast<std::function<DWORD()>*>(parameter));
    return (*function)();
}

// A CreateThread thread, so that it can be stopped.
inline HANDLE StartThread(std::function<DWORD()> function) {
    auto* owned = new std::function<DWORD()>(std::move(function));
    HANDLE thread = CreateThread(nullptr, 0, RunFunction, owned, 0, nullptr);
    if (!thread) {
        delete owned;
    }
    return thread;
}

// Runs the calling thread's messages until the condition holds.
inline bool PumpUntil(const std::function<bool()>& done) {
    return platform::RunMessagesUntil(done, kPatience);
}

// Runs what is queued for the calling thread now.
inline void PumpPending() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        DispatchMessageW(&msg);
    }
}

class WindowTest : public ::testing::Test {
protected:
    void TearDown() override {
        platform::EndRemainingThreads();
        PumpPending();
    }
};

}  // namespace window_test
