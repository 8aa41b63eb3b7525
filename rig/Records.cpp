#include "Records.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <functional>
#include <iterator>
#include <memory>
#include <vector>

#include "Bone.h"
#include "Joint.h"
#include "ScopeExit.h"
#include "SkeletonState.h"
#include "Skin.h"
#include "Switchboard.h"
#include "TeeBone.h"
#include "TsxHelper.h"

namespace vel {

static_assert(sizeof(TJointRecord) == 20, "joint record layout");

namespace {

void PutLE32(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v >> 16);
    p[3] = static_cast<std::uint8_t>(v >> 24);
}

std::uint32_t GetLE32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

std::uint32_t FloatBits(float f) {
    std::uint32_t u;
    std::memcpy(&u, &f, sizeof u);
    return u;
}

float BitsFloat(std::uint32_t u) {
    float f;
    std::memcpy(&f, &u, sizeof f);
    return f;
}

std::uint32_t SizeOf(std::size_t n) {
    return static_cast<std::uint32_t>(n);
}

// An owned list: its version, the count of its items, then each item's own
// record. Empty slots are left out of both.
template <class TItem>
void WriteOwnedList(TRecordWriter& out, std::uint32_t version,
                    const std::vector<std::unique_ptr<TItem>>& list) {
    std::size_t n = 0;
    for (const auto& item : list)
        n += item ? 1 : 0;
    out.U32(version);
    out.U32(SizeOf(n));
    for (const auto& item : list)
        if (item) item->Write(out);
}

// Whether the list is emptied once the count has been read, or read onto.
enum class TListRead { Append, Replace };

// Reads an owned list written by WriteOwnedList; items grow as they arrive,
// and the first item that fails ends the record.
template <class TItem>
bool ReadOwnedList(TRecordReader& in, std::vector<std::unique_ptr<TItem>>& list,
                   const char* versionWhat, const char* countWhat, TListRead mode) {
    std::uint32_t version = 0;
    std::int32_t n = 0;
    if (!in.U32(version, versionWhat) || !in.Count(n, countWhat)) return false;
    if (mode == TListRead::Replace) list.clear();
    for (std::int32_t i = 0; i < n; ++i) {
        auto item = std::make_unique<TItem>();
        if (!item->Read(in)) return false;
        list.push_back(std::move(item));
    }
    return true;
}

using TChildFinder = std::function<CtsxSobj(const TPendingChild&)>;

// Binds the pending children that find answers for, each with its stored
// matrix when the record had them. The entries read for the pending children
// stand past those of children bound before; each bound child keeps the entry
// read for it, and the entry of a child not found goes with it, so children
// and areas stay paired by index.
void BindPendingChildren(TBone& bone, const TChildFinder& find) {
    std::vector<TPendingChild> pending = std::move(bone.PendingChildren);
    bone.PendingChildren.clear();
    std::vector<std::unique_ptr<TSkinArea>> loaded;
    const std::size_t bound = bone.ChildList.size();
    if (bone.SkinAreaList.size() > bound) {
        const auto from = bone.SkinAreaList.begin() + static_cast<std::ptrdiff_t>(bound);
        loaded.assign(std::make_move_iterator(from),
                      std::make_move_iterator(bone.SkinAreaList.end()));
        bone.SkinAreaList.resize(bound);
    }
    for (std::size_t k = 0; k < pending.size(); ++k) {
        CtsxSobj obj = find(pending[k]);
        if (!obj) continue;
        TBoneChild* child = bone.AttachChild(obj);
        if (!child) continue;
        if (bone.PendingMatrices) child->Relative = pending[k].Relative;
        if (k < loaded.size() && bone.SkinAreaList.size() == bone.ChildList.size())
            bone.SkinAreaList.back() = std::move(loaded[k]);
    }
}

} // namespace

// ---- TRecordWriter ----

