#pragma once
// The grid's strategies for the window of the current cell: one per control
// type, each wrapping (and owning) one in-cell control.
#include "TSGridCtrl.h"
#include "TSGridEdit.h"

#include <memory>
#include <string>

namespace vel {

class TtsCustomGridControl {
public:
    explicit TtsCustomGridControl(std::unique_ptr<TtsGridControl> Control);
    virtual ~TtsCustomGridControl();
    TtsCustomGridControl(const TtsCustomGridControl&) = delete;
    TtsCustomGridControl& operator=(const TtsCustomGridControl&) = delete;

    TtsGridControl* Control() const { return FControl.get(); }

    virtual fw::TColor GetColor() const = 0;
    virtual void SetColor(fw::TColor Value) = 0;
    virtual fw::TFont* GetFont() const = 0;
    virtual void SetFont(const fw::TFont& Value) = 0;
    bool GetVisible() const { return FControl->Visible(); }
    void SetVisible(bool Value) { FControl->SetVisible(Value); }
    virtual void SetMouseCapture(bool Value) { FControl->SetMouseCapture(Value); }
    bool GetMouseCapture() const { return FControl->MouseCapture(); }

    virtual void SetSelStart(int) {}
    virtual void SetSelLength(int) {}
    virtual int ReplaceSelText(const std::string&) { return 0; }
    virtual void SetValue(const TtsVariant& Value) = 0;
    virtual void SetValueSelect(const TtsVariant& Value, bool Select) = 0;
    virtual TtsVariant GetValue() const = 0;
    virtual int GetSelStart() const { return 0; }
    virtual int GetSelLength() const { return 0; }
    virtual std::string GetSelText() const { return {}; }

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

    void Hide() { FControl->Hide(); }
    void Show(bool Activate);
    void Repaint() { FControl->Repaint(); }
    void Invalidate() { FControl->Invalidate(); }
    void SetFocus() { FControl->SetFocus(); }
    bool CanFocus() const { return FControl->CanFocus(); }
    bool Focused() const { return FControl->Focused(); }
    bool IsToggleKey(std::uint16_t Key) { return FControl->IsToggleKey(Key); }

    virtual bool IsTextControl() const = 0;
    virtual bool IsMultiLine() const { return false; }
    virtual void Cut(bool) {}
    virtual void Copy() {}
    virtual void Paste(bool) {}
    virtual void SelectAll() {}

    // Bounds, parent and 3-D look change the window only when they differ.
    void SetBounds(int Left, int Top, int Width, int Height);
    void SetParent(fw::TWinControl* Parent);

protected:
    std::unique_ptr<TtsGridControl> FControl;
};

// Cells without an editor.
class TtsDefaultGridControl : public TtsCustomGridControl {
public:
    explicit TtsDefaultGridControl(fw::TComponent* AOwner);
    fw::TColor GetColor() const override { return fw::clNone; }
    void SetColor(fw::TColor) override {}
    fw::TFont* GetFont() const override { return &FControl->Font(); }
    void SetFont(const fw::TFont&) override {}
    void SetValue(const TtsVariant&) override {}
    void SetValueSelect(const TtsVariant&, bool) override {}
    TtsVariant GetValue() const override { return {}; }
    bool IsTextControl() const override { return false; }
};

// Text cells.
class TtsEditGridControl : public TtsCustomGridControl {
public:
    explicit TtsEditGridControl(fw::TComponent* AOwner);
    TtsGridEditBox* Edit() const { return static_cast<TtsGridEditBox*>(FControl.get()); }
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
    TtsGridCheckBox* Box() const { return static_cast<TtsGridCheckBox*>(FControl.get()); }
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
    bool IsTextControl() const override { return false; }
    void SetAllowGrayed(bool Value) { Box()->AllowGrayed = Value; }
    void SetCheckBoxValues(const std::string& Value) { Box()->CheckBoxValues = Value; }
    void SetCheckBoxStyle(TtsCheckBoxStyle Style) { Box()->SetCheckBoxStyle(Style); }
};

} // namespace vel
