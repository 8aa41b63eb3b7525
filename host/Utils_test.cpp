#include "Utils.h"

#include <cstdio>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "TestPaths.h"

namespace vel {
namespace {

using Bytes = std::vector<std::uint8_t>;

void PutLe(Bytes& b, std::size_t at, std::uint64_t v, std::size_t bytes) {
    if (b.size() < at + bytes) b.resize(at + bytes);
    for (std::size_t i = 0; i < bytes; ++i)
        b[at + i] = i < 8 ? static_cast<std::uint8_t>(v >> (8 * i)) : 0;
}

Bytes Record(const std::vector<std::pair<std::string, std::string>>& entries, std::uint32_t count) {
    Bytes r = {'V', 'E', 'L', 'V', 'I', 'N', 'F', '1'};
    PutLe(r, 8, count, 4);
    for (const auto& [key, value] : entries)
        for (const std::string& text : {key, value}) {
            PutLe(r, r.size(), text.size(), 2);
            r.insert(r.end(), text.begin(), text.end());
        }
    return r;
}

Bytes Record(const std::string& key, const std::string& value) {
    return Record({{key, value}}, 1);
}

// A 64-bit little-endian ELF file with a name table and the given sections.
Bytes Elf(const std::vector<std::pair<std::string, Bytes>>& sections) {
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

const std::string kKey = "StringFileInfo\\040904E4\\FileVersion";

std::string VersionOf(const Bytes& bytes) {
    const std::string path = fw::TestPath("version_record.bin");
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    std::string v = GetFileVersion(path);
    std::remove(path.c_str());
    return v;
}

TEST(FileVersionTest, TheModuleCarriesItsOwnVersion) {
    EXPECT_NE(GetPluginFileName().find("velhost_tests"), std::string::npos);
    EXPECT_EQ(GetPluginVersion(), "1.0.0.0");
}

TEST(FileVersionTest, RecordsOfOurMaking) {
    EXPECT_EQ(VersionOf(Elf({{".vel.verinfo", Record(kKey, " \t2.5.1 \r\n")}})), "2.5.1");
    EXPECT_EQ(
        VersionOf(Elf({{".text", Bytes(40, 0x90)},
                       {".vel.verinfo", Record({{"ProductName", "Rig"}, {kKey, "3.0"}}, 2)}})),
        "3.0");
    // Another language block, a blank value, the record in another section.
    EXPECT_EQ(
        VersionOf(Elf({{".vel.verinfo", Record("StringFileInfo\\040704B0\\FileVersion", "9")}})),
        "");
    EXPECT_EQ(VersionOf(Elf({{".vel.verinfo", Record(kKey, "   ")}})), "");
    EXPECT_EQ(VersionOf(Elf({{".data", Record(kKey, "1.2")}})), "");
    // A count beyond what the record holds.
    EXPECT_EQ(VersionOf(Elf({{".vel.verinfo", Record({{"other", "x"}}, 0xFFFFFFFFu)}})), "");
}

TEST(FileVersionTest, MissingOrDamagedFilesAnswerNothing) {
    EXPECT_EQ(GetFileVersion(fw::TestPath("no_such_file")), "");
    EXPECT_EQ(VersionOf(Bytes(100, 'x')), "");
    const Bytes good = Elf({{".vel.verinfo", Record(kKey, "7.7")}});
    ASSERT_EQ(VersionOf(good), "7.7");
    for (std::size_t n = 0; n < good.size(); ++n)
        EXPECT_EQ(VersionOf(Bytes(good.begin(), good.begin() + n)), "") << n;
    for (std::size_t at = 0; at < 64; ++at) {
        Bytes bad = good;
        bad[at] = 0xFF;
        const std::string v = VersionOf(bad);
        EXPECT_TRUE(v.empty() || v == "7.7") << at;
    }
}

TEST(UtilsTest, FlagsAndTheLockCounter) {
    EXPECT_TRUE(HasFlags(5, 4));
    EXPECT_FALSE(HasFlags(5, 6));
    EXPECT_TRUE(HasFlags(0, 0));
    EXPECT_TRUE(HasFlags(0x80000001u, 0x80000000u));
    std::uint32_t flags = 0x10;
    IncludeFlags(flags, 0x81);
    ExcludeFlags(flags, 0x13);
    EXPECT_EQ(flags, 0x80u);

    fw::TComponent c(nullptr);
    UnlockComponent(&c);
    EXPECT_EQ(c.Tag(), 0);
    LockComponent(&c);
    LockComponent(&c);
    UnlockComponent(&c);
    EXPECT_TRUE(IsComponentLocked(&c));
    UnlockComponent(&c);
    EXPECT_FALSE(IsComponentLocked(&c));
    c.SetTag(-4);
    UnlockComponent(&c);
    EXPECT_EQ(c.Tag(), 0);
}

struct TTracked {
    TTracked(std::vector<int>& log, int id) : Log(log), Id(id) {}
    ~TTracked() { Log.push_back(Id); }
    std::vector<int>& Log;
    int Id;
};

TEST(UtilsTest, FreeListAndObjectsFreesInIndexOrderAndKeepsTheList) {
    std::vector<int> freed;
    std::vector<std::unique_ptr<TTracked>> list;
    for (int i = 0; i < 4; ++i)
        list.push_back(std::make_unique<TTracked>(freed, i));
    list.push_back(nullptr);
    FreeListAndObjects(&list);
    FreeListAndObjects<TTracked>(nullptr);
    EXPECT_EQ(freed, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_TRUE(list.empty());
}

TEST(UtilsTest, EmbedFormFillsThePanel) {
    fw::TForm host(nullptr);
    auto* panel = fw::Create<fw::TWinControl>(&host);
    panel->SetParent(&host);
    panel->SetBounds(10, 20, 200, 150);
    auto* shown = fw::Create<fw::TForm>(&host);
    auto* hidden = fw::Create<fw::TForm>(&host);
    for (auto* f : {shown, hidden})
        f->SetBounds(50, 60, 80, 90);
    EXPECT_EQ(EmbedForm(shown, panel, fw::alClient, true), shown);
    EmbedForm(hidden, panel, fw::alNone, false);
    EXPECT_EQ(shown->Parent(), panel);
    EXPECT_EQ(shown->BoundsRect(), fw::Rect(0, 0, 200, 150));
    EXPECT_TRUE(shown->Visible());
    EXPECT_EQ(hidden->BoundsRect(), fw::Rect(0, 0, 80, 90));
    EXPECT_FALSE(hidden->Visible());
}

} // namespace
} // namespace vel
