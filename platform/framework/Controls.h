#pragma once
// Controls: the control base, windowed controls, self-painting windowed
// controls and windowless (graphic) controls.
//
// A control's client area is its bounds less its non-client area: from the
// outside in, the frame its window style asks for (only for controls with
// csNonClientFrame; the others draw their frame inside the client), the
// bevels, the border width and the scroll bars it shows (ScrollBars.h; the
// vertical one at the right, or at the left with WS_EX_LEFTSCROLLBAR).
// Left/Top are relative to the parent's client area, or to the screen for a
// control without a parent (a top-level window). Each top-level window keeps
// a backing surface; painting draws into it through a canvas.
#include "Classes.h"
#include "Graphics.h"
#include "Messages.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace fw {

class TCanvas;
class TWinControl;
class TCustomForm;
struct TWindowScrollBars;

enum class TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
using enum TAlign;
enum class TMouseButton { mbLeft, mbRight, mbMiddle };
using enum TMouseButton;

// Text alignment and reading order of controls and columns (8-bit, as stored).
enum class TAlignment : std::uint8_t { taLeftJustify, taRightJustify, taCenter };
using enum TAlignment;
enum class TBiDiMode : std::uint8_t {
    bdLeftToRight,
    bdRightToLeft,
    bdRightToLeftNoAlign,
    bdRightToLeftReadingOnly
};
using enum TBiDiMode;

// The frame of a windowed control: none, or a single (3D when Ctl3D) border.
enum class TBorderStyle : std::uint8_t { bsNone, bsSingle };
using enum TBorderStyle;

// Which scroll bars a control shows.
enum class TScrollStyle : std::uint8_t { ssNone, ssHorizontal, ssVertical, ssBoth };
using enum TScrollStyle;
constexpr bool HasHorzScrollBar(TScrollStyle S) {
    return S == ssHorizontal || S == ssBoth;
}
constexpr bool HasVertScrollBar(TScrollStyle S) {
    return S == ssVertical || S == ssBoth;
}

using TShiftState = std::uint16_t;
constexpr TShiftState ssShift = 0x01;
constexpr TShiftState ssAlt = 0x02;
constexpr TShiftState ssCtrl = 0x04;
constexpr TShiftState ssLeft = 0x08;
constexpr TShiftState ssRight = 0x10;
constexpr TShiftState ssMiddle = 0x20;
constexpr TShiftState ssDouble = 0x40;

// Control style flags (ControlStyle).
using TControlStyle = std::uint32_t;
constexpr TControlStyle csAcceptsControls = 0x0001;
constexpr TControlStyle csCaptureMouse = 0x0002;
constexpr TControlStyle csClickEvents = 0x0004;
constexpr TControlStyle csFramed = 0x0008;
constexpr TControlStyle csSetCaption = 0x0010;
constexpr TControlStyle csOpaque = 0x0020; // paints its whole area: no background erase
constexpr TControlStyle csDoubleClicks = 0x0040;
constexpr TControlStyle csFixedWidth = 0x0080;
constexpr TControlStyle csFixedHeight = 0x0100;
constexpr TControlStyle csReplicatable = 0x0200;
constexpr TControlStyle csNoStdEvents = 0x0400;
// The frame of the window style (border, client edge, thick frame) lies
// outside the client area and the framework draws it.
constexpr TControlStyle csNonClientFrame = 0x0800;

// Sides of the parent whose distance a control keeps when the parent resizes.
using TAnchors = std::uint8_t;
constexpr TAnchors akLeft = 0x1;
constexpr TAnchors akTop = 0x2;
constexpr TAnchors akRight = 0x4;
constexpr TAnchors akBottom = 0x8;

// Limits of a control's size; 0 is no limit.
struct TSizeConstraints {
    int MinWidth = 0;
    int MinHeight = 0;
    int MaxWidth = 0;
    int MaxHeight = 0;
    bool operator==(const TSizeConstraints&) const = default;
};

// The class library's drag of a control: how it starts and what it does.
enum class TDragMode : std::uint8_t { dmManual, dmAutomatic };
using enum TDragMode;
enum class TDragKind : std::uint8_t { dkDrag, dkDock };
using enum TDragKind;

