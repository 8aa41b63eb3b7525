#include "StdCtrls.h"

#include "Canvas.h"
#include "Font.h"
#include "Input.h"
#include "ScopeExit.h"
#include "WideEdit.h"

#include <algorithm>
#include <cctype>

namespace fw {
namespace {

// The caption as drawn: "&&" is one ampersand, a single "&" marks the accelerator.
std::string StripAccelerator(const std::string& s, char* accel = nullptr) {
    std::string out;
    if (accel) *accel = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '&' && i + 1 < s.size()) {
            ++i;
            if (s[i] != '&' && accel && !*accel) *accel = s[i];
        }
        out += s[i];
    }
    return out;
}

} // namespace

// ------------------------------------------------------------------- TEdit

TEdit::TEdit(TComponent* AOwner) : TWinControl(AOwner), FCanvas(std::make_unique<TCanvas>()) {
    SetParentColor(false);
    SetColor(clWindow);
    SetTabStop(true);
    SetBounds(Left(), Top(), 121, 21);
    SetControlStyle(ControlStyle() | csDoubleClicks);
}

TEdit::~TEdit() = default;

void TEdit::CreateParams(TCreateParams& Params) {
    TWinControl::CreateParams(Params);
    Params.ExStyle |= WS_EX_CLIENTEDGE;
}

void TEdit::SetText(const std::string& Value) {
    std::string v = Value;
    if (FMaxLength > 0 && static_cast<int>(v.size()) > FMaxLength) v.resize(FMaxLength);
    if (v == Text()) return;
    TWinControl::SetText(v);
    FAnchor = FCaret = 0;
    // As the platform's multi-line edits do, text set from outside tells the parent nothing.
    const bool Was = FQuiet;
    FQuiet = HandleAllocated() && (GetWindowStyle(Handle()) & ES_MULTILINE);
    TScopeExit Restore([this, Was] { FQuiet = Was; });
    Change();
}

int TEdit::Clamp(int Pos) const {
    return std::clamp(Pos, 0, static_cast<int>(Text().size()));
}

int TEdit::SelStart() const {
    return std::min(FAnchor, FCaret);
}
int TEdit::SelLength() const {
    return std::abs(FCaret - FAnchor);
}

void TEdit::SetSelStart(int Value) {
    FAnchor = FCaret = Clamp(Value);
    Invalidate();
}

void TEdit::SetSelLength(int Value) {
    const int start = SelStart();
    FAnchor = start;
    FCaret = Clamp(start + std::max(Value, 0));
    Invalidate();
}

std::string TEdit::SelText() const {
    return Text().substr(static_cast<std::size_t>(SelStart()),
                         static_cast<std::size_t>(SelLength()));
}

void TEdit::SetSelText(const std::string& Value) {
    Replace(Value);
}

void TEdit::SetCaretPos(int Value, bool Extend) {
    FCaret = Clamp(Value);
    if (!Extend) FAnchor = FCaret;
    Invalidate();
}

void TEdit::SelectAll() {
    FAnchor = 0;
    FCaret = static_cast<int>(Text().size());
    Invalidate();
}

void TEdit::ClearSelection() {
    Replace("");
}

void TEdit::CopyToClipboard() {
    if (SelLength() > 0) SetClipboardText(SelText());
}

void TEdit::CutToClipboard() {
    if (FReadOnly || SelLength() == 0) return;
    CopyToClipboard();
    Replace("");
}

void TEdit::PasteFromClipboard() {
    if (FReadOnly) return;
    std::string text = ClipboardText();
    // A single-line edit keeps the first line only.
    if (auto nl = text.find_first_of("\r\n"); nl != std::string::npos) text.resize(nl);
    Replace(text);
}

void TEdit::Replace(const std::string& With) {
    const int start = SelStart();
    std::string text = Text();
    text.erase(static_cast<std::size_t>(start), static_cast<std::size_t>(SelLength()));
    std::string insert = With;
    if (FMaxLength > 0) {
        const int room = std::max(FMaxLength - static_cast<int>(text.size()), 0);
        if (static_cast<int>(insert.size()) > room) insert.resize(static_cast<std::size_t>(room));
    }
    text.insert(static_cast<std::size_t>(start), insert);
    FAnchor = FCaret = start + static_cast<int>(insert.size());
    if (text == Text()) {
        Invalidate();
        return;
    }
    TControl::SetText(text);
    FModified = true;
    Change();
}

void TEdit::Change() {
    const TCallHold hold(this); // the parent may free it on hearing of the change
    Invalidate();
    if (Parent() && HandleAllocated() && !FQuiet)
        Parent()->Perform(WM_COMMAND, EN_CHANGE << 16, reinterpret_cast<LPARAM>(Handle()));
    CallHandler(OnChange, this);
}

bool TEdit::HasEditRect() const {
    return FEditRectSet && HandleAllocated() &&
           (GetWindowStyle(const_cast<TEdit*>(this)->Handle()) & ES_MULTILINE);
}

