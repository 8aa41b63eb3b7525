// Skin-object records (with the old mesh names), then resolving the skin in a
// scene holding one mesh and writing it out again.
#include <memory>
#include <string>

#include "FuzzTarget.h"
#include "RecordFiles.h"
#include "Skin.h"

namespace {

CtsxSobj Mesh() {
    static CtsxSobj mesh = [] {
        tsxhost::Reset();
        CtsxSobj group = tsxhost::AddGroup("Group");
        return static_cast<CtsxSobj>(tsxhost::AddCube("Mesh", 1.0f, group));
    }();
    return mesh;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CtsxSobj mesh = Mesh();
    fuzzrec::ReadInput(data, size, [&](CtsxFILE fd) {
        vel::TRecordReader in(fd);
        auto skin = std::make_unique<vel::TSkinObject>();
        if (!skin->Read(in)) return;
        fuzzrec::WriteBack([&](vel::TRecordWriter& w) { skin->Write(w); });
        vel::TSkinsObject skins;
        skins.Add(std::move(skin));
        if (size % 2 == 0)
            skins.ResolveAllInScene();
        else
            skins.ResolveAllUnder(tsxGNodeGetParent(mesh));
        fuzzrec::WriteBack([&](vel::TRecordWriter& w) { skins.Write(w); });
    });
    return 0;
}

std::vector<std::vector<std::uint8_t>> FuzzSeeds() {
    CtsxSobj mesh = Mesh();
    std::vector<std::vector<std::uint8_t>> seeds;
    vel::TSkinObject skin;
    skin.Bind(mesh);
    seeds.push_back(fuzzrec::Written([&](vel::TRecordWriter& w) { skin.Write(w); }));
    // Version 100 names its mesh.
    seeds.push_back(fuzzrec::Written([&](vel::TRecordWriter& w) {
        w.U32(100);
        w.Text("Mesh");
        w.I32(2);
        w.I32(static_cast<std::int32_t>(skin.RestVertices().size()));
        for (const CtsxVec3f& v : skin.RestVertices())
            w.Vec3(v);
    }));
    return seeds;
}
