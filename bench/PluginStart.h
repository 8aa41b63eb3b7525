#pragma once
// The plug-in started in-process as the host starts it, for the benchmarks
// that measure the rig and its windows: its units reset, the sub-division
// binding and object events up, the main form made with its move handler,
// the plug-in attached and the host's load sequence run. Taken down again in
// the reverse order.
#include <cstdint>
#include <memory>

#include "Attributes.h"
#include "MainForm.h"
#include "SkelMgr.h"
#include "Switchboard.h"
#include "TeeBone.h"
#include "TsObjectEvents.h"
#include "TsxApi65.h"
#include "TsxHost.h"
#include "TsxPlug.h"

class TPluginStart {
public:
    TPluginStart() {
        using namespace vel;
        tsxhost::Reset();
        vel::testing::ResetPlugUnit();
        vel::testing::ResetSwitchboardUnit();
        vel::testing::ResetSkelMgrUnit();
        vel::testing::ResetAttributesUnit();
        TTeeBone::ResetSharedUp();
        LoadSubDivEntryPoints();
        InitializeObjectEventsUnit();
        FForm.reset(new TMainForm(nullptr));
        MainForm = FForm.get();
        // The move handler is the main form's; until it is wired, the same
        // call. The host hears of it at start-up, so it is set before.
        if (!MainForm->TsxEvents->OnObjectMove)
            MainForm->TsxEvents->OnObjectMove = [](CtsxTxmx3f& m, std::int16_t) {
                if (!EditLocked()) ObjectMoved(m);
            };
        tsxhost::AttachPlugin(
            {tsxGetVersion, tsxGetData, tsxOnLeftClick, tsxOnRightClick, tsxDeactivate});
        CtsxPluginData data;
        tsxhost::LoadSequence(1, &data);
    }
    ~TPluginStart() {
        using namespace vel;
        vel::testing::ResetSkelMgrUnit();
        vel::testing::ResetSwitchboardUnit();
        MainForm = nullptr;
        FForm.reset();
        FinalizeObjectEventsUnit();
        tsxhost::Reset();
        vel::testing::ResetPlugUnit();
        vel::testing::ResetAttributesUnit();
        SetupMode = false;
    }
    TPluginStart(const TPluginStart&) = delete;
    TPluginStart& operator=(const TPluginStart&) = delete;

private:
    std::unique_ptr<vel::TMainForm> FForm;
};
