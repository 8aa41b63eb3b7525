#pragma once
// Basic value types shared by every part of the framework.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <type_traits>
#include <utility>
#include <vector>

namespace fw {

// The root of every framework class that takes part in events as a sender.
class TObject {
public:
    virtual ~TObject() = default;
};

using TNotifyEvent = std::function<void(TObject* Sender)>;

// Calls a stored handler, when one is set, through a copy: a handler that
// replaces or clears itself (or frees the object holding it) does not destroy
// the closure it is running in. Every event of the framework fires this way;
// a component sender is held meanwhile (TCallHold below), and one already
// freed fires nothing.
//
// A test seam rides on it: while a probe is installed (TProbeScope), it runs
// before every event fired, whether a handler is set or not, so a test can act
// at the Nth call of any handler by construction. Unset in use: one relaxed load.
//
// Each call counts as a handler call on its thread while it runs (the probe's
// too: it stands in for a handler). An object busy since a lower depth knows
// that what is asked of it now comes from a handler it called, directly or
// through a paint or a message taken inside its work.
inline int& HandlerDepthSlot() {
    thread_local int Depth = 0;
    return Depth;
}
inline int HandlerDepth() { return HandlerDepthSlot(); }
class THandlerCall {
public:
    THandlerCall() { ++HandlerDepthSlot(); }
    ~THandlerCall() { --HandlerDepthSlot(); }
    THandlerCall(const THandlerCall&) = delete;
    THandlerCall& operator=(const THandlerCall&) = delete;
};

using THandlerProbe = std::function<void()>;
inline std::atomic<const THandlerProbe*>& HandlerProbeSlot() {
    static std::atomic<const THandlerProbe*> Slot{nullptr};
    return Slot;
}
inline bool HandlerProbeActive() { return HandlerProbeSlot().load(std::memory_order_relaxed) != nullptr; }
inline void RunHandlerProbe() {
    if (const THandlerProbe* Probe = HandlerProbeSlot().load(std::memory_order_relaxed)) {
        THandlerCall In;
        (*Probe)();
    }
}
// Installs a probe for a scope; the probe must outlive it.
class TProbeScope {
public:
    explicit TProbeScope(const THandlerProbe& Probe) : FPrevious(HandlerProbeSlot().exchange(&Probe)) {}
    ~TProbeScope() { HandlerProbeSlot().store(FPrevious); }
    TProbeScope(const TProbeScope&) = delete;
    TProbeScope& operator=(const TProbeScope&) = delete;

private:
    const THandlerProbe* FPrevious;
};

class TComponent;

// Whether a component was freed (Free, Classes.h) while a running call still
// uses its memory: no handler, message or paint reaches it any more.
bool Gone(const TComponent* AComponent);

// The framework's holds on the components it calls into: a message, a paint, a
// handler, a walk over children. While anything in a component is held, Free
// still takes the component out of everything the program sees at once, but
// puts off the release of its memory until the message loop's next step (see
// Free in Classes.h), so the code that called out goes on with a whole object.
// Each hold lets go of exactly what it took, in whatever order holds end. Only
// the user-interface thread holds anything (components live there); elsewhere
// a hold does nothing.
class TCallHold {
public:
    explicit TCallHold(TComponent* AComponent) : FDepth(Push(AComponent)) {}
    // Each of a list: a walk that calls out, over a copy of the list.
    template <class C>
    explicit TCallHold(const std::vector<C*>& List) : FDepth(Push(nullptr)), FCount(List.size() + 1) {
        for (C* Item : List)
            Push(Item);
    }
    ~TCallHold() { Release(FDepth, FCount); }
    TCallHold(const TCallHold&) = delete;
    TCallHold& operator=(const TCallHold&) = delete;

