#pragma once
// The one scope guard of the project. Header-only, so that the host stand-in
// can use it without linking the framework.
#include <cstdio>
#include <exception>
#include <type_traits>
#include <utility>

namespace fw {

// Reports the exception being handled as a leave step's that nobody can be
// given. Call it inside a catch handler only.
inline void ReportLeaveStepError() noexcept {
    try {
        throw;
    } catch (const std::exception& E) {
        std::fprintf(stderr, "leave step failed: %s\n", E.what());
    } catch (...) {
        std::fprintf(stderr, "leave step failed: unknown exception\n");
    }
}

// Runs its leave step on every way out of a scope, exceptions included, as
// the matching leave call would.
//
// The destructor never lets an exception out: when the leave step throws
// there, the exception is reported on standard error and dropped. A leave
// step that calls user handlers, whose exceptions the caller must see on a
// normal exit, is run by Leave() at the end of the normal path: outside the
// destructor, so that its exception propagates; only an exit by exception
// then leaves it to the destructor.
template <class F> class TScopeExit {
public:
    explicit TScopeExit(F ALeave) noexcept(std::is_nothrow_move_constructible_v<F>)
        : FLeave(std::move(ALeave)) {}
    TScopeExit(const TScopeExit&) = delete;
    TScopeExit& operator=(const TScopeExit&) = delete;
    ~TScopeExit() {
        if (!FArmed) return;
        try {
            FLeave();
        } catch (...) {
            ReportLeaveStepError();
        }
    }

    // Runs the leave step now, once; its exception reaches the caller.
    void Leave() {
        if (!FArmed) return;
        FArmed = false;
        FLeave();
    }
    // Forgets the leave step.
    void Release() noexcept { FArmed = false; }

private:
    F FLeave;
    bool FArmed = true;
};
template <class F> TScopeExit(F) -> TScopeExit<F>;

// Runs Enter, then guards Leave: an enter step that throws leaves nothing
// to undo. auto Guard = EnterScope([&] { BeginUpdate(); }, [&] { EndUpdate(); });
template <class E, class F> TScopeExit<F> EnterScope(E&& Enter, F Leave) {
    std::forward<E>(Enter)();
    return TScopeExit<F>(std::move(Leave));
}

// Steps that must all be taken for a change to be whole (a component freed
// from every list, new counts reaching every part): an exception a handler
// throws in one is kept until the last step has run, then passed on.
class TWholeSteps {
public:
    template <class F> void Take(F&& Step) {
        try {
            Step();
        } catch (...) {
            if (!FThrown) FThrown = std::current_exception();
        }
    }
    void Finish() {
        if (FThrown) std::rethrow_exception(std::exchange(FThrown, nullptr));
    }

private:
    std::exception_ptr FThrown;
};

// Holds Target's lock (its Lock and Unlock) until the scope ends.
template <class T> auto LockScope(T& Target) {
    return EnterScope([&Target] { Target.Lock(); }, [&Target] { Target.Unlock(); });
}

} // namespace fw
