#include "TSGridEdit.h"

#include "Hooks.h"
#include "Input.h"
#include "Messages.h"
#include "StdCtrls.h"
#include "TSMbcs.h"

#include <algorithm>

namespace vel {

namespace {

int Len(const std::string& S) {
    return static_cast<int>(S.size());
}

// Where the character at Pos (a character start) ends.
int CharEnd(const std::string& S, int Pos) {
    return Pos + std::max(1, CharLengthAt(S, static_cast<std::size_t>(Pos)));
}

int CharBefore(const std::string& S, int Pos) {
    return static_cast<int>(PrevCharStart(S, static_cast<std::size_t>(Pos)));
}

} // namespace

void TtsEditMaskLink::MaskDefsChanged() {
    FEdit->ReloadMask();
}

void TtsEditMaskLink::MaskDefsFreed() {
    FEdit->ReloadMask();
}

void TtsGridEditBox::SetMaskName(const std::string& Value) {
    if (FMaskName == Value) return;
    FMaskName = Value;
    ReloadMask();
}

void TtsGridEditBox::SetMask(const TtsVariant& Value) {
    FMask = Value;
    Invalidate();
}

void TtsGridEditBox::ReloadMask() {
    FMask = FMaskLink.Lookup(FMaskName);
}

TtsGridEditBox::TtsGridEditBox(fw::TComponent* AOwner) : TtsGridControl(AOwner) {
    SetCursor(fw::crArrow);
}

TtsGridEditBox::~TtsGridEditBox() = default;

// ---- layout ----

int TtsGridEditBox::LineHeight() const {
    fw::TTextMetric M = FMeasure.TextMetrics();
    return M.Height + LineGapOf(M);
}

bool TtsGridEditBox::MultiLine() const {
    return WordWrap() != wwOff && HasRoomForWrap(ClientHeight(), LineHeight());
}

void TtsGridEditBox::Relayout() {
    FMeasure.Font().Assign(Font());
    if (MultiLine()) {
        // The cell's own wrap: its text starts where the box does, and ends where it ends.
        BuildLineList(FMeasure, FText, ClientHeight(), 1 << 30, FLines, true, Alignment(),
                      std::max(1, WrapWidth(ClientWidth(), 0, Alignment())));
    } else {
        FLines.assign(1, 0);
    }
    if (FLines.empty()) FLines.push_back(0);
    FCaretLine = LineOf(FCaret);
    FCaretCol = FCaret - LineStart(FCaretLine);
    ScrollToCaret();
}

int TtsGridEditBox::LineOf(int Pos) const {
    int Line = 0;
    for (std::size_t I = 1; I < FLines.size(); ++I)
        if (FLines[I] <= Pos) Line = static_cast<int>(I);
    return Line;
}

int TtsGridEditBox::LineStart(int Line) const {
    Line = std::clamp(Line, 0, static_cast<int>(FLines.size()) - 1);
    return std::clamp(FLines[static_cast<std::size_t>(Line)], 0, Len(FText));
}

int TtsGridEditBox::LineEnd(int Line) const {
    int Next = Line + 1 < static_cast<int>(FLines.size()) ? LineStart(Line + 1) : Len(FText);
    int Start = LineStart(Line);
    if (!MultiLine()) return Len(FText);
    // Before the line's break, a pair of break bytes taken whole.
    const std::string_view Shown = std::string_view(FText).substr(
        static_cast<std::size_t>(Start), static_cast<std::size_t>(Next - Start));
    if (Shown.empty() || !IsLineBreakAt(Shown, Shown.size() - 1)) return Next;
    return Start + static_cast<int>(PrevCharStart(Shown, Shown.size()));
}

int TtsGridEditBox::LineX(int Line) const {
    const int Start = LineStart(Line);
    return EditLineX(FMeasure, FMeasure.TextMetrics(), std::string_view(FText).substr(Start),
                     LineEnd(Line) - Start, TextRect(), 0, Alignment());
}

TtsHorzAlignment TtsGridEditBox::ShownAlignment() const {
    const TtsHorzAlignment A = Alignment() == htaDefault ? htaLeft : Alignment();
    if (A != htaCenter || MultiLine()) return A;
    // Measured until it passes the width: a long text costs only what the box holds.
    int W = 0;
    for (int P = 0; P < Len(FText) && W <= ClientWidth(); P = CharEnd(FText, P))
        W += CharWidth(P);
    return W <= ClientWidth() ? htaCenter : htaLeft;
}

int TtsGridEditBox::ShownLine(int Line, int& Start, int& End) const {
    if (MultiLine()) {
        Start = LineStart(Line);
        End = LineEnd(Line);
        return LineX(Line);
    }
    const TtsHorzAlignment A = ShownAlignment();
    const TtsLinePlace P =
        SingleLinePlace(FMeasure, FMeasure.TextMetrics(), FText, ClientRect(), 0, Skip(), A);
    Start = P.Start;
    End = A == htaRight ? P.End : Len(FText);
    return P.X;
}

fw::TPoint TtsGridEditBox::CaretPoint() const {
    const fw::TTextMetric M = FMeasure.TextMetrics();
    const int Gap = LineGapOf(M);
    int Start = 0, End = 0;
    const int X = ShownLine(MultiLine() ? FCaretLine : 0, Start, End);
    const int Chars = std::clamp(FCaret, Start, std::max(Start, End)) - Start;
    const int CX = X + ShownWidth(Start, Chars);
    if (!MultiLine()) return {CX, SingleLineTop(M, ClientRect(), Gap, VertAlignment())};
    const int LineH = M.Height + Gap;
    const int Top =
        FirstLineY(ClientRect(), Gap, M, static_cast<int>(FLines.size()), VertAlignment());
    return {CX, Top + (FCaretLine - FTopLine) * LineH};
}

int TtsGridEditBox::CharWidth(int Pos) const {
    // As drawn: a line break is one space, a double-byte character both its bytes.
    const auto P = static_cast<std::size_t>(Pos);
    if (IsLineBreakAt(FText, P)) return FMeasure.TextWidth(" ");
    return FMeasure.TextWidth(std::string_view(FText).substr(P, static_cast<std::size_t>(CharEnd(FText, Pos) - Pos)));
}

int TtsGridEditBox::ShownWidth(int From, int Count) const {
    int W = 0;
    TextWidthOfLines(FMeasure, FMeasure.TextMetrics(), std::string_view(FText).substr(static_cast<std::size_t>(From)), W,
                     false, false, Count);
    return W;
}

void TtsGridEditBox::ScrollToCaret() {
    if (MultiLine()) {
        FScrollOffset = 0;
        int Visible = std::max(1, ClientHeight() / std::max(1, LineHeight()));
        if (FCaretLine < FTopLine) FTopLine = FCaretLine;
        if (FCaretLine >= FTopLine + Visible) FTopLine = FCaretLine - Visible + 1;
        return;
    }
    FTopLine = 0;
    if (ShownAlignment() == htaRight) {
        ScrollRightAligned();
        return;
    }
    if (ShownAlignment() == htaCenter) {
        FScrollOffset = 0;
        return;
    }
    const int W = ClientWidth();
    if (FCaret < FScrollOffset) FScrollOffset = FCaret;
    const int CaretX = ShownWidth(FScrollOffset, FCaret - FScrollOffset);
    // The text moves a character at a time until the caret lies left of three quarters of
    // the width (past the right edge) or right of a quarter (near the left edge); the
    // widths of the characters passed are added up rather than measured again each step.
    if (CaretX > W) {
        int Off = FCaret;
        int Span = 0;
        while (Off > FScrollOffset && Span + CharWidth(CharBefore(FText, Off)) <= W * 3 / 4) {
            Off = CharBefore(FText, Off);
            Span += CharWidth(Off);
        }
        FScrollOffset = Off;
    } else if (CaretX < W / 4) {
        int Span = CaretX;
        while (FScrollOffset > 0 && Span < W / 4) {
            FScrollOffset = CharBefore(FText, FScrollOffset);
            Span += CharWidth(FScrollOffset);
            if (Span > W / 4) break;
        }
    }
    // No room is left empty on the right while text is scrolled out on the left.
    int Tail = 0;
    for (int P = FScrollOffset; P < Len(FText) && Tail <= W; P = CharEnd(FText, P))
        Tail += CharWidth(P);
    while (FScrollOffset > 0 && Tail + CharWidth(CharBefore(FText, FScrollOffset)) <= W) {
        FScrollOffset = CharBefore(FText, FScrollOffset);
        Tail += CharWidth(FScrollOffset);
    }
}

void TtsGridEditBox::ScrollRightAligned() {
    // The shown part ends at FRightEnd; the caret past either edge brings the text along
    // until it lies at a quarter of the width from that edge.
    const int W = ClientWidth();
    FRightEnd = std::clamp(FRightEnd, 0, Len(FText));
    if (FRightEnd == 0) FRightEnd = Len(FText);
    int Start = 0, End = 0;
    ShownLine(0, Start, End);
    // The shown end moves a character at a time while the span stays within Limit.
    auto Extend = [this](int Span, int Limit) {
        while (FRightEnd < Len(FText) && Span + CharWidth(FRightEnd) <= Limit) {
            Span += CharWidth(FRightEnd);
            FRightEnd = CharEnd(FText, FRightEnd);
        }
    };
    if (FCaret > FRightEnd) {
        FRightEnd = FCaret;
        Extend(0, W / 4);
    } else if (FCaret < Start) {
        FRightEnd = FCaret;
        Extend(0, W * 3 / 4);
    }
    // No room is left empty on the left while text is cut off on the right.
    int Room = ShownLine(0, Start, End);
    if (Start > 0) return;
    while (FRightEnd < Len(FText) && CharWidth(FRightEnd) <= Room) {
        Room -= CharWidth(FRightEnd);
        FRightEnd = CharEnd(FText, FRightEnd);
    }
}

void TtsGridEditBox::ShiftRightEnd(int Pos, int Count) {
    if (FRightEnd < Pos) return;
    FRightEnd = Count >= 0 ? FRightEnd + Count : std::max(Pos, FRightEnd + Count);
}

int TtsGridEditBox::PosFromPoint(int X, int Y) const {
    int Line = 0;
    if (MultiLine()) {
        const fw::TTextMetric M = FMeasure.TextMetrics();
        const int Top = FirstLineY(ClientRect(), LineGapOf(M), M, static_cast<int>(FLines.size()),
                                   VertAlignment());
        Line = std::clamp(FTopLine + (Y - Top) / std::max(1, LineHeight()), 0,
                          static_cast<int>(FLines.size()) - 1);
    }
    int Start = 0, End = 0;
    // Character edges from the line's left: each one the last plus a character's width.
    int A = ShownLine(Line, Start, End);
    for (int P = Start; P < End; P = CharEnd(FText, P)) {
        const int B = A + CharWidth(P);
        if (X < B) {
            int Twice = 2 * X - A - B;
            if (Twice < 0 || (Twice == 0 && Alignment() == htaRight)) return P;
            return std::min(End, CharEnd(FText, P));
        }
        A = B;
    }
    return End;
}

// ---- text and selection ----

void TtsGridEditBox::SetText(const std::string& Value, bool Select, bool Repaint) {
    fw::TFreeGuard Hold(this); // its handlers may free the grid that owns it
    // The text shown when editing begins is what Escape brings back.
    FStartText = Value;
    FModified = false;
    FText = Value;
    FCaret = FAnchor = 0;
    FLeadByte = 0;
    FTopLine = 0;
    FScrollOffset = 0;
    FRightEnd = Len(FText);
    Relayout();
    if (Select) {
        FAnchor = 0;
        FCaret = Len(FText);
    } else {
        FCaret = FAnchor = Alignment() == htaRight ? Len(FText) : 0;
    }
    Relayout();
    if (Repaint) Invalidate();
    fw::CallHandler(OnTextChange, this);
    fw::CallHandler(OnSelChange, this);
}

std::string TtsGridEditBox::SelText() const {
    return FText.substr(static_cast<std::size_t>(SelStart()),
                        static_cast<std::size_t>(SelLength()));
}

void TtsGridEditBox::SetSelStart(int Value) {
    if (Value < 0 || Value > Len(FText)) return;
    // A start inside a character goes to the character's start.
    FCaret = FAnchor = static_cast<int>(CharStartAtOrBefore(FText, static_cast<std::size_t>(Value)));
    Relayout();
    Invalidate();
    fw::CallHandler(OnSelChange, this);
}

void TtsGridEditBox::SetSelLength(int Value) {
    int Start = SelStart();
    FAnchor = Start;
    FCaret = std::clamp(Start + std::max(0, Value), Start, Len(FText));
    // An end inside a character takes the character whole.
    if (const int At = static_cast<int>(CharStartAtOrBefore(FText, static_cast<std::size_t>(FCaret)));
        At < FCaret)
        FCaret = CharEnd(FText, At);
    Relayout();
    Invalidate();
    fw::CallHandler(OnSelChange, this);
}

void TtsGridEditBox::SelectAll() {
    FAnchor = 0;
    FCaret = Len(FText);
    Relayout();
    Invalidate();
    fw::CallHandler(OnSelChange, this);
}

void TtsGridEditBox::DeleteRange(int From, int Count) {
    From = std::clamp(From, 0, Len(FText));
    Count = std::clamp(Count, 0, Len(FText) - From);
    FText.erase(static_cast<std::size_t>(From), static_cast<std::size_t>(Count));
    ShiftRightEnd(From, -Count);
    FCaret = FAnchor = From;
}

void TtsGridEditBox::MarkModified() {
    if (!FModified) {
        FStartText = FText;
        FModified = true;
    }
}

void TtsGridEditBox::ReplaceSelection(const std::string& Value) {
    MarkModified();
    int Start = SelStart();
    DeleteRange(Start, SelLength());
    FText.insert(static_cast<std::size_t>(Start), Value);
    ShiftRightEnd(Start, Len(Value));
    FCaret = FAnchor = Start + Len(Value);
    Relayout();
    Invalidate();
    fw::CallHandler(OnTextChange, this);
}

bool TtsGridEditBox::MayInsert(const std::string& Value) {
    if (FMaxLength > 0 &&
        EditCharCount(FText) - EditCharCount(SelText()) + EditCharCount(Value) > FMaxLength)
        return false;
    // Typed or pasted text needs key edits on a cell that may change; the grid's own
    // changes check for themselves.
    if (!MayModify()) return false;
    std::string Result = FText;
    Result.replace(static_cast<std::size_t>(SelStart()), static_cast<std::size_t>(SelLength()),
                   Value);
    // The mask refuses through its link, and so may the check event.
    if (!FMaskLink.Accepts(FMask, Result, SelStart())) {
        fw::CallHandler(OnInvalidChar, this);
        fw::MessageBeep();
        return false;
    }
    if (const auto Check = OnCheckMask) {
        if (!Check(this, Result, SelStart())) {
            fw::CallHandler(OnInvalidChar, this);
            return false;
        }
    }
    return true;
}

bool TtsGridEditBox::Insert(const std::string& Value) {
    if (!MayInsert(Value)) return false;
    MarkModified();
    int Start = SelStart();
    DeleteRange(Start, SelLength());
    std::string Stored;
    for (std::size_t I = 0; I < Value.size(); ++I) {
        Stored += Value[I];
        // A line break is stored as CR LF.
        if (Value[I] == '\r' && (I + 1 >= Value.size() || Value[I + 1] != '\n')) Stored += '\n';
    }
    FText.insert(static_cast<std::size_t>(Start), Stored);
    ShiftRightEnd(Start, Len(Stored));
    FCaret = FAnchor = Start + Len(Stored);
    Relayout();
    Invalidate();
    fw::CallHandler(OnTextChange, this);
    return true;
}

void TtsGridEditBox::CopyToClipboard() {
    if (SelLength() > 0) fw::SetClipboardText(SelText());
}

void TtsGridEditBox::CutToClipboard() {
    if (SelLength() == 0 || !MayModify()) return;
    CopyToClipboard();
    DeleteSelection();
}

void TtsGridEditBox::DeleteSelection() {
    if (SelLength() == 0 || !MayModify()) return;
    MarkModified();
    DeleteRange(SelStart(), SelLength());
    Relayout();
    Invalidate();
    fw::CallHandler(OnTextChange, this);
}

bool TtsGridEditBox::PasteFromClipboard() {
    const std::string Clip = fw::ClipboardText();
    return !Clip.empty() && Insert(Clip);
}

void TtsGridEditBox::Undo() {
    if (!FModified) return;
    fw::TFreeGuard Hold(this);
    bool Refuse = false;
    fw::CallHandler(OnUndo, this, true, Refuse);
    if (Refuse) return;
    FText = FStartText;
    FModified = false;
    FCaret = FAnchor = FRightEnd = Len(FText);
    Relayout();
    Invalidate();
    fw::CallHandler(OnTextChange, this);
}

// ---- option setters ----

void TtsGridEditBox::SetAlignment(TtsHorzAlignment Value) {
    TtsGridControl::SetAlignment(Value);
    Relayout();
    Invalidate();
}

void TtsGridEditBox::SetVertAlignment(TtsVertAlignment Value) {
    TtsGridControl::SetVertAlignment(Value);
    Relayout();
    Invalidate();
}

void TtsGridEditBox::SetWordWrap(TtsWordWrap Value) {
    TtsGridControl::SetWordWrap(Value);
    Relayout();
    Invalidate();
}

void TtsGridEditBox::SetCellIndent(int Value) {
    if (FCellIndent == Value) return;
    FCellIndent = std::max(0, Value);
    Invalidate();
}

fw::TRect TtsGridEditBox::TextRect() const {
    fw::TRect R = ClientRect();
    R.Left -= FCellIndent;
    return R;
}

void TtsGridEditBox::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    TtsGridControl::SetBounds(ALeft, ATop, AWidth, AHeight);
    Relayout();
}

