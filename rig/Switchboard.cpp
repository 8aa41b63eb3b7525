#include "Switchboard.h"

#include <filesystem>
#include <system_error>

#include "EditorServices.h"
#include "MainForm.h"
#include "SkelMgr.h"
#include "Skeleton.h"
#include "SkeletonState.h"
#include "TsxHelper.h"
#include "Types.h"

namespace vel {

TSkeleton* CurrentSkeleton = nullptr;
std::string HomeDir;
bool SetupMode = false;
bool SettingFrame = false;
bool OptShowSelectedSkelOnly = false;
bool OptHideAttached = false;
bool OptHideUnattached = false;
bool OptAutoEditSkin = true;

namespace {

CtsxMaterial NormalJointMaterial = nullptr;
CtsxMaterial SelectedJointMaterial = nullptr;
std::uint64_t Edits = 0;
int Entries = 0;

void LeaveRig() {
    --Entries;
}

void RefreshHistory() {
    EditorServices().ToolsUpdateHistory();
}

// A new object of the component's type, added to the scene.
CtsxSobj NewExtObject(TTsxExtObj* TMainForm::*component) {
    TEditScope edit;
    if (!MainForm || !(MainForm->*component)) return nullptr;
    CtsxSobj object = (MainForm->*component)->CreateObject();
    if (object) tsxSceneAddObject(object, 1);
    return object;
}

bool FileExists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
}

} // namespace

void InitializeSwitchboardUnit() {
    std::string folder;
    GetModuleDirectory(kModuleFileName, folder);
    HomeDir = folder;
}

// ---- lock and refresh ----

void BeginEdit() {
    if (MainForm) MainForm->LockRedraw();
}

void EndEdit() {
    ++Edits;
    if (MainForm) MainForm->UnlockRedraw();
}

std::uint64_t EditCount() {
    return Edits;
}

bool EditLocked() {
    return MainForm && MainForm->EditLocked();
}

// ---- entries into the rig ----

fw::TScopeExit<void (*)()> EnterRig() {
    return fw::EnterScope([] { ++Entries; }, &LeaveRig);
}

bool OutermostEntry() {
    return Entries + fw::HandlerDepth() <= 1;
}

void RefreshViews() {
    TEditScope edit;
    TEditorServices& editor = EditorServices();
    editor.SkinPanelUpdateVolumeObjects();
    editor.OnionPaintOverlay();
    tsxAllViewsRefresh();
}

void RefreshSkeletonViews() {
    TEditorServices& editor = EditorServices();
    editor.SkelTreeRefreshAll();
    editor.ToolsUpdateControls();
    RefreshViews();
    if (OptAutoEditSkin && editor.MeshRenderVisible()) editor.EditBoneSkin();
}

void CurrentSkeletonChanged() {
    if (CurrentSkeleton && CurrentSkeleton->UndoStates.empty()) PushUndo("Rest Pose", false);
    TEditorServices& editor = EditorServices();
    if (!editor.ToolWindow()) return;
    editor.ToolsUpdateControls();
    editor.ToolsUpdateHistory();
    editor.SkelTreeRebuildTree();
    editor.DopeSheetRebuildGrid();
    editor.PosesRefreshPoseTree();
    editor.BlenderClearSliders();
    if (OptShowSelectedSkelOnly) ShowCurrentSkeletonOnly();
}

// ---- selection ----

void WatchObject(CtsxSobj object) {
    if (MainForm && MainForm->TsObjectEvents) MainForm->TsObjectEvents->WatchObject(object);
}

void SelectObject(CtsxSobj object, int mode) {
    tsxSelectSobj(object, 0, mode);
}

void SelectionChanged() {
    EditorServices().SceneTreeSelectCurrentObject();
    SyncCurrentSkeletonToObject(GetSelectedObjectOfType(TSX_TYPE_GROUP), true);
    SyncSelection();
}

void SelectionChangedQuiet() {
    SyncCurrentSkeletonToObject(GetSelectedObjectOfType(TSX_TYPE_GROUP), false);
    SyncSelection();
}

void SyncSelection() {
    if (CurrentSkeleton) CurrentSkeleton->SelectObject(GetSelectedObjectOfType(TSX_TYPE_GROUP));
    EditorServices().ToolsSelectionChanged();
}

void SafeSelect(CtsxSobj object, int mode) {
    {
        TEditScope edit;
        tsxSelectSobj(object, 0, mode);
    }
    SelectionChangedQuiet();
}

// ---- host object changes ----

void ObjectMoved(CtsxTxmx3f& matrix) {
    if (!CurrentSkeleton) return;
    TEditScope edit;
    CurrentSkeleton->ObjectMoved(GetSelectedObjectOfType(TSX_TYPE_GROUP), matrix);
}

void ForgetObjectRows(CtsxSobj object) {
    TEditorServices& editor = EditorServices();
    editor.SceneTreeRemoveObjectNode(object);
    editor.SkelTreeRemoveObjectNode(object);
}

void ForgetObject(CtsxSobj object) {
    EditorServices().MeshRenderHide();
    ForgetObjectRows(object);
}

void ObjectDestroyed(CtsxSobj object) {
    ForgetObject(object);
    HandleObjectDestroyed(object);
}

