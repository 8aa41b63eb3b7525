#pragma once
// The host's tables and the helpers every tsx function shares: handle
// look-ups that count stale uses, and the call log.
#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <unordered_map>
#include <vector>

#include "HostMath.h"
#include "ScopeExit.h"
#include "TsxHost.h"
#include "tsxapi.h"

namespace tsxhost::detail {

struct Node;

using fw::TScopeExit;

// Handle encoding: (id << 3) | kind tag, so that a handle of one table never
// names an entry of another.
enum HandleTag : std::uintptr_t { kObj = 1, kFrame = 2, kFile = 3, kMaterial = 4 };

struct Frame {
    std::uint64_t id = 0;
    int kind = 0;
    float time = 0;
    std::vector<std::uint8_t> data;
    float spline[3] = {0, 0, 0};
    Node* owner = nullptr; // none while the frame is free-standing
};

struct Mesh {
    std::vector<CtsxVec3f> vxs;
    std::vector<std::vector<std::int32_t>> faces;
    std::uint64_t material = 0;
    PolyhCounters counters;
};

// A group's children by name, so that a new name is made unique without
// walking the siblings: how many children hold each name, and for each base
// the runs of numbers k taken by children named "base,k".
struct ChildNames {
    std::unordered_map<std::string, int> count;
    std::unordered_map<std::string, std::map<int, int>> numbered; // base -> {first k: last k}
};

struct Node {
    std::uint64_t id = 0;
    int type = 0;
    std::string name;
    std::string extTypeName; // stored type name of an extension object
    Node* parent = nullptr;  // none for free objects and the scene
    Node* first = nullptr;
    Node* last = nullptr;
    Node* prev = nullptr;
    Node* next = nullptr;
    Rot rot;            // local rotation
    Vec3 loc;           // local location (parent space)
    Vec3 size{1, 1, 1}; // local scale
    bool visible = true;
    int units = 0;
    CtsxVec3f axes{0, 0, 0};
    std::unique_ptr<Mesh> mesh;
    Node* cage = nullptr;      // sub-division object: its control cage
    Node* cageOwner = nullptr; // control cage: its sub-division object
    SubDivCounters subdiv;
    std::map<int, std::vector<Frame*>> keys; // kind -> frames ordered by time
    std::map<int, std::vector<std::uint8_t>> attrs;
    std::map<int, std::unique_ptr<std::uint8_t[]>> blocks; // data tag -> block
    std::vector<tsxNotifyFn> watchers;
    bool dying = false;
    std::unique_ptr<ChildNames> childNames; // made with the first child
};

struct ExtType {
    std::string name;
    tsxExtObjCallbacks cb{};
    int pluginId = 0;
};

struct Attribute {
    std::string name;
    tsxAttrCallbacks cb{};
    int size = 0;
    std::vector<std::int16_t> codes;
};

struct DataTag {
    std::string name;
    tsxDataDefinition def{};
    int size = 0;
};

struct Material {
    std::uint64_t id = 0;
    CtsxColor color{255, 255, 255, 255};
    float refl[4] = {0, 0, 0, 0};
    // Made by a load for the file's meshes, not asked for through an API: it
    // goes with the scene that loaded it, once nothing uses it.
    bool fromFile = false;
};

struct HostFile {
    std::uint64_t id = 0;
    bool writing = false;
    std::vector<std::uint8_t> out;
    std::vector<std::uint8_t> own; // bytes a control-API read file keeps
    const std::uint8_t* data = nullptr;
    std::size_t pos = 0, end = 0;
    bool shortWrite = false; // a write took fewer items than it was given
};

struct View {
    bool dirty = true;
    std::vector<DrawnLines> lines;
};

// Where a view's picture puts world space: the picture's centre shows the
// projected point (cx, cy), at scale pixels per unit.
struct Camera {
    int view = 0;
    int width = 0, height = 0;
    double cx = 0, cy = 0, scale = 1;
};

struct State {
    std::unordered_map<std::uint64_t, std::unique_ptr<Node>> nodes;
    std::unordered_map<std::uint64_t, std::unique_ptr<Frame>> frames;
    std::unordered_map<std::uint64_t, std::unique_ptr<Material>> materials;
    std::unordered_map<std::uint64_t, std::unique_ptr<HostFile>> files;
    Node* scene = nullptr;
    Node* selection = nullptr;
    float time = 0;

