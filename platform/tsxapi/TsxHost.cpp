#include "TsxHost.h"

#include <dlfcn.h>

#include <algorithm>

#include "HostState.h"
#include "SceneFile.h"

namespace tsxhost {

using namespace detail;

namespace {
Node* NodeOrNone(CtsxSobj h) {
    return Probe(h);
}

Node* Place(Node* n, CtsxSobj parent) {
    Node* p = parent ? Probe(parent) : S().scene;
    if (!p || p->cageOwner) p = S().scene;
    AppendChild(p, n);
    MakeNameUnique(n);
    MarkViewsDirty();
    return n;
}
} // namespace

// ---- the plug-in ----

void AttachPlugin(const PluginEntries& entries) {
    S().plugin = entries;
}
void DetachPlugin() {
    S().plugin = PluginEntries{};
}

bool LoadPluginModule(const std::string& path, std::string* error) {
    UnloadPluginModule();
    void* h = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!h) {
        if (error) *error = dlerror();
        return false;
    }
    PluginEntries e{};
    e.GetVersion = reinterpret_cast<tsxGetVersionFn>(dlsym(h, "tsxGetVersion"));
    e.GetData = reinterpret_cast<tsxGetDataFn>(dlsym(h, "tsxGetData"));
    e.OnLeftClick = reinterpret_cast<tsxOnLeftClickFn>(dlsym(h, "tsxOnLeftClick"));
    e.OnRightClick = reinterpret_cast<tsxOnRightClickFn>(dlsym(h, "tsxOnRightClick"));
    e.Deactivate = reinterpret_cast<tsxDeactivateFn>(dlsym(h, "tsxDeactivate"));
    if (!e.GetVersion || !e.GetData || !e.OnLeftClick || !e.OnRightClick || !e.Deactivate) {
        if (error) *error = path + " lacks a plug-in entry point";
        dlclose(h);
        return false;
    }
    S().module = h;
    AttachPlugin(e);
    return true;
}

void UnloadPluginModule() {
    DetachPlugin();
    if (void* h = S().module) {
        S().module = nullptr;
        dlclose(h);
    }
}

int LoadSequence(int pluginId, CtsxPluginData* out) {
    const PluginEntries e = S().plugin;
    int version = e.GetVersion ? e.GetVersion() : 0;
    if (e.GetData) e.GetData(out, pluginId);
    return version;
}

int ClickLeft() {
    return S().plugin.OnLeftClick ? S().plugin.OnLeftClick() : 0;
}
void ClickRight() {
    if (S().plugin.OnRightClick) S().plugin.OnRightClick();
}
void Deactivate() {
    if (S().plugin.Deactivate) S().plugin.Deactivate();
}

void Reset() {
    ResetState();
}

// ---- configuration, log, stale handles, look-ups ----

void SetMainViewHwnd(void* hwnd) {
    S().mainView = hwnd;
}
void SetVersion(short first, short second) {
    S().version1 = first, S().version2 = second;
}
void SetObjectFolder(const std::string& folder) {
    S().objectFolder = folder;
}
void SetReuseHandles(bool on) {
    State& s = S();
    s.reuseHandles = on;
    if (!on)
        for (auto& freed : s.freedIds)
            freed.clear();
}
bool ReuseHandles() {
    return S().reuseHandles;
}
void SetCallLog(bool on) {
    S().logOn = on;
}
const std::vector<std::string>& CallLog() {
    return S().log;
}
void ClearCallLog() {
    S().log.clear();
}
long StaleUses() {
    return S().stale;
}
void ResetStaleUses() {
    S().stale = 0;
}

void* LookupSymbol(const std::string& name) {
    if (S().failedLookups.count(name) || name.rfind("tsx", 0) != 0) return nullptr;
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void*>(&tsxGetScene), &info) || !info.dli_fname) return nullptr;
    void* self = dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD);
    if (!self) return nullptr;
    void* sym = dlsym(self, name.c_str());
    dlclose(self);
    return sym;
}

void FailLookup(const std::string& name) {
    S().failedLookups.insert(name);
}
void ClearFailedLookups() {
    S().failedLookups.clear();
}

// ---- building scenes ----

CtsxSobj AddGroup(const std::string& name, CtsxSobj parent) {
    return Handle(Place(NewNode(TSX_TYPE_GROUP, name), parent));
}

