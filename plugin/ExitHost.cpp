// A host that ends the way real hosts do: with the plug-in loaded, its tool
// window open on its dope sheet, a rig in the scene, a tree whose worker is
// busy and a grid storage holding bitmaps. CTest runs it in each mode and
// asks for a clean exit (code 0, no hang, nothing from the sanitizers):
//   exit    returns from main without unloading the module
//   unload  unloads the module first
//   reload  loads, unloads and loads the module again, then returns
#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <string>
#include <vector>

#include "Bitmap.h"
#include "ComCtrls.h"
#include "Forms.h"
#include "LazyStringTree.h"
#include "Messages.h"
#include "TSDropDown.h"
#include "TSGridCtrl.h"
#include "TSStorage.h"
#include "TsxHost.h"
#include "tsxapi.h"

namespace {

// Kept where the leak checker sees it: the program never frees this form.
fw::TForm* KeptForm = nullptr;

// ---- the tree and grid objects ----

// A tree of count root nodes on the form, its window made, able to take part
// in drags.
vel::TLazyStringTree* PlaceTree(fw::TForm* form, unsigned count) {
    auto* tree = fw::Create<vel::TLazyStringTree>(form);
    tree->SetParent(form);
    tree->SetBounds(0, 0, 150, 200);
    tree->HandleNeeded();
    tree->SetRootNodeCount(count);
    tree->DragManager(); // a tree that can take part in drags
    return tree;
}

// A storage and a grid with an open drop-down, built before the grid's shared
// set and drop-down registry are first used, so that exit handlers destroy
// them after any static those would have had. Bitmaps first, so that the
// storage that refers to them goes before them.
std::vector<fw::TBitmap>& Pictures() {
    static std::vector<fw::TBitmap> pictures(3);
    return pictures;
}

vel::Tts2DStorage& Cells() {
    static vel::Tts2DStorage cells(4, 4);
    return cells;
}

// A grid whose drop-down is still open at exit: it leaves the registry as
// it goes, like a grid freed by a late exit handler.
class TOpenDropDown : public vel::TtsDropDownOwner {
public:
    ~TOpenDropDown() override { vel::TtsDropDownRegistry::Remove(this); }
    fw::HWND GridWindow() override { return nullptr; }
    fw::HWND ComboListWindow() override { return nullptr; }
    fw::HWND CellControlWindow() override { return nullptr; }
    bool IsDropDownWindow(fw::HWND) override { return false; }
    bool IsDropDownOpen() override { return true; }
    bool MayCloseDropDown() override { return false; }
    void CloseDropDown(bool) override {}
};

TOpenDropDown& DropDown() {
    static TOpenDropDown dropDown;
    return dropDown;
}

void KeepGridCells() {
    Pictures();
    Cells();
    DropDown();
}

// The storage's cells filled with bitmaps; the grid registers its drop-down.
void FillGridCells() {
    std::vector<fw::TBitmap>& pictures = Pictures();
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        pictures[i].SetSize(8, 8);
        Cells().SetBitmap(static_cast<int>(i) + 1, 1, &pictures[i]);
        Cells().SetBitmap(1, static_cast<int>(i) + 2, &pictures[i]);
    }
    vel::TtsDropDownRegistry::Add(&DropDown());
}

// An in-cell check box on the form, painted through the shared canvas.
void PlaceCheckBox(fw::TForm* form) {
    auto* box = fw::Create<vel::TtsGridCheckBox>(form);
    box->SetParent(form);
    box->SetBounds(160, 0, 40, 20);
    fw::ProcessMessages();
}

// ---- the host ----

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
    // The keys shown: the module's grid paints with its pictures and canvases.
    fw::TCustomForm* tools = FormNamed("ToolsForm");
    auto* pages = dynamic_cast<fw::TPageControl*>(tools->FindComponent("TreePages"));
    auto* keys = dynamic_cast<fw::TTabSheet*>(tools->FindComponent("KeysSheet"));
    if (!pages || !keys) return Fail("no dope sheet page");
    pages->SelectPage(keys);
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
    PlaceTree(owned, 5000);
    PlaceCheckBox(owned);
    fw::ProcessMessages();
    KeptForm = MakeForm(nullptr, 1100);
    // A structure change hands the big tree to the worker once more.
    PlaceTree(KeptForm, 400000)->AddChild(nullptr);
}

int Run(const std::string& mode, const char* path) {
    KeepGridCells();
    Plugin plugin;
    if (!plugin.Load(path) || !BuildRig(plugin)) return 1;
    if (mode == "reload") {
        plugin.Unload();
        if (!plugin.Load(path) || !BuildRig(plugin)) return 1;
    }
    FillGridCells();
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
