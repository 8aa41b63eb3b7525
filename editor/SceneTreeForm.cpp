#include "SceneTreeForm.h"

#include <utility>
#include <vector>

#include "RigShape.h"
#include "ScopeExit.h"
#include "TsxHelper.h"

namespace vel {

TSceneTreeForm* SceneTreeForm = nullptr;

TSceneTreeForm::TSceneTreeForm(fw::TComponent* AOwner)
    : TTreeForm(AOwner, "SceneTreeForm", "Scene", "SceneTree") {
    RefreshTree();
}

TSceneTreeForm::~TSceneTreeForm() {
    if (SceneTreeForm == this) SceneTreeForm = nullptr;
}

void TSceneTreeForm::FillFromScene() {
    auto update = fw::EnterScope([this] { Tree()->BeginUpdate(); },
                                 [this] { Tree()->EndUpdate(); });
    ClearRows();
    // Kept once every row is in: a fill cut short by a handler's exception
    // is made again at the next idle.
    const std::uint64_t shape = RigShape();
    FRigShape = ~shape;
    FFirst = RefTo(tsxSceneGetFirstNode());
    FLastTop = {};
    // Sibling chains still to list, each with the row they go under; a
    // stack rather than recursion, however deep the groups nest.
    std::vector<std::pair<CtsxSobj, PLazyNode>> chains{{tsxSceneGetFirstNode(), nullptr}};
    std::vector<PLazyNode> groups;
    while (!chains.empty()) {
        auto [node, parent] = chains.back();
        chains.pop_back();
        for (; node; node = tsxGNodeGetNext(node)) {
            PLazyNode row = AddRow(parent, {rkObject, node});
            if (!parent) FLastTop = RefTo(node);
            if (CtsxSobj child = tsxGNodeGetFirstChild(node)) {
                chains.emplace_back(child, row);
                if (!parent) groups.push_back(row);
            }
        }
    }
    // The top level's groups open; deeper ones open as their members are selected.
    for (PLazyNode group : groups)
        Tree()->SetExpanded(group, true);
    update.Leave();
    FRigShape = shape;
}

void TSceneTreeForm::RefreshTree() {
    if (TreeUpdating()) return;
    FillFromScene();
    SelectCurrentObject();
}

void TSceneTreeForm::SelectCurrentObject() {
    // Inside the tree's own handler: the posted refresh shows it afterwards.
    if (TreeUpdating()) return;
    const CtsxSobj selected = GetSelectedObjectOfType(TSX_TYPE_GROUP);
    PLazyNode row = NodeOfObject(selected);
    // A row of an object that went, whose handle the selection has now, is
    // not its row.
    if (row && ObjectOf(row) != selected) row = nullptr;
    if (selected && !row) {
        FillFromScene();
        row = NodeOfObject(selected);
    }
    ShowRow(row);
}

bool TSceneTreeForm::SceneEndsMoved() const {
    // The host answered the first node: it is alive, but maybe not the one listed.
    const CtsxSobj first = tsxSceneGetFirstNode();
    if (first != FFirst.Object || (first && GoneSince(first, FFirst.Since))) return true;
    if (!FLastTop.Object) return false;
    const CtsxSobj last = LiveObject(FLastTop);
    return !last || tsxGNodeGetNext(last);
}

void TSceneTreeForm::Follow() {
    if (RigShape() != FRigShape || SceneEndsMoved()) RefreshTree();
}

void TSceneTreeForm::RefreshRows() {
    if (TakeRowsStale())
        RefreshTree();
    else
        SelectCurrentObject();
}

} // namespace vel
