#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "TestPaths.h"
#include "TsxHost.h"
#include "tsxapi.h"

namespace {

using namespace tsxhost;

// Runs a call inside a draw of the views, where drawing is allowed.
std::function<long()> gDrawCall;
long gDrawAnswer = 0;
int DrawNow(CtsxSobj, int, CtsxRect*) {
    if (gDrawCall) gDrawAnswer = gDrawCall();
    return 0;
}

int gWriteAnswer = 0;
int WriteTwoInts(CtsxSobj, CtsxFILE fd, int direction, int) {
    if (direction != 1) return 0;
    const std::int32_t a = 1, b = 2;
    tsxFILEwrite(&a, 4, 1, fd);
    tsxFILEwrite(&b, 4, 1, fd);
    return gWriteAnswer;
}

class FaultsTest : public ::testing::Test {
protected:
    void SetUp() override {
        Reset();
        cube = AddCube("Cube", 1);
        tsxAnimSetActiveTime(0);
        tsxSobjSetFrame(cube, TSX_KIND_LOCATION);
    }
    CtsxSobj cube = nullptr;
};

// Each function that can fail, called once without faults and once with its
// first call failing: the answer it gives, as a number.
TEST_F(FaultsTest, EveryFaultableFunctionFailsAsTheHostDoes) {
    tsxExtObjCallbacks cb{};
    cb.onDraw = DrawNow;
    tsxDataDefinition def{};
    tsxAttrCallbacks attr{};
    const std::int16_t codes[1] = {9};
    const int type = tsxObjectDefine(1, "Thing", &cb, 0);
    tsxSceneAddObject(tsxObjectCreate(type), 1);
    const int tag = tsxDataDefine(1, "Tag", &def, 4);
    tsxSobjCreateData(cube, tag);
    CtsxSobj subdiv = AddSubDiv("Cage", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}});
    const std::string file = fw::TestPath("faults.scene");
    ASSERT_TRUE(SaveScene(file, nullptr));
    CtsxFrame key = tsxSobjGetFrame(cube, TSX_KIND_LOCATION, 0, 0);
    tsxhost::Select(cube);
    float buffer[16] = {};
    CtsxFILE in = OpenReadFile(std::vector<std::uint8_t>(64, 1));
    CtsxFILE out = OpenWriteFile();
    CtsxSobj found = cube;
    CtsxFrame copy = key;
    const CtsxTxmx3f m{{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0}};
    const std::int32_t indices[3] = {0, 1, -1};
    SetViewCount(1); // one draw for each redraw
    auto inDraw = [&](std::function<long()> call) {
        gDrawCall = std::move(call);
        gDrawAnswer = -1;
        tsxAllViewsRefresh();
        IdleRedraw();
        gDrawCall = nullptr;
        return gDrawAnswer;
    };
    auto lines = [&] {
        return long(
            tsxAViewDrawLinelist(&m, reinterpret_cast<CtsxVec3f*>(buffer), 2, indices, nullptr));
    };
    const std::map<std::string, std::function<long()>> calls = {
        {"tsxAnimCreateAttribute",
         [&] { return tsxAnimCreateAttribute(1, "A", &attr, 4, codes, 2); }},
        {"tsxAViewDrawLinelist", [&] { return inDraw(lines); }},
        {"tsxCreateSphere", [&] { return long(tsxCreateSphere(8, 8, 1) != nullptr); }},
        {"tsxDataDefine", [&] { return long(tsxDataDefine(1, "Other", &def, 4)); }},
        {"tsxFILEread", [&] { return long(tsxFILEread(buffer, 4, 4, in)); }},
        {"tsxFILEwrite", [&] { return long(tsxFILEwrite(buffer, 4, 5, out)); }},
        {"tsxFrameCopy", [&] { return long(tsxFrameCopy(key, &copy)) + (copy != nullptr); }},
        {"tsxFrameCreate", [&] { return long(tsxFrameCreate(TSX_KIND_SIZE) != nullptr); }},
        {"tsxFrameGetData", [&] { return long(tsxFrameGetData(key, buffer)); }},
        {"tsxGetCurrentSelection", [&] { return long(tsxGetCurrentSelection() != nullptr); }},
        {"tsxGNodeFindByName",
         [&] { return long(tsxGNodeFindByName(&found, nullptr, "Cube")) + (found != nullptr); }},
        {"tsxIsSobj", [&] { return long(tsxIsSobj(cube)); }},
        {"tsxMaterialCreate", [&] { return long(tsxMaterialCreate() != nullptr); }},
        {"tsxMNodeIsVisible", [&] { return long(tsxMNodeIsVisible(cube)); }},
        {"tsxObjectCreate", [&] { return long(tsxObjectCreate(type) != nullptr); }},
        {"tsxObjectDefine", [&] { return long(tsxObjectDefine(1, "Other", &cb, 0)); }},
        {"tsxObjectLoad", [&] { return long(tsxObjectLoad(file.c_str()) != nullptr); }},
        {"tsxPolyhGetVxArray", [&] { return long(tsxPolyhGetVxArray(cube) != nullptr); }},
        {"tsxSobjCreateData", [&] { return long(tsxSobjCreateData(cube, tag) != nullptr); }},
        {"tsxSobjGetData", [&] { return long(tsxSobjGetData(cube, tag) != nullptr); }},
        {"tsxSobjGetFrame",
         [&] { return long(tsxSobjGetFrame(cube, TSX_KIND_LOCATION, 0, 0) != nullptr); }},
        {"tsxSobjGetInterpolatedData",
         [&] { return long(tsxSobjGetInterpolatedData(cube, TSX_KIND_LOCATION, 0, buffer)); }},
        {"tsxSubDivGetCagePtr", [&] { return long(tsxSubDivGetCagePtr(subdiv) != nullptr); }},
    };
    ASSERT_EQ(calls.size(), FaultableFunctions().size());
    // Half of four items read, half of five written.
    const std::map<std::string, long> partial = {{"tsxFILEread", 2}, {"tsxFILEwrite", 2}};
    for (const std::string& name : FaultableFunctions()) {
        ASSERT_TRUE(calls.count(name)) << name;
        ClearFaults();
        EXPECT_GT(calls.at(name)(), 0) << name;
        ASSERT_TRUE(SetFaults({{name}, 1, 0, 0}));
        const auto it = partial.find(name);
        EXPECT_EQ(calls.at(name)(), it == partial.end() ? 0 : it->second) << name;
        EXPECT_EQ(FaultLog(), std::vector<std::string>{name + " #1"});
    }
    EXPECT_EQ(buffer[2], 0.0f); // a short read fills the rest with zeros
    ClearFaults();
    std::remove(file.c_str());
    EXPECT_EQ(StaleUses(), 0);
}

