// Key frames, the active time and animated attributes.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "HostState.h"

using namespace tsxhost::detail;

namespace tsxhost::detail {

Frame* NewFrame(int kind, float time) {
    auto f = std::make_unique<Frame>();
    f->id = NewId(kFrame);
    f->kind = kind;
    f->time = time;
    f->data.assign(static_cast<std::size_t>(KindSize(kind)), 0);
    Frame* raw = f.get();
    S().frames.emplace(raw->id, std::move(f));
    return raw;
}

} // namespace tsxhost::detail

namespace {

// A node's keys of one kind are kept in time order, one at a time.
Frame* KeyAt(Node* n, int kind, float time) {
    auto it = n->keys.find(kind);
    if (it == n->keys.end()) return nullptr;
    const auto& list = it->second;
    auto at = std::lower_bound(list.begin(), list.end(), time,
                               [](const Frame* k, float t) { return k->time < t; });
    return at != list.end() && (*at)->time == time ? *at : nullptr;
}

} // namespace

void tsxhost::detail::PlaceKey(Node* n, Frame* f) {
    if (Frame* old = KeyAt(n, f->kind, f->time); old && old != f) FreeFrame(old);
    auto& list = n->keys[f->kind];
    auto pos = std::upper_bound(list.begin(), list.end(), f->time,
                                [](float t, const Frame* k) { return t < k->time; });
    list.insert(pos, f);
    f->owner = n;
}

namespace {

float NextTime(const Node* n, int kind, float time, float best) {
    auto it = n->keys.find(kind);
    if (it == n->keys.end()) return best;
    const auto& list = it->second;
    auto next = std::upper_bound(list.begin(), list.end(), time,
                                 [](float t, const Frame* k) { return t < k->time; });
    if (next != list.end() && (best < 0 || (*next)->time < best)) best = (*next)->time;
    return best;
}

} // namespace

