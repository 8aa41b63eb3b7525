#pragma once
// Reads back what a saved scene file holds for each node: its keys, data
// blocks, mesh vertices and extension-object record, so that the demo can
// compare two saves of the same scene. The format is the host's
// (docs/host-standin.md); nothing in the file is trusted.
#include <cstdint>
#include <string>
#include <vector>

#include "tsxapi.h"

namespace simhost {

struct SceneKey {
    std::string Attribute; // empty for the host's own kinds
    std::int32_t Kind = 0;
    float Time = 0;
    std::vector<std::uint8_t> Data;
};

struct SceneNode {
    std::string Path; // names from the top level joined with "/"
    std::int32_t Type = 0;
    std::string ExtType;
    std::vector<CtsxVec3f> Vertices;
    std::vector<SceneKey> Keys;
    std::vector<std::uint8_t> Record; // what the extension object wrote
};

// False with a reason when the file cannot be read or is not a scene.
bool ReadSceneNodes(const std::string& path, std::vector<SceneNode>& nodes, std::string* error);

} // namespace simhost
