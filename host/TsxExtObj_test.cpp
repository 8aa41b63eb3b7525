#include "TsxExtObj.h"

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "PlugTestEnv.h"
#include "TestPaths.h"
#include "TsOwnedForm.h"

namespace vel {
namespace {

class TExtObjForm : public TTsOwnedForm {
public:
    explicit TExtObjForm(const std::vector<std::string>& names) : TTsOwnedForm(nullptr) {
        LoadComponents([&] {
            fw::Create<TTsx>(this);
            for (const std::string& name : names) {
                Types.push_back(fw::Create<TTsxExtObj>(this));
                Types.back()->SetObjectTypeName(name);
            }
        });
    }
    std::vector<TTsxExtObj*> Types;
};

class TsxExtObjTest : public PlugFormTest<TExtObjForm> {
protected:
    TTsxExtObj& Make(const std::vector<std::string>& names = {"velBone"}) {
        form = std::make_unique<TExtObjForm>(names);
        return *form->Types.front();
    }
    // An object of the component in the scene at x = 5.
    static CtsxSobj Placed(TTsxExtObj& c) {
        CtsxSobj obj = c.CreateObject();
        tsxSceneAddObject(obj, 1);
        const CtsxVec3f at{5, 0, 0};
        tsxGNodeSetLocation(obj, &at);
        return obj;
    }
    static const tsxExtObjCallbacks& Table() { return ExtObjCallbackTable(); }
};

TEST_F(TsxExtObjTest, TypeNumbersMapToTheirOwnComponentWhateverTheirOrder) {
    tsxExtObjCallbacks none{};
    for (const char* name : {"early", "velSkeleton", "other"})
        tsxObjectDefine(1, name, &none, 0);
    auto& bone = Make({"velBone", "velSkeleton", "velPoseLibrary"});
    EXPECT_EQ(bone.SObjType(), 0);
    EXPECT_EQ(bone.CreateObject(), nullptr);
    Start();
    // velSkeleton gets the lower number the host already gave its name.
    const std::vector<int> expected = {1003, 1001, 1004};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(form->Types[i]->SObjType(), expected[i]);
        EXPECT_EQ(FindExtObjByType(form->Types[i]->CreateObject()), form->Types[i]);
    }
    for (int type : {999, 1000, 1002, 1005})
        EXPECT_EQ(FindExtObjByTypeNumber(type), nullptr);
    EXPECT_EQ(FindExtObjByType(tsxhost::AddCube("Box", 1)), nullptr);

