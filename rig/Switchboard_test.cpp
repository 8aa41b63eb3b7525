#include "Switchboard.h"

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "ServicesTestEnv.h"
#include "TestPaths.h"
#include "TsxHelper.h"

namespace vel {
namespace {

class SwitchboardTest : public ServicesTest {
protected:
    void SetUp() override {
        ServicesTest::SetUp();
        dir = fw::TestDir() / "switchboard";
        std::filesystem::create_directories(dir / "home");
        std::filesystem::create_directories(dir / "objects");
        HomeDir.clear();
    }
    void TearDown() override {
        std::filesystem::remove_all(dir);
        HomeDir.clear();
        ServicesTest::TearDown();
    }
    // A joint mesh file holding one cube of the given half size.
    void WriteJointMesh(const std::filesystem::path& folder, float half) {
        CtsxSobj cube = tsxhost::AddCube("Bar", half);
        std::string error;
        ASSERT_TRUE(tsxhost::SaveScene((folder / kJointMeshFile).string(), &error)) << error;
        tsxSobjDelete(cube);
    }
    // Half the extent of the object's first vertex along x (in its own space).
    static float FirstVertexX(CtsxPolyh p) {
        return tsxPolyhGetNbrVxs(p) > 0 ? tsxPolyhGetVxArray(p)[0].x : 0.0f;
    }