TAlignment TEdit::CurrentAlignment() const {
    if (!HandleAllocated()) return taLeftJustify;
    const std::uint32_t style = GetWindowStyle(const_cast<TEdit*>(this)->Handle());
    if (style & ES_RIGHT) return taRightJustify;
    if (style & ES_CENTER) return taCenter;
    return taLeftJustify;
}

int TEdit::TextLeft() const {
    const TFontFace face(Font());
    const int w = face.TextWidth(TextToU32(Text()));
    const TRect r = HasEditRect() ? FEditRect : TRect{0, 0, Width(), Height()};
    const int left = HasEditRect() ? r.Left : 2;
    switch (CurrentAlignment()) {
    case taRightJustify:
        return std::max(r.Right - 3 - w, left);
    case taCenter:
        return std::max(r.Left + (r.Right - r.Left - w) / 2, left);
    default:
        return left;
    }
}

int TEdit::CharIndexAt(int X) const {
    const TFontFace face(Font());
    const std::u32string text = TextToU32(Text());
    int x = TextLeft();
    for (std::size_t i = 0; i < text.size(); ++i) {
        const int w = face.CharWidth(text[i]);
        if (X < x + w / 2) return static_cast<int>(i);
        x += w;
    }
    return static_cast<int>(text.size());
}

void TEdit::DoEnter() {
    if (FAutoSelect && GetKeyState(VK_LBUTTON) >= 0) SelectAll();
    Invalidate();
    TWinControl::DoEnter();
}

void TEdit::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (Button == mbLeft) {
        if (!Focused() && CanFocus()) SetFocus();
        if (Shift & ssDouble)
            SelectAll();
        else
            SetCaretPos(CharIndexAt(X), (Shift & ssShift) != 0);
    }
    TWinControl::MouseDown(Button, Shift, X, Y);
}

void TEdit::MouseMove(TShiftState Shift, int X, int Y) {
    if ((Shift & ssLeft) && MouseCapture()) SetCaretPos(CharIndexAt(X), true);
    TWinControl::MouseMove(Shift, X, Y);
}

void TEdit::EditKeyDown(std::uint16_t Key) {
    const TShiftState shift = KeyboardShiftState();
    const bool extend = (shift & ssShift) != 0;
    const int len = static_cast<int>(Text().size());
    switch (Key) {
    case VK_LEFT:
        if (!extend && SelLength() > 0)
            SetCaretPos(SelStart());
        else
            SetCaretPos(FCaret - 1, extend);
        break;
    case VK_RIGHT:
        if (!extend && SelLength() > 0)
            SetCaretPos(SelStart() + SelLength());
        else
            SetCaretPos(FCaret + 1, extend);
        break;
    case VK_HOME:
        SetCaretPos(0, extend);
        break;
    case VK_END:
        SetCaretPos(len, extend);
        break;
    case VK_DELETE:
        if (FReadOnly) break;
        if (extend) {
            CutToClipboard();
            break;
        }
        if (SelLength() == 0 && FCaret < len) FCaret = FCaret + 1;
        Replace("");
        break;
    case VK_INSERT:
        if (shift & ssCtrl)
            CopyToClipboard();
        else if (extend)
            PasteFromClipboard();
        break;
    default:
        break;
    }
}

void TEdit::EditChar(char Ch) {
    if (Ch == 1) { // Ctrl+A
        SelectAll();
    } else if (Ch == 3) { // Ctrl+C
        CopyToClipboard();
    } else if (Ch == 0x18) { // Ctrl+X
        CutToClipboard();
    } else if (Ch == 0x16) { // Ctrl+V
        PasteFromClipboard();
    } else if (Ch == '\b') {
        if (FReadOnly) return;
        if (SelLength() == 0 && FCaret > 0) FAnchor = FCaret - 1;
        Replace("");
    } else if (static_cast<unsigned char>(Ch) >= 0x20 && Ch != 0x7F) {
        if (!FReadOnly) Replace(std::string(1, Ch));
    }
}

void TEdit::DefaultHandler(TMessage& Message) {
    switch (Message.Msg) {
    case WM_GETDLGCODE:
        Message.Result = DLGC_WANTARROWS | DLGC_WANTCHARS;
        // A multi-line edit keeps Tab and Enter for itself, as the platform's does.
        if (HandleAllocated() && (GetWindowStyle(Handle()) & ES_MULTILINE))
            Message.Result |= DLGC_WANTALLKEYS;
        return;
    case WM_KEYDOWN:
        EditKeyDown(static_cast<std::uint16_t>(Message.WParam));
        return;
    case WM_CHAR:
        EditChar(static_cast<char>(Message.WParam));
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
    case WM_CLEAR:
        if (!FReadOnly) Replace("");
        return;
    case EM_SETRECTNP:
        if (Message.LParam) {
            FEditRect = *reinterpret_cast<const TRect*>(Message.LParam);
            FEditRectSet = true;
            Invalidate();
        }
        return;
    case EM_GETRECT:
        if (Message.LParam)
            *reinterpret_cast<TRect*>(Message.LParam) = HasEditRect() ? FEditRect : ClientRect();
        return;
    default:
        break;
    }
    TWinControl::DefaultHandler(Message);
}

