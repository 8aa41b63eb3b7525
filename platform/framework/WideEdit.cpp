#include "WideEdit.h"

#include "Canvas.h"
#include "Clipbrd.h"
#include "Font.h"
#include "Input.h"
#include "StdCtrls.h"

#include <algorithm>

namespace fw {
namespace {

bool IsHigh(char16_t C) {
    return C >= 0xD800 && C <= 0xDBFF;
}
bool IsLow(char16_t C) {
    return C >= 0xDC00 && C <= 0xDFFF;
}
bool IsBreak(char16_t C) {
    return C == u'\r' || C == u'\n';
}

// Ends of the paragraphs: each runs up to a CR LF, CR or LF.
std::vector<TWideEdit::TLine> Paragraphs(const std::u16string& T) {
    std::vector<TWideEdit::TLine> R;
    int Start = 0;
    const int N = static_cast<int>(T.size());
    for (int I = 0; I < N; ++I) {
        if (!IsBreak(T[static_cast<std::size_t>(I)])) continue;
        R.push_back({Start, I - Start});
        if (T[static_cast<std::size_t>(I)] == u'\r' && I + 1 < N &&
            T[static_cast<std::size_t>(I) + 1] == u'\n')
            ++I;
        Start = I + 1;
    }
    R.push_back({Start, N - Start});
    return R;
}

} // namespace

TWideEdit::TWideEdit(TComponent* AOwner) : TWinControl(AOwner) {
    SetParentColor(false);
    SetColor(clWindow);
    SetTabStop(true);
    SetBounds(Left(), Top(), 121, 21);
    SetControlStyle(ControlStyle() | csDoubleClicks | csOpaque);
}

TWideEdit::~TWideEdit() = default;

void TWideEdit::CreateParams(TCreateParams& Params) {
    TWinControl::CreateParams(Params);
    Params.Style |= ES_AUTOHSCROLL;
    Params.ExStyle |= WS_EX_CLIENTEDGE;
}

bool TWideEdit::Multiline() const {
    return HandleAllocated() &&
           (GetWindowStyle(const_cast<TWideEdit*>(this)->Handle()) & ES_MULTILINE);
}

bool TWideEdit::WordWrap() const {
    return Multiline() &&
           !(GetWindowStyle(const_cast<TWideEdit*>(this)->Handle()) & ES_AUTOHSCROLL);
}

void TWideEdit::SetWideText(const std::u16string& Value) {
    if (Value == FText) return;
    FText = Value;
    FAnchor = FCaret = 0;
    FScrollX = FScrollY = 0;
    Change();
}

int TWideEdit::Clamp(int Pos) const {
    Pos = std::clamp(Pos, 0, static_cast<int>(FText.size()));
    // Never between the halves of a surrogate pair.
    if (Pos > 0 && Pos < static_cast<int>(FText.size()) &&
        IsLow(FText[static_cast<std::size_t>(Pos)]) &&
        IsHigh(FText[static_cast<std::size_t>(Pos) - 1]))
        --Pos;
    return Pos;
}

int TWideEdit::SelStart() const {
    return std::min(FAnchor, FCaret);
}
int TWideEdit::SelLength() const {
    return std::abs(FCaret - FAnchor);
}
std::u16string TWideEdit::SelText() const {
    return FText.substr(static_cast<std::size_t>(SelStart()),
                        static_cast<std::size_t>(SelLength()));
}

void TWideEdit::SetSel(int Start, int End) {
    if (Start < 0) {
        FAnchor = FCaret = Clamp(FCaret);
    } else {
        FAnchor = Clamp(Start);
        FCaret = Clamp(End < 0 ? static_cast<int>(FText.size()) : End);
    }
    ScrollCaretIntoView();
    Invalidate();
}

void TWideEdit::SetCaretPos(int Value, bool Extend) {
    FCaret = Clamp(Value);
    if (!Extend) FAnchor = FCaret;
    ScrollCaretIntoView();
    Invalidate();
}

void TWideEdit::ReplaceSelection(const std::u16string& With) {
    std::u16string Insert = With;
    if (!Multiline())
        if (auto NL = Insert.find_first_of(u"\r\n"); NL != std::u16string::npos) Insert.resize(NL);
    const int Start = SelStart();
    FText.replace(static_cast<std::size_t>(Start), static_cast<std::size_t>(SelLength()), Insert);
    FAnchor = FCaret = Start + static_cast<int>(Insert.size());
    FModified = true;
    Notify(EN_UPDATE);
    ScrollCaretIntoView();
    Change();
    Notify(EN_CHANGE);
}

void TWideEdit::CopyToClipboard() {
    if (SelLength() > 0) SetClipboardWideText(SelText());
}

void TWideEdit::CutToClipboard() {
    if (FReadOnly || SelLength() == 0) return;
    CopyToClipboard();
    ReplaceSelection(u"");
}

void TWideEdit::PasteFromClipboard() {
    if (!FReadOnly) ReplaceSelection(ClipboardWideText());
}

void TWideEdit::Change() {
    Invalidate();
    CallHandler(OnChange, this);
}

void TWideEdit::Notify(WPARAM Code) {
    const TCallHold Hold(this); // the parent may free it on hearing
    if (Parent() && HandleAllocated())
        Parent()->Perform(WM_COMMAND, Code << 16, reinterpret_cast<LPARAM>(Handle()));
}

TRect TWideEdit::FormatRect() const {
    if (FHasFormatRect) return FFormatRect;
    return TRect{2, 2, std::max(Width() - 2, 2), std::max(Height() - 2, 2)};
}

void TWideEdit::SetFormatRect(const TRect& R) {
    FHasFormatRect = true;
    FFormatRect = R;
    ScrollCaretIntoView();
    Invalidate();
}

int TWideEdit::TextWidth(const std::u16string& S) const {
    return TFontFace(Font()).TextWidth(TextToU32(S));
}

int TWideEdit::LineHeight() const {
    return TFontFace(Font()).Metrics().Height;
}

std::vector<TWideEdit::TLine> TWideEdit::Lines() const {
    std::vector<TLine> Paras = Paragraphs(FText);
    if (!Multiline()) return {TLine{0, static_cast<int>(FText.size())}};
    if (!WordWrap()) return Paras;
    const int Width = std::max(FormatRect().Width(), 1);
    std::vector<TLine> R;
    for (const TLine& P : Paras) {
        int Start = P.Start;
        const int End = P.Start + P.Length;
        do {
            // The longest run that fits, broken after the last space when there is one.
            int Fit = Start;
            while (Fit < End &&
                   TextWidth(FText.substr(static_cast<std::size_t>(Start),
                                          static_cast<std::size_t>(Fit - Start + 1))) <= Width)
                ++Fit;
            if (Fit == End) {
                R.push_back({Start, End - Start});
                break;
            }
            // Spaces at the break hang past the margin.
            if (FText[static_cast<std::size_t>(Fit)] == u' ') {
                while (Fit < End && FText[static_cast<std::size_t>(Fit)] == u' ')
                    ++Fit;
                R.push_back({Start, Fit - Start});
                Start = Fit;
                continue;
            }
            int Break = Fit;
            for (int I = Fit; I > Start; --I)
                if (FText[static_cast<std::size_t>(I) - 1] == u' ') {
                    Break = I;
                    break;
                }
            if (Break == Start) Break = std::max(Fit, Start + 1);
            R.push_back({Start, Break - Start});
            Start = Break;
        } while (Start < End);
    }
    return R;
}

int TWideEdit::LineOf(int Index) const {
    const std::vector<TLine> L = Lines();
    for (std::size_t I = 0; I < L.size(); ++I)
        if (Index <= L[I].Start + L[I].Length &&
            (I + 1 == L.size() || Index < L[I + 1].Start))
            return static_cast<int>(I);
    return static_cast<int>(L.size()) - 1;
}

int TWideEdit::IndexAt(TPoint P) const {
    const std::vector<TLine> L = Lines();
    const TRect F = FormatRect();
    const int Row =
        std::clamp((P.Y - F.Top + FScrollY) / std::max(LineHeight(), 1), 0,
                   static_cast<int>(L.size()) - 1);
    const TLine& Line = L[static_cast<std::size_t>(Row)];
    int X = F.Left - FScrollX;
    for (int I = 0; I < Line.Length; ++I) {
        const int W = TextWidth(FText.substr(static_cast<std::size_t>(Line.Start + I), 1));
        if (P.X < X + W / 2) return Line.Start + I;
        X += W;
    }
    return Line.Start + Line.Length;
}

void TWideEdit::ScrollCaretIntoView() {
    const TRect F = FormatRect();
    const std::vector<TLine> L = Lines();
    const int Row = LineOf(FCaret);
    const TLine& Line = L[static_cast<std::size_t>(Row)];
    const int X = TextWidth(FText.substr(static_cast<std::size_t>(Line.Start),
                                         static_cast<std::size_t>(FCaret - Line.Start)));
    if (!WordWrap()) {
        if (X - FScrollX > F.Width() - 1) FScrollX = X - F.Width() + 1;
        if (X < FScrollX) FScrollX = X;
        // No more scrolled than the longest line needs.
        int Widest = 0;
        for (const TLine& L : Lines())
            Widest = std::max(Widest, TextWidth(FText.substr(static_cast<std::size_t>(L.Start),
                                                             static_cast<std::size_t>(L.Length))));
        FScrollX = std::min(FScrollX, std::max(0, Widest - F.Width() + 1));
    }
    const int H = LineHeight();
    if (Row * H - FScrollY + H > F.Height()) FScrollY = Row * H + H - F.Height();
    if (Row * H < FScrollY) FScrollY = Row * H;
    FScrollX = std::max(FScrollX, 0);
    FScrollY = std::max(FScrollY, 0);
}

void TWideEdit::MoveVertically(int Delta, bool Extend) {
    const std::vector<TLine> L = Lines();
    const int Row = LineOf(FCaret);
    const int Target = std::clamp(Row + Delta, 0, static_cast<int>(L.size()) - 1);
    if (Target == Row) return;
    const TLine& From = L[static_cast<std::size_t>(Row)];
    const int X = TextWidth(FText.substr(static_cast<std::size_t>(From.Start),
                                         static_cast<std::size_t>(FCaret - From.Start)));
    const TRect F = FormatRect();
    SetCaretPos(IndexAt(TPoint{F.Left - FScrollX + X, F.Top - FScrollY + Target * LineHeight()}),
                Extend);
}

bool TWideEdit::EditKey(std::uint16_t Key, TShiftState Shift) {
    const bool Extend = (Shift & ssShift) != 0;
    const int Len = static_cast<int>(FText.size());
    auto Step = [&](int From, int Dir) {
        int P = From + Dir;
        if (P > 0 && P < Len && IsLow(FText[static_cast<std::size_t>(P)]) &&
            IsHigh(FText[static_cast<std::size_t>(P) - 1]))
            P += Dir;
        return P;
    };
    switch (Key) {
    case VK_LEFT:
        if (!Extend && SelLength() > 0)
            SetCaretPos(SelStart());
        else
            SetCaretPos(Step(FCaret, -1), Extend);
        return true;
    case VK_RIGHT:
        if (!Extend && SelLength() > 0)
            SetCaretPos(SelStart() + SelLength());
        else
            SetCaretPos(Step(FCaret, 1), Extend);
        return true;
    case VK_UP:
    case VK_DOWN:
        if (!Multiline()) return false;
        MoveVertically(Key == VK_UP ? -1 : 1, Extend);
        return true;
    case VK_HOME:
    case VK_END: {
        const TLine Line = Lines()[static_cast<std::size_t>(LineOf(FCaret))];
        const bool Whole = (Shift & ssCtrl) || !Multiline();
        if (Key == VK_HOME)
            SetCaretPos(Whole ? 0 : Line.Start, Extend);
        else
            SetCaretPos(Whole ? Len : Line.Start + Line.Length, Extend);
        return true;
    }
    case VK_DELETE:
        if (FReadOnly) return true;
        if (SelLength() == 0 && FCaret < Len) FAnchor = Step(FCaret, 1);
        if (SelLength() > 0) ReplaceSelection(u"");
        return true;
    default:
        return false;
    }
}

void TWideEdit::EditChar(char16_t Ch) {
    switch (Ch) {
    case 1: // Ctrl+A
        SelectAll();
        return;
    case 3: // Ctrl+C
        CopyToClipboard();
        return;
    case 0x18: // Ctrl+X
        CutToClipboard();
        return;
    case 0x16: // Ctrl+V
        PasteFromClipboard();
        return;
    case u'\b':
        if (FReadOnly) return;
        if (SelLength() == 0 && FCaret > 0) {
            FAnchor = FCaret - 1;
            if (FAnchor > 0 && IsLow(FText[static_cast<std::size_t>(FAnchor)])) --FAnchor;
        }
        if (SelLength() > 0) ReplaceSelection(u"");
        return;
    case u'\r':
        if (!FReadOnly && Multiline()) ReplaceSelection(u"\r\n");
        return;
    default:
        if (!FReadOnly && Ch >= 0x20 && Ch != 0x7F) ReplaceSelection(std::u16string(1, Ch));
        return;
    }
}

void TWideEdit::DoEnter() {
    if (!Multiline() && GetKeyState(VK_LBUTTON) >= 0) SelectAll();
    Invalidate();
    TWinControl::DoEnter();
}

void TWideEdit::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (Button == mbLeft) {
        if (!Focused() && CanFocus()) SetFocus();
        if (Shift & ssDouble)
            SelectAll();
        else
            SetCaretPos(IndexAt(TPoint{X, Y}), (Shift & ssShift) != 0);
    }
    TWinControl::MouseDown(Button, Shift, X, Y);
}

