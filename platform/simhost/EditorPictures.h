#pragma once
// The demo's look at the skin and pose windows, as a user opens them after
// the character is bound and recorded: a bone's skin area with its volume
// objects, the weight-painting window, two poses blended in the pose
// blender, and the onion overlay at a recorded frame. Each writes its
// picture into the output folder and is checked against the rig.
#include <string>
#include <vector>

#include "DemoSupport.h"

namespace simhost {

struct RecordedFrames {
    std::vector<float> Frames;
    // The joints' world positions at each frame, in the character's order.
    std::vector<std::vector<CtsxVec3f>> Joints;
};

void ShowEditorWindows(const VelApi& api, const std::string& outDir, const RecordedFrames& recorded,
                       Checks& checks);

} // namespace simhost