    CtsxSobj obj = bone.CreateObject();
    char name[16];
    tsxGNodeGetName(obj, name, sizeof name);
    EXPECT_STREQ(name, "velBone");
    EXPECT_EQ(tsxGNodeGetParent(obj), nullptr);
    bone.SetAutoAddToScene(true);
    EXPECT_EQ(tsxGNodeGetParent(bone.CreateObject()), tsxGetScene());
}

TEST_F(TsxExtObjTest, DrawsTheCubeThroughTheNodeTransformWithThePenOfTheMode) {
    auto& c = Make();
    c.SetActivePen(e_tsxPEN_RED);
    c.SetInactivePen(e_tsxPEN_GREEN);
    c.SetActiveSubPen(e_tsxPEN_BLUE);
    c.SetInactiveSubPen(e_tsxPEN_CONTROL);
    Start();
    CtsxSobj obj = Placed(c);
    const CtsxVec3f twice{2, 2, 2};
    tsxGNodeSetSize(obj, &twice);
    tsxhost::Select(obj);
    tsxhost::IdleRedraw();
    const auto& lines = tsxhost::ViewLines(0);
    ASSERT_EQ(lines.size(), 6u);
    const std::size_t lengths[] = {5, 5, 2, 2, 2, 2};
    for (std::size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(lines[i].points.size(), lengths[i]);
        EXPECT_EQ(lines[i].pen, e_tsxPEN_RED);
    }
    EXPECT_FLOAT_EQ(lines[0].points[0].x, 3); // (-1, -1, -1) at size 2 around x = 5
    EXPECT_FLOAT_EQ(lines[0].points[0].z, -2);
    EXPECT_FLOAT_EQ(lines[1].points[2].x, 7); // (1, 1, 1)

    std::vector<tsxPEN> pens;
    c.OnGetWirePen = [&](fw::TObject* sender, CtsxSobj, tsxCOLOR_MODE, tsxPEN& pen) {
        EXPECT_EQ(sender, &c);
        pens.push_back(pen);
        pen = e_tsxPEN_GRID;
    };
    for (int mode : {0, 1, 2, 3, 4, 9})
        c.Draw(obj, mode, nullptr);
    EXPECT_EQ(pens, (std::vector<tsxPEN>{e_tsxPEN_RED, e_tsxPEN_RED, e_tsxPEN_BLUE, e_tsxPEN_GREEN,
                                         e_tsxPEN_CONTROL, e_tsxPEN_RED}));
    tsxAllViewsRefresh();
    tsxhost::IdleRedraw();
    EXPECT_EQ(tsxhost::ViewLines(0)[0].pen, e_tsxPEN_GRID);
}

TEST_F(TsxExtObjTest, RenderShapeAndVisibilityDecideWhatIsDrawn) {
    auto& c = Make();
    Start();
    CtsxSobj obj = Placed(c);
    CtsxRect rect{0, 0, 640, 480};
    auto draw = [&](int mode) {
        tsxAllViewsRefresh();
        tsxhost::IdleRedraw(); // the stand-in's mode 3: not selected
        return std::make_pair(Table().onDraw(obj, mode, &rect), tsxhost::ViewLines(0).size());
    };
    c.OnObjectRender = [](fw::TObject*, CtsxSobj, tsxCOLOR_MODE& mode, CtsxRect& r, bool& def) {
        EXPECT_EQ(r.right, 640);
        def = mode != e_tsxEDIT_INACTIVE;
        mode = e_tsxEDIT_INACTIVESUB;
    };
    EXPECT_EQ(draw(e_tsxEDIT_INACTIVE), std::make_pair(1, std::size_t{0}));
    c.OnObjectRender = nullptr;
    c.SetVisible(false);
    EXPECT_EQ(draw(e_tsxEDIT_ACTIVE), std::make_pair(0, std::size_t{0}));
    c.SetVisible(true);
    tsxMNodeSetInvisible(obj);
    EXPECT_EQ(draw(e_tsxEDIT_ACTIVE), std::make_pair(0, std::size_t{0}));
    tsxMNodeSetVisible(obj);
    c.OnGetVectorObject = [](fw::TObject*, CtsxSobj, PtsxVectorObject& s) { s = nullptr; };
    EXPECT_EQ(draw(e_tsxEDIT_ACTIVE), std::make_pair(1, std::size_t{0}));
    CtsxBBox3f box;
    EXPECT_EQ(Table().onBounds(obj, &box, nullptr), -1); // no shape, nothing to bound
}

TEST_F(TsxExtObjTest, BoundsOfTheShape) {
    auto& c = Make();
    Start();
    CtsxSobj obj = c.CreateObject();
    CtsxBBox3f box;
    ASSERT_EQ(Table().onBounds(obj, &box, nullptr), 0);
    EXPECT_EQ(box.min.x, -1);
    EXPECT_EQ(box.min.z, -1);
    EXPECT_EQ(box.max.y, 1);
    // The extra matrix applies after the node's: scale 2 of a cube at x = 5
    // spans 8 to 12, not 3 to 7.
    const CtsxVec3f at{5, 0, 0};
    tsxGNodeSetLocation(obj, &at);
    CtsxTxmx3f extra{{2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 2, 10}};
    ASSERT_EQ(Table().onBounds(obj, &box, &extra), 0);
    EXPECT_FLOAT_EQ(box.min.x, 8);
    EXPECT_FLOAT_EQ(box.max.x, 12);
    EXPECT_FLOAT_EQ(box.max.z, 12);

    c.OnGetBounds = [](fw::TObject*, CtsxSobj, const CtsxTxmx3f& m, CtsxBBox3f& out) {
        out.min = out.max = {m.m[3], m.m[7], m.m[11]};
    };
    ASSERT_EQ(Table().onBounds(obj, &box, &extra), 0);
    EXPECT_FLOAT_EQ(box.max.x, 10);
    tsxhost::SetMainViewHwnd(nullptr);
    EXPECT_EQ(Table().onBounds(obj, &box, &extra), -1);
    tsxhost::SetMainViewHwnd(reinterpret_cast<void*>(0x1000));
    c.SetVisible(false);
    box.min.x = 7;
    EXPECT_EQ(Table().onBounds(obj, &box, nullptr), -1);
    EXPECT_EQ(box.min.x, 7);
}

TEST_F(TsxExtObjTest, CallbacksRaiseTheirEventsOnlyWhenTheyMay) {
    auto& c = Make();
    std::vector<std::string> log;
    auto file = [&](const char* name, std::int32_t answer) {
        return [&log, name, answer](CtsxSobj, CtsxFILE) {
            log.push_back(name);
            return answer;
        };
    };
    c.OnReadBinary = file("readBinary", 10);
    c.OnReadAscii = file("readAscii", 11);
    c.OnWriteBinary = file("writeBinary", 12);
    c.OnWriteAscii = file("writeAscii", 13);
    c.OnObjectDelete = [&](fw::TObject*, CtsxSobj) { log.push_back("delete"); };
    c.OnTransform = [&](fw::TObject*, CtsxSobj, CtsxTxmx3f& m, std::uint16_t flags) {
        m.m[3] = flags;
    };
    c.OnGeometryChanged = [&](fw::TObject*, CtsxSobj, tsxOBJECT_CHANGE k) {
        log.push_back("geometry " + std::to_string(k));
    };
    c.OnObjectClone = [](fw::TObject*, CtsxSobj, CtsxSobj, std::int32_t& r) { r = 5; };
    c.OnSetOwner = [](fw::TObject*, CtsxSobj, CtsxSobj p, std::int32_t& r) { r = p ? 8 : 9; };
    Start();
    CtsxSobj obj = c.CreateObject();
    const int answers[] = {
        Table().onFileIO(obj, nullptr, 0, 0), Table().onFileIO(obj, nullptr, 0, 1),
        Table().onFileIO(obj, nullptr, 1, 0), Table().onFileIO(obj, nullptr, 1, 1),
        Table().onFileIO(obj, nullptr, 2, 0)};
    EXPECT_EQ(std::vector<int>(std::begin(answers), std::end(answers)),
              (std::vector<int>{10, 11, 12, 13, 0}));
    CtsxTxmx3f m{};
    EXPECT_EQ(Table().onTransform(obj, &m, 42), 0);
    EXPECT_EQ(m.m[3], 42);
    EXPECT_EQ(Table().onGeomChanged(obj, 2), 0);
    EXPECT_EQ(Table().onClone(obj, obj), 5);
    EXPECT_EQ(Table().onSetOwner(obj, nullptr), 9);
    EXPECT_EQ(Table().version, 3);
    EXPECT_EQ(Table().answerTrue(), 1);
    EXPECT_EQ(Table().answerFalse(), 0);
    tsxhost::SetMainViewHwnd(nullptr); // the host starting up or going down
    Table().onTransform(obj, &m, 7);
    Table().onGeomChanged(obj, 1);
    tsxhost::Delete(obj);
    tsxhost::SetMainViewHwnd(reinterpret_cast<void*>(0x1000));
    tsxhost::Delete(c.CreateObject());
    EXPECT_EQ(m.m[3], 42);
    EXPECT_EQ(log, (std::vector<std::string>{"readBinary", "readAscii", "writeBinary", "writeAscii",
                                             "geometry 2", "delete"}));
    // Objects not ours, gone, or none: nothing done.
    CtsxSobj gone = c.CreateObject();
    tsxSobjDelete(gone);
    for (CtsxSobj o : {tsxhost::AddCube("Box", 1), gone, static_cast<CtsxSobj>(nullptr)}) {
        EXPECT_EQ(Table().onClone(o, o), 0);
        EXPECT_EQ(Table().onDraw(o, 1, nullptr), 0);
        EXPECT_EQ(Table().onFileIO(o, nullptr, 0, 0), 0);
    }
}

TEST_F(TsxExtObjTest, SceneFilesCarryTheRecordAndFreedComponentsAreForgotten) {
    auto& c = Make({"velBone", "velSkeleton"});
    c.OnWriteBinary = [](CtsxSobj, CtsxFILE fd) { return tsxFILEwrite("rec", 1, 3, fd); };
    std::string read;
    c.OnReadBinary = [&](CtsxSobj, CtsxFILE fd) {
        char buf[4] = {};
        const int n = tsxFILEread(buf, 1, 3, fd);
        read = buf;
        return n;
    };
    fw::Free(form->Types[1]); // before the number is known: its definition goes too
    Start();
    CtsxSobj obj = Placed(c);
    const std::string path = fw::TestPath("ext_obj_scene.tsxscene");
    std::string error;
    ASSERT_TRUE(tsxhost::SaveScene(path, &error)) << error;
    ASSERT_TRUE(tsxhost::LoadScene(path, &error)) << error;
    std::remove(path.c_str());
    EXPECT_EQ(read, "rec");

    obj = Placed(c);
    const int type = c.SObjType();
    form.reset();
    EXPECT_EQ(FindExtObjByTypeNumber(type), nullptr);
    tsxhost::IdleRedraw(); // reaches no freed component
    tsxhost::Delete(obj);
}

} // namespace
} // namespace vel