void TWideEdit::MouseMove(TShiftState Shift, int X, int Y) {
    if ((Shift & ssLeft) && MouseCapture()) SetCaretPos(IndexAt(TPoint{X, Y}), true);
    TWinControl::MouseMove(Shift, X, Y);
}

void TWideEdit::DefaultHandler(TMessage& Message) {
    switch (Message.Msg) {
    case WM_GETDLGCODE:
        Message.Result = DLGC_WANTARROWS | DLGC_WANTCHARS;
        if (Multiline()) Message.Result |= DLGC_WANTALLKEYS;
        return;
    case WM_KEYDOWN:
        EditKey(static_cast<std::uint16_t>(Message.WParam), KeyboardShiftState());
        return;
    case WM_CHAR:
        EditChar(static_cast<char16_t>(Message.WParam));
        return;
    case WM_COPY:
        CopyToClipboard();
        return;
    case WM_CUT:
        CutToClipboard();
        return;
    case WM_PASTE:
        PasteFromClipboard();
        return;
    case EM_SETSEL:
        SetSel(static_cast<int>(Message.WParam), static_cast<int>(Message.LParam));
        return;
    case EM_GETSEL:
        Message.Result = static_cast<LRESULT>(SelStart() | ((SelStart() + SelLength()) << 16));
        return;
    case EM_SETRECTNP:
        if (Message.LParam) SetFormatRect(*reinterpret_cast<const TRect*>(Message.LParam));
        return;
    case EM_GETRECT:
        if (Message.LParam) *reinterpret_cast<TRect*>(Message.LParam) = FormatRect();
        return;
    default:
        break;
    }
    TWinControl::DefaultHandler(Message);
}

