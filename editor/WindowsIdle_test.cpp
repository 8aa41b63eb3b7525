// The windows follow the scene and the rig by a look whenever the message
// loop runs dry. That look runs between every two messages, so it must ask
// the host the same few things on any scene, rig or recording.
#include <map>
#include <string>
#include <vector>

#include "DopeSheetForm.h"
#include "TreeFormTestEnv.h"
#include "VelLib.h"

namespace vel {
namespace {

class WindowsIdleTest : public TreeFormTest {
protected:
    void TearDown() override {
        tsxhost::SetCallLog(false);
        TreeFormTest::TearDown();
    }
    // The host calls of one idle pass, by function.
    static std::map<std::string, int> IdleCalls() {
        fw::ProcessMessages(); // what the last step left to follow
        tsxhost::SetCallLog(true);
        tsxhost::ClearCallLog();
        fw::ProcessMessages();
        std::map<std::string, int> calls;
        for (const std::string& line : tsxhost::CallLog())
            ++calls[line.substr(0, line.find('('))];
        tsxhost::SetCallLog(false);
        return calls;
    }
    void Record(int frames) {
        for (int f = 0; f < frames; ++f) {
            velSetActiveFrame(static_cast<float>(f));
            velRecord();
        }
    }
};

TEST_F(WindowsIdleTest, AnIdlePassAsksTheHostTheSameFewThingsWhateverTheSceneAndRig) {
    ASSERT_NE(OpenTools(), nullptr);
    ToolsForm->Show();
    TSkeleton* small = NewSkel();
    Chain(small, {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}});
    Record(2);
    const std::map<std::string, int> few = IdleCalls();
    ASSERT_GT(DopeSheetForm->DopeGrid->Rows(), 0);

    // A long chain recorded over many frames, in a big scene.
    TSkeleton* big = NewSkel();
    std::vector<CtsxVec3f> points;
    for (int i = 0; i <= 300; ++i)
        points.push_back({static_cast<float>(i), 1, 0});
    Chain(big, points);
    for (int i = 0; i < 20000; ++i)
        tsxhost::AddCube("Box", 0.5f);
    Record(30);
    const std::map<std::string, int> many = IdleCalls();
    EXPECT_GT(DopeSheetForm->DopeGrid->Rows(), 300);
    EXPECT_EQ(many, few);
    int total = 0;
    for (const auto& [name, count] : many) {
        total += count;
        // No key is looked for while nothing was edited.
        EXPECT_EQ(name.find("Frame"), std::string::npos) << name;
        EXPECT_EQ(name.find("Time"), std::string::npos) << name;
    }
    EXPECT_LE(total, 8);
}

} // namespace
} // namespace vel
