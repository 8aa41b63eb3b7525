#pragma once
// The plug-in's main job from end to end, as a user and a script would drive
// it in the host: make the character, load it and let the plug-in rebuild
// it, pose it by dragging joints, record keys, play them back, save, load
// into a fresh host and check that everything came back.
#include <string>

namespace simhost {

struct DemoOptions {
    std::string Plugin; // the plug-in module
    std::string Maker;  // the character maker program
    std::string OutDir; // scenes and pictures go here
    bool Small = false; // a character of fewer vertices
};

// Answers the process exit code: 0 when every check passed.
int RunDemo(const DemoOptions& o);

} // namespace simhost
