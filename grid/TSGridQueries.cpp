#include "TSGridQueries.h"

#include "ComCtrls.h"
#include "TSGrid.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace vel {

namespace {

// Copies as much as fits with its terminating zero; answers the length copied.
fw::LRESULT CopyText(const std::string& Text, char* To, int Max) {
    if (!To || Max <= 0) return 0;
    const std::size_t N = std::min(Text.size(), static_cast<std::size_t>(Max) - 1);
    std::memcpy(To, Text.data(), N);
    To[N] = '\0';
    return static_cast<fw::LRESULT>(N);
}

std::string ShownText(TtsBaseGrid& Grid, int DataCol, int DataRow) {
    const TtsVariant Value = Grid.CellValue(DataCol, DataRow);
    switch (Grid.EffectiveControlType(DataCol, DataRow)) {
    case ctCheck: {
        static const char* const States[] = {"Unchecked", "Checked", "Grayed"};
        const TtsCol* Column = Grid.Col(DataCol);
        return States[CheckStateOf(Value, Column ? Column->CheckBoxValues() : "")];
    }
    case ctPicture:
        // A bitmap of its own has no name to read.
        return std::holds_alternative<fw::TObject*>(Value) ? std::string() : VarToText(Value);
    case ctNone:
        return {};
    default:
        return VarToText(Value);
    }
}

fw::LRESULT GetColumn(TtsBaseGrid& Grid, fw::WPARAM Index, fw::TLVColumnA* Column) {
    if (!Column || Index >= static_cast<fw::WPARAM>(Grid.Cols())) return 0;
    const int Display = static_cast<int>(Index) + 1;
    const TtsCol* Col = Grid.Col(Grid.DataColAt(Display));
    if (!Col) return 0;
    Column->cx = Grid.ColWidths(Display);
    CopyText(Col->Heading(), Column->pszText, Column->cchTextMax);
    return 1;
}

fw::LRESULT GetItemText(TtsBaseGrid& Grid, fw::WPARAM Index, fw::TLVItemA* Item) {
    if (!Item || Index >= static_cast<fw::WPARAM>(Grid.Rows()) || Item->iSubItem < 0 ||
        Item->iSubItem >= Grid.Cols())
        return 0;
    const int DataRow = Grid.DataRowAt(static_cast<int>(Index) + 1);
    const int DataCol = Grid.DataColAt(Item->iSubItem + 1);
    if (DataRow < 1 || DataCol < 1) return 0;
    return CopyText(ShownText(Grid, DataCol, DataRow), Item->pszText, Item->cchTextMax);
}

} // namespace

bool AnswerCellQuery(TtsBaseGrid& Grid, fw::TMessage& Message) {
    switch (Message.Msg) {
    case fw::LVM_GETITEMCOUNT:
        Message.Result = Grid.Rows();
        return true;
    case fw::LVM_GETCOLUMNA:
        Message.Result =
            GetColumn(Grid, Message.WParam, reinterpret_cast<fw::TLVColumnA*>(Message.LParam));
        return true;
    case fw::LVM_GETITEMTEXTA:
        Message.Result =
            GetItemText(Grid, Message.WParam, reinterpret_cast<fw::TLVItemA*>(Message.LParam));
        return true;
    default:
        return false;
    }
}

} // namespace vel
