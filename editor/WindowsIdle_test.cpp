// The windows follow the scene and the rig by a look whenever the message
// loop runs dry. That look runs between every two messages, so it must ask
// the host no more on a big scene, rig or recording than on a small one: the
// same few things, and a few key tracks taking their turn.
#include <map>
#include <string>
#include <vector>

#include "Attributes.h"
#include "DopeSheetForm.h"
#include "Switchboard.h"
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
    static bool KeyLookUp(const std::string& Name) {
        return Name.find("Frame") != std::string::npos || Name.find("Time") != std::string::npos ||
               Name == "tsxIsSobj";
    }
    static std::map<std::string, int> WithoutKeyLookUps(std::map<std::string, int> Calls) {
        std::erase_if(Calls, [](const auto& Call) { return KeyLookUp(Call.first); });
        return Calls;
    }
    static int Total(const std::map<std::string, int>& Calls) {
        int total = 0;
        for (const auto& [name, count] : Calls)
            total += count;
        return total;
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
    // The same calls but for the key look-ups of the tracks whose turn it
    // is: all 8 of the small rig's, 32 or 33 of the big one's.
    EXPECT_EQ(WithoutKeyLookUps(many), WithoutKeyLookUps(few));
    // The scene's ends and the three shapes' objects (5), the host's time,
    // a liveness check a row and four look-ups a track; then the keys seen
    // checked in turn, with a liveness check for each row they lie in.
    const int bound = 5 + 1 + static_cast<int>(TDopeSheetForm::TracksPerIdle) +
                      4 * static_cast<int>(TDopeSheetForm::TracksPerIdle + 1) +
                      2 * static_cast<int>(TDopeSheetForm::KeysCheckedPerIdle);
    EXPECT_LE(Total(few), bound);
    EXPECT_LE(Total(many), bound);
    EXPECT_GT(Total(many), Total(few));
}

TEST_F(WindowsIdleTest, AKeyTheHostMakesOutsideTheRigsEditsGetsItsColumnWithinAFewPasses) {
    ASSERT_NE(OpenTools(), nullptr);
    TSkeleton* s = NewSkel();
    std::vector<CtsxVec3f> points;
    for (int i = 0; i <= 300; ++i)
        points.push_back({static_cast<float>(i), 1, 0});
    std::vector<TJoint*> joints = Chain(s, points);
    fw::ProcessMessages();
    const std::size_t tracks = 2 * joints.size() + s->Bones.List.size();
    const std::size_t passes = (tracks + TDopeSheetForm::TracksPerIdle - 1) /
                               TDopeSheetForm::TracksPerIdle;
    // Passes until a frame has its column; passes + 1 when it never does.
    auto passesUntil = [&](std::int32_t Frame) {
        std::size_t n = 0;
        while (n <= passes && !DopeSheetForm->ColOfFrame(Frame)) {
            fw::ProcessMessages();
            ++n;
        }
        return n;
    };
    // The host keys the last bone's Twist at 40, outside any rig edit: the
    // first key of any track.
    const std::uint64_t edits = EditCount();
    tsxSobjInsertFrame(s->Bones.Items(s->Bones.Count() - 1)->Node, tsxFrameCreate(TwistAttribute),
                       0, 40);
    EXPECT_EQ(EditCount(), edits);
    EXPECT_LE(passesUntil(40), passes);
    const int last = DopeSheetForm->DopeGrid->Rows();
    EXPECT_EQ(VarToText(DopeSheetForm->DopeGrid->CellValue(DopeSheetForm->ColOfFrame(40), last)),
              "Twist");

    // Keys recorded, then the host's keys before the first and after the
    // last of a joint in the middle.
    Record(3);
    fw::ProcessMessages();
    TJoint* middle = joints[joints.size() / 2];
    tsxSobjInsertFrame(middle->Node, tsxFrameCreate(TSX_KIND_LOCATION), 0, -6);
    tsxSobjInsertFrame(middle->Node, tsxFrameCreate(TSX_KIND_LOCATION), 0, 55);
    EXPECT_LE(passesUntil(-6), passes);
    EXPECT_NE(DopeSheetForm->ColOfFrame(55), 0);
    // The sheet's rows: the joints first, in chain order.
    const int row = static_cast<int>(joints.size() / 2) + 1;
    EXPECT_EQ(DopeSheetForm->ObjectOfRow(row), middle->Node);
    EXPECT_EQ(DopeSheetForm->KeysAt(DopeSheetForm->ColOfFrame(-6), row), dkLocation);
    EXPECT_EQ(DopeSheetForm->KeysAt(DopeSheetForm->ColOfFrame(55), row), dkLocation);
}

} // namespace
} // namespace vel
