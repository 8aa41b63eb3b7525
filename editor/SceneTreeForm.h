#pragma once
// The scene tree window: every node of the host's scene by name, groups with
// their members under them, following the host's selection.
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

private:
    void FillFromScene();
};

// Made by the tool window, then kept for the module's life.
extern TSceneTreeForm* SceneTreeForm;

} // namespace vel