    tsxSelectionChangedFn selectionCB = nullptr;
    tsxOnDestroyFn destroyCB = nullptr;
    tsxActiveTimeChangedFn timeCB = nullptr;
    tsxCurrobjMoveFn moveCB = nullptr;
    std::map<int, std::vector<tsxEventFn>> eventCBs;

    std::vector<ExtType> extTypes; // index = type - TSX_TYPE_EXTFIRST
    std::map<int, Attribute> attributes;
    std::map<int, DataTag> tags;
    int nextAttr = 0, nextTag = 0;

    std::vector<View> views;
    int drawingView = -1;
    int activeView = 0;
    int pictureWidth = 640, pictureHeight = 480;
    Camera activeCamera; // of the last picture of the active view
    bool activeCameraSet = false;
    int pen = e_tsxPEN_SCENE;

    short version1 = 650, version2 = 0;
    void* mainView = reinterpret_cast<void*>(0x1000);
    std::string objectFolder;

    bool logOn = false;
    std::vector<std::string> log;
    long stale = 0;
    std::set<std::string> failedLookups;

    PluginEntries plugin{};
    void* module = nullptr;
    Node* dragObject = nullptr;

    // Freed handles handed out again (SetReuseHandles): each table's freed
    // ids, the last freed at the back.
    bool reuseHandles = false;
    std::vector<std::uint64_t> freedIds[kMaterial + 1];

