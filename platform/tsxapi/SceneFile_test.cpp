#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "HostTestEnv.h"
#include "TestPaths.h"
#include "TsxHost.h"
#include "tsxapi.h"

namespace {

using namespace tsxhost;
namespace fs = std::filesystem;

std::vector<std::string> gLog;

// Extension record: int32 payload then a second int32 the reader may find missing.
int ExtFileIO(CtsxSobj obj, CtsxFILE fd, int direction, int format) {
    if (format != 0) return 0;
    std::int32_t v[2] = {42, 43};
    if (direction == 1) return tsxFILEwrite(v, 4, 2, fd);
    std::int32_t got[3] = {-1, -1, -1};
    int items = tsxFILEread(got, 4, 3, fd); // one more than the frame holds
    gLog.push_back("read " + NodeName(obj) + " " + std::to_string(items) + " " +
                   std::to_string(got[0]) + "," + std::to_string(got[1]) + "," +
                   std::to_string(got[2]));
    if (NodeName(obj) == "Maker,1") { // a read slot may create objects
        CtsxSobj made = AddCube("Made", 1);
        (void)made;
    }
    return 0;
}

int BlockFileIO(void* block, CtsxFILE fd, int mode) {
    if (mode == 1) {
        std::int32_t version = 100;
        tsxFILEwrite(&version, 4, 1, fd);
        return tsxFILEwrite(block, 8, 1, fd);
    }
    std::int32_t version = 0;
    tsxFILEread(&version, 4, 1, fd);
    return tsxFILEread(block, 8, 1, fd);
}

void OnGeneral(int cls, void* data) {
    gLog.push_back("general " + std::to_string(cls) + ":" +
                   std::to_string(static_cast<tsxEventGeneralData*>(data)->code));
}

int Stub() {
    return 0;
}

class SceneFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        Reset();
        gLog.clear();
        dir = fw::TestDir() / "scenes";
        fs::create_directories(dir);
        Define();
    }
    void TearDown() override { fs::remove_all(dir); }
    // What the plug-in does at start-up, again after every Reset.
    void Define() {
        table = tsxExtObjCallbacks{3,       nullptr, nullptr, ExtFileIO, nullptr, nullptr,
                                   nullptr, nullptr, nullptr, nullptr,   nullptr};
        type = tsxObjectDefine(1, "velBone", &table, 0);
        def = tsxDataDefinition{3, 0, nullptr, BlockFileIO};
        tag = tsxDataDefine(1, "Vel_j_1", &def, 8);
        attrCb = tsxAttrCallbacks{0, 0, Stub, Stub, nullptr};
        const std::int16_t codes[1] = {9};
        stiff = tsxAnimCreateAttribute(1, "Stiff", &attrCb, 4, codes, 2);
        tsxRegisterEventCallback(TSX_EVENT_GENERAL, OnGeneral, 1);
    }
    std::string Path(const std::string& name) const { return (dir / name).string(); }
    // A scene with one of everything the file keeps.
    void Build() {
        CtsxSobj g = AddGroup("Skeleton");
        CtsxVec3f p{1, 2, 3};
        tsxGNodeSetLocation(g, &p);
        CtsxSobj cube = AddCube("Mesh", 0.5f, g);
        CtsxVec3f size{2, 2, 2};
        tsxGNodeSetSize(cube, &size);
        tsxMNodeSetInvisible(cube);
        CtsxMaterial m = AddMaterial(CtsxColor{255, 0, 0, 255});
        tsxPolyhPaint(cube, m);
        CtsxSobj bone = tsxObjectCreate(type);
        tsxGNodeSetName(bone, "Bone");
        CtsxSobj into = g;
        tsxAddSubobj(&into, bone);
        auto* block = static_cast<std::int32_t*>(tsxSobjCreateData(bone, tag));
        block[0] = 7, block[1] = 8;
        CtsxFrame f = tsxFrameCreate(stiff);
        float s = 0.25f;
        tsxFrameSetData(f, &s);
        tsxFrameSetSplineParameters(f, -1, 0, 0);
        tsxSobjInsertFrame(bone, f, 0, 12);
        tsxSobjSetFrame(g, TSX_KIND_LOCATION);
        AddSubDiv("Sub", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}});
    }
    std::vector<std::uint8_t> Bytes(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    void Write(const std::string& path, const std::vector<std::uint8_t>& b) {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
    }
    fs::path dir;
    tsxExtObjCallbacks table{};
    tsxDataDefinition def{};
    tsxAttrCallbacks attrCb{};
    int type = 0, tag = 0, stiff = 0;
};

