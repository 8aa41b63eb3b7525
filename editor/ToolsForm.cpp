#include "ToolsForm.h"

#include "AboutForm.h"
#include "BlenderForm.h"
#include "Bone.h"
#include "DopeSheetForm.h"
#include "Forms.h"
#include "FrameControl.h"
#include "Joint.h"
#include "OnionForm.h"
#include "Settings.h"
#include "PosesForm.h"
#include "SceneTreeForm.h"
#include "ShuttleForm.h"
#include "SkelTreeForm.h"
#include "SkelMgr.h"
#include "Skeleton.h"
#include "SkeletonState.h"
#include "SkinPanelForm.h"
#include "Switchboard.h"
#include "Utils.h"
#include "ValueTrack.h"

namespace vel {

TToolsForm* ToolsForm = nullptr;
bool OpenOnAnimatePage = false;

namespace {

struct TOption {
    const char* Name;
    bool* Flag;
};

// The option flags as the settings store names them.
const TOption Options[] = {
    {"OptHideAttached", &OptHideAttached},
    {"OptHideUnattached", &OptHideUnattached},
    {"OptShowSelectedSkelOnly", &OptShowSelectedSkelOnly},
    {"OptAutoSelect", &OptAutoSelect},
    {"OptKeyJoints", &OptKeyJoints},
    {"OptAutoEditSkin", &OptAutoEditSkin},
};

TToolButton* MakeButton(fw::TWinControl* parent, const char* name, const char* caption, int left,
                        int top) {
    auto* b = fw::Create<TToolButton>(parent->Owner() ? parent->Owner() : parent);
    b->SetName(name);
    b->SetParent(parent);
    b->SetCaption(caption);
    b->SetBounds(left, top, 60, 22);
    return b;
}

TPageControl* MakePages(fw::TForm* form, const char* name, int top, int height) {
    auto* pages = fw::Create<TPageControl>(form);
    pages->SetName(name);
    pages->SetParent(form);
    pages->SetBounds(0, top, form->Width(), height);
    return pages;
}

TTabSheet* MakeSheet(TPageControl* pages, const char* name, const char* caption) {
    auto* sheet = fw::Create<TTabSheet>(pages->Owner());
    sheet->SetName(name);
    sheet->SetCaption(caption);
    sheet->SetPageControl(pages);
    return sheet;
}

// A band at the bottom, in the order the bands are made from the bottom up.
fw::TPanel* MakePanel(fw::TForm* form, const char* name, int top, int height) {
    auto* panel = fw::Create<fw::TPanel>(form);
    panel->SetName(name);
    panel->SetParent(form);
    panel->SetBounds(0, top, form->Width(), height);
    panel->SetAlign(fw::alBottom);
    return panel;
}

} // namespace

TToolsForm::TToolsForm(fw::TComponent* AOwner) : TTsOwnedForm(AOwner) {
    SetName("ToolsForm");
    SetCaption("Velmarch");
    SetBounds(0, 0, 240, 660);
    LoadComponents([this] {
        PageControl = MakePages(this, "PageControl", 0, 200);
        PageControl->SetAlign(fw::alTop);
        SetupSheet = MakeSheet(PageControl, "SetupSheet", "Setup");
        AnimateSheet = MakeSheet(PageControl, "AnimateSheet", "Animate");

        NewSkeletonButton = MakeButton(SetupSheet, "NewSkeletonButton", "Skeleton", 4, 4);
        NewJointButton = MakeButton(SetupSheet, "NewJointButton", "Joint", 68, 4);
        NewBoneButton = MakeButton(SetupSheet, "NewBoneButton", "Bone", 132, 4);
        NewTeeBoneButton = MakeButton(SetupSheet, "NewTeeBoneButton", "Tee", 4, 30);
        ConnectButton = MakeButton(SetupSheet, "ConnectButton", "Connect", 68, 30);
        ConnectButton->SetAllowAllUp(true);
        UndoButton = MakeButton(AnimateSheet, "UndoButton", "Undo", 4, 4);
        RedoButton = MakeButton(AnimateSheet, "RedoButton", "Redo", 68, 4);
        BlenderButton = MakeButton(AnimateSheet, "BlenderButton", "Blender", 4, 30);
        OnionButton = MakeButton(AnimateSheet, "OnionButton", "Onion", 68, 30);
        MakeTracks();

        SkinPanel = MakePanel(this, "SkinPanel", 500, 160);
        ShuttlePanel = MakePanel(this, "ShuttlePanel", 440, 60);
        TreePages = MakePages(this, "TreePages", 200, 240);
        TreePages->SetAlign(fw::alClient);
        SceneSheet = MakeSheet(TreePages, "SceneSheet", "Scene");
        SkeletonSheet = MakeSheet(TreePages, "SkeletonSheet", "Skeleton");
        PosesSheet = MakeSheet(TreePages, "PosesSheet", "Poses");
        KeysSheet = MakeSheet(TreePages, "KeysSheet", "Keys");
    });

    WireButtons();
    MakeCompanions();
    LoadOptions();

    PageControl->OnChange = [this](fw::TObject* Sender) { PageControlChange(Sender); };
    // Made (by a click on the icon, the host's right click or a load), the
    // window shows the page of the rig's mode and changes nothing: only a
    // page change moves the time, the mode and the undo history.
    PageControl->SetActivePage(SetupMode && !OpenOnAnimatePage ? SetupSheet : AnimateSheet);
    UpdateControls();
    UpdateHistory();
}

void TToolsForm::WireButtons() {
    NewSkeletonButton->OnClick = [](fw::TObject*) { NewSkeleton(); };
    NewJointButton->OnClick = [](fw::TObject*) {
        if (CurrentSkeleton) CurrentSkeleton->NewJoint(false);
    };
    NewBoneButton->OnClick = [](fw::TObject*) {
        if (CurrentSkeleton) CurrentSkeleton->NewJointAndBone();
    };
    NewTeeBoneButton->OnClick = [](fw::TObject*) {
        if (CurrentSkeleton) CurrentSkeleton->NewTeeBone();
    };
    ConnectButton->OnClick = [this](fw::TObject* Sender) { ConnectButtonClick(Sender); };
    UndoButton->OnClick = [](fw::TObject*) { UndoCurrent(); };
    RedoButton->OnClick = [](fw::TObject*) { RedoCurrent(); };
    // The floating windows open beside this one.
    BlenderButton->OnClick = [this](fw::TObject*) {
        if (!BlenderForm) return;
        BlenderForm->SyncSliders();
        BlenderForm->SetBounds(Left() + Width(), Top(), BlenderForm->Width(),
                               BlenderForm->Height());
        BlenderForm->Show();
    };
    OnionButton->OnClick = [this](fw::TObject*) {
        if (!OnionForm) return;
        OnionForm->SetBounds(Left() + Width(), Top(), OnionForm->Width(), OnionForm->Height());
        OnionForm->Show();
        PaintOnionOverlay();
    };
}

void TToolsForm::MakeCompanions() {
    // The companions live inside this window and go with it.
    if (!SceneTreeForm) SceneTreeForm = fw::Create<TSceneTreeForm>(this);
    EmbedForm(SceneTreeForm, SceneSheet, fw::alClient, true);
    if (!SkelTreeForm) SkelTreeForm = fw::Create<TSkelTreeForm>(this);
    EmbedForm(SkelTreeForm, SkeletonSheet, fw::alClient, true);
    if (!PosesForm) PosesForm = fw::Create<TPosesForm>(this);
    EmbedForm(PosesForm, PosesSheet, fw::alClient, true);
    if (!DopeSheetForm) DopeSheetForm = fw::Create<TDopeSheetForm>(this);
    EmbedForm(DopeSheetForm, KeysSheet, fw::alClient, true);
    if (!ShuttleForm) ShuttleForm = fw::Create<TShuttleForm>(this);
    EmbedForm(ShuttleForm, ShuttlePanel, fw::alClient, true);
    if (!SkinPanelForm) SkinPanelForm = fw::Create<TSkinPanelForm>(this);
    EmbedForm(SkinPanelForm, SkinPanel, fw::alClient, true);
    // The blender and the onion window float beside it.
    if (!BlenderForm) BlenderForm = fw::Create<TBlenderForm>(this);
    if (!OnionForm) OnionForm = fw::Create<TOnionForm>(this);
}

void TToolsForm::MakeTracks() {
    TrackPanel = fw::Create<fw::TPanel>(this);
    TrackPanel->SetName("TrackPanel");
    TrackPanel->SetParent(this);
    TrackPanel->SetBounds(0, 200, Width(), 26);
    TrackPanel->SetAlign(fw::alTop);
    StiffTrack = MakeValueTrack(TrackPanel, "StiffTrack", 4, 3, 110);
    StiffTrack->Setup("Stiff", 0, 1, 0.01);
    StiffTrack->OnChange = [this](TValueTrack*) { StiffChanged(); };
    TwistTrack = MakeValueTrack(TrackPanel, "TwistTrack", 120, 3, 110);
    TwistTrack->Setup("Roll", -180, 180, 1, 0);
    TwistTrack->OnChange = [this](TValueTrack*) { TwistChanged(); };
}

void TToolsForm::StiffChanged() {
    TSkeleton* s = CurrentSkeleton;
    if (!s || !s->SelectedJoint) return;
    s->SelectedJoint->SetStiff(static_cast<float>(StiffTrack->Value()));
    RefreshViews(); // a joint of stiffness 0 is drawn apart
}

void TToolsForm::TwistChanged() {
    TSkeleton* s = CurrentSkeleton;
    TBone* bone = s ? s->Bones.ByIndex(s->SelectedBone) : nullptr;
    if (!bone || bone->Serial.Value != FTwistBone) return;
    const double turn = TwistTrack->Value() - FTwistApplied;
    FTwistApplied = TwistTrack->Value();
    bone->RotateTwist(static_cast<float>(turn));
    {
        TEditScope edit;
        s->Refresh();
    }
    RefreshViews();
}

TToolsForm::~TToolsForm() {
    if (ToolsForm == this) ToolsForm = nullptr;
}

void TToolsForm::PageControlChange(fw::TObject* /*Sender*/) {
    if (PageControl->ActivePage() == SetupSheet) {
        FRememberedFrame = tsxAnimGetActiveTime();
        SetActiveFrame(0.0f);
        SetupMode = true;
    } else {
        if (SkeletonCount() > 0) RecordRestFrames();
        SetupMode = false;
        SetActiveFrame(FRememberedFrame);
    }
    StoreRestPoseAll();
    UpdateHistory();
}

void TToolsForm::ConnectButtonClick(fw::TObject* /*Sender*/) {
    FConnectFrom = {};
    if (!ConnectButton->Down()) return;
    if (CurrentSkeleton && CurrentSkeleton->SelectedJoint)
        FConnectFrom = RefTo(CurrentSkeleton->SelectedJoint->Node);
    else
        ConnectButton->SetDown(false); // nothing to connect from
}

void TToolsForm::SelectionChanged() {
    if (!ConnectButton->Down()) return;
    TSkeleton* skeleton = CurrentSkeleton;
    TJoint* from = nullptr;
    const CtsxSobj first = LiveObject(FConnectFrom);
    if (!skeleton || !first || !skeleton->Joints.FindByNode(first, from)) {
        // The first joint went away, or another skeleton took over.
        ConnectButton->SetDown(false);
        FConnectFrom = {};
        return;
    }
    TJoint* to = skeleton->SelectedJoint;
    if (!to || to == from) return; // still waiting for the second joint
    ConnectButton->SetDown(false);
    FConnectFrom = {};
    skeleton->NewBone(from, to);
    skeleton->Bones.PlaceAll();
    skeleton->UpdateJointSizes();
    PushUndo("Connect Joints", false);
    RefreshSkeletonViews();
}

void TToolsForm::UpdateControls() {
    TSkeleton* s = CurrentSkeleton;
    const bool joint = s && s->SelectedJoint;
    NewJointButton->SetEnabled(s != nullptr);
    NewBoneButton->SetEnabled(s != nullptr);
    NewTeeBoneButton->SetEnabled(s != nullptr);
    ConnectButton->SetEnabled(joint || ConnectButton->Down());
    UndoButton->SetEnabled(s && s->UndoIndex > 0);
    RedoButton->SetEnabled(s && s->UndoIndex < static_cast<int>(s->UndoStates.size()) - 1);
    StiffTrack->SetEnabled(joint);
    if (joint && !StiffTrack->Button()->Tracking()) StiffTrack->SetValue(s->SelectedJoint->Stiff());
    TBone* bone = s ? s->Bones.ByIndex(s->SelectedBone) : nullptr;
    TwistTrack->SetEnabled(bone != nullptr);
    const std::uint64_t boneSerial = bone ? bone->Serial.Value : 0;
    if (boneSerial != FTwistBone && !TwistTrack->Button()->Tracking()) {
        // Another bone: its roll counts from where it is.
        FTwistBone = boneSerial;
        FTwistApplied = 0;
        TwistTrack->SetValue(0);
    }
    if (SkinPanelForm) SkinPanelForm->RefreshPanel();
}

void TToolsForm::UpdateHistory() {
    TSkeleton* s = CurrentSkeleton;
    if (!s) return;
    FHistoryItems.clear();
    for (const auto& state : s->UndoStates)
        FHistoryItems.push_back(state ? state->Name : std::string());
    FHistoryIndex = s->UndoIndex;
    UndoButton->SetEnabled(s->UndoIndex > 0);
    RedoButton->SetEnabled(s->UndoIndex < static_cast<int>(s->UndoStates.size()) - 1);
}

void TToolsForm::About1Click(fw::TObject* /*Sender*/) {
    if (!AboutForm) AboutForm = fw::Application()->CreateForm<TAboutForm>();
    AboutForm->Show();
}

void TToolsForm::LoadOptions() {
    fw::TSettingsStore store;
    if (!store.OpenKey(kSettingsKey, false)) return;
    for (const TOption& o : Options) {
        if (!store.ValueExists(o.Name)) continue;
        try {
            *o.Flag = store.ReadBool(o.Name);
        } catch (const fw::ESettingsError&) {
            // A value of the wrong type keeps the option as it is.
        }
    }
}

void TToolsForm::SaveOptions() {
    fw::TSettingsStore store;
    if (!store.OpenKey(kSettingsKey, true)) return;
    for (const TOption& o : Options)
        store.WriteBool(o.Name, *o.Flag);
    store.CloseKey();
}

} // namespace vel