// Bevels of a windowed control's frame.
enum class TBevelCut { bvNone, bvLowered, bvRaised };
using enum TBevelCut;
enum class TBevelKind : std::uint8_t { bkNone, bkTile, bkSoft, bkFlat };
using enum TBevelKind;
using TBevelEdges = std::uint8_t;
constexpr TBevelEdges beLeft = 0x1;
constexpr TBevelEdges beTop = 0x2;
constexpr TBevelEdges beRight = 0x4;
constexpr TBevelEdges beBottom = 0x8;
constexpr TBevelEdges beAll = beLeft | beTop | beRight | beBottom;

// The input method's state for a windowed control (kept; no input method here).
enum class TImeMode : std::uint8_t {
    imDisable, imClose, imOpen, imDontCare, imSAlpha, imAlpha, imHira, imSKata, imKata,
    imChinese, imSHanguel, imHanguel
};
using enum TImeMode;

// Run-time control state flags (ControlState).
using TControlState = std::uint32_t;
constexpr TControlState csLButtonDown = 0x0001;
constexpr TControlState csClicked = 0x0002;
constexpr TControlState csFocusing = 0x0004;
constexpr TControlState csCreating = 0x0008;
constexpr TControlState csAligning = 0x0010;
constexpr TControlState csPaintCopy = 0x0020;

// Cursor identifiers (Cursor property).
using TCursor = int;
constexpr TCursor crDefault = 0;
constexpr TCursor crArrow = -2;
constexpr TCursor crCross = -3;
constexpr TCursor crIBeam = -4;
constexpr TCursor crSizeNS = -7;
constexpr TCursor crSizeWE = -9;
constexpr TCursor crHSplit = -14;
constexpr TCursor crVSplit = -15;
constexpr TCursor crDrag = -12;
constexpr TCursor crHandPoint = -21;

