#pragma once
// The largest single allocation made while a function runs, for tests that
// show a reader refuses a file before it sizes memory by what the file says.
// Counted through AddressSanitizer's allocation hooks, so only in sanitized
// builds (the dev preset); elsewhere AllocationProbeWorks() is false.
#include <algorithm>
#include <atomic>
#include <cstddef>

#include "ScopeExit.h"

#if defined(__SANITIZE_ADDRESS__)
#define VEL_ALLOCATION_PROBE 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VEL_ALLOCATION_PROBE 1
#endif
#endif

#ifdef VEL_ALLOCATION_PROBE
// Declared here: GCC ships the function in its runtime but not the header.
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*malloc_hook)(const volatile void*,
                                                                             std::size_t),
                                                         void (*free_hook)(const volatile void*));
#endif

namespace fw {

namespace detail {

inline std::atomic<bool> Probing{false};
inline std::atomic<std::size_t> LargestAllocation{0};

inline void ProbeMalloc(const volatile void*, std::size_t size) {
    if (!Probing.load(std::memory_order_relaxed)) return;
    std::size_t seen = LargestAllocation.load(std::memory_order_relaxed);
    while (size > seen && !LargestAllocation.compare_exchange_weak(seen, size)) {
    }
}

inline void ProbeFree(const volatile void*) {}

} // namespace detail

inline bool AllocationProbeWorks() {
#ifdef VEL_ALLOCATION_PROBE
    // The hooks stay for the process: they cost nothing while not probing.
    static const bool installed =
        __sanitizer_install_malloc_and_free_hooks(&detail::ProbeMalloc, &detail::ProbeFree) != 0;
    return installed;
#else
    return false;
#endif
}

// Runs f and answers the size of the largest block allocated meanwhile (0
// when the probe does not work in this build).
template <class F> std::size_t LargestAllocationDuring(F&& f) {
    const bool works = AllocationProbeWorks();
    detail::LargestAllocation = 0;
    detail::Probing = works;
    TScopeExit stop([] { detail::Probing = false; });
    f();
    return detail::LargestAllocation;
}

} // namespace fw
