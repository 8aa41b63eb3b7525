#pragma once
// The plug-in's rig inside the host stand-in for the scene-file targets:
// started afresh for every input as the host loads the module (so an input
// never sees what the one before it left), with a saved scene of a small rig
// that is loaded before the input.
#include <memory>
#include <string>
#include <vector>

#include "Attributes.h"
#include "FileIO.h"
#include "FuzzTarget.h"
#include "MainForm.h"
#include "ScratchFile.h"
#include "SkelMgr.h"
#include "Skeleton.h"
#include "SkeletonState.h"
#include "Switchboard.h"
#include "TeeBone.h"
#include "Timers.h"
#include "TsObjectEvents.h"
#include "TsxHost.h"
#include "TsxPlug.h"

namespace fuzzscene {

using Bytes = std::vector<std::uint8_t>;

class TPluginSession {
public:
    TPluginSession() {
        tsxhost::Reset();
        ResetUnits();
        vel::InitializeObjectEventsUnit();
        FForm = std::make_unique<vel::TMainForm>(nullptr);
        vel::MainForm = FForm.get();
        tsxhost::AttachPlugin(
            {tsxGetVersion, tsxGetData, tsxOnLeftClick, tsxOnRightClick, tsxDeactivate});
        CtsxPluginData data;
        tsxhost::LoadSequence(1, &data);
        tsxhost::SetViewCount(1); // one view draws every object as four would
    }
    ~TPluginSession() {
        vel::testing::ResetSkelMgrUnit();
        vel::MainForm = nullptr;
        FForm.reset();
        vel::FinalizeObjectEventsUnit();
        tsxhost::Reset();
        ResetUnits();
    }
    TPluginSession(const TPluginSession&) = delete;
    TPluginSession& operator=(const TPluginSession&) = delete;

    vel::TMainForm& Form() { return *FForm; }

    // Lets the main form's load timers run, as the host's idle time would.
    static void Settle() {
        fw::ProcessMessages();
        fw::AdvanceClock(vel::kLoadTimerInterval);
    }

    // The host replaces its scene with bytes and the rig rebuilds itself.
    static void Load(const Bytes& scene) {
        std::string error;
        FuzzCheck(tsxhost::LoadSceneFromBytes(scene, &error), "the rig's own scene loads");
        Settle();
    }

    // After an input: the writers and the views cope with what was read.
    static void WriteAndDraw() {
        tsxhost::SaveSceneToBytes();
        tsxAllViewsRefresh();
        tsxhost::IdleRedraw();
    }

private:
    static void ResetUnits() {
        vel::testing::ResetPlugUnit();
        vel::testing::ResetSwitchboardUnit();
        vel::testing::ResetSkelMgrUnit();
        vel::testing::ResetAttributesUnit();
        vel::testing::ResetFileIOUnit();
        vel::TTeeBone::ResetSharedUp();
    }

    std::unique_ptr<vel::TMainForm> FForm;
};

// A bone between two joints with a mesh skinned to it, a pose, a size factor
// and a helper object that a load deletes: each tag block and extension
// record the plug-in writes, in a seed small enough to replay byte by byte.
inline Bytes RigScene() {
    const std::vector<CtsxVec3f> triangle = {{0, 0, 0}, {0.2f, 0, 0}, {0, 0.2f, 0}};
    {
        TPluginSession bare; // joints made of one triangle
        tsxhost::AddPolyhedron("JointBars", triangle, {{0, 1, 2}});
        const Bytes joint = tsxhost::SaveSceneToBytes();
        fuzzfile::WriteScratch(vel::kJointMeshFile, joint.data(), joint.size());
    }
    TPluginSession session;
    vel::HomeDir = fuzzfile::ScratchDir().string() + "/";
    vel::NewSkeleton();
    vel::TSkeleton* s = vel::CurrentSkeleton;
    std::vector<vel::TJoint*> joints;
    for (const CtsxVec3f& at : {CtsxVec3f{0, 0, 0}, CtsxVec3f{0, 2, 0}}) {
        joints.push_back(s->Joints.Items(s->AddJointObject(vel::NewJointObject())));
        joints.back()->SetPosition(at);
    }
    s->NewBone(joints[0], joints[1]);
    s->Bones.PlaceAll();
    joints[1]->SetStiff(0.5f);
    CtsxSobj mesh = tsxhost::AddPolyhedron("Mesh", triangle, {{0, 1, 2}});
    s->Bones.Items(0)->Attach(mesh);
    s->EnableSkin(mesh, s->Bones.Items(0));
    s->PoseList.push_back(s->CaptureState("Pose", false, false));
    s->SizeFactor = 2;
    s->UpdateJointSizes();
    tsxSceneAddObject(session.Form().VolumeExtObj->CreateObject(), 1);
    return tsxhost::SaveSceneToBytes();
}

// Built once: the seed of both targets and the scene every input starts in.
inline const Bytes& BaseScene() {
    static const Bytes scene = RigScene();
    return scene;
}

} // namespace fuzzscene