// ---- keyboard ----

void TtsGridEditBox::MoveCaret(int Pos, bool Extend) {
    // Between characters only: a column kept from a longer line may fall inside one.
    FCaret = static_cast<int>(CharStartAtOrBefore(FText, static_cast<std::size_t>(std::clamp(Pos, 0, Len(FText)))));
    if (!Extend) FAnchor = FCaret;
    Relayout();
    Invalidate();
    fw::CallHandler(OnSelChange, this);
}

void TtsGridEditBox::Changed(const std::string& Before, bool WasModified) {
    if (Before != FText || WasModified != FModified) fw::CallHandler(OnValueChanged, this, true);
}

bool TtsGridEditBox::StaysHere(bool AtEdge, fw::TShiftState Shift) const {
    // With the whole text selected the moves belong to the grid; the first press at an
    // edge goes to the grid too, a held key stays here.
    const bool AllSelected = SelStart() == 0 && SelLength() == Len(FText);
    if (!(Shift & fw::ssShift) && AllSelected) return false;
    return !AtEdge || FKeyHeld;
}

bool TtsGridEditBox::ArrowKey(bool Right, fw::TShiftState Shift) {
    if (!StaysHere(Right ? FCaret == Len(FText) : FCaret == 0, Shift)) return false;
    int To = Right ? CharEnd(FText, FCaret) : CharBefore(FText, FCaret);
    if (Shift & fw::ssCtrl)
        To = Right ? FCaret + NextWordStart(FText, FCaret) : FCaret - PrevWordStart(FText, FCaret);
    MoveCaret(To, Shift & fw::ssShift);
    return true;
}

