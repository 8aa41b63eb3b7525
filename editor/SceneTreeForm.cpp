#include "SceneTreeForm.h"

namespace vel {

TSceneTreeForm* SceneTreeForm = nullptr;

TSceneTreeForm::TSceneTreeForm(fw::TComponent* AOwner) : fw::TForm(AOwner) {
    SetName("SceneTreeForm");
}

// The tree control is not here yet: nothing to fill, select or remove.
void TSceneTreeForm::RefreshTree() {}
void TSceneTreeForm::SelectCurrentObject() {}
void TSceneTreeForm::RemoveObjectNode(CtsxSobj /*object*/) {}

} // namespace vel
