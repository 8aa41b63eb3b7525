#pragma once
// Control API of the host stand-in: what the user and the host application
// would do, for tests and the host program. docs/host-standin.md has the
// contract of the tsx functions and the scene file format.
#include <cstdint>
#include <string>
#include <vector>

#include "tsxapi.h"

namespace tsxhost {

// ---- the plug-in ----
struct PluginEntries {
    tsxGetVersionFn GetVersion;
    tsxGetDataFn GetData;
    tsxOnLeftClickFn OnLeftClick;
    tsxOnRightClickFn OnRightClick;
    tsxDeactivateFn Deactivate;
};
void AttachPlugin(const PluginEntries& entries);
void DetachPlugin();
// dlopen + dlsym of the five entry points, then AttachPlugin.
bool LoadPluginModule(const std::string& path, std::string* error);
void UnloadPluginModule();
// Start-up: GetVersion, then GetData(out, pluginId); answers the version.
int LoadSequence(int pluginId, CtsxPluginData* out);
int ClickLeft(); // answers the plug-in's style; 0 without a plug-in
void ClickRight();
void Deactivate();

// Fresh empty host: no objects, callbacks, types, attributes or tags; time 0;
// default version, main view and views; log off; stale count 0; no faults;
// handles not reused; plug-in entries detached (a loaded module stays
// loaded). No handle handed out before a Reset is handed out again after it.
void Reset();

// ---- configuration ----
// On: a new object, frame, material or file takes the handle its table freed
// last (while there is one), as a host that reuses its handles does; objects
// and frames freed before the switch went on are not reused. Off (the
// default): no handle is ever handed out twice.
void SetReuseHandles(bool on);
bool ReuseHandles();
void SetMainViewHwnd(void* hwnd); // 0 = no main view
void SetVersion(short first, short second);
void SetObjectFolder(const std::string& folder); // where tsxObjectLoad resolves bare names

// ---- call log and stale handles ----
void SetCallLog(bool on);
const std::vector<std::string>& CallLog(); // lines like "tsxGNodeSetName(0x..., \"Joint\")"
void ClearCallLog();
long StaleUses();
void ResetStaleUses();

// ---- failures made to order ----
// The host's functions fail as the host does when it cannot do what it is
// asked: an object, frame, material or data block comes back null, a Boolean
// or number answer 0 (an output handle is cleared), a file read or write
// takes only the first half of its items (a read fills the rest of the buffer
// with zeros). FaultableFunctions() names the functions that can fail.
struct FaultPlan {
    std::vector<std::string> Functions; // empty: every function that can fail
    long Nth = 0;                       // the Nth call of these (1 = the first) fails
    double Probability = 0;             // and each call fails with this chance
    std::uint64_t Seed = 0;             // of the chances
};
const std::vector<std::string>& FaultableFunctions();
// Starts counting calls afresh; false (and no plan) for a name that cannot fail.
bool SetFaults(const FaultPlan& plan);
void ClearFaults();
// The calls failed since SetFaults, one line each: "tsxFILEwrite #3" is the
// third call of that function.
const std::vector<std::string>& FaultLog();
// Write callbacks of a save that answered success although one of their
// writes fell short (a save with half a record).
long SilentWriteFailures();

// ---- look-up of host functions by name ----
// LookupSymbol answers the address of the exported tsx function of that name,
// or nullptr for unknown names and names made to fail with FailLookup.
void* LookupSymbol(const std::string& name);
void FailLookup(const std::string& name);
void ClearFailedLookups();

// ---- building scenes (parent nullptr = top level of the scene) ----
CtsxSobj AddGroup(const std::string& name, CtsxSobj parent = nullptr);
CtsxSobj AddNull(const std::string& name, CtsxSobj parent = nullptr);
CtsxPolyh AddPolyhedron(const std::string& name, const std::vector<CtsxVec3f>& vertices,
                        const std::vector<std::vector<int>>& faces, CtsxSobj parent = nullptr);
CtsxPolyh AddCube(const std::string& name, float half, CtsxSobj parent = nullptr);
// A sub-division object (type 217) whose control cage holds these vertices.
CtsxSobj AddSubDiv(const std::string& name, const std::vector<CtsxVec3f>& vertices,
                   const std::vector<std::vector<int>>& faces, CtsxSobj parent = nullptr);
CtsxMaterial AddMaterial(CtsxColor color);
std::vector<CtsxSobj> SceneNodes(); // depth-first pre-order
CtsxSobj FindByFullName(const std::string& fullName);
std::string FullName(CtsxSobj obj);

struct PolyhCounters {
    int geomChanges = 0, topologyChanges = 0, faceAdjacency = 0, normalInversions = 0;
};
struct SubDivCounters {
    int activeLevel = 1, division = 2, builds = 0, extractions = 0, makes = 0, geomChanges = 0;
};
PolyhCounters PolyhInfo(CtsxPolyh poly);
SubDivCounters SubDivInfo(CtsxSobj subdiv);
CtsxMaterial PolyhMaterial(CtsxPolyh poly);
CtsxColor MaterialColor(CtsxMaterial material);
int NodeUnits(CtsxSobj obj);
CtsxVec3f AxesPosition(CtsxSobj obj);
std::vector<std::vector<int>> PolyhFaces(CtsxPolyh poly);

// ---- user actions ----
void Select(CtsxSobj obj); // as the user clicking an object; nullptr clears
CtsxSobj Selection();
// A drag of the current selection by world-space increments (new = m x old):
// each step asks the plug-in first (current-object-moved) and applies what it
// leaves; EndDrag sends notification 4 with second field 1 to watchers.
void BeginDrag();
void DragStep(const CtsxTxmx3f& increment);
void EndDrag();
void Drag(const CtsxTxmx3f& increment); // one whole drag of one step
void Delete(CtsxSobj obj);
void SetTime(float time);
void SendGeneralEvent(int code);
void SendRenderEvent(int code, float frame = 0);
void SendMouseEvent(int code, int x = 0, int y = 0, int buttons = 0);
void SendNotify(CtsxSobj obj, int code, int param = 0);
int WatcherCount(CtsxSobj obj);

// ---- scene files ----
bool SaveScene(const std::string& path, std::string* error);
bool LoadScene(const std::string& path, std::string* error); // replaces the scene
bool LoadSceneFromBytes(const std::vector<std::uint8_t>& bytes, std::string* error);
std::vector<std::uint8_t> SaveSceneToBytes();                 // empty when a write fell short
bool MergeScene(const std::string& path, std::string* error); // adds to the scene
// Memory host files for testing file callbacks outside a save or load.
CtsxFILE OpenWriteFile();
CtsxFILE OpenReadFile(const std::vector<std::uint8_t>& bytes);
std::vector<std::uint8_t> FileBytes(CtsxFILE fd); // written bytes of a write file
void CloseFile(CtsxFILE fd);

// ---- views ----
struct DrawnLines {
    int pen = 0;
    std::vector<CtsxVec3f> points; // one polyline, world space
};
void SetViewCount(int count); // default 4: front, top, side, oblique
int ViewCount();
bool ViewsDirty();
// The host's idle step: redraws every dirty view by calling the draw slot of
// every extension object in the scene; answers how many views it redrew.
int IdleRedraw();
const std::vector<DrawnLines>& ViewLines(int view);
// Rasterises a view's recorded lines and the edges of the scene's visible
// meshes with the view's orthographic camera, fitted to what is drawn.
bool RenderViewPng(int view, const std::string& path, int width, int height);
// The view whose picture the plug-in's overlays reach (tsxAViewGetPicture,
// tsxAViewProject), and that picture's size in pixels; default view 0 at
// 640 x 480.
void SetActiveView(int view);
int ActiveView();
void SetPictureSize(int width, int height);
// The active view's picture as tsxAViewGetPicture gives it, into a PNG.
bool ActiveViewPng(const std::string& path);

} // namespace tsxhost
