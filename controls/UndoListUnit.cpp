#include "UndoListUnit.h"

namespace vel {

fw::TObject* TUndoList::Current() const {
    if (FIndex < 0 || FIndex >= Count()) return nullptr;
    return FEntries[static_cast<std::size_t>(FIndex)].Snapshot.get();
}

fw::TObject* TUndoList::Undo() {
    if (!CanUndo()) return nullptr;
    if (FIndex > 0) --FIndex;
    return Current();
}

fw::TObject* TUndoList::Redo() {
    if (!CanRedo()) return nullptr;
    ++FIndex;
    return Current();
}

void TUndoList::Add(const std::string& Name, std::unique_ptr<fw::TObject> Snapshot) {
    FEntries.resize(static_cast<std::size_t>(FIndex + 1)); // the redo branch goes
    FIndex = Count();
    FEntries.push_back(TEntry{Name, std::move(Snapshot)});
}

void TUndoList::Clear() {
    FEntries.clear();
    FIndex = -1;
}

} // namespace vel