using TMouseEvent =
    std::function<void(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;
using TMouseMoveEvent = std::function<void(TObject* Sender, TShiftState Shift, int X, int Y)>;
using TMouseWheelEvent = std::function<void(TObject* Sender, TShiftState Shift, int WheelDelta,
                                            TPoint MousePos, bool& Handled)>;
// A context menu asked for at MousePos (client coordinates; -1, -1 from the
// keyboard); Handled keeps the request from going on to the parent.
using TContextPopupEvent = std::function<void(TObject* Sender, TPoint MousePos, bool& Handled)>;
using TKeyEvent = std::function<void(TObject* Sender, std::uint16_t& Key, TShiftState Shift)>;
using TKeyPressEvent = std::function<void(TObject* Sender, char& Key)>;
using TWndMethod = std::function<void(TMessage& Message)>;

// Where a paint goes: Origin is where the control's client (0,0) lies in
// Surface, Clip the writable part in surface coordinates. WM_PAINT of a
// graphic control carries a pointer to one in WParam; WM_PAINT with WParam 0
// to a windowed control paints its invalid area into its window's surface.
struct TPaintTarget {
    TSurface* Surface = nullptr;
    TPoint Origin;
    TRect Clip;
};

class THintWindow;
// Makes the hint window a control wants its hint shown in.
using THintWindowFactory = std::function<std::unique_ptr<THintWindow>()>;

// LParam of CM_HINTSHOW: what the application is about to show; the control
// may change it, or answer non-zero to show nothing.
struct THintInfo {
    class TControl* HintControl = nullptr;
    TPoint CursorPos;   // client coordinates of the hint control
    TRect CursorRect;   // the hint stays while the mouse is inside (client coordinates)
    std::string HintStr;
    std::u16string WideHint; // shown instead of HintStr when not empty
    TColor HintColor = clInfoBk;
    int HideTimeout = 0;     // ms; 0: the application's hide pause, -1: never
    TPoint HintPos;          // screen position of the window's top-left
    int HintMaxWidth = 300;
    THintWindowFactory HintWindowClass; // empty: the plain hint window
    void* HintData = nullptr;           // handed to the window with the text
};

struct TCreateParams {
    std::string Caption;
    std::uint32_t Style = 0;
    std::uint32_t ExStyle = 0;
    int X = 0;
    int Y = 0;
    int Width = 0;
    int Height = 0;
    HWND WndParent = nullptr;
    std::uint32_t WindowClassStyle = 0; // CS_DBLCLKS lets the window see double clicks
};

class TControl : public TComponent {
public:
    explicit TControl(TComponent* AOwner);
    ~TControl() override;

    TWinControl* Parent() const { return FParent; }
    virtual void SetParent(TWinControl* AParent);
    TComponent* GetParentComponent() const override;

    int Left() const { return FLeft; }
    int Top() const { return FTop; }
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    void SetLeft(int Value) { SetBounds(Value, FTop, FWidth, FHeight); }
    void SetTop(int Value) { SetBounds(FLeft, Value, FWidth, FHeight); }
    void SetWidth(int Value) { SetBounds(FLeft, FTop, Value, FHeight); }
    void SetHeight(int Value) { SetBounds(FLeft, FTop, FWidth, Value); }
    virtual void SetBounds(int ALeft, int ATop, int AWidth, int AHeight);
    TRect BoundsRect() const { return Bounds(FLeft, FTop, FWidth, FHeight); }
    void SetBoundsRect(const TRect& R) { SetBounds(R.Left, R.Top, R.Width(), R.Height()); }
    TRect ClientRect() const { return TRect{0, 0, ClientWidth(), ClientHeight()}; }
    int ClientWidth() const { return std::max(FWidth - FNonClient.Left - FNonClient.Right, 0); }
    int ClientHeight() const { return std::max(FHeight - FNonClient.Top - FNonClient.Bottom, 0); }
    // Where the client's (0,0) lies in the control's own (window) coordinates.
    TPoint ClientOffset() const { return TPoint{FNonClient.Left, FNonClient.Top}; }
    // Screen position of the client's (0,0).
    TPoint ClientOrigin() const;
    TPoint ClientToScreen(TPoint P) const;
    TPoint ScreenToClient(TPoint P) const;

    TAlign Align() const { return FAlign; }
    void SetAlign(TAlign Value);
    TAnchors Anchors() const { return FAnchors; }
    void SetAnchors(TAnchors Value) { FAnchors = Value; }
    const TSizeConstraints& Constraints() const { return FConstraints; }
    // Applies the limits to the current size at once.
    void SetConstraints(const TSizeConstraints& Value);
    // Kept for the controls that size themselves to their content.
    bool AutoSize() const { return FAutoSizeFlag; }
    void SetAutoSize(bool Value) { FAutoSizeFlag = Value; }
    TCursor DragCursor() const { return FDragCursor; }
    void SetDragCursor(TCursor Value) { FDragCursor = Value; }
    TDragKind DragKind() const { return FDragKind; }
    void SetDragKind(TDragKind Value) { FDragKind = Value; }
    // dmAutomatic: a left press starts the class library's drag (DragCtrls.h).
    TDragMode DragMode() const { return FDragMode; }
    void SetDragMode(TDragMode Value) { FDragMode = Value; }

    bool Visible() const { return FVisible; }
    virtual void SetVisible(bool Value);
    void Show() { SetVisible(true); }
    void Hide() { SetVisible(false); }
    // Visible, and so is every parent up to a visible top-level window.
    bool Showing() const;
    bool Enabled() const { return FEnabled; }
    virtual void SetEnabled(bool Value);
    // Enabled, and so is every parent.
    bool EnabledInChain() const;

    TColor Color() const { return FColor; }
    void SetColor(TColor Value);
    bool ParentColor() const { return FParentColor; }
    void SetParentColor(bool Value);
    TFont& Font() { return *FFont; }
    const TFont& Font() const { return *FFont; }
    bool ParentFont() const { return FParentFont; }
    void SetParentFont(bool Value);
    const std::string& Caption() const { return FText; }
    void SetCaption(const std::string& Value) { SetText(Value); }
    const std::string& Text() const { return FText; }
    virtual void SetText(const std::string& Value);
    const std::string& Hint() const { return FHint; }
    void SetHint(const std::string& Value) { FHint = Value; }
    bool ShowHint() const { return FShowHint; }
    void SetShowHint(bool Value);
    bool ParentShowHint() const { return FParentShowHint; }
    void SetParentShowHint(bool Value);
    TCursor Cursor() const { return FCursor; }
    void SetCursor(TCursor Value);
    // The help topic of the control (0: none, ask the parent).
    int HelpContext() const { return FHelpContext; }
    void SetHelpContext(int Value) { FHelpContext = Value; }

    TControlStyle ControlStyle() const { return FControlStyle; }
    void SetControlStyle(TControlStyle Value) { FControlStyle = Value; }
    TControlState ControlState() const { return FControlState; }
    void SetControlState(TControlState Value) { FControlState = Value; }

    // Holds the mouse capture (through the parent window for a graphic control).
    bool MouseCapture() const;
    void SetMouseCapture(bool Value);

    // Sends a message straight to this control's window procedure, holding
    // the control meanwhile (Free waits); a freed control hears nothing.
    LRESULT Perform(UINT Msg, WPARAM WParam = 0, LPARAM LParam = 0);
    // The message entry point; replaceable to subclass a control. Empty = WndProc.
    const TWndMethod& WindowProc() const { return FWindowProc; }
    void SetWindowProc(TWndMethod Value) { FWindowProc = std::move(Value); }
    virtual void WndProc(TMessage& Message);

    virtual void Invalidate();
    void InvalidateRect(const TRect& R); // client coordinates
    void Update();
    void Repaint();
    void Refresh() { Repaint(); }
    void BringToFront();
    void SendToBack();
    virtual bool IsWindowed() const { return false; }

    virtual void Click();
    virtual void DblClick();

    TNotifyEvent OnClick;
    TNotifyEvent OnDblClick;
    TNotifyEvent OnResize;
    TMouseEvent OnMouseDown;
    TMouseEvent OnMouseUp;
    TMouseMoveEvent OnMouseMove;
    TMouseWheelEvent OnMouseWheel;
    // WM_CONTEXTMENU: a request the handler leaves unhandled goes to the parent.
    TContextPopupEvent OnContextPopup;
    // The class library's drag (DragCtrls.h): the source's start and end, a
    // target's question (State: 0 enter, 1 leave, 2 move) and drop.
    std::function<void(TObject* Sender, class TDragObject*& DragObject)> OnStartDrag;
    std::function<void(TObject* Sender, TObject* Target, int X, int Y)> OnEndDrag;
    std::function<void(TObject* Sender, TObject* Source, int X, int Y, int State, bool& Accept)>
        OnDragOver;
    std::function<void(TObject* Sender, TObject* Source, int X, int Y)> OnDragDrop;

protected:
    // Message handling below WndProc: the class's message handlers, then
    // DefaultHandler for what they leave.
    virtual void Dispatch(TMessage& Message);
    virtual void DefaultHandler(TMessage& Message);

    virtual void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y);
    virtual void MouseMove(TShiftState Shift, int X, int Y);
    virtual void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y);
    // True when handled; the base fires OnMouseWheel.
    virtual bool DoMouseWheel(TShiftState Shift, int WheelDelta, TPoint MousePos);
    // Fires OnContextPopup.
    virtual void DoContextPopup(TPoint MousePos, bool& Handled);
    virtual void Resize();
    virtual bool CanResize(int& NewWidth, int& NewHeight);
    // Scales the bounds (the position only with a parent) and an own font by M / D.
    virtual void ChangeScale(int M, int D);
    void Changed(); // repaint after a property change
    // The mouse messages' default handling (capture, click state, MouseDown
    // and the rest), without the automatic drag's start.
    void HandleMouseMessage(TMessage& Message);
    // The area this control covers in its top-level window's surface.
    bool WindowArea(TRect& R, const TWinControl*& TopLevel) const;
    // Hidden, out of the input state and out of its parent (which repaints there).
    void Withdraw() override;

