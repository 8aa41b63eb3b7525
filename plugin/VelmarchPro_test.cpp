#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <elf.h>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Forms.h"
#include "TestPaths.h"
#include "TsxHost.h"
#include "tsxapi.h"

namespace {

class ModuleTest : public ::testing::Test {
protected:
    void SetUp() override {
        // The tool window reads its options from a file of this test, not the user's.
        ::setenv("VEL_SETTINGS_FILE", fw::TestPath("settings.ini").c_str(), 1);
        tsxhost::Reset();
        std::string error;
        ASSERT_TRUE(tsxhost::LoadPluginModule(VEL_PLUGIN_PATH, &error)) << error;
    }
    void TearDown() override { tsxhost::UnloadPluginModule(); }
};

// The names the module's dynamic symbol table defines, read from the file so
// that nothing the loader adds or hides can change the answer.
std::set<std::string> DefinedDynamicSymbols(const char* path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    std::vector<char> file(static_cast<std::size_t>(std::max<std::streamoff>(in.tellg(), 0)));
    in.seekg(0);
    in.read(file.data(), static_cast<std::streamsize>(file.size()));
    std::set<std::string> names;
    auto fits = [&](std::uint64_t offset, std::uint64_t size) {
        return offset <= file.size() && size <= file.size() - offset;
    };
    Elf64_Ehdr eh;
    if (!fits(0, sizeof eh)) return names;
    std::memcpy(&eh, file.data(), sizeof eh);
    if (std::memcmp(eh.e_ident, ELFMAG, SELFMAG) != 0 || eh.e_ident[EI_CLASS] != ELFCLASS64)
        return names;
    auto section = [&](std::uint32_t i) {
        Elf64_Shdr sh{};
        const std::uint64_t at = eh.e_shoff + std::uint64_t{i} * eh.e_shentsize;
        if (i < eh.e_shnum && fits(at, sizeof sh)) std::memcpy(&sh, file.data() + at, sizeof sh);
        return sh;
    };
    for (std::uint32_t i = 0; i < eh.e_shnum; ++i) {
        const Elf64_Shdr dynsym = section(i);
        if (dynsym.sh_type != SHT_DYNSYM || !fits(dynsym.sh_offset, dynsym.sh_size)) continue;
        const Elf64_Shdr strtab = section(dynsym.sh_link);
        if (!fits(strtab.sh_offset, strtab.sh_size)) continue;
        for (std::uint64_t at = 0; at + sizeof(Elf64_Sym) <= dynsym.sh_size;
             at += sizeof(Elf64_Sym)) {
            Elf64_Sym sym;
            std::memcpy(&sym, file.data() + dynsym.sh_offset + at, sizeof sym);
            if (sym.st_shndx == SHN_UNDEF || sym.st_name >= strtab.sh_size) continue;
            const char* name = file.data() + strtab.sh_offset + sym.st_name;
            names.insert(std::string(name, strnlen(name, strtab.sh_size - sym.st_name)));
        }
    }
    return names;
}

std::string Field(const CtsxPluginData& d, std::size_t offset, std::size_t size) {
    const char* p = reinterpret_cast<const char*>(&d) + offset;
    return std::string(p, strnlen(p, size));
}

TEST_F(ModuleTest, AnswersVersionAndDescriptor) {
    CtsxPluginData data;
    std::memset(&data, 0xCC, sizeof data);
    EXPECT_EQ(tsxhost::LoadSequence(4, &data), 430);
    EXPECT_EQ(Field(data, 0, 32), "Velmarch Pro");
    EXPECT_EQ(Field(data, 32, 64), "Orrendale");
    std::uint16_t bmp, str;
    std::memcpy(&bmp, reinterpret_cast<const char*>(&data) + 96, 2);
    std::memcpy(&str, reinterpret_cast<const char*>(&data) + 98, 2);
    EXPECT_EQ(bmp, 101);
    EXPECT_EQ(str, 1);
}

TEST_F(ModuleTest, ExportsExactlyTheHostEntryPointsAndTheScriptingFunctions) {
    const std::set<std::string> expected = {"tsxGetVersion",
                                            "tsxGetData",
                                            "tsxOnLeftClick",
                                            "tsxOnRightClick",
                                            "tsxDeactivate",
                                            "velSetRecordFrame",
                                            "velSetActiveFrame",
                                            "velRecord",
                                            "velNewSkeleton",
                                            "velClearSkeletons",
                                            "velSelectSkeleton",
                                            "velGetFirstSkeleton",
                                            "velGetNextSkeleton",
                                            "velGetFirstBone",
                                            "velGetNextBone",
                                            "velIsSetupMode",
                                            "velSetupMode",
                                            "velAnimateMode",
                                            "velSkeletonGetRecording",
                                            "velSkeletonSetRecording",
                                            "velSetBoneMatrix",
                                            "velGetBoneMatrix",
                                            "velRefreshSkeletons",
                                            "velGetFirstChild",
                                            "velGetNextChild",
                                            "velGetChildSkinCount",
                                            "velGetChildVertexWeights"};
    ASSERT_EQ(expected.size(), 27u);
    EXPECT_EQ(DefinedDynamicSymbols(VEL_PLUGIN_PATH), expected);

    void* self = dlopen(VEL_PLUGIN_PATH, RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(self, nullptr);
    for (const std::string& name : expected)
        EXPECT_NE(dlsym(self, name.c_str()), nullptr) << name;
    // Internal units stay hidden.
    EXPECT_EQ(dlsym(self, "_ZN3vel9PluginIdEv"), nullptr);
    dlclose(self);
}

TEST_F(ModuleTest, ScriptsDriveSkeletonsByName) {
    CtsxPluginData data;
    tsxhost::LoadSequence(1, &data);
    void* self = dlopen(VEL_PLUGIN_PATH, RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(self, nullptr);
    auto fn = [&](const char* name) { return dlsym(self, name); };
    auto newSkeleton = reinterpret_cast<void (*)()>(fn("velNewSkeleton"));
    auto first = reinterpret_cast<CtsxSobj (*)()>(fn("velGetFirstSkeleton"));
    auto next = reinterpret_cast<CtsxSobj (*)(CtsxSobj)>(fn("velGetNextSkeleton"));
    auto firstBone = reinterpret_cast<CtsxSobj (*)(CtsxSobj)>(fn("velGetFirstBone"));
    auto select = reinterpret_cast<int (*)(CtsxSobj)>(fn("velSelectSkeleton"));
    auto clear = reinterpret_cast<void (*)()>(fn("velClearSkeletons"));
    ASSERT_TRUE(newSkeleton && first && next && firstBone && select && clear);

    EXPECT_EQ(first(), nullptr);
    newSkeleton();
    CtsxSobj skeleton = first();
    ASSERT_NE(skeleton, nullptr);
    EXPECT_EQ(tsxhost::FullName(skeleton), "Skeleton");
    EXPECT_EQ(next(skeleton), nullptr);
    EXPECT_EQ(firstBone(skeleton), nullptr);
    EXPECT_EQ(select(skeleton), 1);
    clear();
    EXPECT_EQ(first(), nullptr);
    EXPECT_EQ(select(skeleton), 0);
    dlclose(self);
}

TEST_F(ModuleTest, ClicksOpenAndCloseTheToolWindow) {
    CtsxPluginData data;
    tsxhost::LoadSequence(1, &data);
    const int before = fw::Application()->FormCount();
    EXPECT_EQ(tsxhost::ClickLeft(), 1);
    ASSERT_EQ(fw::Application()->FormCount(), before + 1);
    fw::TCustomForm* tools = fw::Application()->Forms(before);
    EXPECT_EQ(tools->Name(), "ToolsForm");
    EXPECT_TRUE(tools->Visible());
    tsxhost::Deactivate();
    EXPECT_FALSE(tools->Visible());
    // A second click shows the same window again.
    tsxhost::ClickLeft();
    EXPECT_EQ(fw::Application()->FormCount(), before + 1);
    EXPECT_TRUE(tools->Visible());
    tsxhost::ClickRight();
    EXPECT_EQ(fw::Application()->Forms(before + 1)->Name(), "AboutForm");
}

} // namespace
