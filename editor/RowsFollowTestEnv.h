#pragma once
// Test fixture for sessions that check the windows and the rig against the
// scene after every step: the scene tree, skeleton tree and dope sheet list
// exactly what they should, and every object the rig names is an object of
// the scene.
#include <algorithm>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "DopeSheetForm.h"
#include "FrameControl.h"
#include "KeyTimes.h"
#include "RigShape.h"
#include "SceneTreeForm.h"
#include "SkelMgr.h"
#include "SkelTreeForm.h"
#include "TeeBone.h"
#include "TreeFormTestEnv.h"
#include "TsxHelper.h"

namespace vel {

class RowsFollowTest : public TreeFormTest {
protected:
    // Every node of the scene in pre-order, as the scene tree must list it.
    static std::vector<CtsxSobj> SceneRows() { return tsxhost::SceneNodes(); }
    static std::vector<CtsxSobj> TreeRows(TTreeForm* form) {
        std::vector<CtsxSobj> rows;
        TLazyStringTree* tree = form->Tree();
        for (PLazyNode node = tree->GetFirst(); node; node = tree->GetNext(node))
            rows.push_back(form->ObjectOf(node));
        return rows;
    }
    // The shown skeleton's bones and bound objects, each once, in any order.
    static std::vector<CtsxSobj> SkeletonRows() {
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
    static std::vector<CtsxSobj> DopeRows() {
        std::vector<CtsxSobj> rows;
        if (TSkeleton* s = ShownSkeleton()) {
            for (const auto& joint : s->Joints.List)
                rows.push_back(joint->Node);
            for (const auto& bone : s->Bones.List)
                rows.push_back(bone->Node);
        }
        return rows;
    }

    // Each window against the scene and the rig; a message for the step.
    static void ExpectRowsFollow(const std::string& step) {
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
    // Every key of a row shows at its frame.
    static void ExpectKeysMarked(const std::string& step) {
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

    // Every host object the rig names: groups, joints and markers, bones and
    // tee objects, bound objects, pose libraries.
    static std::vector<CtsxSobj> RigObjects() {
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
    static void ExpectRigInScene(const std::string& step, const std::string& userPrefix) {
        const std::vector<CtsxSobj> nodes = SceneRows();
        const std::set<CtsxSobj> scene(nodes.begin(), nodes.end());
        for (CtsxSobj object : RigObjects()) {
            EXPECT_TRUE(scene.count(object)) << step << ": the rig names " << object;
            EXPECT_NE(GetNodeName(object).rfind(userPrefix, 0), 0u)
                << step << ": the rig names the user's " << GetNodeName(object);
        }
    }
};

} // namespace vel
