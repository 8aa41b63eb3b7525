#include "Hooks.h"

#include "NoDestroy.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace fw {
namespace {

struct THook {
    THookKind Kind;
    THookProc Proc;
};

// Newest first. Hooks are looked up by handle on every call so that a hook
// may remove itself or others while the chain runs.
std::vector<std::unique_ptr<THook>>& Chain() {
    static TNoDestroy<std::vector<std::unique_ptr<THook>>> chain;
    return *chain;
}

LRESULT CallFrom(std::size_t start, THookKind kind, int code, WPARAM w, LPARAM l) {
    auto& chain = Chain();
    for (std::size_t i = start; i < chain.size(); ++i) {
        if (chain[i]->Kind != kind) continue;
        THookProc proc = chain[i]->Proc;
        return proc(code, w, l);
    }
    return 0;
}

} // namespace

THookHandle InstallThreadHook(THookKind Kind, THookProc Proc) {
    if (!Proc) return nullptr;
    auto& chain = Chain();
    chain.insert(chain.begin(), std::make_unique<THook>(THook{Kind, Proc}));
    return chain.front().get();
}

LRESULT CallNextHook(THookHandle Hook, int code, WPARAM WParam, LPARAM LParam) {
    auto& chain = Chain();
    for (std::size_t i = 0; i < chain.size(); ++i)
        if (chain[i].get() == Hook) return CallFrom(i + 1, chain[i]->Kind, code, WParam, LParam);
    return 0;
}

bool RemoveHook(THookHandle Hook) {
    auto& chain = Chain();
    auto it =
        std::find_if(chain.begin(), chain.end(), [Hook](const auto& h) { return h.get() == Hook; });
    if (it == chain.end()) return false;
    chain.erase(it);
    return true;
}

LRESULT RunHookChain(THookKind Kind, int code, WPARAM WParam, LPARAM LParam) {
    return CallFrom(0, Kind, code, WParam, LParam);
}

bool HasHooks(THookKind Kind) {
    const auto& chain = Chain();
    return std::any_of(chain.begin(), chain.end(),
                       [Kind](const auto& h) { return h->Kind == Kind; });
}

} // namespace fw
