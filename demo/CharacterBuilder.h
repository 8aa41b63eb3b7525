#pragma once
// Builds the demo's character in a host that has the plug-in's units linked
// in, the way a user builds a rig: the host starts the plug-in and the user
// clicks its icon, the tool window's buttons make the joints and bones, the
// host's drags place them in setup mode. Binding the body to the bones has no
// window yet, so that one step calls the rig as its window will. The last
// step is the user's click on the animate tab.
#include <cstddef>
#include <string>

namespace demo {

struct BuildOptions {
    bool Small = false; // a body of fewer vertices
};

struct BuiltCharacter {
    std::size_t Joints = 0, Bones = 0, Vertices = 0;
};

// Answers false, with the step that did not happen, when one failed (the host
// may refuse what it is asked): the rig is then left as far as it got.
bool BuildCharacter(const BuildOptions& o, BuiltCharacter& built, std::string* error);

} // namespace demo
