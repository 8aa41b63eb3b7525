#include "SceneFile.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>

namespace tsxhost::detail {

namespace {

constexpr char kMagic[8] = {'T', 'S', 'X', 'S', 'C', 'E', 'N', 'E'};
constexpr std::uint32_t kVersion = 1;
constexpr std::uint32_t FourCC(const char (&s)[5]) {
    return std::uint32_t(std::uint8_t(s[0])) | std::uint32_t(std::uint8_t(s[1])) << 8 |
           std::uint32_t(std::uint8_t(s[2])) << 16 | std::uint32_t(std::uint8_t(s[3])) << 24;
}
constexpr std::uint32_t kMatl = FourCC("MATL");
constexpr std::uint32_t kNode = FourCC("NODE");
constexpr std::uint32_t kEnd = FourCC("END ");
constexpr std::uint32_t kMaxText = 1u << 20;
constexpr std::size_t kMaxFile = std::size_t(1) << 30;

static_assert(sizeof(float) == 4 && sizeof(std::uint32_t) == 4, "32-bit fields");

struct Writer {
    std::vector<std::uint8_t> b;
    void raw(const void* p, std::size_t n) {
        auto* c = static_cast<const std::uint8_t*>(p);
        b.insert(b.end(), c, c + n);
    }
    void u32(std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            b.push_back(std::uint8_t(v >> (8 * i)));
    }
    void i32(std::int32_t v) { u32(static_cast<std::uint32_t>(v)); }
    void f32(float v) {
        std::uint32_t u;
        std::memcpy(&u, &v, 4);
        u32(u);
    }
    void u8(std::uint8_t v) { b.push_back(v); }
    void text(const std::string& s) {
        u32(static_cast<std::uint32_t>(s.size()));
        raw(s.data(), s.size());
    }
    void blob(const std::vector<std::uint8_t>& v) {
        u32(static_cast<std::uint32_t>(v.size()));
        raw(v.data(), v.size());
    }
};

struct Reader {
    const std::uint8_t* p;
    std::size_t pos, end;
    std::string err;
    bool need(std::size_t n, const char* what) {
        if (!err.empty()) return false;
        if (end - pos < n) {
            err = std::string("truncated ") + what;
            return false;
        }
        return true;
    }
    std::uint32_t u32(const char* what) {
        if (!need(4, what)) return 0;
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i)
            v |= std::uint32_t(p[pos + i]) << (8 * i);
        pos += 4;
        return v;
    }
    std::int32_t i32(const char* what) { return static_cast<std::int32_t>(u32(what)); }
    float f32(const char* what) {
        std::uint32_t u = u32(what);
        float f;
        std::memcpy(&f, &u, 4);
        return f;
    }
    std::uint8_t u8(const char* what) { return need(1, what) ? p[pos++] : 0; }
    // A count of items each at least minSize bytes long must fit in what is left.
    std::uint32_t count(const char* what, std::size_t minSize) {
        std::uint32_t n = u32(what);
        if (err.empty() && minSize > 0 && n > (end - pos) / minSize) {
            err = std::string("bad count of ") + what;
            return 0;
        }
        return n;
    }
    std::string text(const char* what) {
        std::uint32_t n = u32(what);
        if (err.empty() && n > kMaxText) err = std::string("over-long ") + what;
        if (!need(n, what)) return {};
        std::string s(reinterpret_cast<const char*>(p + pos), n);
        pos += n;
        return s;
    }
    std::vector<std::uint8_t> blob(const char* what) {
        std::uint32_t n = u32(what);
        if (!need(n, what)) return {};
        std::vector<std::uint8_t> v(p + pos, p + pos + n);
        pos += n;
        return v;
    }
};

struct KeyRec {
    std::string attr;
    std::int32_t kind = 0;
    float time = 0;
    float spline[3] = {0, 0, 0};
    std::vector<std::uint8_t> data;
};
struct NamedBytes {
    std::string name;
    std::vector<std::uint8_t> data;
};
struct NodeRec {
    std::uint32_t depth = 0;
    std::int32_t type = 0;
    std::string name, extType;
    float rot[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    float loc[3] = {0, 0, 0}, size[3] = {1, 1, 1};
    bool visible = true;
    std::int32_t units = 0;
    CtsxVec3f axes{0, 0, 0};
    std::uint32_t material = 0;
    std::vector<CtsxVec3f> vxs;
    std::vector<std::vector<std::int32_t>> faces;
    std::int32_t level = 1, division = 2;
    std::vector<KeyRec> keys;
    std::vector<NamedBytes> attrs, blocks;
    std::vector<std::uint8_t> ext;
};
struct MaterialRec {
    CtsxColor color{255, 255, 255, 255};
    float refl[4] = {0, 0, 0, 0};
};
struct SceneRec {
    std::vector<MaterialRec> materials;
    std::vector<NodeRec> nodes;
};

bool HasMesh(std::int32_t type) {
    return type == TSX_TYPE_POLYH || type == TSX_TYPE_SUBDIV;
}

// ---- writing ----

std::string AttrName(int kind) {
    auto it = S().attributes.find(kind);
    return it == S().attributes.end() ? std::string() : it->second.name;
}

// What a write callback left: its bytes, and whether a write of its fell
// short (the host's own write failed, so the save fails).
struct Written {
    std::vector<std::uint8_t> bytes;
    bool shortWrite = false;
};

// call answers whether the callback reported success.
Written CallWriter(const std::function<bool(CtsxFILE)>& call) {
    HostFile* f = NewWriteFile();
    const std::uint64_t id = f->id;
    TScopeExit close{[id] {
        FreeId(id, kFile);
        S().files.erase(id);
    }};
    const bool answeredSuccess = call(Handle(f));
    auto it = S().files.find(id);
    if (it == S().files.end()) return {};
    Written out{std::move(it->second->out), it->second->shortWrite};
    if (out.shortWrite && answeredSuccess) ++S().silentWriteFailures;
    return out;
}

void NoteFailure(std::string& failure, const Written& w, const Node* n) {
    if (w.shortWrite && failure.empty()) failure = "cannot write the records of " + FullNameOf(n);
}

// The node's own fields: place, look and axes.
void WriteNodeFields(Writer& r, const Node* n, std::uint32_t depth) {
    r.u32(depth);
    r.i32(n->type);
    r.text(n->name);
    r.text(n->extTypeName);
    for (int i = 0; i < 3; ++i)
        for (int k = 0; k < 3; ++k)
            r.f32(static_cast<float>(n->rot.r[i][k]));
    CtsxVec3f loc = ToF(n->loc), size = ToF(n->size);
    r.f32(loc.x), r.f32(loc.y), r.f32(loc.z);
    r.f32(size.x), r.f32(size.y), r.f32(size.z);
    r.u8(n->visible ? 1 : 0);
    r.i32(n->units);
    r.f32(n->axes.x), r.f32(n->axes.y), r.f32(n->axes.z);
}

void WriteMesh(Writer& r, const Node* n, const std::map<std::uint64_t, std::uint32_t>& matIndex) {
    const Mesh* m = n->type == TSX_TYPE_SUBDIV ? n->cage->mesh.get() : n->mesh.get();
    auto mi = matIndex.find(m->material);
    r.u32(mi == matIndex.end() ? 0 : mi->second);
    r.u32(static_cast<std::uint32_t>(m->vxs.size()));
    for (const CtsxVec3f& v : m->vxs)
        r.f32(v.x), r.f32(v.y), r.f32(v.z);
    r.u32(static_cast<std::uint32_t>(m->faces.size()));
    for (const auto& f : m->faces) {
        r.u32(static_cast<std::uint32_t>(f.size()));
        for (std::int32_t i : f)
            r.i32(i);
    }
    if (n->type == TSX_TYPE_SUBDIV) r.i32(n->subdiv.activeLevel), r.i32(n->subdiv.division);
}

// Keys of every kind, then the attribute values.
void WriteKeysAndAttributes(Writer& r, const Node* n) {
    std::uint32_t nKeys = 0;
    for (const auto& [kind, list] : n->keys)
        nKeys += static_cast<std::uint32_t>(list.size());
    r.u32(nKeys);
    for (const auto& [kind, list] : n->keys) {
        for (const Frame* f : list) {
            r.text(AttrName(kind));
            r.i32(kind);
            r.f32(f->time);
            r.f32(f->spline[0]), r.f32(f->spline[1]), r.f32(f->spline[2]);
            r.blob(f->data);
        }
    }
    r.u32(static_cast<std::uint32_t>(n->attrs.size()));
    for (const auto& [kind, value] : n->attrs)
        r.text(AttrName(kind)), r.blob(value);
}

// Blocks go out through their tags' file callbacks, each framed.
void WriteBlocks(Writer& r, const Node* n, std::string& failure) {
    std::vector<NamedBytes> blocks;
    for (const auto& [tag, block] : n->blocks) {
        auto t = S().tags.find(tag);
        if (t == S().tags.end()) continue;
        const DataTag def = t->second;
        std::uint8_t* data = block.get();
        Written out;
        if (def.def.onFileIO) {
            // A tag's callback answers the items it wrote: none is a failure.
            out = CallWriter([&](CtsxFILE fd) { return def.def.onFileIO(data, fd, 1) != 0; });
            NoteFailure(failure, out, n);
        } else {
            out.bytes.assign(data, data + def.size);
        }
        blocks.push_back({def.name, std::move(out.bytes)});
    }
    r.u32(static_cast<std::uint32_t>(blocks.size()));
    for (const auto& b : blocks)
        r.text(b.name), r.blob(b.data);
}

// An extension object's own record, through its type's file slot.
void WriteExtensionData(Writer& r, const Node* n, std::string& failure) {
    Written ext;
    if (n->type >= TSX_TYPE_EXTFIRST) {
        auto index = static_cast<std::size_t>(n->type - TSX_TYPE_EXTFIRST);
        if (index < S().extTypes.size() && S().extTypes[index].cb.onFileIO) {
            tsxExtFileIOFn io = S().extTypes[index].cb.onFileIO;
            const std::uint64_t id = n->id;
            // An extension object's slot answers 0 for success.
            ext = CallWriter([&](CtsxFILE fd) {
                return S().nodes.count(id) && io(Handle(S().nodes[id].get()), fd, 1, 0) == 0;
            });
            NoteFailure(failure, ext, n);
        }
    }
    r.blob(ext.bytes);
}

void WriteNode(Writer& w, Node* n, std::uint32_t depth,
               const std::map<std::uint64_t, std::uint32_t>& matIndex, std::string& failure) {
    Writer r;
    WriteNodeFields(r, n, depth);
    if (HasMesh(n->type)) WriteMesh(r, n, matIndex);
    WriteKeysAndAttributes(r, n);
    WriteBlocks(r, n, failure);
    WriteExtensionData(r, n, failure);
    w.u32(kNode);
    w.blob(r.b);
}

void WriteTree(Writer& w, std::uint64_t firstId, std::uint32_t depth,
               const std::map<std::uint64_t, std::uint32_t>& matIndex, std::string& failure) {
    // Walk by ids: a write callback could in principle change the scene.
    std::vector<std::uint64_t> ids;
    auto it = S().nodes.find(firstId);
    for (Node* c = it == S().nodes.end() ? nullptr : it->second.get(); c; c = c->next)
        ids.push_back(c->id);
    for (std::uint64_t id : ids) {
        auto n = S().nodes.find(id);
        if (n == S().nodes.end()) continue;
        WriteNode(w, n->second.get(), depth, matIndex, failure);
        n = S().nodes.find(id);
        if (n != S().nodes.end() && n->second->first)
            WriteTree(w, n->second->first->id, depth + 1, matIndex, failure);
    }
}

// ---- reading ----

bool ParseMesh(Reader& r, NodeRec& n, std::size_t materialCount) {
    n.material = r.u32("material");
    if (r.err.empty() && n.material > materialCount) r.err = "unknown material";
    std::uint32_t nv = r.count("vertices", 12);
    for (std::uint32_t i = 0; i < nv && r.err.empty(); ++i) {
        float x = r.f32("vertex"), y = r.f32("vertex"), z = r.f32("vertex");
        n.vxs.push_back({x, y, z});
    }
    std::uint32_t nf = r.count("faces", 4);
    for (std::uint32_t i = 0; i < nf && r.err.empty(); ++i) {
        std::uint32_t k = r.count("face corners", 4);
        std::vector<std::int32_t> face;
        for (std::uint32_t j = 0; j < k && r.err.empty(); ++j) {
            std::int32_t v = r.i32("corner");
            if (v < 0 || static_cast<std::uint32_t>(v) >= nv) r.err = "corner out of range";
            face.push_back(v);
        }
        n.faces.push_back(std::move(face));
    }
    if (n.type == TSX_TYPE_SUBDIV) n.level = r.i32("level"), n.division = r.i32("division");
    return r.err.empty();
}

// A counted list of name and bytes pairs.
void ParseNamed(Reader& r, const char* what, const char* nameField, const char* dataField,
                std::vector<NamedBytes>& out) {
    const std::uint32_t n = r.count(what, 8);
    for (std::uint32_t i = 0; i < n && r.err.empty(); ++i) {
        NamedBytes b;
        b.name = r.text(nameField);
        b.data = r.blob(dataField);
        out.push_back(std::move(b));
    }
}

bool ParseNode(Reader& r, NodeRec& n, std::size_t materialCount) {
    n.depth = r.u32("depth");
    n.type = r.i32("type");
    if (r.err.empty() && n.type <= TSX_TYPE_SCENE) r.err = "bad node type";
    n.name = r.text("name");
    n.extType = r.text("type name");
    for (float& v : n.rot)
        v = r.f32("rotation");
    for (float& v : n.loc)
        v = r.f32("location");
    for (float& v : n.size)
        v = r.f32("size");
    n.visible = r.u8("visibility") != 0;
    n.units = r.i32("units");
    n.axes.x = r.f32("axes"), n.axes.y = r.f32("axes"), n.axes.z = r.f32("axes");
    if (HasMesh(n.type) && !ParseMesh(r, n, materialCount)) return false;
    std::uint32_t nk = r.count("keys", 28);
    for (std::uint32_t i = 0; i < nk && r.err.empty(); ++i) {
        KeyRec k;
        k.attr = r.text("key attribute");
        k.kind = r.i32("key kind");
        k.time = r.f32("key time");
        for (float& v : k.spline)
            v = r.f32("key spline");
        k.data = r.blob("key data");
        n.keys.push_back(std::move(k));
    }
    ParseNamed(r, "attributes", "attribute name", "attribute value", n.attrs);
    ParseNamed(r, "data blocks", "data tag", "data block", n.blocks);
    n.ext = r.blob("extension data");
    if (r.err.empty() && r.pos != r.end) r.err = "node record longer than its fields";
    return r.err.empty();
}

bool Parse(const std::vector<std::uint8_t>& bytes, SceneRec& out, std::string& err) {
    Reader r{bytes.data(), 0, bytes.size(), {}};
    if (bytes.size() < 12 || std::memcmp(bytes.data(), kMagic, 8) != 0) {
        err = "not a scene file";
        return false;
    }
    r.pos = 8;
    std::uint32_t version = r.u32("version");
    if (version != kVersion) {
        err = "unsupported scene file version " + std::to_string(version);
        return false;
    }
    std::uint32_t prevDepth = 0;
    for (;;) {
        std::uint32_t tag = r.u32("record tag");
        std::uint32_t len = r.u32("record length");
        if (!r.need(len, "record")) break;
        Reader body{bytes.data(), r.pos, r.pos + len, {}};
        r.pos += len;
        if (tag == kEnd) {
            if (r.pos != r.end) r.err = "data after the end record";
            break;
        }
        if (tag == kMatl) {
            body.u32("material index");
            MaterialRec m;
            m.color.red = body.u8("colour"), m.color.green = body.u8("colour");
            m.color.blue = body.u8("colour"), m.color.alpha = body.u8("colour");
            for (float& v : m.refl)
                v = body.f32("reflection");
            if (!body.err.empty()) {
                r.err = body.err;
                break;
            }
            out.materials.push_back(m);
        } else if (tag == kNode) {
            NodeRec n;
            if (!ParseNode(body, n, out.materials.size())) {
                r.err = body.err;
                break;
            }
            if (n.depth > (out.nodes.empty() ? 0 : prevDepth + 1)) {
                r.err = "node depth skips a level";
                break;
            }
            prevDepth = n.depth;
            out.nodes.push_back(std::move(n));
        } // other records are skipped: later versions may add some
    }
    if (!r.err.empty()) {
        err = "damaged scene file: " + r.err;
        return false;
    }
    return true;
}

int AttributeByName(const std::string& name) {
    for (const auto& [handle, a] : S().attributes)
        if (a.name == name) return handle;
    return 0;
}

int ExtTypeByName(const std::string& name) {
    const auto& types = S().extTypes;
    for (std::size_t i = 0; i < types.size(); ++i)
        if (types[i].name == name) return TSX_TYPE_EXTFIRST + static_cast<int>(i);
    return 0;
}

int ResolveKind(const std::string& attr, std::int32_t kind) {
    if (attr.empty())
        return kind == TSX_KIND_ROTATION || kind == TSX_KIND_LOCATION || kind == TSX_KIND_SIZE
                   ? kind
                   : 0;
    return AttributeByName(attr);
}

// A rotation orthonormal to float precision, as saves write them, is kept
// bit for bit: made orthonormal again in double, it would round to other
// floats, and a scene loaded and saved again would change. One further off
// (a damaged or foreign file) is made orthonormal.
Rot ReadRotation(const float (&stored)[9]) {
    double m[3][3];
    Rot kept;
    for (int i = 0; i < 3; ++i)
        for (int k = 0; k < 3; ++k)
            kept.r[i][k] = m[i][k] = stored[i * 3 + k];
    constexpr double kTolerance = 1e-5;
    bool near = true;
    for (int a = 0; a < 3; ++a)
        for (int b = 0; b < 3; ++b) {
            const double dot = m[0][a] * m[0][b] + m[1][a] * m[1][b] + m[2][a] * m[2][b];
            near = near && std::fabs(dot - (a == b ? 1.0 : 0.0)) < kTolerance;
        }
    const double det = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
                       m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
                       m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
    return near && det > 0 ? kept : Orthonormal(m);
}

Node* Build(const NodeRec& rec, const std::vector<std::uint64_t>& materials) {
    int type = rec.type;
    if (type >= TSX_TYPE_EXTFIRST) type = ExtTypeByName(rec.extType);
    if (type == 0) type = TSX_TYPE_NULL; // a type no plug-in defines now keeps its place
    Node* n =
        HasMesh(type) ? MakeMeshNode(type, rec.name, rec.vxs, rec.faces) : NewNode(type, rec.name);
    if (type >= TSX_TYPE_EXTFIRST) n->extTypeName = rec.extType;
    n->rot = ReadRotation(rec.rot);
    n->loc = {rec.loc[0], rec.loc[1], rec.loc[2]};
    n->size = {rec.size[0], rec.size[1], rec.size[2]};
    n->visible = rec.visible;
    n->units = rec.units;
    n->axes = rec.axes;
    if (HasMesh(type)) {
        Mesh* m = type == TSX_TYPE_SUBDIV ? n->cage->mesh.get() : n->mesh.get();
        if (rec.material > 0) m->material = materials[rec.material - 1];
        if (type == TSX_TYPE_SUBDIV) {
            n->subdiv.activeLevel = std::clamp(rec.level, 0, 8);
            n->subdiv.division = rec.division;
        }
    }
    for (const KeyRec& k : rec.keys) {
        int kind = ResolveKind(k.attr, k.kind);
        if (kind == 0 || k.data.size() != static_cast<std::size_t>(KindSize(kind))) continue;
        Frame* f = NewFrame(kind, k.time);
        f->data = k.data;
        std::copy(std::begin(k.spline), std::end(k.spline), f->spline);
        PlaceKey(n, f);
    }
    for (const NamedBytes& a : rec.attrs) {
        int kind = AttributeByName(a.name);
        if (kind && a.data.size() == static_cast<std::size_t>(KindSize(kind)))
            n->attrs[kind] = a.data;
    }
    return n;
}

void CallReader(const std::vector<std::uint8_t>& bytes, const std::function<void(CtsxFILE)>& call) {
    HostFile* f = NewReadFile(bytes.data(), bytes.size());
    const std::uint64_t id = f->id;
    TScopeExit close{[id] {
        FreeId(id, kFile);
        S().files.erase(id);
    }};
    call(Handle(f));
}

// The materials the scene's meshes use, in the order they are first used:
// a scene saves what it needs, and a scene saved, loaded and saved again
// gives the same bytes, whatever numbers the host gave its materials.
std::vector<Material*> UsedMaterials() {
    std::vector<Material*> used;
    std::set<std::uint64_t> seen;
    for (const Node* n : WalkScene()) {
        if (!HasMesh(n->type)) continue;
        const Mesh* m = n->type == TSX_TYPE_SUBDIV ? n->cage->mesh.get() : n->mesh.get();
        auto it = S().materials.find(m->material);
        if (it != S().materials.end() && seen.insert(m->material).second)
            used.push_back(it->second.get());
    }
    return used;
}

} // namespace

bool SerializeScene(std::vector<std::uint8_t>& out, std::string* error) {
    Writer w;
    w.raw(kMagic, 8);
    w.u32(kVersion);
    std::map<std::uint64_t, std::uint32_t> index;
    for (Material* m : UsedMaterials()) {
        Writer r;
        auto i = static_cast<std::uint32_t>(index.size() + 1);
        index[m->id] = i;
        r.u32(i);
        r.u8(m->color.red), r.u8(m->color.green), r.u8(m->color.blue), r.u8(m->color.alpha);
        for (float v : m->refl)
            r.f32(v);
        w.u32(kMatl);
        w.blob(r.b);
    }
    std::string failure;
    if (Node* first = S().scene->first) WriteTree(w, first->id, 0, index, failure);
    w.u32(kEnd);
    w.u32(0);
    if (!failure.empty()) {
        if (error) *error = failure;
        return false;
    }
    out = std::move(w.b);
    return true;
}

namespace {

std::vector<std::uint64_t> MakeMaterials(const SceneRec& rec) {
    std::vector<std::uint64_t> materials;
    for (const MaterialRec& m : rec.materials) {
        Material* mat = NewMaterial();
        mat->fromFile = true;
        mat->color = m.color;
        std::copy(std::begin(m.refl), std::end(m.refl), mat->refl);
        materials.push_back(mat->id);
    }
    return materials;
}

// The materials earlier loads made that no object uses any more (the
// objects outside the scene keep theirs). Those made through the API stay:
// their handles are in someone's hands.
void FreeUnusedFileMaterials() {
    State& s = S();
    std::set<std::uint64_t> used;
    for (const auto& [id, n] : s.nodes)
        if (n->mesh) used.insert(n->mesh->material);
    std::vector<Material*> unused;
    for (const auto& [id, m] : s.materials)
        if (m->fromFile && !used.contains(id)) unused.push_back(m.get());
    for (Material* m : unused)
        FreeMaterial(m);
}

// The file's objects made and linked in file order: those at depth 0 under
// root (none for an object load), the rest under the object before them one
// level up. Answers the objects made; tops gets those at depth 0.
std::vector<Node*> LinkNodes(const SceneRec& rec, const std::vector<std::uint64_t>& materials,
                             Node* root, std::vector<Node*>& tops) {
    std::vector<Node*> created, stack;
    for (const NodeRec& r : rec.nodes) {
        Node* n = Build(r, materials);
        stack.resize(r.depth);
        Node* parent = r.depth == 0 ? root : stack[r.depth - 1];
        if (parent) {
            AppendChild(parent, n);
            MakeNameUnique(n);
        }
        if (r.depth == 0) tops.push_back(n);
        stack.push_back(n);
        created.push_back(n);
    }
    return created;
}

// What an object load hands back: its one top object, or a group of them.
Node* LoadedObject(const std::vector<Node*>& tops) {
    Node* object = tops.front();
    if (tops.size() > 1) {
        object = NewNode(TSX_TYPE_GROUP, "Group");
        for (Node* t : tops) {
            AppendChild(object, t);
            MakeNameUnique(t);
        }
    }
    return object;
}

// Each object's data blocks through their tags' readers. By id: a reader
// could in principle free objects.
void ReadBlocks(const SceneRec& rec, const std::vector<std::uint64_t>& ids) {
    State& s = S();
    for (std::size_t i = 0; i < ids.size(); ++i) {
        for (const NamedBytes& b : rec.nodes[i].blocks) {
            auto it = s.nodes.find(ids[i]);
            if (it == s.nodes.end()) break;
            int tag = 0;
            for (const auto& [handle, t] : s.tags)
                if (t.name == b.name) tag = handle;
            if (!tag) continue;
            const DataTag def = s.tags[tag];
            std::uint8_t* block = CreateBlock(it->second.get(), tag);
            if (!block) continue;
            if (def.def.onFileIO)
                CallReader(b.data, [&](CtsxFILE fd) { def.def.onFileIO(block, fd, 0); });
            else
                std::memcpy(block, b.data.data(),
                            std::min(b.data.size(), static_cast<std::size_t>(def.size)));
        }
    }
}

// Each extension object's record through its type's file slot.
void ReadExtensionData(const SceneRec& rec, const std::vector<std::uint64_t>& ids) {
    State& s = S();
    for (std::size_t i = 0; i < ids.size(); ++i) {
        auto it = s.nodes.find(ids[i]);
        if (it == s.nodes.end() || it->second->type < TSX_TYPE_EXTFIRST) continue;
        auto index = static_cast<std::size_t>(it->second->type - TSX_TYPE_EXTFIRST);
        if (index >= s.extTypes.size() || !s.extTypes[index].cb.onFileIO) continue;
        tsxExtFileIOFn io = s.extTypes[index].cb.onFileIO;
        Node* n = it->second.get();
        CallReader(rec.nodes[i].ext, [&](CtsxFILE fd) { io(Handle(n), fd, 0, 0); });
    }
}

} // namespace

bool LoadSceneBytes(const std::vector<std::uint8_t>& bytes, LoadMode mode, std::string* error,
                    Node** loadedObject) {
    SceneRec rec;
    std::string err;
    if (!Parse(bytes, rec, err)) {
        if (error) *error = err;
        return false;
    }
    if (mode == LoadMode::Object && rec.nodes.empty()) {
        if (error) *error = "the file holds no object";
        return false;
    }
    State& s = S();
    if (mode == LoadMode::Replace) {
        FireGeneralEvent(e_tsxGA_SCNCLOSE);
        s.selection = nullptr;
        while (s.scene->first)
            FreeNode(s.scene->first);
        FreeUnusedFileMaterials();
    }
    const std::vector<std::uint64_t> materials = MakeMaterials(rec);
    // Objects first, linked in file order; then the data and extension readers.
    std::vector<Node*> tops;
    const std::vector<Node*> created =
        LinkNodes(rec, materials, mode == LoadMode::Object ? nullptr : s.scene, tops);
    Node* object = mode == LoadMode::Object ? LoadedObject(tops) : nullptr;
    std::vector<std::uint64_t> ids;
    for (Node* n : created)
        ids.push_back(n->id);
    ReadBlocks(rec, ids);
    ReadExtensionData(rec, ids);
    MarkViewsDirty();
    if (mode == LoadMode::Replace) FireGeneralEvent(e_tsxGA_SCNLOAD);
    if (mode == LoadMode::Merge) FireGeneralEvent(e_tsxGA_OBJLOAD);
    if (loadedObject) *loadedObject = object;
    return true;
}

bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& out, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (error) *error = "cannot open " + path;
        return false;
    }
    in.seekg(0, std::ios::end);
    std::streamoff size = in.tellg();
    if (size < 0 || static_cast<std::size_t>(size) > kMaxFile) {
        if (error) *error = "cannot read " + path;
        return false;
    }
    in.seekg(0);
    out.resize(static_cast<std::size_t>(size));
    if (!in.read(reinterpret_cast<char*>(out.data()), size)) {
        if (error) *error = "cannot read " + path;
        return false;
    }
    return true;
}

