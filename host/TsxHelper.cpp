#include "TsxHelper.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>
#include <iterator>
#include <vector>

#include "Modules.h"

namespace vel {

const CtsxAxes3f IdentityAxes3f = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
const CtsxTxmx3f IdentityTxmx3f = {{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0}};

namespace {

// Pre-order walk kept on an explicit stack so deep scenes cannot exhaust the
// call stack. A node's next sibling is read only after its subtree is done,
// as a recursive walk would.
template <class Visit> bool Walk(CtsxSobj first, Visit&& visit) {
    std::vector<CtsxSobj> parents;
    CtsxSobj cur = first;
    for (;;) {
        while (cur) {
            bool stop = false;
            visit(cur, stop);
            if (stop) return true;
            if (CtsxSobj child = tsxGNodeGetFirstChild(cur)) {
                parents.push_back(cur);
                cur = child;
            } else {
                cur = tsxGNodeGetNext(cur);
            }
        }
        if (parents.empty()) return false;
        cur = tsxGNodeGetNext(parents.back());
        parents.pop_back();
    }
}

struct TCountUntil {
    CtsxSobj Node;
    std::int32_t Count = 0;
};

void CountUntilNodeProc(CtsxSobj node, void* data, bool& stop) {
    auto* c = static_cast<TCountUntil*>(data);
    ++c->Count;
    stop = node == c->Node;
}

struct TMatchIndex {
    std::int32_t Index;
    std::int32_t Count = 0;
    CtsxSobj Found = nullptr;
};

void MatchNodeIndexProc(CtsxSobj node, void* data, bool& stop) {
    auto* m = static_cast<TMatchIndex*>(data);
    if (++m->Count == m->Index) {
        m->Found = node;
        stop = true;
    }
}

// The host answers the whole length of a name and copies what fits; ask again
// with room for all of it when the first buffer was too small.
template <class Get> std::string ReadHostName(Get&& get) {
    std::string buf(256, '\0');
    for (int attempt = 0; attempt < 3; ++attempt) {
        const int need = get(buf.data(), static_cast<int>(buf.size()));
        if (need < static_cast<int>(buf.size()) || need >= INT_MAX) break;
        buf.assign(static_cast<std::size_t>(need) + 1, '\0');
    }
    buf.resize(std::strlen(buf.c_str()));
    return buf;
}

void PutLE32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::uint32_t GetLE32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
           std::uint32_t{p[3]} << 24;
}

bool Fail(std::string* error, const char* why) {
    if (error) *error = why;
    return false;
}

bool Parallel(const CtsxVec3f& a, const CtsxVec3f& b) {
    CtsxVec3f an, bn;
    tsxGetNormalized3f(&an, &a);
    tsxGetNormalized3f(&bn, &b);
    return std::fabs(std::fabs(tsxDProdVec3f(&an, &bn)) - 1.0f) < 0.0005f;
}

// An up vector for dir when the caller's is unusable: dir's components rotated
// one place, unless that lies close to dir (e.g. x = y = z); then the world
// axis least aligned with dir, which is at most ~55 degrees off perpendicular.
CtsxVec3f FallbackUp(const CtsxVec3f& dir) {
    const CtsxVec3f rotated = {dir.z, dir.x, dir.y};
    CtsxVec3f dn, rn;
    tsxGetNormalized3f(&dn, &dir);
    tsxGetNormalized3f(&rn, &rotated);
    if (std::fabs(tsxDProdVec3f(&dn, &rn)) < 0.9f) return rotated;
    const float ax = std::fabs(dn.x), ay = std::fabs(dn.y), az = std::fabs(dn.z);
    if (ax <= ay && ax <= az) return {1, 0, 0};
    if (ay <= az) return {0, 1, 0};
    return {0, 0, 1};
}

} // namespace

// ---- walks ----

bool ForEachNode(CtsxSobj first, TNodeProc proc, void* data) {
    if (!proc) return false;
    return Walk(first, [&](CtsxSobj n, bool& stop) { proc(n, data, stop); });
}

bool ForEachNodeMethod(CtsxSobj first, const TNodeMethod& method) {
    if (!method) return false;
    return Walk(first, method);
}

bool ForEachNodeInTree(CtsxSobj node, TNodeProc proc, void* data) {
    if (!node || !proc) return false;
    bool stop = false;
    proc(node, data, stop);
    return stop || ForEachNode(tsxGNodeGetFirstChild(node), proc, data);
}

bool ForEachNodeInTreeMethod(CtsxSobj node, const TNodeMethod& method) {
    if (!node || !method) return false;
    bool stop = false;
    method(node, stop);
    return stop || ForEachNodeMethod(tsxGNodeGetFirstChild(node), method);
}

// ---- membership and safety ----

bool IsNodeInChain(CtsxSobj node, CtsxSobj first) {
    if (!node || !first) return false;
    return Walk(first, [node](CtsxSobj n, bool& stop) { stop = n == node; });
}

