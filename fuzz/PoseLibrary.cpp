// Pose-library records as the host hands them to the read handler; what is
// queued is dropped again so that nothing piles up between inputs.
#include "FileIO.h"
#include "FuzzTarget.h"
#include "RecordFiles.h"
#include "SkeletonState.h"
#include "Skin.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzrec::ReadInput(data, size, [](CtsxFILE fd) { vel::ReadPoseLibObject(nullptr, fd); });
    // No pose-library object in a scene: every holder is freed unused.
    vel::MovePoseHoldersToSkeletons();
    vel::ClearLoadProblems();
    return 0;
}

std::vector<std::vector<std::uint8_t>> FuzzSeeds() {
    std::vector<std::vector<std::uint8_t>> seeds;
    for (std::uint32_t version : {vel::kPoseLibVersion, vel::kPoseLibVersionNoSize}) {
        seeds.push_back(fuzzrec::Written([&](vel::TRecordWriter& w) {
            w.U32(version);
            w.U32(1);
            vel::TSkeletonState pose;
            pose.Name = "Pose";
            pose.JointsState->Records.resize(3);
            pose.Write(w);
            vel::TSkinsObject skins;
            auto skin = std::make_unique<vel::TSkinObject>();
            skin->SetRestVertices({{0, 0, 0}, {1, 1, 1}});
            skin->VertexCount = 2;
            skin->SceneIndex = 1;
            skins.Add(std::move(skin));
            skins.Write(w);
            if (version != vel::kPoseLibVersionNoSize) w.F32(2.0f);
        }));
    }
    return seeds;
}