bool WriteWholeFile(const std::string& path, const std::vector<std::uint8_t>& bytes,
                    std::string* error) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out ||
        !out.write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size())) ||
        !out.flush()) {
        if (error) *error = "cannot write " + path;
        return false;
    }
    return true;
}

HostFile* NewReadFile(const std::uint8_t* data, std::size_t size) {
    auto f = std::make_unique<HostFile>();
    f->id = NewId(kFile);
    f->data = data;
    f->end = size;
    HostFile* raw = f.get();
    S().files.emplace(raw->id, std::move(f));
    return raw;
}

HostFile* NewWriteFile() {
    auto f = std::make_unique<HostFile>();
    f->id = NewId(kFile);
    f->writing = true;
    HostFile* raw = f.get();
    S().files.emplace(raw->id, std::move(f));
    return raw;
}

void CloseHostFile(HostFile* f) {
    FreeId(f->id, kFile);
    S().files.erase(f->id);
}

} // namespace tsxhost::detail

using namespace tsxhost::detail;

extern "C" {

int tsxFILEread(void* buffer, int size, int count, CtsxFILE fd) {
    TSX_LOG(buffer, size, count, fd);
    HostFile* f = File(fd);
    if (!f || f->writing || !buffer || size <= 0 || count <= 0) return 0;
    const std::size_t want = std::size_t(size) * std::size_t(count);
    std::size_t items = std::min<std::size_t>(std::size_t(count), (f->end - f->pos) / size);
    // A failing read delivers the first half of the items.
    if (InjectFault(__func__)) items = std::min<std::size_t>(items, std::size_t(count) / 2);
    const std::size_t got = items * std::size_t(size);
    if (got) std::memcpy(buffer, f->data + f->pos, got);
    // Past the frame: zeros, never the next record's bytes.
    std::memset(static_cast<std::uint8_t*>(buffer) + got, 0, want - got);
    f->pos += got;
    return static_cast<int>(items);
}

int tsxFILEwrite(const void* buffer, int size, int count, CtsxFILE fd) {
    TSX_LOG(buffer, size, count, fd);
    HostFile* f = File(fd);
    if (!f || !f->writing || !buffer || size <= 0 || count <= 0) return 0;
    // A failing write takes the first half of the items, as a full disk would.
    const int items = InjectFault(__func__) ? count / 2 : count;
    if (items < count) f->shortWrite = true;
    const std::size_t n = std::size_t(size) * std::size_t(items);
    auto* p = static_cast<const std::uint8_t*>(buffer);
    f->out.insert(f->out.end(), p, p + n);
    return items;
}

CtsxSobj tsxObjectLoad(const char* path) {
    TSX_LOG(path);
    TSX_FAULT(nullptr);
    if (!path || !*path) return nullptr;
    std::filesystem::path p(path);
    std::error_code ec;
    if (!std::filesystem::exists(p, ec) && p.is_relative() && !S().objectFolder.empty())
        p = std::filesystem::path(S().objectFolder) / p;
    std::vector<std::uint8_t> bytes;
    if (!ReadWholeFile(p.string(), bytes, nullptr)) return nullptr;
    Node* object = nullptr;
    if (!LoadSceneBytes(bytes, LoadMode::Object, nullptr, &object)) return nullptr;
    return Handle(object);
}

} // extern "C"
