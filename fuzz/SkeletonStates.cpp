// Skeleton-state lists: poses with nested child states, read and written back.
#include <memory>

#include "FuzzTarget.h"
#include "RecordFiles.h"
#include "SkeletonState.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzrec::ReadInput(data, size, [](CtsxFILE fd) {
        vel::TRecordReader in(fd);
        vel::TSkeletonStates states;
        states.Read(in);
        fuzzrec::WriteBack([&](vel::TRecordWriter& w) { states.Write(w); });
    });
    return 0;
}

std::vector<std::vector<std::uint8_t>> FuzzSeeds() {
    vel::TSkeletonStates states;
    auto pose = std::make_unique<vel::TSkeletonState>();
    pose->Name = "Pose";
    pose->JointsState->Records.resize(2);
    pose->BonesState->States.push_back(std::make_unique<vel::TBoneState>());
    pose->BonesState->States[0]->ChildMatrices.resize(1);
    auto child = std::make_unique<vel::TSkeletonState>();
    child->Name = "Hand";
    child->JointsState->Records.resize(1);
    pose->ChildStates->Add(std::move(child));
    states.Add(std::move(pose));
    states.Add(std::make_unique<vel::TSkeletonState>());
    return {fuzzrec::Written([&](vel::TRecordWriter& w) { states.Write(w); })};
}
