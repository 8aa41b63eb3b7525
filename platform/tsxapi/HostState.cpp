#include "HostState.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iterator>

namespace tsxhost::detail {

namespace {
// Never reset: an id comes back only as a freed one while SetReuseHandles is on.
std::uint64_t gNextId = 1;
} // namespace

std::atomic<State*> LogState{nullptr};

State& S() {
    static State* s = [] {
        auto* st = new State; // lives until exit, so late callbacks find it
        st->scene = nullptr;
        return st;
    }();
    if (!s->scene) {
        auto scene = std::make_unique<Node>();
        scene->id = gNextId++; // the scene's handle is never freed
        scene->type = TSX_TYPE_SCENE;
        scene->name = "Scene";
        s->scene = scene.get();
        s->nodes.emplace(scene->id, std::move(scene));
        s->views.assign(4, View{});
    }
    return *s;
}

std::uint64_t NewId(HandleTag tag) {
    std::vector<std::uint64_t>& freed = S().freedIds[tag];
    if (!S().reuseHandles || freed.empty()) return gNextId++;
    const std::uint64_t id = freed.back();
    freed.pop_back();
    return id;
}

void FreeId(std::uint64_t id, HandleTag tag) {
    if (S().reuseHandles) S().freedIds[tag].push_back(id);
}

void ResetState() {
    State& s = S();
    void* module = s.module;
    s = State();
    s.module = module; // a loaded module stays loaded; only its entries detach
    S();               // builds the new scene node
}

CtsxSobj Handle(const Node* n) {
    return n ? MakeHandle<CtsxSobj>(n->id, kObj) : nullptr;
}
CtsxFrame Handle(const Frame* f) {
    return f ? MakeHandle<CtsxFrame>(f->id, kFrame) : nullptr;
}
CtsxFILE Handle(const HostFile* f) {
    return f ? MakeHandle<CtsxFILE>(f->id, kFile) : nullptr;
}
CtsxMaterial Handle(const Material* m) {
    return m ? MakeHandle<CtsxMaterial>(m->id, kMaterial) : nullptr;
}

void CountStale() {
    ++S().stale;
}

namespace {
template <class T, class H>
T* Find(std::unordered_map<std::uint64_t, std::unique_ptr<T>>& table, H h, HandleTag tag,
        bool count) {
    auto v = reinterpret_cast<std::uintptr_t>(h);
    if (v == 0 || (v & 7u) != tag) {
        if (count) CountStale();
        return nullptr;
    }
    auto it = table.find(static_cast<std::uint64_t>(v >> 3));
    if (it == table.end()) {
        if (count) CountStale();
        return nullptr;
    }
    return it->second.get();
}
} // namespace

Node* Obj(CtsxSobj h) {
    return Find(S().nodes, h, kObj, true);
}
Node* Probe(CtsxSobj h) {
    return Find(S().nodes, h, kObj, false);
}
Frame* Fr(CtsxFrame h) {
    return Find(S().frames, h, kFrame, true);
}
HostFile* File(CtsxFILE h) {
    return Find(S().files, h, kFile, true);
}
Material* Mat(CtsxMaterial h) {
    return Find(S().materials, h, kMaterial, true);
}

bool IsGroup(const Node* n) {
    return n && n->type == TSX_TYPE_GROUP;
}

bool InScene(const Node* n) {
    for (const Node* p = n; p; p = p->parent)
        if (p == S().scene) return n != S().scene;
    return false;
}

bool IsAncestor(const Node* anc, const Node* n) {
    for (const Node* p = n ? n->parent : nullptr; p; p = p->parent)
        if (p == anc) return true;
    return false;
}

namespace {

// k of a name "base,k" as UniqueName makes them (k from 1, no leading zero).
bool SplitNumbered(const std::string& name, std::string& base, int& k) {
    const std::size_t comma = name.rfind(',');
    if (comma == std::string::npos) return false;
    const std::size_t digits = name.size() - comma - 1;
    if (digits == 0 || digits > 9 || name[comma + 1] == '0') return false;
    k = 0;
    for (std::size_t i = comma + 1; i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9') return false;
        k = k * 10 + (name[i] - '0');
    }
    base = name.substr(0, comma);
    return true;
}

void TakeNumber(std::map<int, int>& runs, int k) {
    auto next = runs.upper_bound(k);
    const bool joinNext = next != runs.end() && next->first == k + 1;
    if (next != runs.begin()) {
        auto prev = std::prev(next);
        if (prev->second + 1 == k) {
            prev->second = joinNext ? next->second : k;
            if (joinNext) runs.erase(next);
            return;
        }
    }
    const int last = joinNext ? next->second : k;
    if (joinNext) runs.erase(next);
    runs.emplace(k, last);
}

void FreeNumber(std::map<int, int>& runs, int k) {
    auto run = runs.upper_bound(k);
    if (run == runs.begin()) return;
    --run;
    if (run->second < k) return;
    const int first = run->first, last = run->second;
    runs.erase(run);
    if (first < k) runs.emplace(first, k - 1);
    if (k < last) runs.emplace(k + 1, last);
}

void IndexName(Node* parent, const std::string& name, int delta) {
    if (!parent->childNames) parent->childNames = std::make_unique<ChildNames>();
    ChildNames& names = *parent->childNames;
    int& count = names.count[name];
    const bool was = count > 0;
    count += delta;
    const bool is = count > 0;
    if (!is) names.count.erase(name);
    std::string base;
    int k = 0;
    if (was == is || !SplitNumbered(name, base, k)) return;
    std::map<int, int>& runs = names.numbered[base];
    if (is)
        TakeNumber(runs, k);
    else
        FreeNumber(runs, k);
    if (runs.empty()) names.numbered.erase(base);
}

} // namespace

void Unlink(Node* n) {
    Node* p = n->parent;
    if (!p) return;
    IndexName(p, n->name, -1);
    (n->prev ? n->prev->next : p->first) = n->next;
    (n->next ? n->next->prev : p->last) = n->prev;
    n->parent = n->prev = n->next = nullptr;
}

void AppendChild(Node* parent, Node* child) {
    Unlink(child);
    child->parent = parent;
    IndexName(parent, child->name, 1);
    child->prev = parent->last;
    (parent->last ? parent->last->next : parent->first) = child;
    parent->last = child;
}

void InsertBefore(Node* before, Node* n) {
    Unlink(n);
    Node* p = before->parent;
    n->parent = p;
    IndexName(p, n->name, 1);
    n->next = before;
    n->prev = before->prev;
    (before->prev ? before->prev->next : p->first) = n;
    before->prev = n;
}

Affine World(const Node* n) {
    if (!n || n == S().scene) return Affine{};
    Affine local = MakeAffine(n->rot, n->size, n->loc);
    if (n->cageOwner) return World(n->cageOwner);
    return n->parent ? Compose(World(n->parent), local) : local;
}

Rot PureRot(const Node* n) {
    if (!n || n == S().scene) return Rot{};
    if (n->cageOwner) return PureRot(n->cageOwner);
    return n->parent ? Mul(PureRot(n->parent), n->rot) : n->rot;
}

void SetWorldRot(Node* n, const Rot& r) {
    n->rot = Mul(Transposed(PureRot(n->parent)), r);
}

void SetWorldLoc(Node* n, const Vec3& p) {
    n->loc = Apply(Inverse(World(n->parent)), p);
}

void Reparent(Node* n, Node* parent) {
    // Within its own group an object keeps its transform as it is: taken
    // through the world and back it would round.
    if (n->parent == parent) {
        AppendChild(parent, n);
        return;
    }
    Rot r = PureRot(n);
    Vec3 p = Translation(World(n));
    AppendChild(parent, n);
    SetWorldRot(n, r);
    SetWorldLoc(n, p);
    MakeNameUnique(n);
}

std::string UniqueName(const Node* parent, const std::string& name, const Node* self) {
    if (!parent || !parent->childNames) return name;
    const ChildNames& names = *parent->childNames;
    const bool selfHere = self && self->parent == parent;
    auto held = [&](const std::string& candidate) {
        const auto it = names.count.find(candidate);
        const int count = it == names.count.end() ? 0 : it->second;
        return count - (selfHere && self->name == candidate ? 1 : 0) > 0;
    };
    if (!held(name)) return name;
    // The lowest number after the first run of taken ones; the node's own
    // number is free to it when it is lower.
    int k = 1;
    if (const auto it = names.numbered.find(name); it != names.numbered.end())
        if (!it->second.empty() && it->second.begin()->first == 1) k = it->second.begin()->second + 1;
    std::string ownBase;
    int own = 0;
    if (selfHere && SplitNumbered(self->name, ownBase, own) && ownBase == name && own < k &&
        !held(self->name))
        k = own;
    return name + "," + std::to_string(k);
}

void MakeNameUnique(Node* n) {
    SetNodeName(n, UniqueName(n->parent, n->name, n));
}

void SetNodeName(Node* n, const std::string& name) {
    if (n->name == name) return;
    if (n->parent) IndexName(n->parent, n->name, -1);
    n->name = name;
    if (n->parent) IndexName(n->parent, n->name, 1);
}

void PreOrder(Node* first, std::vector<Node*>& out) {
    // Without recursion: groups may nest as deep as the user likes.
    if (!first) return;
    const Node* top = first->parent;
    for (Node* c = first; c;) {
        out.push_back(c);
        if (c->first) {
            c = c->first;
            continue;
        }
        while (c && !c->next && c->parent != top)
            c = c->parent;
        c = c ? c->next : nullptr;
    }
}

std::vector<Node*> WalkScene() {
    std::vector<Node*> out;
    PreOrder(S().scene->first, out);
    return out;
}

Node* NewNode(int type, const std::string& name) {
    auto n = std::make_unique<Node>();
    n->id = NewId(kObj);
    n->type = type;
    n->name = name;
    Node* raw = n.get();
    S().nodes.emplace(raw->id, std::move(n));
    return raw;
}

void FreeNode(Node* n) {
    State& s = S();
    // Leaves first, without recursion, each node reached once.
    for (Node* c = n;;) {
        while (c->first)
            c = c->first;
        if (c == n) break;
        Node* up = c->parent;
        FreeNode(c); // childless now
        c = up;
    }
    Unlink(n);
    if (n->cage) {
        n->cage->cageOwner = nullptr;
        FreeNode(n->cage);
    }
    for (auto& [kind, list] : n->keys)
        for (Frame* f : list) {
            FreeId(f->id, kFrame);
            s.frames.erase(f->id);
        }
    if (s.selection == n) s.selection = nullptr;
    if (s.dragObject == n) s.dragObject = nullptr;
    FreeId(n->id, kObj);
    s.nodes.erase(n->id);
}

void MarkViewsDirty() {
    for (View& v : S().views)
        v.dirty = true;
}

// ---- keys ----

void DetachFrame(Frame* f) {
    if (!f->owner) return;
    auto& list = f->owner->keys[f->kind];
    list.erase(std::remove(list.begin(), list.end(), f), list.end());
    if (list.empty()) f->owner->keys.erase(f->kind);
    f->owner = nullptr;
}

void FreeFrame(Frame* f) {
    DetachFrame(f);
    FreeId(f->id, kFrame);
    S().frames.erase(f->id);
}

int KindSize(int kind) {
    if (kind == TSX_KIND_ROTATION || kind == TSX_KIND_LOCATION || kind == TSX_KIND_SIZE) return 12;
    auto it = S().attributes.find(kind);
    return it == S().attributes.end() ? 0 : it->second.size;
}

namespace {
std::vector<std::uint8_t> Bytes(const Vec3& v) {
    CtsxVec3f f = ToF(v);
    std::vector<std::uint8_t> b(12);
    std::memcpy(b.data(), &f, 12);
    return b;
}
Vec3 ReadVec(const std::uint8_t* d) {
    CtsxVec3f f;
    std::memcpy(&f, d, 12);
    return ToVec(f);
}
bool AllFloats(int kind) {
    if (kind == TSX_KIND_ROTATION || kind == TSX_KIND_LOCATION || kind == TSX_KIND_SIZE)
        return true;
    auto it = S().attributes.find(kind);
    if (it == S().attributes.end()) return false;
    const Attribute& a = it->second;
    if (a.size % 4 != 0 || a.codes.size() * 4 != static_cast<std::size_t>(a.size)) return false;
    return std::all_of(a.codes.begin(), a.codes.end(),
                       [](std::int16_t c) { return c == TSX_ATTR_FLOAT; });
}
} // namespace

std::vector<std::uint8_t> CurrentValue(Node* n, int kind) {
    switch (kind) {
    case TSX_KIND_LOCATION:
        return Bytes(n->loc);
    case TSX_KIND_SIZE:
        return Bytes(n->size);
    case TSX_KIND_ROTATION: {
        CtsxEuler3f e = RotToEuler(n->rot);
        return Bytes(Vec3{e.x, e.y, e.z});
    }
    default: {
        std::vector<std::uint8_t> v(static_cast<std::size_t>(KindSize(kind)), 0);
        auto it = n->attrs.find(kind);
        if (it != n->attrs.end() && it->second.size() == v.size()) v = it->second;
        return v;
    }
    }
}

void ApplyValue(Node* n, int kind, const std::uint8_t* data) {
    switch (kind) {
    case TSX_KIND_LOCATION:
        n->loc = ReadVec(data);
        break;
    case TSX_KIND_SIZE:
        n->size = ReadVec(data);
        break;
    case TSX_KIND_ROTATION: {
        Vec3 e = ReadVec(data);
        n->rot = EulerToRot(CtsxEuler3f{float(e.x), float(e.y), float(e.z)});
        break;
    }
    default: {
        int size = KindSize(kind);
        if (size > 0) n->attrs[kind].assign(data, data + size);
    }
    }
}

bool Interpolate(const Node* n, int kind, float time, std::vector<std::uint8_t>& out) {
    if (std::isnan(time)) return false; // no key is before or after no time at all
    auto it = n->keys.find(kind);
    if (it == n->keys.end() || it->second.empty()) return false;
    const auto& list = it->second;
    const std::size_t size = static_cast<std::size_t>(KindSize(kind));
    if (size == 0) return false;
    // Keys are kept in time order: the last at or before the time, the
    // first at or after it.
    const auto next = std::upper_bound(list.begin(), list.end(), time,
                                       [](float t, const Frame* k) { return t < k->time; });
    const auto from = std::lower_bound(list.begin(), list.end(), time,
                                       [](const Frame* k, float t) { return k->time < t; });
    const Frame* before = next == list.begin() ? nullptr : *std::prev(next);
    const Frame* after = from == list.end() ? nullptr : *from;
    if (!before) before = after;
    if (!after) after = before;
    out.assign(size, 0);
    auto copy = [&](const Frame* f) {
        std::memcpy(out.data(), f->data.data(), std::min(size, f->data.size()));
    };
    if (before == after || !AllFloats(kind) || after->time <= before->time) {
        copy(before);
        return true;
    }
    double u = (double(time) - before->time) / (double(after->time) - before->time);
    // Keys at infinite times (a damaged file) give no share between them.
    if (!std::isfinite(u)) {
        copy(std::isinf(before->time) ? after : before);
        return true;
    }
    for (std::size_t i = 0; i + 4 <= size; i += 4) {
        float a = 0, b = 0;
        if (i + 4 <= before->data.size()) std::memcpy(&a, before->data.data() + i, 4);
        if (i + 4 <= after->data.size()) std::memcpy(&b, after->data.data() + i, 4);
        float v = static_cast<float>(a + (b - a) * u);
        std::memcpy(out.data() + i, &v, 4);
    }
    return true;
}

// ---- call log ----

std::string Fmt(const void* p) {
    if (!p) return "0";
    char buf[32];
    std::snprintf(buf, sizeof buf, "%p", p);
    return buf;
}
std::string Fmt(const char* s) {
    if (!s) return "0";
    std::string r(1, '"');
    r.append(s);
    r.push_back('"');
    return r;
}
std::string Fmt(float v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", double(v));
    return buf;
}
std::string Fmt(double v) {
    return Fmt(static_cast<float>(v));
}
std::string Fmt(int v) {
    return std::to_string(v);
}
std::string Fmt(unsigned v) {
    return std::to_string(v);
}
std::string Fmt(long v) {
    return std::to_string(v);
}
std::string Fmt(short v) {
    return std::to_string(v);
}
std::string Fmt(unsigned short v) {
    return std::to_string(v);
}
std::string Fmt(unsigned char v) {
    return std::to_string(unsigned(v));
}
std::string Fmt(tsxPEN v) {
    return std::to_string(int(v));
}

} // namespace tsxhost::detail
