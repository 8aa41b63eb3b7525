#include "SkelTreeForm.h"

namespace vel {

TSkelTreeForm* SkelTreeForm = nullptr;

TSkelTreeForm::TSkelTreeForm(fw::TComponent* AOwner) : fw::TForm(AOwner) {
    SetName("SkelTreeForm");
}

// The tree control is not here yet: nothing to list, refresh or remove.
void TSkelTreeForm::RebuildTree() {}
void TSkelTreeForm::RefreshAll() {}
void TSkelTreeForm::RemoveObjectNode(CtsxSobj /*object*/) {}

} // namespace vel
