// Failures made to order: which calls fail, and the record of those that did.
#include <algorithm>

#include "HostState.h"

namespace tsxhost {

namespace {

// Every function below checks the plan at its entry (TSX_FAULT, or by hand
// where it fails in part).
const std::vector<std::string> kFaultable = {
    "tsxAnimCreateAttribute",
    "tsxAViewDrawLinelist",
    "tsxCreateSphere",
    "tsxDataDefine",
    "tsxFILEread",
    "tsxFILEwrite",
    "tsxFrameCopy",
    "tsxFrameCreate",
    "tsxFrameGetData",
    "tsxGetCurrentSelection",
    "tsxGNodeFindByName",
    "tsxIsSobj",
    "tsxMaterialCreate",
    "tsxMNodeIsVisible",
    "tsxObjectCreate",
    "tsxObjectDefine",
    "tsxObjectLoad",
    "tsxPolyhGetVxArray",
    "tsxSobjCreateData",
    "tsxSobjGetData",
    "tsxSobjGetFrame",
    "tsxSobjGetInterpolatedData",
    "tsxSubDivGetCagePtr",
};

// splitmix64: the same chances from a seed on every platform.
std::uint64_t NextRandom(std::uint64_t& state) {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

} // namespace

const std::vector<std::string>& FaultableFunctions() {
    return kFaultable;
}

bool SetFaults(const FaultPlan& plan) {
    ClearFaults();
    for (const std::string& name : plan.Functions)
        if (std::find(kFaultable.begin(), kFaultable.end(), name) == kFaultable.end()) return false;
    detail::State& s = detail::S();
    s.faults = plan;
    const auto& names = plan.Functions.empty() ? kFaultable : plan.Functions;
    s.faultNames = {names.begin(), names.end()};
    s.faultRandom = plan.Seed;
    s.faultsOn = plan.Nth > 0 || plan.Probability > 0;
    return true;
}

void ClearFaults() {
    detail::State& s = detail::S();
    s.faultsOn = false;
    s.faults = FaultPlan{};
    s.faultNames.clear();
    s.faultCalls = 0;
    s.faultCallsByName.clear();
    s.faultLog.clear();
    s.silentWriteFailures = 0;
}

const std::vector<std::string>& FaultLog() {
    return detail::S().faultLog;
}

long SilentWriteFailures() {
    return detail::S().silentWriteFailures;
}

namespace detail {

bool InjectFault(const char* fn) {
    State& s = S();
    if (!s.faultsOn || !s.faultNames.count(fn)) return false;
    const long call = ++s.faultCalls;
    const long nth = ++s.faultCallsByName[fn];
    bool fail = call == s.faults.Nth;
    if (s.faults.Probability > 0) {
        const double chance = static_cast<double>(NextRandom(s.faultRandom) >> 11) * 0x1p-53;
        fail = fail || chance < s.faults.Probability;
    }
    if (fail) s.faultLog.push_back(std::string(fn) + " #" + std::to_string(nth));
    return fail;
}

} // namespace detail

} // namespace tsxhost
