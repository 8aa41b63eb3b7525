#pragma once
// A load deletes the extra objects of the tee bones it reads and makes new
// ones (a tee bone's record keeps none). So that nothing the user sees
// changes, a new object takes over the file's object's transform when its
// bone joins its skeleton, and its name and its place among the bag's
// objects once the file's object has gone: a scene saved, opened and saved
// again keeps its names and its bytes.
//
// The file's object of a tee bone is the one that follows its bone object in
// the bag, as the rig makes them (an extra object left without its bone, or
// moved away from it, is deleted all the same and handed over to none). A
// new object goes right after its bone object whether it took one over or
// not, so that from the first reload on the next finds it there.
#include <string>
#include <vector>

#include "HostRefs.h"

namespace vel {

class TTeeBone;

// A tee bone made by a load joins its skeleton (inside the rebuild's edit
// lock): the new object takes the file's object's transform now, and is
// noted for the take-over.
void NoteLoadedTeeBone(const TTeeBone& bone);

// Made right before the load's helper objects are deleted (it takes the
// notes and the bags' orders); Finish, right after, names the new objects
// and puts them where the file's were. Objects that went or moved meanwhile
// are passed over.
class TTeeTakeOver {
public:
    TTeeTakeOver();
    void Finish();

private:
    // True when an object changed its place.
    bool TakeNamesAndPlaces();
    struct TTaken {
        THostRef Made, Replaced;
        std::string Name;
    };
    struct TBag {
        THostRef Bag;
        std::vector<THostRef> Order; // the bag's objects as they are to stand
    };
    std::vector<TTaken> FTaken;
    std::vector<TBag> FBags;
};

// Drops the notes and their memory (the file unit's end and reset).
void ForgetTeeTakeOvers();

} // namespace vel
