#pragma once
// The host's selection, object-destroyed, active-time and current-object-moved
// callbacks delivered as component events.
#include <cstdint>
#include <functional>

#include "Classes.h"
#include "TsxPlug.h"
#include "tsxapi.h"

namespace vel {

using TPlugDestroyObjectEvent = std::function<void(CtsxSobj inSobj)>;
using TPlugActiveTimeChangedEvent = std::function<void(float inTime)>;
// The handler may rewrite the matrix; the host applies what it finds there.
using TPlugCurrobjMoveEvent = std::function<void(CtsxTxmx3f& pTxmx, std::int16_t aVar)>;

// The host keeps one callback of each kind, so the instance that registered
// last is the one that hears them.
class TTsxEvents : public fw::TComponent {
public:
    explicit TTsxEvents(fw::TComponent* AOwner);
    ~TTsxEvents() override;

    bool Active() const { return FActive; }
    // Registers or unregisters with the host; ignored in the form designer.
    void SetActive(bool Value);

    TPlugEvent OnSelectionChanged;
    TPlugDestroyObjectEvent OnObjectDestroy;
    TPlugActiveTimeChangedEvent OnActiveTimeChanged;
    TPlugCurrobjMoveEvent OnObjectMove;

protected:
    void RegisterCallbacks();
    void UnregisterCallbacks();

private:
    static void ActivateTsxEvents(void* Self);
    bool FActive = false;
};

// The C callbacks handed to the host. They stay silent while the module is
// being unloaded.
void SelectionChangedCallback();
void ObjectDestroyCallback(CtsxSobj inSobj);
void ActiveTimeChangedCallback();
void CurrobjMoveCallback(CtsxTxmx3f* pTxmx, std::int16_t aVar);

} // namespace vel
