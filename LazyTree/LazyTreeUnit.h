// The tree unit's start and end, which the module holding the trees runs in
// its own start-up order and at unload (after its last tree has gone).
#pragma once

namespace vel {

// Unit start: nothing is made yet; the resources the trees share are made
// by the first tree.
void InitializeLazyTreeUnit();
// Unit end: gives back the shared resources the first tree made, so that
// nothing of this copy of the unit outlives an unloaded module. The worker
// thread and the drag registry have already gone with the last tree.
void FinalizeLazyTreeUnit();

} // namespace vel
