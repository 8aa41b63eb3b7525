#pragma once
// The scene tree window: every node of the host's scene by name, groups with
// their members under them, following the host's selection.
#include <cstdint>

#include "TreeForm.h"

namespace vel {

class TSceneTreeForm : public TTreeForm {
public:
    explicit TSceneTreeForm(fw::TComponent* AOwner);
    ~TSceneTreeForm() override;

    // Refills the rows from the scene's first node, then shows the selection.
    void RefreshTree();
    // Focuses, selects and scrolls to the row of the host's selection (a
    // group or an object), refilling the rows first when it has none.
    void SelectCurrentObject();
protected:
    void RefreshRows() override;
    // The rows are listed again when the rig's shape has changed (objects
    // it made or deleted while it held the host's notices back) or when the
    // scene's ends have moved (a load, objects added at the top level).
    void Follow() override;

private:
    void FillFromScene();
    bool SceneEndsMoved() const;

    std::uint64_t FRigShape = 0;
    // The scene's first node and its last top-level node when listed; a
    // scene loaded since may have given their handles to its own objects.
    THostRef FFirst;
    THostRef FLastTop;
};

// Made by the tool window, then kept for the module's life.
extern TSceneTreeForm* SceneTreeForm;

} // namespace vel
