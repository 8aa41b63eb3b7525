#pragma once
// Small routines shared by the rig and the editor windows: file versions,
// embedding a form in a panel, freeing owned lists, flag sets and a lock
// counter kept in a component's tag.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Classes.h"
#include "Forms.h"

namespace vel {

// The text stored under "StringFileInfo\040904E4\FileVersion" in the file's
// version record, without surrounding blanks; "" for a file without one, a
// file that cannot be read, or a damaged record.
std::string GetFileVersion(const std::string& FileName);
// Full file name of the module this code is linked into.
std::string GetPluginFileName();
// GetFileVersion of the plug-in module itself.
std::string GetPluginVersion();

// Makes Form a child filling a place in Parent: placed at (0, 0) with the
// alignment, and shown when Show is set. Answers Form.
fw::TCustomForm* EmbedForm(fw::TCustomForm* Form, fw::TWinControl* Parent, fw::TAlign Align,
                           bool Show);

// Frees every item in index order, then empties the list; the list itself
// stays with its owner. Nothing for no list.
template <class T> void FreeListAndObjects(std::vector<std::unique_ptr<T>>* List) {
    if (!List) return;
    for (std::size_t i = 0; i < List->size(); ++i) {
        // Out of the slot first: an item that looks at the list while it goes
        // finds an empty slot, not itself half destroyed.
        std::unique_ptr<T> item = std::move((*List)[i]);
        item.reset();
    }
    List->clear();
}

inline void ExcludeFlags(std::uint32_t& Flags, std::uint32_t Mask) {
    Flags &= ~Mask;
}
inline void IncludeFlags(std::uint32_t& Flags, std::uint32_t Mask) {
    Flags |= Mask;
}
// Every bit of Mask is set (so an empty mask always is).
inline bool HasFlags(std::uint32_t Flags, std::uint32_t Mask) {
    return (Flags & Mask) == Mask;
}

// A nesting lock counter kept in the component's Tag.
void LockComponent(fw::TComponent* Component);
bool IsComponentLocked(const fw::TComponent* Component);
// Never goes below zero.
void UnlockComponent(fw::TComponent* Component);

} // namespace vel
