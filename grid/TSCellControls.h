#pragma once
// The grid's strategies for the window of the current cell: one per control
// type, each wrapping one in-cell control. The grid never talks to the window
// directly: it sets the window up, loads and reads its value, binds its
// events and has it paint the cells that are not being edited.
//
// The control follows the framework's component rules: made with an owner,
// the owner holds it and the strategy frees it through the owner; when the
// owner goes first the strategy only forgets it.
#include "TSGridCtrl.h"
#include "TSGridEdit.h"

#include <memory>
#include <string>
#include <utility>

namespace vel {

// The events a grid binds on the control of its current cell: the control's own
// notifications (keys first, before the class library's key events), then the class
// library's events of a window control.
struct TtsControlEvents {
    fw::TKeyEvent OnKeyDown;
    fw::TKeyEvent OnKeyUp;
    fw::TKeyPressEvent OnKeyPress;
    TtsValueChangedEvent OnValueChanged;
    TtsChangeEvent OnChanged;
    TtsStartEditEvent OnStartEdit;
    TtsReadOnlyEvent OnReadOnly;
    TtsUndoEvent OnUndo;
    fw::TNotifyEvent OnExit;
    TtsWantKeyEvent OnWantKey;
    fw::TNotifyEvent OnClick;
    fw::TNotifyEvent OnDblClick;
    fw::TMouseEvent OnMouseDown;
    fw::TMouseEvent OnMouseUp;
    fw::TMouseMoveEvent OnMouseMove;
    fw::TMouseWheelEvent OnMouseWheel;
    fw::TContextPopupEvent OnContextPopup;
    fw::TNotifyEvent OnResize;
    decltype(fw::TControl::OnStartDrag) OnStartDrag;
    decltype(fw::TControl::OnEndDrag) OnEndDrag;
    decltype(fw::TControl::OnDragOver) OnDragOver;
    decltype(fw::TControl::OnDragDrop) OnDragDrop;
    fw::TNotifyEvent OnEnter;
    fw::TKeyEvent OnWindowKeyDown;
    fw::TKeyEvent OnWindowKeyUp;
    fw::TKeyPressEvent OnWindowKeyPress;
};

// Where cell text starts inside a cell; the text editor stands there too.
constexpr int CellTextLeft = 2;
constexpr int CellTextTop = 1;

// What a strategy needs to paint one cell that is not being edited.
struct TtsCellPaint {
    TtsVariant Value;
    fw::TColor Color = fw::clWindow;
    TtsHorzAlignment HorzAlignment = htaLeft;
    TtsVertAlignment VertAlignment = vtaTop;
    bool WordWrap = false;
    bool Is3D = false;
    std::string CheckBoxValues;
};

class TtsCustomGridControl {
public:
    virtual ~TtsCustomGridControl();
    TtsCustomGridControl(const TtsCustomGridControl&) = delete;
    TtsCustomGridControl& operator=(const TtsCustomGridControl&) = delete;

    // Null once the control's owner has freed it (one freed with the grid
    // stays while the grid's memory waits).
    TtsGridControl* Control() const { return FControl; }

