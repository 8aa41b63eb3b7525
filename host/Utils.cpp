#include "Utils.h"

#include <array>
#include <cstring>
#include <fstream>
#include <optional>
#include <string_view>

#include "Modules.h"

namespace vel {
namespace {

// ---- the module's version record ----
//
// Kept in its own section of the module file, so the version is read from the
// file as it lies on disk. Layout, little-endian:
//   8 bytes "VELVINF1", u32 entry count,
//   per entry: u16 key length, key bytes, u16 value length, value bytes.

constexpr char kVersionSection[] = ".vel.verinfo";
constexpr char kVersionMagic[8] = {'V', 'E', 'L', 'V', 'I', 'N', 'F', '1'};
constexpr std::string_view kFileVersionKey = "StringFileInfo\\040904E4\\FileVersion";
constexpr std::string_view kFileVersionText = "1.0.0.0";

constexpr std::size_t kRecordSize =
    8 + 4 + 2 + kFileVersionKey.size() + 2 + kFileVersionText.size();

constexpr std::array<char, kRecordSize> MakeVersionRecord() {
    std::array<char, kRecordSize> r{};
    std::size_t at = 0;
    for (char c : kVersionMagic)
        r[at++] = c;
    auto put = [&](std::size_t v, std::size_t bytes) {
        for (std::size_t i = 0; i < bytes; ++i)
            r[at++] = static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    put(1, 4);
    put(kFileVersionKey.size(), 2);
    for (char c : kFileVersionKey)
        r[at++] = c;
    put(kFileVersionText.size(), 2);
    for (char c : kFileVersionText)
        r[at++] = c;
    return r;
}

[[gnu::section(".vel.verinfo"), gnu::used]] constexpr std::array<char, kRecordSize> kVersionRecord =
    MakeVersionRecord();

// ---- reading it back from an ELF file ----

// Caps on what a reader will load, whatever the file says.
constexpr std::uint64_t kMaxNameTable = 1u << 20;
constexpr std::uint64_t kMaxRecord = 64u << 10;

struct ElfHeader64 {
    std::uint64_t shoff = 0;
    std::uint16_t shentsize = 0, shnum = 0, shstrndx = 0;
};
constexpr std::size_t kElfHeaderSize = 64;
constexpr std::size_t kSectionHeaderSize = 64;
constexpr std::uint32_t kShtNobits = 8;

struct Section {
    std::uint32_t name = 0, type = 0;
    std::uint64_t offset = 0, size = 0;
};

std::uint64_t Le(const std::uint8_t* p, std::size_t bytes) {
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < bytes; ++i)
        v |= std::uint64_t{p[i]} << (8 * i);
    return v;
}

class TFileReader {
public:
    explicit TFileReader(const std::string& name) : FIn(name, std::ios::binary) {
        if (!FIn) return;
        FIn.seekg(0, std::ios::end);
        const auto end = FIn.tellg();
        if (end > 0) FSize = static_cast<std::uint64_t>(end);
    }
    std::uint64_t Size() const { return FSize; }
    // The bytes [offset, offset + count), or none when they are not all in the file.
    std::optional<std::vector<std::uint8_t>> Read(std::uint64_t offset, std::uint64_t count) {
        if (offset > FSize || count > FSize - offset) return std::nullopt;
        std::vector<std::uint8_t> out(static_cast<std::size_t>(count));
        FIn.clear();
        FIn.seekg(static_cast<std::streamoff>(offset));
        if (count &&
            !FIn.read(reinterpret_cast<char*>(out.data()), static_cast<std::streamsize>(count)))
            return std::nullopt;
        return out;
    }

private:
    std::ifstream FIn;
    std::uint64_t FSize = 0;
};

std::optional<std::vector<std::uint8_t>> ReadVersionSection(TFileReader& file) {
    const auto head = file.Read(0, kElfHeaderSize);
    if (!head) return std::nullopt;
    const std::uint8_t* h = head->data();
    // 64-bit little-endian ELF only: the only kind of module built here.
    if (std::memcmp(h,
                    "\x7f"
                    "ELF",
                    4) != 0 ||
        h[4] != 2 || h[5] != 1)
        return std::nullopt;
    ElfHeader64 eh;
    eh.shoff = Le(h + 0x28, 8);
    eh.shentsize = static_cast<std::uint16_t>(Le(h + 0x3A, 2));
    eh.shnum = static_cast<std::uint16_t>(Le(h + 0x3C, 2));
    eh.shstrndx = static_cast<std::uint16_t>(Le(h + 0x3E, 2));
    if (eh.shentsize != kSectionHeaderSize || eh.shnum == 0 || eh.shstrndx >= eh.shnum)
        return std::nullopt;
    // At most 65535 entries of 64 bytes, and only when the file holds them all.
    const auto table = file.Read(eh.shoff, std::uint64_t{eh.shnum} * kSectionHeaderSize);
    if (!table) return std::nullopt;
    auto section = [&](std::size_t i) {
        const std::uint8_t* p = table->data() + i * kSectionHeaderSize;
        return Section{static_cast<std::uint32_t>(Le(p, 4)),
                       static_cast<std::uint32_t>(Le(p + 4, 4)), Le(p + 0x18, 8), Le(p + 0x20, 8)};
    };
    const Section names = section(eh.shstrndx);
    if (names.type == kShtNobits || names.size > kMaxNameTable) return std::nullopt;
    const auto nameTable = file.Read(names.offset, names.size);
    if (!nameTable) return std::nullopt;
    const std::string_view wanted(kVersionSection, sizeof kVersionSection); // with its NUL
    for (std::size_t i = 0; i < eh.shnum; ++i) {
        const Section s = section(i);
        if (s.type == kShtNobits || s.name >= nameTable->size()) continue;
        if (nameTable->size() - s.name < wanted.size()) continue;
        if (std::memcmp(nameTable->data() + s.name, wanted.data(), wanted.size()) != 0) continue;
        if (s.size > kMaxRecord) return std::nullopt;
        return file.Read(s.offset, s.size);
    }
    return std::nullopt;
}

std::string FindValue(const std::vector<std::uint8_t>& record, std::string_view key) {
    if (record.size() < 12 || std::memcmp(record.data(), kVersionMagic, 8) != 0) return {};
    const std::uint64_t count = Le(record.data() + 8, 4);
    std::size_t at = 12;
    auto text = [&](std::string_view& out) {
        if (record.size() - at < 2) return false;
        const auto len = static_cast<std::size_t>(Le(record.data() + at, 2));
        at += 2;
        if (record.size() - at < len) return false;
        out = std::string_view(reinterpret_cast<const char*>(record.data() + at), len);
        at += len;
        return true;
    };
    // The count only bounds the walk; the bytes left decide what is read.
    for (std::uint64_t i = 0; i < count; ++i) {
        std::string_view k, v;
        if (!text(k) || !text(v)) return {};
        if (k == key) return std::string(v);
    }
    return {};
}

std::string TrimBlanks(const std::string& s) {
    auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
    std::size_t b = 0, e = s.size();
    while (b < e && blank(s[b]))
        ++b;
    while (e > b && blank(s[e - 1]))
        --e;
    return s.substr(b, e - b);
}

} // namespace

std::string GetFileVersion(const std::string& FileName) {
    try {
        TFileReader file(FileName);
        const auto record = ReadVersionSection(file);
        if (!record) return {};
        return TrimBlanks(FindValue(*record, kFileVersionKey));
    } catch (...) {
        return {};
    }
}

std::string GetPluginFileName() {
    return fw::ModuleFileName(
        fw::ModuleOfAddress(reinterpret_cast<const void*>(&GetPluginFileName)));
}

std::string GetPluginVersion() {
    return GetFileVersion(GetPluginFileName());
}

fw::TCustomForm* EmbedForm(fw::TCustomForm* Form, fw::TWinControl* Parent, fw::TAlign Align,
                           bool Show) {
    if (!Form) return nullptr;
    // Forms here have no frame or border icons, so there is none to take away.
    Form->SetParent(Parent);
    Form->SetTop(0);
    Form->SetLeft(0);
    Form->SetAlign(Align);
    if (Show) Form->Show();
    return Form;
}

void LockComponent(fw::TComponent* Component) {
    if (Component) Component->SetTag(Component->Tag() + 1);
}

bool IsComponentLocked(const fw::TComponent* Component) {
    return Component && Component->Tag() > 0;
}

void UnlockComponent(fw::TComponent* Component) {
    if (!Component) return;
    Component->SetTag(Component->Tag() > 0 ? Component->Tag() - 1 : 0);
}

} // namespace vel
