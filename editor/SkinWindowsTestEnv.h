#pragma once
// Test fixture for the skin panel and the weight-painting window: the tool
// window open on a skeleton of one bone along x from (0, 0, 0) to (2, 0, 0)
// whose area covers a strip mesh of 13 vertex pairs from x = -0.5 to 2.5.
#include <vector>

#include "Bone.h"
#include "EditorWindowsTestEnv.h"
#include "Skeleton.h"
#include "Skin.h"
#include "SkinPanelForm.h"

namespace vel {

class SkinWindowsTest : public EditorWindowsTest {
protected:
    // Vertex pairs (x, -0.2, z) and (x, 0.2, z), x from -0.5 by 0.25.
    static CtsxPolyh AddStrip(const char* name, float z = 0) {
        std::vector<CtsxVec3f> vxs;
        std::vector<std::vector<int>> faces;
        for (int i = 0; i <= 12; ++i) {
            const float x = -0.5f + 0.25f * static_cast<float>(i);
            vxs.push_back({x, -0.2f, z});
            vxs.push_back({x, 0.2f, z});
            if (i > 0) faces.push_back({2 * i - 2, 2 * i, 2 * i + 1, 2 * i - 1});
        }
        return tsxhost::AddPolyhedron(name, vxs, faces);
    }
    // The skeleton, with the strip bound and its area set up; the tool
    // window open and the bone selected.
    TSkeleton* SkinnedBone() {
        TSkeleton* s = NewSkel();
        joints = Chain(s, {{0, 0, 0}, {2, 0, 0}});
        bone = s->Bones.Items(0);
        mesh = AddStrip("Strip");
        Bind(s, mesh);
        tsxhost::ClickLeft();
        s->SelectedBone = 0;
        RefreshSkeletonViews();
        return s;
    }
    // Binds obj to the bone with an area reaching 0.25 past both ends,
    // half widths 0.5 by 0.3, and a quarter of fall-off at each end.
    TSkinArea* Bind(TSkeleton* s, CtsxSobj obj) {
        bone->AttachChild(obj);
        s->EnableSkin(obj, bone);
        TSkinArea* a = bone->SkinAreas(bone->ChildCount() - 1);
        a->Root = a->Tip = 0.25f;
        a->RootRamp = a->TipRamp = 0.25f;
        a->VolumeY = 0.5f;
        a->VolumeZ = 0.3f;
        bone->RecollectSkinArea(obj);
        TSkinObject* skin = FindChildSkin(s, bone, bone->ChildCount() - 1);
        if (skin) a->ComputeWeights(*skin);
        return a;
    }
    TSkinArea* Area() const { return bone->SkinAreas(0); }

    std::vector<TJoint*> joints;
    TBone* bone = nullptr;
    CtsxPolyh mesh = nullptr;
};

} // namespace vel
