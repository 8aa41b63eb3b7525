#pragma once
// Walking one kind of key of a host object in time order, through the
// host's first-key and next-key answers. The host answers -1 for "none",
// which is also a time a key may lie at, and a host may answer a next time
// that does not move forward: a walk stops there instead of going round
// for ever. The walk takes what it asks as a parameter, so that it can be
// tried against a host that answers anything.
#include <cmath>

#include "tsxapi.h"

namespace vel {

// One kind of key of one host object, as the host answers for them.
struct THostKeys {
    CtsxSobj Node = nullptr;
    int Kind = 0;
    float First() const { return tsxSobjGetFirstTime(Node, Kind); }
    float Next(float Time) const { return tsxSobjGetNextTime(Node, Kind, Time); }
    bool Has(float Time) const { return tsxSobjGetFrame(Node, Kind, 0, Time) != nullptr; }
};

// Whether a time the host answered is a key's, not its -1 for none.
template <class TKeys> bool IsKeyTime(const TKeys& Keys, float Time) {
    return std::isfinite(Time) && (Time != -1.0f || Keys.Has(Time));
}

// Calls Visit with each key time from Time on, rising, until Visit answers
// false, the keys end, or the host's next time does not move forward.
template <class TKeys, class TVisit> void WalkKeysFrom(const TKeys& Keys, float Time, TVisit Visit) {
    for (float t = Time; IsKeyTime(Keys, t);) {
        if (!Visit(t)) return;
        const float next = Keys.Next(t);
        if (!(next > t)) return; // the last key, or a host that does not move on
        t = next;
    }
}

// Every key time, rising, from the first.
template <class TKeys, class TVisit> void WalkKeys(const TKeys& Keys, TVisit Visit) {
    WalkKeysFrom(Keys, Keys.First(), Visit);
}

inline bool KeyAt(CtsxSobj Node, int Kind, float Time) {
    return IsKeyTime(THostKeys{Node, Kind}, Time);
}

template <class TVisit> void WalkKeysFrom(CtsxSobj Node, int Kind, float Time, TVisit Visit) {
    WalkKeysFrom(THostKeys{Node, Kind}, Time, Visit);
}

} // namespace vel
