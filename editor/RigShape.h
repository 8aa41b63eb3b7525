#pragma once
// What a window shows of the rig, summed up in one number. The rig does not
// tell its windows about every change it makes (a joint added by a button, a
// bone gone with its tee object, skeletons dropped after a load); each window
// keeps the number of what it shows and, whenever the message queue has
// emptied, compares it with the rig's: when they differ it lists its rows
// again. Only the rig's own lists are read, no host call. Rig objects count
// by their serials (Serial.h), never by their addresses: a freed skeleton,
// joint or bone whose address comes back for a new one changes the number.
#include <cstdint>

namespace vel {

class TSkeleton;

// The skeleton's joints and bones (with the joints they join, their bound
// objects and tee objects) in list order; 0 for none.
std::uint64_t SkeletonShape(const TSkeleton* Skeleton);
// Every skeleton's objects and shape, in list order.
std::uint64_t RigShape();
// The skeleton the skeleton tree and the dope sheet show: the current one
// while its bag is still in the scene (after a scene load and until the
// rig's timer drops it, it stands for objects that are gone, whatever
// objects the host gave their handles since).
TSkeleton* ShownSkeleton();
// The listed skeleton of a serial; none once it has gone.
TSkeleton* SkeletonBySerial(std::uint64_t Serial);

} // namespace vel
