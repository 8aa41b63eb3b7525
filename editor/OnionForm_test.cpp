#include "OnionForm.h"

#include <limits>

#include "EditorWindowsTestEnv.h"
#include "Joint.h"
#include "PaintBox32.h"
#include "Skeleton.h"
#include "Switchboard.h"
#include "ValueTrack.h"

namespace vel {
namespace {

class OnionTest : public EditorWindowsTest {
protected:
    void SetUp() override {
        EditorWindowsTest::SetUp();
        onion = fw::Application()->CreateForm<TOnionForm>();
        OnionForm = onion;
    }
    void TearDown() override {
        fw::Free(onion);
        EditorWindowsTest::TearDown();
    }
    // Two bones along x, keyed at frames 0, 10 and 20 with the end joint at
    // z = -0.5, 0 and 0.5; the time back at 10.
    TSkeleton* Recorded() {
        TSkeleton* s = NewSkel();
        joints = Chain(s, {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}});
        for (int f : {0, 10, 20}) {
            tsxAnimSetActiveTime(static_cast<float>(f));
            joints[2]->SetPosition(CtsxVec3f{2, 0, static_cast<float>(f - 10) / 20});
            s->Record();
        }
        tsxhost::SetTime(10);
        return s;
    }
    // The picture's pixel at a world point.
    TColor32 PixelAt(const CtsxVec3f& p) const {
        float x = 0, y = 0;
        EXPECT_TRUE(tsxAViewProject(&p, &x, &y));
        const int px = static_cast<int>(x), py = static_cast<int>(y);
        const TBitmap32& picture = onion->Picture();
        const bool inside = px >= 0 && py >= 0 && px < picture.Width() && py < picture.Height();
        EXPECT_TRUE(inside) << p.x << " " << p.y << " " << p.z;
        return inside ? picture.Pixel(px, py) : 0;
    }
    static int Red(TColor32 c) { return static_cast<int>((c >> 16) & 0xFF); }
    static int Blue(TColor32 c) { return static_cast<int>(c & 0xFF); }

