#pragma once
// Test fixture for the rig services and the editor windows: the core's host
// and main form, plus the frame controller, the windows' globals and a
// private settings file.
#include <cstdlib>
#include <filesystem>
#include <string>

#include "CoreTestEnv.h"
#include "Forms.h"
#include "FrameControl.h"
#include "Messages.h"
#include "TestPaths.h"
#include "ToolsForm.h"

namespace vel {

class ServicesTest : public CoreTest {
protected:
    void SetUp() override {
        settings = fw::TestPath("settings.ini");
        std::filesystem::remove(settings);
        ::setenv("VEL_SETTINGS_FILE", settings.c_str(), 1);
        CoreTest::SetUp();
        OpenOnAnimatePage = false;
        // The plug-in is active from the click on; the window it opened is
        // made again by the tests that want it.
        tsxhost::ClickLeft();
        fw::ProcessMessages();
        FreeToolsForm();
        SetupMode = false;
        testing::ResetFrameControl();
        tsxhost::ClearCallLog();
    }
    void TearDown() override {
        fw::ProcessMessages();
        FreeToolsForm();
        CoreTest::TearDown();
        testing::ResetFrameControl();
        OpenOnAnimatePage = false;
        std::filesystem::remove(settings);
    }
    static void FreeToolsForm() {
        if (ToolsForm) fw::Free(ToolsForm);
        ToolsForm = nullptr;
    }
    // The host's calls, or those whose name starts with only.
    static std::vector<std::string> Calls(const std::string& only = "") {
        std::vector<std::string> out;
        for (const std::string& line : tsxhost::CallLog())
            if (only.empty() || line.rfind(only, 0) == 0) out.push_back(line);
        return out;
    }

    std::filesystem::path settings;
};

} // namespace vel
