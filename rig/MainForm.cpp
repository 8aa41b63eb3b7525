#include "MainForm.h"

#include "Attributes.h"
#include "EditorServices.h"
#include "ExtObjVectData.h"
#include "FileIO.h"
#include "Forms.h"
#include "HostRefs.h"
#include "Input.h"
#include "SkelMgr.h"
#include "Skeleton.h"
#include "Skin.h"
#include "Switchboard.h"
#include "TeeTakeOver.h"
#include "TsxHelper.h"

namespace vel {

TMainForm* MainForm = nullptr;

namespace {

TTsxExtObj* MakeExtObj(TMainForm* form, const char* name, const char* typeName, tsxPEN active,
                       tsxPEN inactive, tsxPEN activeSub, tsxPEN inactiveSub, bool visible) {
    auto* e = fw::Create<TTsxExtObj>(form);
    e->SetName(name);
    e->SetObjectTypeName(typeName);
    e->SetActivePen(active);
    e->SetInactivePen(inactive);
    e->SetActiveSubPen(activeSub);
    e->SetInactiveSubPen(inactiveSub);
    e->SetVisible(visible);
    e->SetAutoAddToScene(false);
    return e;
}

// A handler of the form bound to a host callback: an entry into the rig
// while it runs.
template <class M> auto Entry(TMainForm* form, M handler) {
    return [form, handler](auto&&... args) {
        const auto in = EnterRig();
        return (form->*handler)(std::forward<decltype(args)>(args)...);
    };
}

fw::TTimer* MakeTimer(TMainForm* form, const char* name) {
    auto* t = fw::Create<fw::TTimer>(form);
    t->SetName(name);
    t->SetEnabled(false);
    t->SetInterval(kLoadTimerInterval);
    return t;
}

} // namespace

TMainForm::TMainForm(fw::TComponent* AOwner) : TTsOwnedForm(AOwner) {
    SetName("MainForm");
    SetCaption("MainForm");
    // The components in the form's stream order: the start-up queue runs in it.
    LoadComponents([this] {
        MakePlugInComponent();
        MakeObjectEvents();
        MakeBoneTypes();
        MakeEventComponents();
        ObjectLoadedTimer = MakeTimer(this, "ObjectLoadedTimer");
        ObjectLoadedTimer->OnTimer = [this](fw::TObject* s) { ObjectLoadedTimerTimer(s); };
        MakePoseAndVolumeTypes();
        SceneLoadedTimer = MakeTimer(this, "SceneLoadedTimer");
        SceneLoadedTimer->OnTimer = [this](fw::TObject* s) { SceneLoadedTimerTimer(s); };
        MakeJointTypes();
        ActivateTimer = MakeTimer(this, "ActivateTimer");
    });
    FormCreate();
    // The windows look at the rig at every idle step: while they are open a
    // load is rebuilt before they look (the form is made before them, so its
    // idle step comes first).
    fw::AddIdleHandler(this, [this] {
        const auto in = EnterRig();
        if (EditorServices().ToolWindow()) FinishPendingLoad();
    });
}

TMainForm::~TMainForm() {
    fw::RemoveIdleHandler(this);
}

// The plug-in component Tsx1 and its handlers.
void TMainForm::MakePlugInComponent() {
    Tsx1 = fw::Create<TTsx>(this);
    Tsx1->SetName("Tsx1");
    Tsx1->SetTitle("Velmarch Pro");
    Tsx1->SetAuthor("Orrendale");
    Tsx1->SetResBmpId(101);
    Tsx1->SetResStringId(1);
    Tsx1->SetApiVersionNeeded(430);
    Tsx1->OnPlugInit = Entry(this, &TMainForm::Tsx1PlugInit);
    Tsx1->OnLeftClick = Entry(this, &TMainForm::Tsx1LeftClick);
    Tsx1->OnRightClick = Entry(this, &TMainForm::Tsx1RightClick);
    Tsx1->OnDeactivate = Entry(this, &TMainForm::Tsx1Deactivate);
}

// Notifications about the objects the rig watches.
void TMainForm::MakeObjectEvents() {
    TsObjectEvents = fw::Create<TTsObjectEvents>(this);
    TsObjectEvents->SetName("TsObjectEvents");
    TsObjectEvents->OnObjNav = Entry(this, &TMainForm::TsObjectEventsObjNav);
    TsObjectEvents->OnAnimNav = Entry(this, &TMainForm::TsObjectEventsAnimNav);
}

// The bone and skeleton extension-object types.
void TMainForm::MakeBoneTypes() {
    TsxBoneExtObj = MakeExtObj(this, "TsxBoneExtObj", "velBone", e_tsxPEN_BLUE, e_tsxPEN_SCENE,
                               e_tsxPEN_BLUE, e_tsxPEN_CONTROL, true);
    TsxBoneExtObj->OnReadBinary = Entry(this, &TMainForm::TsxBoneExtObjReadBinary);
    TsxBoneExtObj->OnWriteBinary = Entry(this, &TMainForm::TsxBoneExtObjWriteBinary);
    TsxBoneExtObj->OnObjectRender = Entry(this, &TMainForm::TsxBoneExtObjObjectRender);
    TsxBoneExtObj->OnGetWirePen = Entry(this, &TMainForm::TsxBoneExtObjGetWirePen);

    SkeletonExtObj = MakeExtObj(this, "SkeletonExtObj", "velSkeleton", e_tsxPEN_ACTIVE,
                                e_tsxPEN_SCENE, e_tsxPEN_ACTIVESUB, e_tsxPEN_INACTIVESUB, false);
    SkeletonExtObj->OnObjectRender = Entry(this, &TMainForm::SkeletonExtObjObjectRender);
}

// The host's event classes and its callbacks.
void TMainForm::MakeEventComponents() {
    TsEvents = fw::Create<TTsEvents>(this);
    TsEvents->SetName("TsEvents");
    TsEvents->OnRenderBegin = Entry(this, &TMainForm::TsEventsRenderBegin);
    TsEvents->OnRenderEnd = Entry(this, &TMainForm::TsEventsRenderEnd);
    TsEvents->OnRenderAbort = Entry(this, &TMainForm::TsEventsRenderAbort);
    TsEvents->OnRenderFrameStart = Entry(this, &TMainForm::TsEventsRenderFrameStart);
    TsEvents->OnSceneClose = Entry(this, &TMainForm::TsEventsSceneClose);
    TsEvents->OnSceneLoad = Entry(this, &TMainForm::TsEventsSceneLoad);
    TsEvents->OnOtherGeneral = Entry(this, &TMainForm::TsEventsOtherGeneral);

    TsxEvents = fw::Create<TTsxEvents>(this);
    TsxEvents->SetName("TsxEvents");
    TsxEvents->OnSelectionChanged = Entry(this, &TMainForm::TsxEventsSelectionChanged);
    TsxEvents->OnObjectDestroy = Entry(this, &TMainForm::TsxEventsObjectDestroy);
    TsxEvents->OnActiveTimeChanged = Entry(this, &TMainForm::TsxEventsActiveTimeChanged);
    TsxEvents->OnObjectMove = Entry(this, &TMainForm::TsxEventsObjectMove);
}

// The pose library and the two volume types (volumes read from a file are dropped).
void TMainForm::MakePoseAndVolumeTypes() {
    PoseLibExtObj = MakeExtObj(this, "PoseLibExtObj", "velPoseLibrary", e_tsxPEN_ACTIVE,
                               e_tsxPEN_SCENE, e_tsxPEN_ACTIVESUB, e_tsxPEN_INACTIVESUB, false);
    PoseLibExtObj->OnReadBinary = Entry(this, &TMainForm::PoseLibExtObjReadBinary);
    PoseLibExtObj->OnWriteBinary = Entry(this, &TMainForm::PoseLibExtObjWriteBinary);

    const auto destroyOnLoad = Entry(this, &TMainForm::DestroyExtOnLoadObjReadBinary);
    VolumeExtObj = MakeExtObj(this, "VolumeExtObj", "velVolume", e_tsxPEN_RED, e_tsxPEN_RED,
                              e_tsxPEN_RED, e_tsxPEN_RED, true);
    VolumeExtObj->OnReadBinary = destroyOnLoad;
    PyramidExtObj = MakeExtObj(this, "PyramidExtObj", "velVolumeCap", e_tsxPEN_RED, e_tsxPEN_RED,
                               e_tsxPEN_RED, e_tsxPEN_RED, true);
    PyramidExtObj->OnReadBinary = destroyOnLoad;
    PyramidExtObj->OnGetVectorObject = Entry(this, &TMainForm::PyramidExtObjGetVectorObject);
}

// The joint glyph and the tee bone types (tee bones read from a file are dropped).
void TMainForm::MakeJointTypes() {
    JointExtObj = MakeExtObj(this, "JointExtObj", "velJointShow", e_tsxPEN_BLUE, e_tsxPEN_SCENE,
                             e_tsxPEN_BLUE, e_tsxPEN_CONTROL, true);
    JointExtObj->OnGetWirePen = Entry(this, &TMainForm::JointExtObjGetWirePen);
    JointExtObj->OnGetVectorObject = Entry(this, &TMainForm::JointExtObjGetVectorObject);

    TeeBoneExtObj = MakeExtObj(this, "TeeBoneExtObj", "velBoneT", e_tsxPEN_BLUE, e_tsxPEN_SCENE,
                               e_tsxPEN_BLUE, e_tsxPEN_CONTROL, true);
    TeeBoneExtObj->OnReadBinary = Entry(this, &TMainForm::DestroyExtOnLoadObjReadBinary);
    TeeBoneExtObj->OnGetWirePen = Entry(this, &TMainForm::TsxBoneExtObjGetWirePen);
}

void TMainForm::FormCreate() {
    FDeleteAfterLoad.clear();
    TsxBoneExtObj->SetShape(BoneShape());
    TeeBoneExtObj->SetShape(BoneShape());
    PyramidExtObj->SetShape(PyramidShape());
}

// ---- the plug-in component ----

void TMainForm::Tsx1PlugInit() {
    CreateTwistAttribute();
    CreateStiffAttribute();
    DefineJointData();
    DefineJointData2();
}

void TMainForm::Tsx1LeftClick() {
    TTsOwnedForm* tools = EditorServices().MakeToolWindow();
    if (!tools) return;
    tools->Show();
    KeepFormOnScreen(tools);
}

void TMainForm::Tsx1RightClick() {
    TEditorServices& editor = EditorServices();
    editor.MakeToolWindow();
    editor.ToolsAbout1Click();
}

void TMainForm::Tsx1Deactivate() {
    TTsOwnedForm* tools = EditorServices().ToolWindow();
    if (tools && tools->Visible()) tools->Hide();
}

// ---- host callbacks ----

void TMainForm::TsxEventsSelectionChanged() {
    if (!EditLocked()) SelectionChanged();
}

void TMainForm::TsxEventsObjectMove(CtsxTxmx3f& pTxmx, std::int16_t) {
    if (!EditLocked()) ObjectMoved(pTxmx);
}

void TMainForm::TsxEventsObjectDestroy(CtsxSobj inSobj) {
    // Whoever deleted it, its handle may come back for another object, and
    // no tree may keep its row: the rig's own deletes come under its lock.
    NoteObjectGone(inSobj);
    if (inSobj) ForgetObjectRows(inSobj);
    // The host also reports its own objects (type below 50) and tears the
    // scene down without a main view.
    if (!MainViewHwnd() || EditLocked() || !inSobj) return;
    if (tsxSobjGetType(inSobj) >= 50) ObjectDestroyed(inSobj);
}

void TMainForm::TsxEventsActiveTimeChanged(float inTime) {
    if (!EditLocked() && PluginActive()) EditorServices().ActiveTimeChanged(inTime);
    if (PluginActive() && FRendering) {
        UpdateAllSkeletons();
        if (!EditLocked()) ShowAllJoints(false);
    }
}

void TMainForm::TsObjectEventsObjNav(CtsxSobj pSobj, const tsxObjectNotifyMessage& Msg) {
    // Only the user letting go ends a move worth an undo entry.
    if (!CurrentSkeleton || Msg.param != 1) return;
    if (pSobj == CurrentSkeleton->Bag)
        PushUndo("Skeleton Moved", true);
    else
        PushUndo("Joint Moved", false);
}

void TMainForm::TsObjectEventsAnimNav(CtsxSobj, const tsxObjectNotifyMessage&) {
    if (!EditLocked() && PluginActive()) EditorServices().MarkFrameDirty();
}

// ---- host event classes ----

void TMainForm::TsEventsRenderBegin(const tsxEventRenderData&) {
    FinishPendingLoad();
    if (!PluginActive()) return;
    // A second begin must not save the already cleared value.
    if (!FRendering) FSavedSkipSubDivRebuild = SkipSubDivRebuild;
    SkipSubDivRebuild = false;
    if (!EditLocked()) ShowAllJoints(false);
    FRendering = true;
    UpdateAllSkeletons();
}

void TMainForm::TsEventsRenderEnd(const tsxEventRenderData&) {
    // Undone whenever the begin acted, even after a deactivation in between;
    // never from a saved copy that no begin took.
    if (!FRendering) return;
    SkipSubDivRebuild = FSavedSkipSubDivRebuild;
    FRendering = false;
    if (!EditLocked()) ShowAllJoints(true);
}

void TMainForm::TsEventsRenderAbort(const tsxEventRenderData& inData) {
    TsEventsRenderEnd(inData);
}

void TMainForm::TsEventsRenderFrameStart(const tsxEventRenderData&) {
    if (!EditLocked() && PluginActive()) UpdateAllSkeletons();
}

void TMainForm::TsEventsSceneClose() {
    // The scene's objects go without a report each; what the rig made or
    // read for them is fenced off, before the host hands their handles to
    // the next scene's objects.
    NoteSceneClosed();
    ObjectLoadedTimer->SetEnabled(false); // the merged objects went too
    FDeleteAfterLoad.clear();
    DropLoadQueues();
    FenceSkeletonsAtSceneClose();
}

void TMainForm::TsEventsSceneLoad() {
    SceneLoadedTimer->SetEnabled(true);
}

void TMainForm::TsEventsOtherGeneral(std::int32_t inAction) {
    if (EditLocked()) return;
    if (inAction == e_tsxGA_SCNSAVE) {
        FinishPendingLoad(); // the scene is written with its rig
        ReRecordSetupFrames();
    } else if (inAction == e_tsxGA_OBJLOAD)
        ObjectLoadedTimer->SetEnabled(true);
}

// ---- scene files ----

std::int32_t TMainForm::TsxBoneExtObjReadBinary(CtsxSobj pSobj, CtsxFILE fd) {
    return ReadBoneObject(pSobj, fd);
}

std::int32_t TMainForm::TsxBoneExtObjWriteBinary(CtsxSobj pSobj, CtsxFILE fd) {
    return WriteBoneObject(pSobj, fd);
}

std::int32_t TMainForm::PoseLibExtObjReadBinary(CtsxSobj pSobj, CtsxFILE fd) {
    return ReadPoseLibObject(pSobj, fd);
}

std::int32_t TMainForm::PoseLibExtObjWriteBinary(CtsxSobj pSobj, CtsxFILE fd) {
    return WritePoseLibObject(pSobj, fd);
}

std::int32_t TMainForm::DestroyExtOnLoadObjReadBinary(CtsxSobj pSobj, CtsxFILE) {
    FDeleteAfterLoad.push_back(RefTo(pSobj));
    return 0;
}

// ---- load timers ----

void TMainForm::SceneLoadedTimerTimer(fw::TObject*) {
    SceneLoadedTimer->SetEnabled(false);
    SceneLoaded();
}

void TMainForm::ObjectLoadedTimerTimer(fw::TObject*) {
    ObjectLoadedTimer->SetEnabled(false);
    ObjectLoaded();
}

void TMainForm::SceneLoaded() {
    LoadFinished(true);
}

void TMainForm::ObjectLoaded() {
    LoadFinished(false);
}

void TMainForm::LoadFinished(bool scene) {
    // Also after a load without bone records: the skeletons of the scene the
    // host closed are out of reach since, and go now.
    DropFencedSkeletons();
    if (!HasPendingBones()) return;
    if (!EditorServices().ToolWindow()) EditorServices().SetOpenOnAnimatePage(true);
    ActivatePlugin();
    {
        TEditScope lock;
        if (scene) {
            ClearSkeletons();
            RebuildAfterSceneLoad();
        } else {
            RebuildAfterObjectLoad();
        }
    }
    RefreshAfterLoad();
    DeleteQueuedObjects();
}

void TMainForm::FinishPendingLoad() {
    if (EditLocked() || !OutermostEntry()) return;
    // A scene's rebuild takes the objects merged after it along, as its
    // timer, due first, would.
    if (SceneLoadedTimer->Enabled()) SceneLoadedTimerTimer(SceneLoadedTimer);
    if (ObjectLoadedTimer->Enabled()) ObjectLoadedTimerTimer(ObjectLoadedTimer);
}

void TMainForm::DeleteQueuedObjects() {
    std::vector<THostRef> queued;
    queued.swap(FDeleteAfterLoad);
    TTeeTakeOver takeOver;
    // Objects listed by an earlier load may have gone, and their handles
    // name the user's objects now.
    for (const THostRef& ref : queued)
        if (CtsxSobj obj = LiveObject(ref); obj && IsSceneObjectOfType(obj, 0)) tsxSobjDelete(obj);
    takeOver.Finish();
    RefreshViews();
}

// ---- drawing ----

void TMainForm::SkeletonExtObjObjectRender(fw::TObject*, CtsxSobj, tsxCOLOR_MODE&, CtsxRect&,
                                           bool&) {
    if (!EditLocked() && PluginActive()) EditorServices().UpdateIfFrameDirty();
}

void TMainForm::TsxBoneExtObjObjectRender(fw::TObject*, CtsxSobj pSobj, tsxCOLOR_MODE&, CtsxRect&,
                                          bool& outDefaultDraw) {
    try {
        TSkeleton* skeleton = nullptr;
        std::int32_t index = -1;
        if (!FindSkeletonByBoneNode(pSobj, skeleton, index)) return;
        const TBone* bone = skeleton->Bones.ByIndex(index);
        if (!bone) return;
        outDefaultDraw = bone->ChildCount() > 0 ? !OptHideAttached : !OptHideUnattached;
    } catch (...) {
        // A failed look-up must not hide a bone the user wants to see.
        outDefaultDraw = true;
    }
}

void TMainForm::PyramidExtObjGetVectorObject(fw::TObject*, CtsxSobj,
                                             PtsxVectorObject& ioVectorObject) {
    ioVectorObject = PyramidShape();
}

void TMainForm::JointExtObjGetVectorObject(fw::TObject*, CtsxSobj,
                                           PtsxVectorObject& ioVectorObject) {
    ioVectorObject = JointMarkerShape();
}

void TMainForm::JointExtObjGetWirePen(fw::TObject*, CtsxSobj pSobj, tsxCOLOR_MODE,
                                      tsxPEN& ioWirePen) {
    try {
        if (!CurrentSkeleton) return;
        TJoint* joint = nullptr;
        if (!CurrentSkeleton->Joints.FindByMarker(pSobj, joint) || !joint) return;
        // A nailed joint (Stiff exactly 0) stands out in both states.
        const bool nailed = joint->Stiff() == 0.0f;
        const CtsxSobj selected = GetSelectedObjectOfType(TSX_TYPE_GROUP);
        if (selected && joint->Node == selected)
            ioWirePen = nailed ? e_tsxPEN_INACTIVESUB : e_tsxPEN_GREEN;
        else
            ioWirePen = nailed ? e_tsxPEN_RED : e_tsxPEN_BLUE;
    } catch (...) {
        ioWirePen = e_tsxPEN_RED;
    }
}

void TMainForm::TsxBoneExtObjGetWirePen(fw::TObject*, CtsxSobj pSobj, tsxCOLOR_MODE,
                                        tsxPEN& ioWirePen) {
    try {
        if (!CurrentSkeleton) return;
        std::int32_t index = -1;
        if (!CurrentSkeleton->Bones.IndexOfNode(pSobj, index) &&
            !CurrentSkeleton->Bones.IndexOfTeeObject(pSobj, index))
            return;
        ioWirePen = index == CurrentSkeleton->SelectedBone ? e_tsxPEN_GREEN : e_tsxPEN_BLUE;
    } catch (...) {
        ioWirePen = e_tsxPEN_RED;
    }
}

// ---- private messages ----

void TMainForm::CMPaintJoint(fw::TMessage& Message) {
    TEditScope lock;
    PaintJoint(reinterpret_cast<CtsxPolyh>(Message.WParam), Message.LParam != 0);
}

void TMainForm::CMSafeSelect(fw::TMessage& Message) {
    auto object = reinterpret_cast<CtsxSobj>(Message.WParam);
    // Posted earlier: the object may have gone meanwhile.
    if (!IsSceneObjectOfType(object, TSX_TYPE_GROUP)) return;
    SafeSelect(object, static_cast<int>(Message.LParam));
}

void TMainForm::Dispatch(fw::TMessage& Message) {
    const auto in = EnterRig();
    switch (Message.Msg) {
    case CM_PAINTJOINT:
        CMPaintJoint(Message);
        return;
    case CM_SAFESELECT:
        CMSafeSelect(Message);
        return;
    default:
        TTsOwnedForm::Dispatch(Message);
    }
}

void KeepFormOnScreen(fw::TForm* form) {
    if (form->Left() < 0 || form->Left() > fw::ScreenWidth()) form->SetLeft(0);
    if (form->Top() < 0 || form->Top() > fw::ScreenHeight()) form->SetTop(0);
}

} // namespace vel