bool TtsGridEditBox::LineKey(std::uint16_t Key, fw::TShiftState Shift) {
    const int LastLine = static_cast<int>(FLines.size()) - 1;
    const bool Up = Key == fw::VK_UP || Key == fw::VK_PRIOR;
    const bool Page = Key == fw::VK_PRIOR || Key == fw::VK_NEXT;
    bool AtEdge = Up ? FCaretLine == 0 : FCaretLine == LastLine;
    if ((Page && !MultiLine()) || LastLine == 0) AtEdge = true;
    if (!StaysHere(AtEdge, Shift)) return false;
    if (LastLine > 0 && (!Page || MultiLine())) {
        const int Step = Page ? std::max(1, ClientHeight() / std::max(1, LineHeight())) : 1;
        const int Line = std::clamp(FCaretLine + (Up ? -Step : Step), 0, LastLine);
        const int Col = FCaretCol;
        MoveCaret(std::min(LineStart(Line) + Col, LineEnd(Line)), Shift & fw::ssShift);
        FCaretCol = Col;
    }
    return true;
}

bool TtsGridEditBox::HomeEndKey(bool End, fw::TShiftState Shift) {
    const bool ShiftOn = Shift & fw::ssShift;
    if (!(Shift & fw::ssCtrl)) {
        MoveCaret(End ? LineEnd(FCaretLine) : LineStart(FCaretLine), ShiftOn);
        return true;
    }
    const bool AllSelected = SelStart() == 0 && SelLength() == Len(FText);
    const bool AtEnd = End ? FCaret == Len(FText) : FCaret == 0;
    if (AtEnd || (!ShiftOn && AllSelected)) return false;
    MoveCaret(End ? Len(FText) : 0, ShiftOn);
    return true;
}

