#include "TsxPlug.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <deque>
#include <exception>
#include <memory>

#include "Forms.h"
#include "Hooks.h"
#include "Modules.h"
#include "NoDestroy.h"

namespace vel {
namespace {

constexpr const char* kHostLibrary = "Tsxapi.dll";

using TGetMainViewHwnd = void* (*)();
using TForceLeftClick = void (*)(int);

struct TPlugState {
    std::string Title = "Velmarch Pro";
    std::string Author = "Orrendale";
    std::int32_t ResBmpId = 101;
    std::int32_t ResStringId = 1;
    std::int32_t ApiVersionNeeded = 430;
    int PluginId = -1;
    bool PluginActive = false;
    bool PluginFinalizing = false;
    bool PluginInitialized = false;
    TTsxStyle TsxStyle = TTsxStyle::tsStayOn;
    TTsx* InitHandler = nullptr; // the component whose RunPlugInit is armed
    std::unique_ptr<std::deque<std::unique_ptr<TInitStore>>> InitList;
    TPlugEvent LeftClick, RightClick, Deactivate;
    const TTsx* HandlersFrom = nullptr;
    TTsx* Trap = nullptr; // target of the key and mouse traps
    fw::THookHandle KeyHook = nullptr;
    fw::THookHandle MouseHook = nullptr;
    TGetMainViewHwnd GetMainViewHwnd = nullptr;
    TForceLeftClick ForceLeftClick = nullptr;
};

TPlugState& State() {
    static fw::TNoDestroy<TPlugState> s;
    return *s;
}

fw::LRESULT KeyHookProc(int code, fw::WPARAM w, fw::LPARAM l) {
    TPlugState& s = State();
    if (code >= 0 && s.Trap)
        s.Trap->DoTrapKey(static_cast<std::uint32_t>(w), static_cast<std::uint32_t>(l));
    return fw::CallNextHook(s.KeyHook, code, w, l);
}

fw::LRESULT MouseHookProc(int code, fw::WPARAM w, fw::LPARAM l) {
    TPlugState& s = State();
    if (code >= 0 && s.Trap &&
        !s.Trap->DoTrapMouse(static_cast<std::uint32_t>(w), static_cast<std::uint32_t>(l)))
        return 1;
    return fw::CallNextHook(s.MouseHook, code, w, l);
}

void CopyField(std::uint8_t* field, std::size_t size, const std::string& text) {
    const std::size_t n = std::min(text.size(), size);
    std::memcpy(field, text.data(), n);
    if (n < size) field[n] = 0;
}

} // namespace

// With no crash reporter here escaped exceptions are reported on stderr.
void ReportEscaped(const char* where) {
    try {
        throw;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "VelmarchPro: %s: %s\n", where, e.what());
    } catch (...) {
        std::fprintf(stderr, "VelmarchPro: %s: unknown exception\n", where);
    }
}

int PluginId() {
    return State().PluginId;
}
bool PluginActive() {
    return State().PluginActive;
}
bool PluginFinalizing() {
    return State().PluginFinalizing;
}
bool PluginInitialized() {
    return State().PluginInitialized;
}

void CallAfterInit(void (*proc)(void*), void* data) {
    TPlugState& s = State();
    if (s.PluginInitialized) {
        proc(data);
        return;
    }
    if (!s.InitList) s.InitList = std::make_unique<std::deque<std::unique_ptr<TInitStore>>>();
    auto entry = std::make_unique<TInitStore>();
    entry->Proc = proc;
    entry->Data = data;
    s.InitList->push_back(std::move(entry));
}

void CancelAfterInit(void (*proc)(void*), void* data) {
    TPlugState& s = State();
    if (!s.InitList) return;
    std::erase_if(*s.InitList, [&](const std::unique_ptr<TInitStore>& e) {
        return e->Proc == proc && e->Data == data;
    });
}

void LoadHostEntryPoints() {
    TPlugState& s = State();
    fw::ModuleHandle lib = fw::LoadModule(kHostLibrary);
    if (!lib) return;
    s.GetMainViewHwnd =
        reinterpret_cast<TGetMainViewHwnd>(fw::FindSymbol(lib, "tsxGetMainViewHwnd"));
    s.ForceLeftClick = reinterpret_cast<TForceLeftClick>(fw::FindSymbol(lib, "tsxForceLeftClick"));
}

