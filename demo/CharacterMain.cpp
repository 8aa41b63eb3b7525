// Makes the demo's character scene: a host with the plug-in built in, driven
// the way a user builds a rig (demo/CharacterBuilder.h); the host's save asks
// the plug-in for its records.
#include <cstdio>
#include <cstring>
#include <string>

#include "CharacterBuilder.h"
#include "TsxHost.h"

int main(int argc, char** argv) {
    std::string out = "character.scene";
    demo::BuildOptions o;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--out") == 0 && i + 1 < argc)
            out = argv[++i];
        else if (std::strcmp(argv[i], "--small") == 0)
            o.Small = true;
        else {
            std::fprintf(stderr, "usage: simcharacter [--out FILE] [--small]\n");
            return 2;
        }
    }
    // The plug-in's units went up as this program started and come down at
    // its exit, as in a host that never unloads its plug-ins.
    demo::BuiltCharacter built;
    std::string error;
    if (!demo::BuildCharacter(o, built, &error) || !tsxhost::SaveScene(out, &error)) {
        std::fprintf(stderr, "simcharacter: %s\n", error.c_str());
        return 1;
    }
    std::printf("character: %zu joints, %zu bones, %zu vertices -> %s\n", built.Joints, built.Bones,
                built.Vertices, out.c_str());
    return 0;
}
