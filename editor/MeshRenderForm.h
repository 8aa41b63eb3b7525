#pragma once
// The weight-painting window: shows one skinned child of a bone from the
// front (x to the right, z up), fitted to the window, with its mesh's edges
// and each vertex coloured by its weight in the bone's skin area: black at 0
// through yellow at 0.5 to red at 1, and vertices the area does not list
// small and grey-blue. Two gradients below the picture are the legend. The
// picture is drawn into the paint box's 32-bit buffer on every paint, so it
// follows the area and the pose whenever the window is repainted.
#include <cstdint>
#include <vector>

#include "Bitmap32.h"
#include "HostRefs.h"
#include "TsOwnedForm.h"
#include "Types.h"
#include "tsxapi.h"

namespace vel {

class TSkeleton;
class TSkinArea;
class TPaintBox32;
class TGcGradient;

class TMeshRenderForm : public TTsOwnedForm {
public:
    explicit TMeshRenderForm(fw::TComponent* AOwner);
    ~TMeshRenderForm() override;

    static constexpr TColor32 kBackground = 0xFF303848;
    static constexpr TColor32 kEdge = 0xFF8890A0;
    static constexpr TColor32 kUnweighted = 0xFF7088B0;
    // Pixels between the mesh and the picture's edge.
    static constexpr int kMargin = 12;
    // The colour of a listed vertex of weight w (clamped into 0..1).
    static TColor32 WeightColour(float w);

    TPaintBox32* PaintBox = nullptr;
    TGcGradient* LowLegend = nullptr;
    TGcGradient* HighLegend = nullptr;

    // What is loaded: the skeleton (none once it went), bone index, child
    // index and its object.
    TSkeleton* Skeleton() const;
    std::int32_t BoneIndex() const { return FBoneIndex; }
    std::int32_t ChildIndex() const { return FChildIndex; }
    CtsxSobj Object() const { return FObject.Object; }

    void LoadSkin(TSkeleton* skeleton, std::int32_t boneIndex, std::int32_t childIndex);
    void Clear();
    // Draws the loaded child into Buffer (sized to the paint box).
    void PaintMesh(TBitmap32& Buffer);
    // Where the last picture put vertex i; false when it drew none there.
    bool VertexPoint(std::int32_t i, fw::TPoint& Point) const;

private:
    // The loaded area, its weights up to date, and its mesh, found again
    // from the skeleton list: none once any of them went. Each is known by
    // what reuse cannot fake: the rig's objects by serial, the host object
    // by a reference (HostRefs.h).
    TSkinArea* LoadedArea(CtsxPolyh& Mesh) const;
    void FitPoints(const std::vector<CtsxVec3f>& World, int Width, int Height);
    std::uint64_t FSkeleton = 0;
    std::uint64_t FBone = 0;
    std::uint64_t FChild = 0;
    std::int32_t FBoneIndex = -1;
    std::int32_t FChildIndex = -1;
    THostRef FObject;
    std::vector<fw::TPoint> FPoints;
    std::vector<bool> FDrawn;
};

// Empty until EditBoneSkin first has a skin to show.
extern TMeshRenderForm* MeshRenderForm;

// For the current skeleton's selected bone and the skin panel's selected area
// (without the panel, the bone's first skinned child): creates the window on
// first use, shows it and loads that child.
void EditBoneSkin();

} // namespace vel
