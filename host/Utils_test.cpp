#include "Utils.h"

#include <cstdio>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "TestPaths.h"
#include "VersionFiles.h"

namespace vel {
namespace {

using testing::Bytes;
using testing::ElfFile;
using testing::VersionRecord;
const std::string kKey = testing::kFileVersionKey;

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
    EXPECT_EQ(VersionOf(ElfFile({{".vel.verinfo", VersionRecord(kKey, " \t2.5.1 \r\n")}})),
              "2.5.1");
    EXPECT_EQ(VersionOf(ElfFile(
                  {{".text", Bytes(40, 0x90)},
                   {".vel.verinfo", VersionRecord({{"ProductName", "Rig"}, {kKey, "3.0"}}, 2)}})),
              "3.0");
    // Another language block, a blank value, the record in another section.
    EXPECT_EQ(VersionOf(ElfFile(
                  {{".vel.verinfo", VersionRecord("StringFileInfo\\040704B0\\FileVersion", "9")}})),
              "");
    EXPECT_EQ(VersionOf(ElfFile({{".vel.verinfo", VersionRecord(kKey, "   ")}})), "");
    EXPECT_EQ(VersionOf(ElfFile({{".data", VersionRecord(kKey, "1.2")}})), "");
    // A count beyond what the record holds.
    EXPECT_EQ(VersionOf(ElfFile({{".vel.verinfo", VersionRecord({{"other", "x"}}, 0xFFFFFFFFu)}})),
              "");
}

TEST(FileVersionTest, MissingOrDamagedFilesAnswerNothing) {
    EXPECT_EQ(GetFileVersion(fw::TestPath("no_such_file")), "");
    EXPECT_EQ(VersionOf(Bytes(100, 'x')), "");
    const Bytes good = ElfFile({{".vel.verinfo", VersionRecord(kKey, "7.7")}});
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
