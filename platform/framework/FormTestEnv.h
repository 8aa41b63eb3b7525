#pragma once
// Test fixture for controls: a form on a fresh input state, freed before the
// input state is reset again.
#include <memory>

#include <gtest/gtest.h>

#include "Forms.h"
#include "Input.h"

namespace fw {

class FormTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetInputState();
        Form = std::make_unique<TForm>(nullptr);
        Form->SetBounds(100, 100, 300, 200);
    }
    void TearDown() override {
        Form.reset();
        ResetInputState();
    }
    // Shows the form and lets its first paint through.
    void Show() {
        Form->Show();
        ProcessMessages();
    }
    std::unique_ptr<TForm> Form;
};

} // namespace fw
