#pragma once
// Meshes bound to bones and deformed by a weighted blend of bone transforms.
// A TSkinObject keeps a mesh's rest vertices and the per-vertex accumulators
// of one pass; a TSkinArea is one bone's influence on one mesh (the vertices
// inside a box around the bone, with a weight each). Only the root skeleton's
// TSkinsObject is used: attached skeletons merge theirs into it.
//
// The skin operations of bones and skeletons (TBone::BuildSkinArea,
// DeformSkins, ...; TSkeleton::EnableSkin, DeformRootSkins, ...) are declared
// with their classes and defined in Skin.cpp.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Serial.h"
#include "tsxapi.h"

namespace vel {

// While set, applying a skin leaves sub-division objects unrebuilt (the skin
// panel's automatic sub-division button sets it to the opposite of its state).
extern bool SkipSubDivRebuild;

class TRecordReader;
class TRecordWriter;

class TSkinObject {
public:
    CtsxSobj Object = nullptr;
    // The polyhedron deformed: the object itself, or a sub-division object's cage.
    CtsxPolyh Mesh = nullptr;
    // Depth-first positions read from a record; RootIndex -1: find by MeshName.
    std::int32_t SceneIndex = 0;
    std::int32_t RootIndex = 0;
    std::string MeshName;
    std::int32_t VertexCount = 0;
    const std::vector<CtsxVec3f>& RestVertices() const { return FRestVertices; }
    // Every setting counts as new rest vertices, equal or not: the areas'
    // kept weights go by the stamp, not by the vertices' values.
    void SetRestVertices(std::vector<CtsxVec3f> Value);
    // Unique to the rest vertices of this skin as last set.
    std::uint64_t RestStamp() const { return FRestStamp.Value; }
    // Rest vertex to mesh space for the area that deforms into this skin now.
    CtsxTxmx3f Matrix{};
    std::vector<CtsxVec3f> Accum;
    std::vector<float> WeightSum;
    std::vector<std::int32_t> Influences;

    // Mesh := the object (type 201) or its cage (type 217); any other type
    // drops the object.
    void ResolveMesh();
    void Bind(CtsxSobj obj);
    // Puts the rest vertices back when the mesh still has VertexCount vertices.
    void Restore();
    // Each Resolve finds the object again and then Restores; a load finds it
    // alone (FindBySceneIndex, Find), keeping the mesh the scene holds.
    void ResolveBySceneIndex();
    void ResolveByName(CtsxSobj root);
    void ResolveByRootIndex(CtsxSobj root);
    void Resolve(CtsxSobj root);
    void FindBySceneIndex();
    void Find(CtsxSobj root);

    void ResetAccumulators();
    // Accumulates Matrix x rest vertex i with weight w; ignored for an index
    // that names no rest vertex.
    void AddWeighted(std::int32_t i, float w);
    // AddWeighted for n listed vertices and their weights.
    void AddWeightedList(const std::int32_t* indexes, const float* weights, std::size_t n);
    // Turns the sums into positions. keepMesh (an attached skeleton's pass)
    // keeps what an earlier pass wrote where this pass did not reach. False,
    // and nothing is to be written, when the mesh does not match or the host
    // did not hand out its vertices.
    bool Normalize(bool keepMesh);
    void WriteBack();
    void Apply(bool keepMesh);
    void RebuildSubDiv();

    // Mesh resolved and holding exactly the vertices bound: only then are its
    // vertices read or written.
    bool MeshMatches() const;

    // Records (Records.cpp). With an object, its positions are written as
    // they are now; without one, those read from the record.
    void Write(TRecordWriter& out) const;
    bool Read(TRecordReader& in);

private:
    bool AccumulatorsReady() const;
    std::vector<CtsxVec3f> FRestVertices;
    // A copy of a skin is a skin of its own: it takes a stamp of its own.
    TSerial FRestStamp;
};

// The skinned meshes of a skeleton family; owns its items.
class TSkinsObject {
public:
    std::vector<std::unique_ptr<TSkinObject>> List;

