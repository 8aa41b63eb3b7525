#include "Skin.h"

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "CoreTestEnv.h"
#include "TsxApi65.h"
#include "TsxHost.h"

namespace vel {
namespace {

void ExpectNear(const CtsxVec3f& a, const CtsxVec3f& b, float eps = 1e-5f) {
    EXPECT_VEC_NEAR(a, b.x, b.y, b.z, eps);
}

class SkinTest : public ::testing::Test {
protected:
    void SetUp() override {
        tsxhost::Reset();
        LoadSubDivEntryPoints();
        SkipSubDivRebuild = false;
    }
    void TearDown() override { SetUp(); }

    static CtsxPolyh Mesh(const std::vector<CtsxVec3f>& vxs) {
        return tsxhost::AddPolyhedron("Mesh", vxs, {});
    }
    // A bone of the given length along -x from the origin: rest space is bone space.
    static TSkinArea Area(const TSkinObject& skin, float length) {
        TSkinArea a;
        a.Setup(skin, IdentityTxmx3f, length);
        return a;
    }
    // Rest vertex i refilled, as a rebind does.
    static void SetRest(TSkinObject& skin, std::size_t i, CtsxVec3f v) {
        std::vector<CtsxVec3f> rest = skin.RestVertices();
        rest[i] = v;
        skin.SetRestVertices(std::move(rest));
    }
    static float WeightOf(const TSkinArea& a, int vertex) {
        for (std::size_t k = 0; k < a.Indexes.size(); ++k)
            if (a.Indexes[k] == vertex) return a.AreaWeights[k];
        return -1; // not listed
    }
};

// ---- areas and weights ----

TEST_F(SkinTest, MidBoneVertexWeighsOneAndRampsFallOff) {
    TSkinObject skin;
    skin.Bind(Mesh({{-1, 0, 0}, {-1.5f, 0, 0}, {-0.5f, 0, 0}, {-1, 0.3f, 0.3f}}));
    TSkinArea a = Area(skin, 2);
    a.ComputeWeights(skin);
    EXPECT_FLOAT_EQ(WeightOf(a, 0), 1.0f);
    EXPECT_FLOAT_EQ(WeightOf(a, 3), 1.0f); // off the axis, no radial ramp
    a.TipRamp = 0.5f;                      // t = 0.25 three quarters down
    a.ComputeWeights(skin);
    EXPECT_FLOAT_EQ(WeightOf(a, 1), 0.5f);
    EXPECT_FLOAT_EQ(WeightOf(a, 0), 1.0f);
    a.TipRamp = 0;
    a.RootRamp = 0.5f; // 1 - t = 0.25 a quarter down
    a.ComputeWeights(skin);
    EXPECT_FLOAT_EQ(WeightOf(a, 2), 0.5f);
    a.Root = a.Tip = 1; // 4 along in all, ramped from 1 behind the head
    a.ComputeWeights(skin);
    EXPECT_FLOAT_EQ(WeightOf(a, 2), 0.75f); // x 1.5 of 4: 1 - t = 0.375
    a.Root = a.Tip = a.RootRamp = 0;
    a.RadialRamp = 0.5f; // r = 0.36: only the outer band ramps
    a.ComputeWeights(skin);
    EXPECT_FLOAT_EQ(WeightOf(a, 3), 1.0f);
}

TEST_F(SkinTest, AreaBoundsAreStrict) {
    TSkinObject skin;
    skin.Bind(Mesh({{0.5f, 0, 0},          // x = -Root
                    {0.49f, 0, 0},         // inside behind the head
                    {-2.5f, 0, 0},         // x = Length + Tip
                    {-2.49f, 0, 0},        // inside past the tail
                    {-1, 0.5f, 0},         // |y| = VolumeY
                    {-1, 0, -0.5f},        // |z| = VolumeZ
                    {-1, 0.49f, 0.49f}})); // inside
    TSkinArea a;
    a.Root = a.Tip = 0.5f;
    a.Setup(skin, IdentityTxmx3f, 2);
    EXPECT_EQ(a.Indexes, (std::vector<std::int32_t>{1, 3, 6}));
    EXPECT_EQ(a.Count, 3);
    EXPECT_EQ(a.AreaWeights, (std::vector<float>{0, 0, 0}));
}

TEST_F(SkinTest, LockedAreaKeepsPaintedWeightsAndNoDeformAddsNothing) {
    TSkinObject skin;
    skin.Bind(Mesh({{-1, 0, 0}, {-1.5f, 0, 0}, {5, 5, 5}}));
    TSkinArea a = Area(skin, 2);
    a.Indexes = {0, 2};
    a.AreaWeights = {0.3f, 0.6f};
    a.Count = 2;
    a.Flags = TSkinArea::Locked;
    a.Setup(skin, TranslationMx(7, 0, 0), 4);
    EXPECT_EQ(a.Indexes, (std::vector<std::int32_t>{0, 2}));
    a.Matrix = IdentityTxmx3f;
    skin.ResetAccumulators();
    a.Deform(skin, IdentityTxmx3f, CtsxVec3f{0, 0, 0});
    EXPECT_EQ(a.AreaWeights, (std::vector<float>{0.3f, 0.6f}));
    EXPECT_EQ(skin.WeightSum, (std::vector<float>{0.3f, 0, 0.6f}));
    ExpectNear(skin.Accum[2], {3, 3, 3});

    a.Flags |= TSkinArea::NoDeform;
    skin.ResetAccumulators();
    a.Deform(skin, IdentityTxmx3f, CtsxVec3f{0, 0, 0});
    EXPECT_EQ(skin.Influences, (std::vector<std::int32_t>{0, 0, 0}));
}

TEST_F(SkinTest, RecomputedWeightsFollowEveryChangedInput) {
    TSkinObject skin;
    skin.Bind(Mesh({{-1, 0, 0}, {-1.5f, 0, 0}}));
    TSkinArea a = Area(skin, 2);
    a.TipRamp = 0.5f;
    a.ComputeWeights(skin);
    ASSERT_FLOAT_EQ(WeightOf(a, 1), 0.5f);
    SetRest(skin, 1, {-1, 0, 0});
    a.ComputeWeights(skin);
    EXPECT_FLOAT_EQ(WeightOf(a, 1), 1.0f);
    a.Matrix = TranslationMx(-0.5f, 0, 0);
    a.ComputeWeights(skin);
    EXPECT_FLOAT_EQ(WeightOf(a, 0), 0.5f);
    a.AreaWeights = {0.9f, 0.9f}; // painted, then unlocked again
    a.ComputeWeights(skin);
    EXPECT_EQ(a.AreaWeights, (std::vector<float>{0.5f, 0.5f}));
}

TEST_F(SkinTest, RecomputedWeightsFollowRestVerticesFarApartOrOutsideTheList) {
    // Two listed vertices 300 apart, the rest outside the area: the memo keeps
    // the listed ones alone, and a change to either is seen.
    std::vector<CtsxVec3f> vxs(300, CtsxVec3f{50, 50, 50});
    vxs.front() = {-1, 0, 0};
    vxs.back() = {-1.5f, 0, 0};
    TSkinObject skin;
    skin.Bind(Mesh(vxs));
    TSkinArea a = Area(skin, 2);
    a.TipRamp = 0.5f;
    ASSERT_EQ(a.Indexes, (std::vector<std::int32_t>{0, 299}));
    a.ComputeWeights(skin);
    ASSERT_FLOAT_EQ(WeightOf(a, 299), 0.5f);
    SetRest(skin, 299, {-1, 0, 0});
    a.ComputeWeights(skin);
    EXPECT_FLOAT_EQ(WeightOf(a, 299), 1.0f);
    // Listed vertices close together, with an unlisted one among them.
    TSkinObject near;
    near.Bind(Mesh({{-1, 0, 0}, {50, 50, 50}, {-1.5f, 0, 0}}));
    TSkinArea b = Area(near, 2);
    b.TipRamp = 0.5f;
    ASSERT_EQ(b.Indexes, (std::vector<std::int32_t>{0, 2}));
    b.ComputeWeights(near);
    SetRest(near, 1, {60, 60, 60}); // not listed: the weights stay
    b.ComputeWeights(near);
    EXPECT_FLOAT_EQ(WeightOf(b, 2), 0.5f);
    SetRest(near, 2, {-1, 0, 0});
    b.ComputeWeights(near);
    EXPECT_FLOAT_EQ(WeightOf(b, 2), 1.0f);
    // A mesh that lost the listed vertices weighs them 0.
    near.SetRestVertices({near.RestVertices().front()});
    near.VertexCount = 1;
    b.ComputeWeights(near);
    EXPECT_EQ(WeightOf(b, 2), 0.0f);
}

TEST_F(SkinTest, KeptWeightsBelongToTheSkinTheyCameFrom) {
    // Same area, same list, same matrix: only the skins differ.
    TSkinObject ramped, flat;
    ramped.Bind(Mesh({{-1, 0, 0}, {-1.5f, 0, 0}}));
    flat.Bind(Mesh({{-1, 0, 0}, {-1, 0, 0}}));
    TSkinArea a = Area(ramped, 2);
    a.TipRamp = 0.5f;
    a.ComputeWeights(ramped);
    ASSERT_FLOAT_EQ(WeightOf(a, 1), 0.5f);
    a.ComputeWeights(flat);
    EXPECT_FLOAT_EQ(WeightOf(a, 1), 1.0f);
    // A copy is a skin of its own, and so is a skin that lost its vertices.
    TSkinObject copy = ramped;
    a.ComputeWeights(ramped);
    SetRest(copy, 1, {-1, 0, 0});
    a.ComputeWeights(copy);
    EXPECT_FLOAT_EQ(WeightOf(a, 1), 1.0f);
    a.ComputeWeights(ramped);
    EXPECT_FLOAT_EQ(WeightOf(a, 1), 0.5f);
}

TEST_F(SkinTest, WeighingAndNormalizingRoundAsTheHostsVectorFunctions) {
    // Random vectors and weights, sums of up to four: bit for bit what the
    // host's product and sum calls give.
    std::vector<CtsxVec3f> vxs;
    std::uint32_t seed = 12345;
    const auto next = [&] {
        seed = seed * 1664525u + 1013904223u;
        return static_cast<float>(seed >> 8) / 16777216.0f;
    };
    for (int i = 0; i < 500; ++i)
        vxs.push_back({next() * 20 - 10, next() * 1e-3f, next() * 3e4f});
    TSkinObject skin;
    skin.Bind(Mesh(vxs));
    skin.ResetAccumulators();
    std::vector<CtsxVec3f> expected(vxs.size(), CtsxVec3f{0, 0, 0});
    std::vector<float> sums(vxs.size(), 0.0f);
    for (int pass = 0; pass < 4; ++pass) {
        skin.Matrix = TranslationMx(next(), next() * 100, -next());
        skin.Matrix.m[0] = next() * 2;
        skin.Matrix.m[5] = -next();
        for (std::size_t i = pass % 2; i < vxs.size(); ++i) {
            const float w = next();
            skin.AddWeighted(static_cast<std::int32_t>(i), w);
            CtsxVec3f p;
            tsxTransformVect3f(&vxs[i], &p, &skin.Matrix);
            tsxMulScalar3f(&p, w);
            tsxAddToVec3f(&expected[i], &p);
            sums[i] += w;
        }
    }
    for (std::size_t i = 0; i < vxs.size(); ++i)
        tsxMulScalar3f(&expected[i], 1.0f / sums[i]);
    ASSERT_TRUE(skin.Normalize(false));
    for (std::size_t i = 0; i < vxs.size(); ++i)
        EXPECT_EQ(std::memcmp(&skin.Accum[i], &expected[i], sizeof(CtsxVec3f)), 0) << i;
    // A single influence keeps the mesh by the weight left.
    skin.ResetAccumulators();
    const CtsxVec3f* current = tsxPolyhGetVxArray(skin.Mesh);
    for (std::size_t i = 0; i < vxs.size(); ++i) {
        const float w = next();
        skin.AddWeighted(static_cast<std::int32_t>(i), w);
        tsxTransformVect3f(&vxs[i], &expected[i], &skin.Matrix);
        tsxMulScalar3f(&expected[i], w);
        CtsxVec3f kept = current[i];
        tsxMulScalar3f(&kept, 1.0f - w);
        tsxAddToVec3f(&expected[i], &kept);
    }
    ASSERT_TRUE(skin.Normalize(true));
    for (std::size_t i = 0; i < vxs.size(); ++i)
        EXPECT_EQ(std::memcmp(&skin.Accum[i], &expected[i], sizeof(CtsxVec3f)), 0) << i;
}

TEST_F(SkinTest, DamagedListsAreSkippedNotFollowed) {
    // As a record may leave them: indexes past the mesh or negative, counts
    // that disagree with the arrays, a box of no size.
    TSkinObject skin;
    skin.Bind(Mesh({{-1, 0, 0}, {-1.2f, 0, 0}}));
    TSkinArea a = Area(skin, 2);
    a.Indexes = {1, -4, 99, 0};
    a.AreaWeights = {1, 1};
    a.Count = 7;
    skin.ResetAccumulators();
    a.Deform(skin, IdentityTxmx3f, CtsxVec3f{0, 0, 0});
    EXPECT_EQ(a.AreaWeights.size(), 4u);
    EXPECT_EQ(skin.Influences, (std::vector<std::int32_t>{1, 1}));
    a.Flags = TSkinArea::Locked;
    a.AreaWeights = {1};
    skin.ResetAccumulators();
    a.Deform(skin, IdentityTxmx3f, CtsxVec3f{0, 0, 0});
    EXPECT_EQ(skin.Influences, (std::vector<std::int32_t>{0, 1}));

    a.Flags = 0;
    a.Length = a.VolumeY = a.VolumeZ = 0;
    a.RadialRamp = 0.5f;
    a.ComputeWeights(skin);
    for (float w : a.AreaWeights)
        EXPECT_TRUE(w >= 0 && w <= 1) << w;
}

// ---- accumulation, normalizing and writing back ----

TEST_F(SkinTest, NormalizeBlendsWithAndWithoutKeepMesh) {
    CtsxPolyh mesh = Mesh({{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {3, 0, 0}});
    TSkinObject skin;
    skin.Bind(mesh);
    CtsxVec3f* vx = tsxPolyhGetVxArray(mesh); // as an earlier pass left it
    vx[0] = {10, 0, 0};
    vx[1] = {20, 0, 0};
    auto fill = [&] {
        skin.ResetAccumulators();
        skin.Matrix = TranslationMx(0, 4, 0);
        skin.AddWeighted(1, 0.25f); // one influence
        skin.AddWeighted(2, 0.5f);  // two, summing to 1.5
        skin.AddWeighted(2, 1.0f);
        skin.AddWeighted(3, 0.0f); // one of weight 0
        skin.AddWeighted(4, 1.0f); // no such vertex
    };
    fill();
    skin.Normalize(true);
    ExpectNear(skin.Accum[0], {10, 0, 0});     // unreached: kept
    ExpectNear(skin.Accum[1], {15.25f, 1, 0}); // 0.25 p + 0.75 mesh
    ExpectNear(skin.Accum[2], {2, 4, 0});      // divided
    ExpectNear(skin.Accum[3], {3, 0, 0});      // the mesh, by the weight left
    fill();
    skin.Normalize(false);
    ExpectNear(skin.Accum[0], {0, 0, 0}); // unreached: rest
    ExpectNear(skin.Accum[1], {1, 4, 0});
    ExpectNear(skin.Accum[3], {3, 0, 0}); // weight sum 0: rest
    skin.WriteBack();
    ExpectNear(vx[1], {1, 4, 0});
    EXPECT_EQ(tsxhost::PolyhInfo(mesh).geomChanges, 1);
}

TEST_F(SkinTest, MeshWithAnotherVertexCountIsNeitherRestoredNorDeformed) {
    CtsxPolyh cube = tsxhost::AddCube("Cube", 1);
    CtsxPolyh small = Mesh({{5, 5, 5}, {6, 6, 6}});
    TSkinObject skin;
    skin.Bind(cube);
    tsxPolyhGetVxArray(cube)[3] = {9, 9, 9};
    skin.Restore();
    ExpectNear(tsxPolyhGetVxArray(cube)[3], {-1, 1, -1});
    EXPECT_EQ(tsxhost::PolyhInfo(cube).normalInversions, 2);

    skin.Object = small; // 2 vertices, not the 8 bound
    skin.Restore();
    skin.ResetAccumulators();
    skin.Matrix = IdentityTxmx3f;
    for (int i = 0; i < 8; ++i)
        skin.AddWeighted(i, 1);
    skin.Apply(false);
    ExpectNear(tsxPolyhGetVxArray(small)[1], {6, 6, 6});
    EXPECT_EQ(tsxhost::PolyhInfo(small).faceAdjacency, 0);
    EXPECT_EQ(tsxhost::PolyhInfo(small).geomChanges, 0);
}

// The host may withhold a mesh's vertices at any of the calls of a pass:
// then the pass is written whole or not at all, and nothing is read from
// nowhere.
TEST_F(SkinTest, VerticesTheHostWithholdsAreNeitherReadNorWritten) {
    CtsxPolyh mesh = Mesh({{0, 0, 0}, {1, 0, 0}});
    TSkinObject skin;
    skin.Bind(mesh);
    for (long nth = 1; nth <= 4; ++nth) {
        for (bool keepMesh : {false, true}) {
            CtsxVec3f* vx = tsxPolyhGetVxArray(mesh);
            vx[0] = {5, 5, 5};
            const int changes = tsxhost::PolyhInfo(mesh).geomChanges;
            skin.ResetAccumulators();
            skin.Matrix = TranslationMx(0, 1, 0);
            skin.AddWeighted(0, 0.5f); // half the mesh kept, or divided by the weight
            tsxhost::SetFaults({{"tsxPolyhGetVxArray"}, nth, 0, 0});
            skin.Apply(keepMesh);
            tsxhost::ClearFaults();
            const bool written = tsxhost::PolyhInfo(mesh).geomChanges > changes;
            ExpectNear(vx[0], !written   ? CtsxVec3f{5, 5, 5}
                              : keepMesh ? CtsxVec3f{2.5f, 3, 2.5f}
                                         : CtsxVec3f{0, 1, 0});
            ExpectNear(vx[1], {1, 0, 0});
            // Four asks: the mesh checked and read, checked and written; the
            // read matters only when the pass keeps what the mesh holds.
            EXPECT_EQ(written, nth == 2 && !keepMesh) << nth;
            vx[0] = {5, 5, 5};
            tsxhost::SetFaults({{"tsxPolyhGetVxArray"}, nth, 0, 0});
            skin.Restore();
            ExpectNear(vx[0],
                       tsxhost::FaultLog().empty() ? CtsxVec3f{0, 0, 0} : CtsxVec3f{5, 5, 5});
            tsxhost::ClearFaults();
        }
    }
    EXPECT_EQ(tsxhost::StaleUses(), 0);
}

TEST_F(SkinTest, APassThatOverflowsWritesNothing) {
    CtsxPolyh mesh = Mesh({{1, 0, 0}, {2, 0, 0}});
    TSkinObject skin;
    skin.Bind(mesh);
    skin.ResetAccumulators();
    skin.Matrix = TranslationMx(3e38f, 0, 0);
    skin.AddWeighted(0, 1);
    skin.AddWeighted(1, 1);
    skin.AddWeighted(1, 1); // twice 3e38 and more: past the floats
    skin.Apply(false);
    ExpectNear(tsxPolyhGetVxArray(mesh)[0], {1, 0, 0});
    EXPECT_EQ(tsxhost::PolyhInfo(mesh).geomChanges, 0);
    // A NaN in the last coordinate of the last vertex stops the pass as well.
    skin.ResetAccumulators();
    skin.Matrix = TranslationMx(5, 0, 0);
    skin.AddWeighted(0, 1);
    skin.AddWeighted(1, 1);
    skin.Accum[1].z = std::nanf("");
    skin.Apply(false);
    ExpectNear(tsxPolyhGetVxArray(mesh)[0], {1, 0, 0});
    EXPECT_EQ(tsxhost::PolyhInfo(mesh).geomChanges, 0);
    skin.Accum[1].z = 0; // and the same pass without it is written
    skin.WriteBack();
    ExpectNear(tsxPolyhGetVxArray(mesh)[0], {6, 0, 0});
}

TEST_F(SkinTest, SubDivCageIsDeformedAtItsLevel) {
    CtsxSobj sub = tsxhost::AddSubDiv("Sub", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}});
    tsxSubDivSetActiveLevel(sub, 2);
    TSkinObject skin;
    skin.Bind(sub);
    EXPECT_EQ(skin.Mesh, tsxSubDivGetCagePtr(sub));
    EXPECT_EQ(skin.VertexCount, 3);
    skin.ResetAccumulators();
    skin.Matrix = TranslationMx(0, 0, 1);
    for (int i = 0; i < 3; ++i)
        skin.AddWeighted(i, 1);
    skin.Apply(false);
    ExpectNear(tsxPolyhGetVxArray(skin.Mesh)[1], {1, 0, 1});
    auto info = tsxhost::SubDivInfo(sub);
    EXPECT_EQ(info.geomChanges, 1);
    EXPECT_EQ(info.builds, 1);
    EXPECT_EQ(info.activeLevel, 2);
    SkipSubDivRebuild = true;
    skin.Apply(false);
    EXPECT_EQ(tsxhost::SubDivInfo(sub).builds, 1);
}

// ---- the list of skins ----

TEST_F(SkinTest, MergeKeepsTheRootsSkinAndFreesTheDuplicate) {
    CtsxPolyh a = tsxhost::AddCube("A", 1), b = tsxhost::AddCube("B", 1);
    TSkinsObject root, other;
    for (auto [list, obj] : {std::pair{&root, a}, std::pair{&other, a}, std::pair{&other, b}}) {
        auto s = std::make_unique<TSkinObject>();
        s->Bind(obj);
        list->Add(std::move(s));
    }
    TSkinObject* kept = root.Items(0);
    root.Merge(other);
    EXPECT_EQ(other.Count(), 0);
    ASSERT_EQ(root.Count(), 2);
    EXPECT_EQ(root.Items(0), kept);
    EXPECT_EQ(root.Items(1)->Object, b);
    root.RemoveObject(a);
    EXPECT_EQ(root.Count(), 1);
}

TEST_F(SkinTest, ResolvesByNameUnderRootThenAnywhere) {
    CtsxPolyh outside = tsxhost::AddCube("Arm", 1); // first in the scene
    CtsxSobj root = tsxhost::AddGroup("Root");
    CtsxPolyh inside = tsxhost::AddCube("Arm", 1, root);
    TSkinObject skin;
    skin.RootIndex = -1;
    skin.MeshName = "Arm";
    skin.Resolve(root);
    EXPECT_EQ(skin.Object, inside);
    skin.MeshName = "Arm";
    skin.Resolve(tsxhost::AddGroup("Empty"));
    EXPECT_EQ(skin.Object, outside);
    skin.RootIndex = 2; // counted from the root: Root 1, its cube 2
    skin.Resolve(root);
    EXPECT_EQ(skin.Object, inside);
}

// ---- skins on a skeleton ----

// Two bones of length 2 along +x, (0,0,0) - (2,0,0) - (4,0,0), with a mesh
// bound to both: vertices 0-2 along the first bone, 3-5 along the second,
// vertex 6 out of reach of either.
class SkinRigTest : public CoreTest {
protected:
    const std::vector<CtsxVec3f> rest{{0.5f, 0, 0}, {1, 0.2f, 0},    {1.5f, 0, -0.1f}, {2.5f, 0, 0},
                                      {3, 0.2f, 0}, {3.5f, 0, 0.1f}, {10, 10, 10}};