void TRecordWriter::Bytes(const void* data, std::size_t size) {
    if (!FOk || size == 0) return;
    FOk = size <= static_cast<std::size_t>(INT_MAX) &&
          tsxFILEwrite(data, static_cast<int>(size), 1, FFile) == 1;
}

void TRecordWriter::U8(std::uint8_t v) {
    Bytes(&v, 1);
}

void TRecordWriter::U32(std::uint32_t v) {
    std::uint8_t raw[4];
    PutLE32(raw, v);
    Bytes(raw, sizeof raw);
}

void TRecordWriter::I32(std::int32_t v) {
    U32(static_cast<std::uint32_t>(v));
}

void TRecordWriter::F32(float v) {
    U32(FloatBits(v));
}

void TRecordWriter::Vec3(const CtsxVec3f& v) {
    F32(v.x);
    F32(v.y);
    F32(v.z);
}

void TRecordWriter::Mx(const CtsxTxmx3f& m) {
    for (float f : m.m)
        F32(f);
}

void TRecordWriter::Text(const std::string& s) {
    if (FOk) FOk = WriteHostString(FFile, s);
}

// ---- TRecordReader ----

bool TRecordReader::Fail(const std::string& why) {
    if (Active()) FError = why;
    FFailed = true;
    return false;
}

bool TRecordReader::Stop(const std::string& why) {
    if (Active()) FError = why;
    FStopped = true;
    return false;
}

bool TRecordReader::Bytes(void* data, std::size_t size, const char* what) {
    if (!Active()) return false;
    if (size == 0) return true;
    if (size > static_cast<std::size_t>(INT_MAX)) return Fail(std::string(what) + " too large");
    // Byte items, so that a record cut inside a field still counts as begun.
    const int got = tsxFILEread(data, 1, static_cast<int>(size), FFile);
    if (got > 0) FConsumed += static_cast<std::size_t>(got);
    if (got != static_cast<int>(size)) return Fail(std::string(what) + " cut short");
    return true;
}

bool TRecordReader::U8(std::uint8_t& v, const char* what) {
    return Bytes(&v, 1, what);
}

bool TRecordReader::U32(std::uint32_t& v, const char* what) {
    std::uint8_t raw[4];
    if (!Bytes(raw, sizeof raw, what)) return false;
    v = GetLE32(raw);
    return true;
}

bool TRecordReader::I32(std::int32_t& v, const char* what) {
    std::uint32_t u;
    if (!U32(u, what)) return false;
    v = static_cast<std::int32_t>(u);
    return true;
}

bool TRecordReader::Count(std::int32_t& n, const char* what) {
    if (!I32(n, what)) return false;
    if (n < 0) return Fail(std::string(what) + " is negative");
    return true;
}

bool TRecordReader::F32(float& v, const char* what) {
    std::uint32_t u;
    if (!U32(u, what)) return false;
    const float f = BitsFloat(u);
    // One NaN would spread through the relaxation into every joint and vertex.
    if (!std::isfinite(f)) return Fail(std::string(what) + " is not a finite number");
    v = f;
    return true;
}

bool TRecordReader::Vec3(CtsxVec3f& v, const char* what) {
    return F32(v.x, what) && F32(v.y, what) && F32(v.z, what);
}

bool TRecordReader::Mx(CtsxTxmx3f& m, const char* what) {
    for (float& f : m.m)
        if (!F32(f, what)) return false;
    return true;
}

bool TRecordReader::Text(std::string& s, const char* what, std::int32_t maxLength) {
    if (!Active()) return false;
    std::string why;
    if (!ReadHostString(FFile, s, maxLength, &why)) return Fail(std::string(what) + ": " + why);
    FConsumed += 4 + s.size();
    return true;
}

bool ReadLimitedString(TRecordReader& in, std::string& s) {
    return in.Text(s, "mesh name", kMaxOldMeshName);
}

// ---- bound children and bones ----

