#include "TsxHelper.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Modules.h"
#include "TsxHost.h"

namespace vel {
namespace {

using Bytes = std::vector<std::uint8_t>;

// G1 { A, G2 { B }, C }, D  -- pre-order G1 A G2 B C D.
struct TScene {
    CtsxSobj G1, A, G2, B, C, D;
};

class HelperTest : public ::testing::Test {
protected:
    void SetUp() override { tsxhost::Reset(); }
    void TearDown() override { tsxhost::Reset(); }

    TScene Build() {
        TScene s;
        s.G1 = tsxhost::AddGroup("G1");
        s.A = tsxhost::AddCube("A", 1, s.G1);
        s.G2 = tsxhost::AddGroup("G2", s.G1);
        s.B = tsxhost::AddCube("B", 1, s.G2);
        s.C = tsxhost::AddNull("C", s.G1);
        s.D = tsxhost::AddCube("D", 1);
        return s;
    }
};

std::vector<CtsxSobj> Collect(bool (*walk)(CtsxSobj, TNodeProc, void*), CtsxSobj from,
                              CtsxSobj stopAt = nullptr) {
    struct Ctx {
        std::vector<CtsxSobj> seen;
        CtsxSobj stopAt;
    } ctx{{}, stopAt};
    walk(
        from,
        [](CtsxSobj n, void* d, bool& stop) {
            auto* c = static_cast<Ctx*>(d);
            c->seen.push_back(n);
            stop = n == c->stopAt;
        },
        &ctx);
    return ctx.seen;
}

// ---- walks and membership ----

TEST_F(HelperTest, WalksVisitPreOrderAndStop) {
    TScene s = Build();
    EXPECT_EQ(Collect(&ForEachNode, s.G1), (std::vector{s.G1, s.A, s.G2, s.B, s.C, s.D}));
    EXPECT_EQ(Collect(&ForEachNode, s.G1, s.B), (std::vector{s.G1, s.A, s.G2, s.B}));
    EXPECT_EQ(Collect(&ForEachNode, s.A), (std::vector{s.A, s.G2, s.B, s.C}));
    // The tree form does not run on along the start's siblings.
    EXPECT_EQ(Collect(&ForEachNodeInTree, s.G2), (std::vector{s.G2, s.B}));
    EXPECT_EQ(Collect(&ForEachNodeInTree, s.G1), (std::vector{s.G1, s.A, s.G2, s.B, s.C}));
    EXPECT_TRUE(Collect(&ForEachNode, nullptr).empty());

    std::vector<CtsxSobj> seen;
    EXPECT_TRUE(ForEachNodeMethod(s.G1, [&](CtsxSobj n, bool& stop) {
        seen.push_back(n);
        stop = n == s.C;
    }));
    EXPECT_EQ(seen, (std::vector{s.G1, s.A, s.G2, s.B, s.C}));
    seen.clear();
    EXPECT_FALSE(ForEachNodeInTreeMethod(s.G2, [&](CtsxSobj n, bool&) { seen.push_back(n); }));
    EXPECT_EQ(seen, (std::vector{s.G2, s.B}));
    EXPECT_TRUE(ForEachNodeInTreeMethod(s.G2, [](CtsxSobj, bool& stop) { stop = true; }));
}

TEST_F(HelperTest, DeepSceneWalksWithoutRecursion) {
    CtsxSobj parent = nullptr;
    for (int i = 0; i < 2000; ++i)
        parent = tsxhost::AddGroup("N", parent);
    EXPECT_EQ(GetNodeIndexInScene(parent), 2000);
    EXPECT_EQ(GetNodeAtIndexInScene(2000), parent);
}

TEST_F(HelperTest, MembershipAndTypes) {
    TScene s = Build();
    EXPECT_TRUE(IsNodeInChain(s.B, s.G1));
    EXPECT_TRUE(IsNodeInChain(s.C, s.A));
    EXPECT_FALSE(IsNodeInChain(s.G1, s.A));
    EXPECT_FALSE(IsNodeInChain(s.D, s.A));
    EXPECT_FALSE(IsNodeInChain(s.B, nullptr));
    EXPECT_FALSE(IsNodeInChain(nullptr, s.G1));

    CtsxSobj free = tsxCreateSphere(8, 8, 1); // made, not yet added
    EXPECT_TRUE(IsNodeInScene(s.D));
    EXPECT_FALSE(IsNodeInScene(free));

    EXPECT_TRUE(IsSceneObjectOfType(s.B, TSX_TYPE_POLYH));
    EXPECT_TRUE(IsSceneObjectOfType(s.G2, TSX_TYPE_GROUP));
    EXPECT_FALSE(IsSceneObjectOfType(s.G2, TSX_TYPE_POLYH));
    EXPECT_FALSE(IsSceneObjectOfType(free, TSX_TYPE_POLYH));
    EXPECT_FALSE(IsSceneObjectOfType(nullptr, 0));

    EXPECT_FALSE(IsNonRootNode(s.G1));
    EXPECT_TRUE(IsNonRootNode(s.B));

    EXPECT_EQ(GetSelectedObjectOfType(0), nullptr);
    tsxhost::Select(s.G2);
    EXPECT_EQ(GetSelectedObjectOfType(TSX_TYPE_GROUP), s.G2);
    EXPECT_EQ(GetSelectedObjectOfType(TSX_TYPE_POLYH), nullptr);
}

TEST_F(HelperTest, SafeDeleteClearsTheHandleInEveryCase) {
    TScene s = Build();
    CtsxSobj b = s.B;
    SafeDeleteObject(b);
    EXPECT_EQ(b, nullptr);
    EXPECT_FALSE(tsxIsSobj(s.B));
    EXPECT_FALSE(IsSceneObjectOfType(s.B, 0));

    // Already gone: nothing is deleted and nothing stale reaches the host.
    tsxhost::ResetStaleUses();
    b = s.B;
    SafeDeleteObject(b);
    EXPECT_EQ(b, nullptr);
    EXPECT_EQ(tsxhost::StaleUses(), 0);

    // Outside the scene: left alone.
    CtsxSobj free = tsxCreateSphere(8, 8, 1);
    CtsxSobj handle = free;
    SafeDeleteObject(handle);
    EXPECT_EQ(handle, nullptr);
    EXPECT_TRUE(tsxIsSobj(free));

    CtsxSobj none = nullptr;
    SafeDeleteObject(none);
    EXPECT_EQ(none, nullptr);
}

// ---- positions ----

TEST_F(HelperTest, PositionsRoundTripForEveryNode) {
    TScene s = Build();
    EXPECT_EQ(GetNodeIndexInScene(s.G1), 1);
    EXPECT_EQ(GetNodeIndexInScene(s.A), 2);
    const std::vector<CtsxSobj> nodes = tsxhost::SceneNodes();
    ASSERT_EQ(nodes.size(), 6u);
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        EXPECT_EQ(GetNodeIndexInScene(nodes[i]), static_cast<std::int32_t>(i + 1));
        EXPECT_EQ(GetNodeAtIndexInScene(GetNodeIndexInScene(nodes[i])), nodes[i]);
    }
    EXPECT_EQ(GetNodeAtIndexInScene(0), nullptr);
    EXPECT_EQ(GetNodeAtIndexInScene(-1), nullptr);
    EXPECT_EQ(GetNodeAtIndexInScene(7), nullptr);

