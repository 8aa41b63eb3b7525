#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "HostTestEnv.h"
#include "TestPaths.h"
#include "TsxHost.h"
#include "tsxapi.h"

namespace {

using namespace tsxhost;

std::vector<std::string> gLog;
CtsxSobj gDeleteAlso = nullptr;
bool gConsumeMove = false;

void OnSelection() {
    CtsxSobj sel = tsxGetCurrentSelection();
    gLog.push_back("selection " + (sel ? NodeName(sel) : std::string()));
}
void OnDestroy(CtsxSobj obj) {
    gLog.push_back("destroyed " + NodeName(obj));
    if (gDeleteAlso) {
        CtsxSobj other = gDeleteAlso;
        gDeleteAlso = nullptr;
        tsxSobjDelete(other);
        tsxSobjDelete(obj); // again, from inside its own callback
    }
}
void OnNotify(CtsxSobj obj, tsxObjectNotifyMessage* msg) {
    gLog.push_back("notify " + NodeName(obj) + " " + std::to_string(msg->code) + "," +
                   std::to_string(msg->param));
}
int OnExtDelete(CtsxSobj obj) {
    gLog.push_back("ext delete " + NodeName(obj) + " valid " + std::to_string(tsxIsSobj(obj)));
    return 0;
}
void OnMove(CtsxTxmx3f* m, int16_t) {
    gLog.push_back("move " + std::to_string(m->m[3]));
    if (gConsumeMove) *m = CtsxTxmx3f{{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0}};
}
int OnDraw(CtsxSobj obj, int mode, CtsxRect*) {
    static CtsxVec3f vx[2] = {{0, 0, 0}, {1, 0, 0}};
    static int32_t idx[] = {0, 1, -1};
    gLog.push_back("draw " + NodeName(obj) + " mode " + std::to_string(mode));
    tsxAViewSetPen(e_tsxPEN_GREEN);
    CtsxTxmx3f m;
    tsxGNodeGetTransform(obj, &m);
    CtsxRect r{};
    return tsxAViewDrawLinelist(&m, vx, 2, idx, &r);
}
int gClicks = 0;
int OnLeftClick() {
    ++gClicks;
    return 1;
}

tsxExtObjCallbacks Table() {
    return tsxExtObjCallbacks{3,       OnExtDelete, nullptr, nullptr, OnDraw, nullptr,
                              nullptr, nullptr,     nullptr, nullptr, nullptr};
}

class EventsTest : public ::testing::Test {
protected:
    void SetUp() override {
        Reset();
        gLog.clear();
        gDeleteAlso = nullptr;
        gConsumeMove = false;
        gClicks = 0;
        tsxSelectionChangedCB(1, OnSelection);
        tsxOnDestroyCB(1, OnDestroy);
        tsxCurrobjMoveCB(1, OnMove);
        table = Table();
        type = tsxObjectDefine(1, "velThing", &table, 0);
    }
    CtsxSobj NewThing(const std::string& name) {
        CtsxSobj o = tsxObjectCreate(type);
        tsxGNodeSetName(o, name.c_str());
        tsxSceneAddObject(o, 1);
        return o;
    }
    tsxExtObjCallbacks table{};
    int type = 0;
};

TEST_F(EventsTest, SelectionCallbackSeesTheNewSelection) {
    CtsxSobj a = AddCube("A", 1);
    tsxSelectSobj(a, 0, 1);
    Select(nullptr);
    EXPECT_EQ(gLog, (std::vector<std::string>{"selection A", "selection "}));
}

TEST_F(EventsTest, DeleteNotifiesThenDestroysThenCallsTheSlotWhileTheHandleIsValid) {
    CtsxSobj thing = NewThing("T");
    tsxRegisterNotifyCallback(thing, OnNotify, 1);
    tsxRegisterNotifyCallback(thing, OnNotify, 1); // once only
    EXPECT_EQ(WatcherCount(thing), 1);
    tsxSobjDelete(thing);
    EXPECT_EQ(gLog,
              (std::vector<std::string>{"notify T 3,0", "destroyed T", "ext delete T valid 1"}));
    EXPECT_EQ(tsxIsSobj(thing), 0);
}

TEST_F(EventsTest, DeletingAGroupDeletesItsDescendantsAndToleratesNestedDeletes) {
    CtsxSobj g = AddGroup("G");
    CtsxSobj inner = AddCube("Inner", 1, g);
    CtsxSobj other = AddCube("Other", 1);
    CtsxSobj keep = AddCube("Keep", 1);
    tsxSelectSobj(inner, 0, 1);
    gLog.clear();
    gDeleteAlso = other;
    tsxSobjDelete(g);
    EXPECT_EQ(gLog, (std::vector<std::string>{"destroyed G", "destroyed Other", "destroyed Inner",
                                              "selection "}));
    EXPECT_EQ(tsxIsSobj(g), 0);
    EXPECT_EQ(tsxIsSobj(inner), 0);
    EXPECT_EQ(tsxIsSobj(other), 0);
    EXPECT_EQ(SceneNodes(), std::vector<CtsxSobj>{keep});
    EXPECT_EQ(StaleUses(), 0);
}

TEST_F(EventsTest, DragAsksThePluginFirstAndNavigationEndsIt) {
    CtsxSobj a = AddCube("A", 1);
    tsxRegisterNotifyCallback(a, OnNotify, 1);
    tsxSelectSobj(a, 0, 1);
    gLog.clear();
    const CtsxTxmx3f step{{1, 0, 0, 2, 0, 1, 0, 0, 0, 0, 1, 0}};
    BeginDrag();
    DragStep(step);
    DragStep(step);
    CtsxVec3f loc;
    tsxGNodeGetLocation(a, &loc);
    EXPECT_FLOAT_EQ(loc.x, 4);
    gConsumeMove = true;
    DragStep(step);
    EndDrag();
    tsxGNodeGetLocation(a, &loc);
    EXPECT_FLOAT_EQ(loc.x, 4); // the plug-in consumed the last step
    EXPECT_EQ(gLog, (std::vector<std::string>{"move 2.000000", "move 2.000000", "move 2.000000",
                                              "notify A 4,1"}));

    // Moves the plug-in makes through the API never end in a navigation notice.
    gLog.clear();
    CtsxVec3f to{0, 0, 0};
    tsxGNodeSetLocation(a, &to);
    EXPECT_TRUE(gLog.empty());
}

TEST_F(EventsTest, IdleRedrawCallsEveryDrawSlotOnlyForDirtyViews) {
    SetViewCount(2);
    CtsxSobj g = AddGroup("G");
    CtsxSobj a = NewThing("A");
    CtsxSobj b = NewThing("B");
    CtsxSobj into = g;
    tsxAddSubobj(&into, b);
    tsxSelectSobj(g, 0, 1);
    gLog.clear();
    EXPECT_EQ(IdleRedraw(), 2);
    EXPECT_EQ(gLog, (std::vector<std::string>{"draw B mode 2", "draw A mode 3", "draw B mode 2",
                                              "draw A mode 3"}));
    EXPECT_EQ(IdleRedraw(), 0);
    tsxAllViewsRefresh();
    EXPECT_TRUE(ViewsDirty());
    EXPECT_EQ(IdleRedraw(), 2);
    ASSERT_EQ(ViewLines(0).size(), 2u);
    EXPECT_EQ(ViewLines(0)[0].pen, e_tsxPEN_GREEN);

    // Outside the idle step nothing can be drawn.
    CtsxTxmx3f m{{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0}};
    CtsxVec3f vx[2] = {{0, 0, 0}, {1, 1, 1}};
    int32_t idx[] = {0, 1, -1};
    EXPECT_EQ(tsxAViewDrawLinelist(&m, vx, 2, idx, nullptr), 0);

    AddCube("Mesh", 2);
    const std::filesystem::path png = fw::TestPath("tsxhost_view.png");
    EXPECT_TRUE(RenderViewPng(0, png.string(), 64, 48));
    EXPECT_GT(std::filesystem::file_size(png), 0u);
    std::filesystem::remove(png);
    (void)a;
}

TEST_F(EventsTest, TheActiveViewsPictureShowsTheSceneWhereProjectSays) {
    SetPictureSize(80, 60);
    CtsxSobj cube = AddCube("Cube", 1);
    int w = 0, h = 0;
    ASSERT_TRUE(tsxAViewGetPicture(&w, &h, nullptr));
    EXPECT_EQ(w, 80);
    EXPECT_EQ(h, 60);
    std::vector<std::uint32_t> px(static_cast<std::size_t>(w * h), 0);
    ASSERT_TRUE(tsxAViewGetPicture(&w, &h, px.data()));
    // The front view (x right, z up): the cube's corners on its edges, its
    // middle and the picture's corner empty.
    auto pixel = [&](const CtsxVec3f& p) {
        float sx = -1, sy = -1;
        EXPECT_TRUE(tsxAViewProject(&p, &sx, &sy));
        const long ix = std::lround(sx), iy = std::lround(sy);
        EXPECT_TRUE(ix >= 0 && iy >= 0 && ix < w && iy < h);
        return px[static_cast<std::size_t>(iy * w + ix)];
    };
    auto at = [&](float x, float z) { return pixel(CtsxVec3f{x, -1, z}); };
    const std::uint32_t background = px[0];
    EXPECT_NE(at(-1, -1), background);
    EXPECT_NE(at(1, 1), background);
    EXPECT_NE(at(0, 1), background); // on the top edge
    EXPECT_EQ(at(0, 0), background);
    float x0, y0, x1, y1;
    const CtsxVec3f left{-1, 0, 0}, up{0, 0, 1};
    tsxAViewProject(&left, &x0, &y0);
    tsxAViewProject(&up, &x1, &y1);
    EXPECT_LT(x0, x1);
    EXPECT_LT(y1, y0); // up is towards the top row

    // Another view: the side view (y right, z up) of a moved cube.
    SetActiveView(2);
    const CtsxVec3f to{0, 5, 0};
    tsxGNodeSetLocation(cube, &to);
    ASSERT_TRUE(tsxAViewGetPicture(&w, &h, px.data()));
    EXPECT_NE(pixel(CtsxVec3f{0, 4, 1}), px[0]); // a corner, seen from the side
    EXPECT_EQ(pixel(CtsxVec3f{0, 5, 0}), px[0]);
    SetActiveView(7);
    EXPECT_FALSE(tsxAViewGetPicture(&w, &h, nullptr));
    EXPECT_FALSE(tsxAViewProject(&to, &x0, &y0));
}

TEST_F(EventsTest, AFacesVerticesComeInOrder) {
    CtsxPolyh quad = AddPolyhedron("Quad", {{0, 0, 0}, {1, 0, 0}, {1, 0, 1}, {0, 0, 1}},
                                   {{0, 1, 2, 3}, {2, 1, 0}});
    EXPECT_EQ(tsxPolyhGetNbrFaces(quad), 2);
    int32_t idx[4] = {-1, -1, -1, -1};
    EXPECT_EQ(tsxPolyhGetFaceVxs(quad, 0, idx, 4), 4);
    EXPECT_EQ(idx[3], 3);
    EXPECT_EQ(tsxPolyhGetFaceVxs(quad, 1, idx, 2), 3); // two copied, three told
    EXPECT_EQ(idx[0], 2);
    EXPECT_EQ(idx[1], 1);
    EXPECT_EQ(idx[2], 2);
    EXPECT_EQ(tsxPolyhGetFaceVxs(quad, 2, idx, 4), 0);
    EXPECT_EQ(tsxPolyhGetFaceVxs(quad, -1, idx, 4), 0);
    EXPECT_EQ(tsxPolyhGetNbrFaces(AddNull("N")), 0);
}

TEST_F(EventsTest, PluginControlVersionViewAndLookUps) {
    short first = 0, second = -1;
    tsxGetTsVersionNbrs(&first, &second);
    EXPECT_EQ(first, 650);
    EXPECT_EQ(second, 0);
    SetVersion(649, 3);
    tsxGetTsVersionNbrs(&first, &second);
    EXPECT_EQ(first, 649);
    EXPECT_NE(tsxGetMainViewHwnd(), nullptr);
    SetMainViewHwnd(nullptr);
    EXPECT_EQ(tsxGetMainViewHwnd(), nullptr);

    AttachPlugin(PluginEntries{nullptr, nullptr, OnLeftClick, nullptr, nullptr});
    tsxForceLeftClick(1);
    EXPECT_EQ(gClicks, 1);
    EXPECT_EQ(ClickLeft(), 1);
    ClickRight(); // no handler: nothing
    Reset();
    EXPECT_EQ(ClickLeft(), 0);

    EXPECT_EQ(LookupSymbol("tsxGetMainViewHwnd"), reinterpret_cast<void*>(&tsxGetMainViewHwnd));
    EXPECT_EQ(LookupSymbol("tsxNoSuchThing"), nullptr);
    FailLookup("tsxSubDivGetActiveLevel");
    EXPECT_EQ(LookupSymbol("tsxSubDivGetActiveLevel"), nullptr);
    EXPECT_NE(LookupSymbol("tsxSubDivSetActiveLevel"), nullptr);
}

TEST_F(EventsTest, CallLogIsOffUntilTurnedOn) {
    CtsxSobj a = AddCube("A", 1);
    tsxGNodeSetName(a, "B");
    EXPECT_TRUE(CallLog().empty());
    SetCallLog(true);
    tsxGNodeSetName(a, "Joint");
    tsxAnimGetActiveTime();
    ASSERT_EQ(CallLog().size(), 2u);
    EXPECT_NE(CallLog()[0].find("tsxGNodeSetName("), std::string::npos);
    EXPECT_NE(CallLog()[0].find("\"Joint\""), std::string::npos);
    EXPECT_EQ(CallLog()[1], "tsxAnimGetActiveTime()");
}

// The vector calls of a deformation log after their work: still once each,
// in call order, with a null argument as well, and the work is done.
TEST_F(EventsTest, VectorCallsLogInOrderWhateverTheirArguments) {
    SetCallLog(true);
    CtsxVec3f v{1, 2, 3}, p{};
    const CtsxTxmx3f m{{1, 0, 0, 5, 0, 1, 0, 0, 0, 0, 1, 0}};
    tsxTransformVect3f(&v, &p, &m);
    tsxMulScalar3f(&p, 2);
    tsxAddToVec3f(&p, &v);
    tsxMulScalar3f(nullptr, 2);
    tsxAddToVec3f(&p, nullptr);
    tsxTransformVect3f(&v, nullptr, &m);
    tsxAnimGetActiveTime();
    const std::vector<std::string> log = CallLog();
    ASSERT_EQ(log.size(), 7u);
    const char* names[] = {"tsxTransformVect3f(", "tsxMulScalar3f(", "tsxAddToVec3f(", "tsxMulScalar3f(",
                           "tsxAddToVec3f(", "tsxTransformVect3f(", "tsxAnimGetActiveTime("};
    for (std::size_t i = 0; i < log.size(); ++i)
        EXPECT_EQ(log[i].rfind(names[i], 0), 0u) << log[i];
    EXPECT_EQ(p.x, 13.0f);
    EXPECT_EQ(p.y, 6.0f);
    EXPECT_EQ(p.z, 9.0f);
}

int gCopies = 0;
int CopyBlock(void*, void*) {
    return ++gCopies;
}

TEST_F(EventsTest, DataBlocksAreZeroedBlocksOfTheDefinedSize) {
    tsxDataDefinition def{3, 0, CopyBlock, nullptr};
    int tag = tsxDataDefine(1, "Vel_j_1", &def, 100);
    EXPECT_NE(tag, 0);
    EXPECT_EQ(tsxDataDefine(1, "Vel_j_1", &def, 100), tag);
    CtsxSobj a = AddCube("A", 1);
    EXPECT_EQ(tsxSobjGetData(a, tag), nullptr);
    auto* block = static_cast<unsigned char*>(tsxSobjCreateData(a, tag));
    ASSERT_NE(block, nullptr);
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(block[i], 0);
    block[99] = 7;
    EXPECT_EQ(tsxSobjGetData(a, tag), block);
    EXPECT_EQ(tsxSobjCreateData(a, tag + 1), nullptr);
}

} // namespace
