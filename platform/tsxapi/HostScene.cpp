// Scene graph, nodes, polyhedra, sub-division objects and materials.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "HostState.h"

namespace tsxhost::detail {

std::string FullNameOf(const Node* n) {
    if (!n || n == S().scene) return {};
    std::string name = n->name;
    for (const Node* p = n->parent; p && p != S().scene; p = p->parent)
        name = p->name + "/" + name;
    return name;
}

Node* FindPath(Node* under, const std::string& path) {
    Node* cur = under;
    std::size_t start = 0;
    while (cur) {
        std::size_t slash = path.find('/', start);
        std::string part = path.substr(start, slash == std::string::npos ? slash : slash - start);
        Node* hit = nullptr;
        for (Node* c = cur->first; c; c = c->next)
            if (c->name == part) {
                hit = c;
                break;
            }
        if (!hit || slash == std::string::npos) return hit;
        cur = hit;
        start = slash + 1;
    }
    return nullptr;
}

bool Visible(const Node* n) {
    if (n->cageOwner) n = n->cageOwner;
    for (const Node* p = n; p && p != S().scene; p = p->parent)
        if (!p->visible) return false;
    return true;
}

void DeleteNode(Node* n) {
    State& s = S();
    if (!n || n->dying || n == s.scene || n->cageOwner) return;
    std::vector<Node*> doomed{n};
    PreOrder(n->first, doomed);
    std::vector<std::uint64_t> ids;
    for (Node* d : doomed) {
        if (d->dying) continue;
        d->dying = true;
        ids.push_back(d->id);
    }
    const std::uint64_t rootId = n->id;
    auto alive = [&](std::uint64_t id) -> Node* {
        auto it = s.nodes.find(id);
        return it == s.nodes.end() ? nullptr : it->second.get();
    };
    // Survivors of a callback that threw can be deleted again later.
    TScopeExit undying{[&] {
        for (std::uint64_t id : ids)
            if (Node* d = alive(id)) d->dying = false;
    }};
    for (std::uint64_t id : ids) {
        Node* d = alive(id);
        if (!d) continue;
        Notify(d, TSX_NOTIFY_DELETE, 0);
        if ((d = alive(id)) && s.destroyCB) s.destroyCB(Handle(d));
        if ((d = alive(id)) && d->type >= TSX_TYPE_EXTFIRST) {
            std::size_t index = static_cast<std::size_t>(d->type - TSX_TYPE_EXTFIRST);
            if (index < s.extTypes.size() && s.extTypes[index].cb.onDelete)
                s.extTypes[index].cb.onDelete(Handle(d));
        }
    }
    Node* root = alive(rootId);
    if (!root) return;
    bool lostSelection = s.selection && (s.selection == root || IsAncestor(root, s.selection));
    FreeNode(root);
    MarkViewsDirty();
    if (lostSelection) FireSelectionChanged();
}

void SelectNode(Node* n) {
    S().selection = n;
    MarkViewsDirty();
    FireSelectionChanged();
}

Material* NewMaterial() {
    auto m = std::make_unique<Material>();
    m->id = NewId(kMaterial);
    Material* raw = m.get();
    S().materials.emplace(raw->id, std::move(m));
    return raw;
}

void FreeMaterial(Material* m) {
    FreeId(m->id, kMaterial);
    S().materials.erase(m->id);
}

Node* MakeMeshNode(int type, const std::string& name, const std::vector<CtsxVec3f>& vxs,
                   const std::vector<std::vector<std::int32_t>>& faces) {
    auto mesh = std::make_unique<Mesh>();
    mesh->vxs = vxs;
    const auto count = static_cast<std::int32_t>(vxs.size());
    for (const auto& f : faces) {
        // Faces that name missing vertices would only make drawing read past the array.
        if (std::all_of(f.begin(), f.end(), [&](std::int32_t i) { return i >= 0 && i < count; }))
            mesh->faces.push_back(f);
    }
    if (type == TSX_TYPE_SUBDIV) {
        Node* n = NewNode(TSX_TYPE_SUBDIV, name);
        Node* cage = NewNode(TSX_TYPE_POLYH, name + " cage");
        cage->mesh = std::move(mesh);
        cage->cageOwner = n;
        n->cage = cage;
        return n;
    }
    Node* n = NewNode(type, name);
    n->mesh = std::move(mesh);
    return n;
}

} // namespace tsxhost::detail