private:
    friend class TWinControl;
    friend bool AttachWindowCanvas(const TControl* Control, TCanvas& Canvas);
    // WindowProc, else WndProc, the control held meanwhile.
    void CallWindowProc(TMessage& Message);
    // Dispatch's steps: button and move messages, the wheel. True when handled.
    bool DispatchMouse(TMessage& Message);
    bool DispatchWheel(TMessage& Message);
    void ContextMenuMessage(TMessage& Message);
    // Adds R (control coordinates, not cut to the client) to the window's update area.
    void InvalidateWindowArea(const TRect& R);
    void ApplyParentColor();
    void ApplyParentFont();
    void ApplyParentShowHint();
    void FontChanged();

    TWinControl* FParent = nullptr;
    int FLeft = 0, FTop = 0, FWidth = 0, FHeight = 0;
    TRect FNonClient; // the non-client widths at each side
    TAlign FAlign = alNone;
    TAnchors FAnchors = akLeft | akTop;
    TSizeConstraints FConstraints;
    bool FAutoSizeFlag = false;
    TCursor FDragCursor = crDrag;
    TDragKind FDragKind = dkDrag;
    TDragMode FDragMode = dmManual;
    bool FVisible = true;
    bool FEnabled = true;
    TColor FColor = clBtnFace;
    bool FParentColor = true;
    std::unique_ptr<TFont> FFont;
    bool FParentFont = true;
    bool FFontAssigning = false;
    std::string FText;
    std::string FHint;
    bool FShowHint = false;
    bool FParentShowHint = true;
    TCursor FCursor = crDefault;
    int FHelpContext = 0;
    TControlStyle FControlStyle = csCaptureMouse | csClickEvents | csSetCaption | csDoubleClicks;
    TControlState FControlState = 0;
    TWndMethod FWindowProc;
};

