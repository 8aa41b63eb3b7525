#include "GcThemes.h"

#include "Canvas.h"
#include "Controls.h"
#include "NoDestroy.h"

#include <functional>

namespace vel {
namespace {

struct TThemesState {
    bool Installed = false;
    fw::TMessageFilter Saved; // the handling found at start-up
};

TThemesState& State() {
    static fw::TNoDestroy<TThemesState> s;
    return *s;
}

void PrintClient(fw::TWinControl* Self, fw::TMessage& Message,
                 const std::function<void()>& Inherited) {
    const fw::TMessageFilter& saved = State().Saved;
    auto run = [&] {
        if (saved)
            saved(Self, Message, Inherited);
        else
            Inherited();
    };
    auto* canvas = reinterpret_cast<fw::TCanvas*>(Message.WParam);
    if (Message.Msg != fw::WM_PRINTCLIENT || !canvas) {
        run();
        return;
    }
    fw::TCanvasStateSaver keep(*canvas);
    run();
}

} // namespace

void InitializeGcThemes() {
    if (State().Installed) return;
    State().Saved = fw::SetControlMessageFilter(fw::WM_PRINTCLIENT, PrintClient);
    State().Installed = true;
}

void FinalizeGcThemes() {
    if (!State().Installed) return;
    fw::SetControlMessageFilter(fw::WM_PRINTCLIENT, State().Saved);
    State().Saved = nullptr;
    State().Installed = false;
}

bool GcThemesInstalled() {
    return State().Installed;
}

} // namespace vel
