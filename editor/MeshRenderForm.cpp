#include "MeshRenderForm.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "Bone.h"
#include "ExtCtrls.h"
#include "Forms.h"
#include "GcGradient.h"
#include "PaintBox32.h"
#include "PictureClip.h"
#include "RigShape.h"
#include "SkelMgr.h"
#include "Skeleton.h"
#include "Skin.h"
#include "SkinPanelForm.h"
#include "Switchboard.h"

namespace vel {

TMeshRenderForm* MeshRenderForm = nullptr;

namespace {

TGcGradient* MakeLegend(fw::TWinControl* parent, const char* name, int left, fw::TColor from,
                        fw::TColor to) {
    auto* g = fw::Create<TGcGradient>(parent->Owner());
    g->SetName(name);
    g->SetParent(parent);
    g->SetAlign(fw::alNone); // a gradient fills its parent unless told otherwise
    g->SetBounds(left, 8, 131, 9);
    g->SetStyle(TGcGradientStyle::grHorizontal);
    g->SetStartColor(from);
    g->SetEndColor(to);
    return g;
}

// The mesh's vertices in world space, from its vertex transform.
std::vector<CtsxVec3f> WorldVertices(CtsxPolyh mesh) {
    const int n = tsxPolyhGetNbrVxs(mesh);
    const CtsxVec3f* vxs = n > 0 ? tsxPolyhGetVxArray(mesh) : nullptr;
    if (!vxs) return {};
    CtsxTxmx3f m;
    tsxPolyhGetVxTxmx(mesh, &m);
    std::vector<CtsxVec3f> world(static_cast<std::size_t>(n));
    for (std::size_t i = 0; i < world.size(); ++i)
        tsxTransformVect3f(&vxs[i], &world[i], &m);
    return world;
}

} // namespace

TMeshRenderForm::TMeshRenderForm(fw::TComponent* AOwner) : TTsOwnedForm(AOwner) {
    SetName("MeshRenderForm");
    SetCaption("Paint Weights");
    SetBounds(0, 0, 440, 480);
    LoadComponents([this] {
        auto* legend = fw::Create<fw::TPanel>(this);
        legend->SetName("LegendPanel");
        legend->SetParent(this);
        legend->SetBounds(0, 455, 440, 25);
        legend->SetAlign(fw::alBottom);
        LowLegend = MakeLegend(legend, "LowLegend", 8, fw::clBlack, fw::clYellow);
        HighLegend = MakeLegend(legend, "HighLegend", 139, fw::clYellow, fw::clRed);
        PaintBox = fw::Create<TPaintBox32>(this);
        PaintBox->SetName("PaintBox");
        PaintBox->SetParent(this);
        PaintBox->SetAlign(fw::alClient);
    });
    PaintBox->OnPaintBuffer = [this](fw::TObject*) { PaintMesh(PaintBox->Buffer()); };
}

TMeshRenderForm::~TMeshRenderForm() {
    if (MeshRenderForm == this) MeshRenderForm = nullptr;
}

TColor32 TMeshRenderForm::WeightColour(float w) {
    if (!(w > 0)) w = 0; // NaN too
    w = std::min(w, 1.0f);
    if (w <= 0.5f) {
        const auto v = static_cast<std::uint32_t>(std::lround(w * 2 * 255));
        return 0xFF000000u | v << 16 | v << 8;
    }
    const auto g = static_cast<std::uint32_t>(std::lround((1 - w) * 2 * 255));
    return 0xFFFF0000u | g << 8;
}

void TMeshRenderForm::LoadSkin(TSkeleton* skeleton, std::int32_t boneIndex,
                               std::int32_t childIndex) {
    Clear();
    if (!skeleton) return;
    TBone* bone = skeleton->Bones.ByIndex(boneIndex);
    TBoneChild* child = bone ? bone->Children(childIndex) : nullptr;
    if (!child) return;
    FSkeleton = skeleton->Serial.Value;
    FBone = bone->Serial.Value;
    FChild = child->Serial.Value;
    FBoneIndex = boneIndex;
    FChildIndex = childIndex;
    FObject = RefTo(child->Object);
    PaintBox->Invalidate();
}

TSkeleton* TMeshRenderForm::Skeleton() const {
    return FSkeleton ? SkeletonBySerial(FSkeleton) : nullptr;
}

void TMeshRenderForm::Clear() {
    FSkeleton = FBone = FChild = 0;
    FBoneIndex = -1;
    FChildIndex = -1;
    FObject = {};
    FPoints.clear();
    FDrawn.clear();
    PaintBox->Invalidate();
}

TSkinArea* TMeshRenderForm::LoadedArea(CtsxPolyh& Mesh) const {
    Mesh = nullptr;
    TSkeleton* skeleton = Skeleton();
    TBone* bone = skeleton ? skeleton->Bones.ByIndex(FBoneIndex) : nullptr;
    if (!bone || bone->Serial.Value != FBone) return nullptr;
    TBoneChild* child = bone->Children(FChildIndex);
    TSkinArea* area = bone->SkinAreas(FChildIndex);
    if (!child || child->Serial.Value != FChild || !area) return nullptr;
    if (!child->Object || LiveObject(FObject) != child->Object) return nullptr;
    TSkinObject* skin = FindChildSkin(skeleton, bone, FChildIndex);
    if (!skin) return nullptr;
    skin->ResolveMesh();
    Mesh = skin->Mesh;
    // The weights the next deformation gives (a setup-mode rebind lists the
    // vertices with no weight yet); painted weights stay as they are.
    if (Mesh) area->ComputeWeights(*skin);
    return Mesh ? area : nullptr;
}

bool TMeshRenderForm::VertexPoint(std::int32_t i, fw::TPoint& Point) const {
    if (i < 0 || static_cast<std::size_t>(i) >= FDrawn.size() ||
        !FDrawn[static_cast<std::size_t>(i)])
        return false;
    Point = FPoints[static_cast<std::size_t>(i)];
    return true;
}

// The finite vertices fitted to a picture of w by h, in double: sums and
// spans of floats far apart stay finite, and every point lands in the
// picture before it becomes a pixel. A vertex with no finite place is not
// drawn.
void TMeshRenderForm::FitPoints(const std::vector<CtsxVec3f>& World, int Width, int Height) {
    const auto finite = [](const CtsxVec3f& p) { return std::isfinite(p.x) && std::isfinite(p.z); };
    double x0 = 0, x1 = 0, z0 = 0, z1 = 0;
    bool any = false;
    for (const CtsxVec3f& p : World) {
        if (!finite(p)) continue;
        x0 = any ? std::min<double>(x0, p.x) : p.x, x1 = any ? std::max<double>(x1, p.x) : p.x;
        z0 = any ? std::min<double>(z0, p.z) : p.z, z1 = any ? std::max<double>(z1, p.z) : p.z;
        any = true;
    }
    const double w = Width, h = Height;
    const double scale = std::max(0.0, std::min((w - 2 * kMargin) / std::max(x1 - x0, 1e-6),
                                                (h - 2 * kMargin) / std::max(z1 - z0, 1e-6)));
    FPoints.assign(World.size(), fw::TPoint{0, 0});
    FDrawn.assign(World.size(), false);
    for (std::size_t i = 0; i < World.size(); ++i) {
        if (!finite(World[i])) continue;
        const double x = w / 2 + (World[i].x - (x0 + x1) / 2) * scale;
        const double y = h / 2 - (World[i].z - (z0 + z1) / 2) * scale;
        FPoints[i] = {PixelOf(x, 0, w - 1), PixelOf(y, 0, h - 1)};
        FDrawn[i] = true;
    }
}

// Edges first, then the vertices from the back to the front, so that a
// vertex nearer the viewer shows over one behind it.
void TMeshRenderForm::PaintMesh(TBitmap32& Buffer) {
    Buffer.Clear(kBackground);
    FPoints.clear();
    FDrawn.clear();
    CtsxPolyh mesh = nullptr;
    TSkinArea* area = LoadedArea(mesh);
    const std::vector<CtsxVec3f> world = area ? WorldVertices(mesh) : std::vector<CtsxVec3f>{};
    if (world.empty() || Buffer.Empty()) return;
    FitPoints(world, Buffer.Width(), Buffer.Height());
    std::int32_t face[64];
    const int faces = tsxPolyhGetNbrFaces(mesh);
    for (int f = 0; f < faces; ++f) {
        const int n = std::min(tsxPolyhGetFaceVxs(mesh, f, face, 64), 64);
        for (int k = 0; k < n; ++k) {
            const auto a = static_cast<std::size_t>(face[k]),
                       b = static_cast<std::size_t>(face[(k + 1) % n]);
            if (a < FPoints.size() && b < FPoints.size() && FDrawn[a] && FDrawn[b])
                Buffer.LineS(FPoints[a].X, FPoints[a].Y, FPoints[b].X, FPoints[b].Y, kEdge);
        }
    }
    std::vector<float> weights(world.size(), -1.0f);
    for (std::int32_t k = 0; k < area->UsableCount(); ++k) {
        const auto i = static_cast<std::size_t>(area->Indexes[static_cast<std::size_t>(k)]);
        if (i < weights.size()) weights[i] = area->AreaWeights[static_cast<std::size_t>(k)];
    }
    std::vector<std::size_t> order(world.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return world[a].y > world[b].y; });
    for (std::size_t i : order) {
        if (!FDrawn[i]) continue;
        const fw::TPoint p = FPoints[i];
        if (weights[i] < 0)
            Buffer.FillRectS(p.X - 1, p.Y - 1, p.X + 2, p.Y + 2, kUnweighted);
        else
            Buffer.FillRectS(p.X - 2, p.Y - 2, p.X + 3, p.Y + 3, WeightColour(weights[i]));
    }
}

void EditBoneSkin() {
    TSkeleton* skeleton = CurrentSkeleton;
    if (!skeleton) return;
    TBone* bone = skeleton->Bones.ByIndex(skeleton->SelectedBone);
    if (!bone) return;
    std::int32_t child = -1;
    if (SkinPanelForm) {
        SkinPanelForm->SelectedArea(nullptr, &child);
    } else {
        for (std::int32_t i = 0; i < bone->ChildCount() && child < 0; ++i)
            if (bone->SkinAreas(i)) child = i;
    }
    if (child < 0) return;
    if (!MeshRenderForm) MeshRenderForm = fw::Application()->CreateForm<TMeshRenderForm>();
    MeshRenderForm->Show();
    MeshRenderForm->LoadSkin(skeleton, skeleton->SelectedBone, child);
}

} // namespace vel
