#include "TSMaskDefs.h"

#include <algorithm>
#include <cctype>

namespace vel {

namespace {

bool SameName(const std::string& A, const std::string& B) {
    return A.size() == B.size() && std::equal(A.begin(), A.end(), B.begin(), [](char X, char Y) {
               return std::tolower(static_cast<unsigned char>(X)) ==
                      std::tolower(static_cast<unsigned char>(Y));
           });
}

} // namespace

TtsMaskDefs::~TtsMaskDefs() {
    // Every link lets go first, then learns that the definitions went.
    for (TtsMaskLink* L : std::vector<TtsMaskLink*>(FLinks)) {
        SetLinkTarget(L, nullptr);
        L->MaskDefsFreed();
    }
}

void TtsMaskDefs::SetMask(const std::string& Name, const std::string& Picture) {
    auto It = std::find_if(FMasks.begin(), FMasks.end(),
                           [&](const auto& M) { return SameName(M.first, Name); });
    if (It == FMasks.end())
        FMasks.emplace_back(Name, Picture);
    else
        It->second = Picture;
    Changed();
}

void TtsMaskDefs::RemoveMask(const std::string& Name) {
    std::erase_if(FMasks, [&](const auto& M) { return SameName(M.first, Name); });
    Changed();
}

void TtsMaskDefs::RemoveLink(TtsMaskLink* Link) {
    std::erase(FLinks, Link);
    SetLinkTarget(Link, nullptr);
}

void TtsMaskDefs::AddLink(TtsMaskLink* Link) {
    if (std::find(FLinks.begin(), FLinks.end(), Link) == FLinks.end()) FLinks.push_back(Link);
    SetLinkTarget(Link, this);
}

TtsVariant TtsMaskDefs::FindMask(const TtsVariant& Key) {
    const std::string Name = VarToText(Key);
    for (const auto& M : FMasks)
        if (SameName(M.first, Name)) return TtsVariant(M.second);
    return {};
}

void TtsMaskDefs::Changed() {
    for (TtsMaskLink* L : std::vector<TtsMaskLink*>(FLinks))
        L->MaskDefsChanged();
}

} // namespace vel
