#include "LazyTreeUnit.h"

namespace vel {

// The unit holds nothing of its own between trees yet: what the trees share
// (the worker, the drag registry, the clipboard formats) is built on first
// use and leaves with the last tree or with the module's statics.
void InitializeLazyTreeUnit() {}

void FinalizeLazyTreeUnit() {}

} // namespace vel