CtsxSobj AddNull(const std::string& name, CtsxSobj parent) {
    return Handle(Place(NewNode(TSX_TYPE_NULL, name), parent));
}

CtsxPolyh AddPolyhedron(const std::string& name, const std::vector<CtsxVec3f>& vertices,
                        const std::vector<std::vector<int>>& faces, CtsxSobj parent) {
    return Handle(Place(MakeMeshNode(TSX_TYPE_POLYH, name, vertices, faces), parent));
}

CtsxPolyh AddCube(const std::string& name, float h, CtsxSobj parent) {
    std::vector<CtsxVec3f> v{{-h, -h, -h}, {h, -h, -h}, {h, h, -h}, {-h, h, -h},
                             {-h, -h, h},  {h, -h, h},  {h, h, h},  {-h, h, h}};
    std::vector<std::vector<int>> f{{0, 3, 2, 1}, {4, 5, 6, 7}, {0, 1, 5, 4},
                                    {1, 2, 6, 5}, {2, 3, 7, 6}, {3, 0, 4, 7}};
    return AddPolyhedron(name, v, f, parent);
}

CtsxSobj AddSubDiv(const std::string& name, const std::vector<CtsxVec3f>& vertices,
                   const std::vector<std::vector<int>>& faces, CtsxSobj parent) {
    return Handle(Place(MakeMeshNode(TSX_TYPE_SUBDIV, name, vertices, faces), parent));
}

CtsxMaterial AddMaterial(CtsxColor color) {
    Material* m = NewMaterial();
    m->color = color;
    return Handle(m);
}

std::vector<CtsxSobj> SceneNodes() {
    std::vector<CtsxSobj> out;
    for (Node* n : WalkScene())
        out.push_back(Handle(n));
    return out;
}

CtsxSobj FindByFullName(const std::string& fullName) {
    return Handle(FindPath(S().scene, fullName));
}

std::string FullName(CtsxSobj obj) {
    return FullNameOf(NodeOrNone(obj));
}

namespace {
const Mesh* MeshOf(CtsxPolyh poly) {
    Node* n = NodeOrNone(poly);
    if (!n) return nullptr;
    if (n->cage) n = n->cage;
    return n->mesh.get();
}
} // namespace

PolyhCounters PolyhInfo(CtsxPolyh poly) {
    const Mesh* m = MeshOf(poly);
    return m ? m->counters : PolyhCounters{};
}

SubDivCounters SubDivInfo(CtsxSobj subdiv) {
    Node* n = NodeOrNone(subdiv);
    return n ? n->subdiv : SubDivCounters{};
}

CtsxMaterial PolyhMaterial(CtsxPolyh poly) {
    const Mesh* m = MeshOf(poly);
    if (!m || !m->material) return nullptr;
    auto it = S().materials.find(m->material);
    return it == S().materials.end() ? nullptr : Handle(it->second.get());
}

CtsxColor MaterialColor(CtsxMaterial material) {
    auto v = reinterpret_cast<std::uintptr_t>(material);
    auto it = S().materials.find(v >> 3);
    if ((v & 7u) != kMaterial || it == S().materials.end()) return CtsxColor{0, 0, 0, 0};
    return it->second->color;
}

int NodeUnits(CtsxSobj obj) {
    Node* n = NodeOrNone(obj);
    return n ? n->units : 0;
}

CtsxVec3f AxesPosition(CtsxSobj obj) {
    Node* n = NodeOrNone(obj);
    return n ? n->axes : CtsxVec3f{0, 0, 0};
}

std::vector<std::vector<int>> PolyhFaces(CtsxPolyh poly) {
    const Mesh* m = MeshOf(poly);
    return m ? m->faces : std::vector<std::vector<int>>{};
}

// ---- user actions ----

void Select(CtsxSobj obj) {
    Node* n = obj ? NodeOrNone(obj) : nullptr;
    if (obj && (!n || n == S().scene)) return;
    SelectNode(n);
}

CtsxSobj Selection() {
    return Handle(S().selection);
}

void BeginDrag() {
    S().dragObject = S().selection;
}