void EnsureHostEntryPoints() {
    if (!State().GetMainViewHwnd) LoadHostEntryPoints();
}

void* MainViewHwnd() {
    TPlugState& s = State();
    EnsureHostEntryPoints();
    return s.GetMainViewHwnd ? s.GetMainViewHwnd() : nullptr;
}

void ActivatePlugin() {
    TPlugState& s = State();
    if (s.PluginFinalizing || s.PluginActive) return;
    if (!s.ForceLeftClick) LoadHostEntryPoints();
    // Without the host's entry nothing clicks, so the plug-in stays inactive.
    if (!s.ForceLeftClick) return;
    s.PluginActive = true;
    s.ForceLeftClick(s.PluginId);
}

void ClearFpuExceptions() {
    fw::ClearFloatExceptions();
}

void ResetFpu() {
    ClearFpuExceptions();
}

std::int32_t SafeTrunc(float x) {
    ClearFpuExceptions();
    // 2^63 is exactly representable; anything at or beyond it overflows int64.
    constexpr float kLimit = 9223372036854775808.0f;
    if (!std::isfinite(x) || x >= kLimit || x < -kLimit) return 0;
    const auto t = static_cast<std::int64_t>(x);
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(t)));
}

void InitializePlugUnit() {
    State() = TPlugState{};
}

void FinalizePlugUnit() {
    TPlugState& s = State();
    s.PluginFinalizing = true;
    // The state is never destroyed, so what it holds goes now.
    std::string().swap(s.Title);
    std::string().swap(s.Author);
    s.InitList.reset();
    if (s.KeyHook) fw::RemoveHook(s.KeyHook);
    if (s.MouseHook) fw::RemoveHook(s.MouseHook);
    s.KeyHook = s.MouseHook = nullptr;
}

// --- TTsx ---

TTsx::TTsx(fw::TComponent* AOwner) : fw::TComponent(AOwner) {
    auto* form = dynamic_cast<fw::TForm*>(AOwner);
    if (!form) return;
    FOwnerForm = form;
    TPlugState& s = State();
    if (!AOwner->InState(fw::TComponentStateItem::Designing)) {
        EnsureHostEntryPoints();
        fw::Application()->SetHandle(static_cast<fw::HWND>(MainViewHwnd()));
    } else {
        FTitle = s.Title;
        FAuthor = s.Author;
        FResBmpId = s.ResBmpId;
        FResStringId = s.ResStringId;
        FApiVersionNeeded = s.ApiVersionNeeded;
    }
    SetTsxStyle(TTsxStyle::tsStayOn);
    s.InitHandler = nullptr; // armed again when this component is loaded
    s.Trap = this;
}

TTsx::~TTsx() {
    // The unit keeps copies of this component's handlers; drop them so a late
    // call from the host finds nothing instead of a freed form.
    TPlugState& s = State();
    if (s.InitHandler == this) s.InitHandler = nullptr;
    if (s.Trap == this) s.Trap = nullptr;
    if (s.HandlersFrom == this) {
        s.LeftClick = nullptr;
        s.RightClick = nullptr;
        s.Deactivate = nullptr;
        s.HandlersFrom = nullptr;
    }
}

void TTsx::SetResBmpId(std::int32_t v) {
    FResBmpId = v;
    State().ResBmpId = v;
}

void TTsx::SetResStringId(std::int32_t v) {
    FResStringId = v;
    State().ResStringId = v;
}

void TTsx::SetTsxStyle(TTsxStyle v) {
    FTsxStyle = v;
    State().TsxStyle = v;
}

void TTsx::Loaded() {
    fw::TComponent::Loaded();
    if (!FOwnerForm || InState(fw::TComponentStateItem::Designing)) return;
    TPlugState& s = State();
    s.Title = FTitle;
    s.Author = FAuthor;
    s.ApiVersionNeeded = FApiVersionNeeded;
    InstallHandlers();
    if (FHookKeys && !s.KeyHook)
        s.KeyHook = fw::InstallThreadHook(fw::THookKind::Keyboard, KeyHookProc);
    if (FHookMouse && !s.MouseHook)
        s.MouseHook = fw::InstallThreadHook(fw::THookKind::Mouse, MouseHookProc);
}

