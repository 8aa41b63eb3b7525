#pragma once
// The free routines through which the rig, the main form and the editor
// windows reach each other and the host: the edit lock, view refreshes,
// following the host's selection, undo on the current skeleton, safe deletes
// and regrouping, and the factories of the plug-in's scene objects.
#include <cstdint>
#include <string>

#include "ScopeExit.h"
#include "tsxapi.h"

namespace vel {

class TSkeleton;

// ---- shared state ----
extern TSkeleton* CurrentSkeleton; // set through SetCurrentSkeleton
// Folder of the plug-in module with its trailing separator ("" when no module
// of that name is loaded).
extern std::string HomeDir;
extern bool SetupMode;    // the rest pose is being edited (setup page, frame 0)
extern bool SettingFrame; // the rig itself is changing the host's frame
extern bool OptShowSelectedSkelOnly;
extern bool OptHideAttached;
extern bool OptHideUnattached;
extern bool OptAutoEditSkin;

// The file name the module is loaded under.
inline constexpr const char* kModuleFileName = "VelmarchPro.tsx";
inline constexpr const char* kJointMeshFile = "JointBars.cob";

// Unit start: HomeDir := the module's folder.
void InitializeSwitchboardUnit();

// ---- lock and refresh ----
// The edit lock is one flag of the main form, not a counter: EndEdit clears
// it even inside an outer BeginEdit. Nothing without a main form.
void BeginEdit();
void EndEdit();
bool EditLocked();
// Rises at every EndEdit, nested ones too. The rig makes and erases keys only
// inside its edits, so a window showing keys asks the scene again only after
// this has moved.
std::uint64_t EditCount();

// BeginEdit now, EndEdit when it goes, also when an exception passes.
class TEditScope {
public:
    TEditScope() { BeginEdit(); }
    ~TEditScope() { EndEdit(); }
    TEditScope(const TEditScope&) = delete;
    TEditScope& operator=(const TEditScope&) = delete;
};

// ---- entries into the rig ----
// Each way in from outside counts while it runs: a host callback, a message
// to the main form, an export, the idle step (a window's handler counts
// through the framework's handler depth). auto in = EnterRig();
fw::TScopeExit<void (*)()> EnterRig();
// No entry runs below the caller's own. Work that deletes objects or frees
// skeletons by itself (a load's waiting rebuild) runs only there: a deeper
// entry comes from a callback the rig's own work made, which goes on with
// them once the callback returns.
bool OutermostEntry();

void RefreshViews();
void RefreshSkeletonViews();
void CurrentSkeletonChanged();

// ---- selection ----
void WatchObject(CtsxSobj object);
void SelectObject(CtsxSobj object, int mode);
void SelectionChanged();
void SelectionChangedQuiet();
void SyncSelection();
void SafeSelect(CtsxSobj object, int mode);

// ---- host object changes ----
void ObjectMoved(CtsxTxmx3f& matrix);
// The object's rows leave the scene tree and the skeleton tree.
void ForgetObjectRows(CtsxSobj object);
void ForgetObject(CtsxSobj object);
void ObjectDestroyed(CtsxSobj object);
// Nothing for no object; a stale one changes nothing and raises nothing.
void DeleteObject(CtsxSobj object);
void RegroupObject(CtsxSobj object, CtsxSobj group);

// ---- undo on the current skeleton (each nothing without one) ----
void PushUndo(const std::string& name, bool moved);
void UndoCurrent();
void RedoCurrent();
void ResetUndo();

// ---- factories (each under the edit lock; each answers the new object) ----
CtsxSobj NewBoneObject();
CtsxSobj NewTeeBoneObject();
CtsxSobj NewSkeletonObject();
CtsxSobj NewPoseLibObject();
CtsxSobj NewJointMarker();
// HomeDir + "JointBars.cob", else the bare name through the host's loader,
// else a small sphere.
CtsxSobj NewJointObject();
int BoneObjectType();
int JointMarkerType();
int TeeBoneObjectType();

// ---- joint materials ----
void CreateJointMaterials();
void PaintJoint(CtsxPolyh polyhedron, bool selected);
CtsxMaterial JointMaterial(bool selected);

namespace testing {
// Back to the just-loaded state: no current skeleton, flags and options at
// their defaults, no materials.
void ResetSwitchboardUnit();
} // namespace testing

} // namespace vel