void TtsGridEditBox::DeleteBack() {
    if (!MayModify()) return;
    if (SelLength() > 0) {
        MarkModified();
        DeleteRange(SelStart(), SelLength());
    } else if (FCaret > 0) {
        MarkModified();
        // The character before goes whole: a line break pair, a double-byte character.
        const int From = CharBefore(FText, FCaret);
        DeleteRange(From, FCaret - From);
    }
    Relayout();
    Invalidate();
}

bool TtsGridEditBox::DeleteKey(fw::TShiftState Shift) {
    if (Shift & fw::ssShift) {
        CutToClipboard();
        return true;
    }
    if (Shift & fw::ssCtrl) return false;
    if (!MayModify()) return true;
    if (SelLength() > 0) {
        MarkModified();
        DeleteRange(SelStart(), SelLength());
    } else if (FCaret < Len(FText)) {
        MarkModified();
        DeleteRange(FCaret, CharEnd(FText, FCaret) - FCaret);
    }
    Relayout();
    Invalidate();
    return true;
}

bool TtsGridEditBox::CtrlLetterKey(std::uint16_t Key) {
    switch (Key) {
    case 'C':
        CopyToClipboard();
        return true;
    case 'V':
        PasteFromClipboard();
        return true;
    case 'X':
        CutToClipboard();
        return true;
    case 'Z':
        Undo();
        return true;
    case 'A':
        SelectAll();
        return true;
    default:
        return false;
    }
}

