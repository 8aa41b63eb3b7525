// The module's main unit: brings the units up in order when the host loads
// the library and takes them down in reverse order when it unloads it.
//
// A host may also end its process without unloading the module. Then the
// runtime's exit handlers destroy statics (last built first, in every
// library) before the loader runs the module's unload, so the finalization
// must not wait for it: the load registers it as an exit handler, which runs
// before every static built after the module came up, and both ways in run
// it once. Whatever it touches is never destroyed (fw::TNoDestroy), so the
// statics built before the load do not matter either.
#include <cstdlib>

#include "EditorWindows.h"
#include "FileIO.h"
#include "Forms.h"
#include "GcThemes.h"
#include "HostRefs.h"
#include "LazyTreeUnit.h"
#include "MainForm.h"
#include "SkelMgr.h"
#include "TSGrid.h"
#include "Switchboard.h"
#include "TsObjectEvents.h"
#include "TsxApi65.h"
#include "TsxPlug.h"

namespace {

bool Finalized = false;

void ModuleFinalize() {
    if (Finalized) return;
    Finalized = true;
    // Late host callbacks must see the flag before any form goes down.
    vel::FinalizePlugUnit();
    vel::FinalizeObjectEventsUnit();
    fw::Application()->DestroyForms();
    vel::FinalizeEditorUnit();
    vel::MainForm = nullptr;
    vel::FinalizeTSGridUnit();   // every grid went with the forms
    vel::FinalizeLazyTreeUnit(); // every tree went with the forms
    vel::FinalizeGcThemes();
    // The rig's own memory goes last, after every window that showed it.
    vel::FinalizeSkelMgrUnit();
    vel::FinalizeFileIOUnit();
    vel::FinalizeHostRefsUnit();
}

__attribute__((constructor)) void ModuleLoad() {
    // Bound to this module: an unload runs it (as a no-op) with the module's
    // other exit work, so nothing is left pointing into unmapped code.
    std::atexit(ModuleFinalize);
    vel::InitializePlugUnit();
    // The frame asks the host's version before any form exists.
    vel::LoadSubDivEntryPoints();
    vel::InitializeObjectEventsUnit();
    vel::InitializeGcThemes();
    vel::InitializeLazyTreeUnit();
    vel::InitializeTSGridUnit();
    vel::MainForm = fw::Application()->CreateForm<vel::TMainForm>();
    // The rig's calls reach the editor's windows; HomeDir: the host
    // program's folder for now.
    vel::InitializeEditorUnit();
    vel::InitializeSkelMgrUnit();
    vel::InitializeSwitchboardUnit(); // HomeDir: the plug-in's folder
}

__attribute__((destructor)) void ModuleUnload() {
    ModuleFinalize();
}

} // namespace