TEST_F(SceneFileTest, SaveAndLoadKeepEverything) {
    Build();
    std::string error;
    ASSERT_TRUE(SaveScene(Path("a.scn"), &error)) << error;
    EXPECT_EQ(gLog, std::vector<std::string>{"general 3:6"});

    Reset();
    Define();
    gLog.clear();
    ASSERT_TRUE(LoadScene(Path("a.scn"), &error)) << error;
    EXPECT_EQ(gLog,
              (std::vector<std::string>{"general 3:2", "read Bone 2 42,43,0", "general 3:4"}));

    CtsxSobj g = FindByFullName("Skeleton");
    CtsxSobj cube = FindByFullName("Skeleton/Mesh");
    CtsxSobj bone = FindByFullName("Skeleton/Bone");
    CtsxSobj sub = FindByFullName("Sub");
    ASSERT_TRUE(g && cube && bone && sub);
    EXPECT_EQ(SceneNodes(), (std::vector<CtsxSobj>{g, cube, bone, sub}));
    EXPECT_EQ(tsxSobjGetType(g), TSX_TYPE_GROUP);
    EXPECT_EQ(tsxSobjGetType(bone), type);
    EXPECT_EQ(tsxSobjGetType(sub), TSX_TYPE_SUBDIV);
    CtsxVec3f v;
    tsxGNodeGetLocation(cube, &v);
    EXPECT_FLOAT_EQ(v.z, 3);
    tsxGNodeGetSize(cube, &v);
    EXPECT_FLOAT_EQ(v.x, 2);
    EXPECT_EQ(tsxMNodeIsVisible(cube), 0);
    EXPECT_EQ(tsxPolyhGetNbrVxs(cube), 8);
    EXPECT_EQ(MaterialColor(PolyhMaterial(cube)).green, 0);
    EXPECT_EQ(tsxPolyhGetNbrVxs(tsxSubDivGetCagePtr(sub)), 3);

    auto* block = static_cast<std::int32_t*>(tsxSobjGetData(bone, tag));
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(block[0], 7);
    EXPECT_EQ(block[1], 8);
    CtsxFrame f = tsxSobjGetFrame(bone, stiff, 0, 12);
    ASSERT_NE(f, nullptr);
    float s = 0, tension = 0, c = 1, b = 1;
    tsxFrameGetData(f, &s);
    tsxFrameGetSplineParameters(f, &tension, &c, &b);
    EXPECT_FLOAT_EQ(s, 0.25f);
    EXPECT_FLOAT_EQ(tension, -1);
    EXPECT_EQ(tsxSobjGetFirstTime(g, TSX_KIND_LOCATION), 0);
    EXPECT_EQ(StaleUses(), 0);
}

TEST_F(SceneFileTest, ASceneSavedLoadedAndSavedAgainGivesTheSameBytes) {
    Build(); // a red cube
    // Turned nodes keep their rotations to the bit.
    std::mt19937 random(5);
    std::uniform_real_distribution<float> angle(-3.1f, 3.1f);
    for (int i = 0; i < 16; ++i) {
        const CtsxEuler3f e{angle(random), angle(random), angle(random)};
        tsxGNodeSetRotation(AddNull("Turned"), &e);
    }
    const CtsxMaterial unused = AddMaterial(CtsxColor{200, 10, 10, 255});
    const CtsxMaterial green = AddMaterial(CtsxColor{0, 255, 0, 255});
    tsxPolyhPaint(tsxSubDivGetCagePtr(FindByFullName("Sub")), green);
    const std::vector<std::uint8_t> first = SaveSceneToBytes();
    // An object loaded outside the scene, with a material of its load.
    Write(Path("object.scn"), first);
    const CtsxSobj loose = tsxObjectLoad(Path("object.scn").c_str());
    ASSERT_NE(loose, nullptr);
    const CtsxMaterial looseRed = PolyhMaterial(tsxGNodeGetFirstChild(tsxGNodeGetFirstChild(loose)));
    ASSERT_EQ(MaterialColor(looseRed).red, 255);
    std::string error;
    std::vector<std::uint8_t> bytes = first;
    std::vector<CtsxMaterial> loaded;
    for (int i = 0; i < 8; ++i) {
        ASSERT_TRUE(LoadSceneFromBytes(bytes, &error)) << error;
        loaded.push_back(PolyhMaterial(FindByFullName("Skeleton/Mesh")));
        bytes = SaveSceneToBytes();
        ASSERT_EQ(bytes, first) << "cycle " << i;
    }
    // What was asked for through the API stays, and so does what a free
    // object uses; the materials of a replaced scene go with it.
    EXPECT_EQ(MaterialColor(unused).green, 10);
    EXPECT_EQ(MaterialColor(green).green, 255);
    EXPECT_EQ(MaterialColor(loaded.back()).red, 255);
    EXPECT_EQ(MaterialColor(loaded.front()).red, 0);
    EXPECT_EQ(MaterialColor(looseRed).red, 255);
    Delete(loose);
    ASSERT_TRUE(LoadSceneFromBytes(bytes, &error)) << error;
    EXPECT_EQ(MaterialColor(looseRed).red, 0);
}