bool IsNodeInScene(CtsxSobj node) {
    return IsNodeInChain(node, tsxSceneGetFirstNode());
}

bool IsSceneObjectOfType(CtsxSobj object, int minType) noexcept {
    try {
        return tsxIsSobj(object) != 0 && tsxSobjGetType(object) >= minType && IsNodeInScene(object);
    } catch (...) {
        return false;
    }
}

void SafeDeleteObject(CtsxSobj& object) noexcept {
    try {
        if (object && IsNodeInScene(object)) tsxSobjDelete(object);
    } catch (...) {
        // The object may already be gone; nothing to report.
    }
    object = nullptr;
}

CtsxSobj GetSelectedObjectOfType(int minType) noexcept {
    try {
        CtsxSobj sel = tsxGetCurrentSelection();
        if (!sel || tsxSobjGetType(sel) < minType) return nullptr;
        return sel;
    } catch (...) {
        return nullptr;
    }
}

bool IsNonRootNode(CtsxSobj node) {
    return tsxGNodeGetRoot(node) != node;
}

// ---- positions ----

std::int32_t GetNodeIndexInScene(CtsxSobj node) {
    return GetNodeIndexInChain(node, tsxSceneGetFirstNode());
}

std::int32_t GetNodeIndexInChain(CtsxSobj node, CtsxSobj first) {
    if (!node) return 0;
    TCountUntil c{node};
    return ForEachNode(first, &CountUntilNodeProc, &c) ? c.Count : 0;
}

CtsxSobj GetNodeAtIndexInScene(std::int32_t index) {
    return GetNodeAtIndexInChain(index, tsxSceneGetFirstNode());
}

CtsxSobj GetNodeAtIndexInChain(std::int32_t index, CtsxSobj first) {
    if (index < 1) return nullptr;
    TMatchIndex m{index};
    ForEachNode(first, &MatchNodeIndexProc, &m);
    return m.Found;
}

// ---- names ----

std::string GetNodeName(CtsxSobj node) {
    if (!node) return {};
    return ReadHostName([node](char* b, int size) { return tsxGNodeGetName(node, b, size); });
}

std::string GetNodeFullName(CtsxSobj node) {
    if (!node) return {};
    return ReadHostName(
        [node](char* b, int size) { return tsxGNodeGetFullName(node, nullptr, b, size); });
}

CtsxSobj FindNodeByFullName(const std::string& name) {
    CtsxSobj result = nullptr;
    if (!tsxGNodeFindByName(&result, nullptr, name.c_str())) return nullptr;
    return result;
}

CtsxSobj FindObjectByName(const std::string& name, CtsxSobj start) {
    return FindObjectByNameIn(name, start ? start : tsxSceneGetFirstNode());
}

CtsxSobj FindObjectByNameIn(const std::string& name, CtsxSobj first) {
    CtsxSobj hit = nullptr;
    Walk(first, [&](CtsxSobj n, bool& stop) {
        if (tsxSobjGetType(n) >= TSX_TYPE_GROUP && GetNodeName(n) == name) {
            hit = n;
            stop = true;
        }
    });
    return hit;
}

void SplitNameAndNumber(const std::string& text, std::string& name, std::int32_t& number) {
    const std::size_t comma = text.find(',');
    if (comma != std::string::npos && comma > 0) {
        const char* begin = text.data() + comma + 1;
        const char* end = text.data() + text.size();
        // from_chars takes no plus sign; skip one, but not before a minus.
        if (end - begin > 1 && *begin == '+' && begin[1] != '-') ++begin;
        std::int32_t value = 0;
        auto [ptr, ec] = std::from_chars(begin, end, value);
        if (ec == std::errc() && ptr == end && begin != end) {
            name = text.substr(0, comma);
            number = value;
            return;
        }
    }
    name = text;
    number = 0;
}

// ---- host files ----

bool WriteHostString(CtsxFILE fd, const std::string& text) {
    if (text.size() > static_cast<std::size_t>(INT32_MAX)) return false;
    std::uint8_t len[4];
    PutLE32(len, static_cast<std::uint32_t>(text.size()));
    if (tsxFILEwrite(len, 4, 1, fd) != 1) return false;
    if (text.empty()) return true;
    const int n = static_cast<int>(text.size());
    return tsxFILEwrite(text.data(), 1, n, fd) == n;
}

bool ReadHostString(CtsxFILE fd, std::string& text, std::int32_t maxLength, std::string* error) {
    std::uint8_t raw[4];
    if (tsxFILEread(raw, 4, 1, fd) != 1) return Fail(error, "text length missing");
    const auto length = static_cast<std::int32_t>(GetLE32(raw));
    if (length < 0) return Fail(error, "negative text length");
    if (length > maxLength) return Fail(error, "text longer than allowed");
    // Grow chunk by chunk so a damaged length costs no more than the bytes
    // actually there.
    constexpr std::int32_t kChunk = 4096;
    std::string result;
    char chunk[kChunk];
    for (std::int32_t left = length; left > 0;) {
        const std::int32_t want = std::min(left, kChunk);
        if (tsxFILEread(chunk, 1, want, fd) != want) return Fail(error, "text cut short");
        result.append(chunk, static_cast<std::size_t>(want));
        left -= want;
    }
    text = std::move(result);
    return true;
}

