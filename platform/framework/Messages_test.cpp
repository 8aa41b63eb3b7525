#include "Messages.h"
#include "Timers.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace fw {
namespace {

// A bare window that records what reaches it.
struct TRecorder {
    std::vector<UINT> Got;
    std::function<void(UINT)> React;
    HWND Wnd = nullptr;
    TRecorder() {
        Wnd = CreateWindowHandle([this](HWND, UINT m, WPARAM w, LPARAM) -> LRESULT {
            Got.push_back(m);
            if (React) React(m);
            return static_cast<LRESULT>(w) * 2;
        });
    }
    ~TRecorder() { DestroyWindowHandle(Wnd); }
};

TEST(Messages, SendCallsTheProcedureAndAnswers) {
    TRecorder r;
    EXPECT_EQ(SendMessage(r.Wnd, WM_USER + 1, 21, 0), 42);
    EXPECT_EQ(r.Got, std::vector<UINT>{WM_USER + 1});
    EXPECT_EQ(SendMessage(nullptr, WM_USER, 1, 0), 0);
}

TEST(Messages, PostedMessagesWaitForThePumpInOrder) {
    TRecorder r;
    EXPECT_TRUE(PostMessage(r.Wnd, WM_USER + 1, 0, 0));
    EXPECT_TRUE(PostMessage(r.Wnd, WM_USER + 2, 0, 0));
    EXPECT_TRUE(r.Got.empty());
    ProcessMessages();
    EXPECT_EQ(r.Got, (std::vector<UINT>{WM_USER + 1, WM_USER + 2}));
    EXPECT_EQ(PendingMessageCount(), 0);
}

TEST(Messages, MessagesPostedWhilePumpingArePumpedToo) {
    TRecorder r;
    int chain = 0;
    r.React = [&](UINT m) {
        if (m == WM_USER && ++chain < 3) PostMessage(r.Wnd, WM_USER, 0, 0);
    };
    PostMessage(r.Wnd, WM_USER, 0, 0);
    ProcessMessages();
    EXPECT_EQ(chain, 3);
    EXPECT_EQ(PendingMessageCount(), 0);
}

// An idle handler that frees another handler's owner: the freed one's handler,
// removed with its owner, is not called from the run already under way.
TEST(Messages, AnIdleHandlerRemovedByAnEarlierOneIsNotCalled) {
    struct TOwner {
        std::vector<int> Big = std::vector<int>(64, 7);
        int* Seen;
        explicit TOwner(int* S) : Seen(S) {
            AddIdleHandler(this, [this] { *Seen += Big[63]; });
        }
        ~TOwner() { RemoveIdleHandler(this); }
    };
    int seen = 0;
    auto second = std::make_unique<TOwner>(&seen);
    const int first = 0;
    RemoveIdleHandler(second.get());
    AddIdleHandler(&first, [&] { second.reset(); });
    second->Seen = &seen;
    AddIdleHandler(second.get(), [p = second.get()] { *p->Seen += p->Big[63]; });
    ProcessMessages();
    EXPECT_EQ(seen, 0);
    EXPECT_EQ(second, nullptr);
    RemoveIdleHandler(&first);
}

TEST(Messages, IdleHandlersRunOnceTheQueueIsEmptyAndWhatTheyPostIsPumped) {
    std::vector<std::string> order;
    TRecorder r;
    r.React = [&](UINT m) {
        if (m == WM_USER || m == WM_USER + 1)
            order.push_back(m == WM_USER ? "message" : "posted by idle");
    };
    int owner = 0;
    AddIdleHandler(&owner, [&] {
        order.push_back("idle");
        PostMessage(r.Wnd, WM_USER + 1, 0, 0);
    });
    AddIdleHandler(&owner, [&] { order.push_back("idle again"); }); // replaces
    PostMessage(r.Wnd, WM_USER, 0, 0);
    ProcessMessages();
    EXPECT_EQ(order, (std::vector<std::string>{"message", "idle again"}));
    AddIdleHandler(&owner, [&] {
        order.push_back("idle");
        PostMessage(r.Wnd, WM_USER + 1, 0, 0);
    });
    order.clear();
    ProcessMessages();
    EXPECT_EQ(order, (std::vector<std::string>{"idle", "posted by idle"}));
    EXPECT_EQ(PendingMessageCount(), 0);
    RemoveIdleHandler(&owner);
    order.clear();
    ProcessMessages();
    EXPECT_TRUE(order.empty());
}

TEST(Messages, DestroyedWindowsAreStaleAndLoseQueuedMessages) {
    auto r = std::make_unique<TRecorder>();
    HWND w = r->Wnd;
    PostMessage(w, WM_USER, 0, 0);
    r.reset();
    EXPECT_FALSE(IsWindow(w));
    EXPECT_FALSE(PostMessage(w, WM_USER, 0, 0));
    EXPECT_EQ(PendingMessageCount(), 0);
    TRecorder fresh; // handles are never reused
    EXPECT_NE(fresh.Wnd, w);
}

TEST(Messages, DestroyingSendsDestroyThenNcDestroy) {
    std::vector<UINT> got;
    HWND w = CreateWindowHandle([&](HWND, UINT m, WPARAM, LPARAM) -> LRESULT {
        got.push_back(m);
        return 0;
    });
    DestroyWindowHandle(w);
    EXPECT_EQ(got, (std::vector<UINT>{WM_DESTROY, WM_NCDESTROY}));
}

TEST(Messages, PeekTakesOnlyTheAskedWindowsMessages) {
    TRecorder a, b;
    PostMessage(a.Wnd, WM_USER + 1, 0, 0);
    PostMessage(b.Wnd, WM_USER + 2, 0, 0);
    TMsg m;
    ASSERT_TRUE(PeekMessage(m, b.Wnd, false));
    EXPECT_EQ(m.message, WM_USER + 2u);
    ASSERT_TRUE(PeekMessage(m, b.Wnd, true));
    EXPECT_FALSE(PeekMessage(m, b.Wnd, true));
    EXPECT_EQ(PendingMessageCount(), 1);
    ProcessMessages();
    EXPECT_EQ(a.Got, std::vector<UINT>{WM_USER + 1});
}

TEST(Messages, SendFromAWorkerWaitsForTheUserInterfaceThread) {
    TRecorder r;
    LRESULT answer = 0;
    std::thread worker([&] { answer = SendMessage(r.Wnd, WM_USER + 5, 50, 0); });
    // Pump until the worker's message has come through.
    while (r.Got.empty()) {
        DeliverSentMessages();
        std::this_thread::yield();
    }
    worker.join();
    EXPECT_EQ(answer, 100);
    EXPECT_EQ(r.Got, std::vector<UINT>{WM_USER + 5});
}

TEST(Messages, PointsPackAsSignedHalves) {
    const LPARAM l = MakeLParam(-5, 300);
    EXPECT_EQ(LParamX(l), -5);
    EXPECT_EQ(LParamY(l), 300);
}

// ---------------------------------------------------------------- timers

TEST(Timers, FireOnTheManualClockAtEachInterval) {
    TTimer t(nullptr);
    std::vector<std::uint32_t> at;
    t.SetInterval(200);
    t.OnTimer = [&](TObject* sender) {
        EXPECT_EQ(sender, &t);
        at.push_back(GetTickCount());
    };
    const std::uint32_t start = GetTickCount();
    AdvanceClock(199);
    EXPECT_TRUE(at.empty());
    AdvanceClock(601);
    ASSERT_EQ(at.size(), 4u);
    EXPECT_EQ(at[0] - start, 200u);
    EXPECT_EQ(at[3] - start, 800u);
    EXPECT_EQ(GetTickCount() - start, 800u);
}

TEST(Timers, DisablingInsideOnTimerMakesAOneShot) {
    TTimer t(nullptr);
    t.SetInterval(200);
    int fired = 0;
    t.OnTimer = [&](TObject*) {
        ++fired;
        t.SetEnabled(false);
    };
    AdvanceClock(1000);
    EXPECT_EQ(fired, 1);
    t.SetEnabled(true); // restarts from now
    AdvanceClock(199);
    EXPECT_EQ(fired, 1);
    AdvanceClock(1);
    EXPECT_EQ(fired, 2);
}

TEST(Timers, ChangingTheIntervalRestartsTheCount) {
    TTimer t(nullptr);
    t.SetInterval(100);
    int fired = 0;
    t.OnTimer = [&](TObject*) { ++fired; };
    AdvanceClock(90);
    t.SetInterval(50);
    AdvanceClock(49);
    EXPECT_EQ(fired, 0);
    AdvanceClock(1);
    EXPECT_EQ(fired, 1);
    t.SetInterval(0); // zero stops it
    AdvanceClock(1000);
    EXPECT_EQ(fired, 1);
}

TEST(Timers, DueTimersFireInTimeOrderThenBySetOrder) {
    TTimer slow(nullptr), fast(nullptr), same(nullptr);
    std::vector<char> order;
    slow.SetInterval(300);
    fast.SetInterval(100);
    same.SetInterval(300);
    slow.OnTimer = [&](TObject*) { order.push_back('s'); };
    fast.OnTimer = [&](TObject*) { order.push_back('f'); };
    same.OnTimer = [&](TObject*) { order.push_back('x'); };
    AdvanceClock(300);
    EXPECT_EQ(order, (std::vector<char>{'f', 'f', 's', 'f', 'x'})); // ties: slow was set first
}

TEST(Timers, MessagesPostedByATimerArePumped) {
    TRecorder r;
    TTimer t(nullptr);
    t.SetInterval(10);
    t.OnTimer = [&](TObject*) {
        PostMessage(r.Wnd, WM_USER, 0, 0);
        t.SetEnabled(false);
    };
    AdvanceClock(10);
    EXPECT_EQ(r.Got, std::vector<UINT>{WM_USER});
}

TEST(Timers, WindowTimersCarryTheirIdAndStopWithTheWindow) {
    std::vector<WPARAM> ids;
    HWND w = CreateWindowHandle([&](HWND, UINT m, WPARAM id, LPARAM) -> LRESULT {
        if (m == WM_TIMER) ids.push_back(id);
        return 0;
    });
    SetTimer(w, 7, 30);
    SetTimer(w, 4, 20);
    AdvanceClock(60);
    EXPECT_EQ(ids, (std::vector<WPARAM>{4, 7, 4, 7, 4}));
    EXPECT_TRUE(KillTimer(w, 4));
    EXPECT_FALSE(KillTimer(w, 4));
    DestroyWindowHandle(w);
    ids.clear();
    AdvanceClock(100);
    EXPECT_TRUE(ids.empty());
    EXPECT_FALSE(TimerActive(w, 7));
}

TEST(Timers, AnAnimationsWaitMovesTheClockAndLetsDueTimersFire) {
    TRecorder r;
    TTimer t(nullptr);
    t.SetInterval(30);
    std::vector<std::uint32_t> at;
    const std::uint32_t start = GetTickCount();
    t.OnTimer = [&](TObject*) {
        at.push_back(GetTickCount() - start);
        PostMessage(r.Wnd, WM_USER, 0, 0);
    };
    WaitUntil(start + 100);
    EXPECT_EQ(GetTickCount() - start, 100u);
    EXPECT_EQ(at, (std::vector<std::uint32_t>{30, 60, 90}));
    EXPECT_EQ(r.Got.size(), 3u); // what they posted came through on the way
    // A time already passed waits for nothing.
    WaitUntil(start + 50);
    EXPECT_EQ(GetTickCount() - start, 100u);
    EXPECT_EQ(at.size(), 3u);
}

} // namespace
} // namespace fw
