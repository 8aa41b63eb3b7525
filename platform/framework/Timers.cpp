#include "Timers.h"

#include "Classes.h"
#include "NoDestroy.h"

#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

namespace fw {
namespace {

struct TTimerEntry {
    HWND Wnd;
    std::uintptr_t Id;
    std::uint32_t Interval;
    std::uint64_t Due;
    std::uint64_t Seq;
};

struct TClock {
    bool RealTime = false;
    std::uint64_t Manual = 0;
    std::uint64_t RealBase = 0;
    std::chrono::steady_clock::time_point RealStart;
    std::uint64_t NextSeq = 0;
    std::vector<TTimerEntry> Timers;
};

TClock& Clock() {
    static TNoDestroy<TClock> clock;
    return *clock;
}

std::uint64_t Now() {
    auto& c = Clock();
    if (!c.RealTime) return c.Manual;
    auto elapsed = std::chrono::steady_clock::now() - c.RealStart;
    return c.RealBase + static_cast<std::uint64_t>(
                            std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}

void PumpPosted() {
    TMsg msg;
    while (PeekMessage(msg, nullptr, true))
        DispatchMessage(msg);
}

// Fires the earliest timer due at or before limit; false when none is.
bool FireOne(std::uint64_t limit, bool moveManualClock) {
    auto& c = Clock();
    auto best = c.Timers.end();
    for (auto it = c.Timers.begin(); it != c.Timers.end(); ++it) {
        if (it->Due > limit) continue;
        if (best == c.Timers.end() || it->Due < best->Due ||
            (it->Due == best->Due && it->Seq < best->Seq))
            best = it;
    }
    if (best == c.Timers.end()) return false;
    if (moveManualClock) c.Manual = std::max(c.Manual, best->Due);
    const HWND wnd = best->Wnd;
    const std::uintptr_t id = best->Id;
    best->Due = Now() + best->Interval; // before the handler, which may restart or kill it
    if (!IsWindow(wnd)) {
        KillTimer(wnd, id);
        return true;
    }
    {
        const TLoopStep step;
        SendMessage(wnd, WM_TIMER, id, 0);
    }
    PumpPosted();
    return true;
}

} // namespace

std::uint32_t GetTickCount() {
    return static_cast<std::uint32_t>(Now());
}

bool RealTimeClock() {
    return Clock().RealTime;
}

void SetRealTimeClock(bool on) {
    auto& c = Clock();
    if (on == c.RealTime) return;
    const std::uint64_t now = Now();
    c.RealTime = on;
    if (on) {
        c.RealBase = now;
        c.RealStart = std::chrono::steady_clock::now();
    } else {
        c.Manual = now;
    }
}

void AdvanceClock(std::uint32_t ms) {
    auto& c = Clock();
    if (c.RealTime) return RunMessageLoopFor(ms);
    DeliverSentMessages();
    const std::uint64_t target = c.Manual + ms;
    while (FireOne(target, true)) {
    }
    c.Manual = target;
    ProcessMessages();
}

void RunMessageLoopFor(std::uint32_t ms) {
    if (!RealTimeClock()) return AdvanceClock(ms);
    const std::uint64_t end = Now() + ms;
    for (;;) {
        ProcessMessages();
        while (FireOne(Now(), false)) {
        }
        ProcessMessages();
        const std::uint64_t now = Now();
        if (now >= end) break;
        std::uint64_t wake = end;
        for (const auto& t : Clock().Timers)
            wake = std::min(wake, t.Due);
        // Short naps keep posted and cross-thread messages flowing.
        const std::uint64_t nap = std::clamp<std::uint64_t>(wake > now ? wake - now : 0, 0, 5);
        if (nap) std::this_thread::sleep_for(std::chrono::milliseconds(nap));
    }
}

bool SetTimer(HWND Wnd, std::uintptr_t Id, std::uint32_t Interval) {
    if (!IsWindow(Wnd)) return false;
    auto& c = Clock();
    const std::uint32_t interval = std::max<std::uint32_t>(Interval, 1);
    const std::uint64_t due = Now() + interval;
    for (auto& t : c.Timers)
        if (t.Wnd == Wnd && t.Id == Id) {
            t.Interval = interval;
            t.Due = due;
            t.Seq = c.NextSeq++;
            return true;
        }
    c.Timers.push_back(TTimerEntry{Wnd, Id, interval, due, c.NextSeq++});
    return true;
}

bool KillTimer(HWND Wnd, std::uintptr_t Id) {
    return std::erase_if(Clock().Timers,
                         [&](const TTimerEntry& t) { return t.Wnd == Wnd && t.Id == Id; }) != 0;
}

bool TimerActive(HWND Wnd, std::uintptr_t Id) {
    const auto& timers = Clock().Timers;
    return std::any_of(timers.begin(), timers.end(),
                       [&](const TTimerEntry& t) { return t.Wnd == Wnd && t.Id == Id; });
}

TTimer::TTimer(TComponent* AOwner) : TComponent(AOwner) {
    FWindow = CreateWindowHandle([this](HWND, UINT msg, WPARAM, LPARAM) -> LRESULT {
        if (msg == WM_TIMER) Timer();
        return 0;
    });
    UpdateTimer();
}

TTimer::~TTimer() {
    DestroyTimerWindow();
}

void TTimer::Withdraw() {
    DestroyTimerWindow();
    TComponent::Withdraw();
}

void TTimer::DestroyTimerWindow() {
    KillTimer(FWindow, 1);
    DestroyWindowHandle(FWindow);
    FWindow = nullptr;
}

void TTimer::SetInterval(int Value) {
    if (Value == FInterval) return;
    FInterval = Value;
    UpdateTimer();
}

void TTimer::SetEnabled(bool Value) {
    if (Value == FEnabled) return;
    FEnabled = Value;
    UpdateTimer();
}

void TTimer::UpdateTimer() {
    KillTimer(FWindow, 1);
    if (FEnabled && FInterval > 0) SetTimer(FWindow, 1, static_cast<std::uint32_t>(FInterval));
}

void TTimer::Timer() {
    CallHandler(OnTimer, this);
}

void WaitUntil(std::uint32_t Tick) {
    auto& c = Clock();
    if (!c.RealTime) {
        const auto Left = static_cast<std::int32_t>(Tick - GetTickCount());
        if (Left <= 0) return;
        const std::uint64_t target = c.Manual + static_cast<std::uint64_t>(Left);
        while (FireOne(target, true)) {
        }
        c.Manual = std::max(c.Manual, target);
        return;
    }
    for (;;) {
        while (FireOne(Now(), false)) {
        }
        const auto Left = static_cast<std::int32_t>(Tick - GetTickCount());
        if (Left <= 0) return;
        std::uint64_t nap = static_cast<std::uint64_t>(Left);
        for (const auto& t : c.Timers)
            nap = std::min(nap, t.Due > Now() ? t.Due - Now() : 0);
        if (nap) std::this_thread::sleep_for(std::chrono::milliseconds(nap));
    }
}

} // namespace fw
