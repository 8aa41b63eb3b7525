#pragma once
// What every fuzz target defines: the libFuzzer entry point and the seeds it
// starts from, made by the writers so that they are valid records.
#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
std::vector<std::vector<std::uint8_t>> FuzzSeeds();
