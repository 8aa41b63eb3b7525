#pragma once
// Notifications about single host objects that the plug-in watches,
// delivered as component events.
#include <cstdint>
#include <functional>
#include <map>
#include <unordered_map>
#include <vector>

#include "Classes.h"
#include "tsxapi.h"

namespace vel {

using TTsObjectNotifyEvent = std::function<void(CtsxSobj pSobj, const tsxObjectNotifyMessage& Msg)>;

class TTsObjectEvents : public fw::TComponent {
public:
    explicit TTsObjectEvents(fw::TComponent* AOwner);
    ~TTsObjectEvents() override;

    TTsObjectNotifyEvent OnUndefined;
    TTsObjectNotifyEvent OnRefresh;
    TTsObjectNotifyEvent OnChange;
    TTsObjectNotifyEvent OnDelete;
    TTsObjectNotifyEvent OnObjNav;
    TTsObjectNotifyEvent OnEyeNav;
    TTsObjectNotifyEvent OnAnimNav;
    TTsObjectNotifyEvent OnPEdit;
    TTsObjectNotifyEvent OnDeform;
    TTsObjectNotifyEvent OnGeomChange;
    TTsObjectNotifyEvent OnUpdate;
    TTsObjectNotifyEvent OnEdit;
    TTsObjectNotifyEvent OnExtOb;
    TTsObjectNotifyEvent OnBoolean;

    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool Value) { FEnabled = Value; }

    // Asks the host for the object's notifications (every time) and watches it.
    void WatchObject(CtsxSobj Obj);
    // Stops watching; the host keeps sending, and nothing here hears it.
    void UnwatchObject(CtsxSobj Obj);
    bool Watches(CtsxSobj Obj) const;
    // The watched objects in the order they were first watched.
    std::vector<CtsxSobj> WatchList() const;

    // Raises the event of the message's code, unless disabled.
    void DispatchNotify(CtsxSobj Obj, const tsxObjectNotifyMessage& Msg);

protected:
    void DoDelete(CtsxSobj Obj, const tsxObjectNotifyMessage& Msg);

private:
    // Each watched object's place in watch order, and the order itself: a
    // rig of n joints watches and unwatches in O(log n) each.
    std::unordered_map<CtsxSobj, std::uint64_t> FWatched;
    std::map<std::uint64_t, CtsxSobj> FWatchOrder;
    std::uint64_t FNextPlace = 0;
    bool FEnabled = true;
};

// The instance that hears about Obj: the only one when there is one, else the
// first created that watches it; null when none does.
TTsObjectEvents* FindObjectEventsFor(CtsxSobj Obj);

// The C callback handed to the host with every watched object. It does
// nothing while the module is being unloaded or after the unit has ended.
void ObjectNotifyCallback(CtsxSobj Obj, tsxObjectNotifyMessage* Msg);

// Unit start and end: the registry of instances lives between them. The end
// also takes the callback back from every live object it was given for.
void InitializeObjectEventsUnit();
void FinalizeObjectEventsUnit();

} // namespace vel
