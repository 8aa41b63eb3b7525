// Skin-area records, then weighting and deforming a small skin with what was
// read: stored vertex indexes are checked where they are used.
#include <memory>

#include "FuzzTarget.h"
#include "RecordFiles.h"
#include "Skin.h"
#include "TsxHelper.h"

namespace {

vel::TSkinObject& Skin() {
    static vel::TSkinObject skin = [] {
        vel::TSkinObject s;
        std::vector<CtsxVec3f> rest;
        for (int i = 0; i < 8; ++i)
            rest.push_back(CtsxVec3f{-0.25f * static_cast<float>(i), 0.1f, 0.1f});
        s.SetRestVertices(std::move(rest));
        s.VertexCount = 8;
        return s;
    }();
    return skin;
}

vel::TSkinArea SampleArea(std::uint32_t flags) {
    vel::TSkinArea a;
    a.Indexes = {0, 1, 7};
    a.Count = 3;
    a.AreaWeights = {1.0f, 0.5f, 0.0f};
    a.Matrix = CtsxTxmx3f{{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0}};
    a.Length = 2;
    a.TipRamp = 0.5f;
    a.Flags = flags;
    return a;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzrec::ReadInput(data, size, [](CtsxFILE fd) {
        vel::TRecordReader in(fd);
        std::unique_ptr<vel::TSkinArea> area = vel::TSkinArea::CreateFromFile(in);
        if (!area) return;
        vel::TSkinObject& skin = Skin();
        skin.ResetAccumulators();
        area->Deform(skin, vel::IdentityTxmx3f, CtsxVec3f{0, 0, 0});
        fuzzrec::WriteBack([&](vel::TRecordWriter& w) { area->Write(w); });
    });
    return 0;
}

std::vector<std::vector<std::uint8_t>> FuzzSeeds() {
    std::vector<std::vector<std::uint8_t>> seeds;
    for (std::uint32_t flags : {0u, vel::TSkinArea::Locked})
        seeds.push_back(
            fuzzrec::Written([&](vel::TRecordWriter& w) { SampleArea(flags).Write(w); }));
    // Version 100: no volumes, no flags.
    seeds.push_back(fuzzrec::Written([](vel::TRecordWriter& w) {
        w.U32(100);
        w.U32(1);
        w.I32(3);
        w.U32(1);
        w.F32(1);
        w.Mx(CtsxTxmx3f{});
        for (int i = 0; i < 5; ++i)
            w.F32(0.5f);
        w.U32(0);
    }));
    return seeds;
}
