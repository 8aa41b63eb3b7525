#pragma once
// One extension-object type in the host: defines the type once the plug-in
// number is known, creates its objects, and answers the host's callbacks for
// them with events or with built-in wire drawing and bounds.
#include <cstdint>
#include <functional>
#include <string>

#include "Classes.h"
#include "tsxapi.h"

namespace vel {

using TObjectHasChangedEvent =
    std::function<void(fw::TObject* Sender, CtsxSobj pSobj, tsxOBJECT_CHANGE aType)>;
using TApplyObmoveEvent = std::function<void(fw::TObject* Sender, CtsxSobj pSobj, CtsxTxmx3f& trans,
                                             std::uint16_t flags)>;
using TObjectDeleteEvent = std::function<void(fw::TObject* Sender, CtsxSobj pSobj)>;
using TObjectCloneEvent =
    std::function<void(fw::TObject* Sender, CtsxSobj pSobj, CtsxSobj pClone, std::int32_t& Result)>;
using TFileIOEvent = std::function<std::int32_t(CtsxSobj pSobj, CtsxFILE fd)>;
// Mode and rectangle may be changed for the default drawing that follows;
// clearing outDefaultDraw skips it.
using TObjectRenderEvent =
    std::function<void(fw::TObject* Sender, CtsxSobj pSobj, tsxCOLOR_MODE& inEdit, CtsxRect& Rect,
                       bool& outDefaultDraw)>;
using TSetOwnerEvent = std::function<void(fw::TObject* Sender, CtsxSobj pSobj, CtsxSobj pParent,
                                          std::int32_t& Result)>;
using TGetWirePenEvent = std::function<void(fw::TObject* Sender, CtsxSobj pSobj,
                                            tsxCOLOR_MODE inEdit, tsxPEN& ioWirePen)>;
// Receives the component's shape field; what it leaves there is drawn and
// bounded from then on (null: nothing is drawn).
using TGetVectorObjectEvent =
    std::function<void(fw::TObject* Sender, CtsxSobj pSobj, PtsxVectorObject& ioVectorObject)>;
using TObjectGetBoundsEvent = std::function<void(fw::TObject* Sender, CtsxSobj pSobj,
                                                 const CtsxTxmx3f& inTxmx, CtsxBBox3f& outBounds)>;

class TTsxExtObj : public fw::TComponent {
public:
    explicit TTsxExtObj(fw::TComponent* AOwner);
    ~TTsxExtObj() override;

    const std::string& ObjectTypeName() const { return FObjectTypeName; }
    void SetObjectTypeName(const std::string& Value) { FObjectTypeName = Value; }
    tsxPEN ActivePen() const { return FActivePen; }
    void SetActivePen(tsxPEN Value) { FActivePen = Value; }
    tsxPEN InactivePen() const { return FInactivePen; }
    void SetInactivePen(tsxPEN Value) { FInactivePen = Value; }
    tsxPEN ActiveSubPen() const { return FActiveSubPen; }
    void SetActiveSubPen(tsxPEN Value) { FActiveSubPen = Value; }
    tsxPEN InactiveSubPen() const { return FInactiveSubPen; }
    void SetInactiveSubPen(tsxPEN Value) { FInactiveSubPen = Value; }
    // The type number the host assigned; 0 until defined.
    std::int32_t SObjType() const { return FSObjType; }
    bool Visible() const { return FVisible; }
    void SetVisible(bool Value) { FVisible = Value; }
    bool AutoAddToScene() const { return FAutoAddToScene; }
    void SetAutoAddToScene(bool Value) { FAutoAddToScene = Value; }
    // The current line shape: the default cube until a shape handler says otherwise.
    PtsxVectorObject Shape() const { return FShape; }
    // A shape that outlives the component (the host reads it while drawing).
    void SetShape(PtsxVectorObject Value) { FShape = Value; }

    TObjectHasChangedEvent OnGeometryChanged;
    TApplyObmoveEvent OnTransform;
    TObjectDeleteEvent OnObjectDelete;
    TObjectCloneEvent OnObjectClone;
    TFileIOEvent OnReadBinary;
    TFileIOEvent OnWriteBinary;
    TFileIOEvent OnReadAscii;
    TFileIOEvent OnWriteAscii;
    TObjectRenderEvent OnObjectRender;
    TSetOwnerEvent OnSetOwner;
    TGetWirePenEvent OnGetWirePen;
    TGetVectorObjectEvent OnGetVectorObject;
    TObjectGetBoundsEvent OnGetBounds;

    // Defines the type with the host, once.
    void DefineObjectType();
    // A new object of this type named after it, or null when the host made none.
    CtsxSobj CreateObject();
    // The draw callback's work; the host's answer: 1 drawn or handled, 0 not.
    std::int32_t Draw(CtsxSobj Obj, int Mode, const CtsxRect* Rect);
    // Bounds of the object's shape in world space (extra applied first when
    // given); False when there is nothing to bound.
    bool GetBounds(CtsxSobj Obj, CtsxBBox3f& Bounds, const CtsxTxmx3f* Extra);

protected:
    void DoGetBounds(CtsxSobj Obj, const CtsxTxmx3f& Txmx, CtsxBBox3f& Bounds);

private:
    static void DefineExtObjAfterInit(void* Self);

    std::string FObjectTypeName;
    tsxPEN FActivePen = e_tsxPEN_ACTIVE;
    tsxPEN FInactivePen = e_tsxPEN_SCENE;
    tsxPEN FActiveSubPen = e_tsxPEN_ACTIVESUB;
    tsxPEN FInactiveSubPen = e_tsxPEN_INACTIVESUB;
    std::int32_t FSObjType = 0;
    bool FVisible = true;
    bool FAutoAddToScene = false;
    // Each component keeps its own cube, so a handler that edits the shape
    // in place touches no other component.
    CtsxVec3f FCubeVxs[8];
    std::int32_t FCubeIndices[24];
    tsxVectorObject FCube;
    PtsxVectorObject FShape;
};

// The component of the object's type, or null (not ours, stale handle).
TTsxExtObj* FindExtObjByType(CtsxSobj Obj);
// The component defined under a type number, or null.
TTsxExtObj* FindExtObjByTypeNumber(std::int32_t Type);

// The callback table given to the host with every type.
const tsxExtObjCallbacks& ExtObjCallbackTable();

} // namespace vel
