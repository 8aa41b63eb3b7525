#include "SkinPanelForm.h"

#include <algorithm>
#include <optional>

#include "Bone.h"
#include "Joint.h"
#include "MainForm.h"
#include "MeshRenderForm.h"
#include "Skeleton.h"
#include "Skin.h"
#include "Switchboard.h"
#include "TsxHelper.h"
#include "ValueTrack.h"

namespace vel {

TSkinPanelForm* SkinPanelForm = nullptr;

namespace {

// Sizes below this are drawn at this size: a zero scale would leave the
// host a transform it cannot invert.
constexpr float kMinSize = 1e-3f;

fw::TToolButton* MakeButton(fw::TForm* form, const char* name, const char* caption, int left,
                            int top, int width) {
    auto* b = fw::Create<fw::TToolButton>(form);
    b->SetName(name);
    b->SetParent(form);
    b->SetCaption(caption);
    b->SetBounds(left, top, width, 22);
    return b;
}

// Deletes the object the reference was taken to, when it is still there;
// never another object that has its handle now.
void DeleteIfThere(THostRef& object) {
    if (CtsxSobj live = LiveObject(object)) tsxSobjDelete(live);
    object = {};
}

// Places a volume object: its shape's own space is carried by rotation r and
// scaled by size, its origin at location.
void PlaceObject(CtsxSobj object, const CtsxTxmx3f& r, const CtsxVec3f& size,
                 const CtsxVec3f& location) {
    if (!object) return;
    SetNodeRotationFromMx(object, r);
    SetNodeSize(object, CtsxVec3f{std::max(size.x, kMinSize), std::max(size.y, kMinSize),
                                  std::max(size.z, kMinSize)});
    SetNodeLocation(object, location);
}

} // namespace

TSkinObject* FindChildSkin(TSkeleton* Skeleton, TBone* Bone, std::int32_t Child) {
    TBoneChild* child = Bone ? Bone->Children(Child) : nullptr;
    TSkeleton* root = Skeleton ? Skeleton->Root() : nullptr;
    TSkinObject* skin = nullptr;
    if (!child || !root || !root->Skins || !root->Skins->FindByObject(child->Object, skin))
        return nullptr;
    return skin;
}

TSkinPanelForm::TSkinPanelForm(fw::TComponent* AOwner) : fw::TForm(AOwner) {
    SetName("SkinPanelForm");
    SetCaption("Skin");
    SetBounds(0, 0, 240, 160);
    LoadComponents([this] { MakeControls(); });
    RefreshPanel();
}

TSkinPanelForm::~TSkinPanelForm() {
    if (SkinPanelForm == this) SkinPanelForm = nullptr;
}

void TSkinPanelForm::MakeControls() {
    AreaLabel = fw::Create<fw::TLabel>(this);
    AreaLabel->SetName("AreaLabel");
    AreaLabel->SetParent(this);
    AreaLabel->SetBounds(4, 8, 120, 14);
    NextAreaButton = MakeButton(this, "NextAreaButton", ">", 128, 4, 24);
    VolumeButton = MakeButton(this, "VolumeButton", "Volume", 156, 4, 60);
    VolumeButton->SetAllowAllUp(true);
    struct TTrackRow {
        TValueTrack* TSkinPanelForm::*Track;
        const char* Name;
        const char* Caption;
        float TSkinArea::*Field;
        double Max;
        int Left, Top;
    };
    const TTrackRow rows[] = {
        {&TSkinPanelForm::RootTrack, "RootTrack", "Root", &TSkinArea::Root, 100, 4, 30},
        {&TSkinPanelForm::TipTrack, "TipTrack", "Tip", &TSkinArea::Tip, 100, 120, 30},
        {&TSkinPanelForm::RootRampTrack, "RootRampTrack", "Ramp", &TSkinArea::RootRamp, 1, 4, 52},
        {&TSkinPanelForm::TipRampTrack, "TipRampTrack", "Ramp", &TSkinArea::TipRamp, 1, 120, 52},
        {&TSkinPanelForm::VolumeYTrack, "VolumeYTrack", "Y", &TSkinArea::VolumeY, 100, 4, 74},
        {&TSkinPanelForm::VolumeZTrack, "VolumeZTrack", "Z", &TSkinArea::VolumeZ, 100, 120, 74},
    };
    for (const TTrackRow& row : rows) {
        TValueTrack* track = MakeValueTrack(this, row.Name, row.Left, row.Top, 112);
        track->Setup(row.Caption, 0, row.Max, 0.01);
        const auto field = row.Field;
        track->OnChange = [this, field](TValueTrack* t) { AreaEdited(field, t->Value()); };
        this->*row.Track = track;
    }
    PaintButton = MakeButton(this, "PaintButton", "Paint", 4, 100, 60);
    NextAreaButton->OnClick = [this](fw::TObject*) { NextArea(); };
    VolumeButton->OnClick = [this](fw::TObject*) { SetVolumeDisplay(VolumeButton->Down()); };
    PaintButton->OnClick = [](fw::TObject*) { EditBoneSkin(); };
}

void TSkinPanelForm::SetVolumeDisplay(bool Value) {
    FVolumeDisplay = Value;
    if (VolumeButton->Down() != Value) VolumeButton->SetDown(Value);
    UpdateVolumeObjects();
    tsxAllViewsRefresh();
}

void TSkinPanelForm::SetAreaChild(std::int32_t Child) {
    FAreaChild = Child;
    RefreshPanel();
    tsxAllViewsRefresh();
}

TSkinArea* TSkinPanelForm::SelectedArea(TBone** Bone, std::int32_t* Child) const {
    TSkeleton* skeleton = CurrentSkeleton;
    TBone* bone = skeleton ? skeleton->Bones.ByIndex(skeleton->SelectedBone) : nullptr;
    std::int32_t child = -1;
    if (bone && bone->SkinAreas(FAreaChild))
        child = FAreaChild;
    else
        for (std::int32_t i = 0; bone && i < bone->ChildCount() && child < 0; ++i)
            if (bone->SkinAreas(i)) child = i;
    if (Bone) *Bone = child >= 0 ? bone : nullptr;
    if (Child) *Child = child;
    return child >= 0 ? bone->SkinAreas(child) : nullptr;
}

void TSkinPanelForm::NextArea() {
    TBone* bone = nullptr;
    std::int32_t child = -1;
    if (!SelectedArea(&bone, &child)) return;
    for (std::int32_t k = 1; k <= bone->ChildCount(); ++k) {
        const std::int32_t i = (child + k) % bone->ChildCount();
        if (bone->SkinAreas(i)) {
            SetAreaChild(i);
            return;
        }
    }
}

void TSkinPanelForm::RefreshPanel() {
    ShowArea();
    UpdateVolumeObjects();
}

void TSkinPanelForm::ShowArea() {
    TBone* bone = nullptr;
    std::int32_t child = -1;
    const TSkinArea* area = SelectedArea(&bone, &child);
    const TBoneChild* bound = area ? bone->Children(child) : nullptr;
    AreaLabel->SetCaption(bound ? "Area: " + GetNodeName(bound->Object) : "No skin area");
    std::int32_t areas = 0;
    for (std::int32_t i = 0; bone && i < bone->ChildCount(); ++i)
        areas += bone->SkinAreas(i) ? 1 : 0;
    NextAreaButton->SetEnabled(areas > 1);
    PaintButton->SetEnabled(area != nullptr);
    const std::pair<TValueTrack*, float> values[] = {
        {RootTrack, area ? area->Root : 0},         {TipTrack, area ? area->Tip : 0},
        {RootRampTrack, area ? area->RootRamp : 0}, {TipRampTrack, area ? area->TipRamp : 0},
        {VolumeYTrack, area ? area->VolumeY : 0},   {VolumeZTrack, area ? area->VolumeZ : 0},
    };
    for (const auto& [track, value] : values) {
        track->SetEnabled(area != nullptr);
        if (!track->Button()->Tracking()) track->SetValue(value);
    }
}

// A track moved: the area takes the value, lists and weighs its vertices
// again, and the mesh, the volume objects and the views follow.
void TSkinPanelForm::AreaEdited(float TSkinArea::*Field, double Value) {
    TBone* bone = nullptr;
    std::int32_t child = -1;
    TSkinArea* area = SelectedArea(&bone, &child);
    TSkeleton* skeleton = CurrentSkeleton;
    if (!area || !skeleton) return;
    area->*Field = static_cast<float>(Value);
    if (TSkinObject* skin = FindChildSkin(skeleton, bone, child)) {
        area->CollectVertices(*skin);
        area->ComputeWeights(*skin);
    }
    if (!SetupMode) {
        TEditScope edit;
        skeleton->DeformRootSkins();
    }
    RefreshViews();
}

void TSkinPanelForm::UpdateVolumeObjects() {
    TBone* bone = nullptr;
    const TSkinArea* area = FVolumeDisplay ? SelectedArea(&bone) : nullptr;
    CtsxTxmx3f m{};
    bool made = false;
    if (area && bone->Head) bone->GetMatrix(m, &made);
    // The host's events from these objects are the plug-in's own; the lock
    // is one flag, so one already set is left to its owner.
    std::optional<TEditScope> edit;
    if (!EditLocked()) edit.emplace();
    if (!made || !MakeVolumeObjects())
        DeleteVolumeObjects();
    else
        PlaceVolumeObjects(*area, m, bone->Head->Position);
    if (MeshRenderForm && MeshRenderForm->Visible()) MeshRenderForm->Invalidate();
}

CtsxSobj TSkinPanelForm::VolumeObject(TVolumePart Part) const {
    return LiveObject(FVolumeObjects[Part]);
}

void TSkinPanelForm::DeleteVolumeObjects() {
    for (THostRef& object : FVolumeObjects)
        DeleteIfThere(object);
}

// False when the host made none of a missing object.
bool TSkinPanelForm::MakeVolumeObjects() {
    for (int i = 0; i < 3; ++i) {
        THostRef& object = FVolumeObjects[i];
        if (Alive(object)) continue;
        TTsxExtObj* type = !MainForm    ? nullptr
                           : i == vpBox ? MainForm->VolumeExtObj
                                        : MainForm->PyramidExtObj;
        const CtsxSobj made = type ? type->CreateObject() : nullptr;
        object = RefTo(made);
        if (!made) return false;
        tsxSceneAddObject(made, 1);
    }
    return true;
}

// In bone space the head is at the origin and the bone runs along -x; the
// area reaches from x = Root down to x = -(Length + Tip). The box's shape
// spans -1..1 on each axis; a cap's base is a unit square at x = 0 and its
// apex at x = -1, so the root cap points down the bone and the tip cap,
// turned half round, back up it.
void TSkinPanelForm::PlaceVolumeObjects(const TSkinArea& area, const CtsxTxmx3f& bone,
                                        const CtsxVec3f& head) {
    const float total = area.Length + area.Root + area.Tip;
    const float width = 2 * area.VolumeY, depth = 2 * area.VolumeZ;
    auto at = [&](float x) {
        const CtsxVec3f local{x, 0, 0};
        CtsxVec3f world{};
        tsxRotateVect3f(&local, &world, &bone);
        tsxAddToVec3f(&world, &head);
        return world;
    };
    PlaceObject(VolumeObject(vpBox), bone, CtsxVec3f{total / 2, area.VolumeY, area.VolumeZ},
                at((area.Root - area.Length - area.Tip) / 2));
    PlaceObject(VolumeObject(vpRootCap), bone,
                CtsxVec3f{std::max(area.RootRamp * total, 0.02f * total), width, depth},
                at(area.Root));
    CtsxTxmx3f turned = bone;
    for (int k : {0, 1, 4, 5, 8, 9})
        turned.m[k] = -turned.m[k];
    PlaceObject(VolumeObject(vpTipCap), turned,
                CtsxVec3f{std::max(area.TipRamp * total, 0.02f * total), width, depth},
                at(-(area.Length + area.Tip)));
}

} // namespace vel
