#pragma once
// The class library's own drag of controls: a control starts it (at once, or
// once the held mouse moved past a threshold); while it runs the input layer
// hands every mouse message to it, and the controls under the mouse are asked
// with CM_DRAG whether they take the drop. The source hears CM_DRAGSTART at
// the start (it may supply its own drag object) and CM_DRAGEND at the end.
#include "Controls.h"

#include <cstdint>
#include <memory>

namespace fw {

class TDragObject {
public:
    virtual ~TDragObject() = default;
    TControl* Control = nullptr; // the source
    TPoint DragPos;              // the mouse, screen coordinates
    TControl* DragTarget = nullptr;
    bool Dropped = false;
};

enum class TDragMessage : std::uint8_t {
    dmDragEnter,
    dmDragLeave,
    dmDragMove,
    dmDragDrop,
    dmDragCancel,
    dmFindTarget
};
using enum TDragMessage;

// LParam of CM_DRAG (WParam: the TDragMessage). dmFindTarget answers in Target;
// enter, move and leave answer non-zero to accept a drop.
struct TDragRec {
    TPoint Pos; // screen coordinates
    TDragObject* Source = nullptr;
    TControl* Target = nullptr;
};
constexpr UINT CM_DRAG = CM_BASE + 47;
// LParam: TDragObject** (a source may put its own object there).
constexpr UINT CM_DRAGSTART = CM_BASE + 80;
// LParam: TDragRec* with the target (null when nothing took the drop).
constexpr UINT CM_DRAGEND = CM_BASE + 81;

// Starts a drag of Control (its mouse capture holds the drag): at once, or
// once the mouse moved Threshold pixels (negative: the platform's 5) from here.
// A control on its way out (Destroying) starts none.
void BeginDrag(TControl* Control, bool Immediate, int Threshold = -1);
// A drag runs (not only waits for the threshold).
bool Dragging();
bool DragPending();
TDragObject* CurrentDragObject();
// Ends a running drag without a drop (Escape).
void CancelDrag();
// The input layer's hook: true when the mouse message belonged to the drag.
bool DragMouseMessage(UINT Msg, TPoint ScreenPos);

// A control goes: a drag it runs or waits on ends without a word.
void DragControlFreed(TControl* Control);

// The default answers of a control: dmFindTarget names the control, the
// others go to its drag events.
void DefaultDragHandler(TControl& Control, TMessage& Message);

} // namespace fw