void TBoneChild::Write(TRecordWriter& out) const {
    out.I32(GetNodeIndexInScene(Object));
    out.Text(GetNodeFullName(Object));
    out.Mx(Relative);
    out.I32(Object ? GetNodeIndexInChain(Object, tsxGNodeGetRoot(Object)) : 0);
}

void TBone::Save(TRecordWriter& out) {
    out.U32(kBoneRecordVersion);
    out.U32(kBoneKindPlain);
    WriteData(out);
}

void TBone::WriteData(TRecordWriter& out) {
    // A bone whose joints were never resolved keeps the indexes it was read with.
    out.I32(Head ? Head->Index() : HeadIndex);
    out.I32(Tail ? Tail->Index() : TailIndex);
    out.F32(Length);
    out.Vec3(Twist);
    if (Node) tsxGNodeGetPureTransform(Node, &NodeMatrix);
    out.Mx(NodeMatrix);
    WriteChildren(out);
    WriteSkinAreas(out);
}

void TBone::WriteChildren(TRecordWriter& out) const {
    out.U32(SizeOf(ChildList.size()));
    for (const auto& c : ChildList)
        c->Write(out);
}

void TBone::WriteSkinAreas(TRecordWriter& out) const {
    out.U32(SizeOf(SkinAreaList.size()));
    for (const auto& area : SkinAreaList) {
        out.U32(area ? 1 : 0);
        if (area) area->Write(out);
    }
}

bool TBone::Load(TRecordReader& in) {
    LoadedTeeBone.reset();
    std::uint32_t version = 0;
    if (!in.U32(version, "bone record version")) return false;
    ReadVersion = static_cast<std::int32_t>(version);
    if (ReadVersion >= 103 && ReadVersion <= 106) {
        std::uint32_t kind = 0;
        if (!in.U32(kind, "bone kind")) return false;
        if (kind == kBoneKindTee) {
            // The extra object of the file is deleted after the load; the
            // tee bone gets a new one.
            LoadedTeeBone = std::make_unique<TTeeBone>(Node, NewTeeBoneObject());
            LoadedTeeBone->ReadVersion = ReadVersion;
            return LoadedTeeBone->ReadData(ReadVersion, in);
        }
    }
    return ReadData(ReadVersion, in);
}

bool TBone::ReadData(std::int32_t version, TRecordReader& in) {
    return in.I32(HeadIndex, "head index") && in.I32(TailIndex, "tail index") &&
           in.F32(Length, "bone length") && in.Vec3(Twist, "bone twist") &&
           in.Mx(NodeMatrix, "bone matrix") && ReadChildren(version, in) &&
           ReadSkinAreas(version, in);
}

bool TBone::ReadChildren(std::int32_t version, TRecordReader& in) {
    PendingChildren.clear();
    PendingMatrices = version >= 101;
    PendingRootIndexes = version >= 105;
    std::int32_t n = 0;
    if (!in.Count(n, "child count")) return false;
    for (std::int32_t i = 0; i < n; ++i) {
        TPendingChild c;
        if (!in.I32(c.SceneIndex, "child scene index")) return false;
        if (version >= 106) {
            if (!in.Text(c.Name, "child name")) return false;
        } else {
            char raw[kOldChildNameSize];
            if (!in.Bytes(raw, sizeof raw, "child name")) return false;
            c.Name.assign(raw, strnlen(raw, sizeof raw));
        }
        if (PendingMatrices && !in.Mx(c.Relative, "child matrix")) return false;
        if (PendingRootIndexes && !in.I32(c.RootIndex, "child root index")) return false;
        PendingChildren.push_back(std::move(c));
    }
    return true;
}

