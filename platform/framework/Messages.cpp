#include "Messages.h"

#include "Classes.h"
#include "Hooks.h"
#include "NoDestroy.h"
#include "ScopeExit.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

namespace fw {
namespace {

struct TWindowInfo {
    TWndProc Proc;
    TWinControl* Control = nullptr;
    HWND Owner = nullptr;
    std::uint32_t Style = 0;
    std::uint32_t ExStyle = 0;
    std::uint32_t ClassStyle = 0;
};

// A message another thread is waiting on.
struct TSentMessage {
    TMsg Msg;
    LRESULT Result = 0;
    bool Done = false;
};

struct TMessageState {
    std::mutex Lock; // guards Windows (for other threads' look-ups) and both queues
    std::condition_variable SentDone;
    std::condition_variable Woken; // a message was sent, or a worker woke the UI thread
    std::uint64_t Wakeups = 0;
    std::unordered_map<std::uintptr_t, TWindowInfo> Windows;
    std::uintptr_t NextHandle = 0x10000;
    std::deque<TMsg> Posted;
    std::deque<TSentMessage*> Sent;
    std::map<UINT, TMessageFilter> Filters;
    std::vector<std::pair<const void*, std::function<void()>>> IdleHandlers;
};

// Windows, queues and filters outlive every exit handler: a plug-in's
// finalization destroys its windows from one of them.
TMessageState& State() {
    static TNoDestroy<TMessageState> state;
    return *state;
}

const std::thread::id gUiThread = std::this_thread::get_id();

std::uintptr_t Key(HWND w) {
    return reinterpret_cast<std::uintptr_t>(w);
}

// Copies out what a call needs, so that no lock is held while a window
// procedure runs.
bool LookUp(HWND w, TWindowInfo& out) {
    auto& s = State();
    std::lock_guard lock(s.Lock);
    auto it = s.Windows.find(Key(w));
    if (it == s.Windows.end()) return false;
    out = it->second;
    return true;
}

template <class F> void Modify(HWND w, F f) {
    auto& s = State();
    std::lock_guard lock(s.Lock);
    auto it = s.Windows.find(Key(w));
    if (it != s.Windows.end()) f(it->second);
}

LRESULT CallProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    TWndProc proc;
    {
        auto& s = State();
        std::lock_guard lock(s.Lock);
        auto it = s.Windows.find(Key(w));
        if (it == s.Windows.end()) return 0;
        proc = it->second.Proc;
    }
    if (HasHooks(THookKind::CallWndProc)) {
        TCwpStruct cwp{lp, wp, msg, w};
        RunHookChain(THookKind::CallWndProc, HC_ACTION, 0, reinterpret_cast<LPARAM>(&cwp));
    }
    return proc ? proc(w, msg, wp, lp) : 0;
}

} // namespace

bool IsUserInterfaceThread() {
    return std::this_thread::get_id() == gUiThread;
}

HWND CreateWindowHandle(TWndProc Proc, HWND Owner, std::uint32_t Style, std::uint32_t ExStyle,
                        std::uint32_t ClassStyle) {
    auto& s = State();
    std::lock_guard lock(s.Lock);
    const std::uintptr_t key = s.NextHandle;
    s.NextHandle += 4;
    TWindowInfo info;
    info.Proc = std::move(Proc);
    info.Owner = Owner;
    info.Style = Style;
    info.ExStyle = ExStyle;
    info.ClassStyle = ClassStyle;
    s.Windows.emplace(key, std::move(info));
    return reinterpret_cast<HWND>(key);
}

bool DestroyWindowHandle(HWND Wnd) {
    if (!IsWindow(Wnd)) return false;
    SendMessage(Wnd, WM_DESTROY, 0, 0);
    SendMessage(Wnd, WM_NCDESTROY, 0, 0);
    auto& s = State();
    std::lock_guard lock(s.Lock);
    s.Windows.erase(Key(Wnd));
    // Messages still queued for it would reach nobody.
    std::erase_if(s.Posted, [Wnd](const TMsg& m) { return m.hwnd == Wnd; });
    return true;
}

bool IsWindow(HWND Wnd) {
    if (!Wnd) return false;
    auto& s = State();
    std::lock_guard lock(s.Lock);
    return s.Windows.count(Key(Wnd)) != 0;
}

HWND GetWindowOwner(HWND Wnd) {
    TWindowInfo info;
    return LookUp(Wnd, info) ? info.Owner : nullptr;
}
void SetWindowOwner(HWND Wnd, HWND Owner) {
    Modify(Wnd, [Owner](TWindowInfo& i) { i.Owner = Owner; });
}
std::uint32_t GetWindowStyle(HWND Wnd) {
    TWindowInfo info;
    return LookUp(Wnd, info) ? info.Style : 0;
}
void SetWindowStyle(HWND Wnd, std::uint32_t Style) {
    Modify(Wnd, [Style](TWindowInfo& i) { i.Style = Style; });
}
std::uint32_t GetWindowExStyle(HWND Wnd) {
    TWindowInfo info;
    return LookUp(Wnd, info) ? info.ExStyle : 0;
}
void SetWindowExStyle(HWND Wnd, std::uint32_t ExStyle) {
    Modify(Wnd, [ExStyle](TWindowInfo& i) { i.ExStyle = ExStyle; });
}
std::uint32_t GetClassStyle(HWND Wnd) {
    TWindowInfo info;
    return LookUp(Wnd, info) ? info.ClassStyle : 0;
}
TWinControl* FindControl(HWND Wnd) {
    TWindowInfo info;
    return LookUp(Wnd, info) ? info.Control : nullptr;
}
void SetWindowControl(HWND Wnd, TWinControl* Control) {
    Modify(Wnd, [Control](TWindowInfo& i) { i.Control = Control; });
}

