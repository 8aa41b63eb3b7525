// The rig after the host closes the scene it was made for: nothing made for
// the closed scene reaches the next one, before the rig's load timer or after
// it, through a page switch, a script, a render, a redraw, a save or an
// object-load rebuild, whether the host hands the freed handles out again or
// not.
#include <cstdint>
#include <string>
#include <vector>

#include "MainForm.h"
#include "RowsFollowTestEnv.h"
#include "TreeFormTestEnv.h"
#include "VelLib.h"

namespace vel {
namespace {

using TBytes = std::vector<std::uint8_t>;

class SceneCloseTest : public TreeFormTest {
protected:
    void SetUp() override {
        TreeFormTest::SetUp();
        ASSERT_NE(OpenTools(), nullptr);
        empty = tsxhost::SaveSceneToBytes();
    }
    // Twelve cubes of the user's at (40, 40, i), saved and then deleted: a
    // scene without a rig, whose cubes may take the rig's freed handles.
    static TBytes Lamps() {
        std::vector<CtsxSobj> lamps;
        for (int i = 0; i < 12; ++i) {
            lamps.push_back(tsxhost::AddCube("Lamp", 0.5f));
            const CtsxVec3f at{40, 40, static_cast<float>(i)};
            tsxGNodeSetLocation(lamps.back(), &at);
        }
        TBytes bytes = tsxhost::SaveSceneToBytes();
        for (CtsxSobj lamp : lamps)
            tsxhost::Delete(lamp);
        return bytes;
    }
    // Every object's transform, in scene order.
    static std::vector<float> Places() {
        std::vector<float> places;
        for (CtsxSobj node : tsxhost::SceneNodes()) {
            CtsxTxmx3f m{};
            tsxGNodeGetTransform(node, &m);
            places.insert(places.end(), std::begin(m.m), std::end(m.m));
        }
        return places;
    }
    static void Open(const TBytes& bytes) {
        std::string error;
        ASSERT_TRUE(tsxhost::LoadSceneFromBytes(bytes, &error)) << error;
        fw::ProcessMessages();
    }
    static void LoadTimer() {
        fw::AdvanceClock(kLoadTimerInterval);
        fw::ProcessMessages();
    }
    TBytes empty;
};

// What the user, a script or the host does once the scene was replaced.
struct TAction {
    const char* Name;
    bool BeforeOpen; // done before the scene is opened
    void (*Run)();
};

const TAction kActions[] = {
    {"page switches", false,
     [] {
         for (int i = 0; i < 2; ++i)
             ToolsForm->PageControl->SelectPage(ToolsForm->PageControl->ActivePage() ==
                                                        ToolsForm->SetupSheet
                                                    ? ToolsForm->AnimateSheet
                                                    : ToolsForm->SetupSheet);
     }},
    {"script", false,
     [] {
         velSetupMode();
         velAnimateMode();
         velRefreshSkeletons();
         velSetActiveFrame(3);
         velRecord();
         velSetRecordFrame(4);
         velSelectSkeleton(velGetFirstSkeleton());
     }},
    {"render", false,
     [] {
         tsxhost::SendRenderEvent(1, 2); // begin
         tsxhost::SendRenderEvent(3, 2); // frame start
         tsxhost::SetTime(2);
         tsxhost::SendRenderEvent(2, 2); // end
     }},
    {"redraw", false,
     [] {
         EditorServices().MarkFrameDirty();
         tsxhost::IdleRedraw();
     }},
    {"save", false, [] { tsxhost::SendGeneralEvent(e_tsxGA_SCNSAVE); }},
    {"objects loaded", true, [] { tsxhost::SendGeneralEvent(e_tsxGA_OBJLOAD); }},
};

TEST_F(SceneCloseTest, NothingMadeForAClosedSceneActsOnTheNextOne) {
    for (const bool reuse : {false, true})
        for (const bool rigScene : {false, true})
            for (const bool afterTimer : {false, true})
                for (const TAction& action : kActions) {
                    const std::string step = std::string(action.Name) +
                                             (reuse ? ", handles reused" : "") +
                                             (rigScene ? ", the rig's scene" : ", lamps") +
                                             (afterTimer ? ", after the timer" : "");
                    SCOPED_TRACE(step);
                    Open(empty);
                    LoadTimer();
                    tsxhost::SetReuseHandles(reuse);
                    const TBytes lamps = Lamps();
                    TSkeleton* s = NewSkel();
                    Chain(s, {{0, 0, 0}, {2, 0, 0}, {3, 1, 0}});
                    velAnimateMode();
                    fw::ProcessMessages();
                    if (action.BeforeOpen) action.Run();
                    Open(rigScene ? tsxhost::SaveSceneToBytes() : lamps);
                    tsxhost::ResetStaleUses();
                    const std::vector<float> before = Places();
                    if (afterTimer) LoadTimer();
                    if (!action.BeforeOpen) action.Run();
                    fw::ProcessMessages();
                    LoadTimer();
                    EXPECT_EQ(tsxhost::StaleUses(), 0);
                    if (!rigScene) {
                        EXPECT_EQ(Places(), before); // no lamp moved
                    }
                    EXPECT_EQ(SkeletonCount(), rigScene ? 1 : 0);
                    EXPECT_EQ(velGetFirstSkeleton(), rigScene ? SkeletonByIndex(0)->SkeletonObject
                                                              : nullptr);
                    ExpectRigInScene(step, "Lamp");
                    ExpectRowsFollow(step);
                    tsxhost::SetReuseHandles(false);
                    if (HasFailure()) return;
                }
}

} // namespace
} // namespace vel
