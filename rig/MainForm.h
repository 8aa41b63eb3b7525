#pragma once
// The hidden form that lives as long as the module and glues the rig to the
// host: it carries the plug-in component, the host-event components, the
// extension-object types and the load timers, and turns host events into rig
// updates, undo entries, redraws and scene-file records.
#include <cstdint>
#include <vector>

#include "HostRefs.h"
#include "Timers.h"
#include "TsEvents.h"
#include "TsObjectEvents.h"
#include "TsOwnedForm.h"
#include "TsxEvents.h"
#include "TsxExtObj.h"
#include "TsxPlug.h"

namespace vel {

// Private messages to the main form.
inline constexpr fw::UINT CM_PAINTJOINT = 0x81A3; // wParam polyhedron, lParam selected
inline constexpr fw::UINT CM_SAFESELECT = 0x81A4; // wParam object, lParam selection mode

// Interval of the two load timers.
inline constexpr int kLoadTimerInterval = 200;

class TMainForm : public TTsOwnedForm {
public:
    explicit TMainForm(fw::TComponent* AOwner);
    ~TMainForm() override;

    // In stream order, which is also the order of the queued start-up work.
    TTsx* Tsx1 = nullptr;
    TTsObjectEvents* TsObjectEvents = nullptr;
    TTsxExtObj* TsxBoneExtObj = nullptr;
    TTsxExtObj* SkeletonExtObj = nullptr;
    TTsEvents* TsEvents = nullptr;
    TTsxEvents* TsxEvents = nullptr;
    fw::TTimer* ObjectLoadedTimer = nullptr;
    TTsxExtObj* PoseLibExtObj = nullptr;
    TTsxExtObj* VolumeExtObj = nullptr;
    TTsxExtObj* PyramidExtObj = nullptr;
    fw::TTimer* SceneLoadedTimer = nullptr;
    TTsxExtObj* JointExtObj = nullptr;
    TTsxExtObj* TeeBoneExtObj = nullptr;
    // Never enabled.
    fw::TTimer* ActivateTimer = nullptr;

    // Set between a render begin that acted and its render end or abort.
    bool Rendering() const { return FRendering; }
    // Helper objects read from a file, deleted after a load that rebuilt bones
    // (known again by when they were read: never another object that has
    // the handle since).
    const std::vector<THostRef>& DeleteAfterLoad() const { return FDeleteAfterLoad; }

    void FormCreate();

    // ---- the plug-in component ----
    void Tsx1PlugInit();
    void Tsx1LeftClick();
    void Tsx1RightClick();
    void Tsx1Deactivate();

    // ---- host callbacks ----
    void TsxEventsSelectionChanged();
    void TsxEventsObjectMove(CtsxTxmx3f& pTxmx, std::int16_t aVar);
    void TsxEventsObjectDestroy(CtsxSobj inSobj);
    void TsxEventsActiveTimeChanged(float inTime);
    void TsObjectEventsObjNav(CtsxSobj pSobj, const tsxObjectNotifyMessage& Msg);
    void TsObjectEventsAnimNav(CtsxSobj pSobj, const tsxObjectNotifyMessage& Msg);

    // ---- host event classes ----
    void TsEventsRenderBegin(const tsxEventRenderData& inData);
    void TsEventsRenderEnd(const tsxEventRenderData& inData);
    void TsEventsRenderAbort(const tsxEventRenderData& inData);
    void TsEventsRenderFrameStart(const tsxEventRenderData& inData);
    void TsEventsSceneClose();
    void TsEventsSceneLoad();
    void TsEventsOtherGeneral(std::int32_t inAction);

    // ---- scene files ----
    std::int32_t TsxBoneExtObjReadBinary(CtsxSobj pSobj, CtsxFILE fd);
    std::int32_t TsxBoneExtObjWriteBinary(CtsxSobj pSobj, CtsxFILE fd);
    std::int32_t PoseLibExtObjReadBinary(CtsxSobj pSobj, CtsxFILE fd);
    std::int32_t PoseLibExtObjWriteBinary(CtsxSobj pSobj, CtsxFILE fd);
    std::int32_t DestroyExtOnLoadObjReadBinary(CtsxSobj pSobj, CtsxFILE fd);

    // ---- load timers ----
    void SceneLoadedTimerTimer(fw::TObject* Sender);
    void ObjectLoadedTimerTimer(fw::TObject* Sender);
    void SceneLoaded();
    void ObjectLoaded();
    void DeleteQueuedObjects();
    // A load the host has finished reading is rebuilt now when its timer has
    // not run yet. The host's save event and render begin, every export and,
    // while the windows are open, the idle step before they follow the rig
    // call this first: none of them sees the scene without its rig, and a
    // save right after an open writes what a save after the timer would.
    // Only where neither the host nor the rig is halfway through something:
    // the rebuild deletes objects and frees the skeletons made since the
    // load, so it waits when the caller is not the outermost entry into the
    // rig (a callback the rig's own work made) or the rig's edit is on.
    void FinishPendingLoad();

    // ---- drawing ----
    void SkeletonExtObjObjectRender(fw::TObject* Sender, CtsxSobj pSobj, tsxCOLOR_MODE& inEdit,
                                    CtsxRect& Rect, bool& outDefaultDraw);
    void TsxBoneExtObjObjectRender(fw::TObject* Sender, CtsxSobj pSobj, tsxCOLOR_MODE& inEdit,
                                   CtsxRect& Rect, bool& outDefaultDraw);
    void PyramidExtObjGetVectorObject(fw::TObject* Sender, CtsxSobj pSobj,
                                      PtsxVectorObject& ioVectorObject);
    void JointExtObjGetVectorObject(fw::TObject* Sender, CtsxSobj pSobj,
                                    PtsxVectorObject& ioVectorObject);
    void JointExtObjGetWirePen(fw::TObject* Sender, CtsxSobj pSobj, tsxCOLOR_MODE inEdit,
                               tsxPEN& ioWirePen);
    void TsxBoneExtObjGetWirePen(fw::TObject* Sender, CtsxSobj pSobj, tsxCOLOR_MODE inEdit,
                                 tsxPEN& ioWirePen);

    // ---- private messages ----
    void CMPaintJoint(fw::TMessage& Message);
    void CMSafeSelect(fw::TMessage& Message);

protected:
    void Dispatch(fw::TMessage& Message) override;

private:
    // The constructor's steps: the form's components, a group at a time.
    void MakePlugInComponent();
    void MakeObjectEvents();
    void MakeBoneTypes();
    void MakeEventComponents();
    void MakePoseAndVolumeTypes();
    void MakeJointTypes();
    // Steps 1 to 6 of a finished load; scene tells a whole scene from merged
    // objects.
    void LoadFinished(bool scene);

    bool FRendering = false;
    bool FSavedSkipSubDivRebuild = false;
    std::vector<THostRef> FDeleteAfterLoad;
};

extern TMainForm* MainForm;

// Moves a form whose left or top edge lies off the screen back to 0.
void KeepFormOnScreen(fw::TForm* form);

} // namespace vel
