#include <cmath>
#include <cstring>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "HostTestEnv.h"
#include "TsxHost.h"
#include "tsxapi.h"

namespace {

using namespace tsxhost;

class SceneTest : public ::testing::Test {
protected:
    void SetUp() override { Reset(); }
};

CtsxVec3f Loc(CtsxSobj n) {
    CtsxVec3f v;
    tsxGNodeGetLocation(n, &v);
    return v;
}

void SetLoc(CtsxSobj n, float x, float y, float z) {
    CtsxVec3f v{x, y, z};
    tsxGNodeSetLocation(n, &v);
}

void ExpectVec(const CtsxVec3f& v, float x, float y, float z, float eps = 1e-5f) {
    EXPECT_NEAR(v.x, x, eps);
    EXPECT_NEAR(v.y, y, eps);
    EXPECT_NEAR(v.z, z, eps);
}

int NoopDraw(CtsxSobj, int, CtsxRect*) {
    return 0;
}

TEST_F(SceneTest, StaleForeignAndNullHandlesAnswerNothingAndAreCounted) {
    CtsxSobj cube = AddCube("Cube", 1);
    EXPECT_EQ(tsxIsSobj(cube), 1);
    tsxSobjDelete(cube);
    EXPECT_EQ(StaleUses(), 0);

    EXPECT_EQ(tsxIsSobj(cube), 0); // the probe is not counted
    EXPECT_EQ(StaleUses(), 0);
    EXPECT_EQ(tsxSobjGetType(cube), 0);
    EXPECT_EQ(tsxGNodeGetParent(cube), nullptr);
    EXPECT_EQ(tsxPolyhGetVxArray(cube), nullptr);
    tsxGNodeSetName(cube, "x");
    EXPECT_EQ(StaleUses(), 4);

    EXPECT_EQ(tsxSobjGetType(nullptr), 0);
    CtsxFrame frameAsObject = tsxFrameCreate(TSX_KIND_LOCATION);
    EXPECT_EQ(tsxSobjGetType(reinterpret_cast<CtsxSobj>(frameAsObject)), 0);
    EXPECT_EQ(tsxSobjGetType(reinterpret_cast<CtsxSobj>(std::uintptr_t{12345})), 0);
    EXPECT_EQ(StaleUses(), 7);

    // A new object never takes the old one's handle, not even after a reset.
    Reset();
    for (int i = 0; i < 5; ++i)
        EXPECT_NE(AddCube("Cube", 1), cube);
    EXPECT_EQ(tsxIsSobj(cube), 0);
}

TEST_F(SceneTest, WithReuseOnFreedHandlesComeBackLastFreedFirst) {
    CtsxSobj before = AddCube("Before", 1);
    tsxSobjDelete(before); // freed with reuse off: never handed out again
    SetReuseHandles(true);
    EXPECT_TRUE(ReuseHandles());
    CtsxSobj group = AddGroup("Group");
    CtsxSobj a = AddCube("A", 1, group);
    CtsxSobj b = AddNull("B", group);
    CtsxFrame key = tsxFrameCreate(TSX_KIND_LOCATION);
    tsxSobjInsertFrame(a, key, 0, 4);
    tsxSobjDelete(group); // b, a, then the group are freed, with a's key
    CtsxFrame newKey = tsxFrameCreate(TSX_KIND_SIZE);
    EXPECT_EQ(newKey, key);
    EXPECT_EQ(tsxFrameGetKind(newKey), TSX_KIND_SIZE);
    CtsxSobj first = AddNull("First");
    CtsxSobj second = AddNull("Second");
    CtsxSobj third = AddNull("Third");
    EXPECT_EQ(first, group);
    EXPECT_EQ((std::set<CtsxSobj>{second, third}), (std::set<CtsxSobj>{a, b}));
    EXPECT_NE(AddNull("Fourth"), before);
    // The handle is the new object's: nothing tells it from the old one.
    EXPECT_EQ(tsxIsSobj(group), 1);
    EXPECT_EQ(NodeName(group), "First");
    EXPECT_EQ(StaleUses(), 0);
    // Off, or after a reset, no freed handle comes back.
    SetReuseHandles(false);
    tsxSobjDelete(first);
    EXPECT_NE(AddNull("Fifth"), first);
    SetReuseHandles(true);
    tsxSobjDelete(second);
    Reset();
    EXPECT_FALSE(ReuseHandles());
    EXPECT_NE(AddNull("Sixth"), second);
}

TEST_F(SceneTest, TypeNumbersAndTheSceneAsParent) {
    CtsxSobj group = AddGroup("G");
    CtsxSobj cube = AddCube("Cube", 1, group);
    CtsxSobj sub = AddSubDiv("Sub", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}});
    EXPECT_GE(tsxSobjGetType(group), 100);
    EXPECT_EQ(tsxSobjGetType(cube), 201);
    EXPECT_EQ(tsxSobjGetType(sub), 217);
    CtsxPolyh cage = tsxSubDivGetCagePtr(sub);
    EXPECT_EQ(tsxSobjGetType(cage), 201);
    EXPECT_EQ(tsxPolyhGetNbrVxs(cage), 3);

    tsxExtObjCallbacks cb{3,       nullptr, nullptr, nullptr, NoopDraw, nullptr,
                          nullptr, nullptr, nullptr, nullptr, nullptr};
    EXPECT_EQ(tsxObjectDefine(1, "a", &cb, 0), 1000);
    EXPECT_EQ(tsxObjectDefine(1, "b", &cb, 0), 1001);
    EXPECT_EQ(tsxObjectDefine(1, "a", &cb, 0), 1000);
    CtsxSobj ext = tsxObjectCreate(1001);
    EXPECT_EQ(tsxSobjGetType(ext), 1001);
    EXPECT_EQ(NodeName(ext), "b");
    EXPECT_EQ(tsxGNodeGetParent(ext), nullptr); // not in the scene until added
    tsxSceneAddObject(ext, 1);

    CtsxSobj scene = tsxGetScene();
    ASSERT_NE(scene, nullptr);
    EXPECT_EQ(tsxGNodeGetParent(group), scene);
    EXPECT_EQ(tsxGNodeGetParent(ext), scene);
    EXPECT_EQ(tsxGNodeGetParent(cube), group);
    EXPECT_EQ(tsxGNodeGetRoot(cube), group);
    EXPECT_EQ(tsxGNodeGetRoot(group), group);
    EXPECT_EQ(tsxSceneGetFirstNode(), group);
    EXPECT_EQ(tsxGNodeGetNext(group), sub);
    EXPECT_EQ(tsxGNodeGetNext(sub), ext);
    EXPECT_EQ(tsxGNodeGetFirstChild(group), cube);
    EXPECT_EQ(SceneNodes(), (std::vector<CtsxSobj>{group, cube, sub, ext}));
}