void DragStep(const CtsxTxmx3f& increment) {
    State& s = S();
    Node* n = s.dragObject;
    if (!n) return;
    const std::uint64_t id = n->id;
    CtsxTxmx3f m = increment;
    if (s.moveCB) s.moveCB(&m, 0);
    auto it = s.nodes.find(id);
    if (it == s.nodes.end()) return;
    n = it->second.get();
    const Affine a = FromTxmx(m);
    const Vec3 p = Apply(a, Translation(World(n)));
    SetWorldRot(n, Mul(LinearPart(a), PureRot(n)));
    SetWorldLoc(n, p);
    MarkViewsDirty();
}

void EndDrag() {
    Node* n = S().dragObject;
    S().dragObject = nullptr;
    if (n) Notify(n, TSX_NOTIFY_OBJNAV, 1);
}

void Drag(const CtsxTxmx3f& increment) {
    BeginDrag();
    DragStep(increment);
    EndDrag();
}

void Delete(CtsxSobj obj) {
    DeleteNode(NodeOrNone(obj));
}

void SetTime(float time) {
    const bool log = S().logOn;
    S().logOn = false; // the user's action, not a plug-in call
    TScopeExit restore{[log] { S().logOn = log; }};
    tsxAnimSetActiveTime(time);
}

void SendGeneralEvent(int code) {
    FireGeneralEvent(code);
}

void SendRenderEvent(int code, float frame) {
    tsxEventRenderData data{code, frame};
    const auto list = S().eventCBs[TSX_EVENT_RENDER];
    for (tsxEventFn cb : list)
        cb(TSX_EVENT_RENDER, &data);
}

void SendMouseEvent(int code, int x, int y, int buttons) {
    tsxEventMouseData data{code, x, y, buttons};
    const auto list = S().eventCBs[TSX_EVENT_MOUSE];
    for (tsxEventFn cb : list)
        cb(TSX_EVENT_MOUSE, &data);
}

void SendNotify(CtsxSobj obj, int code, int param) {
    if (Node* n = NodeOrNone(obj)) Notify(n, code, param);
}

int WatcherCount(CtsxSobj obj) {
    Node* n = NodeOrNone(obj);
    return n ? static_cast<int>(n->watchers.size()) : 0;
}

// ---- scene files ----

bool SaveScene(const std::string& path, std::string* error) {
    FireGeneralEvent(e_tsxGA_SCNSAVE);
    std::vector<std::uint8_t> bytes;
    return SerializeScene(bytes, error) && WriteWholeFile(path, bytes, error);
}

bool LoadScene(const std::string& path, std::string* error) {
    std::vector<std::uint8_t> bytes;
    return ReadWholeFile(path, bytes, error) && LoadSceneBytes(bytes, LoadMode::Replace, error);
}

bool LoadSceneFromBytes(const std::vector<std::uint8_t>& bytes, std::string* error) {
    return LoadSceneBytes(bytes, LoadMode::Replace, error);
}

std::vector<std::uint8_t> SaveSceneToBytes() {
    std::vector<std::uint8_t> bytes;
    SerializeScene(bytes, nullptr);
    return bytes;
}

bool MergeScene(const std::string& path, std::string* error) {
    std::vector<std::uint8_t> bytes;
    return ReadWholeFile(path, bytes, error) && LoadSceneBytes(bytes, LoadMode::Merge, error);
}

CtsxFILE OpenWriteFile() {
    return Handle(NewWriteFile());
}

CtsxFILE OpenReadFile(const std::vector<std::uint8_t>& bytes) {
    HostFile* f = NewReadFile(nullptr, 0);
    f->own = bytes;
    f->data = f->own.data();
    f->end = f->own.size();
    return Handle(f);
}

namespace {
HostFile* FileOrNone(CtsxFILE fd) {
    auto v = reinterpret_cast<std::uintptr_t>(fd);
    auto it = S().files.find(v >> 3);
    return (v & 7u) == kFile && it != S().files.end() ? it->second.get() : nullptr;
}
} // namespace

std::vector<std::uint8_t> FileBytes(CtsxFILE fd) {
    HostFile* f = FileOrNone(fd);
    return f ? f->out : std::vector<std::uint8_t>{};
}

void CloseFile(CtsxFILE fd) {
    if (HostFile* f = FileOrNone(fd)) CloseHostFile(f);
}

} // namespace tsxhost
