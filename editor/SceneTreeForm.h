#pragma once
// The scene tree window. It is built on the tree control later; until then
// its global stays empty and its operations do nothing.
#include "Forms.h"
#include "tsxapi.h"

namespace vel {

class TSceneTreeForm : public fw::TForm {
public:
    explicit TSceneTreeForm(fw::TComponent* AOwner);

    void RefreshTree();
    void SelectCurrentObject();
    void RemoveObjectNode(CtsxSobj object);
};

extern TSceneTreeForm* SceneTreeForm;

} // namespace vel