TEST_F(SceneTest, AddSubobjAppendsToAGroupOrWrapsANonGroupParent) {
    CtsxSobj a = AddCube("A", 1);
    CtsxSobj b = AddCube("B", 1);
    CtsxSobj c = AddCube("C", 1);
    SetLoc(b, 5, 0, 0);

    // Non-group parent: a new group takes A's place and holds A and B.
    CtsxSobj parent = a;
    tsxAddSubobj(&parent, b);
    ASSERT_NE(parent, a);
    EXPECT_EQ(tsxSobjGetType(parent), TSX_TYPE_GROUP);
    EXPECT_EQ(tsxSceneGetFirstNode(), parent);
    EXPECT_EQ(tsxGNodeGetNext(parent), c);
    EXPECT_EQ(tsxGNodeGetFirstChild(parent), a);
    EXPECT_EQ(tsxGNodeGetNext(a), b);
    ExpectVec(Loc(b), 5, 0, 0);

    // Group parent: appended, the handle stays.
    CtsxSobj group = parent;
    tsxAddSubobj(&group, c);
    EXPECT_EQ(group, parent);
    EXPECT_EQ(tsxGNodeGetNext(b), c);
    EXPECT_EQ(tsxGNodeGetNext(parent), nullptr);

    // A group cannot go into its own descendant.
    CtsxSobj into = a;
    tsxAddSubobj(&into, parent);
    EXPECT_EQ(into, a);
    EXPECT_EQ(tsxGNodeGetParent(a), parent);

    // Removing the selection from its group puts it back at the top level.
    tsxSelectSobj(b, 0, 1);
    tsxGroupRemoveCurrobj();
    EXPECT_EQ(tsxGNodeGetParent(b), tsxGetScene());
    ExpectVec(Loc(b), 5, 0, 0);
}

