#pragma once
// Test fixture for the rig core: a fresh host with the plug-in's main form
// started as the host starts it, so the factories, joint data and skeleton
// list work as in the module. The rig's calls into the editor reach a
// recording stand-in.
#include <cmath>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "Attributes.h"
#include "EditorServices.h"
#include "MainForm.h"
#include "RecordingEditor.h"
#include "SkelMgr.h"
#include "Skeleton.h"
#include "Switchboard.h"
#include "TsObjectEvents.h"
#include "TsxHelper.h"
#include "TsxHost.h"
#include "TsxPlug.h"

namespace vel {

inline CtsxTxmx3f TranslationMx(float x, float y, float z) {
    return CtsxTxmx3f{{1, 0, 0, x, 0, 1, 0, y, 0, 0, 1, z}};
}

inline float Distance(const CtsxVec3f& a, const CtsxVec3f& b) {
    const float dx = a.x - b.x, dy = a.y - b.y, dz = a.z - b.z;
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

inline CtsxVec3f NodeLocation(CtsxSobj node) {
    CtsxVec3f v{};
    tsxGNodeGetLocation(node, &v);
    return v;
}

inline CtsxVec3f NodeSize(CtsxSobj node) {
    CtsxVec3f v{};
    tsxGNodeGetSize(node, &v);
    return v;
}

inline CtsxEuler3f NodeRotation(CtsxSobj node) {
    CtsxEuler3f e{};
    tsxGNodeGetRotation(node, &e);
    return e;
}

#define EXPECT_VEC_NEAR(v, X, Y, Z, eps)                                                           \
    do {                                                                                           \
        const CtsxVec3f vv_ = (v);                                                                 \
        EXPECT_NEAR(vv_.x, (X), (eps));                                                            \
        EXPECT_NEAR(vv_.y, (Y), (eps));                                                            \
        EXPECT_NEAR(vv_.z, (Z), (eps));                                                            \
    } while (0)

class CoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        tsxhost::Reset();
        testing::ResetPlugUnit();
        testing::ResetSwitchboardUnit();
        testing::ResetSkelMgrUnit();
        testing::ResetAttributesUnit();
        TTeeBone::ResetSharedUp();
        OptKeyJoints = true;
        SetupMode = false;
        MakeModule();
        InstallEditorServices(&Editor());
        CtsxPluginData data;
        tsxhost::LoadSequence(1, &data);
    }

    void TearDown() override {
        testing::ResetSkelMgrUnit();
        testing::ResetSwitchboardUnit();
        DropModule();
        InstallEditorServices(nullptr);
        editor.Reset();
        SetupMode = false;
    }

    // What the rig's calls into the editor reach; fixtures that test the
    // editor itself answer its windows.
    virtual TEditorServices& Editor() { return editor; }

    // The main form made and the plug-in attached, not yet loaded by the host.
    void MakeModule() {
        InitializeObjectEventsUnit();
        form.reset(new TMainForm(nullptr));
        MainForm = form.get();
        tsxhost::AttachPlugin(
            {tsxGetVersion, tsxGetData, tsxOnLeftClick, tsxOnRightClick, tsxDeactivate});
    }

    // The main form gone and the host emptied, as the module is unloaded.
    void DropModule() {
        MainForm = nullptr;
        form.reset();
        FinalizeObjectEventsUnit();
        tsxhost::Reset();
        testing::ResetPlugUnit();
        testing::ResetAttributesUnit();
    }

    // A new current skeleton with its "Skeleton" group and bag.
    TSkeleton* NewSkel() {
        NewSkeleton();
        return CurrentSkeleton;
    }

    static TJoint* JointAt(TSkeleton* s, float x, float y, float z) {
        TJoint* j = s->Joints.Items(s->AddJointObject(NewJointObject()));
        j->SetPosition(CtsxVec3f{x, y, z});
        return j;
    }

    // Joints at the points, each joined to the next by a bone.
    static std::vector<TJoint*> Chain(TSkeleton* s, const std::vector<CtsxVec3f>& points) {
        std::vector<TJoint*> joints;
        for (const CtsxVec3f& p : points) {
            joints.push_back(JointAt(s, p.x, p.y, p.z));
            if (joints.size() > 1) s->NewBone(joints[joints.size() - 2], joints.back());
        }
        s->Bones.PlaceAll();
        return joints;
    }

    std::unique_ptr<TMainForm> form;
    TRecordingEditor editor;
};

} // namespace vel
