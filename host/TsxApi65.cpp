#include "TsxApi65.h"

#include "Modules.h"

namespace vel {
namespace {

struct TSubDivUnit {
    bool HostHasSubDiv = false;
    TSubDivEntryPoints Entries;
};

TSubDivUnit& Unit() {
    static TSubDivUnit u;
    return u;
}

template <class F> void Bind(fw::ModuleHandle lib, const char* name, F& out) {
    out = reinterpret_cast<F>(fw::FindSymbol(lib, name));
}

} // namespace

void LoadSubDivEntryPoints() {
    TSubDivUnit& u = Unit();
    u = TSubDivUnit{};
    short first = 0, second = 0;
    tsxGetTsVersionNbrs(&first, &second);
    u.HostHasSubDiv = first >= kSubDivHostVersion;
    if (!u.HostHasSubDiv) return;
    // The host's own library is already loaded; this only finds it.
    fw::ModuleHandle lib = fw::LoadModule("Tsxapi.dll");
    if (!lib) return;
    Bind(lib, "tsxSubDivGetActiveLevel", u.Entries.tsxSubDivGetActiveLevel);
    Bind(lib, "tsxSubDivSetActiveLevel", u.Entries.tsxSubDivSetActiveLevel);
    Bind(lib, "tsxSubDivMarkGeomChange", u.Entries.tsxSubDivMarkGeomChange);
}

bool HostHasSubDiv() {
    return Unit().HostHasSubDiv;
}

const TSubDivEntryPoints& SubDiv() {
    return Unit().Entries;
}

} // namespace vel
