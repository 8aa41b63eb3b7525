#pragma once
// Test fixture for the editor windows: the rig services' fixture with the
// editor's own windows installed, as the module installs them, the frame
// controller and the windows' globals reset, and a private settings file.
#include <cstdlib>
#include <filesystem>

#include "EditorWindows.h"
#include "FrameControl.h"
#include "ServicesTestEnv.h"
#include "TestPaths.h"
#include "ToolsForm.h"

namespace vel {

class EditorWindowsTest : public ServicesTest {
protected:
    void SetUp() override {
        settings = fw::TestPath("settings.ini");
        std::filesystem::remove(settings);
        ::setenv("VEL_SETTINGS_FILE", settings.c_str(), 1);
        OpenOnAnimatePage = false;
        ServicesTest::SetUp();
        FreeToolsForm();
        SetupMode = false;
        testing::ResetFrameControl();
        tsxhost::ClearCallLog();
    }
    void TearDown() override {
        fw::ProcessMessages();
        FreeToolsForm();
        ServicesTest::TearDown();
        testing::ResetFrameControl();
        OpenOnAnimatePage = false;
        std::filesystem::remove(settings);
    }
    TEditorServices& Editor() override { return EditorWindows(); }

    static void FreeToolsForm() {
        if (ToolsForm) fw::Free(ToolsForm);
        ToolsForm = nullptr;
    }

    std::filesystem::path settings;
};

} // namespace vel
