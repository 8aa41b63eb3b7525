#pragma once
// The standard list control's item queries, which accessibility clients send
// to read a grid: the number of rows, a column's heading and width, and the
// text each cell shows.
#include "Messages.h"

namespace vel {

class TtsBaseGrid;

// Answers LVM_GETITEMCOUNT, LVM_GETCOLUMNA and LVM_GETITEMTEXTA; false for
// any other message. Items are the data rows and sub-items the data columns,
// both in display order from 0 (hidden lines included, a hidden column 0
// wide). A check cell reads "Checked", "Unchecked" or "Grayed", a picture
// cell the key of its picture, a cell without a control nothing. An index
// outside the grid, or no buffer, answers 0 and fills nothing.
bool AnswerCellQuery(TtsBaseGrid& Grid, fw::TMessage& Message);

} // namespace vel
