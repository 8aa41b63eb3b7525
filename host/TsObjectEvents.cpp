#include "TsObjectEvents.h"

#include <algorithm>
#include <memory>
#include <set>

#include "NoDestroy.h"
#include "TsxPlug.h"

namespace vel {
namespace {

struct TObjectEventsUnit {
    // Every live instance in creation order; null once the unit has ended.
    std::unique_ptr<std::vector<TTsObjectEvents*>> Registry =
        std::make_unique<std::vector<TTsObjectEvents*>>();
    // Every object the host was asked to notify, until it is deleted.
    std::set<CtsxSobj> Registered;
};

TObjectEventsUnit& Unit() {
    static fw::TNoDestroy<TObjectEventsUnit> u;
    return *u;
}

} // namespace

void InitializeObjectEventsUnit() {
    Unit().Registry = std::make_unique<std::vector<TTsObjectEvents*>>();
    Unit().Registered.clear();
}

void FinalizeObjectEventsUnit() {
    // The callback lives in this module: a host that unloads it must not
    // call it any more, whatever the watch lists say.
    for (CtsxSobj obj : Unit().Registered)
        if (tsxIsSobj(obj)) tsxRegisterNotifyCallback(obj, &ObjectNotifyCallback, 0);
    Unit().Registered.clear();
    Unit().Registry.reset();
}

TTsObjectEvents::TTsObjectEvents(fw::TComponent* AOwner) : fw::TComponent(AOwner) {
    if (auto* registry = Unit().Registry.get()) registry->push_back(this);
}

TTsObjectEvents::~TTsObjectEvents() {
    // Forms outlive the unit at unload: then there is no registry to leave.
    if (auto* registry = Unit().Registry.get()) std::erase(*registry, this);
}

void TTsObjectEvents::WatchObject(CtsxSobj Obj) {
    if (!Obj) return;
    tsxRegisterNotifyCallback(Obj, &ObjectNotifyCallback, 1);
    Unit().Registered.insert(Obj);
    if (FWatched.emplace(Obj, FNextPlace).second) FWatchOrder.emplace(FNextPlace++, Obj);
}

void TTsObjectEvents::UnwatchObject(CtsxSobj Obj) {
    const auto it = FWatched.find(Obj);
    if (it == FWatched.end()) return;
    FWatchOrder.erase(it->second);
    FWatched.erase(it);
}

bool TTsObjectEvents::Watches(CtsxSobj Obj) const {
    return FWatched.contains(Obj);
}

std::vector<CtsxSobj> TTsObjectEvents::WatchList() const {
    std::vector<CtsxSobj> list;
    list.reserve(FWatchOrder.size());
    for (const auto& [place, obj] : FWatchOrder)
        list.push_back(obj);
    return list;
}

void TTsObjectEvents::DispatchNotify(CtsxSobj Obj, const tsxObjectNotifyMessage& Msg) {
    if (!FEnabled) return;
    const TTsObjectNotifyEvent* event = nullptr;
    switch (Msg.code) {
    case 1:
        event = &OnRefresh;
        break;
    case 2:
        event = &OnChange;
        break;
    case 3:
        DoDelete(Obj, Msg);
        return;
    case 4:
        event = &OnObjNav;
        break;
    case 5:
        event = &OnEyeNav;
        break;
    case 6:
        event = &OnAnimNav;
        break;
    case 7:
        event = &OnPEdit;
        break;
    case 8:
        event = &OnDeform;
        break;
    case 9:
        return;
    case 10:
        event = &OnGeomChange;
        break;
    case 11:
        event = &OnUpdate;
        break;
    case 12:
        event = &OnEdit;
        break;
    case 13:
        event = &OnExtOb;
        break;
    case 14:
        event = &OnBoolean;
        break;
    default:
        event = &OnUndefined;
        break;
    }
    // A copy: the handler may free this component.
    if (TTsObjectNotifyEvent h = *event) h(Obj, Msg);
}

void TTsObjectEvents::DoDelete(CtsxSobj Obj, const tsxObjectNotifyMessage& Msg) {
    UnwatchObject(Obj);
    if (TTsObjectNotifyEvent h = OnDelete) h(Obj, Msg);
}

TTsObjectEvents* FindObjectEventsFor(CtsxSobj Obj) {
    const auto* registry = Unit().Registry.get();
    if (!registry || registry->empty()) return nullptr;
    if (registry->size() == 1) return registry->front();
    for (TTsObjectEvents* e : *registry)
        if (e->Watches(Obj)) return e;
    return nullptr;
}

void ObjectNotifyCallback(CtsxSobj Obj, tsxObjectNotifyMessage* Msg) {
    if (Msg && Msg->code == TSX_NOTIFY_DELETE) Unit().Registered.erase(Obj);
    if (PluginFinalizing() || !Msg) return;
    try {
        if (TTsObjectEvents* e = FindObjectEventsFor(Obj)) e->DispatchNotify(Obj, *Msg);
    } catch (...) {
        ReportEscaped("ObjectNotifyCallback");
    }
}

} // namespace vel