    // Holds a component (null holds nothing); answers where the hold lies,
    // which Release lets go of (NotHeld off the user-interface thread).
    static std::size_t Push(TComponent* AComponent);
    // Lets go of the ACount holds pushed from ADepth on; holds pushed later
    // and still running keep theirs.
    static void Release(std::size_t ADepth, std::size_t ACount);
    static constexpr std::size_t NotHeld = static_cast<std::size_t>(-1);

private:
    std::size_t FDepth;
    std::size_t FCount = 1;
};

// A copy of a list of components, each held while a walk over it calls out:
// one a handler frees (or takes out of the list) stays whole until the walk ends.
template <class C> class THeldList {
public:
    explicit THeldList(const std::vector<C*>& List) : FItems(List), FHold(FItems) {}
    auto begin() const { return FItems.begin(); }
    auto end() const { return FItems.end(); }

private:
    const std::vector<C*> FItems;
    const TCallHold FHold;
};

// A sender CallHandler holds: a pointer to a (non-const) component.
template <class S>
constexpr bool IsComponentPointer = std::is_pointer_v<S> &&
                                    !std::is_const_v<std::remove_pointer_t<S>> &&
                                    std::is_base_of_v<TComponent, std::remove_pointer_t<S>>;

template <class F, class... A> void CallHandlerCopy(const F& Handler, A&&... Args) {
    if (!Handler) return;
    const F Copy = Handler;
    THandlerCall In;
    Copy(std::forward<A>(Args)...);
}
template <class F, class... A> void CallHandler(const F& Handler, A&&... Args) {
    RunHandlerProbe();
    CallHandlerCopy(Handler, std::forward<A>(Args)...);
}
// A component sender is held while its handler runs (and the probe, which
// stands for one), so a handler that frees it does not free it under the
// caller; a sender already freed fires nothing.
template <class F, class S, class... A>
    requires IsComponentPointer<std::decay_t<S>>
void CallHandler(const F& Handler, S&& Sender, A&&... Args) {
    if (Gone(Sender)) return; // freed: none of its handlers fires any more
    const TCallHold Hold(Sender);
    RunHandlerProbe();
    if (!Gone(Sender)) CallHandlerCopy(Handler, std::forward<S>(Sender), std::forward<A>(Args)...);
}

// Window handles and message words, pointer-sized as on the platform.
struct HWND__;
using HWND = HWND__*;
using UINT = std::uint32_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;

struct TPoint {
    int X = 0;
    int Y = 0;
    friend bool operator==(const TPoint&, const TPoint&) = default;
    friend TPoint operator+(TPoint A, TPoint B) { return TPoint{A.X + B.X, A.Y + B.Y}; }
};

struct TSize {
    int cx = 0;
    int cy = 0;
    friend bool operator==(const TSize&, const TSize&) = default;
};

// Right and bottom edges are exclusive.
struct TRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
    int Width() const { return Right - Left; }
    int Height() const { return Bottom - Top; }
    bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
    bool Contains(TPoint p) const {
        return p.X >= Left && p.X < Right && p.Y >= Top && p.Y < Bottom;
    }
    friend bool operator==(const TRect&, const TRect&) = default;
};

inline TRect Rect(int l, int t, int r, int b) {
    return TRect{l, t, r, b};
}
inline TRect Bounds(int l, int t, int w, int h) {
    return TRect{l, t, l + w, t + h};
}
TRect IntersectRect(const TRect& a, const TRect& b);
TRect UnionRect(const TRect& a, const TRect& b);
inline TRect OffsetRect(const TRect& r, int dx, int dy) {
    return TRect{r.Left + dx, r.Top + dy, r.Right + dx, r.Bottom + dy};
}

// Colours are 0x00BBGGRR. clNone and clDefault are markers, not colours;
// system colours (high byte 0x80) resolve to fixed values (see Graphics.h).
using TColor = std::int32_t;
constexpr TColor clNone = 0x1FFFFFFF;
constexpr TColor clDefault = 0x20000000;
constexpr TColor clBlack = 0x000000;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clLime = 0x00FF00;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clYellow = 0x00FFFF;
constexpr TColor clFuchsia = 0xFF00FF;
constexpr TColor clAqua = 0xFFFF00;
constexpr TColor clGray = 0x808080;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clMaroon = 0x000080;
constexpr TColor clGreen = 0x008000;
constexpr TColor clNavy = 0x800000;
constexpr TColor clOlive = 0x008080;
constexpr TColor clPurple = 0x800080;
constexpr TColor clTeal = 0x808000;

// A block of 32-bit pixels, 0xAARRGGBB as a 32-bit value, top row first.
// Windows, bitmaps and the PNG writer all draw into one of these.
struct TSurface {
    int Width = 0;
    int Height = 0;
    std::vector<std::uint32_t> Pixels;

    void SetSize(int w, int h, std::uint32_t fill = 0);
    std::uint32_t* Row(int y) { return Pixels.data() + static_cast<std::size_t>(y) * Width; }
    const std::uint32_t* Row(int y) const {
        return Pixels.data() + static_cast<std::size_t>(y) * Width;
    }
    std::uint32_t Pixel(int x, int y) const { return Row(y)[x]; }
};

// 0x00BBGGRR (no markers, no system colours) <-> opaque 0xFFRRGGBB.
inline std::uint32_t ColorToPixel(TColor c) {
    const auto u = static_cast<std::uint32_t>(c);
    return 0xFF000000u | ((u & 0xFFu) << 16) | (u & 0xFF00u) | ((u >> 16) & 0xFFu);
}
inline TColor PixelToColor(std::uint32_t p) {
    return static_cast<TColor>(((p & 0xFFu) << 16) | (p & 0xFF00u) | ((p >> 16) & 0xFFu));
}

} // namespace fw
