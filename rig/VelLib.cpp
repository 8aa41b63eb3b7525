#include "VelLib.h"

#include <cmath>

#include "Bone.h"
#include "EditorServices.h"
#include "MainForm.h"
#include "SkelMgr.h"
#include "Skeleton.h"
#include "Skin.h"
#include "Switchboard.h"
#include "TsxHelper.h"

namespace vel {

std::int32_t ChildIndexOf(const TBone& bone, CtsxSobj object) {
    std::int32_t i = -1;
    return bone.FindChild(object, i) ? i : -1;
}

namespace {

// Every export body runs through one of these, an entry into the rig: a
// script that opened a scene finds its rig (the load's rebuild runs first
// when its timer has not, unless a callback of the rig's own work called the
// export); an exception is reported here and the caller gets the empty
// answer, since nothing may unwind into a script host.
template <typename R, typename F> R Guarded(const char* where, R none, F&& body) noexcept {
    try {
        const auto in = EnterRig();
        if (MainForm) MainForm->FinishPendingLoad();
        return body();
    } catch (...) {
        ReportEscaped(where);
        return none;
    }
}

template <typename F> void Guarded(const char* where, F&& body) noexcept {
    Guarded(where, 0, [&] {
        body();
        return 0;
    });
}

TSkeleton* SkeletonOfObject(CtsxSobj object) {
    TSkeleton* s = nullptr;
    return FindSkeletonByObject(object, s) ? s : nullptr;
}

TBone* BoneOfObject(CtsxSobj object) {
    TSkeleton* s = nullptr;
    std::int32_t i = -1;
    if (!FindSkeletonByBoneNode(object, s, i)) return nullptr;
    return s->Bones.ByIndex(i);
}

// The skin area that weighs child's vertices for bone, with the skin it
// deforms; none unless every link is there.
TSkinArea* ChildSkinArea(CtsxSobj boneObject, CtsxSobj child) {
    TSkeleton* s = nullptr;
    std::int32_t b = -1;
    if (!child || !FindSkeletonByBoneNode(boneObject, s, b)) return nullptr;
    const TBone* bone = s->Bones.ByIndex(b);
    if (!bone) return nullptr;
    TSkinArea* area = bone->SkinAreas(ChildIndexOf(*bone, child));
    if (!area || !s->Skins) return nullptr;
    TSkinObject* skin = nullptr;
    if (!s->Skins->FindByObject(child, skin)) return nullptr;
    return area;
}

// The tool window's page switch, as the user's click on a tab would make it
// but with no sender.
void ShowPage(TToolsPage page) {
    TEditorServices& editor = EditorServices();
    if (!editor.ToolWindow() || editor.ToolsActivePage() == page) return;
    editor.SetToolsActivePage(page);
    editor.ToolsPageControlChange();
}

} // namespace
} // namespace vel

using namespace vel;

void velSetRecordFrame(float frame) {
    if (!std::isfinite(frame)) return;
    Guarded("velSetRecordFrame", [&] { EditorServices().SetActiveFrameUpdating(frame); });
}

void velSetActiveFrame(float frame) {
    if (!std::isfinite(frame)) return;
    Guarded("velSetActiveFrame", [&] { EditorServices().SetActiveFrame(frame); });
}

void velRecord(void) {
    Guarded("velRecord", [] { EditorServices().ShuttleRecordKeys(); });
}

void velNewSkeleton(void) {
    Guarded("velNewSkeleton", [] { NewSkeleton(); });
}

void velClearSkeletons(void) {
    Guarded("velClearSkeletons", [] { ClearSkeletons(); });
}

int velSelectSkeleton(CtsxSobj skeleton) {
    return Guarded("velSelectSkeleton", 0, [&] {
        TSkeleton* s = SkeletonOfObject(skeleton);
        if (!s) return 0;
        SetCurrentSkeleton(s);
        return 1;
    });
}

CtsxSobj velGetFirstSkeleton(void) {
    return Guarded("velGetFirstSkeleton", CtsxSobj{}, [] {
        const TSkeleton* s = SkeletonByIndex(0);
        return s ? s->SkeletonObject : CtsxSobj{};
    });
}

CtsxSobj velGetNextSkeleton(CtsxSobj skeleton) {
    return Guarded("velGetNextSkeleton", CtsxSobj{}, [&] {
        const TSkeleton* s = SkeletonOfObject(skeleton);
        if (!s) return CtsxSobj{};
        const TSkeleton* next = SkeletonByIndex(SkeletonList().IndexOf(s) + 1);
        return next ? next->SkeletonObject : CtsxSobj{};
    });
}

