#include "TsxEvents.h"

#include "NoDestroy.h"

namespace vel {
namespace {

// The unit's copies of the registered instance's handlers: the host's
// callbacks carry no context, so they call these.
struct TTsxEventsUnit {
    const TTsxEvents* From = nullptr;
    TPlugEvent SelectionChanged;
    TPlugDestroyObjectEvent ObjectDestroy;
    TPlugActiveTimeChangedEvent ActiveTimeChanged;
    TPlugCurrobjMoveEvent ObjectMove;
};

TTsxEventsUnit& Unit() {
    static fw::TNoDestroy<TTsxEventsUnit> u;
    return *u;
}

bool Designing(const fw::TComponent* c) {
    return c->InState(fw::TComponentStateItem::Designing);
}

} // namespace

TTsxEvents::TTsxEvents(fw::TComponent* AOwner) : fw::TComponent(AOwner) {
    CallAfterInit(&TTsxEvents::ActivateTsxEvents, this);
}

TTsxEvents::~TTsxEvents() {
    CancelAfterInit(&TTsxEvents::ActivateTsxEvents, this);
    // The host stays registered (its callbacks go quiet through the
    // finalizing flag at unload), so a late callback must find no handler
    // rather than one bound to a freed form.
    TTsxEventsUnit& u = Unit();
    if (u.From == this) u = TTsxEventsUnit{};
}

void TTsxEvents::ActivateTsxEvents(void* Self) {
    static_cast<TTsxEvents*>(Self)->SetActive(true);
}

void TTsxEvents::SetActive(bool Value) {
    if (Designing(this)) return;
    if (Value)
        RegisterCallbacks();
    else
        UnregisterCallbacks();
}

void TTsxEvents::RegisterCallbacks() {
    if (FActive) return;
    FActive = true;
    TTsxEventsUnit& u = Unit();
    u.From = this;
    u.SelectionChanged = OnSelectionChanged;
    u.ObjectDestroy = OnObjectDestroy;
    u.ActiveTimeChanged = OnActiveTimeChanged;
    u.ObjectMove = OnObjectMove;
    const int id = PluginId();
    if (OnSelectionChanged) tsxSelectionChangedCB(id, &SelectionChangedCallback);
    if (OnObjectDestroy) tsxOnDestroyCB(id, &ObjectDestroyCallback);
    if (OnActiveTimeChanged) tsxActiveTimeChangedCB(id, &ActiveTimeChangedCallback);
    if (OnObjectMove) tsxCurrobjMoveCB(id, &CurrobjMoveCallback);
}

void TTsxEvents::UnregisterCallbacks() {
    if (!FActive) return;
    FActive = false;
    const TTsxEventsUnit& u = Unit();
    const int id = PluginId();
    if (u.SelectionChanged) tsxSelectionChangedCB(id, nullptr);
    if (u.ObjectDestroy) tsxOnDestroyCB(id, nullptr);
    if (u.ActiveTimeChanged) tsxActiveTimeChangedCB(id, nullptr);
    if (u.ObjectMove) tsxCurrobjMoveCB(id, nullptr);
}

// Each callback calls a copy of the handler: a handler that frees the
// component clears the unit's copy while it is still running.

void SelectionChangedCallback() {
    if (PluginFinalizing()) return;
    try {
        if (TPlugEvent h = Unit().SelectionChanged) h();
    } catch (...) {
        ReportEscaped("SelectionChangedCallback");
    }
}

void ObjectDestroyCallback(CtsxSobj inSobj) {
    if (PluginFinalizing()) return;
    try {
        if (TPlugDestroyObjectEvent h = Unit().ObjectDestroy) h(inSobj);
    } catch (...) {
        ReportEscaped("ObjectDestroyCallback");
    }
}

void ActiveTimeChangedCallback() {
    if (PluginFinalizing()) return;
    try {
        if (TPlugActiveTimeChangedEvent h = Unit().ActiveTimeChanged) h(tsxAnimGetActiveTime());
    } catch (...) {
        ReportEscaped("ActiveTimeChangedCallback");
    }
}

void CurrobjMoveCallback(CtsxTxmx3f* pTxmx, std::int16_t aVar) {
    if (PluginFinalizing() || !pTxmx) return;
    try {
        if (TPlugCurrobjMoveEvent h = Unit().ObjectMove) h(*pTxmx, aVar);
    } catch (...) {
        ReportEscaped("CurrobjMoveCallback");
    }
}

} // namespace vel
