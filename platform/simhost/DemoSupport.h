#pragma once
// What the demo's parts share: the checks (each one counted, each failure
// printed), the plug-in's scripting functions as a script finds them, and
// the host's idle step.
#include <cstdint>
#include <cstdio>
#include <dlfcn.h>
#include <string>
#include <type_traits>

#include "TsxHost.h"
#include "tsxapi.h"

namespace simhost {

class Checks {
public:
    bool Expect(bool ok, const std::string& what) {
        ++FCount;
        if (!ok) {
            ++FFailed;
            std::printf("  FAILED: %s\n", what.c_str());
        }
        return ok;
    }
    int Count() const { return FCount; }
    int Failed() const { return FFailed; }

private:
    int FCount = 0;
    int FFailed = 0;
};

// The plug-in's scripting functions, looked up by name as a script does.
struct VelApi {
    void (*SetRecordFrame)(float) = nullptr;
    void (*Record)() = nullptr;
    int (*IsSetupMode)() = nullptr;
    CtsxSobj (*GetFirstSkeleton)() = nullptr;
    CtsxSobj (*GetNextSkeleton)(CtsxSobj) = nullptr;
    CtsxSobj (*GetFirstBone)(CtsxSobj) = nullptr;
    CtsxSobj (*GetNextBone)(CtsxSobj, CtsxSobj) = nullptr;
    void (*GetBoneMatrix)(CtsxSobj, CtsxTxmx3f*, float*) = nullptr;
    CtsxSobj (*GetFirstChild)(CtsxSobj) = nullptr;
    int (*GetNextChild)(CtsxSobj, CtsxSobj*) = nullptr;
    std::int32_t (*GetChildSkinCount)(CtsxSobj, CtsxSobj) = nullptr;
    void (*GetChildVertexWeights)(CtsxSobj, CtsxSobj, std::int32_t*, float*) = nullptr;
    void (*SkeletonSetRecording)(CtsxSobj, std::uint8_t) = nullptr;

    bool Bind(void* module) {
        auto get = [module](auto& fn, const char* name) {
            fn = reinterpret_cast<std::remove_reference_t<decltype(fn)>>(dlsym(module, name));
            return fn != nullptr;
        };
        return get(SetRecordFrame, "velSetRecordFrame") && get(Record, "velRecord") &&
               get(IsSetupMode, "velIsSetupMode") && get(GetFirstSkeleton, "velGetFirstSkeleton") &&
               get(GetNextSkeleton, "velGetNextSkeleton") && get(GetFirstBone, "velGetFirstBone") &&
               get(GetNextBone, "velGetNextBone") && get(GetBoneMatrix, "velGetBoneMatrix") &&
               get(GetFirstChild, "velGetFirstChild") && get(GetNextChild, "velGetNextChild") &&
               get(GetChildSkinCount, "velGetChildSkinCount") &&
               get(GetChildVertexWeights, "velGetChildVertexWeights") &&
               get(SkeletonSetRecording, "velSkeletonSetRecording");
    }
};

inline CtsxVec3f Location(CtsxSobj node) {
    CtsxVec3f v{};
    tsxGNodeGetLocation(node, &v);
    return v;
}

// The host's idle step, until the plug-in's redraws have settled.
inline void Redraw() {
    for (int i = 0; i < 4 && tsxhost::IdleRedraw() > 0; ++i) {
    }
}

} // namespace simhost
