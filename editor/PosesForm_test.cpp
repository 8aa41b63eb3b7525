#include "PosesForm.h"

#include "SkeletonState.h"
#include "TreeFormTestEnv.h"

namespace vel {
namespace {

class PosesTest : public TreeFormTest {
protected:
    // A skeleton with poses of the names given, made current.
    TSkeleton* WithPoses(std::initializer_list<const char*> names) {
        TSkeleton* s = NewSkel();
        Chain(s, {{0, 0, 0}, {1, 0, 0}});
        for (const char* name : names)
            s->PoseList.push_back(s->CaptureState(name, false, false));
        return s;
    }
};

TEST_F(PosesTest, TheRowsAreTheCurrentSkeletonsPosesByName) {
    TSkeleton* walk = WithPoses({"Rest", "Stride", "Wave"});
    ASSERT_NE(OpenTools(), nullptr); // fills itself when made
    EXPECT_EQ(PosesForm->Tree()->RootNodeCount(), 3u);
    EXPECT_EQ(Rows(PosesForm), (std::vector<std::string>{"Rest", "Stride", "Wave"}));
    EXPECT_EQ(PosesForm->PoseOf(PosesForm->Tree()->GetLast()), walk->PoseList[2].get());

    walk->PoseList.push_back(walk->CaptureState("Bow", false, false));
    walk->PoseList[0]->Name = "Stand";
    PosesForm->RefreshPoseTree();
    EXPECT_EQ(Rows(PosesForm), (std::vector<std::string>{"Stand", "Stride", "Wave", "Bow"}));

    // Another skeleton with as many poses: rows and keys start again.
    const TNodeKey walkKey = PosesForm->KeyOf(PosesForm->Tree()->GetFirst());
    SetCurrentSkeleton(WithPoses({"A", "B", "C", "D"})); // the rig refreshes the list
    EXPECT_EQ(Rows(PosesForm), (std::vector<std::string>{"A", "B", "C", "D"}));
    EXPECT_EQ(PosesForm->Keys().Find(walkKey), nullptr);

    SetCurrentSkeleton(nullptr);
    EXPECT_EQ(PosesForm->Tree()->RootNodeCount(), 0u);
    EXPECT_EQ(PosesForm->Keys().Count(), 0u);
}

TEST_F(PosesTest, AKeyFindsNothingOnceItsPoseOrItsSkeletonHasGone) {
    TSkeleton* s = WithPoses({"Rest", "Wave"});
    ASSERT_NE(OpenTools(), nullptr);
    PLazyNode wave = PosesForm->Tree()->GetLast();
    const TNodeKey waveKey = PosesForm->KeyOf(wave);
    ASSERT_NE(PosesForm->PoseOfKey(waveKey), nullptr);
    s->PoseList.pop_back(); // before the list is refreshed
    EXPECT_EQ(PosesForm->PoseOfKey(waveKey), nullptr);
    EXPECT_EQ(PosesForm->RowText(wave), "");
    PosesForm->RefreshPoseTree();
    EXPECT_EQ(PosesForm->Tree()->RootNodeCount(), 1u);

    const TNodeKey restKey = PosesForm->KeyOf(PosesForm->Tree()->GetFirst());
    tsxhost::Delete(s->SkeletonObject); // the skeleton goes with its group
    EXPECT_EQ(PosesForm->PoseOfKey(restKey), nullptr);
}

} // namespace
} // namespace vel
