#include "SkinPanelForm.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <limits>

#include "GcGradient.h"
#include "Joint.h"
#include "MainForm.h"
#include "MeshRenderForm.h"
#include "SceneTreeForm.h"
#include "SkinWindowsTestEnv.h"
#include "Switchboard.h"
#include "TestPaths.h"
#include "Timers.h"
#include "ToolsForm.h"
#include "ValueTrack.h"
#include "VelLib.h"

namespace vel {
namespace {

struct TBox {
    CtsxVec3f Min{1e30f, 1e30f, 1e30f}, Max{-1e30f, -1e30f, -1e30f};
    void Add(const CtsxVec3f& p) {
        Min = {std::min(Min.x, p.x), std::min(Min.y, p.y), std::min(Min.z, p.z)};
        Max = {std::max(Max.x, p.x), std::max(Max.y, p.y), std::max(Max.z, p.z)};
    }
};

#define EXPECT_BOX_NEAR(a, b)                                                                      \
    do {                                                                                           \
        EXPECT_VEC_NEAR((a).Min, (b).Min.x, (b).Min.y, (b).Min.z, 1e-3);                           \
        EXPECT_VEC_NEAR((a).Max, (b).Max.x, (b).Max.y, (b).Max.z, 1e-3);                           \
    } while (0)

class SkinPanelTest : public SkinWindowsTest {
protected:
    // The world corners of a volume object's shape (the box spans -1..1).
    static TBox ObjectBox(CtsxSobj object) {
        CtsxTxmx3f m;
        tsxGNodeGetTransform(object, &m);
        TBox box;
        for (float x : {-1.f, 1.f})
            for (float y : {-1.f, 1.f})
                for (float z : {-1.f, 1.f}) {
                    const CtsxVec3f c{x, y, z};
                    CtsxVec3f w;
                    tsxTransformVect3f(&c, &w, &m);
                    box.Add(w);
                }
        return box;
    }
    // The area's box in the world, carried by the bone as it stands now.
    TBox ExpectedBox() const {
        const TSkinArea& a = *Area();
        CtsxTxmx3f m;
        bone->GetMatrix(m);
        TBox box;
        for (float x : {a.Root, -(a.Length + a.Tip)})
            for (float y : {-a.VolumeY, a.VolumeY})
                for (float z : {-a.VolumeZ, a.VolumeZ}) {
                    const CtsxVec3f c{x, y, z};
                    CtsxVec3f w;
                    tsxRotateVect3f(&c, &w, &m);
                    tsxAddToVec3f(&w, &bone->Head->Position);
                    box.Add(w);
                }
        return box;
    }
    // Objects of the plug-in's volume types in the scene.
    static int VolumeObjectsInScene() {
        int n = 0;
        for (CtsxSobj node : tsxhost::SceneNodes()) {
            const int type = tsxSobjGetType(node);
            n += type == MainForm->VolumeExtObj->SObjType() ||
                         type == MainForm->PyramidExtObj->SObjType()
                     ? 1
                     : 0;
        }
        return n;
    }
    static void Drag(TValueTrack* track, double value) {
        track->SetValue(value);
        track->OnChange(track);
    }
};

TEST_F(SkinPanelTest, TheVolumeObjectsSpanTheAreaAndFollowTheBone) {
    TSkeleton* s = SkinnedBone();
    TSkinPanelForm* panel = SkinPanelForm;
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->SelectedArea(), Area());
    EXPECT_EQ(VolumeObjectsInScene(), 0); // the display starts off
    panel->VolumeButton->Click();
    ASSERT_TRUE(panel->VolumeDisplay());
    ASSERT_EQ(VolumeObjectsInScene(), 3);
    EXPECT_EQ(tsxSobjGetType(panel->VolumeObject(vpBox)), MainForm->VolumeExtObj->SObjType());
    EXPECT_EQ(tsxSobjGetType(panel->VolumeObject(vpRootCap)), MainForm->PyramidExtObj->SObjType());
    EXPECT_EQ(tsxSobjGetType(panel->VolumeObject(vpTipCap)), MainForm->PyramidExtObj->SObjType());
    // From Root behind the head to Tip beyond the tail, 2 x 0.5 by 2 x 0.3.
    const TBox box = ObjectBox(panel->VolumeObject(vpBox));
    EXPECT_BOX_NEAR(box, ExpectedBox());
    EXPECT_NEAR(box.Min.x, -0.25f, 1e-4);
    EXPECT_NEAR(box.Max.x, 2.25f, 1e-4);
    // The caps sit on the box's ends, their bases as big as its section.
    EXPECT_VEC_NEAR(NodeLocation(panel->VolumeObject(vpRootCap)), -0.25f, 0, 0, 1e-4);
    EXPECT_VEC_NEAR(NodeLocation(panel->VolumeObject(vpTipCap)), 2.25f, 0, 0, 1e-4);
    EXPECT_VEC_NEAR(NodeSize(panel->VolumeObject(vpRootCap)), 0.25f * 2.5f, 1.0f, 0.6f, 1e-4);
    // Each cap's apex (its shape's x = -1) points into the area by its ramp.
    auto apex = [](CtsxSobj cap) {
        CtsxTxmx3f m;
        tsxGNodeGetTransform(cap, &m);
        const CtsxVec3f tip{-1, 0, 0};
        CtsxVec3f w;
        tsxTransformVect3f(&tip, &w, &m);
        return w;
    };
    EXPECT_VEC_NEAR(apex(panel->VolumeObject(vpRootCap)), -0.25f + 0.625f, 0, 0, 1e-4);
    EXPECT_VEC_NEAR(apex(panel->VolumeObject(vpTipCap)), 2.25f - 0.625f, 0, 0, 1e-4);

