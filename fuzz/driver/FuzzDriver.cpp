// Runs a fuzz target without libFuzzer: replays its seeds, every truncation
// of each seed and a fixed set of byte flips (CTest does this on every run),
// plus any files named on the command line. `--write-seeds DIR` writes the
// seeds out as a corpus for libFuzzer. `--shard K/N` runs every Nth of those
// inputs from the Kth (the files with shard 1), so that CTest can run a slow
// replay as N tests side by side.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "FuzzTarget.h"

namespace {

std::size_t ShardIndex = 0, ShardCount = 1, Inputs = 0, Ran = 0;

void Execute(const std::vector<std::uint8_t>& bytes) {
    ++Ran;
    LLVMFuzzerTestOneInput(bytes.empty() ? nullptr : bytes.data(), bytes.size());
}

// A replayed input, run by its shard.
void Run(const std::vector<std::uint8_t>& bytes) {
    if (Inputs++ % ShardCount == ShardIndex) Execute(bytes);
}

// "K/N" with 1 <= K <= N.
bool ParseShard(const std::string& text) {
    const auto slash = text.find('/');
    if (slash == std::string::npos) return false;
    try {
        const std::size_t k = std::stoul(text.substr(0, slash));
        const std::size_t n = std::stoul(text.substr(slash + 1));
        if (k < 1 || k > n) return false;
        ShardIndex = k - 1;
        ShardCount = n;
        return true;
    } catch (const std::exception&) {
        return false;
    }
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
    int first = 1;
    if (argc >= 3 && std::string(argv[1]) == "--shard") {
        if (!ParseShard(argv[2])) {
            std::fprintf(stderr, "--shard takes K/N with 1 <= K <= N\n");
            return 2;
        }
        first = 3;
    }
    for (const auto& s : seeds)
        Replay(s);
    for (int a = first; a < argc && ShardIndex == 0; ++a) {
        std::ifstream in(argv[a], std::ios::binary);
        Execute(std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {}));
    }
    std::printf("%zu inputs from %zu seeds ran cleanly (shard %zu of %zu)\n", Ran, seeds.size(),
                ShardIndex + 1, ShardCount);
    return 0;
}
