#include <cstring>
#include <dlfcn.h>
#include <string>

#include <gtest/gtest.h>

#include "Forms.h"
#include "TsxHost.h"
#include "tsxapi.h"

namespace {

class ModuleTest : public ::testing::Test {
protected:
    void SetUp() override {
        tsxhost::Reset();
        std::string error;
        ASSERT_TRUE(tsxhost::LoadPluginModule(VEL_PLUGIN_PATH, &error)) << error;
    }
    void TearDown() override { tsxhost::UnloadPluginModule(); }
};

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

TEST_F(ModuleTest, ExportsExactlyTheHostEntryPoints) {
    void* self = dlopen(VEL_PLUGIN_PATH, RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(self, nullptr);
    for (const char* name :
         {"tsxGetVersion", "tsxGetData", "tsxOnLeftClick", "tsxOnRightClick", "tsxDeactivate"})
        EXPECT_NE(dlsym(self, name), nullptr) << name;
    // Internal units stay hidden.
    EXPECT_EQ(dlsym(self, "_ZN3vel9PluginIdEv"), nullptr);
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
