#include "TeeTakeOver.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <map>
#include <set>
#include <utility>

#include "EditorServices.h"
#include "NoDestroy.h"
#include "Switchboard.h"
#include "TeeBone.h"
#include "TsxHelper.h"

namespace vel {

namespace {

struct TNote {
    THostRef Made, Bone, Replaced; // Replaced empty: the file had none beside the bone
    std::string Name;
};

std::vector<TNote>& Notes() {
    static fw::TNoDestroy<std::vector<TNote>> notes;
    return *notes;
}

// The bag's objects in order, each known again by more than its handle.
std::vector<CtsxSobj> ChildrenOf(CtsxSobj bag) {
    std::vector<CtsxSobj> children;
    for (CtsxSobj c = tsxGNodeGetFirstChild(bag); c; c = tsxGNodeGetNext(c))
        children.push_back(c);
    return children;
}

// Angles of R = Rz(z) Ry(y) Rx(x), the host's order, each from the entries
// that hold it best: small angles come back to a few last places.
CtsxEuler3f AnglesOf(const CtsxTxmx3f& r) {
    const auto at = [&r](int row, int column) { return static_cast<double>(r.row[row][column]); };
    return {static_cast<float>(std::atan2(at(2, 1), at(2, 2))),
            static_cast<float>(std::atan2(-at(2, 0), std::hypot(at(0, 0), at(1, 0)))),
            static_cast<float>(std::atan2(at(1, 0), at(0, 0)))};
}

// The host takes a rotation as Euler angles and keeps a matrix, so the
// matrix of from is rebuilt on to through angles: those a few last places
// around the ones it is read as are tried, the nearest first, until one
// rebuilds it exactly (else the nearest stays).
void TakeRotation(CtsxSobj from, CtsxSobj to) {
    CtsxTxmx3f want{}, got{};
    tsxGNodeGetPureTransform(from, &want);
    const CtsxEuler3f read = AnglesOf(want);
    const auto step = [](float v, int places) {
        for (; places != 0; places += places > 0 ? -1 : 1)
            v = std::nextafter(v, places > 0 ? HUGE_VALF : -HUGE_VALF);
        return v;
    };
    const auto same = [&] {
        for (int k : {0, 1, 2, 4, 5, 6, 8, 9, 10})
            if (std::bit_cast<std::uint32_t>(want.m[k]) != std::bit_cast<std::uint32_t>(got.m[k]))
                return false;
        return true;
    };
    constexpr int kPlaces[] = {0, -1, 1, -2, 2};
    for (int x : kPlaces)
        for (int y : kPlaces)
            for (int z : kPlaces) {
                const CtsxEuler3f e{step(read.x, x), step(read.y, y), step(read.z, z)};
                tsxGNodeSetRotation(to, &e);
                tsxGNodeGetPureTransform(to, &got);
                if (same()) return;
            }
    tsxGNodeSetRotation(to, &read);
}

} // namespace

void NoteLoadedTeeBone(const TTeeBone& bone) {
    if (!bone.ExtraObject || !bone.Node) return;
    const int type = TeeBoneObjectType();
    const CtsxSobj replaced = tsxGNodeGetNext(bone.Node);
    if (!replaced || type == 0 || tsxSobjGetType(replaced) != type) {
        // Nothing to take over: the new object still goes beside its bone,
        // where the next load looks for it.
        Notes().push_back({RefTo(bone.ExtraObject), RefTo(bone.Node), {}, {}});
        return;
    }
    CtsxVec3f location{}, size{};
    tsxGNodeGetLocation(replaced, &location);
    tsxGNodeGetSize(replaced, &size);
    tsxGNodeSetLocation(bone.ExtraObject, &location);
    tsxGNodeSetSize(bone.ExtraObject, &size);
    TakeRotation(replaced, bone.ExtraObject);
    Notes().push_back(
        {RefTo(bone.ExtraObject), RefTo(bone.Node), RefTo(replaced), GetNodeName(replaced)});
}

TTeeTakeOver::TTeeTakeOver() {
    std::map<CtsxSobj, THostRef> madeFor; // a bone object -> its new extra object
    std::set<CtsxSobj> made, bags;
    for (TNote& n : std::exchange(Notes(), {})) {
        const CtsxSobj fresh = LiveObject(n.Made), bone = LiveObject(n.Bone);
        const CtsxSobj replaced = LiveObject(n.Replaced);
        const CtsxSobj bag = bone ? tsxGNodeGetParent(bone) : nullptr;
        if (!fresh || !bag || tsxGNodeGetParent(fresh) != bag) continue;
        if (replaced && tsxGNodeGetParent(replaced) == bag)
            FTaken.push_back({n.Made, n.Replaced, std::move(n.Name)});
        madeFor[bone] = n.Made;
        made.insert(fresh);
        if (bags.insert(bag).second) FBags.push_back({RefTo(bag), {}});
    }
    // Each new object is to stand right after its bone object, where the
    // object it replaces stood.
    for (TBag& b : FBags)
        for (CtsxSobj c : ChildrenOf(LiveObject(b.Bag))) {
            if (made.count(c)) continue;
            b.Order.push_back(RefTo(c));
            if (const auto it = madeFor.find(c); it != madeFor.end()) b.Order.push_back(it->second);
        }
}

void TTeeTakeOver::Finish() {
    bool moved = false;
    {
        TEditScope edit;
        moved = TakeNamesAndPlaces();
    }
    // The scene tree lists the bags' objects in their order.
    if (moved) EditorServices().SceneTreeRefreshTree();
}

bool TTeeTakeOver::TakeNamesAndPlaces() {
    bool moved = false;
    for (const TTaken& t : FTaken)
        if (const CtsxSobj made = LiveObject(t.Made); made && !Alive(t.Replaced))
            tsxGNodeSetName(made, t.Name.c_str());
    for (TBag& b : FBags) {
        CtsxSobj bag = LiveObject(b.Bag);
        if (!bag) continue;
        std::vector<CtsxSobj> order;
        for (const THostRef& r : b.Order)
            if (const CtsxSobj o = LiveObject(r); o && tsxGNodeGetParent(o) == bag) order.push_back(o);
        // From the first object out of place on, each goes to the end in turn.
        const std::vector<CtsxSobj> now = ChildrenOf(bag);
        std::size_t same = 0;
        while (same < order.size() && same < now.size() && order[same] == now[same])
            ++same;
        for (std::size_t i = same; i < order.size(); ++i) {
            CtsxSobj into = bag;
            tsxAddSubobj(&into, order[i]);
            moved = true;
        }
    }
    return moved;
}

void ForgetTeeTakeOvers() {
    std::vector<TNote>().swap(Notes());
}

} // namespace vel
