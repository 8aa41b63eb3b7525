#pragma once
// A linear undo history of owned snapshots with a cursor on the entry that
// holds the current state.
#include "Types.h"

#include <memory>
#include <string>
#include <vector>

namespace vel {

class TUndoList {
public:
    TUndoList() = default;
    ~TUndoList() { Clear(); }
    TUndoList(const TUndoList&) = delete;
    TUndoList& operator=(const TUndoList&) = delete;

    int Count() const { return static_cast<int>(FEntries.size()); }
    // -1 when empty; always -1 <= Index <= Count - 1.
    int Index() const { return FIndex; }
    const std::string& Names(int I) const { return FEntries.at(static_cast<std::size_t>(I)).Name; }
    fw::TObject* Objects(int I) const {
        return FEntries.at(static_cast<std::size_t>(I)).Snapshot.get();
    }

    bool CanUndo() const { return FIndex >= 0; }
    bool CanRedo() const { return FIndex < Count() - 1; }
    // The snapshot of the current entry; null when empty. The list keeps it.
    fw::TObject* Current() const;
    // Steps back (not past entry 0) and answers the current snapshot; null
    // when there is nothing to undo.
    fw::TObject* Undo();
    fw::TObject* Redo();
    // Frees the redo branch, then appends the entry and points at it.
    void Add(const std::string& Name, std::unique_ptr<fw::TObject> Snapshot);
    void Clear();

private:
    struct TEntry {
        std::string Name;
        std::unique_ptr<fw::TObject> Snapshot;
    };
    std::vector<TEntry> FEntries;
    int FIndex = -1;
};

} // namespace vel