TEST_F(SceneFileTest, MergeAddsObjectsAndReadSlotsMayCreateObjects) {
    CtsxSobj maker = tsxObjectCreate(type);
    tsxGNodeSetName(maker, "Maker");
    tsxSceneAddObject(maker, 1);
    std::string error;
    ASSERT_TRUE(SaveScene(Path("m.scn"), &error)) << error;
    gLog.clear();
    ASSERT_TRUE(MergeScene(Path("m.scn"), &error)) << error;
    EXPECT_EQ(gLog, (std::vector<std::string>{"read Maker,1 2 42,43,0", "general 3:7"}));
    ASSERT_EQ(SceneNodes().size(), 3u); // Maker, Maker,1 and what its reader made
    EXPECT_EQ(NodeName(SceneNodes()[2]), "Made");
}

TEST_F(SceneFileTest, ObjectLoadAnswersAFreeObjectAndResolvesBareNames) {
    AddCube("Bars", 1);
    std::string error;
    ASSERT_TRUE(SaveScene(Path("JointBars.cob"), &error)) << error;
    Reset();
    EXPECT_EQ(tsxObjectLoad("JointBars.cob"), nullptr);
    SetObjectFolder(dir.string());
    CtsxSobj obj = tsxObjectLoad("JointBars.cob");
    ASSERT_NE(obj, nullptr);
    EXPECT_EQ(NodeName(obj), "Bars");
    EXPECT_EQ(tsxGNodeGetParent(obj), nullptr);
    EXPECT_TRUE(SceneNodes().empty());
    EXPECT_EQ(tsxObjectLoad(Path("missing.cob").c_str()), nullptr);
}

TEST_F(SceneFileTest, DamagedFilesFailClearlyAndKeepTheOldScene) {
    Build();
    std::string error;
    ASSERT_TRUE(SaveScene(Path("good.scn"), &error));
    const auto good = Bytes(Path("good.scn"));
    const auto before = SceneNodes();
    gLog.clear();

    // Every truncation fails before the scene is touched.
    for (std::size_t n = 0; n < good.size(); n += 3) {
        Write(Path("bad.scn"), std::vector<std::uint8_t>(good.begin(), good.begin() + n));
        error.clear();
        EXPECT_FALSE(LoadScene(Path("bad.scn"), &error)) << n;
        EXPECT_FALSE(error.empty());
    }
    EXPECT_TRUE(gLog.empty());
    EXPECT_EQ(SceneNodes(), before);

    auto corrupt = good;
    corrupt[0] = 'X';
    Write(Path("bad.scn"), corrupt);
    EXPECT_FALSE(LoadScene(Path("bad.scn"), &error));
    EXPECT_EQ(error, "not a scene file");

    corrupt = good;
    const std::uint32_t huge = 0x7FFFFFF0;
    std::memcpy(corrupt.data() + 16, &huge, 4); // the first record's length
    Write(Path("bad.scn"), corrupt);
    EXPECT_FALSE(LoadScene(Path("bad.scn"), &error));
    EXPECT_NE(error.find("damaged"), std::string::npos);

    EXPECT_FALSE(LoadScene(Path("nowhere.scn"), &error));
    EXPECT_NE(error.find("cannot open"), std::string::npos);
    EXPECT_EQ(SceneNodes(), before);
}

TEST_F(SceneFileTest, ByteFlipsNeverCrash) {
    Build();
    std::string error;
    ASSERT_TRUE(SaveScene(Path("good.scn"), &error));
    const auto good = Bytes(Path("good.scn"));
    std::uint32_t seed = 12345;
    for (int round = 0; round < 200; ++round) {
        auto b = good;
        for (int k = 0; k < 4; ++k) {
            seed = seed * 1664525u + 1013904223u;
            b[(seed >> 8) % b.size()] ^= static_cast<std::uint8_t>(seed >> 24 | 1);
        }
        Write(Path("flip.scn"), b);
        LoadScene(Path("flip.scn"), &error); // either loads or refuses
    }
    SUCCEED();
}

TEST_F(SceneFileTest, HostFilesReadWholeItemsAndZeroFillPastTheEnd) {
    CtsxFILE w = OpenWriteFile();
    const char text[] = "abcdef";
    EXPECT_EQ(tsxFILEwrite(text, 2, 3, w), 3);
    EXPECT_EQ(tsxFILEread(nullptr, 1, 1, w), 0);
    const auto bytes = FileBytes(w);
    CloseFile(w);
    EXPECT_EQ(bytes.size(), 6u);

    CtsxFILE r = OpenReadFile(bytes);
    char buf[8];
    std::memset(buf, 'x', sizeof buf);
    EXPECT_EQ(tsxFILEread(buf, 4, 2, r), 1); // one whole item, then zeros
    EXPECT_EQ(std::string(buf, 4), "abcd");
    EXPECT_EQ(std::string(buf + 4, 4), std::string(4, '\0'));
    EXPECT_EQ(tsxFILEread(buf, 2, 1, r), 1);
    EXPECT_EQ(tsxFILEread(buf, 1, 1, r), 0);
    EXPECT_EQ(buf[0], 0);
    EXPECT_EQ(tsxFILEwrite(text, 1, 1, r), 0);
    CloseFile(r);
    EXPECT_EQ(tsxFILEread(buf, 1, 1, r), 0); // closed: stale
    EXPECT_EQ(StaleUses(), 1);
}

} // namespace
