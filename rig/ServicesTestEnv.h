#pragma once
// Test fixture for the rig services: the core's host and main form with the
// plug-in active, as after the first click on its icon, and nothing yet asked
// of the editor.
#include <string>
#include <vector>

#include "CoreTestEnv.h"
#include "Forms.h"
#include "Messages.h"

namespace vel {

class ServicesTest : public CoreTest {
protected:
    void SetUp() override {
        CoreTest::SetUp();
        // The plug-in is active from the click on; the window it opened is
        // made again by the tests that want it.
        tsxhost::ClickLeft();
        fw::ProcessMessages();
        editor.Reset();
        SetupMode = false;
        tsxhost::ClearCallLog();
    }
    void TearDown() override {
        fw::ProcessMessages();
        editor.Reset();
        CoreTest::TearDown();
    }
    // The host's calls, or those whose name starts with only.
    static std::vector<std::string> Calls(const std::string& only = "") {
        std::vector<std::string> out;
        for (const std::string& line : tsxhost::CallLog())
            if (only.empty() || line.rfind(only, 0) == 0) out.push_back(line);
        return out;
    }
};

} // namespace vel