bool TBone::ReadSkinAreas(std::int32_t version, TRecordReader& in) {
    if (version < 102) return true;
    SkinAreaList.clear();
    std::int32_t n = 0;
    if (!in.Count(n, "skin area count")) return false;
    for (std::int32_t i = 0; i < n; ++i) {
        std::uint32_t present = 0;
        if (!in.U32(present, "skin area entry")) return false;
        std::unique_ptr<TSkinArea> area;
        if (present != 0) {
            area = TSkinArea::CreateFromFile(in);
            if (!in.Active()) return false;
        }
        SkinAreaList.push_back(std::move(area));
    }
    return true;
}

void TBone::ResolveChildrenInScene() {
    const bool byName = ReadVersion >= 106;
    BindPendingChildren(*this, [byName](const TPendingChild& c) {
        return byName ? FindNodeByFullName(c.Name) : GetNodeAtIndexInScene(c.SceneIndex);
    });
}

void TBone::ResolveChildrenUnder(CtsxSobj root) {
    const bool byFullName = ReadVersion >= 106;
    const bool byRootIndex = PendingRootIndexes;
    BindPendingChildren(*this, [=](const TPendingChild& c) -> CtsxSobj {
        if (byFullName) return FindNodeByFullName(c.Name);
        if (byRootIndex) return root ? GetNodeAtIndexInChain(c.RootIndex, root) : nullptr;
        CtsxSobj hit = root ? FindObjectByNameIn(c.Name, tsxGNodeGetFirstChild(root)) : nullptr;
        return hit ? hit : FindObjectByName(c.Name);
    });
}

void TTeeBone::Save(TRecordWriter& out) {
    out.U32(kBoneRecordVersion);
    out.U32(kBoneKindTee);
    WriteData(out);
}

void TTeeBone::WriteData(TRecordWriter& out) {
    TBone::WriteData(out);
    out.I32(TeeJoint ? TeeJoint->Index() : TeeIndex);
    out.F32(HeadTeeDistance);
    out.F32(TailTeeDistance);
}

bool TTeeBone::Load(TRecordReader& in) {
    return TBone::Load(in);
}

bool TTeeBone::ReadData(std::int32_t version, TRecordReader& in) {
    return TBone::ReadData(version, in) && in.I32(TeeIndex, "tee index") &&
           in.F32(HeadTeeDistance, "head-tee distance") &&
           in.F32(TailTeeDistance, "tail-tee distance");
}

// ---- skin areas, skin objects and the skins list ----

void TSkinArea::Write(TRecordWriter& out) const {
    const std::size_t listed =
        std::min(static_cast<std::size_t>(std::max(Count, 0)), Indexes.size());
    out.U32(kSkinAreaVersion);
    out.U32(SizeOf(listed));
    for (std::size_t k = 0; k < listed; ++k)
        out.I32(Indexes[k]);
    out.U32(SizeOf(AreaWeights.size()));
    for (float w : AreaWeights)
        out.F32(w);
    out.Mx(Matrix);
    out.F32(Length);
    out.F32(Root);
    out.F32(Tip);
    out.F32(RootRamp);
    out.F32(TipRamp);
    out.F32(VolumeY);
    out.F32(VolumeZ);
    out.U32(Flags);
    out.U32(0); // reserved
}

