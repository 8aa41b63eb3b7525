#pragma once
// The skeleton tree window. It is built on the tree control later; until then
// its global stays empty and its operations do nothing.
#include "Forms.h"
#include "tsxapi.h"

namespace vel {

class TSkelTreeForm : public fw::TForm {
public:
    explicit TSkelTreeForm(fw::TComponent* AOwner);

    void RebuildTree();
    void RefreshAll();
    void RemoveObjectNode(CtsxSobj object);
};

extern TSkelTreeForm* SkelTreeForm;

} // namespace vel
