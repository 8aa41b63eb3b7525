// Bone records of every version, then binding their children in a small scene
// and writing them out again.
#include <memory>

#include "Bone.h"
#include "FuzzTarget.h"
#include "RecordFiles.h"
#include "Skin.h"
#include "TeeBone.h"

namespace {

struct TScene {
    CtsxSobj BoneNode = nullptr;
    CtsxSobj Group = nullptr;
};

// Children read from the input may name these by index or name.
const TScene& Scene() {
    static const TScene scene = [] {
        tsxhost::Reset();
        TScene s;
        s.Group = tsxhost::AddGroup("Group");
        tsxhost::AddCube("Cube", 1.0f, s.Group);
        tsxhost::AddCube("Mesh", 0.5f, s.Group);
        s.BoneNode = tsxhost::AddCube("Bone", 0.1f);
        return s;
    }();
    return scene;
}

void Exercise(vel::TBone& bone, bool underRoot) {
    vel::TJoints none;
    bone.ResolveJoints(none);
    if (underRoot)
        bone.ResolveChildrenUnder(Scene().Group);
    else
        bone.ResolveChildrenInScene();
    fuzzrec::WriteBack([&](vel::TRecordWriter& w) { bone.Save(w); });
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const TScene& scene = Scene();
    fuzzrec::ReadInput(data, size, [&](CtsxFILE fd) {
        vel::TBone bone(scene.BoneNode);
        vel::TRecordReader in(fd);
        bone.Load(in);
        if (in.Failed()) return;
        const bool underRoot = size % 2 == 1;
        if (bone.LoadedTeeBone)
            Exercise(*bone.LoadedTeeBone, underRoot);
        else
            Exercise(bone, underRoot);
    });
    return 0;
}

std::vector<std::vector<std::uint8_t>> FuzzSeeds() {
    const TScene& scene = Scene();
    std::vector<std::vector<std::uint8_t>> seeds;
    CtsxSobj cube = tsxhost::FindByFullName("Group/Cube");
    CtsxSobj mesh = tsxhost::FindByFullName("Group/Mesh");

    vel::TJoint head(cube), tail(mesh), tee(scene.Group);
    tail.SetIndex(1);
    tee.SetIndex(2);
    vel::TBone bone(scene.BoneNode);
    bone.Head = &head;
    bone.Tail = &tail;
    bone.Length = 2;
    bone.Attach(cube);
    bone.Attach(mesh);
    auto area = std::make_unique<vel::TSkinArea>();
    area->Indexes = {0, 2, 4};
    area->Count = 3;
    area->AreaWeights = {0.5f, 1.0f, 0.25f};
    bone.SkinAreaList[1] = std::move(area);
    seeds.push_back(fuzzrec::Written([&](vel::TRecordWriter& w) { bone.Save(w); }));

    vel::TTeeBone teeBone(scene.BoneNode, nullptr);
    teeBone.Head = &head;
    teeBone.Tail = &tail;
    teeBone.TeeJoint = &tee;
    teeBone.Attach(cube);
    seeds.push_back(fuzzrec::Written([&](vel::TRecordWriter& w) { teeBone.Save(w); }));

    // Older forms: version 100 (names in 64 bytes, no matrices, no areas) and
    // a version 105 tee bone with root indexes.
    for (std::uint32_t version : {100u, 105u}) {
        seeds.push_back(fuzzrec::Written([&](vel::TRecordWriter& w) {
            w.U32(version);
            if (version == 105) w.U32(vel::kBoneKindTee);
            w.I32(0);
            w.I32(1);
            w.F32(1);
            w.Vec3(CtsxVec3f{0, 0, 1});
            w.Mx(CtsxTxmx3f{{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0}});
            w.U32(1);
            w.I32(2);
            char name[vel::kOldChildNameSize] = "Cube";
            w.Bytes(name, sizeof name);
            if (version >= 101) w.Mx(CtsxTxmx3f{});
            if (version >= 105) w.I32(2);
            if (version >= 102) w.U32(0);
            if (version == 105) {
                w.I32(2);
                w.F32(1);
                w.F32(1);
            }
        }));
    }
    return seeds;
}