void TEdit::PaintWindow(const TPaintTarget& Target) {
    TCanvas& c = *FCanvas;
    c.Attach(Target.Surface, Target.Origin, Target.Clip);
    TScopeExit detach([&c] { c.Attach(nullptr, TPoint{}, TRect{}); });
    const TRect r = ClientRect();
    c.Font().Assign(Font());
    if (!EnabledInChain()) c.Font().SetColor(clGrayText);
    c.Brush().SetStyle(bsSolid);
    c.Brush().SetColor(Color());
    c.FillRect(r);
    const TFontFace face(Font());
    const int th = face.Metrics().Height;
    const int top = HasEditRect() ? FEditRect.Top : std::max((Height() - th) / 2, 1);
    if (HasEditRect()) c.IntersectClipRect(FEditRect);
    const int left = TextLeft();
    const std::string& text = Text();
    c.Brush().SetStyle(bsClear);
    c.TextOut(left, top, text);
    if (!Focused()) return;
    const int x0 = left + c.TextWidth(std::string_view(text).substr(0, SelStart()));
    if (SelLength() > 0) {
        const std::string sel = SelText();
        c.Brush().SetStyle(bsSolid);
        c.Brush().SetColor(clHighlight);
        c.Font().SetColor(clHighlightText);
        c.TextOut(x0, top, sel);
    }
    const int xc = left + c.TextWidth(std::string_view(text).substr(0, FCaret));
    c.Brush().SetStyle(bsSolid);
    c.Brush().SetColor(Font().Color());
    c.FillRect(TRect{xc, top, xc + 1, top + th});
}

// ------------------------------------------------------------------ TLabel

TLabel::TLabel(TComponent* AOwner) : TGraphicControl(AOwner) {
    SetBounds(Left(), Top(), 65, 17);
    SetControlStyle(ControlStyle() | csReplicatable);
    AdjustBounds();
}

void TLabel::SetAlignment(TAlignment Value) {
    if (Value == FAlignment) return;
    FAlignment = Value;
    Invalidate();
}

void TLabel::SetAutoSize(bool Value) {
    if (Value == FAutoSize) return;
    FAutoSize = Value;
    AdjustBounds();
}

void TLabel::SetTransparent(bool Value) {
    if (Value == FTransparent) return;
    FTransparent = Value;
    Invalidate();
}

void TLabel::SetWordWrap(bool Value) {
    if (Value == FWordWrap) return;
    FWordWrap = Value;
    AdjustBounds();
    Invalidate();
}

void TLabel::SetFocusControl(TWinControl* Value) {
    if (FFocusControl) RemoveFreeNotification(FFocusControl);
    FFocusControl = Value;
    if (Value) FreeNotification(Value);
}

void TLabel::Notification(TComponent* AComponent, TOperation Operation) {
    TGraphicControl::Notification(AComponent, Operation);
    if (Operation == TOperation::Remove && AComponent == FFocusControl) FFocusControl = nullptr;
}

void TLabel::AdjustBounds() {
    if (!FAutoSize || FWordWrap) return;
    const TFontFace face(Font());
    const std::string text = StripAccelerator(Caption());
    const int w = face.TextWidth(TextToU32(text));
    const int h = face.Metrics().Height;
    int left = Left();
    if (FAlignment == taRightJustify) left += Width() - w;
    SetBounds(left, Top(), w, h);
}

void TLabel::Dispatch(TMessage& Message) {
    switch (Message.Msg) {
    case CM_TEXTCHANGED:
    case CM_FONTCHANGED:
        AdjustBounds();
        Invalidate();
        break;
    case CM_DIALOGCHAR: {
        char accel = 0;
        StripAccelerator(Caption(), &accel);
        const int want = std::tolower(static_cast<unsigned char>(Message.WParam));
        if (accel && std::tolower(static_cast<unsigned char>(accel)) == want && FFocusControl &&
            FFocusControl->CanFocus()) {
            FFocusControl->SetFocus();
            Message.Result = 1;
            return;
        }
        break;
    }
    default:
        break;
    }
    TGraphicControl::Dispatch(Message);
}

void TLabel::Paint() {
    TCanvas& c = *Canvas();
    const TRect r = ClientRect();
    if (!FTransparent) {
        c.Brush().SetStyle(bsSolid);
        c.Brush().SetColor(Color());
        c.FillRect(r);
    }
    c.Brush().SetStyle(bsClear);
    c.Font().Assign(Font());
    if (!EnabledInChain()) c.Font().SetColor(clGrayText);
    const std::string text = StripAccelerator(Caption());
    TRect box = r;
    unsigned format = FWordWrap ? DT_WORDBREAK : DT_SINGLELINE;
    if (FAlignment == taCenter) format |= DT_CENTER;
    if (FAlignment == taRightJustify) format |= DT_RIGHT;
    c.DrawText(text, box, format);
}

} // namespace fw
