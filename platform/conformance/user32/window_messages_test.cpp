// Posting and sending across threads.
#include "platform/conformance/window_test_helpers.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <map>

namespace {

using window_test::kWorkerMessage;
using window_test::PumpUntil;
using window_test::StartThread;
using window_test::TestWindow;
using window_test::WindowTest;

using WindowMessages = WindowTest;

TEST_F(WindowMessages, PostsFromFourWorkersArriveOnceEachInPostingOrderOnTheWindowThread) {
    TestWindow window;
    constexpr int kWorkers = 4;
    constexpr int kPerWorker = 400;
    for (int worker = 0; worker < kWorkers; ++worker) {
        ASSERT_NE(StartThread([&, worker] {
                      for (int i = 0; i < kPerWorker; ++i) {
                          EXPECT_TRUE(PostMessageW(window.hwnd(), kWorkerMessage, worker, i));
                      }
                      return DWORD{0};
                  }),
                  nullptr);
    }
    ASSERT_TRUE(PumpUntil([&] { return window.Count(kWorkerMessage) == kWorkers * kPerWorker; }));
    std::map<WPARAM, LPARAM> next;
    for (const auto& received : window.Messages(kWorkerMessage)) {
        EXPECT_EQ(received.thread, std::this_thread::get_id());
        EXPECT_EQ(received.lParam, next[received.wParam]++) << "worker " << received.wParam;
    }
    for (int worker = 0; worker < kWorkers; ++worker) {
        EXPECT_EQ(next[worker], kPerWorker);
    }
}

TEST_F(WindowMessages, SendFromAWorkerRunsOnTheWindowThreadAndReturnsTheResult) {
    TestWindow window;
    window.OnMessage([](UINT message, WPARAM, LPARAM lParam) -> std::optional<LRESULT> {
        if (message == kWorkerMessage) {
            return lParam * 3;
        }
        return std::nullopt;
    });
    std::atomic<LRESULT> result{0};
    HANDLE thread = StartThread([&] {
        result = SendMessageW(window.hwnd(), kWorkerMessage, 0, 14);
        return DWORD{0};
    });
    ASSERT_NE(thread, nullptr);
    ASSERT_TRUE(PumpUntil([&] { return window.Count(kWorkerMessage) == 1; }));
    ASSERT_EQ(WaitForSingleObject(thread, window_test::kPatience), WAIT_OBJECT_0);
    CloseHandle(thread);
    EXPECT_EQ(result.load(), 42);
    ASSERT_EQ(window.Count(kWorkerMessage), 1u);
    EXPECT_EQ(window.Messages(kWorkerMessage)[0].thread, std::this_thread::get_id());
}

TEST_F(WindowMessages, SendOnTheOwnerThreadIsADirectCallWithoutTheLoop) {
    TestWindow window;
    window.OnMessage([&](UINT message, WPARAM wParam, LPARAM) -> std::optional<LRESULT> {
        if (message == kWorkerMessage && wParam == 0) {
            // Sends nest as plain calls do.
            return SendMessageW(window.hwnd(), kWorkerMessage, 1, 0) + 1;
        }
        if (message == kWorkerMessage) {
            return 10;
        }
        return std::nullopt;
    });
    EXPECT_EQ(SendMessageW(window.hwnd(), kWorkerMessage, 0, 0), 11);
    EXPECT_EQ(window.Count(kWorkerMessage), 2u);
}

TEST_F(WindowMessages, TwoWindowThreadsSendingToEachOtherBothGetTheirAnswers) {
    TestWindow mine;
    mine.OnMessage([](UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
        return message == kWorkerMessage ? std::optional<LRESULT>(5) : std::nullopt;
    });
    std::mutex mutex;
    std::condition_variable ready;
    HWND theirs = nullptr;
    std::atomic<bool> stop{false};
    std::thread other([&] {
        TestWindow window;
        // Its handler sends back to this thread while this thread waits for it.
        window.OnMessage([&](UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
            if (message == kWorkerMessage) {
                return SendMessageW(mine.hwnd(), kWorkerMessage, 0, 0) * 2;
            }
            return std::nullopt;
        });
        {
            std::lock_guard<std::mutex> lock(mutex);
            theirs = window.hwnd();
        }
        ready.notify_one();
        platform::RunMessagesUntil([&] { return stop.load(); }, window_test::kPatience);
    });
    {
        std::unique_lock<std::mutex> lock(mutex);
        ready.wait(lock, [&] { return theirs != nullptr; });
    }
    EXPECT_EQ(SendMessageW(theirs, kWorkerMessage, 0, 0), 10);
    stop = true;
    PostMessageW(theirs, WM_NULL, 0, 0);
    other.join();
}

TEST_F(WindowMessages, PostingToADestroyedWindowFailsAndWhatWasQueuedIsDropped) {
    auto window = std::make_unique<TestWindow>();
    const HWND hwnd = window->hwnd();
    ASSERT_TRUE(PostMessageW(hwnd, kWorkerMessage, 1, 0));
    window.reset();
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_FALSE(PostMessageW(hwnd, kWorkerMessage, 2, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_EQ(SendMessageW(hwnd, kWorkerMessage, 0, 0), 0);
    MSG msg;
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) << "message " << msg.message;
}

TEST_F(WindowMessages, TheWindowsOfAnEndedThreadAreGone) {
    HWND hwnd = nullptr;
    // The thread ends with its window still there; the window goes with it.
    std::thread([&] {
        hwnd = CreateWindowExW(0, L"Static", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    }).join();
    ASSERT_NE(hwnd, nullptr);
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_FALSE(PostMessageW(hwnd, kWorkerMessage, 0, 0));
    const auto all = platform::FindWindows(nullptr, 0);
    EXPECT_EQ(std::count(all.begin(), all.end(), hwnd), 0);
}

TEST_F(WindowMessages, PeekFiltersByWindowAndRangeAndCanLeaveTheMessageQueued) {
    TestWindow first;
    TestWindow second;
    ASSERT_TRUE(PostMessageW(first.hwnd(), WM_USER + 1, 0, 0));
    ASSERT_TRUE(PostMessageW(second.hwnd(), WM_USER + 2, 0, 0));
    MSG msg{};
    ASSERT_TRUE(PeekMessageW(&msg, second.hwnd(), 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 2));
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_USER + 2, WM_USER + 2, PM_REMOVE));
    EXPECT_EQ(msg.hwnd, second.hwnd());
    EXPECT_FALSE(PeekMessageW(&msg, second.hwnd(), 0, 0, PM_REMOVE));
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 1));
}

}  // namespace