LRESULT SendMessage(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
    if (IsUserInterfaceThread()) return CallProc(Wnd, Msg, WParam, LParam);
    // From a worker: queue it for the user-interface thread and wait.
    auto& s = State();
    TSentMessage sent;
    sent.Msg = TMsg{Wnd, Msg, WParam, LParam};
    std::unique_lock lock(s.Lock);
    s.Sent.push_back(&sent);
    ++s.Wakeups;
    s.Woken.notify_all();
    s.SentDone.wait(lock, [&sent] { return sent.Done; });
    return sent.Result;
}

std::uint64_t WakeupCount() {
    auto& s = State();
    std::lock_guard lock(s.Lock);
    return s.Wakeups;
}

void WakeUserInterface() {
    auto& s = State();
    {
        std::lock_guard lock(s.Lock);
        ++s.Wakeups;
    }
    s.Woken.notify_all();
}

void WaitForWakeup(std::uint64_t Seen, int TimeoutMs) {
    auto& s = State();
    std::unique_lock lock(s.Lock);
    s.Woken.wait_for(lock, std::chrono::milliseconds(TimeoutMs),
                     [&s, Seen] { return s.Wakeups != Seen; });
}

bool DeliverSentMessage() {
    if (!IsUserInterfaceThread()) return false;
    auto& s = State();
    TSentMessage* sent = nullptr;
    {
        std::lock_guard lock(s.Lock);
        if (s.Sent.empty()) return false;
        sent = s.Sent.front();
        s.Sent.pop_front();
    }
    LRESULT r = 0;
    const TLoopStep step;
    // The sender must wake up even when the handler throws.
    TScopeExit finish([&s, sent, &r] {
        std::lock_guard lock(s.Lock);
        sent->Result = r;
        sent->Done = true;
        s.SentDone.notify_all();
    });
    r = CallProc(sent->Msg.hwnd, sent->Msg.message, sent->Msg.wParam, sent->Msg.lParam);
    return true;
}

void DeliverSentMessages() {
    while (DeliverSentMessage()) {
    }
}

bool PostMessage(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
    auto& s = State();
    std::lock_guard lock(s.Lock);
    if (!Wnd || !s.Windows.count(Key(Wnd))) return false;
    s.Posted.push_back(TMsg{Wnd, Msg, WParam, LParam});
    return true;
}

bool PeekMessage(TMsg& Msg, HWND Wnd, bool Remove) {
    DeliverSentMessages();
    auto& s = State();
    std::lock_guard lock(s.Lock);
    for (auto it = s.Posted.begin(); it != s.Posted.end(); ++it) {
        if (Wnd && it->hwnd != Wnd) continue;
        Msg = *it;
        if (Remove) s.Posted.erase(it);
        return true;
    }
    return false;
}

LRESULT DispatchMessage(const TMsg& Msg) {
    const TLoopStep step;
    return CallProc(Msg.hwnd, Msg.message, Msg.wParam, Msg.lParam);
}

int PendingMessageCount() {
    auto& s = State();
    std::lock_guard lock(s.Lock);
    return static_cast<int>(s.Posted.size());
}

bool DeliverPendingInput(); // Input.cpp

namespace {

void PumpQueue() {
    TMsg msg;
    do {
        while (PeekMessage(msg, nullptr, true))
            DispatchMessage(msg);
        DeliverSentMessages();
    } while (DeliverPendingInput() || PendingMessageCount() > 0);
}

void RunIdleHandlers() {
    // A copy: a handler may add or remove handlers. One removed meanwhile (its
    // owner freed by an earlier handler) is not called.
    const auto handlers = State().IdleHandlers;
    for (const auto& [owner, handler] : handlers) {
        const auto& now = State().IdleHandlers;
        const bool stays = std::any_of(now.begin(), now.end(),
                                       [o = owner](const auto& h) { return h.first == o; });
        if (stays && handler) handler();
    }
}

} // namespace

void ProcessMessages() {
    if (!IsUserInterfaceThread()) return;
    // Each message and input event is a step of its own; the paint is the last.
    FreeDeferred();
    PumpQueue();
    RunIdleHandlers();
    PumpQueue();
    PaintPendingWindows();
    FreeDeferred();
}

void AddIdleHandler(const void* Owner, std::function<void()> Handler) {
    RemoveIdleHandler(Owner);
    State().IdleHandlers.emplace_back(Owner, std::move(Handler));
}

void RemoveIdleHandler(const void* Owner) {
    std::erase_if(State().IdleHandlers, [Owner](const auto& h) { return h.first == Owner; });
}

TMessageFilter SetControlMessageFilter(UINT Msg, TMessageFilter Filter) {
    auto& filters = State().Filters;
    TMessageFilter old;
    auto it = filters.find(Msg);
    if (it != filters.end()) {
        old = std::move(it->second);
        filters.erase(it);
    }
    if (Filter) filters.emplace(Msg, std::move(Filter));
    return old;
}

const TMessageFilter* FindControlMessageFilter(UINT Msg) {
    auto& filters = State().Filters;
    auto it = filters.find(Msg);
    return it == filters.end() ? nullptr : &it->second;
}

} // namespace fw
