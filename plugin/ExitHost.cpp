// A host that ends the way real hosts do: with the plug-in loaded, its tool
// window open, a rig in the scene, a tree whose worker is busy and a grid
// storage holding bitmaps. CTest runs it in each mode and asks for a clean
// exit (code 0, no hang, nothing from the sanitizers):
//   exit    returns from main without unloading the module
//   unload  unloads the module first
//   reload  loads, unloads and loads the module again, then returns
#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <string>

#include "ExitHost.h"
#include "Forms.h"
#include "Messages.h"
#include "TsxHost.h"
#include "tsxapi.h"

namespace {

// Kept where the leak checker sees it: the program never frees this form.
fw::TForm* KeptForm = nullptr;

bool Fail(const char* what) {
    std::fprintf(stderr, "exithost: %s\n", what);
    return false;
}

fw::TCustomForm* FormNamed(const std::string& name) {
    for (int i = 0; i < fw::Application()->FormCount(); ++i)
        if (fw::Application()->Forms(i)->Name() == name) return fw::Application()->Forms(i);
    return nullptr;
}

// The module loaded and started by the host; the tool window opened by a
// click on the plug-in's icon.
class Plugin {
public:
    bool Load(const char* path) {
        std::string error;
        if (!tsxhost::LoadPluginModule(path, &error)) return Fail(error.c_str());
        FModule = dlopen(path, RTLD_NOW | RTLD_NOLOAD);
        if (!FModule) return Fail("the module is not loaded");
        CtsxPluginData data;
        std::memset(&data, 0, sizeof data);
        tsxhost::LoadSequence(1, &data);
        tsxhost::ClickLeft();
        return FormNamed("ToolsForm") != nullptr || Fail("no tool window");
    }
    template <class F> F Export(const char* name) {
        return reinterpret_cast<F>(dlsym(FModule, name));
    }
    void Unload() {
        if (FModule) dlclose(FModule);
        FModule = nullptr;
        tsxhost::UnloadPluginModule();
    }

private:
    void* FModule = nullptr;
};

// A chain of bones made with the tool window's button, dragged into place,
// then two frames posed and recorded in animate mode.
bool BuildRig(Plugin& plugin) {
    auto newSkeleton = plugin.Export<void (*)()>("velNewSkeleton");
    auto firstSkeleton = plugin.Export<CtsxSobj (*)()>("velGetFirstSkeleton");
    auto firstBone = plugin.Export<CtsxSobj (*)(CtsxSobj)>("velGetFirstBone");
    auto animateMode = plugin.Export<void (*)()>("velAnimateMode");
    auto setFrame = plugin.Export<void (*)(float)>("velSetActiveFrame");
    auto record = plugin.Export<void (*)()>("velRecord");
    if (!newSkeleton || !firstSkeleton || !firstBone || !animateMode || !setFrame || !record)
        return Fail("the scripting functions are missing");
    newSkeleton();
    auto* newBone =
        dynamic_cast<fw::TControl*>(FormNamed("ToolsForm")->FindComponent("NewBoneButton"));
    if (!newBone) return Fail("no bone button");
    CtsxSobj joint = nullptr;
    for (int i = 0; i < 4; ++i) {
        tsxhost::Select(joint);
        newBone->Click();
        joint = tsxGetCurrentSelection();
        if (!joint) return Fail("no joint made");
        tsxhost::Drag(CtsxTxmx3f{{1, 0, 0, 0.5f, 0, 1, 0, 0, 0, 0, 1, 1.0f}});
    }
    if (!firstSkeleton() || !firstBone(firstSkeleton())) return Fail("no bones");
    animateMode();
    for (float frame : {0.0f, 10.0f}) {
        setFrame(frame);
        tsxhost::Drag(CtsxTxmx3f{{1, 0, 0, 0.25f, 0, 1, 0, 0.25f, 0, 0, 1, 0}});
        record();
    }
    fw::ProcessMessages();
    return true;
}

fw::TForm* MakeForm(fw::TComponent* owner, int left) {
    auto* form = fw::Create<fw::TForm>(owner);
    form->SetBounds(left, 600, 300, 200);
    form->Show();
    return form;
}

// A form of the application (the plug-in's finalization frees it) with a tree
// and an in-cell check box that has painted through the shared canvas; and a
// form nobody frees, whose big tree keeps the worker busy up to the exit.
void MakeWindows() {
    fw::TForm* owned = MakeForm(fw::Application(), 700);
    exithost::PlaceTree(owned, 5000);
    exithost::PlaceCheckBox(owned);
    fw::ProcessMessages();
    KeptForm = MakeForm(nullptr, 1100);
    exithost::KeepWorkerBusy(exithost::PlaceTree(KeptForm, 400000));
}

int Run(const std::string& mode, const char* path) {
    exithost::KeepGridCells();
    Plugin plugin;
    if (!plugin.Load(path) || !BuildRig(plugin)) return 1;
    if (mode == "reload") {
        plugin.Unload();
        if (!plugin.Load(path) || !BuildRig(plugin)) return 1;
    }
    exithost::FillGridCells();
    MakeWindows();
    if (mode == "unload") plugin.Unload();
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (argc != 3 || (mode != "exit" && mode != "unload" && mode != "reload")) {
        std::fprintf(stderr, "usage: exithost exit|unload|reload MODULE\n");
        return 2;
    }
    return Run(mode, argv[2]);
}
