#pragma once
// The table behind a tree window's rows. Each row keeps a 4-byte value; a
// pointer does not fit there on a 64-bit build, so the value is a key into
// this table, which says what the row stands for. A row never names a rig
// object by its address: a bone is found again through its bone object and a
// pose through its skeleton's bag and its place in the pose list, so a row
// whose object has gone finds nothing rather than freed memory. Nor does it
// name a host object by its handle alone: the handle comes with when the row
// took it, so a handle the host gave another object since finds nothing.
//
// Keys are handed out in rising order and come round again only after
// 2^32 - 1 more, so a key kept after its row went finds nothing.
#include <cstdint>
#include <set>
#include <unordered_map>
#include <utility>
#include <vector>

#include "HostRefs.h"
#include "LazyTrees.h"
#include "tsxapi.h"

namespace vel {

using TNodeKey = std::uint32_t;
inline constexpr TNodeKey NoNodeKey = 0;
static_assert(sizeof(TNodeKey) == 4, "a row keeps exactly 4 bytes");

// What a row stands for.
enum class TRowKind : std::uint8_t {
    rkObject, // a host object (scene rows, objects bound to a bone)
    rkBone,   // a bone, by its bone object (Index: its place when the row was made)
    rkPose    // a pose: Object is its skeleton's bag, Index its place in the pose list
};
using enum TRowKind;

struct TRowRef {
    TRowKind Kind = rkObject;
    CtsxSobj Object = nullptr;
    std::int32_t Index = -1;
    // When the row took the object (HostRefs.h): a handle the host has
    // given another object since finds nothing.
    std::uint64_t Since = 0;
    THostRef Host() const { return {Object, Since}; }
};

class TNodeKeys {
public:
    // The first key handed out is the one after Last.
    explicit TNodeKeys(TNodeKey Last = NoNodeKey) : FLast(Last) {}

    // A new key for Ref, held by Node (which may follow through SetNode
    // when the row is made after its key).
    TNodeKey Add(const TRowRef& Ref, PLazyNode Node = nullptr);
    void SetNode(TNodeKey Key, PLazyNode Node);
    // The key's row went: the key finds nothing from now on.
    void Remove(TNodeKey Key);
    void Clear();

    // None for NoNodeKey and for keys removed or never handed out.
    const TRowRef* Find(TNodeKey Key) const;
    PLazyNode NodeOf(TNodeKey Key) const;
    // The rows holding a host object, in key order.
    std::vector<PLazyNode> NodesOf(CtsxSobj Object) const;
    PLazyNode FirstNodeOf(CtsxSobj Object) const;

    std::size_t Count() const { return FEntries.size(); }

    // The key after Last: past the top the count comes round, skipping 0
    // and the keys still held.
    template <class THeld> static TNodeKey KeyAfter(TNodeKey Last, THeld IsHeld) {
        do
            ++Last;
        while (Last == NoNodeKey || IsHeld(Last));
        return Last;
    }

private:
    struct TEntry {
        TRowRef Ref;
        PLazyNode Node = nullptr;
    };

    std::unordered_map<TNodeKey, TEntry> FEntries;
    // Keys by host object, in rising key order within one object.
    std::set<std::pair<CtsxSobj, TNodeKey>> FByObject;
    TNodeKey FLast = NoNodeKey;
};

} // namespace vel