class TWinControl : public TControl {
public:
    explicit TWinControl(TComponent* AOwner);
    ~TWinControl() override;

    // Creates the window on first use, calling CreateParams; a control on
    // its way out (Destroying) makes none.
    HWND Handle();
    bool HandleAllocated() const { return FHandle != nullptr; }
    void HandleNeeded() { Handle(); }
    void DestroyHandle();
    void RecreateWnd();
    virtual void CreateParams(TCreateParams& Params);
    bool IsWindowed() const override { return true; }
    void WndProc(TMessage& Message) override;

    int ControlCount() const { return static_cast<int>(FChildren.size()); }
    TControl* Controls(int Index) const;
    void InsertControl(TControl* AControl);
    void RemoveControl(TControl* AControl);
    bool ContainsControl(const TControl* AControl) const;
    // The child at a client point, topmost first; windowed children only when asked.
    TControl* ControlAtPos(TPoint Pos, bool AllowDisabled, bool AllowWinControls = false) const;

    void Realign();
    // Scales this control and everything inside it by M / D.
    void ScaleBy(int M, int D) { ChangeScale(M, D); }
    void DisableAlign() { ++FAlignLevel; }
    void EnableAlign();

    bool Focused() const;
    virtual bool CanFocus() const;
    void SetFocus();
    bool TabStop() const { return FTabStop; }
    void SetTabStop(bool Value) { FTabStop = Value; }

    // The 3D look of the frame; with ParentCtl3D it follows the parent.
    bool Ctl3D() const { return FCtl3D; }
    void SetCtl3D(bool Value);
    bool ParentCtl3D() const { return FParentCtl3D; }
    void SetParentCtl3D(bool Value);
    // Bevels drawn inside the frame (only with a BevelKind other than bkNone),
    // BevelWidth pixels for each of the inner and outer cut that is not bvNone,
    // on the BevelEdges sides; then BorderWidth pixels of the control's colour.
    TBevelEdges BevelEdges() const { return FBevelEdges; }
    void SetBevelEdges(TBevelEdges Value);
    TBevelCut BevelInner() const { return FBevelInner; }
    void SetBevelInner(TBevelCut Value);
    TBevelCut BevelOuter() const { return FBevelOuter; }
    void SetBevelOuter(TBevelCut Value);
    TBevelKind BevelKind() const { return FBevelKind; }
    void SetBevelKind(TBevelKind Value);
    int BevelWidth() const { return FBevelWidth; }
    void SetBevelWidth(int Value);
    int BorderWidth() const { return FBorderWidth; }
    void SetBorderWidth(int Value);
    TImeMode ImeMode() const { return FImeMode; }
    void SetImeMode(TImeMode Value) { FImeMode = Value; }
    const std::string& ImeName() const { return FImeName; }
    void SetImeName(const std::string& Value) { FImeName = Value; }
    // The widths of the frame of the window style, of the bevels and of the
    // border width at each side (without the scroll bars).
    TRect FrameInsets() const;
    // The frame of the window style alone.
    TRect StyleFrameInsets() const;
    int TabOrder() const;
    void SetTabOrder(int Value);

