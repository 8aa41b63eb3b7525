#include "NodeKeys.h"

namespace vel {

TNodeKey TNodeKeys::Add(const TRowRef& Ref, PLazyNode Node) {
    const TNodeKey key = FLast =
        KeyAfter(FLast, [this](TNodeKey Key) { return FEntries.contains(Key); });
    FEntries.emplace(key, TEntry{Ref, Node});
    if (Ref.Object) FByObject.emplace(Ref.Object, key);
    return key;
}

void TNodeKeys::SetNode(TNodeKey Key, PLazyNode Node) {
    if (auto it = FEntries.find(Key); it != FEntries.end()) it->second.Node = Node;
}

void TNodeKeys::Remove(TNodeKey Key) {
    auto it = FEntries.find(Key);
    if (it == FEntries.end()) return;
    if (it->second.Ref.Object) FByObject.erase({it->second.Ref.Object, Key});
    FEntries.erase(it);
}

void TNodeKeys::Clear() {
    FEntries.clear();
    FByObject.clear();
}

const TRowRef* TNodeKeys::Find(TNodeKey Key) const {
    auto it = FEntries.find(Key);
    return it == FEntries.end() ? nullptr : &it->second.Ref;
}

PLazyNode TNodeKeys::NodeOf(TNodeKey Key) const {
    auto it = FEntries.find(Key);
    return it == FEntries.end() ? nullptr : it->second.Node;
}

std::vector<PLazyNode> TNodeKeys::NodesOf(CtsxSobj Object) const {
    std::vector<PLazyNode> nodes;
    if (!Object) return nodes;
    for (auto it = FByObject.lower_bound({Object, NoNodeKey});
         it != FByObject.end() && it->first == Object; ++it)
        if (PLazyNode node = NodeOf(it->second)) nodes.push_back(node);
    return nodes;
}

PLazyNode TNodeKeys::FirstNodeOf(CtsxSobj Object) const {
    if (!Object) return nullptr;
    for (auto it = FByObject.lower_bound({Object, NoNodeKey});
         it != FByObject.end() && it->first == Object; ++it)
        if (PLazyNode node = NodeOf(it->second)) return node;
    return nullptr;
}

} // namespace vel