    int GetIntValue() const { return static_cast<int>(FControl->Tag()); }
    void SetIntValue(int Value) { FControl->SetTag(Value); }
    virtual fw::TColor GetColor() const = 0;
    virtual void SetColor(fw::TColor Value) = 0;
    virtual fw::TFont* GetFont() const = 0;
    virtual void SetFont(const fw::TFont& Value) = 0;
    bool GetVisible() const { return FControl->Visible(); }
    void SetVisible(bool Value) { FControl->SetVisible(Value); }
    virtual void SetMouseCapture(bool Value) { FControl->SetMouseCapture(Value); }
    bool GetMouseCapture() const { return FControl->MouseCapture(); }
    void SetEvents(const TtsControlEvents& Events);
    TtsControlEvents GetEvents() const;
    // Each event one by one (the control's field of the same meaning).
    void SetOnKeyDown(fw::TKeyEvent E) { FControl->OnCtlKeyDown = std::move(E); }
    fw::TKeyEvent GetOnKeyDown() const { return FControl->OnCtlKeyDown; }
    void SetOnKeyUp(fw::TKeyEvent E) { FControl->OnCtlKeyUp = std::move(E); }
    fw::TKeyEvent GetOnKeyUp() const { return FControl->OnCtlKeyUp; }
    void SetOnKeyPress(fw::TKeyPressEvent E) { FControl->OnCtlKeyPress = std::move(E); }
    fw::TKeyPressEvent GetOnKeyPress() const { return FControl->OnCtlKeyPress; }
    void SetOnValueChanged(TtsValueChangedEvent E) { FControl->OnValueChanged = std::move(E); }
    TtsValueChangedEvent GetOnValueChanged() const { return FControl->OnValueChanged; }
    void SetOnChanged(TtsChangeEvent E) { FControl->OnChanged = std::move(E); }
    TtsChangeEvent GetOnChanged() const { return FControl->OnChanged; }
    void SetOnStartEdit(TtsStartEditEvent E) { FControl->OnStartEdit = std::move(E); }
    TtsStartEditEvent GetOnStartEdit() const { return FControl->OnStartEdit; }
    void SetOnReadOnly(TtsReadOnlyEvent E) { FControl->OnReadOnly = std::move(E); }
    TtsReadOnlyEvent GetOnReadOnly() const { return FControl->OnReadOnly; }
    void SetOnUndo(TtsUndoEvent E) { FControl->OnUndo = std::move(E); }
    TtsUndoEvent GetOnUndo() const { return FControl->OnUndo; }
    void SetOnExit(fw::TNotifyEvent E) { FControl->OnExit = std::move(E); }
    fw::TNotifyEvent GetOnExit() const { return FControl->OnExit; }
    void SetOnWantKey(TtsWantKeyEvent E) { FControl->OnWantKey = std::move(E); }
    TtsWantKeyEvent GetOnWantKey() const { return FControl->OnWantKey; }
    void SetOnClick(fw::TNotifyEvent E) { FControl->OnClick = std::move(E); }
    fw::TNotifyEvent GetOnClick() const { return FControl->OnClick; }
    void SetOnDblClick(fw::TNotifyEvent E) { FControl->OnDblClick = std::move(E); }
    fw::TNotifyEvent GetOnDblClick() const { return FControl->OnDblClick; }
    void SetOnMouseDown(fw::TMouseEvent E) { FControl->OnMouseDown = std::move(E); }
    fw::TMouseEvent GetOnMouseDown() const { return FControl->OnMouseDown; }
    void SetOnMouseUp(fw::TMouseEvent E) { FControl->OnMouseUp = std::move(E); }
    fw::TMouseEvent GetOnMouseUp() const { return FControl->OnMouseUp; }
    void SetOnMouseMove(fw::TMouseMoveEvent E) { FControl->OnMouseMove = std::move(E); }
    fw::TMouseMoveEvent GetOnMouseMove() const { return FControl->OnMouseMove; }
    void SetOnMouseWheel(fw::TMouseWheelEvent E) { FControl->OnMouseWheel = std::move(E); }
    fw::TMouseWheelEvent GetOnMouseWheel() const { return FControl->OnMouseWheel; }
    void SetOnContextPopup(fw::TContextPopupEvent E) { FControl->OnContextPopup = std::move(E); }
    fw::TContextPopupEvent GetOnContextPopup() const { return FControl->OnContextPopup; }
    void SetOnResize(fw::TNotifyEvent E) { FControl->OnResize = std::move(E); }
    fw::TNotifyEvent GetOnResize() const { return FControl->OnResize; }
    void SetOnStartDrag(decltype(fw::TControl::OnStartDrag) E) { FControl->OnStartDrag = std::move(E); }
    decltype(fw::TControl::OnStartDrag) GetOnStartDrag() const { return FControl->OnStartDrag; }
    void SetOnEndDrag(decltype(fw::TControl::OnEndDrag) E) { FControl->OnEndDrag = std::move(E); }
    decltype(fw::TControl::OnEndDrag) GetOnEndDrag() const { return FControl->OnEndDrag; }
    void SetOnDragOver(decltype(fw::TControl::OnDragOver) E) { FControl->OnDragOver = std::move(E); }
    decltype(fw::TControl::OnDragOver) GetOnDragOver() const { return FControl->OnDragOver; }
    void SetOnDragDrop(decltype(fw::TControl::OnDragDrop) E) { FControl->OnDragDrop = std::move(E); }
    decltype(fw::TControl::OnDragDrop) GetOnDragDrop() const { return FControl->OnDragDrop; }
    void SetOnEnter(fw::TNotifyEvent E) { FControl->OnEnter = std::move(E); }
    fw::TNotifyEvent GetOnEnter() const { return FControl->OnEnter; }
    void SetOnWindowKeyDown(fw::TKeyEvent E) { FControl->OnKeyDown = std::move(E); }
    fw::TKeyEvent GetOnWindowKeyDown() const { return FControl->OnKeyDown; }
    void SetOnWindowKeyUp(fw::TKeyEvent E) { FControl->OnKeyUp = std::move(E); }
    fw::TKeyEvent GetOnWindowKeyUp() const { return FControl->OnKeyUp; }
    void SetOnWindowKeyPress(fw::TKeyPressEvent E) { FControl->OnKeyPress = std::move(E); }
    fw::TKeyPressEvent GetOnWindowKeyPress() const { return FControl->OnKeyPress; }

