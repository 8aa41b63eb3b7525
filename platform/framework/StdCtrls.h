#pragma once
// The standard controls needed so far: a single-line edit box and a label.
#include "Clipbrd.h"
#include "Controls.h"

#include <string>

namespace fw {

// Edit window styles (alignment bits and the multi-line style).
constexpr std::uint32_t ES_LEFT = 0x0000;
constexpr std::uint32_t ES_CENTER = 0x0001;
constexpr std::uint32_t ES_RIGHT = 0x0002;
constexpr std::uint32_t ES_MULTILINE = 0x0004;

// Single-line text edit window. The selection runs from an anchor to the
// caret; typing replaces it. Its frame is the window's (WS_EX_CLIENTEDGE, drawn by
// the window). With ES_MULTILINE in its style it takes an editing rectangle
// (EM_SETRECTNP; EM_GETRECT reads it): the text starts at its top left and is
// clipped to it. Each change tells the parent (WM_COMMAND, EN_CHANGE in the high word,
// the edit's window in LParam; not for text set from outside a multi-line edit);
// WM_CLEAR deletes the selection.
class TEdit : public TWinControl {
public:
    explicit TEdit(TComponent* AOwner);
    ~TEdit() override;

    void SetText(const std::string& Value) override;
    int MaxLength() const { return FMaxLength; }
    void SetMaxLength(int Value) { FMaxLength = Value < 0 ? 0 : Value; }
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool Value) { FReadOnly = Value; }
    bool AutoSelect() const { return FAutoSelect; }
    void SetAutoSelect(bool Value) { FAutoSelect = Value; }
    bool Modified() const { return FModified; }
    void SetModified(bool Value) { FModified = Value; }

    int SelStart() const;
    void SetSelStart(int Value);
    int SelLength() const;
    void SetSelLength(int Value);
    std::string SelText() const;
    void SetSelText(const std::string& Value);
    int CaretPos() const { return FCaret; }
    void SetCaretPos(int Value, bool Extend = false);
    void SelectAll();
    void ClearSelection();
    void CopyToClipboard();
    void CutToClipboard();
    void PasteFromClipboard();
    // The character boundary nearest a client x.
    int CharIndexAt(int X) const;

    TNotifyEvent OnChange;

protected:
    virtual void Change();
    void CreateParams(TCreateParams& Params) override;
    void DefaultHandler(TMessage& Message) override;
    void PaintWindow(const TPaintTarget& Target) override;
    void DoEnter() override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseMove(TShiftState Shift, int X, int Y) override;

private:
    // DefaultHandler's keys and characters.
    void EditKeyDown(std::uint16_t Key);
    void EditChar(char Ch);
    void Replace(const std::string& With); // the selection, honouring MaxLength
    int TextLeft() const;
    TAlignment CurrentAlignment() const;
    int Clamp(int Pos) const;
    // The editing rectangle, when one was set.
    bool HasEditRect() const;

    std::unique_ptr<TCanvas> FCanvas;
    int FMaxLength = 0;
    bool FReadOnly = false;
    bool FAutoSelect = true;
    bool FModified = false;
    int FAnchor = 0;
    int FCaret = 0;
    TRect FEditRect;
    bool FEditRectSet = false;
    bool FQuiet = false; // a change the parent is not told of
};

class TLabel : public TGraphicControl {
public:
    explicit TLabel(TComponent* AOwner);

    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment Value);
    bool AutoSize() const { return FAutoSize; }
    void SetAutoSize(bool Value);
    bool Transparent() const { return FTransparent; }
    void SetTransparent(bool Value);
    bool WordWrap() const { return FWordWrap; }
    void SetWordWrap(bool Value);
    // The control whose dialog character the label's "&" accelerator focuses.
    TWinControl* FocusControl() const { return FFocusControl; }
    void SetFocusControl(TWinControl* Value);

protected:
    void Paint() override;
    void Dispatch(TMessage& Message) override;
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    void AdjustBounds();
    TAlignment FAlignment = taLeftJustify;
    bool FAutoSize = true;
    bool FTransparent = false;
    bool FWordWrap = false;
    TWinControl* FFocusControl = nullptr;
};

} // namespace fw