    std::filesystem::path dir;
};

TEST_F(SwitchboardTest, TheEditLockIsOneFlag) {
    BeginEdit();
    BeginEdit();
    EndEdit();
    EXPECT_FALSE(EditLocked());
    try {
        TEditScope edit;
        EXPECT_TRUE(EditLocked());
        throw std::runtime_error("boom");
    } catch (const std::runtime_error&) {
    }
    EXPECT_FALSE(EditLocked());
    // Refreshing ends an outer lock too.
    BeginEdit();
    RefreshViews();
    EXPECT_FALSE(EditLocked());
    EXPECT_TRUE(tsxhost::ViewsDirty());
}

TEST_F(SwitchboardTest, JointObjectComesFromTheHomeFolderFirst) {
    WriteJointMesh(dir / "home", 2);
    WriteJointMesh(dir / "objects", 3);
    HomeDir = (dir / "home").string() + "/";
    tsxhost::SetObjectFolder((dir / "objects").string());
    CtsxSobj joint = NewJointObject();
    ASSERT_NE(joint, nullptr);
    EXPECT_FLOAT_EQ(std::fabs(FirstVertexX(joint)), 2);
    EXPECT_EQ(GetNodeName(joint), "Joint");
    EXPECT_EQ(tsxGNodeGetParent(joint), tsxGetScene());
    EXPECT_VEC_NEAR(NodeSize(joint), 0.3f, 0.3f, 0.3f, 1e-6);
    EXPECT_EQ(tsxhost::NodeUnits(joint), 2);
    EXPECT_EQ(tsxhost::PolyhMaterial(joint), JointMaterial(false));
    EXPECT_TRUE(MainForm->TsObjectEvents->Watches(joint));
    EXPECT_FALSE(EditLocked());
}

TEST_F(SwitchboardTest, JointObjectFallsBackToTheBareNameThenToASphere) {
    WriteJointMesh(dir / "objects", 3);
    HomeDir = (dir / "home").string() + "/";
    tsxhost::SetObjectFolder((dir / "objects").string());
    CtsxSobj joint = NewJointObject();
    ASSERT_NE(joint, nullptr);
    EXPECT_FLOAT_EQ(std::fabs(FirstVertexX(joint)), 3);

    std::filesystem::remove(dir / "objects" / kJointMeshFile);
    tsxhost::SetCallLog(true);
    joint = NewJointObject();
    ASSERT_NE(joint, nullptr);
    EXPECT_EQ(Calls("tsxCreateSphere").size(), 1u);
    EXPECT_EQ(Calls("tsxCreateSphere")[0], "tsxCreateSphere(8, 6, 0.1)");
    CtsxVec3f v = tsxPolyhGetVxArray(joint)[0];
    EXPECT_NEAR(std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z), 0.1f, 1e-5);
    EXPECT_VEC_NEAR(NodeSize(joint), 0.3f, 0.3f, 0.3f, 1e-6);
    EXPECT_EQ(GetNodeName(joint), "Joint,1");
}

TEST_F(SwitchboardTest, JointMaterialsAreMadeOnceAndPaintingNothingOnlyLocks) {
    tsxhost::SetCallLog(true);
    PaintJoint(nullptr, true);
    EXPECT_TRUE(Calls("tsxMaterialCreate").empty());
    EXPECT_FALSE(EditLocked());

    CtsxPolyh cube = tsxhost::AddCube("C", 1);
    PaintJoint(cube, true);
    PaintJoint(cube, false);
    EXPECT_EQ(Calls("tsxMaterialCreate").size(), 2u);
    EXPECT_EQ(tsxhost::PolyhMaterial(cube), JointMaterial(false));
    const CtsxColor normal = tsxhost::MaterialColor(JointMaterial(false));
    const CtsxColor selected = tsxhost::MaterialColor(JointMaterial(true));
    EXPECT_EQ(normal.green, 0xFF);
    EXPECT_EQ(selected.red, 0xFF);
    EXPECT_EQ(selected.green, 0x00);
    EXPECT_EQ(selected.alpha, 0xFF);
}

TEST_F(SwitchboardTest, DeletesAndRegroupsSafely) {
    CtsxSobj gone = tsxhost::AddCube("Gone", 1);
    tsxSobjDelete(gone);
    EXPECT_NO_THROW(DeleteObject(gone));
    EXPECT_NO_THROW(DeleteObject(nullptr));
    EXPECT_FALSE(EditLocked());

    CtsxSobj group = tsxhost::AddGroup("Holder");
    CtsxSobj cube = tsxhost::AddCube("Cube", 1);
    TSkeleton* s = NewSkel();
    RegroupObject(cube, group);
    EXPECT_EQ(tsxGNodeGetParent(cube), group);
    EXPECT_FALSE(EditLocked());
    EXPECT_EQ(CurrentSkeleton, s); // the rig's own selection went unheard
    DeleteObject(cube);
    EXPECT_FALSE(tsxIsSobj(cube));
}

TEST_F(SwitchboardTest, TheEditorWindowsHearOfChangesInOrder) {
    using Calls = std::vector<std::string>;
    TSkeleton* s = NewSkel();
    Chain(s, {{0, 0, 0}, {1, 0, 0}});
    editor.Calls.clear();
    CurrentSkeletonChanged(); // no tool window: none of its companions either
    EXPECT_TRUE(editor.Calls.empty());
    editor.MakeToolWindow();
    editor.Calls.clear();
    CurrentSkeletonChanged();
    EXPECT_EQ(editor.Calls,
              (Calls{"ToolsUpdateControls", "ToolsUpdateHistory", "SkelTreeRebuildTree",
                     "DopeSheetRebuildGrid", "PosesRefreshPoseTree", "BlenderClearSliders"}));

    editor.Calls.clear();
    RefreshSkeletonViews(); // the weight painting is hidden
    editor.MeshRenderShown = true;
    OptAutoEditSkin = false;
    RefreshSkeletonViews();
    OptAutoEditSkin = true;
    RefreshSkeletonViews();
    const Calls refresh{"SkelTreeRefreshAll", "ToolsUpdateControls", "SkinPanelUpdateVolumeObjects",
                        "OnionPaintOverlay"};
    Calls three = refresh;
    three.insert(three.end(), refresh.begin(), refresh.end());
    three.insert(three.end(), refresh.begin(), refresh.end());
    three.push_back("EditBoneSkin");
    EXPECT_EQ(editor.Calls, three);

    editor.Calls.clear();
    tsxhost::Select(s->Joints.Items(1)->Node);
    EXPECT_EQ(editor.Find("SceneTreeSelectCurrentObject"), 0);
    EXPECT_EQ(editor.Calls.back(), "ToolsSelectionChanged");
    editor.Calls.clear();
    UndoCurrent(); // the views, then the history
    ASSERT_FALSE(editor.Calls.empty());
    EXPECT_EQ(editor.Calls.back(), "ToolsUpdateHistory");

    editor.Calls.clear();
    ForgetObject(s->Bag);
    ASSERT_EQ(editor.Calls.size(), 3u);
    EXPECT_EQ(editor.Calls[0], "MeshRenderHide");
    EXPECT_EQ(editor.Calls[1].rfind("SceneTreeRemoveObjectNode(", 0), 0u);
    EXPECT_EQ(editor.Calls[2].rfind("SkelTreeRemoveObjectNode(", 0), 0u);
    EXPECT_FALSE(editor.MeshRenderVisible());
}

TEST_F(SwitchboardTest, HomeDirIsTheModuleFolderOrEmpty) {
    HomeDir = "/program/"; // where the editor's start put it
    InitializeSwitchboardUnit();
    EXPECT_EQ(HomeDir, ""); // no module of that name in the test program
}

} // namespace
} // namespace vel