    void BuildArm() {
        SetupMode = true;
        skel = NewSkel();
        joints = Chain(skel, {{0, 0, 0}, {2, 0, 0}, {4, 0, 0}});
        mesh = tsxhost::AddPolyhedron("Arm", rest, {});
        for (std::int32_t b = 0; b < 2; ++b) {
            TBone* bone = skel->Bones.Items(b);
            ASSERT_NE(bone->AttachChild(mesh), nullptr);
            skel->EnableSkin(mesh, bone);
        }
        SetupMode = false;
    }
    CtsxVec3f Vertex(int i) const { return tsxPolyhGetVxArray(mesh)[i]; }
    void ExpectAtRest(float eps = 1e-5f) const {
        for (int i = 0; i < 7; ++i)
            ExpectNear(Vertex(i), rest[static_cast<std::size_t>(i)], eps);
    }

    TSkeleton* skel = nullptr;
    std::vector<TJoint*> joints;
    CtsxPolyh mesh = nullptr;
};

TEST_F(SkinRigTest, EveryVertexReturnsToRestWhenNothingMoved) {
    BuildArm();
    ASSERT_EQ(skel->Skins->Count(), 1);
    EXPECT_EQ(skel->Bones.Items(0)->SkinAreas(0)->Indexes, (std::vector<std::int32_t>{0, 1, 2}));
    EXPECT_EQ(skel->Bones.Items(1)->SkinAreas(0)->Indexes, (std::vector<std::int32_t>{3, 4, 5}));
    tsxPolyhGetVxArray(mesh)[6] = {7, 7, 7}; // a stray edit of an unreached vertex
    skel->Refresh();
    ExpectAtRest();
}

TEST_F(SkinRigTest, BentArmCarriesItsVerticesAndLeavesTheRest) {
    BuildArm();
    SetupMode = true; // setup mode moves no vertex
    joints[2]->SetPosition(CtsxVec3f{2, 2, 0});
    skel->Refresh();
    ExpectAtRest();
    SetupMode = false;
    joints[2]->SetPosition(CtsxVec3f{2, 2, 0}); // the forearm turns 90 degrees about z
    skel->Refresh();
    for (int i = 0; i < 3; ++i)
        ExpectNear(Vertex(i), rest[static_cast<std::size_t>(i)], 1e-4f);
    ExpectNear(Vertex(3), {2, 0.5f, 0}, 1e-4f);
    ExpectNear(Vertex(4), {1.8f, 1, 0}, 1e-4f);
    ExpectNear(Vertex(5), {2, 1.5f, 0.1f}, 1e-4f);
    ExpectNear(Vertex(6), rest[6]);
    joints[2]->SetPosition(CtsxVec3f{4, 0, 0});
    skel->Refresh();
    ExpectAtRest(1e-4f);
}

TEST_F(SkinRigTest, CollapsedBoneAddsNothingAndSpreadsNoNaN) {
    BuildArm();
    joints[2]->SetPosition(joints[1]->Position);
    skel->DeformRootSkins(); // no relaxing, which would pull them apart
    for (int i = 0; i < 7; ++i)
        EXPECT_TRUE(std::isfinite(Vertex(i).x + Vertex(i).y + Vertex(i).z)) << i;
    ExpectNear(Vertex(4), rest[4]); // its only bone gave no frame: back at rest
}

// In setup mode the bones move inside the mesh: a full update (a script's
// refresh, a redraw after a frame change) keeps it at rest, as a joint's drag
// does, so leaving setup mode binds the mesh the user made rather than one
// deformed with the binding of before the edit.
TEST_F(SkinRigTest, SetupModeKeepsTheMeshAtRestThroughAFullUpdate) {
    BuildArm();
    SetupMode = true;
    joints[2]->SetPosition(CtsxVec3f{2, 2, 0});
    skel->Refresh();
    UpdateAllSkeletons();
    ExpectAtRest(0);
    RebindAllSkins();
    for (std::size_t i = 0; i < rest.size(); ++i)
        ExpectNear(skel->Skins->Items(0)->RestVertices()[i], rest[i], 0);
    SetupMode = false;
}

TEST_F(SkinRigTest, AttachedSkeletonDeformsItsMeshInASecondPass) {
    BuildArm();
    SetupMode = true;
    TSkeleton* hand = NewSkel();
    Chain(hand, {{3, 0, 1}, {3, 1, 1}});
    ASSERT_NE(skel->Bones.Items(1)->AttachChild(hand->SkeletonObject), nullptr);
    CtsxPolyh glove = tsxhost::AddPolyhedron("Glove", {{3, 0.5f, 1}, {9, 9, 9}}, {});
    ASSERT_NE(hand->Bones.Items(0)->AttachChild(glove), nullptr);
    hand->EnableSkin(glove, hand->Bones.Items(0));
    EXPECT_EQ(skel->Skins->Count(), 2); // the root's list holds both meshes
    SetupMode = false;

    joints[2]->SetPosition(CtsxVec3f{2, 2, 0});
    skel->Refresh();
    ExpectNear(Vertex(4), {1.8f, 1, 0}, 1e-4f); // kept through the second pass
    ExpectNear(tsxPolyhGetVxArray(glove)[0], {1.5f, 1, 1}, 1e-3f);
    ExpectNear(tsxPolyhGetVxArray(glove)[1], {9, 9, 9});
}

TEST_F(SkinRigTest, SkeletonBoundBelowItselfEndsThePass) {
    BuildArm();
    TSkeleton* other = NewSkel();
    Chain(other, {{0, 5, 0}, {2, 5, 0}});
    // A damaged scene: each group bound to the other's bone, past AttachChild.
    for (auto [bone, group] : {std::pair{skel->Bones.Items(0), other->SkeletonObject},
                               std::pair{other->Bones.Items(0), skel->SkeletonObject}}) {
        bone->ChildList.push_back(std::make_unique<TBoneChild>());
        bone->ChildList.back()->Object = group;
        bone->SkinAreaList.emplace_back();
    }
    skel->DeformRootSkins();
    ExpectAtRest();
}

TEST_F(SkinRigTest, DeletedMeshLeavesTheSkinsAndAreas) {
    BuildArm();
    tsxhost::Delete(mesh);
    skel->ObjectDeleted(mesh); // as the skeleton list passes it on
    EXPECT_EQ(skel->Skins->Count(), 0);
    EXPECT_EQ(skel->Bones.Items(0)->SkinAreaList.size(), 0u);
    skel->Refresh();
    EXPECT_EQ(tsxhost::StaleUses(), 0);
}

} // namespace
} // namespace vel