    virtual void SetSelStart(int) {}
    virtual void SetSelLength(int) {}
    virtual int ReplaceSelText(const std::string&) { return 0; }
    virtual void SetValue(const TtsVariant& Value) = 0;
    virtual void SetValueSelect(const TtsVariant& Value, bool Select) = 0;
    virtual TtsVariant GetValue() const = 0;
    virtual int GetSelStart() const { return 0; }
    virtual int GetSelLength() const { return 0; }
    virtual std::string GetSelText() const { return {}; }
    // The control's run-time state bits, as a 16-bit word.
    std::uint16_t GetStateWord() const;

    void SetEditEnabled(bool Value) { FControl->EditEnabled = Value; }
    bool GetEditEnabled() const { return FControl->EditEnabled; }
    void SetModifyEnabled(bool Value) { FControl->ModifyEnabled = Value; }
    bool GetModifyEnabled() const { return FControl->ModifyEnabled; }
    void SetWantTab(bool Value) { FControl->WantTab = Value; }
    bool GetWantTab() const { return FControl->WantTab; }
    void SetAlwaysShowFocus(bool Value) { FControl->AlwaysShowFocus = Value; }
    bool GetAlwaysShowFocus() const { return FControl->AlwaysShowFocus; }
    void SetCursor(fw::TCursor Value) { FControl->SetCursor(Value); }
    virtual void SetMaxLength(int) {}
    virtual int GetMaxLength() const { return 0; }
    virtual void SetEditMask(const TtsVariant&) {}
    virtual TtsVariant GetEditMask() const { return {}; }
    virtual void SetMaskName(const std::string&) {}
    virtual std::string GetMaskName() const { return {}; }

    void Hide() { FControl->Hide(); }
    void Show(bool Activate);
    void Repaint() { FControl->Repaint(); }
    void Invalidate() { FControl->Invalidate(); }
    // Paints a cell that is not being edited the way the control would show it.
    virtual void Paint(fw::TCanvas& Canvas, const fw::TRect& Rect, const TtsCellPaint& Cell) = 0;
    void SetFocus() { FControl->SetFocus(); }
    bool CanFocus() const { return FControl->CanFocus(); }
    bool Focused() const { return FControl->Focused(); }
    fw::TPoint ScreenToClient(fw::TPoint P) const { return FControl->ScreenToClient(P); }
    // The editor's selection, for the current cell to keep.
    virtual void TakeSelection(int& Start, int& Length) const;
    // Keys the grid received while the control did not have the focus.
    void ForwardKeyDown(std::uint16_t& Key, fw::TShiftState Shift);
    void ForwardKeyPress(char& Key);

    virtual bool IsTextControl() const = 0;
    bool IsToggleKey(std::uint16_t Key) { return FControl->IsToggleKey(Key); }
    virtual bool IsMultiLine() const { return false; }
    virtual void Cut(bool) {}
    virtual void Copy() {}
    // True when the clipboard's text went in.
    virtual bool Paste(bool) { return false; }
    virtual void SelectAll() {}

    // Bounds, parent and 3-D look change the window only when they differ.
    void SetBounds(int Left, int Top, int Width, int Height);
    void SetParent(fw::TWinControl* Parent);
    void Set3D(bool Value);
    bool Get3D() const { return FControl->Is3D; }

protected:
    // The control is made by the strategy's constructor with fw::Create on the owner.
    explicit TtsCustomGridControl(TtsGridControl* Control);

