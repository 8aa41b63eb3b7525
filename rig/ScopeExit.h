#pragma once
#include <utility>

namespace vel {

// Runs on every way out of a scope, exceptions included.
template <class F> class TScopeExit {
public:
    explicit TScopeExit(F f) : FProc(std::move(f)) {}
    TScopeExit(const TScopeExit&) = delete;
    TScopeExit& operator=(const TScopeExit&) = delete;
    ~TScopeExit() { FProc(); }

private:
    F FProc;
};

} // namespace vel
