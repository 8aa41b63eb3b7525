#ifndef TSXAPI_H
#define TSXAPI_H
/* The host's plug-in interface: value records, handles, callback tables and
   the tsx functions. Plain C so that both the plug-in and the host program
   can include it; docs/host-standin.md describes what each call does here. */

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
#define TSX_STATIC_ASSERT static_assert
extern "C" {
#else
#define TSX_STATIC_ASSERT _Static_assert
#endif

#define TSXAPI __attribute__((visibility("default")))

/* ---- handles: opaque values naming host table entries, never reused ---- */
typedef struct tsxObj_* CtsxSobj;
typedef CtsxSobj CtsxPolyh; /* a polyhedron object passes where a polyhedron is asked for */
typedef struct tsxFrame_* CtsxFrame;
typedef struct tsxFILE_* CtsxFILE;
typedef struct tsxMaterial_* CtsxMaterial;

typedef int tsxBOOL;

/* ---- value records (exact byte layouts) ---- */
typedef struct CtsxVec3f {
    float x, y, z;
} CtsxVec3f;

/* Three rows a, b, c of four; translation at elements 3, 7 and 11. Column
   vectors: p' = R p + t. */
typedef union CtsxTxmx3f {
    float m[12];
    float row[3][4];
} CtsxTxmx3f;

/* Rotation angles in radians; the rotation is Rz(z) * Ry(y) * Rx(x). */
typedef struct CtsxEuler3f {
    float x, y, z;
} CtsxEuler3f;

typedef struct CtsxAxes3f {
    CtsxVec3f xAxis, yAxis, zAxis;
} CtsxAxes3f;

typedef struct CtsxBBox3f {
    CtsxVec3f min, max;
} CtsxBBox3f;

typedef struct CtsxRect {
    int16_t left, top, right, bottom;
} CtsxRect;

/* Descriptor filled by the plug-in's tsxGetData. */
typedef struct CtsxPluginData {
    char name[32];
    char author[64];
    uint16_t bitmapId;
    uint16_t stringId;
} CtsxPluginData;

/* Material colour, one byte per channel. */
typedef struct CtsxColor {
    uint8_t red, green, blue, alpha;
} CtsxColor;

TSX_STATIC_ASSERT(sizeof(CtsxVec3f) == 12, "CtsxVec3f layout");
TSX_STATIC_ASSERT(sizeof(CtsxTxmx3f) == 48, "CtsxTxmx3f layout");
TSX_STATIC_ASSERT(sizeof(CtsxEuler3f) == 12, "CtsxEuler3f layout");
TSX_STATIC_ASSERT(sizeof(CtsxAxes3f) == 36, "CtsxAxes3f layout");
TSX_STATIC_ASSERT(sizeof(CtsxBBox3f) == 24, "CtsxBBox3f layout");
TSX_STATIC_ASSERT(sizeof(CtsxRect) == 8, "CtsxRect layout");
TSX_STATIC_ASSERT(sizeof(CtsxPluginData) == 100, "CtsxPluginData layout");
TSX_STATIC_ASSERT(offsetof(CtsxPluginData, bitmapId) == 96, "CtsxPluginData layout");
TSX_STATIC_ASSERT(sizeof(CtsxColor) == 4, "CtsxColor layout");

/* ---- enumerations ---- */
typedef enum tsxPEN {
    e_tsxPEN_BACKGROUND = 0,
    e_tsxPEN_GRID = 1,
    e_tsxPEN_ACTIVE = 2,
    e_tsxPEN_SCENE = 3,
    e_tsxPEN_ACTIVESUB = 4,
    e_tsxPEN_INACTIVESUB = 5,
    e_tsxPEN_CONTROL = 6,
    e_tsxPEN_ACTIVECONTROL = 7,
    e_tsxPEN_RED = 8,
    e_tsxPEN_GREEN = 9,
    e_tsxPEN_BLUE = 10
} tsxPEN;

typedef enum tsxCOLOR_MODE {
    e_tsxEDIT_CURPEN = 0,
    e_tsxEDIT_ACTIVE = 1,
    e_tsxEDIT_ACTIVESUB = 2,
    e_tsxEDIT_INACTIVE = 3,
    e_tsxEDIT_INACTIVESUB = 4
} tsxCOLOR_MODE;

typedef enum tsxGeneralAction {
    e_tsxGA_APPSTART = 0,
    e_tsxGA_APPCLOSE = 1,
    e_tsxGA_SCNCLOSE = 2,
    e_tsxGA_SCNNEW = 3,
    e_tsxGA_SCNLOAD = 4,
    e_tsxGA_SCNSAVED = 5, /* after a save */
    e_tsxGA_SCNSAVE = 6,  /* before a save */
    e_tsxGA_OBJLOAD = 7   /* objects merged into the scene */
} tsxGeneralAction;

/* Object change kind passed to the geometry-changed slot. */
typedef uint8_t tsxOBJECT_CHANGE;

/* Type numbers the host hands out. Extension types count up from
   TSX_TYPE_EXTFIRST in the order they are defined. */
enum {
    TSX_TYPE_SCENE = 1,
    TSX_TYPE_NULL = 10, /* a plain node the rig never handles */
    TSX_TYPE_GROUP = 100,
    TSX_TYPE_POLYH = 201,
    TSX_TYPE_SUBDIV = 217,
    TSX_TYPE_EXTFIRST = 1000
};

/* Key kinds besides attribute handles. */
enum { TSX_KIND_ROTATION = 2, TSX_KIND_LOCATION = 3, TSX_KIND_SIZE = 4 };

/* Object notification codes. */
enum {
    TSX_NOTIFY_REFRESH = 1,
    TSX_NOTIFY_CHANGE = 2,
    TSX_NOTIFY_DELETE = 3,
    TSX_NOTIFY_OBJNAV = 4,
    TSX_NOTIFY_EYENAV = 5,
    TSX_NOTIFY_ANIMNAV = 6
};

/* Event classes. */
enum { TSX_EVENT_RENDER = 0, TSX_EVENT_MOUSE = 1, TSX_EVENT_VIEW = 2, TSX_EVENT_GENERAL = 3 };

/* ---- records passed to callbacks; each begins with its 32-bit code ---- */
typedef struct tsxObjectNotifyMessage {
    int32_t code;
    int32_t param; /* OBJNAV: 1 when the user let go */
    int32_t reserved[2];
} tsxObjectNotifyMessage;

typedef struct tsxEventRenderData {
    int32_t code; /* 0 init .. 6 error */
    float frame;
} tsxEventRenderData;

typedef struct tsxEventMouseData {
    int32_t code;
    int32_t x, y, buttons;
} tsxEventMouseData;

typedef struct tsxEventViewMsgData {
    int32_t code;
    int32_t view;
} tsxEventViewMsgData;

typedef struct tsxEventGeneralData {
    int32_t code; /* tsxGeneralAction */
} tsxEventGeneralData;

/* ---- line shape an extension object draws ---- */
typedef struct tsxVectorObject {
    int32_t nbrVxs;
    CtsxVec3f* vxs;
    int32_t* indices; /* -2 ends a polyline, -1 ends the list */
} tsxVectorObject;
typedef tsxVectorObject* PtsxVectorObject;

/* ---- callback tables (native layout) ---- */
typedef int (*tsxExtDeleteFn)(CtsxSobj obj);
typedef int (*tsxExtCloneFn)(CtsxSobj obj, CtsxSobj clone);
typedef int (*tsxExtFileIOFn)(CtsxSobj obj, CtsxFILE fd, int direction, int format);
typedef int (*tsxExtDrawFn)(CtsxSobj obj, int colorMode, CtsxRect* rect);
typedef int (*tsxExtTransformFn)(CtsxSobj obj, CtsxTxmx3f* txmx, uint16_t flags);
typedef int (*tsxExtBoundsFn)(CtsxSobj obj, CtsxBBox3f* out, CtsxTxmx3f* extra);
typedef int (*tsxExtAnswerFn)(void);
typedef int (*tsxExtGeomChangedFn)(CtsxSobj obj, tsxOBJECT_CHANGE kind);
typedef int (*tsxExtSetOwnerFn)(CtsxSobj obj, CtsxSobj parent);

typedef struct tsxExtObjCallbacks {
    int32_t version; /* 3 */
    tsxExtDeleteFn onDelete;
    tsxExtCloneFn onClone;
    tsxExtFileIOFn onFileIO; /* direction 0 read / 1 write, format 0 binary / 1 text */
    tsxExtDrawFn onDraw;
    tsxExtTransformFn onTransform;
    tsxExtBoundsFn onBounds;
    tsxExtAnswerFn answerTrue;
    tsxExtAnswerFn answerFalse;
    tsxExtGeomChangedFn onGeomChanged;
    tsxExtSetOwnerFn onSetOwner;
} tsxExtObjCallbacks;

typedef int (*tsxAttrStubFn)(void);
typedef int (*tsxAttrChangedFn)(CtsxSobj obj, int attribute, float time);
typedef struct tsxAttrCallbacks {
    int32_t reserved1;
    int32_t reserved2;
    tsxAttrStubFn stub1;
    tsxAttrStubFn stub2;
    tsxAttrChangedFn onChanged;
} tsxAttrCallbacks;

/* Attribute value type code of a 32-bit float; other codes are held, not blended. */
enum { TSX_ATTR_FLOAT = 9 };

typedef int (*tsxDataCopyFn)(void* source, void* target);
typedef int (*tsxDataFileIOFn)(void* block, CtsxFILE fd, int mode); /* 0 read, 1 write */
typedef struct tsxDataDefinition {
    int32_t version; /* 3 */
    int32_t reserved;
    tsxDataCopyFn onCopy;
    tsxDataFileIOFn onFileIO;
} tsxDataDefinition;

typedef void (*tsxSelectionChangedFn)(void);
typedef void (*tsxOnDestroyFn)(CtsxSobj obj);
typedef void (*tsxActiveTimeChangedFn)(void);
typedef void (*tsxCurrobjMoveFn)(CtsxTxmx3f* move, int16_t aVar);
typedef void (*tsxEventFn)(int eventClass, void* data);
typedef void (*tsxNotifyFn)(CtsxSobj obj, tsxObjectNotifyMessage* msg);

/* ---- the plug-in's entry points, as the host sees them ---- */
typedef int (*tsxGetVersionFn)(void);
typedef void (*tsxGetDataFn)(CtsxPluginData*, int);
typedef int (*tsxOnLeftClickFn)(void);
typedef void (*tsxOnRightClickFn)(void);
typedef void (*tsxDeactivateFn)(void);

/* ---- version, views, plug-in control ---- */
TSXAPI void tsxGetTsVersionNbrs(short* first, short* second);
TSXAPI void* tsxGetMainViewHwnd(void);
TSXAPI void tsxForceLeftClick(int pluginId);
TSXAPI void tsxAllViewsRefresh(void);

/* ---- vector and matrix arithmetic (the first argument receives the result,
   except tsxTransformVect3f and tsxRotateVect3f: input, output, matrix) ---- */
TSXAPI void tsxAddToVec3f(CtsxVec3f* io, const CtsxVec3f* add);
TSXAPI void tsxSubToVec3f(CtsxVec3f* io, const CtsxVec3f* sub);
TSXAPI void tsxMulScalar3f(CtsxVec3f* io, float factor);
TSXAPI void tsxNormalize3f(CtsxVec3f* io);
TSXAPI void tsxGetNormalized3f(CtsxVec3f* out, const CtsxVec3f* in);
TSXAPI float tsxMagnitude3f(const CtsxVec3f* v);
TSXAPI void tsxXProdVec3f(CtsxVec3f* out, const CtsxVec3f* a, const CtsxVec3f* b);
TSXAPI float tsxDProdVec3f(const CtsxVec3f* a, const CtsxVec3f* b);
TSXAPI void tsxInvertMx3f(CtsxTxmx3f* out, const CtsxTxmx3f* in);
TSXAPI void tsxXProdMx3f(CtsxTxmx3f* out, const CtsxTxmx3f* a, const CtsxTxmx3f* b);
TSXAPI void tsxTransformVect3f(const CtsxVec3f* in, CtsxVec3f* out, const CtsxTxmx3f* m);
TSXAPI void tsxRotateVect3f(const CtsxVec3f* in, CtsxVec3f* out, const CtsxTxmx3f* m);
TSXAPI void tsxMakeRotMx3f(CtsxTxmx3f* out, const CtsxVec3f* point, const CtsxVec3f* axis,
                           float radians);
TSXAPI void tsxRotateAxes3f(CtsxAxes3f* out, const CtsxAxes3f* in, const CtsxTxmx3f* m);
TSXAPI void tsxAxesToEuler(const CtsxAxes3f* axes, CtsxEuler3f* out);
TSXAPI void tsxGetMxTranslation3f(CtsxVec3f* out, const CtsxTxmx3f* m);
TSXAPI void tsxSetMxTranslation3f(CtsxTxmx3f* m, const CtsxVec3f* v);
TSXAPI void tsxSubMxTranslation3f(CtsxTxmx3f* m, const CtsxVec3f* v);
TSXAPI void tsxAddMxTranslation3f(CtsxTxmx3f* m, const CtsxVec3f* v);
TSXAPI void tsxBBoxInit(CtsxBBox3f* box);

/* ---- scene graph and nodes ---- */
TSXAPI CtsxSobj tsxGetScene(void);
TSXAPI CtsxSobj tsxSceneGetFirstNode(void);
TSXAPI void tsxSceneAddObject(CtsxSobj obj, int flag);
TSXAPI tsxBOOL tsxIsSobj(CtsxSobj handle);
TSXAPI int tsxSobjGetType(CtsxSobj obj);
TSXAPI void tsxSobjDelete(CtsxSobj obj);
TSXAPI CtsxSobj tsxGetCurrentSelection(void);
TSXAPI void tsxSelectSobj(CtsxSobj obj, int reserved, int mode);
TSXAPI void tsxGroupRemoveCurrobj(void);
TSXAPI void tsxAddSubobj(CtsxSobj* parent, CtsxSobj child);
TSXAPI CtsxSobj tsxGNodeGetFirstChild(CtsxSobj node);
TSXAPI CtsxSobj tsxGNodeGetNext(CtsxSobj node);
TSXAPI CtsxSobj tsxGNodeGetParent(CtsxSobj node);
TSXAPI CtsxSobj tsxGNodeGetRoot(CtsxSobj node);
TSXAPI int tsxGNodeGetName(CtsxSobj node, char* buffer, int size);
TSXAPI int tsxGNodeGetFullName(CtsxSobj node, CtsxSobj relativeTo, char* buffer, int size);
TSXAPI void tsxGNodeSetName(CtsxSobj node, const char* name);
TSXAPI tsxBOOL tsxGNodeFindByName(CtsxSobj* out, CtsxSobj start, const char* fullName);
TSXAPI void tsxGNodeGetLocation(CtsxSobj node, CtsxVec3f* out);
TSXAPI void tsxGNodeSetLocation(CtsxSobj node, const CtsxVec3f* location);
TSXAPI void tsxGNodeGetRotation(CtsxSobj node, CtsxEuler3f* out);
TSXAPI void tsxGNodeSetRotation(CtsxSobj node, const CtsxEuler3f* rotation);
TSXAPI void tsxGNodeGetSize(CtsxSobj node, CtsxVec3f* out);
TSXAPI void tsxGNodeSetSize(CtsxSobj node, const CtsxVec3f* size);
TSXAPI void tsxGNodeGetTransform(CtsxSobj node, CtsxTxmx3f* out);
TSXAPI void tsxGNodeGetPureTransform(CtsxSobj node, CtsxTxmx3f* out);
TSXAPI void tsxGNodeSetUnits(CtsxSobj node, int units);
TSXAPI tsxBOOL tsxMNodeIsVisible(CtsxSobj node);
TSXAPI void tsxMNodeSetVisible(CtsxSobj node);
TSXAPI void tsxMNodeSetInvisible(CtsxSobj node);
TSXAPI void tsxMNodeSetAxesPosition(CtsxSobj node, const CtsxVec3f* position);

/* ---- polyhedra, sub-division objects, materials, primitives ---- */
TSXAPI int tsxPolyhGetNbrVxs(CtsxPolyh poly);
TSXAPI CtsxVec3f* tsxPolyhGetVxArray(CtsxPolyh poly);
TSXAPI void tsxPolyhGetVxTxmx(CtsxPolyh poly, CtsxTxmx3f* out);
TSXAPI int tsxPolyhGetNbrFaces(CtsxPolyh poly);
/* Copies at most maxCount of the face's vertex indices (in order round the
   face) into indices; answers how many the face has (0 for no face). */
TSXAPI int tsxPolyhGetFaceVxs(CtsxPolyh poly, int face, int32_t* indices, int maxCount);
TSXAPI void tsxPolyhComputeFaceAdjacency(CtsxPolyh poly);
TSXAPI void tsxPolyhMarkTopologyChange(CtsxPolyh poly);
TSXAPI void tsxPolyhMarkGeomChange(CtsxPolyh poly);
TSXAPI void tsxPolyhInvertFaceNormals(CtsxPolyh poly);
TSXAPI void tsxPolyhPaint(CtsxPolyh poly, CtsxMaterial material);
TSXAPI CtsxPolyh tsxSubDivGetCagePtr(CtsxSobj subdiv);
TSXAPI int tsxSubDivGetActiveLevel(CtsxSobj subdiv);
TSXAPI void tsxSubDivSetActiveLevel(CtsxSobj subdiv, int level);
TSXAPI int tsxSubDivGetDivision(CtsxSobj subdiv);
TSXAPI int tsxSubDivGetFinestEditedLevel(CtsxSobj subdiv);
TSXAPI void tsxSubDivMarkGeomChange(CtsxSobj subdivOrCage);
TSXAPI void tsxSubDivBuild(CtsxSobj subdiv);
TSXAPI void tsxSubDivExtractControlMesh(CtsxSobj subdiv, int a, int b, int c);
TSXAPI void tsxSubDivMake(CtsxSobj subdiv);
TSXAPI CtsxMaterial tsxMaterialCreate(void);
TSXAPI void tsxMaterialSetColor(CtsxMaterial material, const CtsxColor* color);
TSXAPI void tsxMaterialSetReflectionProps(CtsxMaterial material, float ambient, float specular,
                                          float exponent, float transparency);
TSXAPI CtsxPolyh tsxCreateSphere(int longitudes, int latitudes, float radius);
TSXAPI CtsxSobj tsxObjectLoad(const char* path);

/* ---- key frames, time, animated attributes ---- */
TSXAPI float tsxAnimGetActiveTime(void);
TSXAPI void tsxAnimSetActiveTime(float time);
TSXAPI int tsxAnimCreateAttribute(int pluginId, const char* name, tsxAttrCallbacks* callbacks,
                                  int valueSize, const int16_t* typeCodes, int codesSize);
TSXAPI CtsxFrame tsxFrameCreate(int kind);
TSXAPI void tsxFrameDelete(CtsxFrame frame);
TSXAPI void tsxFrameRemove(CtsxFrame frame);
TSXAPI tsxBOOL tsxFrameCopy(CtsxFrame frame, CtsxFrame* out);
TSXAPI void tsxFrameSetData(CtsxFrame frame, const void* data);
TSXAPI int tsxFrameGetData(CtsxFrame frame, void* out);
TSXAPI void tsxFrameSetSplineParameters(CtsxFrame frame, float tension, float continuity,
                                        float bias);
TSXAPI void tsxFrameGetSplineParameters(CtsxFrame frame, float* tension, float* continuity,
                                        float* bias);
TSXAPI float tsxFrameGetTime(CtsxFrame frame);
TSXAPI int tsxFrameGetKind(CtsxFrame frame);
TSXAPI CtsxFrame tsxSobjGetFrame(CtsxSobj obj, int kind, int reserved, float time);
TSXAPI void tsxSobjInsertFrame(CtsxSobj obj, CtsxFrame frame, int reserved, float time);
TSXAPI void tsxSobjSetFrame(CtsxSobj obj, int kind);
TSXAPI float tsxSobjGetFirstTime(CtsxSobj obj, int kind);
TSXAPI float tsxSobjGetNextTime(CtsxSobj obj, int kind, float time);
TSXAPI float tsxSobjTreeGetNextTime(CtsxSobj obj, int kind, float time);
TSXAPI tsxBOOL tsxSobjGetInterpolatedData(CtsxSobj obj, int kind, float time, void* out);

/* ---- per-object custom data ---- */
TSXAPI int tsxDataDefine(int pluginId, const char* tagName, tsxDataDefinition* definition,
                         int blockSize);
TSXAPI void* tsxSobjGetData(CtsxSobj obj, int tag);
TSXAPI void* tsxSobjCreateData(CtsxSobj obj, int tag);

/* ---- extension objects and drawing ---- */
TSXAPI int tsxObjectDefine(int pluginId, const char* typeName, tsxExtObjCallbacks* callbacks,
                           int reserved);
TSXAPI CtsxSobj tsxObjectCreate(int type);
TSXAPI void tsxAViewSetPen(tsxPEN pen);
TSXAPI tsxBOOL tsxAViewDrawLinelist(const CtsxTxmx3f* m, const CtsxVec3f* vxs, int nbrVxs,
                                    const int32_t* indices, CtsxRect* rect);
/* The active view's picture as the user sees it now: its size, and (when
   pixels is given) its width x height 32-bit pixels, alpha in the top byte,
   row by row from the top. 0 when there is no view. */
TSXAPI tsxBOOL tsxAViewGetPicture(int* width, int* height, uint32_t* pixels);
/* Where a world point shows in the active view's last picture, in pixels
   from its top-left corner. 0 when there is no view. */
TSXAPI tsxBOOL tsxAViewProject(const CtsxVec3f* world, float* x, float* y);

/* ---- host files (inside the file callbacks) ---- */
TSXAPI int tsxFILEread(void* buffer, int size, int count, CtsxFILE fd);
TSXAPI int tsxFILEwrite(const void* buffer, int size, int count, CtsxFILE fd);

/* ---- callbacks ---- */
TSXAPI void tsxSelectionChangedCB(int pluginId, tsxSelectionChangedFn callback);
TSXAPI void tsxOnDestroyCB(int pluginId, tsxOnDestroyFn callback);
TSXAPI void tsxActiveTimeChangedCB(int pluginId, tsxActiveTimeChangedFn callback);
TSXAPI void tsxCurrobjMoveCB(int pluginId, tsxCurrobjMoveFn callback);
TSXAPI void tsxRegisterEventCallback(int eventClass, tsxEventFn callback, int flag);
TSXAPI void tsxRegisterNotifyCallback(CtsxSobj obj, tsxNotifyFn callback, int flag);

#ifdef __cplusplus
}
#endif

#endif
