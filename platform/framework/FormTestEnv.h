#pragma once
// Test fixture for controls: a form on a fresh input state, freed before the
// input state is reset again, and the controls placed on it.
#include <memory>
#include <utility>

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
    // A control made on the form, placed in it at the bounds given; further
    // arguments go to the control's constructor.
    template <class T, class... A> T* Place(int Left, int Top, int Width, int Height, A&&... Args) {
        T* Control = Create<T>(Form.get(), std::forward<A>(Args)...);
        Control->SetParent(Form.get());
        Control->SetBounds(Left, Top, Width, Height);
        return Control;
    }
    std::unique_ptr<TForm> Form;
};

} // namespace fw
