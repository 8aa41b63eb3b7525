#pragma once
// Key-frame helpers over host objects: delete, copy, move and swap the keys of
// one kind. A kind is the host's frame-type code, passed through unchanged;
// a negative time from the host means there are no more keys.
//
// A frame this unit takes out of an object or copies never stays free: when it
// cannot be placed where it was meant to go it is put back, or freed.
#include "tsxapi.h"

namespace vel {

// Removes and frees the key of that kind at time, when there is one.
void DeleteKeyFrame(CtsxSobj object, int kind, float time);
// Every key of that kind at or after time.
void DeleteKeyFramesFrom(CtsxSobj object, int kind, float time);
// A free copy of the key at time (the caller owns it), or none.
CtsxFrame CopyKeyFrame(CtsxSobj object, int kind, float time);
// Copies source's key at sourceTime onto target at targetTime (replacing a key
// there). False when there was no key or the copy could not be placed (the
// copy is then freed).
bool CopyKeyFrameBetween(CtsxSobj source, CtsxSobj target, int kind, float sourceTime,
                         float targetTime);
// For every key time anywhere in source's tree, copies source's own key at that
// time onto target at the same time (times with no key on source copy nothing).
void CopyAllKeyFrames(CtsxSobj source, CtsxSobj target, int kind);
// Exchanges the keys at time1 and time2 (either may be absent). False when a
// key could not be placed; both keys are then back where they were (or freed
// when even that fails).
bool SwapKeyFrames(CtsxSobj object, int kind, float time1, float time2);

namespace testing {
// Lets tests make the host's frame insertion fail; nullptr restores the host's.
using TInsertFrameFn = void (*)(CtsxSobj object, CtsxFrame frame, int reserved, float time);
void SetInsertFrameFn(TInsertFrameFn fn);
} // namespace testing

} // namespace vel