using namespace tsxhost::detail;

namespace {

// A node whose transform the caller may change: not the scene, not a cage.
Node* Movable(CtsxSobj h) {
    Node* n = Obj(h);
    return n && n != S().scene && !n->cageOwner ? n : nullptr;
}

Mesh* MeshOf(CtsxPolyh h) {
    Node* n = Obj(h);
    return n ? n->mesh.get() : nullptr;
}

Node* SubDivOf(CtsxSobj h) {
    Node* n = Obj(h);
    if (!n) return nullptr;
    if (n->cageOwner) return n->cageOwner;
    return n->type == TSX_TYPE_SUBDIV ? n : nullptr;
}

int CopyName(const std::string& name, char* buffer, int size) {
    if (buffer && size > 0) {
        std::size_t n = std::min(name.size(), static_cast<std::size_t>(size - 1));
        std::memcpy(buffer, name.data(), n);
        buffer[n] = '\0';
    }
    return static_cast<int>(name.size());
}

} // namespace

extern "C" {

CtsxSobj tsxGetScene(void) {
    TSX_LOG();
    return Handle(S().scene);
}

CtsxSobj tsxSceneGetFirstNode(void) {
    TSX_LOG();
    return Handle(S().scene->first);
}

void tsxSceneAddObject(CtsxSobj obj, int flag) {
    TSX_LOG(obj, flag);
    Node* n = Movable(obj);
    if (!n || n->parent) return;
    AppendChild(S().scene, n);
    MakeNameUnique(n);
    MarkViewsDirty();
}

tsxBOOL tsxIsSobj(CtsxSobj handle) {
    TSX_LOG(handle);
    TSX_FAULT(0);
    return Probe(handle) ? 1 : 0;
}

int tsxSobjGetType(CtsxSobj obj) {
    TSX_LOG(obj);
    Node* n = Obj(obj);
    return n ? n->type : 0;
}

void tsxSobjDelete(CtsxSobj obj) {
    TSX_LOG(obj);
    DeleteNode(Obj(obj));
}

CtsxSobj tsxGetCurrentSelection(void) {
    TSX_LOG();
    TSX_FAULT(nullptr);
    return Handle(S().selection);
}

void tsxSelectSobj(CtsxSobj obj, int reserved, int mode) {
    TSX_LOG(obj, reserved, mode);
    if (!obj) {
        SelectNode(nullptr);
        return;
    }
    if (Node* n = Movable(obj)) SelectNode(n);
}

void tsxGroupRemoveCurrobj(void) {
    TSX_LOG();
    Node* n = S().selection;
    if (!n || !n->parent || n->parent == S().scene) return;
    Reparent(n, S().scene);
    MarkViewsDirty();
}

void tsxAddSubobj(CtsxSobj* parent, CtsxSobj child) {
    TSX_LOG(parent, child);
    if (!parent) {
        CountStale();
        return;
    }
    Node* p = Obj(*parent);
    Node* c = Movable(child);
    if (!p || !c || p == c || IsAncestor(c, p) || p->cageOwner) return;
    if (p == S().scene || IsGroup(p)) {
        Reparent(c, p);
        MarkViewsDirty();
        return;
    }
    // A non-group parent: a new group takes its place and holds both.
    Node* g = NewNode(TSX_TYPE_GROUP, "Group");
    if (p->parent) InsertBefore(p, g);
    Reparent(p, g);
    MakeNameUnique(g);
    Reparent(c, g);
    *parent = Handle(g);
    MarkViewsDirty();
}

CtsxSobj tsxGNodeGetFirstChild(CtsxSobj node) {
    TSX_LOG(node);
    Node* n = Obj(node);
    return n ? Handle(n->first) : nullptr;
}

CtsxSobj tsxGNodeGetNext(CtsxSobj node) {
    TSX_LOG(node);
    Node* n = Obj(node);
    return n ? Handle(n->next) : nullptr;
}

CtsxSobj tsxGNodeGetParent(CtsxSobj node) {
    TSX_LOG(node);
    Node* n = Obj(node);
    return n ? Handle(n->parent) : nullptr;
}

CtsxSobj tsxGNodeGetRoot(CtsxSobj node) {
    TSX_LOG(node);
    Node* n = Obj(node);
    if (!n) return nullptr;
    while (n->parent && n->parent != S().scene)
        n = n->parent;
    return Handle(n);
}

int tsxGNodeGetName(CtsxSobj node, char* buffer, int size) {
    TSX_LOG(node, static_cast<void*>(buffer), size);
    Node* n = Obj(node);
    return CopyName(n ? n->name : std::string(), buffer, size);
}

int tsxGNodeGetFullName(CtsxSobj node, CtsxSobj relativeTo, char* buffer, int size) {
    TSX_LOG(node, relativeTo, static_cast<void*>(buffer), size);
    Node* n = Obj(node);
    std::string name = FullNameOf(n);
    if (n && relativeTo) {
        Node* base = Probe(relativeTo);
        if (base && base != S().scene && IsAncestor(base, n)) {
            std::string prefix = FullNameOf(base) + "/";
            name = name.substr(prefix.size());
        }
    }
    return CopyName(name, buffer, size);
}

void tsxGNodeSetName(CtsxSobj node, const char* name) {
    TSX_LOG(node, name);
    Node* n = Movable(node);
    if (!n || !name) return;
    SetNodeName(n, name);
    MakeNameUnique(n);
}

tsxBOOL tsxGNodeFindByName(CtsxSobj* out, CtsxSobj start, const char* fullName) {
    TSX_LOG(out, start, fullName);
    if (!out) return 0;
    *out = nullptr;
    TSX_FAULT(0);
    if (!fullName) return 0;
    Node* under = start ? Obj(start) : S().scene;
    if (!under) return 0;
    Node* hit = FindPath(under, fullName);
    *out = Handle(hit);
    return hit ? 1 : 0;
}

void tsxGNodeGetLocation(CtsxSobj node, CtsxVec3f* out) {
    TSX_LOG(node, out);
    if (!out) return;
    Node* n = Obj(node);
    *out = n ? ToF(Translation(World(n))) : CtsxVec3f{0, 0, 0};
}

void tsxGNodeSetLocation(CtsxSobj node, const CtsxVec3f* location) {
    TSX_LOG(node, location);
    Node* n = Movable(node);
    if (!n || !location) return;
    SetWorldLoc(n, ToVec(*location));
    MarkViewsDirty();
}

void tsxGNodeGetRotation(CtsxSobj node, CtsxEuler3f* out) {
    TSX_LOG(node, out);
    if (!out) return;
    Node* n = Obj(node);
    *out = n ? RotToEuler(PureRot(n)) : CtsxEuler3f{0, 0, 0};
}

void tsxGNodeSetRotation(CtsxSobj node, const CtsxEuler3f* rotation) {
    TSX_LOG(node, rotation);
    Node* n = Movable(node);
    if (!n || !rotation) return;
    SetWorldRot(n, EulerToRot(*rotation));
    MarkViewsDirty();
}

void tsxGNodeGetSize(CtsxSobj node, CtsxVec3f* out) {
    TSX_LOG(node, out);
    if (!out) return;
    Node* n = Obj(node);
    *out = n ? ToF(n->size) : CtsxVec3f{1, 1, 1};
}

void tsxGNodeSetSize(CtsxSobj node, const CtsxVec3f* size) {
    TSX_LOG(node, size);
    Node* n = Movable(node);
    if (!n || !size) return;
    n->size = ToVec(*size);
    MarkViewsDirty();
}

void tsxGNodeGetTransform(CtsxSobj node, CtsxTxmx3f* out) {
    TSX_LOG(node, out);
    if (!out) return;
    Node* n = Obj(node);
    *out = ToTxmx(n ? World(n) : Affine{});
}

void tsxGNodeGetPureTransform(CtsxSobj node, CtsxTxmx3f* out) {
    TSX_LOG(node, out);
    if (!out) return;
    Node* n = Obj(node);
    if (!n) {
        *out = ToTxmx(Affine{});
        return;
    }
    *out = ToTxmx(MakeAffine(PureRot(n), Vec3{1, 1, 1}, Translation(World(n))));
}

void tsxGNodeSetUnits(CtsxSobj node, int units) {
    TSX_LOG(node, units);
    if (Node* n = Obj(node)) n->units = units;
}

tsxBOOL tsxMNodeIsVisible(CtsxSobj node) {
    TSX_LOG(node);
    TSX_FAULT(0);
    Node* n = Obj(node);
    return n && Visible(n) ? 1 : 0;
}

void tsxMNodeSetVisible(CtsxSobj node) {
    TSX_LOG(node);
    if (Node* n = Movable(node)) {
        n->visible = true;
        MarkViewsDirty();
    }
}

void tsxMNodeSetInvisible(CtsxSobj node) {
    TSX_LOG(node);
    if (Node* n = Movable(node)) {
        n->visible = false;
        MarkViewsDirty();
    }
}

void tsxMNodeSetAxesPosition(CtsxSobj node, const CtsxVec3f* position) {
    TSX_LOG(node, position);
    Node* n = Movable(node);
    if (n && position) n->axes = *position;
}

int tsxPolyhGetNbrVxs(CtsxPolyh poly) {
    TSX_LOG(poly);
    Mesh* m = MeshOf(poly);
    return m ? static_cast<int>(m->vxs.size()) : 0;
}

CtsxVec3f* tsxPolyhGetVxArray(CtsxPolyh poly) {
    TSX_LOG(poly);
    TSX_FAULT(nullptr);
    Mesh* m = MeshOf(poly);
    return m && !m->vxs.empty() ? m->vxs.data() : nullptr;
}

int tsxPolyhGetNbrFaces(CtsxPolyh poly) {
    TSX_LOG(poly);
    Mesh* m = MeshOf(poly);
    return m ? static_cast<int>(m->faces.size()) : 0;
}

int tsxPolyhGetFaceVxs(CtsxPolyh poly, int face, int32_t* indices, int maxCount) {
    TSX_LOG(poly, face, indices, maxCount);
    Mesh* m = MeshOf(poly);
    if (!m || face < 0 || face >= static_cast<int>(m->faces.size())) return 0;
    const auto& f = m->faces[static_cast<std::size_t>(face)];
    const int n = static_cast<int>(f.size());
    if (indices) std::copy_n(f.begin(), std::clamp(maxCount, 0, n), indices);
    return n;
}

void tsxPolyhGetVxTxmx(CtsxPolyh poly, CtsxTxmx3f* out) {
    TSX_LOG(poly, out);
    if (!out) return;
    Node* n = Obj(poly);
    *out = ToTxmx(n ? World(n) : Affine{});
}

void tsxPolyhComputeFaceAdjacency(CtsxPolyh poly) {
    TSX_LOG(poly);
    if (Mesh* m = MeshOf(poly)) ++m->counters.faceAdjacency;
}

void tsxPolyhMarkTopologyChange(CtsxPolyh poly) {
    TSX_LOG(poly);
    if (Mesh* m = MeshOf(poly)) ++m->counters.topologyChanges;
}

void tsxPolyhMarkGeomChange(CtsxPolyh poly) {
    TSX_LOG(poly);
    if (Mesh* m = MeshOf(poly)) {
        ++m->counters.geomChanges;
        MarkViewsDirty();
    }
}

void tsxPolyhInvertFaceNormals(CtsxPolyh poly) {
    TSX_LOG(poly);
    if (Mesh* m = MeshOf(poly)) {
        ++m->counters.normalInversions;
        for (auto& f : m->faces)
            std::reverse(f.begin(), f.end());
    }
}

void tsxPolyhPaint(CtsxPolyh poly, CtsxMaterial material) {
    TSX_LOG(poly, material);
    Mesh* m = MeshOf(poly);
    Material* mat = Mat(material);
    if (m && mat) m->material = mat->id;
}

CtsxPolyh tsxSubDivGetCagePtr(CtsxSobj subdiv) {
    TSX_LOG(subdiv);
    TSX_FAULT(nullptr);
    Node* n = Obj(subdiv);
    return n && n->type == TSX_TYPE_SUBDIV ? Handle(n->cage) : nullptr;
}

int tsxSubDivGetActiveLevel(CtsxSobj subdiv) {
    TSX_LOG(subdiv);
    Node* n = SubDivOf(subdiv);
    return n ? n->subdiv.activeLevel : 0;
}

void tsxSubDivSetActiveLevel(CtsxSobj subdiv, int level) {
    TSX_LOG(subdiv, level);
    if (Node* n = SubDivOf(subdiv)) n->subdiv.activeLevel = std::clamp(level, 0, 8);
}

int tsxSubDivGetDivision(CtsxSobj subdiv) {
    TSX_LOG(subdiv);
    Node* n = SubDivOf(subdiv);
    return n ? n->subdiv.division : 0;
}

int tsxSubDivGetFinestEditedLevel(CtsxSobj subdiv) {
    TSX_LOG(subdiv);
    SubDivOf(subdiv);
    return 0; // edits are only ever made on the cage here
}

void tsxSubDivMarkGeomChange(CtsxSobj subdivOrCage) {
    TSX_LOG(subdivOrCage);
    if (Node* n = SubDivOf(subdivOrCage)) {
        ++n->subdiv.geomChanges;
        MarkViewsDirty();
    }
}

void tsxSubDivBuild(CtsxSobj subdiv) {
    TSX_LOG(subdiv);
    if (Node* n = SubDivOf(subdiv)) ++n->subdiv.builds;
}

void tsxSubDivExtractControlMesh(CtsxSobj subdiv, int a, int b, int c) {
    TSX_LOG(subdiv, a, b, c);
    if (Node* n = SubDivOf(subdiv)) ++n->subdiv.extractions;
}

void tsxSubDivMake(CtsxSobj subdiv) {
    TSX_LOG(subdiv);
    if (Node* n = SubDivOf(subdiv)) ++n->subdiv.makes;
}

CtsxMaterial tsxMaterialCreate(void) {
    TSX_LOG();
    TSX_FAULT(nullptr);
    return Handle(NewMaterial());
}

void tsxMaterialSetColor(CtsxMaterial material, const CtsxColor* color) {
    TSX_LOG(material, color);
    Material* m = Mat(material);
    if (m && color) m->color = *color;
}

void tsxMaterialSetReflectionProps(CtsxMaterial material, float ambient, float specular,
                                   float exponent, float transparency) {
    TSX_LOG(material, ambient, specular, exponent, transparency);
    if (Material* m = Mat(material)) {
        m->refl[0] = ambient, m->refl[1] = specular, m->refl[2] = exponent;
        m->refl[3] = transparency;
    }
}

CtsxPolyh tsxCreateSphere(int longitudes, int latitudes, float radius) {
    TSX_LOG(longitudes, latitudes, radius);
    TSX_FAULT(nullptr);
    const int lon = std::clamp(longitudes, 3, 256);
    const int lat = std::clamp(latitudes, 2, 256);
    const double pi = 3.14159265358979323846;
    std::vector<CtsxVec3f> vxs;
    vxs.push_back({0, 0, radius});
    for (int i = 1; i < lat; ++i) {
        double theta = pi * i / lat;
        for (int j = 0; j < lon; ++j) {
            double phi = 2 * pi * j / lon;
            vxs.push_back(
                ToF(Vec3{radius * std::sin(theta) * std::cos(phi),
                         radius * std::sin(theta) * std::sin(phi), radius * std::cos(theta)}));
        }
    }
    vxs.push_back({0, 0, -radius});
    const int south = static_cast<int>(vxs.size()) - 1;
    auto ring = [&](int i, int j) { return 1 + (i - 1) * lon + (j % lon); };
    std::vector<std::vector<std::int32_t>> faces;
    for (int j = 0; j < lon; ++j)
        faces.push_back({0, ring(1, j), ring(1, j + 1)});
    for (int i = 1; i + 1 < lat; ++i)
        for (int j = 0; j < lon; ++j)
            faces.push_back({ring(i, j), ring(i + 1, j), ring(i + 1, j + 1), ring(i, j + 1)});
    for (int j = 0; j < lon; ++j)
        faces.push_back({ring(lat - 1, j + 1), ring(lat - 1, j), south});
    return Handle(MakeMeshNode(TSX_TYPE_POLYH, "Sphere", vxs, faces));
}

} // extern "C"