bool TtsGridEditBox::HandleKey(std::uint16_t Key, fw::TShiftState Shift) {
    const bool Ctrl = Shift & fw::ssCtrl;
    switch (Key) {
    case fw::VK_LEFT:
    case fw::VK_RIGHT:
        return ArrowKey(Key == fw::VK_RIGHT, Shift);
    case fw::VK_UP:
    case fw::VK_DOWN:
    case fw::VK_PRIOR:
    case fw::VK_NEXT:
        return LineKey(Key, Shift);
    case fw::VK_HOME:
    case fw::VK_END:
        return HomeEndKey(Key == fw::VK_END, Shift);
    case fw::VK_BACK:
        DeleteBack();
        return true;
    case fw::VK_DELETE:
        return DeleteKey(Shift);
    case fw::VK_INSERT:
        if (Shift & fw::ssShift)
            PasteFromClipboard();
        else if (Ctrl)
            CopyToClipboard();
        return (Shift & fw::ssShift) || Ctrl;
    case fw::VK_F2:
        MoveCaret(FCaret, false);
        return true;
    case fw::VK_ESCAPE:
        Undo();
        return true;
    case fw::VK_RETURN:
        if (Ctrl) Insert("\r");
        return Ctrl;
    default:
        return Ctrl && CtrlLetterKey(Key);
    }
}