    EXPECT_EQ(GetNodeIndexInChain(s.B, s.G2), 2);
    EXPECT_EQ(GetNodeAtIndexInChain(2, s.G2), s.B);
    EXPECT_EQ(GetNodeAtIndexInChain(4, s.G2), nullptr); // G2 B C, then done
}

TEST_F(HelperTest, NodeOutsideTheSceneHasNoPosition) {
    Build();
    CtsxSobj free = tsxCreateSphere(8, 8, 1);
    EXPECT_EQ(GetNodeIndexInScene(free), 0);
    EXPECT_EQ(GetNodeIndexInScene(nullptr), 0);
    EXPECT_EQ(GetNodeIndexInChain(tsxhost::FindByFullName("D"), tsxhost::FindByFullName("G1/G2")),
              0);
    EXPECT_EQ(GetNodeAtIndexInScene(GetNodeIndexInScene(free)), nullptr);
}

// ---- names ----

TEST_F(HelperTest, NamesAndLookUps) {
    TScene s = Build();
    EXPECT_EQ(GetNodeName(s.B), "B");
    EXPECT_EQ(GetNodeFullName(s.B), "G1/G2/B");
    EXPECT_EQ(GetNodeName(nullptr), "");
    EXPECT_EQ(GetNodeFullName(nullptr), "");
    EXPECT_EQ(FindNodeByFullName("G1/G2/B"), s.B);
    EXPECT_EQ(FindNodeByFullName("G1/B"), nullptr);
    EXPECT_EQ(FindNodeByFullName(""), nullptr);
}

TEST_F(HelperTest, NamesOfAnyLength) {
    const std::string longName(3000, 'q');
    CtsxSobj g = tsxhost::AddGroup("G");
    CtsxSobj c = tsxhost::AddCube("x", 1, g);
    tsxGNodeSetName(c, longName.c_str());
    tsxGNodeSetName(g, std::string(255, 'g').c_str()); // exactly the first buffer's room
    EXPECT_EQ(GetNodeName(c), longName);
    EXPECT_EQ(GetNodeName(g), std::string(255, 'g'));
    const std::string full = std::string(255, 'g') + "/" + longName;
    EXPECT_EQ(GetNodeFullName(c), full);
    EXPECT_EQ(FindNodeByFullName(full), c);
    EXPECT_EQ(FindObjectByName(longName), c);
}

TEST_F(HelperTest, FindObjectByNameSkipsLowTypesButSearchesBelowThem) {
    CtsxSobj holder = tsxhost::AddNull("Target"); // type 10: never the answer
    CtsxSobj inner = tsxhost::AddCube("Target", 1, holder);
    CtsxSobj g = tsxhost::AddGroup("Bag");
    CtsxSobj deep = tsxhost::AddCube("Deep", 1, tsxhost::AddGroup("Sub", g));
    EXPECT_EQ(FindObjectByName("Target"), inner);
    EXPECT_EQ(FindObjectByName("Deep"), deep);
    EXPECT_EQ(FindObjectByName("Bag"), g); // groups are type 100
    EXPECT_EQ(FindObjectByName("deep"), nullptr);
    EXPECT_EQ(FindObjectByName("Nothing"), nullptr);
    EXPECT_EQ(FindObjectByName("Target", g), nullptr); // from Bag on only
    EXPECT_EQ(FindObjectByNameIn("Deep", g), deep);
}

TEST(SplitNameAndNumber, Cases) {
    struct Case {
        const char* text;
        const char* name;
        std::int32_t number;
    } const cases[] = {
        {"Bone,12", "Bone", 12},
        {",12", ",12", 0},
        {"Bone,x", "Bone,x", 0},
        {"Bone", "Bone", 0},
        {"Bone,", "Bone,", 0},
        {"Bone,-3", "Bone", -3},
        {"Bone,+7", "Bone", 7},
        {"Bone,+-3", "Bone,+-3", 0},
        {"Bone,1,2", "Bone,1,2", 0},
        {"Bone,12x", "Bone,12x", 0},
        {"B,2147483647", "B", INT32_MAX},
        {"B,2147483648", "B,2147483648", 0},
        {"", "", 0},
    };
    for (const Case& c : cases) {
        std::string name = "stale";
        std::int32_t number = 99;
        SplitNameAndNumber(c.text, name, number);
        EXPECT_EQ(name, c.name) << c.text;
        EXPECT_EQ(number, c.number) << c.text;
    }
}

// ---- stored text ----

Bytes Written(const std::string& text) {
    CtsxFILE fd = tsxhost::OpenWriteFile();
    EXPECT_TRUE(WriteHostString(fd, text));
    Bytes b = tsxhost::FileBytes(fd);
    tsxhost::CloseFile(fd);
    return b;
}

bool Read(const Bytes& bytes, std::string& text, std::string* error = nullptr,
          std::int32_t max = INT32_MAX) {
    CtsxFILE fd = tsxhost::OpenReadFile(bytes);
    bool ok = ReadHostString(fd, text, max, error);
    tsxhost::CloseFile(fd);
    return ok;
}

TEST_F(HelperTest, StoredTextBytesAndRoundTrip) {
    EXPECT_EQ(Written("abc"), (Bytes{3, 0, 0, 0, 0x61, 0x62, 0x63}));
    EXPECT_EQ(Written(""), (Bytes{0, 0, 0, 0}));

    std::string text = "x";
    ASSERT_TRUE(Read({0, 0, 0, 0}, text));
    EXPECT_EQ(text, "");

    std::string big(10000, '\0');
    for (std::size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>(i * 7);
    ASSERT_TRUE(Read(Written(big), text));
    EXPECT_EQ(text, big);
}

TEST_F(HelperTest, StoredTextRefusals) {
    std::string text = "kept", error;
    EXPECT_FALSE(Read({0xFF, 0xFF, 0xFF, 0xFF, 'a'}, text, &error));
    EXPECT_EQ(error, "negative text length");
    EXPECT_FALSE(Read({3, 0, 0, 0, 'a', 'b'}, text, &error));
    EXPECT_EQ(error, "text cut short");
    // A huge claimed length with almost nothing behind it allocates nothing big.
    EXPECT_FALSE(Read({0x00, 0xCA, 0x9A, 0x3B, 'a'}, text, &error));
    EXPECT_EQ(error, "text cut short");
    EXPECT_FALSE(Read({1, 0}, text, &error));
    EXPECT_EQ(error, "text length missing");
    EXPECT_FALSE(Read(Written(std::string(1025, 'a')), text, &error, 1024));
    EXPECT_EQ(error, "text longer than allowed");
    EXPECT_EQ(text, "kept");
    EXPECT_TRUE(Read(Written(std::string(1024, 'a')), text, &error, 1024));
}

TEST_F(HelperTest, ModuleDirectory) {
    fw::ModuleHandle host = fw::FindLoadedModule("Tsxapi.dll");
    ASSERT_NE(host, nullptr);
    std::string path = fw::ModuleFileName(host);
    std::string folder = "unchanged";
    GetModuleDirectory("Tsxapi.dll", folder);
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '/');
    EXPECT_EQ(path.substr(0, folder.size()), folder);
    EXPECT_EQ(path.find('/', folder.size()), std::string::npos);

    folder = "unchanged";
    GetModuleDirectory("NoSuchModule.tsx", folder);
    EXPECT_EQ(folder, "unchanged");
}

// ---- geometry ----

CtsxVec3f Row(const CtsxTxmx3f& m, int r) {
    return {m.row[r][0], m.row[r][1], m.row[r][2]};
}

float Dot(const CtsxVec3f& a, const CtsxVec3f& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

CtsxTxmx3f Rot(CtsxVec3f axis, float radians, CtsxVec3f t = {0, 0, 0}) {
    CtsxVec3f origin{0, 0, 0};
    CtsxTxmx3f m;
    tsxMakeRotMx3f(&m, &origin, &axis, radians);
    tsxSetMxTranslation3f(&m, &t);
    return m;
}

void ExpectMxNear(const CtsxTxmx3f& a, const CtsxTxmx3f& b, float eps = 1e-5f) {
    for (int i = 0; i < 12; ++i)
        EXPECT_NEAR(a.m[i], b.m[i], eps) << "element " << i;
}

void ExpectOrthonormalFrame(const CtsxTxmx3f& m, const CtsxVec3f& dir) {
    const CtsxVec3f r0 = Row(m, 0), r1 = Row(m, 1), r2 = Row(m, 2);
    for (float v : m.m)
        ASSERT_TRUE(std::isfinite(v));
    EXPECT_FLOAT_EQ(r0.x, dir.x);
    EXPECT_FLOAT_EQ(r0.y, dir.y);
    EXPECT_FLOAT_EQ(r0.z, dir.z);
    EXPECT_NEAR(Dot(r1, r1), 1, 1e-4);
    EXPECT_NEAR(Dot(r2, r2), 1, 1e-4);
    EXPECT_NEAR(Dot(r0, r1), 0, 1e-4);
    EXPECT_NEAR(Dot(r0, r2), 0, 1e-4);
    EXPECT_NEAR(Dot(r1, r2), 0, 1e-4);
    EXPECT_EQ(m.m[3], 0);
    EXPECT_EQ(m.m[7], 0);
    EXPECT_EQ(m.m[11], 0);
}

// Each product and each sum rounded on its own: an x86-64-v3 run builds the
// library again for a level that could fuse them.
TEST(Geometry, SquaredLengthRoundsEachStep) {
    std::mt19937 random(7);
    std::uniform_real_distribution<float> any(-3, 3);
    for (int i = 0; i < 1000; ++i) {
        const CtsxVec3f v{any(random), any(random), any(random)};
        volatile float x = v.x * v.x, y = v.y * v.y, z = v.z * v.z;
        volatile float xy = x + y;
        ASSERT_EQ(SquaredLength3f(v), xy + z) << i;
    }
}

TEST(Geometry, FrameFromDirectionUsesUp) {
    CtsxTxmx3f m;
    MakeFrameFromDirection({1, 0, 0}, {0, 0, 1}, m);
    ExpectMxNear(m, IdentityTxmx3f, 0);
}

TEST(Geometry, FrameFromDirectionFallbackRows) {
    // Parallel, opposite, zero, too short and non-finite ups all fall back to (1, 0, 0).
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const CtsxVec3f ups[] = {{0, 0, 1}, {0, 0, -1},  {0, 0, 0},  {0, 0.9f, 0},
                             {0, 0, 2}, {nan, 0, 0}, {0, inf, 0}};
    CtsxTxmx3f want{};
    want.row[0][2] = 1;
    want.row[1][1] = -1;
    want.row[2][0] = 1;
    for (const CtsxVec3f& up : ups) {
        CtsxTxmx3f m;
        MakeFrameFromDirection({0, 0, 1}, up, m);
        ExpectMxNear(m, want, 0);
    }
}

TEST(Geometry, FrameFromDirectionWhenRotatedComponentsAreParallel) {
    const float k = 1 / std::sqrt(3.0f);
    const CtsxVec3f dirs[] = {{k, k, k}, {-k, -k, -k}};
    for (const CtsxVec3f& dir : dirs) {
        CtsxTxmx3f m;
        MakeFrameFromDirection(dir, dir, m);
        ExpectOrthonormalFrame(m, dir);
        MakeFrameFromDirection(dir, {0, 0, 0}, m);
        ExpectOrthonormalFrame(m, dir);
    }
}

TEST(Geometry, FrameFromRandomDirectionsIsOrthonormal) {
    std::mt19937 rng(1234);
    std::uniform_real_distribution<float> u(-1, 1);
    for (int i = 0; i < 500; ++i) {
        CtsxVec3f dir{u(rng), u(rng), u(rng)};
        if (SquaredLength3f(dir) < 1e-4f) continue;
        tsxNormalize3f(&dir);
        CtsxVec3f up{u(rng), u(rng), u(rng)};
        tsxNormalize3f(&up);
        if (i % 3 == 0) up = dir; // parallel on purpose
        if (i % 3 == 1) {         // nearly parallel
            up = {dir.x + 1e-4f, dir.y, dir.z};
            tsxNormalize3f(&up);
        }
        CtsxTxmx3f m;
        MakeFrameFromDirection(dir, up, m);
        SCOPED_TRACE(i);
        ExpectOrthonormalFrame(m, dir);
    }
}

TEST(Geometry, MxToEulerRebuildsTheRotation) {
    tsxhost::Reset();
    const CtsxTxmx3f r = Rot({1, 2, 3}, 0.7f, {4, 5, 6});
    CtsxEuler3f e;
    MxToEuler(r, e);
    CtsxSobj node = tsxhost::AddCube("C", 1);
    tsxGNodeSetRotation(node, &e);
    CtsxTxmx3f back;
    tsxGNodeGetPureTransform(node, &back);
    CtsxTxmx3f want = r;
    want.m[3] = want.m[7] = want.m[11] = 0;
    ExpectMxNear(back, want);

    MxToEuler(Rot({0, 0, 1}, 0.5f), e);
    EXPECT_NEAR(e.x, 0, 1e-6);
    EXPECT_NEAR(e.y, 0, 1e-6);
    EXPECT_NEAR(e.z, 0.5f, 1e-6);
}

TEST(Geometry, RelativeMxIsBInAsFrame) {
    const CtsxTxmx3f a = Rot({0, 0, 1}, 1.2f, {1, 2, 3});
    const CtsxTxmx3f b = Rot({1, 1, 0}, -0.4f, {-5, 0.5f, 2});
    CtsxTxmx3f r, back;
    RelativeMx(a, b, r);
    tsxXProdMx3f(&back, &a, &r);
    ExpectMxNear(back, b);
    RelativeMx(a, a, r);
    ExpectMxNear(r, IdentityTxmx3f);
}

TEST(Geometry, NodeTransforms) {
    tsxhost::Reset();
    CtsxSobj node = tsxhost::AddCube("C", 1);
    const CtsxTxmx3f m = Rot({0, 1, 0}, 0.3f, {1, -2, 3});
    SetNodeTransform(node, m);
    CtsxTxmx3f got;
    tsxGNodeGetPureTransform(node, &got);
    ExpectMxNear(got, m);

    // Rotation only: the location stays.
    SetNodeRotationFromMx(node, Rot({1, 0, 0}, 0.9f, {50, 50, 50}));
    tsxGNodeGetPureTransform(node, &got);
    ExpectMxNear(got, Rot({1, 0, 0}, 0.9f, {1, -2, 3}));

    // Rotating keeps m's position; rot's rotation is applied inside m's.
    const CtsxTxmx3f rot = Rot({0, 0, 1}, 0.5f);
    RotateNodeKeepPosition(node, m, rot);
    tsxGNodeGetPureTransform(node, &got);
    CtsxTxmx3f want;
    tsxXProdMx3f(&want, &m, &rot);
    ExpectMxNear(got, want);
    EXPECT_NEAR(got.m[3], 1, 1e-5);
    EXPECT_NEAR(got.m[7], -2, 1e-5);
    EXPECT_NEAR(got.m[11], 3, 1e-5);
    tsxhost::Reset();
}

} // namespace
} // namespace vel
