// A scene file loaded as one object: by the host's object loader, then by the
// rig, which makes its joints from such a file, into a scene holding a rig.
#include "PluginScene.h"
#include "ScratchFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fuzzscene::Bytes& base = fuzzscene::BaseScene();
    fuzzscene::TPluginSession session;
    session.Load(base);
    const std::string path = fuzzfile::WriteScratch(vel::kJointMeshFile, data, size);
    if (CtsxSobj object = tsxObjectLoad(path.c_str())) tsxSceneAddObject(object, 1);
    vel::HomeDir = fuzzfile::ScratchDir().string() + "/";
    if (vel::TSkeleton* s = vel::CurrentSkeleton) {
        vel::TJoint* head = s->Joints.Count() > 0 ? s->Joints.Items(0) : nullptr;
        if (CtsxSobj node = vel::NewJointObject()) {
            vel::TJoint* tail = s->Joints.Items(s->AddJointObject(node));
            if (head) s->NewBone(head, tail);
        }
        s->Update();
    }
    session.Settle();
    session.WriteAndDraw();
    return 0;
}

std::vector<std::vector<std::uint8_t>> FuzzSeeds() {
    fuzzscene::Bytes joint;
    {
        fuzzscene::TPluginSession session;
        tsxhost::AddCube("JointBars", 0.1f);
        joint = tsxhost::SaveSceneToBytes();
    }
    return {joint, fuzzscene::BaseScene()};
}
