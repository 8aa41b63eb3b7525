#pragma once
// A stand-in for the editor's windows in the rig's tests: it writes down
// every operation the rig asks of the editor, in order and with its argument,
// and keeps only what the rig reads back or the tests look at: the tool
// window (a plain owned form), its page, the frame and the dirty flag.
// Setting a frame moves the host's time, as the frame controller does.
#include <cmath>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "EditorServices.h"
#include "Forms.h"

namespace vel {

class TRecordingEditor final : public TEditorServices {
public:
    TRecordingEditor() = default;
    ~TRecordingEditor() { Reset(); }
    TRecordingEditor(const TRecordingEditor&) = delete;
    TRecordingEditor& operator=(const TRecordingEditor&) = delete;

    // The operations asked for, such as "SetActiveFrame(5)".
    std::vector<std::string> Calls;
    bool OpenOnAnimatePage = false;
    TToolsPage Page = tpSetup;
    std::int32_t CurrentFrame = 0;
    bool FrameDirty = false;
    bool MeshRenderShown = false;

    // Those of Calls that start with name.
    std::vector<std::string> CallsOf(const std::string& name) const {
        std::vector<std::string> out;
        for (const std::string& c : Calls)
            if (c.rfind(name, 0) == 0) out.push_back(c);
        return out;
    }
    // Index of the first call starting with name at or after from; -1 when
    // there is none.
    long Find(const std::string& name, long from = 0) const {
        for (long i = from; i < static_cast<long>(Calls.size()); ++i)
            if (Calls[static_cast<std::size_t>(i)].rfind(name, 0) == 0) return i;
        return -1;
    }
    // No tool window, nothing written down, every state as at start.
    void Reset() {
        if (FTools) fw::Free(FTools);
        FTools = nullptr;
        Calls.clear();
        OpenOnAnimatePage = false;
        Page = tpSetup;
        CurrentFrame = 0;
        FrameDirty = false;
        MeshRenderShown = false;
    }

    TTsOwnedForm* ToolWindow() override { return FTools; }
    TTsOwnedForm* MakeToolWindow() override {
        Note("MakeToolWindow");
        if (!FTools) {
            FTools = fw::Create<TTsOwnedForm>(nullptr);
            FTools->SetName("ToolsForm");
        }
        return FTools;
    }
    void SetOpenOnAnimatePage(bool Value) override {
        Note("SetOpenOnAnimatePage", Value);
        OpenOnAnimatePage = Value;
    }
    TToolsPage ToolsActivePage() override { return FTools ? Page : tpNone; }
    void SetToolsActivePage(TToolsPage Value) override {
        Note("SetToolsActivePage", Value == tpSetup     ? "Setup"
                                   : Value == tpAnimate ? "Animate"
                                                        : "None");
        if (FTools) Page = Value;
    }
    void ToolsPageControlChange() override { Note("ToolsPageControlChange"); }
    void ToolsAbout1Click() override { Note("ToolsAbout1Click"); }
    void ToolsSelectionChanged() override { Note("ToolsSelectionChanged"); }
    void ToolsUpdateControls() override { Note("ToolsUpdateControls"); }
    void ToolsUpdateHistory() override { Note("ToolsUpdateHistory"); }

    void ActiveTimeChanged(float Time) override {
        Note("ActiveTimeChanged", Time);
        Follow(Time);
    }
    void MarkFrameDirty() override {
        Note("MarkFrameDirty");
        FrameDirty = true;
    }
    void SetActiveFrame(float Frame) override {
        Note("SetActiveFrame", Frame);
        tsxAnimSetActiveTime(Frame);
        Follow(Frame);
    }
    void SetActiveFrameUpdating(float Frame) override {
        Note("SetActiveFrameUpdating", Frame);
        tsxAnimSetActiveTime(Frame);
    }
    void UpdateIfFrameDirty() override {
        Note("UpdateIfFrameDirty");
        FrameDirty = false;
    }
    void ClearFrameDirty() override {
        Note("ClearFrameDirty");
        FrameDirty = false;
    }

    void SceneTreeRefreshTree() override { Note("SceneTreeRefreshTree"); }
    void SceneTreeSelectCurrentObject() override { Note("SceneTreeSelectCurrentObject"); }
    void SceneTreeRemoveObjectNode(CtsxSobj Object) override {
        Note("SceneTreeRemoveObjectNode", Object);
    }
    void SkelTreeRebuildTree() override { Note("SkelTreeRebuildTree"); }
    void SkelTreeRefreshAll() override { Note("SkelTreeRefreshAll"); }
    void SkelTreeRemoveObjectNode(CtsxSobj Object) override {
        Note("SkelTreeRemoveObjectNode", Object);
    }
    void PosesRefreshPoseTree() override { Note("PosesRefreshPoseTree"); }

    void DopeSheetRebuildGrid() override { Note("DopeSheetRebuildGrid"); }
    void DopeGridInvalidate() override { Note("DopeGridInvalidate"); }
    void ShuttleRecordKeys() override { Note("ShuttleRecordKeys"); }
    void BlenderClearSliders() override { Note("BlenderClearSliders"); }
    void SkinPanelUpdateVolumeObjects() override { Note("SkinPanelUpdateVolumeObjects"); }
    void OnionPaintOverlay() override { Note("OnionPaintOverlay"); }

    bool MeshRenderVisible() override { return MeshRenderShown; }
    void MeshRenderHide() override {
        Note("MeshRenderHide");
        MeshRenderShown = false;
    }
    void EditBoneSkin() override { Note("EditBoneSkin"); }

private:
    void Note(const char* name) { Calls.emplace_back(name); }
    template <typename T> void Note(const char* name, const T& argument) {
        std::ostringstream s;
        s << name << '(' << argument << ')';
        Calls.push_back(s.str());
    }
    // The time views follow the time, rounded; times outside the frame
    // range are ignored.
    void Follow(float time) {
        if (std::isfinite(time) && std::fabs(time) < 2e9f)
            CurrentFrame = static_cast<std::int32_t>(std::nearbyint(time));
    }

    TTsOwnedForm* FTools = nullptr;
};

// The frame controller's operations, once each.
inline void CallFrameOperations(TEditorServices& editor) {
    editor.ActiveTimeChanged(3);
    editor.MarkFrameDirty();
    editor.SetActiveFrame(4);
    editor.SetActiveFrameUpdating(5);
    editor.UpdateIfFrameDirty();
    editor.ClearFrameDirty();
}

// Every operation on a window but the tool window's making, once each,
// ending with EditBoneSkin.
inline void CallWindowOperations(TEditorServices& editor, CtsxSobj object) {
    editor.SetOpenOnAnimatePage(true);
    editor.SetToolsActivePage(tpAnimate);
    editor.ToolsPageControlChange();
    editor.ToolsAbout1Click();
    editor.ToolsSelectionChanged();
    editor.ToolsUpdateControls();
    editor.ToolsUpdateHistory();
    editor.SceneTreeRefreshTree();
    editor.SceneTreeSelectCurrentObject();
    editor.SceneTreeRemoveObjectNode(object);
    editor.SkelTreeRebuildTree();
    editor.SkelTreeRefreshAll();
    editor.SkelTreeRemoveObjectNode(object);
    editor.PosesRefreshPoseTree();
    editor.DopeSheetRebuildGrid();
    editor.DopeGridInvalidate();
    editor.ShuttleRecordKeys();
    editor.BlenderClearSliders();
    editor.SkinPanelUpdateVolumeObjects();
    editor.OnionPaintOverlay();
    editor.MeshRenderHide();
    editor.EditBoneSkin();
}

} // namespace vel
