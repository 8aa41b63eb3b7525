// A scene file merged into a scene holding a rig, with the plug-in's data tag
// and extension-object readers, then the rig's rebuild of merged objects.
#include "PluginScene.h"
#include "ScratchFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fuzzscene::Bytes& base = fuzzscene::BaseScene();
    fuzzscene::TPluginSession session;
    session.Load(base);
    std::string error;
    if (tsxhost::MergeScene(fuzzfile::WriteScratch("merge.scn", data, size), &error))
        session.Settle();
    session.WriteAndDraw();
    return 0;
}

std::vector<std::vector<std::uint8_t>> FuzzSeeds() {
    return {fuzzscene::BaseScene()};
}
