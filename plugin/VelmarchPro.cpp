// The module's main unit: brings the units up in order when the host loads
// the library and takes them down in reverse order when it unloads it.
#include "EditorWindows.h"
#include "Forms.h"
#include "GcThemes.h"
#include "MainForm.h"
#include "SkelMgr.h"
#include "Switchboard.h"
#include "TsObjectEvents.h"
#include "TsxApi65.h"
#include "TsxPlug.h"

namespace {

__attribute__((constructor)) void ModuleLoad() {
    vel::InitializePlugUnit();
    // The frame asks the host's version before any form exists.
    vel::LoadSubDivEntryPoints();
    vel::InitializeObjectEventsUnit();
    vel::InitializeGcThemes();
    vel::MainForm = fw::Application()->CreateForm<vel::TMainForm>();
    // The rig's calls reach the editor's windows; HomeDir: the host
    // program's folder for now.
    vel::InitializeEditorUnit();
    vel::InitializeSkelMgrUnit();
    vel::InitializeSwitchboardUnit(); // HomeDir: the plug-in's folder
}

__attribute__((destructor)) void ModuleUnload() {
    // Late host callbacks must see the flag before any form goes down.
    vel::FinalizePlugUnit();
    vel::FinalizeObjectEventsUnit();
    vel::FinalizeSkelMgrUnit();
    fw::Application()->DestroyForms();
    vel::FinalizeEditorUnit();
    vel::MainForm = nullptr;
    vel::FinalizeGcThemes();
}

} // namespace
