#pragma once
// Test fixture for the host components: a fresh host and plug unit for each
// test, the test's form freed before the plug unit is reset again.
#include <memory>

#include <gtest/gtest.h>

#include "TsxHost.h"
#include "TsxPlug.h"

namespace vel {

template <class TFormUnderTest, bool LogCalls = false> class PlugFormTest : public ::testing::Test {
protected:
    void SetUp() override {
        tsxhost::Reset();
        testing::ResetPlugUnit();
        if constexpr (LogCalls) tsxhost::SetCallLog(true);
    }
    void TearDown() override {
        form.reset();
        testing::ResetPlugUnit();
    }
    // What the host does on loading the plug-in: it asks for the descriptor.
    static void Start() {
        CtsxPluginData data;
        tsxGetData(&data, 7);
    }
    std::unique_ptr<TFormUnderTest> form;
};

} // namespace vel
