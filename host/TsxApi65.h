#pragma once
// The host's sub-division functions, bound by name when the host is new
// enough to have them. Callers check each pointer before calling it.
#include "tsxapi.h"

namespace vel {

struct TSubDivEntryPoints {
    int (*tsxSubDivGetActiveLevel)(CtsxSobj subdiv) = nullptr;
    void (*tsxSubDivSetActiveLevel)(CtsxSobj subdiv, int level) = nullptr;
    void (*tsxSubDivMarkGeomChange)(CtsxSobj subdivOrCage) = nullptr;
};

// The first host version number that offers sub-division surfaces.
constexpr short kSubDivHostVersion = 650;

// Asks the host its version and binds the three functions when it has them.
// Runs once at load, before any form exists.
void LoadSubDivEntryPoints();
bool HostHasSubDiv();
// Each pointer is null when the host is older or does not export it.
const TSubDivEntryPoints& SubDiv();

} // namespace vel