    void Invalidate() override;
    // Paints this control (and its children) into Surface; see TPaintTarget.
    void PaintTo(const TPaintTarget& Target);
    void SetVisible(bool Value) override;
    void SetEnabled(bool Value) override;
    void SetText(const std::string& Value) override;

    TNotifyEvent OnEnter;
    TNotifyEvent OnExit;
    TKeyEvent OnKeyDown;
    TKeyEvent OnKeyUp;
    TKeyPressEvent OnKeyPress;

    // Backing surface of a top-level window (null for child windows).
    const TSurface* WindowSurface() const { return FSurface.get(); }
    // The part of the window still waiting for a paint (window coordinates).
    const TRect& UpdateRect() const { return FUpdateRect; }

    // The window's standard scroll bars (ScrollBars.h), made on first use and
    // kept when the window is recreated; null before.
    TWindowScrollBars& WindowScrollBars();
    const TWindowScrollBars* FindWindowScrollBars() const { return FScrollBars.get(); }
    // After a bar was shown or hidden: the client takes the rest (WM_SIZE when it changed).
    void ScrollBarsChanged();
    // After the frame, a bevel or a bar changed: the client takes the rest (WM_SIZE when it changed).
    void NonClientChanged();
    // Draws the frame, bevels and border width (Fill: the border width's colour).
    void PaintFrame(TCanvas& Canvas, TColor Fill) const;
    // Repaints what lies outside the client area.
    void InvalidateNonClient();
    // A child window's frame, from its creation parameters: 2 pixels of sunken edge for
    // WS_EX_CLIENTEDGE, 1 of plain line for WS_BORDER, else 0. It lies over the window's
    // outer pixels; the default WM_NCPAINT draws it after the scroll bars. 0 with
    // csNonClientFrame, whose frame lies outside the client (FrameInsets).
    int FrameWidth() const;
    void PaintWindowFrame(const TPaintTarget& Target);

protected:
    void Dispatch(TMessage& Message) override;
    // Key and character messages through KeyDown, KeyUp and KeyPress; false when
    // a handler ate the key, so the message goes no further.
    bool DispatchKey(TMessage& Message);
    void DefaultHandler(TMessage& Message) override;
    // The platform's default for a right button released at the client point:
    // the context menu is asked for (WM_CONTEXTMENU with the screen point).
    void AskContextMenu(int X, int Y);
    virtual void CreateHandle();
    virtual void CreateWnd();
    virtual void DestroyWnd();
    virtual void AlignControls(TControl* AControl, TRect& Rect);
    void ChangeScale(int M, int D) override;
    // Draws the window's own content; the base draws nothing.
    virtual void PaintWindow(const TPaintTarget& Target);
    // Paints the graphic children over the window's own content.
    void PaintControls(const TPaintTarget& Target);
    virtual void KeyDown(std::uint16_t& Key, TShiftState Shift);
    virtual void KeyUp(std::uint16_t& Key, TShiftState Shift);
    virtual void KeyPress(char& Key);
    virtual void DoEnter();
    virtual void DoExit();
    // The default answer to WM_SETCURSOR: the screen's forced cursor, else
    // the cursor of the control under the pointer, else the parent's answer.
    bool SetCursorFor(const TMessage& Message);
    // The children that did not go with it are let go; out of the top-level
    // windows, the window destroyed.
    void Withdraw() override;
    void GetContained(std::vector<TComponent*>& List) const override;

private:
    friend class TControl;
    friend void PaintPendingWindows();
    friend void PaintControlTo(TControl*, TSurface&);
    friend bool AttachWindowCanvas(const TControl* Control, TCanvas& Canvas);
    friend bool PaintWindowPartNow(TWinControl& Control, const TRect& Part,
                                   const std::function<void(const TPaintTarget&)>& Paint);
    // Every message to the window, the control held meanwhile.
    void MainWndProc(TMessage& Message);
    void PaintHandler(const TPaintTarget& Target);
    // The client and children, then (when asked) the non-client area.
    void PaintTree(const TPaintTarget& Target, bool NonClient = true);
    void AddUpdate(const TRect& R);
    // CM_SHOWINGCHANGED to the visible windowed controls inside, after this one showed or hid.
    void NotifyShowing();
    void PaintNow();
    void RemoveFromTopLevel();

