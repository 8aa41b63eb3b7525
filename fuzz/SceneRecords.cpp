// The host program's reader of saved scenes (platform/simhost/SceneRecords.cpp),
// with which the demo compares two saves: a damaged file is refused or read
// without a crash, and whatever it accepts is what the file holds.
#include <string>
#include <vector>

#include "FuzzTarget.h"
#include "PluginScene.h"
#include "SceneRecords.h"
#include "ScratchFile.h"
#include "TsxHost.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = fuzzfile::WriteScratch("records.scn", data, size);
    std::vector<simhost::SceneNode> nodes;
    std::string error;
    if (!simhost::ReadSceneNodes(path, nodes, &error)) {
        FuzzCheck(!error.empty(), "a refused file says why");
        return 0;
    }
    // A name may be empty, so a path may be too; what is read back is in the file.
    std::size_t held = 0;
    for (const simhost::SceneNode& n : nodes) {
        held += 12 * n.Vertices.size() + n.Record.size();
        for (const simhost::SceneKey& k : n.Keys)
            held += k.Data.size();
    }
    FuzzCheck(held <= size, "what is read back is in the file");
    return 0;
}

std::vector<std::vector<std::uint8_t>> FuzzSeeds() {
    std::vector<std::vector<std::uint8_t>> seeds{fuzzscene::BaseScene()};
    // The host's own kinds: a sub-division cage under a group, keyed.
    tsxhost::Reset();
    CtsxSobj group = tsxhost::AddGroup("Group", nullptr);
    CtsxSobj cage =
        tsxhost::AddSubDiv("Cage", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}}, group);
    const CtsxVec3f at{1, 2, 3};
    tsxGNodeSetLocation(cage, &at);
    tsxAnimSetActiveTime(4);
    tsxSobjSetFrame(cage, TSX_KIND_LOCATION);
    seeds.push_back(tsxhost::SaveSceneToBytes());
    tsxhost::Reset();
    return seeds;
}