void TTsx::InstallHandlers() {
    TPlugState& s = State();
    s.LeftClick = OnLeftClick;
    s.RightClick = OnRightClick;
    s.Deactivate = OnDeactivate;
    s.HandlersFrom = this;
    if (!s.PluginInitialized) s.InitHandler = this;
}

void TTsx::RunPlugInit() {
    TPlugState& s = State();
    // Each step that throws is reported and the rest still run: the queue
    // runs only this once, and anything left in it would never run.
    auto guarded = [](auto&& step) {
        try {
            step();
        } catch (...) {
            ReportEscaped("tsxGetData");
        }
    };
    // Work queued while the queue runs (by queued work or by OnPlugInit) is
    // run too: drain until nothing is left.
    auto drain = [&s, &guarded] {
        while (s.InitList && !s.InitList->empty()) {
            std::unique_ptr<TInitStore> entry = std::move(s.InitList->front());
            s.InitList->pop_front();
            if (entry->Proc) guarded([&entry] { entry->Proc(entry->Data); });
        }
    };
    drain();
    guarded([this] { fw::CallHandler(OnPlugInit); });
    drain();
    s.InitList.reset();
    s.PluginInitialized = true;
}

void TTsx::DoTrapKey(std::uint32_t wParm, std::uint32_t lParm) {
    fw::CallHandler(OnTrapKey, wParm, lParm);
}

bool TTsx::DoTrapMouse(std::uint32_t wParm, std::uint32_t lParm) {
    // No handler means nobody asked to filter the mouse: let it through.
    if (!OnTrapMouse) return true;
    return OnTrapMouse(wParm, lParm);
}

namespace testing {
void ResetPlugUnit() {
    InitializePlugUnit();
}
std::size_t QueuedInitCount() {
    const TPlugState& s = State();
    return s.InitList ? s.InitList->size() : 0;
}
} // namespace testing

} // namespace vel

using vel::State;

int tsxGetVersion(void) {
    return State().ApiVersionNeeded;
}

void tsxGetData(CtsxPluginData* data, int pluginId) {
    vel::TPlugState& s = State();
    s.PluginId = pluginId;
    try {
        if (vel::TTsx* t = s.InitHandler) {
            s.InitHandler = nullptr; // once only, even when the work throws
            t->RunPlugInit();
        }
    } catch (...) {
        vel::ReportEscaped("tsxGetData");
    }
    if (!data) return;
    auto* bytes = reinterpret_cast<std::uint8_t*>(data);
    vel::CopyField(bytes, 32, s.Title);
    vel::CopyField(bytes + 32, 64, s.Author);
    const auto bmp = static_cast<std::uint16_t>(s.ResBmpId);
    const auto str = static_cast<std::uint16_t>(s.ResStringId);
    std::memcpy(bytes + 96, &bmp, 2);
    std::memcpy(bytes + 98, &str, 2);
}

int tsxOnLeftClick(void) {
    vel::TPlugState& s = State();
    const vel::TTsxStyle style = s.TsxStyle;
    vel::ResetFpu();
    try {
        if (s.LeftClick) s.LeftClick();
    } catch (...) {
        vel::ReportEscaped("tsxOnLeftClick");
    }
    s.PluginActive = style == vel::TTsxStyle::tsStayOn;
    return static_cast<int>(style);
}

void tsxOnRightClick(void) {
    vel::TPlugState& s = State();
    try {
        if (s.RightClick) s.RightClick();
    } catch (...) {
        vel::ReportEscaped("tsxOnRightClick");
    }
}

void tsxDeactivate(void) {
    vel::TPlugState& s = State();
    if (s.PluginFinalizing) return;
    s.PluginActive = false;
    try {
        if (s.Deactivate) s.Deactivate();
    } catch (...) {
        vel::ReportEscaped("tsxDeactivate");
    }
}
