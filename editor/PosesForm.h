#pragma once
// The pose list window: one row for each pose of the current skeleton's pose
// library, showing the pose's name.
#include <cstdint>

#include "TreeForm.h"

namespace vel {

class TSkeletonState;

class TPosesForm : public TTreeForm {
public:
    explicit TPosesForm(fw::TComponent* AOwner);
    ~TPosesForm() override;

    // Sets the row count to the current skeleton's number of poses (0
    // without a current skeleton).
    void RefreshPoseTree();

    // The pose a key or a row stands for, found again through its skeleton's
    // bag and its place in the list; none when either has gone.
    TSkeletonState* PoseOfKey(TNodeKey Key) const;
    TSkeletonState* PoseOf(PLazyNode Node) const { return PoseOfKey(KeyOf(Node)); }

protected:
    void GetRowText(const TRowRef& Ref, TLSTTextType TextType, std::string& Text) override;
    // Picking a pose selects nothing in the host.
    void RowPicked(PLazyNode) override {}

private:
    // The skeleton the rows were made for, by serial, and its bag.
    std::uint64_t FPoseSkeleton = 0;
    CtsxSobj FPoseBag = nullptr;
};

// Made by the tool window, then kept for the module's life.
extern TPosesForm* PosesForm;

} // namespace vel
