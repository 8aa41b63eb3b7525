#pragma once
// Every windowed control answers the print-client message with the caller's
// canvas state saved before the framework's handling and restored after it.

namespace vel {

// Unit start-up and shut-down: the fix holds between the two. Finalizing
// puts back the handling that was there before.
void InitializeGcThemes();
void FinalizeGcThemes();
bool GcThemesInstalled();

} // namespace vel
