#pragma once
// Checks for sessions that hold the windows and the rig against the scene
// after every step: the scene tree, skeleton tree and dope sheet list exactly
// what they should, every object the rig names is an object of the scene,
// and everything in the scene is finite.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Attributes.h"
#include "DopeSheetForm.h"
#include "FrameControl.h"
#include "KeyTimes.h"
#include "RigShape.h"
#include "SceneTreeForm.h"
#include "SkelMgr.h"
#include "SkelTreeForm.h"
#include "Skeleton.h"
#include "TeeBone.h"
#include "TreeForm.h"
#include "TsxHelper.h"
#include "TsxHost.h"

namespace vel {

// Every node of the scene in pre-order, as the scene tree must list it.
inline std::vector<CtsxSobj> SceneRows() { return tsxhost::SceneNodes(); }
inline std::vector<CtsxSobj> TreeRows(TTreeForm* form) {
    std::vector<CtsxSobj> rows;
    TLazyStringTree* tree = form->Tree();
    for (PLazyNode node = tree->GetFirst(); node; node = tree->GetNext(node))
        rows.push_back(form->ObjectOf(node));
    return rows;
}
// The shown skeleton's bones and bound objects, each once, in any order.
inline std::vector<CtsxSobj> SkeletonRows() {
    std::vector<CtsxSobj> rows;
    if (TSkeleton* s = ShownSkeleton())
        for (const auto& bone : s->Bones.List) {
            rows.push_back(bone->Node);
            for (const auto& child : bone->ChildList)
                rows.push_back(child->Object);
        }
    std::sort(rows.begin(), rows.end());
    return rows;
}
inline std::vector<CtsxSobj> DopeRows() {
    std::vector<CtsxSobj> rows;
    if (TSkeleton* s = ShownSkeleton()) {
        for (const auto& joint : s->Joints.List)
            rows.push_back(joint->Node);
        for (const auto& bone : s->Bones.List)
            rows.push_back(bone->Node);
    }
    return rows;
}

// Every key of a row shows at its frame.
inline void ExpectKeysMarked(const std::string& step) {
    TDopeSheetForm* dope = DopeSheetForm;
    for (int r = 1; r <= dope->DopeGrid->Rows(); ++r) {
        const CtsxSobj object = dope->ObjectOfRow(r);
        if (!object) continue;
        const int kind = dope->BoneRow(r) ? TwistAttribute : TSX_KIND_LOCATION;
        const std::uint8_t bit = dope->BoneRow(r) ? dkTwist : dkLocation;
        WalkKeys(THostKeys{object, kind}, [&](float t) {
            const int col = dope->ColOfFrame(FrameNumber(t));
            EXPECT_NE(col, 0) << step << ": no column for frame " << t;
            if (col == 0) return false;
            EXPECT_TRUE(dope->KeysAt(col, r) & bit) << step << ": row " << r << " frame " << t;
            return true;
        });
    }
}

// Each window against the scene and the rig; a message for the step.
inline void ExpectRowsFollow(const std::string& step) {
    EXPECT_EQ(TreeRows(SceneTreeForm), SceneRows()) << step;
    std::vector<CtsxSobj> skel = TreeRows(SkelTreeForm);
    std::sort(skel.begin(), skel.end());
    EXPECT_EQ(skel, SkeletonRows()) << step;
    for (PLazyNode node = SkelTreeForm->Tree()->GetFirst(); node;
         node = SkelTreeForm->Tree()->GetNext(node))
        EXPECT_EQ(SkelTreeForm->RowText(node).find('?'), std::string::npos) << step;
    TDopeSheetForm* dope = DopeSheetForm;
    std::vector<CtsxSobj> sheet;
    for (int r = 1; r <= dope->DopeGrid->Rows(); ++r)
        sheet.push_back(dope->ObjectOfRow(r));
    EXPECT_EQ(sheet, DopeRows()) << step;
    if (ShownSkeleton()) {
        EXPECT_NE(dope->ColOfFrame(CurrentFrame), 0) << step;
    }
    ExpectKeysMarked(step);
}
// Every host object the rig names: groups, joints and markers, bones and
// tee objects, bound objects, pose libraries.
inline std::vector<CtsxSobj> RigObjects() {
    std::vector<CtsxSobj> objects;
    for (const auto& s : SkeletonList().List) {
        objects.insert(objects.end(), {s->Bag, s->SkeletonObject, s->PoseLibObject});
        for (const auto& joint : s->Joints.List)
            objects.insert(objects.end(), {joint->Node, joint->Marker});
        for (const auto& bone : s->Bones.List) {
            objects.push_back(bone->Node);
            if (const auto* tee = dynamic_cast<const TTeeBone*>(bone.get()))
                objects.push_back(tee->ExtraObject);
            for (const auto& child : bone->ChildList)
                objects.push_back(child->Object);
        }
    }
    objects.erase(std::remove(objects.begin(), objects.end(), nullptr), objects.end());
    return objects;
}
// Every object the rig names is in the scene, and none is one of the
// user's that the rig never had (named with userPrefix).
inline void ExpectRigInScene(const std::string& step, const std::string& userPrefix) {
    const std::vector<CtsxSobj> nodes = SceneRows();
    const std::set<CtsxSobj> scene(nodes.begin(), nodes.end());
    for (CtsxSobj object : RigObjects()) {
        EXPECT_TRUE(scene.count(object)) << step << ": the rig names " << object;
        EXPECT_NE(GetNodeName(object).rfind(userPrefix, 0), 0u)
            << step << ": the rig names the user's " << GetNodeName(object);
    }
}

// Non-finite numbers the scene holds: in node transforms, sizes and
// rotations, mesh vertices, and the data of every key of every kind.
inline int NonFiniteInScene() {
    int bad = 0;
    auto count = [&bad](const float* f, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i)
            bad += std::isfinite(f[i]) ? 0 : 1;
    };
    const int kinds[] = {TSX_KIND_ROTATION, TSX_KIND_LOCATION, TSX_KIND_SIZE, TwistAttribute,
                         StiffAttribute};
    for (CtsxSobj node : tsxhost::SceneNodes()) {
        CtsxTxmx3f m;
        tsxGNodeGetTransform(node, &m);
        count(m.m, 12);
        const int n = tsxPolyhGetNbrVxs(node);
        if (const CtsxVec3f* v = tsxPolyhGetVxArray(node)) count(&v->x, 3 * std::size_t(n));
        for (int kind : kinds) {
            for (float t = tsxSobjGetFirstTime(node, kind); t >= 0;
                 t = tsxSobjGetNextTime(node, kind, t)) {
                float data[64] = {};
                const int size = tsxFrameGetData(tsxSobjGetFrame(node, kind, 0, t), data);
                count(data, std::size_t(std::min(size, 256)) / 4);
            }
        }
    }
    return bad;
}

} // namespace vel