TEST_F(FaultsTest, TheNthCallCountsOverTheChosenFunctions) {
    ASSERT_TRUE(SetFaults({{"tsxIsSobj", "tsxMNodeIsVisible"}, 3, 0, 0}));
    EXPECT_EQ(tsxIsSobj(cube), 1);
    EXPECT_EQ(tsxGNodeFindByName(&cube, nullptr, "Cube"), 1); // not chosen: not counted
    EXPECT_EQ(tsxMNodeIsVisible(cube), 1);
    EXPECT_EQ(tsxIsSobj(cube), 0);
    EXPECT_EQ(tsxIsSobj(cube), 1);
    EXPECT_EQ(FaultLog(), std::vector<std::string>{"tsxIsSobj #2"});
    // An unknown name sets no plan at all.
    EXPECT_FALSE(SetFaults({{"tsxIsSobj", "tsxGNodeSetName"}, 1, 0, 0}));
    EXPECT_EQ(tsxIsSobj(cube), 1);
    // Reset forgets the plan.
    ASSERT_TRUE(SetFaults({{}, 1, 0, 0}));
    Reset();
    cube = AddCube("Cube", 1);
    EXPECT_EQ(tsxIsSobj(cube), 1);
}

TEST_F(FaultsTest, ChancesRepeatWithTheirSeed) {
    auto run = [&](std::uint64_t seed) {
        SetFaults({{"tsxIsSobj"}, 0, 0.3, seed});
        std::string pattern;
        for (int i = 0; i < 200; ++i)
            pattern += tsxIsSobj(cube) ? '.' : 'x';
        return pattern;
    };
    const std::string a = run(7);
    EXPECT_EQ(run(7), a);
    EXPECT_NE(run(8), a);
    const auto failures = std::count(a.begin(), a.end(), 'x');
    EXPECT_GT(failures, 30);
    EXPECT_LT(failures, 90);
}

TEST_F(FaultsTest, AShortWriteFailsTheSaveAndASuccessAfterItIsCounted) {
    tsxExtObjCallbacks cb{};
    cb.onFileIO = WriteTwoInts;
    const int type = tsxObjectDefine(1, "Thing", &cb, 0);
    tsxSceneAddObject(tsxObjectCreate(type), 1);
    EXPECT_FALSE(SaveSceneToBytes().empty());

    SetFaults({{"tsxFILEwrite"}, 2, 0, 0});
    gWriteAnswer = 0; // claims success after its second write fell short
    std::string error;
    EXPECT_FALSE(SaveScene("/nonexistent-folder/never-written.scene", &error));
    EXPECT_EQ(error, "cannot write the records of Thing");
    EXPECT_EQ(SilentWriteFailures(), 1);

    SetFaults({{"tsxFILEwrite"}, 1, 0, 0});
    gWriteAnswer = -1; // reports the failure
    EXPECT_TRUE(SaveSceneToBytes().empty());
    EXPECT_EQ(SilentWriteFailures(), 0);
    ClearFaults();
    EXPECT_FALSE(SaveSceneToBytes().empty());
}

} // namespace
