#include "Settings.h"
#include "TestPaths.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fw {
namespace {

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        Dir = TestDir() / "settings";
        std::filesystem::remove_all(Dir);
        File = (Dir / "sub" / "settings.ini").string();
    }
    void TearDown() override { std::filesystem::remove_all(Dir); }
    void WriteFile(const std::string& text) {
        std::filesystem::create_directories(Dir / "sub");
        std::ofstream(File, std::ios::binary) << text;
    }
    std::string ReadFile() {
        std::ifstream in(File, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    std::filesystem::path Dir;
    std::string File;
};

TEST_F(SettingsTest, ValuesSurviveARoundTripThroughTheFile) {
    {
        TSettingsStore s(File);
        ASSERT_TRUE(s.OpenKey("Software\\Orrendale\\Velmarch", true));
        s.WriteInteger("WindowLeft", -120);
        s.WriteBool("OptAutoSelect", true);
        s.WriteString("Title", "a=b [c] 100%\nnext");
        s.WriteInteger("Big", 2147483647);
        s.CloseKey();
    }
    TSettingsStore s(File);
    EXPECT_EQ(s.LastError(), "");
    EXPECT_FALSE(s.OpenKey("Software\\Other", false));
    ASSERT_TRUE(s.OpenKey("\\software\\ORRENDALE\\velmarch", false)); // case does not matter
    EXPECT_EQ(s.ReadInteger("windowleft"), -120);
    EXPECT_TRUE(s.ReadBool("OptAutoSelect"));
    EXPECT_EQ(s.ReadString("Title"), "a=b [c] 100%\nnext");
    EXPECT_EQ(s.ReadInteger("Big"), 2147483647);
    EXPECT_TRUE(s.ValueExists("TITLE"));
}

TEST_F(SettingsTest, MissingValuesThrowExceptTextWhichIsEmpty) {
    TSettingsStore s(File);
    EXPECT_THROW(s.ReadInteger("X"), ESettingsError); // no key open
    EXPECT_THROW(s.WriteInteger("X", 1), ESettingsError);
    ASSERT_TRUE(s.OpenKey("Software\\A", true));
    EXPECT_FALSE(s.ValueExists("X"));
    EXPECT_THROW(s.ReadInteger("X"), ESettingsError);
    EXPECT_THROW(s.ReadBool("X"), ESettingsError);
    EXPECT_EQ(s.ReadString("X"), "");
    s.WriteString("T", "text");
    EXPECT_THROW(s.ReadInteger("T"), ESettingsError); // wrong type
    s.WriteInteger("N", 3);
    EXPECT_THROW(s.ReadString("N"), ESettingsError);
    EXPECT_TRUE(s.DeleteValue("N"));
    EXPECT_FALSE(s.DeleteValue("N"));
}

TEST_F(SettingsTest, KeysOpenRelativeToTheOpenKeyAndParentsExist) {
    TSettingsStore s(File);
    ASSERT_TRUE(s.OpenKey("Software\\Orrendale", true));
    ASSERT_TRUE(s.OpenKey("Velmarch\\Grid", true));
    EXPECT_EQ(s.CurrentPath(), "Software\\Orrendale\\Velmarch\\Grid");
    EXPECT_TRUE(s.KeyExists("\\Software\\Orrendale\\Velmarch"));
    EXPECT_TRUE(s.KeyExists("\\Software"));
}

TEST_F(SettingsTest, NothingIsWrittenUntilCloseOrDestruction) {
    TSettingsStore s(File);
    s.OpenKey("K", true);
    s.WriteInteger("V", 1);
    EXPECT_FALSE(std::filesystem::exists(File));
    s.CloseKey();
    EXPECT_TRUE(std::filesystem::exists(File));
    // No temporary files are left beside it.
    int files = 0;
    for (const auto& e : std::filesystem::directory_iterator(Dir / "sub"))
        (void)e, ++files;
    EXPECT_EQ(files, 1);
}

TEST_F(SettingsTest, AFileTooLargeToReadBackIsNotWritten) {
    {
        TSettingsStore s(File);
        s.OpenKey("K", true);
        s.WriteString("Kept", "before");
        s.CloseKey();
    }
    const std::string before = ReadFile();
    TSettingsStore s(File);
    s.OpenKey("K", false);
    s.WriteString("Huge", std::string(17u << 20, 'x'));
    EXPECT_FALSE(s.Flush());
    EXPECT_NE(s.LastError().find("too large"), std::string::npos) << s.LastError();
    EXPECT_EQ(ReadFile(), before);
    // Taken back, the rest is written as before.
    s.DeleteValue("Huge");
    s.WriteString("Also", "after");
    EXPECT_TRUE(s.Flush());
    TSettingsStore again(File);
    again.OpenKey("K", false);
    EXPECT_EQ(again.ReadString("Kept"), "before");
    EXPECT_EQ(again.ReadString("Also"), "after");
    EXPECT_EQ(again.LastError(), "");
}

TEST_F(SettingsTest, ACorruptedFileKeepsItsGoodLinesAndSaysWhatWasWrong) {
    WriteFile("[Software\\A]\n"
              "Good=i:5\n"
              "Bad=i:12x\n"
              "TooBig=i:99999999999\n"
              "NoType=7\n"
              "Odd=q:1\n"
              "Text=s:%4\n"
              "[Broken\n"
              "Lost=i:1\n"
              "[Software\\B]\n"
              "Fine=s:ok%20here\n");
    TSettingsStore s(File);
    EXPECT_NE(s.LastError().find("line 3"), std::string::npos) << s.LastError();
    ASSERT_TRUE(s.OpenKey("Software\\A", false));
    EXPECT_EQ(s.ReadInteger("Good"), 5);
    EXPECT_FALSE(s.ValueExists("Bad"));
    EXPECT_FALSE(s.ValueExists("TooBig"));
    EXPECT_FALSE(s.ValueExists("NoType"));
    EXPECT_FALSE(s.ValueExists("Text"));
    EXPECT_FALSE(s.ValueExists("Lost"));
    ASSERT_TRUE(s.OpenKey("\\Software\\B", false));
    EXPECT_EQ(s.ReadString("Fine"), "ok here");
}

TEST_F(SettingsTest, BinaryGarbageIsNotACrash) {
    std::string junk;
    for (int i = 0; i < 4096; ++i)
        junk += static_cast<char>((i * 131) & 0xFF);
    WriteFile(junk);
    TSettingsStore s(File);
    EXPECT_FALSE(s.LastError().empty());
    EXPECT_TRUE(s.OpenKey("Software\\New", true));
    s.WriteInteger("V", 9);
    EXPECT_TRUE(s.Flush());
    TSettingsStore again(File);
    ASSERT_TRUE(again.OpenKey("Software\\New", false));
    EXPECT_EQ(again.ReadInteger("V"), 9);
}

TEST_F(SettingsTest, ADeepKeyCostsNoMoreThanItsLength) {
    // 4000 levels in one 8 KB line: storing every parent's path would take
    // 16 MB and write them all back out.
    std::string path;
    for (int i = 0; i < 4000; ++i)
        path += "k\\";
    WriteFile("[" + path + "]\nV=i:1\n");
    {
        TSettingsStore s(File);
        EXPECT_EQ(s.LastError(), "");
        EXPECT_TRUE(s.KeyExists("\\K\\k\\K"));
        EXPECT_FALSE(s.KeyExists("\\k\\x"));
        ASSERT_TRUE(s.OpenKey("\\k\\k", false)); // a parent opens and takes values
        s.WriteInteger("P", 2);
        ASSERT_TRUE(s.OpenKey("\\" + path, false));
        EXPECT_EQ(s.ReadInteger("V"), 1);
        EXPECT_FALSE(s.DeleteValue("Missing"));
    }
    EXPECT_LT(ReadFile().size(), 3 * path.size());
    TSettingsStore s(File);
    ASSERT_TRUE(s.OpenKey("\\K\\K", false));
    EXPECT_EQ(s.ReadInteger("P"), 2);
    EXPECT_TRUE(s.KeyExists("\\k\\k\\k\\k"));
}

TEST_F(SettingsTest, DefaultFileFollowsTheEnvironment) {
    const char* old = std::getenv("VEL_SETTINGS_FILE");
    const std::string saved = old ? old : "";
    setenv("VEL_SETTINGS_FILE", File.c_str(), 1);
    EXPECT_EQ(DefaultSettingsFile(), File);
    unsetenv("VEL_SETTINGS_FILE");
    const std::string def = DefaultSettingsFile();
    EXPECT_NE(def.find("/.config/velmarch/settings.ini"), std::string::npos);
    if (old) setenv("VEL_SETTINGS_FILE", saved.c_str(), 1);
}

} // namespace
} // namespace fw
