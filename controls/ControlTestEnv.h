#pragma once
// Test set-up shared by the control tests: the framework's form fixture, a
// strip of plain-coloured images, and the cursor-balance walk every dragging
// control must pass.
#include <initializer_list>
#include <memory>
#include <random>

#include <gtest/gtest.h>

#include "FormTestEnv.h"
#include "ImageList.h"

namespace vel {

using fw::FormTest;

// size x size images, one a colour, in the order given.
inline std::unique_ptr<fw::TImageList> ColourList(fw::TComponent* owner, int size,
                                                  std::initializer_list<fw::TColor> colours) {
    auto list = std::make_unique<fw::TImageList>(owner, size, size);
    fw::TBitmap strip(size * static_cast<int>(colours.size()), size);
    int x = 0;
    for (fw::TColor c : colours) {
        strip.Canvas().Brush().SetColor(c);
        strip.Canvas().FillRect(fw::TRect{x, 0, x + size, size});
        x += size;
    }
    list->AddMasked(strip, fw::clNone);
    return list;
}

// Random presses, moves, releases, capture changes and enable flips in and
// around the control (points from -margin to span - margin - 1): the cursor is
// hidden once exactly while `busy` says a drag holds it, whatever the order.
template <class Busy>
void ExpectCursorBalanced(fw::TControl* ctl, fw::TWinControl* form, unsigned seed, int span,
                          int margin, Busy busy) {
    std::mt19937 rng(seed);
    for (int step = 0; step < 3000; ++step) {
        const fw::TPoint at = fw::ControlPoint(ctl, static_cast<int>(rng() % span) - margin,
                                               static_cast<int>(rng() % span) - margin);
        const auto button = (rng() % 3 == 0) ? fw::mbRight : fw::mbLeft;
        switch (rng() % 8) {
        case 0:
        case 1:
            fw::MouseDownAt(at, button);
            break;
        case 2:
        case 3:
            fw::MouseMoveTo(at);
            break;
        case 4:
            fw::MouseUpAt(at, button);
            break;
        case 5:
            fw::SetCapture(rng() % 2 ? form->Handle() : nullptr);
            break;
        case 6:
            ctl->SetEnabled(!ctl->Enabled());
            break;
        default:
            fw::ProcessMessages();
            break;
        }
        ASSERT_EQ(fw::CursorCounter(), busy() ? -1 : 0) << step;
    }
}

} // namespace vel
