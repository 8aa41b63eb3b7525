#pragma once
// Thread hooks of the user-interface thread: keyboard and mouse input that
// the input layer delivers, and messages sent to window procedures.
#include "Types.h"

namespace fw {

enum class THookKind { Keyboard, Mouse, CallWndProc };
using THookHandle = void*;
using THookProc = LRESULT (*)(int code, WPARAM, LPARAM);

constexpr int HC_ACTION = 0;

// LParam of a mouse hook call; WParam is the mouse message.
struct TMouseHookStruct {
    TPoint pt;
    HWND hwnd = nullptr;
    UINT wHitTestCode = 0;
    std::uintptr_t dwExtraInfo = 0;
};
// Hit-test codes (WM_NCHITTEST answers).
constexpr UINT HTNOWHERE = 0;
constexpr UINT HTCLIENT = 1;
constexpr UINT HTSIZE = 4; // the box between two scroll bars
constexpr UINT HTHSCROLL = 6;
constexpr UINT HTVSCROLL = 7;
constexpr UINT HTBORDER = 18; // the window's frame

// LParam of a call-window-procedure hook call.
struct TCwpStruct {
    LPARAM lParam = 0;
    WPARAM wParam = 0;
    UINT message = 0;
    HWND hwnd = nullptr;
};

// The newest hook is called first.
THookHandle InstallThreadHook(THookKind Kind, THookProc Proc);
// Calls the hook installed before Hook; 0 when there is none.
LRESULT CallNextHook(THookHandle Hook, int code, WPARAM WParam, LPARAM LParam);
bool RemoveHook(THookHandle Hook);
// Runs the chain from its newest hook; 0 when the chain is empty.
LRESULT RunHookChain(THookKind Kind, int code, WPARAM WParam, LPARAM LParam);
bool HasHooks(THookKind Kind);

} // namespace fw
