#pragma once
// Files for GetFileVersion's tests and fuzz target: version records laid out
// as the module carries its own, inside small 64-bit little-endian ELF files.
#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace vel::testing {

using Bytes = std::vector<std::uint8_t>;

inline const std::string kFileVersionKey = "StringFileInfo\\040904E4\\FileVersion";

inline void PutLe(Bytes& b, std::size_t at, std::uint64_t v, std::size_t bytes) {
    if (b.size() < at + bytes) b.resize(at + bytes);
    for (std::size_t i = 0; i < bytes; ++i)
        b[at + i] = i < 8 ? static_cast<std::uint8_t>(v >> (8 * i)) : 0;
}

// "VELVINF1", the count as given, then each key and value.
inline Bytes VersionRecord(const std::vector<std::pair<std::string, std::string>>& entries,
                           std::uint32_t count) {
    Bytes r = {'V', 'E', 'L', 'V', 'I', 'N', 'F', '1'};
    PutLe(r, 8, count, 4);
    for (const auto& [key, value] : entries)
        for (const std::string& text : {key, value}) {
            PutLe(r, r.size(), text.size(), 2);
            r.insert(r.end(), text.begin(), text.end());
        }
    return r;
}

inline Bytes VersionRecord(const std::string& key, const std::string& value) {
    return VersionRecord({{key, value}}, 1);
}

// A 64-bit little-endian ELF file with a name table and the given sections.
inline Bytes ElfFile(const std::vector<std::pair<std::string, Bytes>>& sections) {
    Bytes names(1, 0), f(64, 0);
    const Bytes ident = {0x7f, 'E', 'L', 'F', 2, 1, 1};
    std::copy(ident.begin(), ident.end(), f.begin());
    std::vector<std::pair<std::string, Bytes>> all = {{".shstrtab", {}}};
    all.insert(all.end(), sections.begin(), sections.end());
    std::vector<std::uint64_t> nameAt, dataAt;
    for (const auto& [name, data] : all) {
        nameAt.push_back(names.size());
        names.insert(names.end(), name.begin(), name.end());
        names.push_back(0);
    }
    all[0].second = names;
    for (const auto& s : all) {
        dataAt.push_back(f.size());
        f.insert(f.end(), s.second.begin(), s.second.end());
    }
    const std::size_t shoff = f.size();
    f.resize(shoff + 64 * (all.size() + 1), 0); // entry 0 is the null section
    for (std::size_t i = 0; i < all.size(); ++i) {
        const std::size_t h = shoff + 64 * (i + 1);
        PutLe(f, h, nameAt[i], 4);
        PutLe(f, h + 4, i == 0 ? 3 : 1, 4);
        PutLe(f, h + 0x18, dataAt[i], 8);
        PutLe(f, h + 0x20, all[i].second.size(), 8);
    }
    PutLe(f, 0x28, shoff, 8);
    PutLe(f, 0x3A, 64, 2);
    PutLe(f, 0x3C, all.size() + 1, 2);
    PutLe(f, 0x3E, 1, 2);
    return f;
}

} // namespace vel::testing
