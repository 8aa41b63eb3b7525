#include "WindowRows.h"

#include <utility>

#include "ComCtrls.h"
#include "Messages.h"

namespace simhost {

namespace {

fw::HTREEITEM Next(fw::HWND wnd, fw::WPARAM code, fw::HTREEITEM item) {
    return reinterpret_cast<fw::HTREEITEM>(
        fw::SendMessage(wnd, fw::TVM_GETNEXTITEM, code, reinterpret_cast<fw::LPARAM>(item)));
}

bool ReadRow(fw::HWND wnd, fw::HTREEITEM item, int level, WindowRow& row) {
    char text[256] = {};
    fw::TTVItemA query;
    query.hItem = item;
    query.pszText = text;
    query.cchTextMax = sizeof text;
    if (!fw::SendMessage(wnd, fw::TVM_GETITEMA, 0, reinterpret_cast<fw::LPARAM>(&query)))
        return false;
    row.Level = level;
    row.Text = text;
    row.Focused = (query.state & fw::TVIS_FOCUSED) != 0;
    row.Selected = (query.state & fw::TVIS_SELECTED) != 0;
    row.Expanded = (query.state & fw::TVIS_EXPANDED) != 0;
    return true;
}

} // namespace

std::vector<WindowRow> ReadWindowRows(fw::TWinControl* tree) {
    std::vector<WindowRow> rows;
    if (!tree) return rows;
    const fw::HWND wnd = tree->Handle();
    // Items still to read, each with its level; siblings are read in order.
    std::vector<std::pair<fw::HTREEITEM, int>> pending;
    if (fw::HTREEITEM first = Next(wnd, fw::TVGN_ROOT, nullptr)) pending.emplace_back(first, 0);
    while (!pending.empty()) {
        auto [item, level] = pending.back();
        pending.pop_back();
        WindowRow row;
        if (!ReadRow(wnd, item, level, row)) continue;
        rows.push_back(row);
        if (fw::HTREEITEM next = Next(wnd, fw::TVGN_NEXT, item)) pending.emplace_back(next, level);
        if (fw::HTREEITEM child = Next(wnd, fw::TVGN_CHILD, item))
            pending.emplace_back(child, level + 1);
    }
    return rows;
}

WindowGrid ReadWindowGrid(fw::TWinControl* grid) {
    WindowGrid shown;
    if (!grid) return shown;
    const fw::HWND wnd = grid->Handle();
    char text[256];
    for (fw::WPARAM col = 0;; ++col) {
        text[0] = '\0';
        fw::TLVColumnA query;
        query.pszText = text;
        query.cchTextMax = sizeof text;
        if (!fw::SendMessage(wnd, fw::LVM_GETCOLUMNA, col, reinterpret_cast<fw::LPARAM>(&query)))
            break;
        shown.Headings.push_back(text);
        shown.Width += query.cx;
    }
    const auto rows = fw::SendMessage(wnd, fw::LVM_GETITEMCOUNT, 0, 0);
    for (fw::LRESULT row = 0; row < rows; ++row) {
        std::vector<std::string>& cells = shown.Rows.emplace_back();
        for (std::size_t col = 0; col < shown.Headings.size(); ++col) {
            text[0] = '\0';
            fw::TLVItemA query;
            query.iSubItem = static_cast<int>(col);
            query.pszText = text;
            query.cchTextMax = sizeof text;
            fw::SendMessage(wnd, fw::LVM_GETITEMTEXTA, static_cast<fw::WPARAM>(row),
                            reinterpret_cast<fw::LPARAM>(&query));
            cells.push_back(text);
        }
    }
    return shown;
}

} // namespace simhost
