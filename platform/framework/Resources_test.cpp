#include "Resources.h"
#include "TestPaths.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fw {
namespace {

namespace fs = std::filesystem;

struct ResourcesTest : ::testing::Test {
    fs::path Dir;
    ResourcesTest() {
        Dir = TestDir() / "resources";
        fs::create_directories(Dir);
        TBitmap arrow(3, 2);
        arrow.Clear(clRed);
        arrow.SaveToFile((Dir / "Arrow.bmp").string());
        TBitmap lower(1, 1);
        lower.SaveToFile((Dir / "lt_flat.vbm").string());
        std::ofstream((Dir / "notes.txt").string()) << "hello";
        std::ofstream((Dir / "Broken.bmp").string()) << "BMnot really";
        ClearResourcePaths();
        AddResourcePath(Dir.string());
    }
    ~ResourcesTest() override {
        ClearResourcePaths();
        std::error_code ec;
        fs::remove_all(Dir, ec);
    }
};

TEST_F(ResourcesTest, PicturesAreFoundByNameWithAnyKnownExtension) {
    auto arrow = LoadBitmapResource("Arrow");
    EXPECT_EQ(arrow->Width(), 3);
    EXPECT_EQ(arrow->Surface().Pixel(0, 0), 0xFFFF0000u);
    // Upper-case names also find lower-case files.
    EXPECT_EQ(LoadBitmapResource("LT_FLAT")->Width(), 1);
    EXPECT_EQ(ResourcePaths().front(), Dir.string());
}

TEST_F(ResourcesTest, MissingBadAndEscapingNamesAreRefused) {
    EXPECT_THROW(LoadBitmapResource("Nothing"), EResNotFound);
    EXPECT_THROW(LoadBitmapResource("../Arrow"), EResNotFound);
    EXPECT_THROW(LoadBitmapResource(""), EResNotFound);
    EXPECT_THROW(LoadBitmapResource("Broken"), EInvalidGraphic);
    EXPECT_FALSE(IsValidResourceName(".hidden"));
    EXPECT_FALSE(IsValidResourceName("a/b"));
    EXPECT_FALSE(IsValidResourceName("a\\b"));
    EXPECT_TRUE(IsValidResourceName("LT_CHECK_LIGHT"));
}

TEST_F(ResourcesTest, RawDataHonoursItsSizeLimit) {
    const auto data = LoadResourceData("notes.txt");
    EXPECT_EQ(std::string(data.begin(), data.end()), "hello");
    EXPECT_THROW(LoadResourceData("notes.txt", 3), EInvalidGraphic);
    EXPECT_THROW(LoadResourceData("none.txt"), EResNotFound);
}

} // namespace
} // namespace fw
