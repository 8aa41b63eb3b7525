#pragma once
// The skeleton tree window: the current skeleton's bones as the bone
// hierarchy (a bone under the bone whose tail is its head) and under each
// bone the objects bound to it, sorted by name.
#include <cstdint>
#include <unordered_map>

#include "TreeForm.h"

namespace vel {

class TBone;

class TSkelTreeForm : public TTreeForm {
public:
    explicit TSkelTreeForm(fw::TComponent* AOwner);
    ~TSkelTreeForm() override;

    // Lists the current skeleton's bones and their bound objects (no rows
    // without a current skeleton); the rows are sorted once the posted
    // CM_SORTTREE arrives.
    void RebuildTree();
    // Unless the tree is in an update: rebuilds it when a skeleton is
    // current, selects the selected bone's row again (else the row focused
    // before) and scrolls it into view.
    void RefreshAll();
    // The rows of a host object go; when a bone's row went, the bones that
    // hung under it come back with the posted refresh.
    void RemoveObjectNode(CtsxSobj object);

    // The bone a key or a row stands for, found again through its bone
    // object; none when either has gone.
    TBone* BoneOfKey(TNodeKey Key) const;
    TBone* BoneOf(PLazyNode Node) const { return BoneOfKey(KeyOf(Node)); }

protected:
    void GetRowText(const TRowRef& Ref, TLSTTextType TextType, std::string& Text) override;
    void SortRows() override;
    void RefreshRows() override;
    // The rows follow the shown skeleton's shape (RigShape.h).
    void Follow() override;

private:
    void FillFromSkeleton();
    // Selects the selected bone's row again (else the row focused before)
    // and scrolls it into view, after a rebuild when asked.
    void ShowAgain(bool Rebuild);
    // The row holding Object whose parent row holds Parent (none: the top
    // level, or any parent when no row has that one).
    PLazyNode FindRow(CtsxSobj Object, CtsxSobj Parent) const;
    struct TSortKey;
    TSortKey SortKeyOf(PLazyNode Node);
    int CompareRows(PLazyNode A, PLazyNode B);

    // A rebuild asked for inside the tree's own handler waits for the refresh.
    bool FRebuildPending = false;
    // The shape of the skeleton the rows were listed from.
    std::uint64_t FShape = 0;
    // The rows' sort keys while a sort runs.
    const std::unordered_map<PLazyNode, TSortKey>* FSortKeys = nullptr;
};

// Made by the tool window, then kept for the module's life.
extern TSkelTreeForm* SkelTreeForm;

} // namespace vel
