// What a stopped thread may no longer do to windows. The stand-in's posts and
// sends are stop points; Windows' are not routed through the cooperative
// stop (platform/routed_calls.h), so these hold here only.
#include "platform/conformance/window_test_helpers.h"

#include <atomic>

namespace {

using window_test::kWorkerMessage;
using window_test::PumpUntil;
using window_test::StartThread;
using window_test::TestWindow;
using window_test::WindowTest;

using StoppedThreadWindows = WindowTest;

TEST_F(StoppedThreadWindows, AStoppedThreadPostsNothing) {
    TestWindow window;
    std::atomic<bool> running{false};
    std::atomic<bool> pastPost{false};
    HANDLE thread = StartThread([&] {
        running = true;
        while (!platform::StopRequested()) {
            std::this_thread::yield();
        }
        PostMessageW(window.hwnd(), kWorkerMessage, 0, 0);
        pastPost = true;
        return DWORD{0};
    });
    ASSERT_NE(thread, nullptr);
    while (!running) {
        std::this_thread::yield();
    }
    ASSERT_TRUE(TerminateThread(thread, 7));
    ASSERT_EQ(WaitForSingleObject(thread, window_test::kPatience), WAIT_OBJECT_0);
    DWORD code = 0;
    ASSERT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, 7u);
    EXPECT_FALSE(pastPost);
    window_test::PumpPending();
    EXPECT_EQ(window.Count(kWorkerMessage), 0u);
    CloseHandle(thread);
}

TEST_F(StoppedThreadWindows, APostFromADestructorOfAStoppedThreadFailsInsteadOfPosting) {
    TestWindow window;
    HANDLE blocker = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    std::atomic<int> postResult{-1};
    struct PostsWhenUnwound {
        HWND hwnd;
        std::atomic<int>& postResult;
        ~PostsWhenUnwound() {
            postResult = PostMessageW(hwnd, kWorkerMessage, 0, 0);
            ShowWindow(hwnd, SW_SHOW);
        }
    };
    std::atomic<bool> waiting{false};
    HANDLE thread = StartThread([&] {
        PostsWhenUnwound guard{window.hwnd(), postResult};
        waiting = true;
        WaitForSingleObject(blocker, INFINITE);
        return DWORD{0};
    });
    ASSERT_NE(thread, nullptr);
    while (!waiting) {
        std::this_thread::yield();
    }
    ASSERT_TRUE(TerminateThread(thread, 0));
    ASSERT_EQ(WaitForSingleObject(thread, window_test::kPatience), WAIT_OBJECT_0);
    EXPECT_EQ(postResult.load(), FALSE);
    window_test::PumpPending();
    EXPECT_EQ(window.Count(kWorkerMessage), 0u);
    EXPECT_FALSE(IsWindowVisible(window.hwnd()));
    CloseHandle(thread);
    CloseHandle(blocker);
}

TEST_F(StoppedThreadWindows, ASenderStoppedWhileWaitingUnwindsAndItsMessageIsNotHandled) {
    TestWindow window;
    std::atomic<bool> sending{false};
    std::atomic<bool> pastSend{false};
    HANDLE thread = StartThread([&] {
        sending = true;
        SendMessageW(window.hwnd(), kWorkerMessage, 0, 0);
        pastSend = true;
        return DWORD{0};
    });
    ASSERT_NE(thread, nullptr);
    while (!sending) {
        std::this_thread::yield();
    }
    // The window thread does not run its loop, so the sender is waiting (or
    // about to) when it is stopped.
    ASSERT_TRUE(TerminateThread(thread, 3));
    ASSERT_EQ(WaitForSingleObject(thread, window_test::kPatience), WAIT_OBJECT_0);
    EXPECT_FALSE(pastSend);
    window_test::PumpPending();
    EXPECT_EQ(window.Count(kWorkerMessage), 0u);
    CloseHandle(thread);
}

}  // namespace