extern "C" {

float tsxAnimGetActiveTime(void) {
    TSX_LOG();
    return S().time;
}

void tsxAnimSetActiveTime(float time) {
    TSX_LOG(time);
    if (!std::isfinite(time)) return; // no frame a timeline shows: nothing changes
    State& s = S();
    s.time = time;
    std::vector<std::pair<std::uint64_t, int>> attributeHits;
    std::vector<std::uint64_t> animated;
    std::vector<std::uint8_t> value;
    for (Node* n : WalkScene()) {
        bool any = false;
        for (const auto& [kind, list] : n->keys) {
            if (list.empty() || !Interpolate(n, kind, time, value)) continue;
            ApplyValue(n, kind, value.data());
            any = true;
            if (s.attributes.count(kind)) attributeHits.emplace_back(n->id, kind);
        }
        if (any) animated.push_back(n->id);
    }
    MarkViewsDirty();
    auto alive = [&](std::uint64_t id) -> Node* {
        auto it = s.nodes.find(id);
        return it == s.nodes.end() ? nullptr : it->second.get();
    };
    for (auto [id, kind] : attributeHits) {
        Node* n = alive(id);
        auto a = s.attributes.find(kind);
        if (n && a != s.attributes.end() && a->second.cb.onChanged)
            a->second.cb.onChanged(Handle(n), kind, time);
    }
    for (std::uint64_t id : animated)
        if (Node* n = alive(id)) Notify(n, TSX_NOTIFY_ANIMNAV, 0);
    if (s.timeCB) s.timeCB();
}

int tsxAnimCreateAttribute(int pluginId, const char* name, tsxAttrCallbacks* callbacks,
                           int valueSize, const int16_t* typeCodes, int codesSize) {
    TSX_LOG(pluginId, name, callbacks, valueSize, typeCodes, codesSize);
    TSX_FAULT(0);
    State& s = S();
    if (!name || valueSize <= 0 || valueSize > 4096 || codesSize < 0 || codesSize > 4096 ||
        (codesSize > 0 && !typeCodes))
        return 0;
    Attribute a;
    a.name = name;
    if (callbacks) a.cb = *callbacks;
    a.size = valueSize;
    a.codes.assign(typeCodes, typeCodes + codesSize / 2);
    for (auto& [handle, existing] : s.attributes) {
        if (existing.name == a.name) {
            existing = std::move(a);
            return handle;
        }
    }
    int handle = 256 + s.nextAttr++; // never 2, 3 or 4: handles double as key kinds
    s.attributes.emplace(handle, std::move(a));
    return handle;
}

CtsxFrame tsxFrameCreate(int kind) {
    TSX_LOG(kind);
    TSX_FAULT(nullptr);
    if (KindSize(kind) == 0) return nullptr;
    return Handle(NewFrame(kind, S().time));
}

void tsxFrameDelete(CtsxFrame frame) {
    TSX_LOG(frame);
    if (Frame* f = Fr(frame)) FreeFrame(f);
}

void tsxFrameRemove(CtsxFrame frame) {
    TSX_LOG(frame);
    if (Frame* f = Fr(frame)) DetachFrame(f);
}

tsxBOOL tsxFrameCopy(CtsxFrame frame, CtsxFrame* out) {
    TSX_LOG(frame, out);
    if (!out) return 0;
    *out = nullptr;
    TSX_FAULT(0);
    Frame* f = Fr(frame);
    if (!f) return 0;
    Frame* c = NewFrame(f->kind, f->time);
    c->data = f->data;
    std::copy(std::begin(f->spline), std::end(f->spline), c->spline);
    *out = Handle(c);
    return 1;
}

void tsxFrameSetData(CtsxFrame frame, const void* data) {
    TSX_LOG(frame, data);
    Frame* f = Fr(frame);
    if (f && data && !f->data.empty()) std::memcpy(f->data.data(), data, f->data.size());
}

int tsxFrameGetData(CtsxFrame frame, void* out) {
    TSX_LOG(frame, out);
    TSX_FAULT(0);
    Frame* f = Fr(frame);
    if (!f || !out) return 0;
    if (!f->data.empty()) std::memcpy(out, f->data.data(), f->data.size());
    return static_cast<int>(f->data.size());
}

void tsxFrameSetSplineParameters(CtsxFrame frame, float tension, float continuity, float bias) {
    TSX_LOG(frame, tension, continuity, bias);
    if (Frame* f = Fr(frame)) {
        f->spline[0] = tension, f->spline[1] = continuity, f->spline[2] = bias;
    }
}

void tsxFrameGetSplineParameters(CtsxFrame frame, float* tension, float* continuity, float* bias) {
    TSX_LOG(frame, tension, continuity, bias);
    Frame* f = Fr(frame);
    const float none[3] = {0, 0, 0};
    const float* v = f ? f->spline : none;
    if (tension) *tension = v[0];
    if (continuity) *continuity = v[1];
    if (bias) *bias = v[2];
}

float tsxFrameGetTime(CtsxFrame frame) {
    TSX_LOG(frame);
    Frame* f = Fr(frame);
    return f ? f->time : -1.0f;
}

int tsxFrameGetKind(CtsxFrame frame) {
    TSX_LOG(frame);
    Frame* f = Fr(frame);
    return f ? f->kind : 0;
}

CtsxFrame tsxSobjGetFrame(CtsxSobj obj, int kind, int reserved, float time) {
    TSX_LOG(obj, kind, reserved, time);
    TSX_FAULT(nullptr);
    Node* n = Obj(obj);
    return n ? Handle(KeyAt(n, kind, time)) : nullptr;
}

void tsxSobjInsertFrame(CtsxSobj obj, CtsxFrame frame, int reserved, float time) {
    TSX_LOG(obj, frame, reserved, time);
    Node* n = Obj(obj);
    Frame* f = Fr(frame);
    if (!n || !f || n == S().scene || !std::isfinite(time)) return;
    DetachFrame(f);
    f->time = time;
    PlaceKey(n, f);
}

void tsxSobjSetFrame(CtsxSobj obj, int kind) {
    TSX_LOG(obj, kind);
    Node* n = Obj(obj);
    if (!n || n == S().scene || KindSize(kind) == 0) return;
    const float time = S().time;
    Frame* f = KeyAt(n, kind, time);
    if (!f) {
        f = NewFrame(kind, time);
        PlaceKey(n, f);
    }
    f->data = CurrentValue(n, kind);
}

float tsxSobjGetFirstTime(CtsxSobj obj, int kind) {
    TSX_LOG(obj, kind);
    Node* n = Obj(obj);
    if (!n) return -1.0f;
    auto it = n->keys.find(kind);
    return it == n->keys.end() || it->second.empty() ? -1.0f : it->second.front()->time;
}

float tsxSobjGetNextTime(CtsxSobj obj, int kind, float time) {
    TSX_LOG(obj, kind, time);
    Node* n = Obj(obj);
    return n ? NextTime(n, kind, time, -1.0f) : -1.0f;
}

float tsxSobjTreeGetNextTime(CtsxSobj obj, int kind, float time) {
    TSX_LOG(obj, kind, time);
    Node* n = Obj(obj);
    if (!n) return -1.0f;
    std::vector<Node*> tree{n};
    PreOrder(n->first, tree);
    float best = -1.0f;
    for (Node* t : tree)
        best = NextTime(t, kind, time, best);
    return best;
}

tsxBOOL tsxSobjGetInterpolatedData(CtsxSobj obj, int kind, float time, void* out) {
    TSX_LOG(obj, kind, time, out);
    TSX_FAULT(0);
    Node* n = Obj(obj);
    if (!n || !out || KindSize(kind) == 0) return 0;
    std::vector<std::uint8_t> value;
    bool keyed = Interpolate(n, kind, time, value);
    if (!keyed) value = CurrentValue(n, kind); // unkeyed: the current value
    std::memcpy(out, value.data(), value.size());
    return keyed ? 1 : 0;
}

} // extern "C"