bool TSkinArea::Read(TRecordReader& in) {
    // Non-finite numbers refuse the area alone, as a negative index does.
    bool nonFinite = false;
    const auto real = [&](float& f, const char* what) {
        std::uint32_t u = 0;
        if (!in.U32(u, what)) return false;
        f = BitsFloat(u);
        nonFinite = nonFinite || !std::isfinite(f);
        return true;
    };
    std::uint32_t version = 0;
    std::int32_t n = 0;
    if (!in.U32(version, "skin area version") || !in.I32(n, "skin area vertex count")) return false;
    // Where a negative count ends, nothing after it can be found again.
    if (n < 0) return in.Stop("skin area: negative vertex count");
    std::vector<std::int32_t> indexes;
    bool negativeIndex = false;
    for (std::int32_t k = 0; k < n; ++k) {
        std::int32_t i = 0;
        if (!in.I32(i, "skin area vertex index")) return false;
        negativeIndex = negativeIndex || i < 0;
        indexes.push_back(i);
    }
    std::int32_t w = 0;
    if (!in.I32(w, "skin area weight count")) return false;
    if (w < 0) return in.Stop("skin area: negative weight count");
    std::vector<float> weights;
    for (std::int32_t k = 0; k < w; ++k) {
        float f = 0;
        if (!real(f, "skin area weight")) return false;
        weights.push_back(f);
    }
    CtsxTxmx3f m{};
    float length = 0, root = 0, tip = 0, rootRamp = 0, tipRamp = 0;
    float volumeY = 0.5f, volumeZ = 0.5f;
    std::uint32_t flags = 0, reserved = 0;
    for (float& f : m.m)
        if (!real(f, "skin area matrix")) return false;
    if (!real(length, "skin area length") || !real(root, "skin area root") ||
        !real(tip, "skin area tip") || !real(rootRamp, "skin area root ramp") ||
        !real(tipRamp, "skin area tip ramp"))
        return false;
    if (version >= 101 &&
        (!real(volumeY, "skin area volume") || !real(volumeZ, "skin area volume")))
        return false;
    if (version >= 102 && !in.U32(flags, "skin area flags")) return false;
    if (!in.U32(reserved, "skin area reserved field")) return false;
    // The whole area was read, so the record goes on without it.
    if (negativeIndex || nonFinite) return false;
    Count = static_cast<std::int32_t>(indexes.size());
    Indexes = std::move(indexes);
    AreaWeights = std::move(weights);
    Matrix = m;
    Length = length;
    Root = root;
    Tip = tip;
    RootRamp = rootRamp;
    TipRamp = tipRamp;
    VolumeY = volumeY;
    VolumeZ = volumeZ;
    Flags = flags;
    return true;
}

std::unique_ptr<TSkinArea> TSkinArea::CreateFromFile(TRecordReader& in) {
    auto area = std::make_unique<TSkinArea>();
    if (!area->Read(in)) return nullptr;
    return area;
}

void TSkinObject::Write(TRecordWriter& out) const {
    const std::size_t n =
        std::min(static_cast<std::size_t>(std::max(VertexCount, 0)), FRestVertices.size());
    out.U32(kSkinObjectVersion);
    if (Object) {
        out.I32(GetNodeIndexInChain(Object, tsxGNodeGetRoot(Object)));
        out.I32(GetNodeIndexInScene(Object));
    } else {
        out.I32(RootIndex);
        out.I32(SceneIndex);
    }
    out.I32(static_cast<std::int32_t>(n));
    for (std::size_t i = 0; i < n; ++i)
        out.Vec3(FRestVertices[i]);
}

bool TSkinObject::Read(TRecordReader& in) {
    std::uint32_t version = 0;
    if (!in.U32(version, "skin object version")) return false;
    MeshName.clear();
    if (version >= 101) {
        if (!in.I32(RootIndex, "skin object root index")) return false;
    } else {
        if (!ReadLimitedString(in, MeshName)) return false;
        RootIndex = -1;
    }
    std::int32_t n = 0;
    if (!in.I32(SceneIndex, "skin object scene index") || !in.Count(n, "skin vertex count"))
        return false;
    std::vector<CtsxVec3f> vertices;
    for (std::int32_t i = 0; i < n; ++i) {
        CtsxVec3f v{};
        if (!in.Vec3(v, "skin vertex")) return false;
        vertices.push_back(v);
    }
    Object = nullptr;
    Mesh = nullptr;
    VertexCount = static_cast<std::int32_t>(vertices.size());
    SetRestVertices(std::move(vertices));
    return true;
}

void TSkinsObject::Write(TRecordWriter& out) const {
    WriteOwnedList(out, kSkinsListVersion, List);
}