void TtsGridEditBox::KeyDown(std::uint16_t& Key, fw::TShiftState Shift) {
    const std::string Before = FText;
    const bool WasModified = FModified;
    const bool Consumed = Editable() && HandleKey(Key, Shift);
    FKeyHeld = true;
    if (!Consumed) {
        // The grid may move to another cell and load its text: that is no change here.
        TtsGridControl::KeyDown(Key, Shift);
        return;
    }
    Key = 0;
    Changed(Before, WasModified);
}

void TtsGridEditBox::KeyUp(std::uint16_t& Key, fw::TShiftState Shift) {
    FKeyHeld = false;
    TtsGridControl::KeyUp(Key, Shift);
}

void TtsGridEditBox::KeyPress(char& Key) {
    const std::string Before = FText;
    const bool WasModified = FModified;
    const auto Ch = static_cast<unsigned char>(Key);
    // A double-byte character comes in two presses: the lead byte waits for its trail.
    if (const char Lead = std::exchange(FLeadByte, '\0'); Lead && MayTrail(Ch)) {
        Insert(std::string{Lead, Key});
        Key = 0;
        Changed(Before, WasModified);
        return;
    } // a lead byte without a trail byte after it is dropped
    switch (Ch) {
    case 1:
    case 3:
    case 8:
    case 9:
    case 10:
    case 13:
    case 22:
    case 24:
    case 26:
    case 27:
        TtsGridControl::KeyPress(Key);
        return;
    default:
        break;
    }
    if (Ch < 32) {
        // What the editor does not take goes on; the grid may load another text meanwhile.
        TtsGridControl::KeyPress(Key);
        return;
    }
    if (LeadsDoubleByte(Ch)) {
        FLeadByte = Key;
        Key = 0;
        return;
    }
    Insert(std::string(1, Key)); // a refused character goes to the grid neither
    Key = 0;
    Changed(Before, WasModified);
}

