#pragma once
// The rig's tool window: a setup page (rest pose, frame 0) and an animate
// page, the undo history of the current skeleton, and its embedded
// companions: the scene tree, skeleton tree, pose list and dope sheet on
// pages of their own below, then the shuttle deck and the skin panel.
#include <cstdint>
#include <string>
#include <vector>

#include "ComCtrls.h"
#include "HostRefs.h"
#include "TsOwnedForm.h"
#include "tsxapi.h"

namespace vel {

class TValueTrack;

using fw::TPageControl;
using fw::TTabSheet;
using fw::TToolButton;

// Where the options and window placement are kept.
inline constexpr const char* kSettingsKey = "\\Software\\Orrendale\\Velmarch";

class TToolsForm : public TTsOwnedForm {
public:
    explicit TToolsForm(fw::TComponent* AOwner);
    ~TToolsForm() override;

    TPageControl* PageControl = nullptr;
    TTabSheet* SetupSheet = nullptr;
    TTabSheet* AnimateSheet = nullptr;
    // The pages of the tree windows and the dope sheet; choosing one has no
    // other effect.
    TPageControl* TreePages = nullptr;
    TTabSheet* SceneSheet = nullptr;
    TTabSheet* SkeletonSheet = nullptr;
    TTabSheet* PosesSheet = nullptr;
    TTabSheet* KeysSheet = nullptr;
    fw::TPanel* ShuttlePanel = nullptr;
    fw::TPanel* SkinPanel = nullptr;
    TToolButton* NewSkeletonButton = nullptr;
    TToolButton* NewJointButton = nullptr;
    TToolButton* NewBoneButton = nullptr;
    TToolButton* NewTeeBoneButton = nullptr;
    TToolButton* ConnectButton = nullptr;
    TToolButton* UndoButton = nullptr;
    TToolButton* RedoButton = nullptr;
    // Open the pose blender and the onion-skin window.
    TToolButton* BlenderButton = nullptr;
    TToolButton* OnionButton = nullptr;
    // Below the pages: the selected joint's stiffness and the selected
    // bone's roll (degrees turned since the bone was selected).
    fw::TPanel* TrackPanel = nullptr;
    TValueTrack* StiffTrack = nullptr;
    TValueTrack* TwistTrack = nullptr;

    // The undo history: one name per undo state, and the current one.
    const std::vector<std::string>& HistoryItems() const { return FHistoryItems; }
    int HistoryIndex() const { return FHistoryIndex; }
    // The host's time remembered when the setup page was entered.
    float RememberedFrame() const { return FRememberedFrame; }
    // The node of the joint selected when the connect button went down;
    // none once it went.
    CtsxSobj ConnectFrom() const { return LiveObject(FConnectFrom); }

    void PageControlChange(fw::TObject* Sender);
    void SelectionChanged();
    void UpdateControls();
    void UpdateHistory();
    void About1Click(fw::TObject* Sender);
    void ConnectButtonClick(fw::TObject* Sender);

    // The option flags from the settings store; missing values keep their
    // current value.
    void LoadOptions();
    void SaveOptions();

private:
    std::vector<std::string> FHistoryItems;
    int FHistoryIndex = -1;
    void MakeTracks();
    void WireButtons();
    // The windows it embeds, and the two that float beside it.
    void MakeCompanions();
    void StiffChanged();
    void TwistChanged();
    float FRememberedFrame = 0;
    THostRef FConnectFrom;
    // The bone the roll track is turning (its serial), and how far it has
    // turned it.
    std::uint64_t FTwistBone = 0;
    double FTwistApplied = 0;
};

// Empty until the first click on the plug-in's icon; then kept for the
// module's life.
extern TToolsForm* ToolsForm;
// Set before the tool window exists: it opens on its animate page.
extern bool OpenOnAnimatePage;

} // namespace vel
