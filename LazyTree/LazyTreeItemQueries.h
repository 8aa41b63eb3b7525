// The standard tree control's item queries, which accessibility clients send
// to read a tree's rows: navigation, an item's rectangle and an item's state
// and text.
#pragma once

#include "LazyTrees.h"

namespace vel {

// Answers TVM_GETNEXTITEM, TVM_GETITEMRECT and TVM_GETITEMA; false for any
// other message. An item handle is a node; one the tree does not hold (a
// stale or made-up handle) answers 0 and fills nothing.
bool AnswerItemQuery(TBaseLazyTree& Tree, fw::TMessage& Message);

} // namespace vel