// ---- mouse ----

void TtsGridEditBox::MouseDown(fw::TMouseButton Button, fw::TShiftState Shift, int X, int Y) {
    FKeyHeld = false;
    FLeadByte = 0;
    if (Button == fw::mbLeft && !(Shift & fw::ssDouble)) {
        MoveCaret(PosFromPoint(X, Y), (Shift & fw::ssShift) != 0);
        FMousePoint = fw::TPoint{X, Y};
        FMouseSelecting = true;
        SetMouseCapture(true);
    }
    TtsGridControl::MouseDown(Button, Shift, X, Y);
}

void TtsGridEditBox::MouseMove(fw::TShiftState Shift, int X, int Y) {
    if (FMouseSelecting && !(FMousePoint == fw::TPoint{X, Y})) MoveCaret(PosFromPoint(X, Y), true);
    TtsGridControl::MouseMove(Shift, X, Y);
}

void TtsGridEditBox::MouseUp(fw::TMouseButton Button, fw::TShiftState Shift, int X, int Y) {
    if (Button == fw::mbLeft && FMouseSelecting) {
        FMouseSelecting = false;
        if (MouseCapture()) SetMouseCapture(false);
    }
    TtsGridControl::MouseUp(Button, Shift, X, Y);
}

void TtsGridEditBox::DblClick() {
    SelectAll();
    TtsGridControl::DblClick();
}

