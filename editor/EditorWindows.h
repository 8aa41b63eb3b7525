#pragma once
// The editor's answers to the rig's calls: each operation goes to its window
// when the window's global holds one, and does nothing otherwise.
#include "EditorServices.h"

namespace vel {

class TEditorWindows final : public TEditorServices {
public:
    TTsOwnedForm* ToolWindow() override;
    TTsOwnedForm* MakeToolWindow() override;
    void SetOpenOnAnimatePage(bool Value) override;
    TToolsPage ToolsActivePage() override;
    void SetToolsActivePage(TToolsPage Page) override;
    void ToolsPageControlChange() override;
    void ToolsAbout1Click() override;
    void ToolsSelectionChanged() override;
    void ToolsUpdateControls() override;
    void ToolsUpdateHistory() override;

    void ActiveTimeChanged(float Time) override;
    void MarkFrameDirty() override;
    void SetActiveFrame(float Frame) override;
    void SetActiveFrameUpdating(float Frame) override;
    void UpdateIfFrameDirty() override;
    void ClearFrameDirty() override;

    void SceneTreeRefreshTree() override;
    void SceneTreeSelectCurrentObject() override;
    void SceneTreeRemoveObjectNode(CtsxSobj Object) override;
    void SkelTreeRebuildTree() override;
    void SkelTreeRefreshAll() override;
    void SkelTreeRemoveObjectNode(CtsxSobj Object) override;
    void PosesRefreshPoseTree() override;

    void DopeSheetRebuildGrid() override;
    void DopeGridInvalidate() override;
    void ShuttleRecordKeys() override;
    void BlenderClearSliders() override;
    void SkinPanelUpdateVolumeObjects() override;
    void OnionPaintOverlay() override;

    bool MeshRenderVisible() override;
    void MeshRenderHide() override;
    void EditBoneSkin() override;
};

// The one the editor installs.
TEditorWindows& EditorWindows();

// Unit start of the editor: installs its windows as the rig's editor, and
// HomeDir := the host program's folder, until the switchboard's start puts
// the plug-in's folder there.
void InitializeEditorUnit();
// Unit end: the rig's calls reach no editor any more.
void FinalizeEditorUnit();

} // namespace vel
