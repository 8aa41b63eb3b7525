#include "EditorServices.h"

#include <set>
#include <string>
#include <vector>

#include "ServicesTestEnv.h"
#include "VelLib.h"

namespace vel {
namespace {

// Every operation of the seam, once.
void CallEveryOperation(TEditorServices& editor, CtsxSobj object) {
    editor.MakeToolWindow();
    CallFrameOperations(editor);
    CallWindowOperations(editor, object);
}

class EditorServicesTest : public ServicesTest {};

TEST_F(EditorServicesTest, WithNoEditorEveryOperationDoesNothing) {
    TSkeleton* s = NewSkel();
    InstallEditorServices(nullptr);
    TEditorServices& none = EditorServices();
    EXPECT_NE(&none, &editor);
    tsxhost::SetCallLog(true);
    CallEveryOperation(none, s->Bag);
    EXPECT_TRUE(tsxhost::CallLog().empty());
    EXPECT_EQ(none.ToolWindow(), nullptr);
    EXPECT_EQ(none.ToolsActivePage(), tpNone);
    EXPECT_FALSE(none.MeshRenderVisible());
    EXPECT_FLOAT_EQ(tsxAnimGetActiveTime(), 0);
}

TEST_F(EditorServicesTest, TheRigRunsWithoutAnEditor) {
    TSkeleton* s = NewSkel();
    JointAt(s, 0, 0, 0);
    InstallEditorServices(nullptr);
    editor.Calls.clear();
    tsxhost::ClickLeft();
    tsxhost::ClickRight();
    tsxhost::Deactivate();
    velSetupMode();
    velSetActiveFrame(3);
    velSetRecordFrame(3);
    velRecord();
    velSkeletonSetRecording(s->SkeletonObject, 1);
    CurrentSkeletonChanged();
    RefreshSkeletonViews();
    ForgetObject(s->Bag);
    EXPECT_FLOAT_EQ(tsxAnimGetActiveTime(), 0); // no frame controller
    EXPECT_TRUE(editor.Calls.empty());
    EXPECT_FALSE(EditLocked());
}

TEST_F(EditorServicesTest, TheInstalledEditorHearsEveryOperationUntilTakenOut) {
    TSkeleton* s = NewSkel();
    editor.Calls.clear();
    CallEveryOperation(EditorServices(), s->Bag);
    // The frame moves also come back through the host's time callback.
    std::set<std::string> heard;
    for (const std::string& c : editor.Calls)
        heard.insert(c.substr(0, c.find('(')));
    EXPECT_EQ(heard.size(), 29u);
    EXPECT_EQ(editor.Calls.front(), "MakeToolWindow");
    EXPECT_EQ(editor.Calls.back(), "EditBoneSkin");
    InstallEditorServices(nullptr);
    editor.Calls.clear();
    EditorServices().ShuttleRecordKeys();
    EXPECT_TRUE(editor.Calls.empty());
}

// ---- the main form's clicks ----

TEST_F(EditorServicesTest, ClicksMakeShowAndHideTheToolWindow) {
    tsxhost::Deactivate();
    EXPECT_TRUE(editor.Calls.empty()); // nothing to hide
    tsxhost::ClickRight();             // made, not shown, and the about box
    ASSERT_NE(editor.ToolWindow(), nullptr);
    EXPECT_FALSE(editor.ToolWindow()->Visible());
    EXPECT_EQ(editor.Calls, (std::vector<std::string>{"MakeToolWindow", "ToolsAbout1Click"}));
    tsxhost::ClickLeft();
    EXPECT_TRUE(editor.ToolWindow()->Visible());
    tsxhost::Deactivate();
    EXPECT_FALSE(editor.ToolWindow()->Visible());
    EXPECT_EQ(editor.CallsOf("MakeToolWindow").size(), 2u);
}

} // namespace
} // namespace vel
