// The version record read from a whole module file: any file answers a
// trimmed text or nothing.
#include <string>

#include "FuzzTarget.h"
#include "ScratchFile.h"
#include "Utils.h"
#include "VersionFiles.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string version =
        vel::GetFileVersion(fuzzfile::WriteScratch("module.tsx", data, size));
    FuzzCheck(version.size() <= size, "the version comes from the file");
    FuzzCheck(version.empty() || (static_cast<unsigned char>(version.front()) > ' ' &&
                                  static_cast<unsigned char>(version.back()) > ' '),
              "the version is trimmed");
    return 0;
}

std::vector<std::vector<std::uint8_t>> FuzzSeeds() {
    using vel::testing::ElfFile;
    using vel::testing::VersionRecord;
    const std::string key = vel::testing::kFileVersionKey;
    return {
        ElfFile({{".vel.verinfo", VersionRecord(key, "1.0.0.0")}}),
        ElfFile({{".text", vel::testing::Bytes(24, 0x90)},
                 {".vel.verinfo", VersionRecord({{"ProductName", "Rig"}, {key, " 2.5 "}}, 2)},
                 {".data", vel::testing::Bytes(8, 1)}}),
        ElfFile({{".data", VersionRecord(key, "3.0")}}),
    };
}