    TtsGridControl* FControl;

private:
    class TWatch;
    std::unique_ptr<TWatch> FWatch;
};

// Cells without an editor.
class TtsDefaultGridControl : public TtsCustomGridControl {
public:
    explicit TtsDefaultGridControl(fw::TComponent* AOwner);
    fw::TColor GetColor() const override { return clNoneTs; }
    void SetColor(fw::TColor) override {}
    fw::TFont* GetFont() const override { return &FControl->Font(); }
    void SetFont(const fw::TFont&) override {}
    void SetValue(const TtsVariant&) override {}
    void SetValueSelect(const TtsVariant&, bool) override {}
    TtsVariant GetValue() const override { return {}; }
    void Paint(fw::TCanvas&, const fw::TRect&, const TtsCellPaint&) override {}
    bool IsTextControl() const override { return false; }
};

// Text cells.
class TtsEditGridControl : public TtsCustomGridControl {
public:
    explicit TtsEditGridControl(fw::TComponent* AOwner);
    TtsGridEditBox* Edit() const { return static_cast<TtsGridEditBox*>(FControl); }
    fw::TColor GetColor() const override { return FControl->Color(); }
    void SetColor(fw::TColor Value) override { FControl->SetColor(Value); }
    fw::TFont* GetFont() const override { return &FControl->Font(); }
    void SetFont(const fw::TFont& Value) override { FControl->Font().Assign(Value); }
    void SetSelStart(int Value) override;
    void SetSelLength(int Value) override { Edit()->SetSelLength(Value); }
    int ReplaceSelText(const std::string& Value) override;
    void SetValue(const TtsVariant& Value) override;
    void SetValueSelect(const TtsVariant& Value, bool Select) override;
    TtsVariant GetValue() const override { return Edit()->EditText(); }
    int GetSelStart() const override { return Edit()->SelStart(); }
    int GetSelLength() const override { return Edit()->SelLength(); }
    std::string GetSelText() const override { return Edit()->SelText(); }
    void SetMaxLength(int Value) override { Edit()->SetMaxLength(Value); }
    int GetMaxLength() const override { return Edit()->MaxLength(); }
    void SetEditMask(const TtsVariant& Value) override { Edit()->SetMask(Value); }
    TtsVariant GetEditMask() const override { return Edit()->Mask(); }
    void SetMaskName(const std::string& Value) override { Edit()->SetMaskName(Value); }
    std::string GetMaskName() const override { return Edit()->MaskName(); }
    void Paint(fw::TCanvas& Canvas, const fw::TRect& Rect, const TtsCellPaint& Cell) override;
    void TakeSelection(int& Start, int& Length) const override;
    bool IsTextControl() const override { return true; }
    bool IsMultiLine() const override { return Edit()->Lines().size() >= 2; }
    // Flag: onto the clipboard (a cut), else deleted only.
    void Cut(bool Flag) override;
    void Copy() override { Edit()->CopyToClipboard(); }
    bool Paste(bool) override { return Edit()->PasteFromClipboard(); }
    void SelectAll() override { Edit()->SelectAll(); }
};

// Check-box cells.
class TtsCheckGridControl : public TtsCustomGridControl {
public:
    explicit TtsCheckGridControl(fw::TComponent* AOwner);
    TtsGridCheckBox* Box() const { return static_cast<TtsGridCheckBox*>(FControl); }
    fw::TColor GetColor() const override { return FControl->Color(); }
    void SetColor(fw::TColor Value) override { FControl->SetColor(Value); }
    fw::TFont* GetFont() const override { return &FControl->Font(); }
    void SetFont(const fw::TFont& Value) override { FControl->Font().Assign(Value); }
    void SetMouseCapture(bool Value) override;
    void SetValue(const TtsVariant& Value) override { Box()->LoadValue(Value); }
    void SetValueSelect(const TtsVariant& Value, bool Select) override {
        Box()->EditValue(Value, Select);
    }
    TtsVariant GetValue() const override { return Box()->Value; }
    void Paint(fw::TCanvas& Canvas, const fw::TRect& Rect, const TtsCellPaint& Cell) override;
    bool IsTextControl() const override { return false; }
    // The check box's own operations.
    void ToggleByKey(std::uint16_t Key);
    void SetAllowGrayed(bool Value) { Box()->AllowGrayed = Value; }
    bool GetAllowGrayed() const { return Box()->AllowGrayed; }
    void SetCheckBoxValues(const std::string& Value) { Box()->CheckBoxValues = Value; }
    const std::string& GetCheckBoxValues() const { return Box()->CheckBoxValues; }
    void SetCheckBoxStyle(TtsCheckBoxStyle Style) { Box()->SetCheckBoxStyle(Style); }
};

} // namespace vel