bool TSkinsObject::Read(TRecordReader& in) {
    return ReadOwnedList(in, List, "skins list version", "skin count", TListRead::Append);
}

// ---- states ----

void TJointsState::Write(TRecordWriter& out) const {
    out.U32(kJointsStateVersion);
    out.U32(SizeOf(Records.size()));
    for (const TJointRecord& r : Records) {
        out.F32(r.Stiff);
        out.Vec3(r.Position);
        out.U32(r.Flags);
    }
}

bool TJointsState::Read(TRecordReader& in) {
    std::uint32_t version = 0;
    std::int32_t n = 0;
    if (!in.U32(version, "joints state version") || !in.Count(n, "joint count")) return false;
    Records.clear();
    Weights.clear();
    Counts.clear();
    for (std::int32_t i = 0; i < n; ++i) {
        TJointRecord r;
        if (!in.F32(r.Stiff, "joint record") || !in.Vec3(r.Position, "joint record") ||
            !in.U32(r.Flags, "joint record"))
            return false;
        Records.push_back(r);
    }
    return true;
}

void TBoneState::Write(TRecordWriter& out) const {
    out.U32(kBoneStateVersion);
    out.Vec3(Twist);
    out.U32(SizeOf(ChildMatrices.size()));
    for (const CtsxTxmx3f& m : ChildMatrices)
        out.Mx(m);
}

bool TBoneState::Read(TRecordReader& in) {
    std::uint32_t version = 0;
    std::int32_t n = 0;
    if (!in.U32(version, "bone state version") || !in.Vec3(Twist, "bone state twist") ||
        !in.Count(n, "child matrix count"))
        return false;
    ChildMatrices.clear();
    for (std::int32_t i = 0; i < n; ++i) {
        CtsxTxmx3f m{};
        if (!in.Mx(m, "child matrix")) return false;
        ChildMatrices.push_back(m);
    }
    return true;
}

void TBonesState::Write(TRecordWriter& out) const {
    WriteOwnedList(out, kBonesStateVersion, States);
}

bool TBonesState::Read(TRecordReader& in) {
    return ReadOwnedList(in, States, "bones state version", "bone state count", TListRead::Replace);
}

void TSkeletonState::Write(TRecordWriter& out) const {
    out.U32(kSkeletonStateVersion);
    out.Text(Name);
    out.U8(Setup);
    out.U8(Moved);
    out.Mx(BagMatrix);
    if (JointsState)
        JointsState->Write(out);
    else
        TJointsState().Write(out);
    if (BonesState)
        BonesState->Write(out);
    else
        TBonesState().Write(out);
    if (ChildStates)
        ChildStates->Write(out);
    else
        TSkeletonStates().Write(out);
}

bool TSkeletonState::Read(TRecordReader& in) {
    ++in.Depth;
    fw::TScopeExit leave([&in] { --in.Depth; });
    if (in.Depth > kMaxStateNesting) return in.Fail("skeleton states nested too deeply");
    std::uint32_t version = 0;
    if (!in.U32(version, "skeleton state version") || !in.Text(Name, "state name") ||
        !in.U8(Setup, "state setup flag") || !in.U8(Moved, "state moved flag") ||
        !in.Mx(BagMatrix, "state bag matrix"))
        return false;
    JointsState = std::make_unique<TJointsState>();
    BonesState = std::make_unique<TBonesState>();
    ChildStates = std::make_unique<TSkeletonStates>();
    if (!JointsState->Read(in) || !BonesState->Read(in)) return false;
    return version <= 100 || ChildStates->Read(in);
}

void TSkeletonStates::Write(TRecordWriter& out) const {
    WriteOwnedList(out, kSkeletonStatesVersion, States);
}

bool TSkeletonStates::Read(TRecordReader& in) {
    return ReadOwnedList(in, States, "skeleton states version", "state count", TListRead::Append);
}

} // namespace vel
