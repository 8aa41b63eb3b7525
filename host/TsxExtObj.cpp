#include "TsxExtObj.h"

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <map>

#include "NoDestroy.h"
#include "TsxPlug.h"

namespace vel {
namespace {

constexpr CtsxVec3f kCubeVxs[8] = {{-1, -1, -1}, {1, -1, -1}, {1, 1, -1}, {-1, 1, -1},
                                   {-1, -1, 1},  {1, -1, 1},  {1, 1, 1},  {-1, 1, 1}};
// The two square faces, then the four edges between them.
constexpr std::int32_t kCubeIndices[24] = {0, 1, 2,  3, 0, -2, 4, 5, 6,  7, 4, -2,
                                           0, 4, -2, 1, 5, -2, 2, 6, -2, 3, 7, -1};

// Type number to component. A map rather than a list from the first number:
// numbers the host hands out below or out of step with the first one must
// still find their own component.
std::map<std::int32_t, TTsxExtObj*>& Types() {
    static fw::TNoDestroy<std::map<std::int32_t, TTsxExtObj*>> types;
    return *types;
}

bool HasMainView() {
    return tsxGetMainViewHwnd() != nullptr;
}

tsxCOLOR_MODE ToColorMode(int mode) {
    // Codes the enumeration does not know draw as the current pen does.
    return mode >= e_tsxEDIT_CURPEN && mode <= e_tsxEDIT_INACTIVESUB
               ? static_cast<tsxCOLOR_MODE>(mode)
               : e_tsxEDIT_CURPEN;
}

int ExtObjDeleteCallback(CtsxSobj obj) {
    try {
        if (!HasMainView()) return 0;
        if (TTsxExtObj* c = FindExtObjByType(obj))
            if (TObjectDeleteEvent h = c->OnObjectDelete) h(c, obj);
    } catch (...) {
        ReportEscaped("ExtObjDeleteCallback");
    }
    return 0;
}

int ExtObjCloneCallback(CtsxSobj obj, CtsxSobj clone) {
    std::int32_t result = 0;
    try {
        if (TTsxExtObj* c = FindExtObjByType(obj))
            if (TObjectCloneEvent h = c->OnObjectClone) h(c, obj, clone, result);
    } catch (...) {
        ReportEscaped("ExtObjCloneCallback");
    }
    return result;
}

int ExtObjFileIOCallback(CtsxSobj obj, CtsxFILE fd, int direction, int format) {
    try {
        TTsxExtObj* c = FindExtObjByType(obj);
        if (!c) return 0;
        const TFileIOEvent* event = nullptr;
        if (direction == 0 && format == 0) event = &c->OnReadBinary;
        if (direction == 0 && format == 1) event = &c->OnReadAscii;
        if (direction == 1 && format == 0) event = &c->OnWriteBinary;
        if (direction == 1 && format == 1) event = &c->OnWriteAscii;
        if (!event) return 0;
        if (TFileIOEvent h = *event) return h(obj, fd);
    } catch (...) {
        ReportEscaped("ExtObjFileIOCallback");
    }
    return 0;
}

int ExtObjDrawCallback(CtsxSobj obj, int colorMode, CtsxRect* rect) {
    try {
        if (TTsxExtObj* c = FindExtObjByType(obj)) return c->Draw(obj, colorMode, rect);
    } catch (...) {
        ReportEscaped("ExtObjDrawCallback");
    }
    return 0;
}

int ExtObjTransformCallback(CtsxSobj obj, CtsxTxmx3f* txmx, std::uint16_t flags) {
    try {
        if (!txmx || !HasMainView()) return 0;
        if (TTsxExtObj* c = FindExtObjByType(obj))
            if (TApplyObmoveEvent h = c->OnTransform) h(c, obj, *txmx, flags);
    } catch (...) {
        ReportEscaped("ExtObjTransformCallback");
    }
    return 0;
}

int ExtObjBoundsCallback(CtsxSobj obj, CtsxBBox3f* out, CtsxTxmx3f* extra) {
    try {
        if (!out || !HasMainView()) return -1;
        if (TTsxExtObj* c = FindExtObjByType(obj))
            if (c->GetBounds(obj, *out, extra)) return 0;
    } catch (...) {
        ReportEscaped("ExtObjBoundsCallback");
    }
    return -1;
}

int ExtObjCallbackTrue() {
    return 1;
}

int ExtObjCallbackFalse() {
    return 0;
}

int ExtObjGeomChangedCallback(CtsxSobj obj, tsxOBJECT_CHANGE kind) {
    try {
        if (!HasMainView()) return 0;
        if (TTsxExtObj* c = FindExtObjByType(obj))
            if (TObjectHasChangedEvent h = c->OnGeometryChanged) h(c, obj, kind);
    } catch (...) {
        ReportEscaped("ExtObjGeomChangedCallback");
    }
    return 0;
}

int ExtObjSetOwnerCallback(CtsxSobj obj, CtsxSobj parent) {
    std::int32_t result = 0;
    try {
        if (TTsxExtObj* c = FindExtObjByType(obj))
            if (TSetOwnerEvent h = c->OnSetOwner) h(c, obj, parent, result);
    } catch (...) {
        ReportEscaped("ExtObjSetOwnerCallback");
    }
    return result;
}

// The host takes the table by a non-const pointer and copies it.
tsxExtObjCallbacks gCallbacks = {3,
                                 &ExtObjDeleteCallback,
                                 &ExtObjCloneCallback,
                                 &ExtObjFileIOCallback,
                                 &ExtObjDrawCallback,
                                 &ExtObjTransformCallback,
                                 &ExtObjBoundsCallback,
                                 &ExtObjCallbackTrue,
                                 &ExtObjCallbackFalse,
                                 &ExtObjGeomChangedCallback,
                                 &ExtObjSetOwnerCallback};

// The native table: the version word, then ten pointer-sized slots.
static_assert(offsetof(tsxExtObjCallbacks, onDelete) == alignof(void*));
static_assert(sizeof(tsxExtObjCallbacks) == alignof(void*) + 10 * sizeof(void*));

} // namespace

const tsxExtObjCallbacks& ExtObjCallbackTable() {
    return gCallbacks;
}

TTsxExtObj* FindExtObjByTypeNumber(std::int32_t Type) {
    const auto& types = Types();
    const auto it = types.find(Type);
    return it == types.end() ? nullptr : it->second;
}

TTsxExtObj* FindExtObjByType(CtsxSobj Obj) {
    try {
        if (!Obj) return nullptr;
        return FindExtObjByTypeNumber(tsxSobjGetType(Obj));
    } catch (...) {
        return nullptr;
    }
}

TTsxExtObj::TTsxExtObj(fw::TComponent* AOwner)
    : fw::TComponent(AOwner), FCube{8, FCubeVxs, FCubeIndices}, FShape(&FCube) {
    std::copy(std::begin(kCubeVxs), std::end(kCubeVxs), FCubeVxs);
    std::copy(std::begin(kCubeIndices), std::end(kCubeIndices), FCubeIndices);
    CallAfterInit(&TTsxExtObj::DefineExtObjAfterInit, this);
}

TTsxExtObj::~TTsxExtObj() {
    CancelAfterInit(&TTsxExtObj::DefineExtObjAfterInit, this);
    // The host keeps the type; its callbacks for it must find no freed component.
    auto& types = Types();
    const auto it = types.find(FSObjType);
    if (it != types.end() && it->second == this) types.erase(it);
}

void TTsxExtObj::DefineExtObjAfterInit(void* Self) {
    static_cast<TTsxExtObj*>(Self)->DefineObjectType();
}

void TTsxExtObj::DefineObjectType() {
    if (FSObjType != 0) return;
    FSObjType = tsxObjectDefine(PluginId(), FObjectTypeName.c_str(), &gCallbacks, 0);
    // The host answers a name it already knows with its old number: the
    // newest component of that name takes it over.
    if (FSObjType != 0) Types()[FSObjType] = this;
}

CtsxSobj TTsxExtObj::CreateObject() {
    CtsxSobj obj = tsxObjectCreate(FSObjType);
    if (!obj) return nullptr;
    const CtsxVec3f origin{0, 0, 0};
    tsxMNodeSetAxesPosition(obj, &origin);
    tsxGNodeSetName(obj, FObjectTypeName.c_str());
    if (FAutoAddToScene) tsxSceneAddObject(obj, 1);
    return obj;
}

std::int32_t TTsxExtObj::Draw(CtsxSobj Obj, int Mode, const CtsxRect* Rect) {
    CtsxRect rect = Rect ? *Rect : CtsxRect{0, 0, 0, 0};
    tsxCOLOR_MODE mode = ToColorMode(Mode);
    bool defaultDraw = true;
    if (TObjectRenderEvent h = OnObjectRender) h(this, Obj, mode, rect, defaultDraw);
    if (!defaultDraw) return 1;
    if (!FVisible || tsxMNodeIsVisible(Obj) == 0) return 0;
    if (TGetVectorObjectEvent h = OnGetVectorObject) h(this, Obj, FShape);
    if (!FShape) return 1;
    tsxPEN pen = FActivePen;
    switch (mode) {
    case e_tsxEDIT_ACTIVESUB:
        pen = FActiveSubPen;
        break;
    case e_tsxEDIT_INACTIVE:
        pen = FInactivePen;
        break;
    case e_tsxEDIT_INACTIVESUB:
        pen = FInactiveSubPen;
        break;
    default:
        break;
    }
    if (TGetWirePenEvent h = OnGetWirePen) h(this, Obj, mode, pen);
    tsxAViewSetPen(pen);
    CtsxTxmx3f m;
    tsxGNodeGetTransform(Obj, &m);
    return tsxAViewDrawLinelist(&m, FShape->vxs, FShape->nbrVxs, FShape->indices, &rect) != 0 ? 1
                                                                                              : 0;
}

bool TTsxExtObj::GetBounds(CtsxSobj Obj, CtsxBBox3f& Bounds, const CtsxTxmx3f* Extra) {
    if (!FVisible) return false;
    // Without a handler the box comes from the shape; with no shape there is
    // nothing to bound, and the host is told so rather than given an empty box.
    if (!OnGetBounds && (!FShape || !FShape->vxs || FShape->nbrVxs <= 0)) return false;
    CtsxTxmx3f m;
    tsxGNodeGetTransform(Obj, &m);
    if (Extra) tsxXProdMx3f(&m, Extra, &m);
    ResetFpu();
    tsxBBoxInit(&Bounds);
    DoGetBounds(Obj, m, Bounds);
    return true;
}

void TTsxExtObj::DoGetBounds(CtsxSobj Obj, const CtsxTxmx3f& Txmx, CtsxBBox3f& Bounds) {
    if (TObjectGetBoundsEvent h = OnGetBounds) {
        const CtsxTxmx3f copy = Txmx;
        h(this, Obj, copy, Bounds);
        return;
    }
    for (std::int32_t i = 0; i < FShape->nbrVxs; ++i) {
        CtsxVec3f v;
        tsxTransformVect3f(&FShape->vxs[i], &v, &Txmx);
        Bounds.min.x = std::min(Bounds.min.x, v.x);
        Bounds.min.y = std::min(Bounds.min.y, v.y);
        Bounds.min.z = std::min(Bounds.min.z, v.z);
        Bounds.max.x = std::max(Bounds.max.x, v.x);
        Bounds.max.y = std::max(Bounds.max.y, v.y);
        Bounds.max.z = std::max(Bounds.max.z, v.z);
    }
}

} // namespace vel