    std::int32_t Count() const { return static_cast<std::int32_t>(List.size()); }
    // None for an index out of range.
    TSkinObject* Items(std::int32_t i) const;
    // Replaces (and frees) item i; nothing for an index out of range.
    void PutItem(std::int32_t i, std::unique_ptr<TSkinObject> skin);
    // Answers the new item's index.
    std::int32_t Add(std::unique_ptr<TSkinObject> skin);
    bool FindByObject(CtsxSobj obj, TSkinObject*& skin) const;

    // With restore false each skin is only found again (a load).
    void ResolveAllInScene(bool restore = true);
    void ResolveAllUnder(CtsxSobj root, bool restore = true);
    // Frees every skin that lost its object or was found on one that is no
    // mesh.
    void PurgeUnresolved();
    // Takes other's skins, freeing those whose object this list already has;
    // other ends empty.
    void Merge(TSkinsObject& other);
    void ResetAll();
    void ApplyAll(bool keepMesh);
    void RebindAll();
    void RestoreAll();
    void RebuildSubDivAll();
    void RemoveObject(CtsxSobj obj);

    // Records (Records.cpp): the read skins are appended.
    void Write(TRecordWriter& out) const;
    bool Read(TRecordReader& in);
};

// One bone's influence area on one skinned mesh.
class TSkinArea {
public:
    static constexpr std::uint32_t NoDeform = 1; // the area does not deform
    static constexpr std::uint32_t Locked = 2;   // painted: list and weights stay

    std::int32_t Count = 0;
    std::vector<std::int32_t> Indexes;
    std::vector<float> AreaWeights;
    // Rest vertex to bone space: head at the origin, bone along -x.
    CtsxTxmx3f Matrix{};
    float Length = 0;
    float Root = 0;     // reach behind the head
    float Tip = 0;      // reach beyond the tail
    float RootRamp = 0; // fall-off fraction at the root end
    float TipRamp = 0;  // fall-off fraction at the tip end
    float VolumeY = 0.5f;
    float VolumeZ = 0.5f;
    float RadialRamp = 0; // not stored
    std::uint32_t Flags = 0;

    void Setup(const TSkinObject& skin, const CtsxTxmx3f& m, float length);
    // Lists the rest vertices strictly inside the box; nothing when Locked.
    void CollectVertices(const TSkinObject& skin);
    // Nothing when Locked.
    void ComputeWeights(const TSkinObject& skin);
    // Adds this area's weighted vertices, carried by the bone's current
    // matrix and head, into skin's accumulators; nothing when NoDeform.
    void Deform(TSkinObject& skin, const CtsxTxmx3f& boneMatrix, const CtsxVec3f& headPosition);

    bool HasFlags(std::uint32_t mask) const { return (Flags & mask) == mask; }

    // Entries that are listed and weighted (the three counts agree unless a
    // record said otherwise).
    std::int32_t UsableCount() const;

    // Records (Records.cpp). Read answers false for a refused area; the
    // reader stays active when only this area is lost.
    void Write(TRecordWriter& out) const;
    bool Read(TRecordReader& in);
    // A new area read from in, or none when it was refused.
    static std::unique_ptr<TSkinArea> CreateFromFile(TRecordReader& in);

private:
    // The weights of the last computation and everything they came from. A
    // drag recomputes the same weights on every pass; when nothing they depend
    // on changed they are copied instead of carried through the host again.
    struct TWeightMemo {
        bool Valid = false;
        // The skin's rest vertices by their stamp, and how many of them count.
        std::uint64_t RestStamp = 0;
        std::size_t RestLimit = 0;
        CtsxTxmx3f Matrix{};
        float Params[8] = {};
        std::vector<std::int32_t> Indexes;
        std::vector<float> Weights;
    };
    void RememberParams(float (&params)[8]) const;
    bool MemoHolds(const TSkinObject& skin, std::size_t listed) const;
    TWeightMemo FMemo;
};

} // namespace vel
