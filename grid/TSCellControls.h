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

namespace vel {

// The events a grid binds on the control of its current cell.
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

    // Null once the control's owner has freed it.
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
    virtual void Paste(bool) {}
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
    void SetEditMask(const TtsVariant&) override {}
    TtsVariant GetEditMask() const override { return Edit()->Mask(); }
    void SetMaskName(const std::string& Value) override { Edit()->SetMaskName(Value); }
    std::string GetMaskName() const override { return Edit()->MaskName(); }
    void Paint(fw::TCanvas& Canvas, const fw::TRect& Rect, const TtsCellPaint& Cell) override;
    void TakeSelection(int& Start, int& Length) const override;
    bool IsTextControl() const override { return true; }
    bool IsMultiLine() const override { return Edit()->Lines().size() >= 2; }
    void Cut(bool) override { Edit()->CutToClipboard(); }
    void Copy() override { Edit()->CopyToClipboard(); }
    void Paste(bool) override { Edit()->PasteFromClipboard(); }
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