// ---- module folder ----

void GetModuleDirectory(const std::string& moduleName, std::string& folder) {
    fw::ModuleHandle module = fw::FindLoadedModule(moduleName);
    if (!module) return;
    const std::string path = fw::ModuleFileName(module);
    const std::size_t slash = path.find_last_of('/');
    folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// ---- geometry ----

void MakeVec3f(CtsxVec3f& v, float x, float y, float z) {
    v = {x, y, z};
}

float SquaredLength3f(const CtsxVec3f& v) {
    return v.x * v.x + v.y * v.y + v.z * v.z;
}

void MxToEuler(const CtsxTxmx3f& m, CtsxEuler3f& e) {
    CtsxAxes3f axes;
    tsxRotateAxes3f(&axes, &IdentityAxes3f, &m);
    tsxAxesToEuler(&axes, &e);
}

void MakeFrameFromDirection(const CtsxVec3f& dir, const CtsxVec3f& up, CtsxTxmx3f& m) {
    CtsxVec3f u = up;
    // Written so that a NaN or infinite up counts as unusable too.
    const float upLength2 = SquaredLength3f(up);
    if (!(upLength2 >= 0.99f && std::isfinite(upLength2)) || Parallel(dir, up)) u = FallbackUp(dir);

    CtsxVec3f w, w1, r2;
    tsxXProdVec3f(&w, &u, &dir);
    tsxGetNormalized3f(&w1, &w);
    tsxXProdVec3f(&r2, &dir, &w1);
    tsxNormalize3f(&r2);

    m.row[0][0] = dir.x, m.row[0][1] = dir.y, m.row[0][2] = dir.z, m.row[0][3] = 0;
    m.row[1][0] = w1.x, m.row[1][1] = w1.y, m.row[1][2] = w1.z, m.row[1][3] = 0;
    m.row[2][0] = r2.x, m.row[2][1] = r2.y, m.row[2][2] = r2.z, m.row[2][3] = 0;
}

void RelativeMx(const CtsxTxmx3f& a, const CtsxTxmx3f& b, CtsxTxmx3f& r) {
    CtsxTxmx3f rot = a;
    rot.m[3] = rot.m[7] = rot.m[11] = 0;
    CtsxTxmx3f inv;
    tsxInvertMx3f(&inv, &rot);
    CtsxVec3f t;
    tsxGetMxTranslation3f(&t, &a);
    CtsxTxmx3f moved = b;
    tsxSubMxTranslation3f(&moved, &t);
    tsxXProdMx3f(&r, &inv, &moved);
}

void RotateNodeKeepPosition(CtsxSobj node, const CtsxTxmx3f& m, const CtsxTxmx3f& rot) {
    CtsxTxmx3f bare = m;
    bare.m[3] = bare.m[7] = bare.m[11] = 0;
    CtsxTxmx3f r;
    tsxXProdMx3f(&r, &bare, &rot);
    CtsxVec3f t;
    tsxGetMxTranslation3f(&t, &m);
    tsxAddMxTranslation3f(&r, &t);
    SetNodeTransform(node, r);
}

bool IsFinite(const CtsxVec3f& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

bool IsFinite(const CtsxEuler3f& e) {
    return std::isfinite(e.x) && std::isfinite(e.y) && std::isfinite(e.z);
}

bool IsFinite(const CtsxTxmx3f& m) {
    return std::all_of(std::begin(m.m), std::end(m.m), [](float f) { return std::isfinite(f); });
}

bool SetNodeLocation(CtsxSobj node, const CtsxVec3f& location) {
    if (!IsFinite(location)) return false;
    tsxGNodeSetLocation(node, &location);
    return true;
}

bool SetNodeSize(CtsxSobj node, const CtsxVec3f& size) {
    if (!IsFinite(size)) return false;
    tsxGNodeSetSize(node, &size);
    return true;
}

bool SetNodeRotationFromMx(CtsxSobj node, const CtsxTxmx3f& m) {
    if (!IsFinite(m)) return false;
    CtsxEuler3f e;
    MxToEuler(m, e); // huge axes may still overflow on the way
    if (!IsFinite(e)) return false;
    tsxGNodeSetRotation(node, &e);
    return true;
}

bool SetNodeTransform(CtsxSobj node, const CtsxTxmx3f& m) {
    if (!SetNodeRotationFromMx(node, m)) return false;
    CtsxVec3f t;
    tsxGetMxTranslation3f(&t, &m);
    tsxGNodeSetLocation(node, &t);
    return true;
}

} // namespace vel
