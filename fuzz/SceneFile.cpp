// The host stand-in's scene files: a damaged file must fail cleanly.
#include <string>

#include "FuzzTarget.h"
#include "TsxHost.h"
#include "tsxapi.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tsxhost::Reset();
    std::string error;
    tsxhost::LoadSceneFromBytes(std::vector<std::uint8_t>(data, data + size), &error);
    return 0;
}

std::vector<std::vector<std::uint8_t>> FuzzSeeds() {
    tsxhost::Reset();
    CtsxSobj group = tsxhost::AddGroup("Group", nullptr);
    tsxhost::AddCube("Cube", 1.0f, group);
    CtsxSobj cube = tsxhost::AddCube("Lone", 0.5f);
    CtsxVec3f at{1, 2, 3};
    tsxGNodeSetLocation(cube, &at);
    return {tsxhost::SaveSceneToBytes()};
}
