#pragma once
// The skin panel, embedded in the tool window: the selected skin area (the
// selected bone's area on a chosen bound child), its parameters as value
// tracks, and the volume display, which shows the area as three host objects
// of the plug-in's volume types: a box over the area from Root behind the
// head to Tip beyond the tail, half as wide as VolumeY and VolumeZ, and at
// each end a cap whose depth is that end's fall-off.
#include <cstdint>

#include "ComCtrls.h"
#include "Forms.h"
#include "HostRefs.h"
#include "StdCtrls.h"
#include "tsxapi.h"

namespace vel {

class TBone;
class TSkeleton;
class TSkinArea;
class TSkinObject;
class TValueTrack;

// The three volume objects: the box, the cap at the root end, the cap at
// the tip end.
enum TVolumePart { vpBox = 0, vpRootCap = 1, vpTipCap = 2 };

class TSkinPanelForm : public fw::TForm {
public:
    explicit TSkinPanelForm(fw::TComponent* AOwner);
    ~TSkinPanelForm() override;

    // A volume object now in the scene; none while the display is off or no
    // area is selected, and none once it went (even where the host has given
    // its handle to another object since).
    CtsxSobj VolumeObject(TVolumePart Part) const;

    fw::TLabel* AreaLabel = nullptr;
    fw::TToolButton* NextAreaButton = nullptr;
    fw::TToolButton* VolumeButton = nullptr;
    fw::TToolButton* PaintButton = nullptr;
    TValueTrack* RootTrack = nullptr;
    TValueTrack* TipTrack = nullptr;
    TValueTrack* RootRampTrack = nullptr;
    TValueTrack* TipRampTrack = nullptr;
    TValueTrack* VolumeYTrack = nullptr;
    TValueTrack* VolumeZTrack = nullptr;

    bool VolumeDisplay() const { return FVolumeDisplay; }
    void SetVolumeDisplay(bool Value);

    // The bound child whose area is chosen; the selected bone's first child
    // with an area stands in while it has none there.
    std::int32_t AreaChild() const { return FAreaChild; }
    void SetAreaChild(std::int32_t Child);
    // The current skeleton's selected bone's area on the chosen child, with
    // the bone and the child's index; none without one.
    TSkinArea* SelectedArea(TBone** Bone = nullptr, std::int32_t* Child = nullptr) const;
    // The next bound child with an area becomes the chosen one.
    void NextArea();

    // When the volume display is on and an area is selected: makes the
    // volume objects that are missing and sizes and places all three by the
    // area and its bone's current transform; otherwise deletes them. The
    // weight-painting window, when shown, draws again.
    void UpdateVolumeObjects();
    // The area's name and values, the tracks enabled for an area, and the
    // volume objects.
    void RefreshPanel();

private:
    void MakeControls();
    void ShowArea();
    void DeleteVolumeObjects();
    bool MakeVolumeObjects();
    void PlaceVolumeObjects(const TSkinArea& area, const CtsxTxmx3f& bone, const CtsxVec3f& head);
    void AreaEdited(float TSkinArea::*Field, double Value);

    bool FVolumeDisplay = false;
    std::int32_t FAreaChild = -1;
    // The objects the panel made, known again by when it made them: the
    // panel never moves or deletes an object it did not make.
    THostRef FVolumeObjects[3];
};

// Empty until the tool window creates the panel.
extern TSkinPanelForm* SkinPanelForm;

// The skinned mesh of a bone's bound child in the skins of the skeleton's
// family, or none.
TSkinObject* FindChildSkin(TSkeleton* Skeleton, TBone* Bone, std::int32_t Child);

} // namespace vel
