// Runs a fuzz target without libFuzzer: replays its seeds, every truncation
// of each seed and a fixed set of byte flips (CTest does this on every run),
// plus any files named on the command line. `--write-seeds DIR` writes the
// seeds out as a corpus for libFuzzer.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "FuzzTarget.h"

namespace {

void Run(const std::vector<std::uint8_t>& bytes) {
    LLVMFuzzerTestOneInput(bytes.empty() ? nullptr : bytes.data(), bytes.size());
}

void Replay(const std::vector<std::uint8_t>& seed) {
    Run(seed);
    for (std::size_t n = 0; n < seed.size(); ++n)
        Run(std::vector<std::uint8_t>(seed.begin(), seed.begin() + static_cast<std::ptrdiff_t>(n)));
    // Deterministic flips: every byte position, a few patterns.
    std::uint32_t state = 0x9E3779B9u;
    for (std::size_t i = 0; i < seed.size(); ++i) {
        for (std::uint8_t pattern : {0xFF, 0x80, 0x01}) {
            std::vector<std::uint8_t> copy = seed;
            copy[i] ^= pattern;
            Run(copy);
        }
        state = state * 1664525u + 1013904223u;
        std::vector<std::uint8_t> copy = seed;
        copy[i] = static_cast<std::uint8_t>(state >> 24);
        Run(copy);
    }
}

} // namespace

int main(int argc, char** argv) {
    const auto seeds = FuzzSeeds();
    if (argc == 3 && std::string(argv[1]) == "--write-seeds") {
        std::filesystem::create_directories(argv[2]);
        int i = 0;
        for (const auto& s : seeds) {
            std::ofstream out(std::filesystem::path(argv[2]) / ("seed" + std::to_string(i++)),
                              std::ios::binary);
            out.write(reinterpret_cast<const char*>(s.data()),
                      static_cast<std::streamsize>(s.size()));
        }
        return 0;
    }
    std::size_t runs = 0;
    for (const auto& s : seeds) {
        Replay(s);
        runs += 1 + s.size() * 5;
    }
    for (int a = 1; a < argc; ++a) {
        std::ifstream in(argv[a], std::ios::binary);
        Run(std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {}));
        ++runs;
    }
    std::printf("%zu inputs from %zu seeds ran cleanly\n", runs, seeds.size());
    return 0;
}
