#pragma once
// The text editor laid over the current text cell: draws and edits its own
// text, one line scrolling sideways or several wrapped lines.
#include "Canvas.h"
#include "TSGLib.h"
#include "TSGridCtrl.h"
#include "TSImageList.h"

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <string>

namespace vel {

class TtsGridEditBox;

// The mask link of one edit box: any change of the mask definitions makes the
// box look its mask up again.
class TtsEditMaskLink : public TtsMaskLink {
public:
    explicit TtsEditMaskLink(TtsGridEditBox* Edit) : FEdit(Edit) {}
    void MaskDefsChanged() override;
    void MaskDefsFreed() override;

private:
    TtsGridEditBox* FEdit;
};

class TtsGridEditBox : public TtsGridControl {
public:
    explicit TtsGridEditBox(fw::TComponent* AOwner);
    ~TtsGridEditBox() override;

    const std::string& EditText() const { return FText; }
    void SetText(const std::string& Value, bool Select, bool Repaint);
    using TtsGridControl::SetText; // the control's caption
    const std::string& StartText() const { return FStartText; }
    bool Modified() const { return FModified; }

    int SelStart() const { return std::min(FCaret, FAnchor); }
    int SelLength() const { return std::abs(FCaret - FAnchor); }
    std::string SelText() const;
    void SetSelStart(int Value);
    void SetSelLength(int Value);
    void SelectAll();
    void ReplaceSelection(const std::string& Value);

    void CopyToClipboard();
    void CutToClipboard();
    // The selection deleted, the clipboard left alone.
    void DeleteSelection();
    // True when the clipboard held text and it went in.
    bool PasteFromClipboard();
    void Undo();

    TtsEditMaskLink& MaskLink() { return FMaskLink; }
    const std::string& MaskName() const { return FMaskName; }
    void SetMaskName(const std::string& Value);
    const TtsVariant& Mask() const { return FMask; }
    // A mask given directly (the strategy's edit mask); the next look-up by name replaces it.
    void SetMask(const TtsVariant& Value);
    void ReloadMask();

    int MaxLength() const { return FMaxLength; }
    void SetMaxLength(int Value) { FMaxLength = Value; }

    int CaretPos() const { return FCaret; }
    // The caret's top left in the box, where the text there is drawn.
    fw::TPoint CaretPoint() const;
    // The end of the shown text of a right-aligned line.
    int RightEnd() const { return FRightEnd; }
    int CaretLine() const { return FCaretLine; }
    int TopLine() const { return FTopLine; }
    int ScrollOffset() const { return FScrollOffset; }
    const TtsLineList& Lines() const { return FLines; }
    bool MultiLine() const;
    bool KeyHeld() const { return FKeyHeld; }
    // The box takes keys: it moves, selects and copies (read-only text too).
    bool Editable() const { return EditEnabled || ModifyEnabled; }
    // Typed, pasted and deleted text needs key edits and a cell the read-only query lets change.
    bool MayModify() { return EditEnabled && IsEditable(true); }

    void SetAlignment(TtsHorzAlignment Value) override;
    void SetVertAlignment(TtsVertAlignment Value) override;
    void SetWordWrap(TtsWordWrap Value) override;
    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
    // How far left of the box the cell under it begins: centred wrapped lines centre on
    // the whole cell, as the cell draws them (0 for a box standing alone).
    int CellIndent() const { return FCellIndent; }
    void SetCellIndent(int Value);

    // May text be placed at the selection start? Stands for the mask check.
    std::function<bool(fw::TObject* Sender, const std::string& Result, int Pos)> OnCheckMask;
    fw::TNotifyEvent OnInvalidChar;
    fw::TNotifyEvent OnSelChange;
    fw::TNotifyEvent OnTextChange;

protected:
    void Dispatch(fw::TMessage& Message) override;
    void PaintTo(fw::TCanvas& C) override;
    void KeyDown(std::uint16_t& Key, fw::TShiftState Shift) override;
    void KeyUp(std::uint16_t& Key, fw::TShiftState Shift) override;
    void KeyPress(char& Key) override;
    void MouseDown(fw::TMouseButton Button, fw::TShiftState Shift, int X, int Y) override;
    void MouseMove(fw::TShiftState Shift, int X, int Y) override;
    void MouseUp(fw::TMouseButton Button, fw::TShiftState Shift, int X, int Y) override;
    void DblClick() override;

private:
    bool HandleKey(std::uint16_t Key, fw::TShiftState Shift);
    bool StaysHere(bool AtEdge, fw::TShiftState Shift) const;
    bool ArrowKey(bool Right, fw::TShiftState Shift);
    bool LineKey(std::uint16_t Key, fw::TShiftState Shift);
    bool HomeEndKey(bool End, fw::TShiftState Shift);
    void DeleteBack();
    bool DeleteKey(fw::TShiftState Shift);
    bool CtrlLetterKey(std::uint16_t Key);
    // The width of the character at Pos as drawn; of Count bytes from From as one line shows
    // them (a line break as a space).
    int CharWidth(int Pos) const;
    int ShownWidth(int From, int Count) const;
    bool Insert(const std::string& Value);
    bool MayInsert(const std::string& Value);
    void DeleteRange(int From, int Count);
    void MarkModified();
    void Relayout();
    void MoveCaret(int Pos, bool Extend);
    void ScrollToCaret();
    int LineHeight() const;
    int LineOf(int Pos) const;
    int LineStart(int Line) const;
    int LineEnd(int Line) const; // before its break
    int LineX(int Line) const;
    // The box's client area widened to the cell's left edge.
    fw::TRect TextRect() const;
    // The alignment the text is drawn with: centred text wider than the box scrolls as
    // left-aligned text does.
    TtsHorzAlignment ShownAlignment() const;
    // Where one-line text starts to show: the first character (left) or the end of
    // what shows (right-aligned).
    int Skip() const { return ShownAlignment() == htaRight ? FRightEnd : FScrollOffset; }
    // The characters of a line as shown (Start..End) and the x of Start.
    int ShownLine(int Line, int& Start, int& End) const;
    void ScrollRightAligned();
    // Right-aligned text's shown end follows an edit at Pos (Count characters in or out).
    void ShiftRightEnd(int Pos, int Count);
    void DrawCaret(fw::TCanvas& C) const;
    void SetCursorMessage(fw::TMessage& Message);
    int PosFromPoint(int X, int Y) const;
    // After a key: the value-change event when the text changed, or an undo (Escape,
    // Ctrl+Z) ended the edit even with the text it had.
    void Changed(const std::string& Before, bool WasModified);

    std::string FText;
    std::string FStartText;
    bool FModified = false;
    int FCaret = 0;
    int FAnchor = 0;
    TtsLineList FLines{0};
    int FCaretLine = 0;
    int FCaretCol = 0;
    int FTopLine = 0;
    int FScrollOffset = 0;
    int FRightEnd = 0;
    bool FKeyHeld = false;
    char FLeadByte = 0; // a double-byte character's first byte, typed, waiting for its second
    bool FMouseSelecting = false;
    fw::TPoint FMousePoint;
    int FMaxLength = 0;
    int FCellIndent = 0;
    std::string FMaskName;
    TtsVariant FMask;
    TtsEditMaskLink FMaskLink{this};
    mutable fw::TCanvas FMeasure;
};

} // namespace vel