    // Failures made to order (HostFaults.cpp).
    bool faultsOn = false;
    FaultPlan faults;
    std::set<std::string> faultNames;
    long faultCalls = 0;
    std::uint64_t faultRandom = 0;
    std::map<std::string, long> faultCallsByName;
    std::vector<std::string> faultLog;
    long silentWriteFailures = 0;
};

State& S();
// The call log's test at the top of every host function: one load and a
// test, no call, so that a function like tsxAddToVec3f stays a leaf. The
// first host call goes through S() (and builds the scene as before) in
// LogSlow, which then logs when the log is on.
[[gnu::visibility("hidden")]] extern std::atomic<State*> LogState;
// A new entry's id: from the one count that never goes back, or, while
// handles are reused, the id its table freed last.
std::uint64_t NewId(HandleTag tag);
// An entry of the table left it: its id may come back (SetReuseHandles).
void FreeId(std::uint64_t id, HandleTag tag);
void ResetState();
template <class H> H MakeHandle(std::uint64_t id, HandleTag tag) {
    return reinterpret_cast<H>(static_cast<std::uintptr_t>((id << 3) | tag));
}
CtsxSobj Handle(const Node* n);
CtsxFrame Handle(const Frame* f);
CtsxFILE Handle(const HostFile* f);
CtsxMaterial Handle(const Material* m);

// Look-ups answer none for a null, stale or foreign handle and count the use.
Node* Obj(CtsxSobj h);
Node* Probe(CtsxSobj h); // the same without counting
Frame* Fr(CtsxFrame h);
HostFile* File(CtsxFILE h);
Material* Mat(CtsxMaterial h);
void CountStale();

// True when the fault plan fails this call of fn (a tsx function's name).
bool InjectFault(const char* fn);

// Node tree.
bool IsGroup(const Node* n);
bool InScene(const Node* n);
bool IsAncestor(const Node* anc, const Node* n);
void Unlink(Node* n);
void AppendChild(Node* parent, Node* child); // plain link, no transform change
void InsertBefore(Node* before, Node* n);    // n takes a place in before's chain
void Reparent(Node* n, Node* parent);        // keeps the world transform
// The name itself when no other child of parent holds it, else the name with
// ",k" for the lowest k that none holds; O(1) expected.
std::string UniqueName(const Node* parent, const std::string& name, const Node* self);
void MakeNameUnique(Node* n);
// Renames a node, keeping its group's index of names.
void SetNodeName(Node* n, const std::string& name);
void PreOrder(Node* first, std::vector<Node*>& out);
std::vector<Node*> WalkScene();
Node* NewNode(int type, const std::string& name);
void FreeNode(Node* n); // removes a node from the tables, no callbacks
Affine World(const Node* n);
Rot PureRot(const Node* n);
void SetWorldRot(Node* n, const Rot& r);
void SetWorldLoc(Node* n, const Vec3& p);
void MarkViewsDirty();
bool Visible(const Node* n); // the node and all its groups are visible
std::string FullNameOf(const Node* n);
Node* FindPath(Node* under, const std::string& path); // under: whose children start the path

// Host actions shared by the C API and the control API.
void DeleteNode(Node* n);
void SelectNode(Node* n);
void Notify(Node* n, int code, int param);
void FireSelectionChanged();
void FireGeneralEvent(int code);
Node* MakeMeshNode(int type, const std::string& name, const std::vector<CtsxVec3f>& vxs,
                   const std::vector<std::vector<std::int32_t>>& faces);

Material* NewMaterial();
void FreeMaterial(Material* m);
std::uint8_t* CreateBlock(Node* n, int tag); // zeroed block of the tag's size, or none

// Keys.
Frame* NewFrame(int kind, float time);
void PlaceKey(Node* n, Frame* f); // frees a key already at the frame's time
void FreeFrame(Frame* f);
void DetachFrame(Frame* f);
int KindSize(int kind); // bytes of a key of this kind, 0 when unknown
std::vector<std::uint8_t> CurrentValue(Node* n, int kind);
void ApplyValue(Node* n, int kind, const std::uint8_t* data);
bool Interpolate(const Node* n, int kind, float time, std::vector<std::uint8_t>& out);

// Call log.
std::string Fmt(const void* p);
std::string Fmt(const char* s);
std::string Fmt(float v);
std::string Fmt(double v);
std::string Fmt(int v);
std::string Fmt(unsigned v);
std::string Fmt(long v);
std::string Fmt(short v);
std::string Fmt(unsigned short v);
std::string Fmt(unsigned char v);
std::string Fmt(tsxPEN v);
template <class T> std::string Fmt(T* p) {
    return Fmt(static_cast<const void*>(p));
}
template <class T> std::string Fmt(const T* p) {
    return Fmt(static_cast<const void*>(p));
}
inline std::string Fmt(char* s) {
    return Fmt(static_cast<const char*>(s));
}

// By value: a reference would make every host function keep its arguments in
// memory for the rarely taken log branch.
template <class... A> void LogCall(const char* fn, A... args) {
    std::string line = fn;
    line += '(';
    bool firstArg = true;
    ((line += (firstArg ? "" : ", ") + Fmt(args), firstArg = false), ...);
    line += ')';
    S().log.push_back(std::move(line));
}

template <class... A> [[gnu::noinline, gnu::cold]] void LogSlow(const char* fn, A... args) {
    State& s = S();
    LogState.store(&s, std::memory_order_relaxed);
    if (s.logOn) LogCall(fn, args...);
}

inline bool LogMaybe() {
    const State* s = LogState.load(std::memory_order_relaxed);
    return !s || s->logOn;
}

} // namespace tsxhost::detail

// Fails the call, answering what follows, when the fault plan picks it.
#define TSX_FAULT(...)                                                                             \
    do {                                                                                           \
        if (::tsxhost::detail::InjectFault(__func__)) return __VA_ARGS__;                          \
    } while (0)

#define TSX_LOG(...)                                                                               \
    do {                                                                                           \
        if (::tsxhost::detail::LogMaybe()) [[unlikely]]                                            \
            ::tsxhost::detail::LogSlow(__func__ __VA_OPT__(, ) __VA_ARGS__);                       \
    } while (0)