    TOnionForm* onion = nullptr;
    std::vector<TJoint*> joints;
};

TEST_F(OnionTest, NeighbourFramesAreTheNearestRecordedOnes) {
    TSkeleton* s = NewSkel();
    joints = Chain(s, {{0, 0, 0}, {1, 0, 0}});
    for (int f : {0, 5, 10, 15, 20, 25}) {
        tsxAnimSetActiveTime(static_cast<float>(f));
        s->Record();
    }
    std::vector<float> earlier, later;
    TOnionForm::NeighbourFrames(*s, 12, 2, earlier, later);
    EXPECT_EQ(earlier, (std::vector<float>{10, 5}));
    EXPECT_EQ(later, (std::vector<float>{15, 20}));
    TOnionForm::NeighbourFrames(*s, 10, 3, earlier, later); // not the frame itself
    EXPECT_EQ(earlier, (std::vector<float>{5, 0}));
    EXPECT_EQ(later, (std::vector<float>{15, 20, 25}));
    TOnionForm::NeighbourFrames(*s, 30, 1, earlier, later);
    EXPECT_EQ(earlier, (std::vector<float>{25}));
    EXPECT_TRUE(later.empty());
    EXPECT_GT(TOnionForm::GhostAlpha(1, 3), TOnionForm::GhostAlpha(2, 3));
    EXPECT_GT(TOnionForm::GhostAlpha(2, 3), TOnionForm::GhostAlpha(3, 3));
    EXPECT_GT(TOnionForm::GhostAlpha(3, 3), 0u);
}

TEST_F(OnionTest, NeighbourFramesIncludeKeysBeforeFrameZero) {
    TSkeleton* s = NewSkel();
    Chain(s, {{0, 0, 0}, {1, 0, 0}});
    for (int f : {-2, 4, 8}) {
        tsxAnimSetActiveTime(static_cast<float>(f));
        s->Record();
    }
    std::vector<float> earlier, later;
    TOnionForm::NeighbourFrames(*s, 6, 2, earlier, later);
    EXPECT_EQ(earlier, (std::vector<float>{4, -2}));
    EXPECT_EQ(later, (std::vector<float>{8}));
    TOnionForm::NeighbourFrames(*s, -1, 2, earlier, later);
    EXPECT_EQ(earlier, (std::vector<float>{-2}));
    EXPECT_EQ(later, (std::vector<float>{4, 8}));
}

TEST_F(OnionTest, TheOverlayDrawsTheNeighbouringFramesOverTheView) {
    Recorded();
    onion->Show();
    onion->SetFrameSpan(1);
    onion->OverlayButton->Click(); // on
    ASSERT_TRUE(onion->OverlayOn());
    EXPECT_EQ(onion->OverlayPaints(), 1);
    ASSERT_FALSE(onion->Picture().Empty());
    int w = 0, h = 0;
    tsxAViewGetPicture(&w, &h, nullptr);
    EXPECT_EQ(onion->Picture().Width(), w);
    // Frame 0's end bone dips (orange), frame 20's rises (blue); the view's
    // own bone at frame 10 lies flat between them.
    const TColor32 earlier = PixelAt({1.5f, 0, -0.25f});
    const TColor32 later = PixelAt({1.5f, 0, 0.25f});
    EXPECT_GT(Red(earlier), 0x90);
    EXPECT_GT(Blue(later), 0x90);
    EXPECT_GT(Red(earlier), Blue(earlier));
    EXPECT_GT(Blue(later), Red(later));
    EXPECT_EQ(PixelAt({0.5f, 0, 0.6f}), 0xFF303030u); // the view's background

    // Off: the rig's refreshes leave the window alone.
    onion->OverlayButton->Click();
    RefreshViews();
    EXPECT_EQ(onion->OverlayPaints(), 1);
}

TEST_F(OnionTest, AJointKeyedFarAwayDrawsWhatOfItsBoneCrossesThePicture) {
    Recorded();
    // Frame 0's end joint far up and to the right, then further, then at no place.
    CtsxFrame key = tsxSobjGetFrame(joints[2]->Node, TSX_KIND_LOCATION, 0, 0);
    ASSERT_NE(key, nullptr);
    onion->Show();
    onion->SetFrameSpan(1);
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (const CtsxVec3f far : {CtsxVec3f{1e12f, 0, 1e12f}, CtsxVec3f{3e38f, 0, 3e38f},
                                CtsxVec3f{-3e38f, 0, 3e38f}, CtsxVec3f{inf, 0, inf},
                                CtsxVec3f{-inf, 0, nan}, CtsxVec3f{nan, 0, 1}}) {
        SCOPED_TRACE(::testing::Message() << far.x << " " << far.z);
        // In the parent's space, which is the world's here.
        tsxFrameSetData(key, &far);
        onion->SetOverlayOn(true);
        ASSERT_FALSE(onion->Picture().Empty());
        // The diagonal from the middle joint (1, 0, 0) up and to the right.
        if (far.x == 1e12f) {
            EXPECT_GT(Red(PixelAt({1.3f, 0, 0.3f})), 0x90);
        }
        onion->SetOverlayOn(false);
    }
    EXPECT_EQ(onion->OverlayPaints(), 6);
}

TEST_F(OnionTest, TheOverlayChangesNothingInTheSceneOrItsTime) {
    TSkeleton* s = Recorded();
    s->Update();
    const std::vector<std::uint8_t> before = tsxhost::SaveSceneToBytes();
    onion->Show();
    onion->SetOverlayOn(true);
    tsxhost::SetCallLog(true);
    RefreshViews();
    onion->SetFrameSpan(3);
    EXPECT_EQ(onion->OverlayPaints(), 3);
    // Only reads, and the host's own drawing of its view.
    for (const std::string& call : tsxhost::CallLog())
        for (const char* change : {"tsxGNodeSet", "tsxMNodeSet", "tsxAnimSet", "tsxSobjSet",
                                   "tsxFrameSet", "Insert", "Delete", "Create", "AddObject"})
            EXPECT_EQ(call.find(change), std::string::npos) << call;
    tsxhost::SetCallLog(false);
    EXPECT_FLOAT_EQ(tsxAnimGetActiveTime(), 10);
    EXPECT_EQ(tsxhost::SaveSceneToBytes(), before);
}

TEST_F(OnionTest, TheToolWindowMakesTheOnionWindowOnce) {
    fw::Free(onion);
    onion = nullptr;
    Recorded();
    tsxhost::ClickLeft();
    ASSERT_NE(OnionForm, nullptr);
    TOnionForm* made = OnionForm;
    tsxhost::ClickLeft();
    EXPECT_EQ(OnionForm, made);
    ToolsForm->OnionButton->Click();
    EXPECT_TRUE(made->Visible());
    FreeToolsForm();
    EXPECT_EQ(OnionForm, nullptr);
}

} // namespace
} // namespace vel