    HWND FHandle = nullptr;
    std::vector<TControl*> FChildren; // back to front
    int FAlignLevel = 0;
    bool FAlignPending = false;
    bool FTabStop = false;
    std::shared_ptr<TSurface> FSurface; // shared with a paint running: a handler may drop it
    TRect FUpdateRect;
    std::unique_ptr<TWindowScrollBars> FScrollBars;
    bool FCtl3D = true;
    bool FParentCtl3D = true;
    TBevelEdges FBevelEdges = beAll;
    TBevelCut FBevelInner = bvRaised;
    TBevelCut FBevelOuter = bvLowered;
    TBevelKind FBevelKind = bkNone;
    int FBevelWidth = 1;
    int FBorderWidth = 0;
    TImeMode FImeMode = imDontCare;
    std::string FImeName;
    // The client size before the last resize, for the anchored children.
    TSize FAnchorClient{-1, -1};
    void AnchorChildren();
    void BevelChanged();
};

// A windowed control that paints itself on a canvas.
class TCustomControl : public TWinControl {
public:
    explicit TCustomControl(TComponent* AOwner);
    ~TCustomControl() override;
    TCanvas* Canvas() const { return FCanvas.get(); }

protected:
    virtual void Paint();
    void PaintWindow(const TPaintTarget& Target) override;

private:
    std::unique_ptr<TCanvas> FCanvas;
};

// A windowless control, painted by its parent after the parent's own content.
class TGraphicControl : public TControl {
public:
    explicit TGraphicControl(TComponent* AOwner);
    ~TGraphicControl() override;
    TCanvas* Canvas() const { return FCanvas.get(); }

protected:
    virtual void Paint();
    void Dispatch(TMessage& Message) override;

private:
    std::unique_ptr<TCanvas> FCanvas;
};

// The form that holds the control, or null.
TCustomForm* GetParentForm(const TControl* Control);
// The control that Wnd belongs to, for any window made by a control.
inline TWinControl* FindWinControl(HWND Wnd) {
    return FindControl(Wnd);
}
// Visible top-level windows, bottom to top.
std::vector<TWinControl*> TopLevelWindows();

// Attaches Canvas to the part of its window's surface that Control shows,
// the control's client (0,0) at the canvas origin: drawing outside a paint,
// as with a window's device context. False, leaving Canvas alone, when the
// control is not showing or its window has not been painted yet.
bool AttachWindowCanvas(const TControl* Control, TCanvas& Canvas);
// Moves the pixels of Control's client area inside Area (client coordinates)
// by (DX, DY), as the platform scrolls a window: what leaves Area is gone and
// the strips the move uncovers wait for a paint. A paint pending over Area, a
// move as large as Area, or a window not painted yet repaint Area whole.
// Windowed children keep their place: their old and new spots repaint.
void ScrollWindowArea(TControl* Control, const TRect& Area, int DX, int DY);
// Paints Part of a showing window (window coordinates, the frame and bars
// included) at once through Paint, as the platform draws a scroll bar; false,
// painting nothing, before the window's first paint or with a paint pending there.
bool PaintWindowPartNow(TWinControl& Control, const TRect& Part,
                        const std::function<void(const TPaintTarget&)>& Paint);

// Paints a control's area into Surface (sized to the control), or to a PNG.
void PaintControlTo(TControl* Control, TSurface& Surface);
bool RenderControlToPng(TControl* Control, const std::string& Path);

} // namespace fw