TEST_F(SceneTest, NamesAreUniqueAmongSiblingsAndLengthsSizeBuffers) {
    CtsxSobj g = AddGroup("G");
    CtsxSobj a = AddCube("Joint", 1, g);
    CtsxSobj b = AddCube("Joint", 1, g);
    CtsxSobj c = AddCube("Joint", 1);
    EXPECT_EQ(NodeName(a), "Joint");
    EXPECT_EQ(NodeName(b), "Joint,1");
    EXPECT_EQ(NodeName(c), "Joint"); // not a sibling
    tsxGNodeSetName(a, "Joint,1");
    EXPECT_EQ(NodeName(a), "Joint,1,1");
    tsxGNodeSetName(a, "Joint");
    EXPECT_EQ(NodeName(a), "Joint");

    char small[4];
    std::memset(small, 'x', sizeof small);
    EXPECT_EQ(tsxGNodeGetName(b, small, sizeof small), 7);
    EXPECT_STREQ(small, "Joi");
    EXPECT_EQ(tsxGNodeGetName(b, nullptr, 0), 7);
    EXPECT_EQ(tsxGNodeGetFullName(b, nullptr, nullptr, 0), 9);

    char full[64];
    tsxGNodeGetFullName(b, nullptr, full, sizeof full);
    EXPECT_STREQ(full, "G/Joint,1");
    tsxGNodeGetFullName(b, g, full, sizeof full);
    EXPECT_STREQ(full, "Joint,1");
    CtsxSobj found = nullptr;
    EXPECT_EQ(tsxGNodeFindByName(&found, nullptr, "G/Joint,1"), 1);
    EXPECT_EQ(found, b);
    EXPECT_EQ(tsxGNodeFindByName(&found, g, "Joint"), 1);
    EXPECT_EQ(found, a);
    EXPECT_EQ(tsxGNodeFindByName(&found, nullptr, "G/Nope"), 0);
    EXPECT_EQ(found, nullptr);

    // Moving a node among siblings of the same name renames it.
    CtsxSobj into = g;
    tsxAddSubobj(&into, c);
    EXPECT_EQ(NodeName(c), "Joint,2");
}