CtsxSobj velGetFirstBone(CtsxSobj skeleton) {
    return Guarded("velGetFirstBone", CtsxSobj{}, [&] {
        const TSkeleton* s = SkeletonOfObject(skeleton);
        const TBone* b = s ? s->Bones.ByIndex(0) : nullptr;
        return b ? b->Node : CtsxSobj{};
    });
}

CtsxSobj velGetNextBone(CtsxSobj skeleton, CtsxSobj bone) {
    return Guarded("velGetNextBone", CtsxSobj{}, [&] {
        const TSkeleton* s = SkeletonOfObject(skeleton);
        std::int32_t i = -1;
        if (!s || !bone || !s->Bones.IndexOfNode(bone, i)) return CtsxSobj{};
        const TBone* next = s->Bones.ByIndex(i + 1);
        return next ? next->Node : CtsxSobj{};
    });
}

int velIsSetupMode(void) {
    return SetupMode ? 1 : 0;
}

void velSetupMode(void) {
    Guarded("velSetupMode", [] { ShowPage(tpSetup); });
}

void velAnimateMode(void) {
    Guarded("velAnimateMode", [] { ShowPage(tpAnimate); });
}

int velSkeletonGetRecording(CtsxSobj skeleton) {
    return Guarded("velSkeletonGetRecording", 0, [&] {
        const TSkeleton* s = SkeletonOfObject(skeleton);
        return s && s->Recording ? 1 : 0;
    });
}

void velSkeletonSetRecording(CtsxSobj skeleton, std::uint8_t recording) {
    Guarded("velSkeletonSetRecording", [&] {
        TSkeleton* s = SkeletonOfObject(skeleton);
        if (!s) return;
        s->Recording = recording != 0 ? 1 : 0;
        // The dope sheet shows the flag in its rows.
        EditorServices().DopeGridInvalidate();
    });
}

void velSetBoneMatrix(CtsxSobj bone, const CtsxTxmx3f* matrix, float length) {
    // A NaN would spread through the relaxation into every joint.
    if (!matrix || !std::isfinite(length) || !IsFinite(*matrix)) return;
    Guarded("velSetBoneMatrix", [&] {
        TBone* b = BoneOfObject(bone);
        if (!b) return;
        const float before = b->Length;
        if (length > 0) b->Length = length;
        if (!b->SetMatrix(*matrix)) b->Length = before; // refused whole
    });
}

void velGetBoneMatrix(CtsxSobj bone, CtsxTxmx3f* matrix, float* length) {
    Guarded("velGetBoneMatrix", [&] {
        TBone* b = BoneOfObject(bone);
        if (!b) return;
        CtsxTxmx3f m = matrix ? *matrix : CtsxTxmx3f{};
        const float l = b->GetMatrix(m);
        // Joints too far apart for a float length give no answer.
        if (!std::isfinite(l)) return;
        if (matrix) *matrix = m;
        if (length) *length = l;
    });
}

void velRefreshSkeletons(void) {
    Guarded("velRefreshSkeletons", [] { UpdateAllSkeletons(); });
}

CtsxSobj velGetFirstChild(CtsxSobj bone) {
    return Guarded("velGetFirstChild", CtsxSobj{}, [&] {
        const TBone* b = BoneOfObject(bone);
        const TBoneChild* c = b ? b->Children(0) : nullptr;
        return c ? c->Object : CtsxSobj{};
    });
}

int velGetNextChild(CtsxSobj bone, CtsxSobj* child) {
    if (!child) return 0;
    return Guarded("velGetNextChild", 0, [&] {
        const TBone* b = BoneOfObject(bone);
        if (!b || !*child) return 0;
        const std::int32_t i = ChildIndexOf(*b, *child);
        if (i < 0 || i >= b->ChildCount() - 1) return 0;
        *child = b->Children(i + 1)->Object;
        return 1;
    });
}

std::int32_t velGetChildSkinCount(CtsxSobj bone, CtsxSobj child) {
    return Guarded("velGetChildSkinCount", std::int32_t{0}, [&] {
        const TSkinArea* area = ChildSkinArea(bone, child);
        return area ? area->UsableCount() : 0;
    });
}

void velGetChildVertexWeights(CtsxSobj bone, CtsxSobj child, std::int32_t* indexes,
                              float* weights) {
    if (!indexes || !weights) return;
    Guarded("velGetChildVertexWeights", [&] {
        const TSkinArea* area = ChildSkinArea(bone, child);
        if (!area) return;
        // The same count velGetChildSkinCount answered, so the caller's
        // arrays are large enough.
        const std::int32_t n = area->UsableCount();
        for (std::int32_t i = 0; i < n; ++i) {
            indexes[i] = area->Indexes[static_cast<std::size_t>(i)];
            weights[i] = area->AreaWeights[static_cast<std::size_t>(i)];
        }
    });
}
