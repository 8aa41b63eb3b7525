#include "HostRefs.h"

#include <atomic>
#include <unordered_map>

#include "NoDestroy.h"
#include "Serial.h"

namespace vel {

namespace {

std::atomic<std::uint64_t> Count{0};

// When each handle's object was last noted gone; emptied at a scene's close,
// which outdates every reference taken before it. Never destroyed: late host
// callbacks reach it; the module's finalization empties it.
struct TNotes {
    std::unordered_map<CtsxSobj, std::uint64_t> Gone;
    std::uint64_t SceneClosed = 0;
};

TNotes& Notes() {
    static fw::TNoDestroy<TNotes> notes;
    return *notes;
}

std::uint64_t Now() {
    return Count.load(std::memory_order_relaxed);
}

} // namespace

std::uint64_t TSerial::Next() {
    return Count.fetch_add(1, std::memory_order_relaxed) + 1;
}

THostRef RefTo(CtsxSobj Object) {
    return {Object, Now()};
}

bool GoneSince(CtsxSobj Object, std::uint64_t Since) {
    const TNotes& notes = Notes();
    if (Since < notes.SceneClosed) return true;
    const auto it = notes.Gone.find(Object);
    return it != notes.Gone.end() && it->second > Since;
}

CtsxSobj LiveObject(const THostRef& Ref) {
    if (!Ref.Object || GoneSince(Ref.Object, Ref.Since) || !tsxIsSobj(Ref.Object)) return nullptr;
    return Ref.Object;
}

void NoteObjectGone(CtsxSobj Object) {
    if (Object) Notes().Gone[Object] = TSerial::Next();
}

void NoteSceneClosed() {
    TNotes& notes = Notes();
    notes.Gone.clear();
    notes.SceneClosed = TSerial::Next();
}

std::uint64_t LastSceneClose() {
    return Notes().SceneClosed;
}

void FinalizeHostRefsUnit() {
    std::unordered_map<CtsxSobj, std::uint64_t>().swap(Notes().Gone);
}

} // namespace vel
