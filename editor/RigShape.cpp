#include "RigShape.h"

#include <cstdint>

#include "Bone.h"
#include "HostRefs.h"
#include "Joint.h"
#include "SkelMgr.h"
#include "Skeleton.h"
#include "Switchboard.h"
#include "TeeBone.h"
#include "tsxapi.h"

namespace vel {

namespace {

struct TShapeSum {
    std::uint64_t Value = 0xcbf29ce484222325ull;
    void Add(std::uint64_t x) {
        // A 64-bit mix of each value in turn: order counts, collisions are
        // out of reach for lists a user builds.
        x += 0x9e3779b97f4a7c15ull;
        x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ull;
        x = (x ^ (x >> 27)) * 0x94d049bb133111ebull;
        Value = (Value ^ (x ^ (x >> 31))) * 0x100000001b3ull;
    }
    void Add(const void* p) { Add(static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(p))); }
};

} // namespace

std::uint64_t SkeletonShape(const TSkeleton* Skeleton) {
    if (!Skeleton) return 0;
    TShapeSum sum;
    sum.Add(Skeleton->Serial.Value);
    sum.Add(Skeleton->Bag);
    sum.Add(static_cast<std::uint64_t>(Skeleton->Joints.List.size()));
    for (const auto& joint : Skeleton->Joints.List) {
        sum.Add(joint ? joint->Serial.Value : 0);
        sum.Add(joint ? joint->Node : nullptr);
    }
    sum.Add(static_cast<std::uint64_t>(Skeleton->Bones.List.size()));
    for (const auto& bone : Skeleton->Bones.List) {
        if (!bone) continue;
        sum.Add(bone->Serial.Value);
        sum.Add(bone->Node);
        sum.Add(bone->Head ? bone->Head->Serial.Value : 0);
        sum.Add(bone->Tail ? bone->Tail->Serial.Value : 0);
        if (const auto* tee = dynamic_cast<const TTeeBone*>(bone.get())) sum.Add(tee->ExtraObject);
        sum.Add(static_cast<std::uint64_t>(bone->ChildList.size()));
        for (const auto& child : bone->ChildList) {
            sum.Add(child ? child->Serial.Value : 0);
            sum.Add(child ? child->Object : nullptr);
        }
    }
    return sum.Value;
}

std::uint64_t RigShape() {
    TShapeSum sum;
    for (const auto& skeleton : SkeletonList().List) {
        if (!skeleton) continue;
        sum.Add(skeleton->SkeletonObject);
        sum.Add(skeleton->PoseLibObject);
        for (const auto& joint : skeleton->Joints.List)
            if (joint) sum.Add(joint->Marker);
        sum.Add(SkeletonShape(skeleton.get()));
    }
    return sum.Value;
}

TSkeleton* ShownSkeleton() {
    // A skeleton made before the host's last scene close stands for objects
    // that went with it, even where their handles name new objects now.
    TSkeleton* skeleton = CurrentSkeleton;
    return skeleton && skeleton->Bag && skeleton->Serial.Value > LastSceneClose() &&
                   tsxIsSobj(skeleton->Bag)
               ? skeleton
               : nullptr;
}

TSkeleton* SkeletonBySerial(std::uint64_t Serial) {
    for (const auto& skeleton : SkeletonList().List)
        if (skeleton && skeleton->Serial.Value == Serial) return skeleton.get();
    return nullptr;
}

} // namespace vel
