// The joint data blocks "Vel_j_0" and "Vel_j_1" as the host reads them back,
// applied to a joint.
#include <cstring>

#include "Attributes.h"
#include "FuzzTarget.h"
#include "Joint.h"
#include "RecordFiles.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    vel::TJointDataBlock block{};
    vel::TJointData2Block block2{};
    fuzzrec::ReadInput(data, size, [&](CtsxFILE fd) { vel::JointDataFileIO(&block, fd, 0); });
    fuzzrec::ReadInput(data, size, [&](CtsxFILE fd) { vel::JointData2FileIO(&block2, fd, 0); });
    vel::TJoint joint(nullptr);
    vel::ApplyJointData(block, joint);
    vel::ApplyJointData2(block2, joint);
    return 0;
}

std::vector<std::vector<std::uint8_t>> FuzzSeeds() {
    vel::TJointDataBlock block{};
    block.Index = 3;
    block.Stiff = 0.5f;
    vel::TJointData2Block block2{};
    block2.Index = 4;
    block2.Stiff = 0.25f;
    block2.FloorAnchor = CtsxVec3f{0, 0, -1};
    block2.Flags = 16;
    std::vector<std::vector<std::uint8_t>> seeds;
    CtsxFILE fd = tsxhost::OpenWriteFile();
    vel::JointDataFileIO(&block, fd, 1);
    seeds.push_back(tsxhost::FileBytes(fd));
    tsxhost::CloseFile(fd);
    fd = tsxhost::OpenWriteFile();
    vel::JointData2FileIO(&block2, fd, 1);
    seeds.push_back(tsxhost::FileBytes(fd));
    tsxhost::CloseFile(fd);
    return seeds;
}
