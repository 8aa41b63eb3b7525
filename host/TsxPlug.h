#pragma once
// The plug-in's side of the host's loader: the five entry points, the plug-in
// component that describes the plug-in, and the start-up queue that waits for
// the host to hand out the plug-in number.
#include <cstdint>
#include <functional>
#include <string>

#include "Classes.h"
#include "tsxapi.h"

namespace vel {

enum class TTsxStyle : std::uint8_t { tsOneClick = 0, tsStayOn = 1, tsStayRes = 2 };

using TPlugEvent = std::function<void()>;
using TPlugLeftClickEvent = std::function<void()>;
using TPlugTrapKeyEvent = std::function<void(std::uint32_t wParm, std::uint32_t lParm)>;
using TPlugTrapMouseEvent = std::function<bool(std::uint32_t wParm, std::uint32_t lParm)>;

// One piece of queued start-up work.
struct TInitStore {
    void (*Proc)(void* Data) = nullptr;
    void* Data = nullptr;
};

// Read by the rest of the plug-in.
int PluginId();
bool PluginActive();
bool PluginFinalizing();
bool PluginInitialized();

// Runs proc(data) now once the plug-in is initialised, else queues it.
void CallAfterInit(void (*proc)(void*), void* data);
// Drops queued work for (proc, data): a component freed before the host hands
// out the plug-in number must not be called later.
void CancelAfterInit(void (*proc)(void*), void* data);
// Asks the host to click the plug-in's icon, unless active or unloading.
void ActivatePlugin();
// Binds the two entry points the frame looks up by name in the host library.
void LoadHostEntryPoints();
// LoadHostEntryPoints when tsxGetMainViewHwnd is not bound yet.
void EnsureHostEntryPoints();
// The host's main view window, 0 when there is none (or no host entry).
void* MainViewHwnd();

// Reports the exception being handled; call it only inside a catch block.
// Exceptions must never cross back into the host.
void ReportEscaped(const char* where);

void ClearFpuExceptions();
void ResetFpu();
// Truncates toward zero to the low 32 bits of the 64-bit result; NaN,
// infinities and values beyond the 64-bit range answer 0.
std::int32_t SafeTrunc(float x);

// Unit start and end, called by the module's load and unload in unit order.
void InitializePlugUnit();
void FinalizePlugUnit();

class TTsx : public fw::TComponent {
public:
    explicit TTsx(fw::TComponent* AOwner);
    ~TTsx() override;

    TPlugEvent OnPlugInit;
    TPlugLeftClickEvent OnLeftClick;
    TPlugEvent OnRightClick;
    TPlugEvent OnDeactivate;
    TPlugTrapKeyEvent OnTrapKey;
    TPlugTrapMouseEvent OnTrapMouse;

    int PluginId() const { return vel::PluginId(); }
    const std::string& Title() const { return FTitle; }
    void SetTitle(const std::string& v) { FTitle = v; }
    const std::string& Author() const { return FAuthor; }
    void SetAuthor(const std::string& v) { FAuthor = v; }
    std::int32_t ResBmpId() const { return FResBmpId; }
    void SetResBmpId(std::int32_t v);
    std::int32_t ResStringId() const { return FResStringId; }
    void SetResStringId(std::int32_t v);
    std::int32_t ApiVersionNeeded() const { return FApiVersionNeeded; }
    void SetApiVersionNeeded(std::int32_t v) { FApiVersionNeeded = v; }
    bool HookKeys() const { return FHookKeys; }
    void SetHookKeys(bool v) { FHookKeys = v; }
    bool HookMouse() const { return FHookMouse; }
    void SetHookMouse(bool v) { FHookMouse = v; }
    TTsxStyle TsxStyle() const { return FTsxStyle; }
    void SetTsxStyle(TTsxStyle v);

    void Loaded() override;
    void InstallHandlers();
    void RunPlugInit();
    void DoTrapKey(std::uint32_t wParm, std::uint32_t lParm);
    bool DoTrapMouse(std::uint32_t wParm, std::uint32_t lParm);

    fw::TComponent* OwnerForm() const { return FOwnerForm; }

private:
    fw::TComponent* FOwnerForm = nullptr;
    std::string FTitle;
    std::string FAuthor;
    std::int32_t FResBmpId = 0;
    std::int32_t FResStringId = 0;
    std::int32_t FApiVersionNeeded = 0;
    bool FHookKeys = false;
    bool FHookMouse = false;
    TTsxStyle FTsxStyle = TTsxStyle::tsStayOn;
};

namespace testing {
// Puts the unit back to its just-loaded state, for tests that run the
// plug-in's code in-process more than once.
void ResetPlugUnit();
std::size_t QueuedInitCount();
} // namespace testing

} // namespace vel

// Functions the module exports to the host and to scripts.
#define VEL_EXPORT extern "C" __attribute__((visibility("default")))

// The host's entry points into the module.
VEL_EXPORT int tsxGetVersion(void);
VEL_EXPORT void tsxGetData(CtsxPluginData* data, int pluginId);
VEL_EXPORT int tsxOnLeftClick(void);
VEL_EXPORT void tsxOnRightClick(void);
VEL_EXPORT void tsxDeactivate(void);
