#pragma once
// A host object known again by more than its handle. A host may hand a new
// object the handle of one it freed, so a handle kept across host calls may
// name another object, a user's, by then. What the plug-in is told of the
// host's objects is noted here: every object the host reports destroyed
// (the main form notes it before anything else, under the edit lock too),
// and every scene the host closes, whose objects go without a report each.
// A reference taken before either no longer finds its object, whatever the
// handle names now.
//
// Free objects outside the scene outlive a scene's close in the host; their
// references are taken as gone all the same, which errs on the safe side.
#include <cstdint>

#include "tsxapi.h"

namespace vel {

struct THostRef {
    CtsxSobj Object = nullptr;
    // The count (Serial.h) when the reference was taken.
    std::uint64_t Since = 0;
};

// A reference to an object the caller knows is alive now.
THostRef RefTo(CtsxSobj Object);
// The object, while nothing noted says it went since the reference was
// taken and the host knows the handle; none otherwise.
CtsxSobj LiveObject(const THostRef& Ref);
inline bool Alive(const THostRef& Ref) {
    return LiveObject(Ref) != nullptr;
}
// Whether a note says the object went after the count reached Since (no
// host call).
bool GoneSince(CtsxSobj Object, std::uint64_t Since);

// The host destroys an object; the host closes its scene.
void NoteObjectGone(CtsxSobj Object);
void NoteSceneClosed();
// The count at the last scene close noted (0 before any).
std::uint64_t LastSceneClose();

// At the module's end, after its forms: the notes' memory goes.
void FinalizeHostRefsUnit();

} // namespace vel
