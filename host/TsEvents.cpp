#include "TsEvents.h"

#include <cstring>
#include <utility>

namespace vel {
namespace {

// The instance whose DispatchEvent the host's callback reaches: the one that
// registered last.
TTsEvents*& Dispatcher() {
    static TTsEvents* d = nullptr;
    return d;
}

template <class Event, class... A> void Raise(const Event& event, A&&... args) {
    // A copy: the handler may free the component and with it the event.
    if (Event h = event) h(std::forward<A>(args)...);
}

} // namespace

TTsEvents::TTsEvents(fw::TComponent* AOwner) : fw::TComponent(AOwner) {
    CallAfterInit(&TTsEvents::ActivateTsEvents, this);
}

TTsEvents::~TTsEvents() {
    CancelAfterInit(&TTsEvents::ActivateTsEvents, this);
    UnregisterCallbacks();
    if (Dispatcher() == this) Dispatcher() = nullptr;
}

void TTsEvents::ActivateTsEvents(void* Self) {
    static_cast<TTsEvents*>(Self)->SetActive(true);
}

void TTsEvents::SetActive(bool Value) {
    if (InState(fw::TComponentStateItem::Designing)) return;
    if (Value)
        RegisterCallbacks();
    else
        UnregisterCallbacks();
}

void TTsEvents::RegisterCallbacks() {
    if (FActive) return;
    FActive = true;
    Dispatcher() = this;
    if (OnAppStart || OnAppClose || OnSceneClose || OnSceneNew || OnSceneLoad || OnOtherGeneral)
        tsxRegisterEventCallback(TSX_EVENT_GENERAL, &EventCallback, 1);
    if (OnRenderInit || OnRenderBegin || OnRenderEnd || OnRenderFrameStart || OnRenderFrameEnd ||
        OnRenderAbort || OnRenderError)
        tsxRegisterEventCallback(TSX_EVENT_RENDER, &EventCallback, 1);
    if (OnMouseMessage || OnMouseEvent || OnMouseDrag)
        tsxRegisterEventCallback(TSX_EVENT_MOUSE, &EventCallback, 1);
    if (OnViewEvent) tsxRegisterEventCallback(TSX_EVENT_VIEW, &EventCallback, 1);
}

void TTsEvents::UnregisterCallbacks() {
    if (!FActive) return;
    FActive = false;
    for (int eventClass : {TSX_EVENT_GENERAL, TSX_EVENT_RENDER, TSX_EVENT_MOUSE, TSX_EVENT_VIEW})
        tsxRegisterEventCallback(eventClass, &EventCallback, 0);
}

void TTsEvents::DispatchEvent(int eventClass, void* data) {
    if (!data) return;
    std::int32_t code = 0;
    std::memcpy(&code, data, sizeof code);
    switch (eventClass) {
    case TSX_EVENT_RENDER: {
        const auto& rec = *static_cast<const tsxEventRenderData*>(data);
        const TPlugRenderEvent* byCode[] = {&OnRenderInit,       &OnRenderBegin,    &OnRenderEnd,
                                            &OnRenderFrameStart, &OnRenderFrameEnd, &OnRenderAbort,
                                            &OnRenderError};
        if (code >= 0 && code < 7) Raise(*byCode[code], rec);
        break;
    }
    case TSX_EVENT_MOUSE: {
        const auto& rec = *static_cast<const tsxEventMouseData*>(data);
        if (code == 1) Raise(OnMouseMessage, rec);
        if (code == 2) Raise(OnMouseEvent, rec);
        if (code == 3) Raise(OnMouseDrag, rec);
        break;
    }
    case TSX_EVENT_VIEW:
        Raise(OnViewEvent, *static_cast<const tsxEventViewMsgData*>(data));
        break;
    case TSX_EVENT_GENERAL:
        switch (code) {
        case e_tsxGA_APPSTART:
            Raise(OnAppStart);
            break;
        case e_tsxGA_APPCLOSE:
            Raise(OnAppClose);
            break;
        case e_tsxGA_SCNCLOSE:
            Raise(OnSceneClose);
            break;
        case e_tsxGA_SCNNEW:
            Raise(OnSceneNew);
            break;
        case e_tsxGA_SCNLOAD:
            Raise(OnSceneLoad);
            break;
        default:
            Raise(OnOtherGeneral, code);
            break;
        }
        break;
    default:
        break;
    }
}

void EventCallback(int eventClass, void* data) {
    try {
        if (TTsEvents* d = Dispatcher()) d->DispatchEvent(eventClass, data);
    } catch (...) {
        ReportEscaped("EventCallback");
    }
}

} // namespace vel
