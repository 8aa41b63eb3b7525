#pragma once
// The clock, window timers and the timer component. The clock is manual
// until the host program switches it to real time: tests move it by hand and
// every due timer fires in order, on the user-interface thread.
#include "Classes.h"
#include "Messages.h"

#include <cstdint>

namespace fw {

std::uint32_t GetTickCount();
// Moves the manual clock, firing due timers in order (posted messages are
// pumped after each), then pumps posted messages.
void AdvanceClock(std::uint32_t ms);
void SetRealTimeClock(bool on);
bool RealTimeClock();
// Real-time pump for the host program; on the manual clock it advances it.
void RunMessageLoopFor(std::uint32_t ms);
// Busy waits of animations: the clock moves on to Tick (the manual clock
// jumps there, the real one is slept through) and the timers that come due on
// the way fire in order, as they would while an animation runs. Posted
// messages are pumped after each timer only; windows are not painted.
void WaitUntil(std::uint32_t Tick);

// Window timers: WM_TIMER with WParam = Id reaches Wnd every Interval ms.
// Setting an Id again restarts it. An interval of 0 is taken as 1 ms.
bool SetTimer(HWND Wnd, std::uintptr_t Id, std::uint32_t Interval);
bool KillTimer(HWND Wnd, std::uintptr_t Id);
bool TimerActive(HWND Wnd, std::uintptr_t Id);

class TTimer : public TComponent {
public:
    explicit TTimer(TComponent* AOwner);
    ~TTimer() override;

    int Interval() const { return FInterval; }
    void SetInterval(int Value);
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool Value);

    TNotifyEvent OnTimer;

protected:
    virtual void Timer();
    // Its window goes, and with it every tick.
    void Withdraw() override;

private:
    void UpdateTimer();
    void DestroyTimerWindow();
    HWND FWindow = nullptr;
    int FInterval = 1000;
    bool FEnabled = true;
};

} // namespace fw