TEST_F(SceneTest, GroupsCarryTheirDescendantsAndReparentingKeepsTheWorld) {
    CtsxSobj g = AddGroup("G");
    CtsxSobj cube = AddCube("Cube", 1, g);
    SetLoc(cube, 1, 0, 0);
    SetLoc(g, 0, 0, 2);
    ExpectVec(Loc(cube), 1, 0, 2); // carried by its group

    CtsxEuler3f quarter{0, 0, static_cast<float>(M_PI / 2)};
    tsxGNodeSetRotation(g, &quarter);
    ExpectVec(Loc(cube), 0, 1, 2);
    CtsxEuler3f e;
    tsxGNodeGetRotation(cube, &e);
    EXPECT_NEAR(e.z, M_PI / 2, 1e-5);

    CtsxVec3f size{2, 3, 4};
    tsxGNodeSetSize(cube, &size);
    CtsxTxmx3f pure, full, vx;
    tsxGNodeGetPureTransform(cube, &pure);
    tsxGNodeGetTransform(cube, &full);
    tsxPolyhGetVxTxmx(cube, &vx);
    for (int r = 0; r < 3; ++r) { // orthonormal rows, no size
        float len = 0;
        for (int k = 0; k < 3; ++k)
            len += pure.m[r * 4 + k] * pure.m[r * 4 + k];
        EXPECT_NEAR(len, 1, 1e-5);
    }
    EXPECT_NEAR(pure.m[3], 0, 1e-5);
    EXPECT_NEAR(pure.m[7], 1, 1e-5);
    for (int i = 0; i < 12; ++i)
        EXPECT_FLOAT_EQ(full.m[i], vx.m[i]);
    CtsxVec3f corner{1, 1, 1}, world;
    tsxTransformVect3f(&corner, &world, &vx);
    ExpectVec(world, -3, 3, 6); // size, then the group's quarter turn, then location

    // Re-parenting keeps where the node is and how it is turned.
    CtsxSobj other = AddGroup("Other");
    SetLoc(other, 10, 0, 0);
    CtsxSobj into = other;
    tsxAddSubobj(&into, cube);
    ExpectVec(Loc(cube), 0, 1, 2);
    tsxGNodeGetRotation(cube, &e);
    EXPECT_NEAR(e.z, M_PI / 2, 1e-5);
    CtsxVec3f s;
    tsxGNodeGetSize(cube, &s);
    ExpectVec(s, 2, 3, 4);

    // Put at the end of its own turned group, it keeps its transform bit for bit.
    const CtsxEuler3f turn{0.3f, -0.7f, 1.1f};
    tsxGNodeSetRotation(other, &turn);
    CtsxSobj last = AddNull("Last", other);
    const std::vector<std::uint8_t> before = SaveSceneToBytes();
    tsxAddSubobj(&into, cube);
    tsxAddSubobj(&into, last);
    EXPECT_EQ(SaveSceneToBytes(), before);
}

TEST_F(SceneTest, VisibilityIsExactlyOneAndFollowsGroups) {
    CtsxSobj g = AddGroup("G");
    CtsxSobj cube = AddCube("Cube", 1, g);
    EXPECT_EQ(tsxMNodeIsVisible(cube), 1);
    tsxMNodeSetInvisible(g);
    EXPECT_EQ(tsxMNodeIsVisible(cube), 0);
    tsxMNodeSetVisible(g);
    tsxMNodeSetInvisible(cube);
    EXPECT_EQ(tsxMNodeIsVisible(g), 1);
    EXPECT_EQ(tsxMNodeIsVisible(cube), 0);
}

