#pragma once
// Reads the rows a tree or a grid window shows the way an accessibility
// client does: through the standard tree and list controls' item queries
// sent to its window. The host program has no other way in; the plug-in's
// classes are its own.
#include <string>
#include <vector>

#include "Controls.h"
#include "Forms.h"

namespace simhost {

struct WindowRow {
    int Level = 0; // 0 for the top level
    std::string Text;
    bool Focused = false;
    bool Selected = false;
    bool Expanded = false;
};

// Every row in order, each followed by the rows under it, open or not.
std::vector<WindowRow> ReadWindowRows(fw::TWinControl* tree);

// A grid as it shows: the column headings, their total width, and each
// row's cell texts.
struct WindowGrid {
    std::vector<std::string> Headings;
    int Width = 0;
    std::vector<std::vector<std::string>> Rows;
};

WindowGrid ReadWindowGrid(fw::TWinControl* grid);

// The application's form of that name, or null.
inline fw::TCustomForm* FormNamed(const std::string& name) {
    for (int i = 0; i < fw::Application()->FormCount(); ++i)
        if (fw::Application()->Forms(i)->Name() == name) return fw::Application()->Forms(i);
    return nullptr;
}

// A component of owner by its name and class, or null.
template <class T> T* PartNamed(const fw::TComponent* owner, const std::string& name) {
    return owner ? dynamic_cast<T*>(owner->FindComponent(name)) : nullptr;
}

} // namespace simhost