// ---- messages and painting ----

void TtsGridEditBox::Dispatch(fw::TMessage& Message) {
    switch (Message.Msg) {
    case fw::WM_COPY:
        CopyToClipboard();
        return;
    case fw::WM_CUT:
        CutToClipboard();
        return;
    case fw::WM_PASTE:
        PasteFromClipboard();
        return;
    case fw::WM_KILLFOCUS:
        FKeyHeld = false;
        FLeadByte = 0;
        TtsGridControl::Dispatch(Message);
        Invalidate();
        return;
    case fw::WM_SETFOCUS:
        TtsGridControl::Dispatch(Message);
        Invalidate();
        return;
    case fw::WM_SETCURSOR:
        SetCursorMessage(Message);
        return;
    case fw::CM_FONTCHANGED:
        TtsGridControl::Dispatch(Message);
        Relayout();
        return;
    default:
        break;
    }
    TtsGridControl::Dispatch(Message);
}

void TtsGridEditBox::PaintTo(fw::TCanvas& C) {
    C.Brush().SetStyle(fw::bsSolid);
    C.Brush().SetColor(Color());
    C.Font().Assign(Font());
    const bool ShowSel = Focused() || GridHasFocus() || AlwaysShowFocus;
    DrawEditText(C, FText, ClientHeight(), TextRect(), 0, 0, Skip(), FTopLine, &FLines,
                 ShowSel ? SelStart() : 0, ShowSel ? SelLength() : 0, fw::clHighlight,
                 fw::clHighlightText, ShownAlignment(), VertAlignment(), WordWrap() != wwOff);
    if (Focused() && SelLength() == 0) DrawCaret(C);
}

void TtsGridEditBox::DrawCaret(fw::TCanvas& C) const {
    // A bar as tall as the font; an italic one leans with the text, from its bottom left
    // to its top right, one pixel wider than the overhang (bold italic: as wide).
    const fw::TTextMetric M = FMeasure.TextMetrics();
    const fw::TPoint P = CaretPoint();
    C.Brush().SetStyle(fw::bsSolid);
    C.Brush().SetColor(fw::clWindowText);
    if (!(Font().Style() & fw::fsItalic)) {
        C.FillRect(fw::TRect{P.X, P.Y, P.X + 1, P.Y + M.Height});
        return;
    }
    const int W = std::max(1, M.Overhang + ((Font().Style() & fw::fsBold) ? 0 : 1));
    for (int Row = 0; Row < M.Height; ++Row) {
        const int X = P.X + (W - 1) * (M.Height - 1 - Row) / std::max(1, M.Height - 1);
        C.FillRect(fw::TRect{X, P.Y + Row, X + 1, P.Y + Row + 1});
    }
}

void TtsGridEditBox::SetCursorMessage(fw::TMessage& Message) {
    // The I-beam over a box that takes edits, unless a screen-wide cursor is set.
    if ((Message.LParam & 0xFFFF) != fw::HTCLIENT) {
        TtsGridControl::Dispatch(Message);
        return;
    }
    fw::TCursor Shape = fw::ScreenCursor();
    if (Shape == fw::crDefault) Shape = Editable() && IsEditable(false) ? fw::crIBeam : Cursor();
    fw::SetCurrentCursor(Shape == fw::crDefault ? fw::crArrow : Shape);
    Message.Result = 1;
}

} // namespace vel
