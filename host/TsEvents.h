#pragma once
// The host's event classes (render, mouse, view, general) delivered as
// component events.
#include <cstdint>
#include <functional>

#include "Classes.h"
#include "TsxPlug.h"
#include "tsxapi.h"

namespace vel {

using TPlugRenderEvent = std::function<void(const tsxEventRenderData& inData)>;
using TPlugMouseEvent = std::function<void(const tsxEventMouseData& inData)>;
using TPlugViewEvent = std::function<void(const tsxEventViewMsgData& inData)>;
// The host sends general codes beyond tsxGeneralAction (negative ones too),
// so the handler gets the raw code.
using TPlugGeneralEvent = std::function<void(std::int32_t inAction)>;

class TTsEvents : public fw::TComponent {
public:
    explicit TTsEvents(fw::TComponent* AOwner);
    ~TTsEvents() override;

    bool Active() const { return FActive; }
    // Registers or unregisters with the host; ignored in the form designer.
    void SetActive(bool Value);

    TPlugRenderEvent OnRenderInit;
    TPlugRenderEvent OnRenderBegin;
    TPlugRenderEvent OnRenderEnd;
    TPlugRenderEvent OnRenderFrameStart;
    TPlugRenderEvent OnRenderFrameEnd;
    TPlugRenderEvent OnRenderAbort;
    TPlugRenderEvent OnRenderError;
    TPlugMouseEvent OnMouseMessage;
    TPlugMouseEvent OnMouseEvent;
    TPlugMouseEvent OnMouseDrag;
    TPlugViewEvent OnViewEvent;
    TPlugEvent OnAppStart;
    TPlugEvent OnAppClose;
    TPlugEvent OnSceneNew;
    TPlugEvent OnSceneLoad;
    TPlugEvent OnSceneClose;
    TPlugGeneralEvent OnOtherGeneral;

    // Raises at most one event for the record's leading code.
    void DispatchEvent(int eventClass, void* data);

protected:
    void RegisterCallbacks();
    void UnregisterCallbacks();

private:
    static void ActivateTsEvents(void* Self);
    bool FActive = false;
};

// The C callback handed to the host for every event class.
void EventCallback(int eventClass, void* data);

} // namespace vel