void DeleteObject(CtsxSobj object) {
    if (!object) return;
    TEditScope edit;
    SafeDeleteObject(object);
}

void RegroupObject(CtsxSobj object, CtsxSobj group) {
    TEditScope edit;
    tsxSelectSobj(object, 0, 1);
    tsxGroupRemoveCurrobj();
    // The host may write another group back here; that copy is ours to drop.
    CtsxSobj parent = group;
    tsxAddSubobj(&parent, object);
}

// ---- undo ----

void PushUndo(const std::string& name, bool moved) {
    if (!CurrentSkeleton) return;
    ResetAttachedUndo();
    CurrentSkeleton->PushUndoState(name, moved);
    RefreshHistory();
}

void UndoCurrent() {
    if (!CurrentSkeleton) return;
    CurrentSkeleton->Undo();
    RefreshHistory();
}

void RedoCurrent() {
    if (!CurrentSkeleton) return;
    CurrentSkeleton->Redo();
    RefreshHistory();
}

void ResetUndo() {
    if (!CurrentSkeleton) return;
    CurrentSkeleton->ClearUndo();
    CurrentSkeleton->PushUndoState("Rest Pose", false);
    RefreshHistory();
}

// ---- factories ----

CtsxSobj NewBoneObject() {
    return NewExtObject(&TMainForm::TsxBoneExtObj);
}

CtsxSobj NewTeeBoneObject() {
    return NewExtObject(&TMainForm::TeeBoneExtObj);
}

CtsxSobj NewSkeletonObject() {
    return NewExtObject(&TMainForm::SkeletonExtObj);
}

CtsxSobj NewPoseLibObject() {
    return NewExtObject(&TMainForm::PoseLibExtObj);
}

CtsxSobj NewJointMarker() {
    TEditScope edit;
    if (!MainForm || !MainForm->JointExtObj) return nullptr;
    CtsxSobj object = MainForm->JointExtObj->CreateObject();
    if (!object) return nullptr;
    const CtsxVec3f size{0.3f, 0.3f, 0.3f};
    tsxGNodeSetSize(object, &size);
    tsxSceneAddObject(object, 1);
    return object;
}

CtsxSobj NewJointObject() {
    TEditScope edit;
    CtsxSobj object = nullptr;
    const std::string path = HomeDir + kJointMeshFile;
    if (FileExists(path)) object = tsxObjectLoad(path.c_str());
    if (!object) object = tsxObjectLoad(kJointMeshFile);
    if (!object) object = tsxCreateSphere(8, 6, 0.1f);
    if (!object) return nullptr;
    tsxGNodeSetUnits(object, 2);
    const CtsxVec3f size{0.3f, 0.3f, 0.3f};
    tsxGNodeSetSize(object, &size);
    tsxGNodeSetName(object, "Joint");
    // PaintJoint ends the lock (one flag), so the scene sees the add.
    PaintJoint(object, false);
    tsxSceneAddObject(object, 1);
    WatchObject(object);
    return object;
}

int BoneObjectType() {
    return MainForm && MainForm->TsxBoneExtObj ? MainForm->TsxBoneExtObj->SObjType() : 0;
}

int JointMarkerType() {
    return MainForm && MainForm->JointExtObj ? MainForm->JointExtObj->SObjType() : 0;
}

int TeeBoneObjectType() {
    return MainForm && MainForm->TeeBoneExtObj ? MainForm->TeeBoneExtObj->SObjType() : 0;
}

// ---- joint materials ----

namespace {

CtsxMaterial NewJointMaterial(const CtsxColor& color) {
    CtsxMaterial m = tsxMaterialCreate();
    if (!m) return nullptr;
    tsxMaterialSetColor(m, &color);
    tsxMaterialSetReflectionProps(m, 0.8f, 0.0f, 0.2f, 0.0f);
    return m;
}

} // namespace

void CreateJointMaterials() {
    // One the host refused is asked for again next time.
    if (!NormalJointMaterial) NormalJointMaterial = NewJointMaterial({0xFF, 0xFF, 0xFF, 0xFF});
    if (!SelectedJointMaterial) SelectedJointMaterial = NewJointMaterial({0xFF, 0x00, 0x00, 0xFF});
}

void PaintJoint(CtsxPolyh polyhedron, bool selected) {
    TEditScope edit;
    if (!polyhedron) return;
    if (!NormalJointMaterial || !SelectedJointMaterial) CreateJointMaterials();
    if (CtsxMaterial m = selected ? SelectedJointMaterial : NormalJointMaterial)
        tsxPolyhPaint(polyhedron, m);
}

CtsxMaterial JointMaterial(bool selected) {
    return selected ? SelectedJointMaterial : NormalJointMaterial;
}

namespace testing {

void ResetSwitchboardUnit() {
    CurrentSkeleton = nullptr;
    SetupMode = false;
    SettingFrame = false;
    OptShowSelectedSkelOnly = false;
    OptHideAttached = false;
    OptHideUnattached = false;
    OptAutoEditSkin = true;
    NormalJointMaterial = nullptr;
    SelectedJointMaterial = nullptr;
    if (MainForm) MainForm->UnlockRedraw();
}

} // namespace testing

} // namespace vel