void TWideEdit::PaintWindow(const TPaintTarget& Target) {
    TCanvas C;
    C.Attach(Target.Surface, Target.Origin, Target.Clip);
    const TRect All = ClientRect();
    C.Brush().SetStyle(bsSolid);
    C.Brush().SetColor(Color());
    C.FillRect(All);
    const std::uint32_t Style = HandleAllocated() ? GetWindowStyle(Handle()) : 0;
    const std::uint32_t Ex = HandleAllocated() ? GetWindowExStyle(Handle()) : 0;
    if (Ex & WS_EX_CLIENTEDGE) {
        TRect E = All;
        C.DrawEdge(E, EDGE_SUNKEN, BF_RECT);
    } else if (Style & WS_BORDER) {
        C.Brush().SetColor(clWindowFrame);
        C.FrameRect(All);
    }
    const TRect F = FormatRect();
    C.IntersectClipRect(F);
    C.Font().Assign(Font());
    if (!EnabledInChain()) C.Font().SetColor(clGrayText);
    const int H = LineHeight();
    const bool ShowSel = Focused() && SelLength() > 0;
    int Y = F.Top - FScrollY;
    for (const TLine& L : Lines()) {
        const int X = F.Left - FScrollX;
        const std::u16string Line = FText.substr(static_cast<std::size_t>(L.Start),
                                                 static_cast<std::size_t>(L.Length));
        C.Brush().SetStyle(bsClear);
        C.TextOut(X, Y, Line);
        const int S0 = std::clamp(SelStart(), L.Start, L.Start + L.Length);
        const int S1 = std::clamp(SelStart() + SelLength(), L.Start, L.Start + L.Length);
        if (ShowSel && S1 > S0) {
            const int X0 = X + TextWidth(Line.substr(0, static_cast<std::size_t>(S0 - L.Start)));
            C.Brush().SetStyle(bsSolid);
            C.Brush().SetColor(clHighlight);
            const TColor Keep = C.Font().Color();
            C.Font().SetColor(clHighlightText);
            C.TextOut(X0, Y, Line.substr(static_cast<std::size_t>(S0 - L.Start),
                                         static_cast<std::size_t>(S1 - S0)));
            C.Font().SetColor(Keep);
        }
        Y += H;
    }
    if (Focused()) {
        const std::vector<TLine> Ls = Lines();
        const int Row = LineOf(FCaret);
        const TLine& L = Ls[static_cast<std::size_t>(Row)];
        const int XC = F.Left - FScrollX +
                       TextWidth(FText.substr(static_cast<std::size_t>(L.Start),
                                              static_cast<std::size_t>(FCaret - L.Start)));
        const int YC = F.Top - FScrollY + Row * H;
        C.Brush().SetStyle(bsSolid);
        C.Brush().SetColor(Font().Color());
        C.FillRect(TRect{XC, YC, XC + 1, YC + H});
    }
}

} // namespace fw
