#pragma once
// What every fuzz target defines: the libFuzzer entry point and the seeds it
// starts from, made by the writers so that they are valid records.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
std::vector<std::vector<std::uint8_t>> FuzzSeeds();

// A promise the code under test broke: stops the run like a crash, so that
// libFuzzer keeps the input and the replay fails.
inline void FuzzCheck(bool kept, const char* promise) {
    if (kept) return;
    std::fprintf(stderr, "fuzz check failed: %s\n", promise);
    std::abort();
}
