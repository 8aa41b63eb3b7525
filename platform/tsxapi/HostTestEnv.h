#pragma once
// Helpers shared by the host stand-in's tests.
#include <string>

#include "tsxapi.h"

namespace tsxhost {

// A node's own name as the host API gives it.
inline std::string NodeName(CtsxSobj n) {
    char buf[256];
    tsxGNodeGetName(n, buf, sizeof buf);
    return buf;
}

} // namespace tsxhost
