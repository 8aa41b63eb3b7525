#include "EditorWindows.h"

#include <string>

#include "BlenderForm.h"
#include "DopeSheetForm.h"
#include "Forms.h"
#include "FrameControl.h"
#include "MeshRenderForm.h"
#include "Modules.h"
#include "OnionForm.h"
#include "PosesForm.h"
#include "SceneTreeForm.h"
#include "ShuttleForm.h"
#include "SkelTreeForm.h"
#include "SkinPanelForm.h"
#include "Switchboard.h"
#include "ToolsForm.h"

namespace vel {

namespace {

constinit TEditorWindows Windows;

bool HasPages() {
    return ToolsForm && ToolsForm->PageControl;
}

} // namespace

TEditorWindows& EditorWindows() {
    return Windows;
}

void InitializeEditorUnit() {
    InstallEditorServices(&Windows);
    const std::string program = fw::ModuleFileName(nullptr);
    const std::size_t slash = program.find_last_of('/');
    HomeDir = slash == std::string::npos ? std::string() : program.substr(0, slash + 1);
}

void FinalizeEditorUnit() {
    InstallEditorServices(nullptr);
}

// ---- tool window ----

TTsOwnedForm* TEditorWindows::ToolWindow() {
    return ToolsForm;
}

TTsOwnedForm* TEditorWindows::MakeToolWindow() {
    if (!ToolsForm) ToolsForm = fw::Application()->CreateForm<TToolsForm>();
    return ToolsForm;
}

void TEditorWindows::SetOpenOnAnimatePage(bool Value) {
    OpenOnAnimatePage = Value;
}

TToolsPage TEditorWindows::ToolsActivePage() {
    if (!HasPages()) return tpNone;
    const auto* page = ToolsForm->PageControl->ActivePage();
    if (page && page == ToolsForm->SetupSheet) return tpSetup;
    if (page && page == ToolsForm->AnimateSheet) return tpAnimate;
    return tpNone;
}

void TEditorWindows::SetToolsActivePage(TToolsPage Page) {
    if (!HasPages() || Page == tpNone) return;
    ToolsForm->PageControl->SetActivePage(Page == tpSetup ? ToolsForm->SetupSheet
                                                          : ToolsForm->AnimateSheet);
}

void TEditorWindows::ToolsPageControlChange() {
    if (HasPages()) ToolsForm->PageControlChange(nullptr);
}

void TEditorWindows::ToolsAbout1Click() {
    if (ToolsForm) ToolsForm->About1Click(nullptr);
}

void TEditorWindows::ToolsSelectionChanged() {
    if (ToolsForm) ToolsForm->SelectionChanged();
}

void TEditorWindows::ToolsUpdateControls() {
    if (ToolsForm) ToolsForm->UpdateControls();
}

void TEditorWindows::ToolsUpdateHistory() {
    if (ToolsForm) ToolsForm->UpdateHistory();
}

// ---- frame controller ----

void TEditorWindows::ActiveTimeChanged(float Time) {
    vel::ActiveTimeChanged(Time);
}

void TEditorWindows::MarkFrameDirty() {
    vel::MarkFrameDirty();
}

void TEditorWindows::SetActiveFrame(float Frame) {
    vel::SetActiveFrame(Frame);
}

void TEditorWindows::SetActiveFrameUpdating(float Frame) {
    vel::SetActiveFrameUpdating(Frame);
}

void TEditorWindows::UpdateIfFrameDirty() {
    vel::UpdateIfFrameDirty();
}

void TEditorWindows::ClearFrameDirty() {
    vel::FrameDirty = false;
}

// ---- trees ----

void TEditorWindows::SceneTreeRefreshTree() {
    if (SceneTreeForm) SceneTreeForm->RefreshTree();
}

void TEditorWindows::SceneTreeSelectCurrentObject() {
    if (SceneTreeForm) SceneTreeForm->SelectCurrentObject();
}

void TEditorWindows::SceneTreeRemoveObjectNode(CtsxSobj Object) {
    if (SceneTreeForm) SceneTreeForm->RemoveObjectNode(Object);
}

void TEditorWindows::SkelTreeRebuildTree() {
    if (SkelTreeForm) SkelTreeForm->RebuildTree();
}

void TEditorWindows::SkelTreeRefreshAll() {
    if (SkelTreeForm) SkelTreeForm->RefreshAll();
}

void TEditorWindows::SkelTreeRemoveObjectNode(CtsxSobj Object) {
    if (SkelTreeForm) SkelTreeForm->RemoveObjectNode(Object);
}

void TEditorWindows::PosesRefreshPoseTree() {
    if (PosesForm) PosesForm->RefreshPoseTree();
}

// ---- dope sheet, shuttle, blender, skin panel, onion skin ----

void TEditorWindows::DopeSheetRebuildGrid() {
    if (DopeSheetForm) DopeSheetForm->RebuildGrid();
}

void TEditorWindows::DopeGridInvalidate() {
    if (DopeSheetForm) DopeSheetForm->DopeGrid->Invalidate();
}

void TEditorWindows::ShuttleRecordKeys() {
    if (ShuttleForm) ShuttleForm->RecordKeys();
}

void TEditorWindows::BlenderClearSliders() {
    if (BlenderForm) BlenderForm->ClearSliders();
}

void TEditorWindows::SkinPanelUpdateVolumeObjects() {
    if (SkinPanelForm) SkinPanelForm->UpdateVolumeObjects();
}

void TEditorWindows::OnionPaintOverlay() {
    PaintOnionOverlay();
}

// ---- weight painting ----

bool TEditorWindows::MeshRenderVisible() {
    return MeshRenderForm && MeshRenderForm->Visible();
}

void TEditorWindows::MeshRenderHide() {
    if (MeshRenderForm) MeshRenderForm->Hide();
}

void TEditorWindows::EditBoneSkin() {
    vel::EditBoneSkin();
}

} // namespace vel
