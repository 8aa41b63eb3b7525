#pragma once
// What the rig asks of its editor windows, in one place, so that the rig
// depends on nothing above it. The editor installs its windows here at its
// unit's start, which comes before the rig's units; until then, and for every
// window that does not exist, each operation does nothing and each question
// answers none or false, as the rig's calls did on an empty window global.
//
// The frame controller's state (the current frame, the dirty flag) and the
// tool window's pages belong to the editor; the rig reaches them only through
// the operations below.
#include "TsOwnedForm.h"
#include "tsxapi.h"

namespace vel {

// The tool window's two pages.
enum class TToolsPage { tpNone, tpSetup, tpAnimate };
using enum TToolsPage;

class TEditorServices {
public:
    // ---- tool window ----
    // The tool window, or none before the first click on the plug-in's icon.
    virtual TTsOwnedForm* ToolWindow() { return nullptr; }
    // The tool window, made first (owned by the application) when none exists.
    virtual TTsOwnedForm* MakeToolWindow() { return nullptr; }
    // Set before the tool window exists: it opens on its animate page.
    virtual void SetOpenOnAnimatePage(bool /*Value*/) {}
    // The page its page control shows; tpNone without a page control.
    virtual TToolsPage ToolsActivePage() { return tpNone; }
    // Shows the page as code does, without the page control's change event.
    virtual void SetToolsActivePage(TToolsPage /*Page*/) {}
    // The page control's change handler, called with no sender.
    virtual void ToolsPageControlChange() {}
    virtual void ToolsAbout1Click() {}
    virtual void ToolsSelectionChanged() {}
    virtual void ToolsUpdateControls() {}
    virtual void ToolsUpdateHistory() {}

    // ---- frame controller ----
    virtual void ActiveTimeChanged(float /*Time*/) {}
    virtual void MarkFrameDirty() {}
    // Sets the host's time, then the time views follow.
    virtual void SetActiveFrame(float /*Frame*/) {}
    // Sets the host's time with every skeleton keeping its pose.
    virtual void SetActiveFrameUpdating(float /*Frame*/) {}
    virtual void UpdateIfFrameDirty() {}
    // Forgets a pending update: the rig has just brought every skeleton in
    // line with the host's frame.
    virtual void ClearFrameDirty() {}

    // ---- scene tree, skeleton tree, pose list ----
    virtual void SceneTreeRefreshTree() {}
    virtual void SceneTreeSelectCurrentObject() {}
    virtual void SceneTreeRemoveObjectNode(CtsxSobj /*Object*/) {}
    virtual void SkelTreeRebuildTree() {}
    virtual void SkelTreeRefreshAll() {}
    virtual void SkelTreeRemoveObjectNode(CtsxSobj /*Object*/) {}
    virtual void PosesRefreshPoseTree() {}

    // ---- dope sheet, shuttle, blender, skin panel, onion skin ----
    virtual void DopeSheetRebuildGrid() {}
    // Repaints the dope sheet's grid (its rows show the recording flags).
    virtual void DopeGridInvalidate() {}
    // The shuttle's record command.
    virtual void ShuttleRecordKeys() {}
    virtual void BlenderClearSliders() {}
    virtual void SkinPanelUpdateVolumeObjects() {}
    // Only when the onion window is visible and its overlay is on.
    virtual void OnionPaintOverlay() {}

    // ---- weight painting ----
    virtual bool MeshRenderVisible() { return false; }
    virtual void MeshRenderHide() {}
    // Opens the weight-painting window on the selected bone's skin.
    virtual void EditBoneSkin() {}

protected:
    // Installed objects live as long as the module and are never deleted
    // through this class; a trivial destructor leaves nothing to run at
    // unload.
    constexpr TEditorServices() = default;
    ~TEditorServices() = default;
    TEditorServices(const TEditorServices&) = default;
    TEditorServices& operator=(const TEditorServices&) = default;
};

// The installed editor, or one that does nothing.
TEditorServices& EditorServices();
// Installs the editor's windows; none takes them out again.
void InstallEditorServices(TEditorServices* Services);

} // namespace vel