TEST_F(SceneTest, PolyhedraSubDivisionAndMaterials) {
    CtsxPolyh cube = AddCube("Cube", 1);
    CtsxVec3f* vx = tsxPolyhGetVxArray(cube);
    ASSERT_NE(vx, nullptr);
    vx[0].x = -7; // writable, the host's own vertices
    EXPECT_EQ(tsxPolyhGetVxArray(cube)[0].x, -7);
    tsxPolyhMarkGeomChange(cube);
    tsxPolyhInvertFaceNormals(cube);
    tsxPolyhInvertFaceNormals(cube);
    EXPECT_EQ(PolyhInfo(cube).geomChanges, 1);
    EXPECT_EQ(PolyhInfo(cube).normalInversions, 2);
    EXPECT_EQ(PolyhFaces(cube)[0], (std::vector<int>{0, 3, 2, 1}));

    CtsxMaterial red = tsxMaterialCreate();
    CtsxColor colour{255, 0, 0, 255};
    tsxMaterialSetColor(red, &colour);
    tsxPolyhPaint(cube, red);
    EXPECT_EQ(PolyhMaterial(cube), red);
    EXPECT_EQ(MaterialColor(red).green, 0);

    CtsxPolyh sphere = tsxCreateSphere(8, 6, 0.1f);
    EXPECT_EQ(tsxSobjGetType(sphere), 201);
    EXPECT_EQ(tsxPolyhGetNbrVxs(sphere), 2 + 5 * 8);
    EXPECT_EQ(tsxGNodeGetParent(sphere), nullptr);
    for (int i = 0; i < tsxPolyhGetNbrVxs(sphere); ++i)
        EXPECT_NEAR(tsxMagnitude3f(&tsxPolyhGetVxArray(sphere)[i]), 0.1f, 1e-6);

    CtsxSobj sub = AddSubDiv("Sub", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}});
    tsxSubDivSetActiveLevel(sub, 0);
    EXPECT_EQ(tsxSubDivGetActiveLevel(sub), 0);
    tsxSubDivMarkGeomChange(tsxSubDivGetCagePtr(sub)); // the cage names its object
    tsxSubDivBuild(sub);
    EXPECT_EQ(SubDivInfo(sub).geomChanges, 1);
    EXPECT_EQ(SubDivInfo(sub).builds, 1);
    EXPECT_EQ(tsxSubDivGetCagePtr(cube), nullptr);
}

} // namespace

namespace {

// The rule names follow, by walking the siblings: the name itself when free,
// else ",k" with the lowest k free.
std::string NaiveUniqueName(CtsxSobj parent, const std::string& name, CtsxSobj self) {
    auto taken = [&](const std::string& candidate) {
        for (CtsxSobj c = tsxGNodeGetFirstChild(parent); c; c = tsxGNodeGetNext(c))
            if (c != self && NodeName(c) == candidate) return true;
        return false;
    };
    if (!taken(name)) return name;
    for (int k = 1;; ++k)
        if (!taken(name + "," + std::to_string(k))) return name + "," + std::to_string(k);
}

} // namespace

TEST_F(SceneTest, NamesStayUniqueThroughRandomCreationsRenamesMovesAndDeletions) {
    std::vector<CtsxSobj> groups{tsxGetScene(), AddGroup("G"), AddGroup("H")};
    std::vector<CtsxSobj> objects;
    const char* bases[] = {"Bone", "Bone,1", "Bone,2", "Joint", "Bone,01", "Bone,x"};
    std::uint32_t seed = 12345;
    auto next = [&](std::uint32_t n) {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) % n;
    };
    for (int step = 0; step < 3000; ++step) {
        const std::string base = bases[next(6)];
        const std::uint32_t op = objects.empty() ? 0 : next(4);
        if (op == 0) {
            CtsxSobj parent = groups[next(3)];
            const std::string expected = NaiveUniqueName(parent, base, nullptr);
            CtsxSobj o = AddCube(base, 1, parent == tsxGetScene() ? nullptr : parent);
            ASSERT_EQ(NodeName(o), expected) << "step " << step;
            objects.push_back(o);
            continue;
        }
        const std::size_t i = next(static_cast<std::uint32_t>(objects.size()));
        CtsxSobj o = objects[i];
        if (op == 1) {
            const std::string expected = NaiveUniqueName(tsxGNodeGetParent(o), base, o);
            tsxGNodeSetName(o, base.c_str());
            ASSERT_EQ(NodeName(o), expected) << "step " << step;
        } else if (op == 2) {
            CtsxSobj into = groups[1 + next(2)];
            if (tsxGNodeGetParent(o) == into) continue;
            const std::string expected = NaiveUniqueName(into, NodeName(o), o);
            tsxAddSubobj(&into, o);
            ASSERT_EQ(NodeName(o), expected) << "step " << step;
        } else {
            tsxSobjDelete(o);
            objects.erase(objects.begin() + static_cast<std::ptrdiff_t>(i));
        }
    }
}