    // The user turns the tail up: the box turns with the bone.
    tsxhost::Select(joints[1]->Node);
    tsxhost::Drag(TranslationMx(-2, 0, 2));
    ASSERT_GT(NodeLocation(joints[1]->Node).z, 1.0f);
    EXPECT_BOX_NEAR(ObjectBox(panel->VolumeObject(vpBox)), ExpectedBox());
    EXPECT_GT(ObjectBox(panel->VolumeObject(vpBox)).Max.z, 1.0f);

    // A wider area: the same objects, resized.
    const CtsxSobj same = panel->VolumeObject(vpBox);
    Drag(panel->VolumeYTrack, 0.8);
    EXPECT_FLOAT_EQ(Area()->VolumeY, 0.8f);
    EXPECT_EQ(panel->VolumeObject(vpBox), same);
    EXPECT_BOX_NEAR(ObjectBox(same), ExpectedBox());
    EXPECT_EQ(s, CurrentSkeleton);
}

TEST_F(SkinPanelTest, TheObjectsGoWithTheDisplayOrTheArea) {
    TSkeleton* s = SkinnedBone();
    TSkinPanelForm* panel = SkinPanelForm;
    panel->SetVolumeDisplay(true);
    ASSERT_EQ(VolumeObjectsInScene(), 3);
    const CtsxSobj box = panel->VolumeObject(vpBox);
    s->SelectedBone = -1; // no bone, no area
    RefreshViews();
    EXPECT_EQ(VolumeObjectsInScene(), 0);
    EXPECT_FALSE(tsxIsSobj(box));
    EXPECT_EQ(panel->VolumeObject(vpBox), nullptr);
    s->SelectedBone = 0;
    RefreshViews();
    EXPECT_EQ(VolumeObjectsInScene(), 3);
    panel->VolumeButton->Click(); // off
    EXPECT_FALSE(panel->VolumeDisplay());
    EXPECT_EQ(VolumeObjectsInScene(), 0);
    // Deleted behind the panel's back: made again when needed.
    panel->SetVolumeDisplay(true);
    tsxhost::Delete(panel->VolumeObject(vpTipCap));
    RefreshViews();
    EXPECT_EQ(VolumeObjectsInScene(), 3);
    EXPECT_TRUE(tsxIsSobj(panel->VolumeObject(vpTipCap)));
    EXPECT_FALSE(EditLocked());
    EXPECT_EQ(tsxhost::StaleUses(), 0);
}

TEST_F(SkinPanelTest, NoVolumeObjectOfASavedSceneOutlivesItsLoad) {
    SkinnedBone();
    SkinPanelForm->SetVolumeDisplay(true);
    const std::vector<std::uint8_t> bytes = tsxhost::SaveSceneToBytes();
    SkinPanelForm->SetVolumeDisplay(false);
    std::string error;
    ASSERT_TRUE(tsxhost::LoadSceneFromBytes(bytes, &error)) << error;
    fw::AdvanceClock(kLoadTimerInterval);
    ASSERT_EQ(SkeletonCount(), 1);
    EXPECT_EQ(VolumeObjectsInScene(), 0); // the file's three went

    // With the display on through the load: only the panel's own three.
    CurrentSkeleton->SelectedBone = 0;
    SkinPanelForm->SetVolumeDisplay(true);
    ASSERT_TRUE(tsxhost::LoadSceneFromBytes(tsxhost::SaveSceneToBytes(), &error)) << error;
    fw::AdvanceClock(kLoadTimerInterval);
    CurrentSkeleton->SelectedBone = 0;
    RefreshViews();
    EXPECT_EQ(VolumeObjectsInScene(), 3);
    for (TVolumePart part : {vpBox, vpRootCap, vpTipCap})
        EXPECT_TRUE(tsxIsSobj(SkinPanelForm->VolumeObject(part)));
    EXPECT_EQ(tsxhost::StaleUses(), 0);
}

TEST_F(SkinPanelTest, VolumeObjectsThatGoLeaveTheSceneTree) {
    // A scene to merge later, so that the volume objects are not the last.
    const std::filesystem::path merged = fw::TestPath("crate.scene");
    const CtsxSobj crate = tsxhost::AddCube("Crate", 1);
    std::string error;
    ASSERT_TRUE(tsxhost::SaveScene(merged.string(), &error)) << error;
    tsxhost::Delete(crate);
    TSkeleton* s = SkinnedBone();
    ToolsForm->Show();
    SkinPanelForm->SetVolumeDisplay(true);
    fw::ProcessMessages();
    ASSERT_TRUE(tsxhost::MergeScene(merged.string(), &error)) << error;
    std::filesystem::remove(merged);
    fw::ProcessMessages();
    // The area goes from the panel: its objects are deleted under the rig's
    // edit lock, whose host events the main form otherwise lets pass.
    s->SelectedBone = -1;
    RefreshViews();
    fw::ProcessMessages();
    ASSERT_EQ(VolumeObjectsInScene(), 0);
    std::vector<CtsxSobj> rows;
    for (PLazyNode n = SceneTreeForm->Tree()->GetFirst(); n; n = SceneTreeForm->Tree()->GetNext(n))
        rows.push_back(SceneTreeForm->ObjectOf(n));
    EXPECT_EQ(rows, tsxhost::SceneNodes());
}

TEST_F(SkinPanelTest, TheTracksShowAndEditTheSelectedArea) {
    TSkeleton* s = SkinnedBone();
    TSkinPanelForm* panel = SkinPanelForm;
    EXPECT_TRUE(panel->RootTrack->Enabled());
    EXPECT_DOUBLE_EQ(panel->RootTrack->Value(), 0.25);
    EXPECT_NEAR(panel->VolumeZTrack->Value(), 0.3, 1e-6);
    EXPECT_EQ(panel->AreaLabel->Caption(), "Area: Strip");
    const std::int32_t listed = Area()->Count;
    // Reaching further past the tail takes in the strip's last vertices.
    Drag(panel->TipTrack, 0.6);
    EXPECT_FLOAT_EQ(Area()->Tip, 0.6f);
    EXPECT_GT(Area()->Count, listed);
    EXPECT_EQ(Area()->AreaWeights.size(), static_cast<std::size_t>(Area()->Count));
    // The weights are those of the new reach (not all zero, as after a bare listing).
    EXPECT_TRUE(std::any_of(Area()->AreaWeights.begin(), Area()->AreaWeights.end(),
                            [](float w) { return w > 0.5f; }));

    s->SelectedBone = -1;
    ToolsForm->UpdateControls();
    EXPECT_FALSE(panel->RootTrack->Enabled());
    EXPECT_FALSE(panel->PaintButton->Enabled());
    EXPECT_EQ(panel->AreaLabel->Caption(), "No skin area");
    Drag(panel->RootTrack, 0.9); // nothing to edit
    EXPECT_FLOAT_EQ(Area()->Root, 0.25f);
}

TEST_F(SkinPanelTest, TheChosenChildsAreaIsTheSelectedOne) {
    TSkeleton* s = SkinnedBone();
    TSkinPanelForm* panel = SkinPanelForm;
    const CtsxPolyh second = AddStrip("Second", 1);
    TSkinArea* other = Bind(s, second);
    panel->RefreshPanel();
    EXPECT_EQ(panel->SelectedArea(), Area());
    EXPECT_TRUE(panel->NextAreaButton->Enabled());
    panel->NextAreaButton->Click();
    EXPECT_EQ(panel->AreaChild(), 1);
    EXPECT_EQ(panel->SelectedArea(), other);
    EXPECT_EQ(panel->AreaLabel->Caption(), "Area: Second");
    // The weight-painting window opens on the chosen child.
    panel->PaintButton->Click();
    ASSERT_NE(MeshRenderForm, nullptr);
    EXPECT_TRUE(MeshRenderForm->Visible());
    EXPECT_EQ(MeshRenderForm->Object(), second);
    panel->NextAreaButton->Click(); // round to the first
    EXPECT_EQ(panel->SelectedArea(), Area());
    fw::Free(MeshRenderForm);
}

// ---- the weight-painting window ----

TEST_F(SkinPanelTest, EachVertexShowsItsAreaWeight) {
    EXPECT_EQ(TMeshRenderForm::WeightColour(0), 0xFF000000u);
    EXPECT_EQ(TMeshRenderForm::WeightColour(0.5f), 0xFFFFFF00u);
    EXPECT_EQ(TMeshRenderForm::WeightColour(1), 0xFFFF0000u);
    EXPECT_EQ(TMeshRenderForm::WeightColour(0.25f), 0xFF808000u);
    EXPECT_EQ(TMeshRenderForm::WeightColour(-3), 0xFF000000u);

    TSkeleton* s = SkinnedBone();
    // Listed again as a setup-mode rebind does: no weights until the next
    // deformation, yet the window shows what that deformation will use.
    Area()->CollectVertices(*FindChildSkin(s, bone, 0));
    EditBoneSkin();
    ASSERT_NE(MeshRenderForm, nullptr);
    TBitmap32 picture;
    picture.SetSize(260, 200);
    MeshRenderForm->PaintMesh(picture);
    const TSkinArea& a = *Area();
    ASSERT_GT(a.Count, 4);
    int weighted = 0;
    for (std::int32_t k = 0; k < a.Count; ++k) {
        fw::TPoint p;
        const std::int32_t i = a.Indexes[static_cast<std::size_t>(k)];
        ASSERT_TRUE(MeshRenderForm->VertexPoint(i, p));
        EXPECT_EQ(picture.Pixel(p.X, p.Y),
                  TMeshRenderForm::WeightColour(a.AreaWeights[static_cast<std::size_t>(k)]))
            << "vertex " << i;
        weighted += a.AreaWeights[static_cast<std::size_t>(k)] > 0 ? 1 : 0;
    }
    EXPECT_GT(weighted, 2);
    fw::TPoint outside; // x = -0.5: the area does not list it
    ASSERT_TRUE(MeshRenderForm->VertexPoint(0, outside));
    EXPECT_EQ(picture.Pixel(outside.X, outside.Y), TMeshRenderForm::kUnweighted);
    EXPECT_EQ(outside.X, TMeshRenderForm::kMargin); // fitted to the picture
    // The legend: two bands of 131 by 9 side by side, not stretched.
    const fw::TControl* low = MeshRenderForm->LowLegend;
    const fw::TControl* high = MeshRenderForm->HighLegend;
    EXPECT_EQ(low->Width(), 131);
    EXPECT_EQ(low->Height(), 9);
    EXPECT_EQ(high->Left(), low->Left() + 131);
    fw::Free(MeshRenderForm);
}

TEST_F(SkinPanelTest, TheWeightPictureFollowsThePoseAndTheArea) {
    SkinnedBone();
    velAnimateMode();
    EditBoneSkin();
    ASSERT_NE(MeshRenderForm, nullptr);
    fw::ProcessMessages();
    fw::TPoint before, after;
    ASSERT_TRUE(MeshRenderForm->VertexPoint(21, before)); // at the tail
    const fw::TPoint tailBefore = before;
    tsxhost::Select(joints[1]->Node);
    tsxhost::Drag(TranslationMx(-1, 0, 1.5f));
    fw::ProcessMessages();
    ASSERT_TRUE(MeshRenderForm->VertexPoint(21, after));
    EXPECT_NE(after.Y, tailBefore.Y); // drawn again, bent with the bone

    // A changed area weighs the vertices anew; the window shows it.
    const float w = Area()->AreaWeights.back();
    Drag(SkinPanelForm->TipRampTrack, 0.9);
    fw::ProcessMessages();
    EXPECT_NE(Area()->AreaWeights.back(), w);
    fw::Free(MeshRenderForm);
}

TEST_F(SkinPanelTest, VerticesFarApartAreFittedAndThoseAtNoPlaceAreNotDrawn) {
    SkinnedBone();
    EditBoneSkin();
    ASSERT_NE(MeshRenderForm, nullptr);
    // As the host may hold them: two vertices at the ends of the float range,
    // whose sum and span overflow a float, and one at infinity.
    CtsxVec3f* vxs = tsxPolyhGetVxArray(mesh);
    vxs[0] = {3e38f, 0, 2e38f};
    vxs[1] = {2e38f, 0, 3e38f};
    vxs[2] = {std::numeric_limits<float>::infinity(), 0, 0};
    TBitmap32 picture;
    picture.SetSize(100, 80);
    MeshRenderForm->PaintMesh(picture);
    fw::TPoint p;
    for (std::int32_t i : {0, 1, 3, 25}) {
        ASSERT_TRUE(MeshRenderForm->VertexPoint(i, p)) << i;
        EXPECT_TRUE(p.X >= TMeshRenderForm::kMargin && p.X <= 100 - TMeshRenderForm::kMargin &&
                    p.Y >= TMeshRenderForm::kMargin && p.Y <= 80 - TMeshRenderForm::kMargin)
            << i << ": " << p.X << ", " << p.Y;
    }
    EXPECT_FALSE(MeshRenderForm->VertexPoint(2, p));
    fw::Free(MeshRenderForm);
}

TEST_F(SkinPanelTest, AWindowWhoseSkeletonWentDrawsNothing) {
    SkinnedBone();
    EditBoneSkin();
    ASSERT_NE(MeshRenderForm, nullptr);
    velClearSkeletons();
    TBitmap32 picture;
    picture.SetSize(50, 50);
    MeshRenderForm->PaintMesh(picture);
    fw::TPoint p;
    EXPECT_FALSE(MeshRenderForm->VertexPoint(0, p));
    EXPECT_EQ(picture.Pixel(25, 25), TMeshRenderForm::kBackground);
    fw::Free(MeshRenderForm);
}

} // namespace
} // namespace vel
