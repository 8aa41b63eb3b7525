#pragma once
// A plain mask-definition component: named picture masks (MaskEdit.h) that
// the grid's editors look up by mask name through their mask links.
#include "TSImageList.h"

#include <string>
#include <utility>
#include <vector>

namespace vel {

class TtsMaskDefs : public TtsMaskDefsComponent {
public:
    explicit TtsMaskDefs(fw::TComponent* AOwner) : TtsMaskDefsComponent(AOwner) {}
    ~TtsMaskDefs() override;

    // Adds or replaces a mask (names compared without case); the links look again.
    void SetMask(const std::string& Name, const std::string& Picture);
    void RemoveMask(const std::string& Name);
    int Count() const { return static_cast<int>(FMasks.size()); }
    const std::vector<TtsMaskLink*>& Links() const { return FLinks; }

    void RemoveLink(TtsMaskLink* Link) override;
    void AddLink(TtsMaskLink* Link) override;
    // The picture of the named mask as text, or empty.
    TtsVariant FindMask(const TtsVariant& Key) override;

private:
    void Changed();
    std::vector<std::pair<std::string, std::string>> FMasks;
    std::vector<TtsMaskLink*> FLinks;
};

} // namespace vel
