// The tree's hints: what the tree answers to the hint request, and the hint
// window that shows a node's hint or a cut cell's full text.
#include "LazyTreeHint.h"

#include "LazyDrawTree.h"
#include "LazyTreeUtils.h"

#include "Forms.h"
#include "Input.h"
#include "Screen.h"

#include <algorithm>

namespace vel {

bool HintWindowDestroyed = false;

namespace {

TAlignment Mirrored(TAlignment A) {
    return A == taCenter ? A : (A == taLeftJustify ? taRightJustify : taLeftJustify);
}

} // namespace

// --- the tree's answer -------------------------------------------------------------------

bool TBaseLazyTree::CMHintShowPause(fw::TMessage& Message) {
    auto* Pause = reinterpret_cast<int*>(Message.LParam);
    const fw::TPoint P = ScreenToClient(fw::GetCursorPos());
    const bool OverHeader = Header() && Header()->InHeader(P) &&
                            (Header()->Options() & hoShowHint);
    if (Pause && (OverHeader || FHintMode == hmTooltip)) *Pause = 0;
    return true;
}

bool TBaseLazyTree::MayShowHints() const {
    if (InState(tsEditing)) {
        // While editing only over another node than the edited one.
        const fw::TPoint P = ScreenToClient(fw::GetCursorPos());
        THitInfo Info;
        const_cast<TBaseLazyTree*>(this)->GetHitTestInfoAt(P.X, P.Y, true, Info);
        return Info.HitNode && Info.HitNode != FFocusedNode;
    }
    return ShowHint() || fw::Application()->ShowHint();
}

bool TBaseLazyTree::CMHintShow(fw::TMessage& Message) {
    auto* Info = reinterpret_cast<fw::THintInfo*>(Message.LParam);
    Message.Result = 1;
    if (!Info) return true;
    const fw::TPoint P = Info->CursorPos;
    const bool Busy = fw::GetCapture() || Dragging() || InState(tsDrawSelecting) ||
                      InState(tsDrawSelPending) || (Header() && Header()->States != 0);
    if (FLastHintRect.Contains(P) || Busy || !ShowHint() || !MayShowHints()) {
        DoStateChange({}, {tsHint});
        return true;
    }
    Info->HintStr = " ";
    Message.Result = 0;
    bool Shown = HeaderHint(*Info) || CellHint(*Info);
    if (!Shown && (FHintMode == hmDefault || FHintMode == hmHintAndDefault) && !Hint().empty()) {
        UseHintWindow(*Info, nullptr, NoColumn, {});
        Info->HintStr = Hint().substr(0, Hint().find('|'));
        Info->CursorRect = ClientRect();
        Shown = true;
    }
    if (!Shown) Message.Result = 1;
    if (Shown)
        DoStateChange({tsHint});
    else
        DoStateChange({}, {tsHint});
    FLastHintRect = Shown ? Info->CursorRect : fw::TRect{};
    return true;
}

bool TBaseLazyTree::HeaderHint(fw::THintInfo& Info) {
    TLTHeader* H = Header();
    if (!H || !H->InHeader(Info.CursorPos) || !(H->Options() & hoShowHint)) return false;
    const TColumnIndex C = H->Columns().ColumnFromPosition(Info.CursorPos);
    TLazyTreeColumn* Column = H->Columns().Items(C);
    Info.HintStr.clear();
    if (!Column || Column->Hint().empty()) return true; // no hint over this column
    UseHintWindow(Info, nullptr, C, Column->Hint());
    fw::TRect R = Column->GetRect();
    R = fw::OffsetRect(R, FOffsetX, 0);
    R.Top = FHeaderRect.Top;
    R.Bottom = FHeaderRect.Bottom;
    Info.CursorRect = R;
    return true;
}

bool TBaseLazyTree::CellHint(fw::THintInfo& Info) {
    if (FHintMode == hmDefault) return false;
    THitInfo Hit;
    GetHitTestInfoAt(Info.CursorPos.X, Info.CursorPos.Y, true, Hit);
    if (!Hit.HitNode || Hit.HitColumn == InvalidColumn) return false;
    const fw::TRect Cell = GetDisplayRect(Hit.HitNode, Hit.HitColumn, false, true);
    // Asked again once the mouse leaves the cell, hint or not.
    Info.CursorRect = Cell;
    if (FHintMode == hmTooltip) {
        // Only a cut text is shown again in full, exactly over the cell's text.
        const fw::TRect Text = GetDisplayRect(Hit.HitNode, Hit.HitColumn, true, true);
        const fw::TRect Visible = GetDisplayRect(Hit.HitNode, Hit.HitColumn, true, false);
        const bool Cut = Text.Right > std::min(Visible.Right, ClientWidth()) ||
                         Text.Left < 0 || (Hit.HitNode->States & vsMultiline);
        if (!Cut) return false;
        Info.HintPos = ClientToScreen({Text.Left, Text.Top});
    } else {
        if (DoGetNodeHint(Hit.HitNode, Hit.HitColumn).empty()) return false;
    }
    UseHintWindow(Info, Hit.HitNode, Hit.HitColumn, {});
    return true;
}

// Every hint of the tree shows in its own window, which tells the tree when it hides.
void TBaseLazyTree::UseHintWindow(fw::THintInfo& Info, PLazyNode Node, int Column,
                                  const std::u16string& DefaultHint) {
    FHintData = TLTHintData{};
    FHintData.Tree = this;
    FHintData.Node = Node;
    FHintData.Column = Column;
    FHintData.DefaultHint = DefaultHint;
    Info.HintStr = " ";
    Info.WideHint = DefaultHint;
    Info.HintData = &FHintData;
    Info.HintWindowClass = [] { return std::make_unique<TLazyTreeHintWindow>(nullptr); };
}

void TBaseLazyTree::ForgetHint() {
    FLastHintRect = {};
    FHintData = TLTHintData{};
}

// --- the window -----------------------------------------------------------------------------

TLazyTreeHintWindow::TLazyTreeHintWindow(fw::TComponent* AOwner) : fw::THintWindow(AOwner) {
    HintWindowDestroyed = false;
}

TLazyTreeHintWindow::~TLazyTreeHintWindow() {
    HintWindowDestroyed = true;
    *FAlive = false;
}

void TLazyTreeHintWindow::CreateParams(fw::TCreateParams& Params) {
    fw::THintWindow::CreateParams(Params);
    Params.Style = fw::WS_POPUP;
    Params.ExStyle &= ~fw::WS_EX_CLIENTEDGE;
}

bool TLazyTreeHintWindow::TooltipMode() const {
    return FHintData.Tree && FHintData.Node && FHintData.Tree->HintMode() == hmTooltip;
}

void TLazyTreeHintWindow::WndProc(fw::TMessage& Message) {
    switch (Message.Msg) {
    case fw::WM_ERASEBKGND:
        Message.Result = 1;
        return;
    case fw::CM_TEXTCHANGED:
        return;
    case fw::WM_SHOWWINDOW:
        if (Message.WParam == 0) {
            if (FHintData.Tree) FHintData.Tree->ForgetHint();
            FHintData = TLTHintData{};
            HintWindowDestroyed = false;
        }
        break;
    default:
        break;
    }
    fw::THintWindow::WndProc(Message);
}

bool TLazyTreeHintWindow::IsHintMsg(const fw::TMessage& Msg) {
    if (Msg.Msg == fw::WM_KEYDOWN || Msg.Msg == fw::WM_SYSKEYDOWN || Msg.Msg == fw::WM_KEYUP)
        return false;
    return fw::THintWindow::IsHintMsg(Msg);
}

fw::TRect TLazyTreeHintWindow::CalcHintRect(int MaxWidth, const std::u16string& Hint,
                                            void* Data) {
    if (!Data) return {};
    FHintData = *static_cast<TLTHintData*>(Data);
    TBaseLazyTree* Tree = FHintData.Tree;
    if (!Tree) return {};
    if (auto* Draw = dynamic_cast<TCustomLazyDrawTree*>(Tree); Draw && FHintData.Node) {
        fw::TRect R;
        Draw->DoGetHintSize(FHintData.Node, FHintData.Column, R);
        return R;
    }
    TLTHeader* H = Tree->Header();
    const bool HasColumn = H && H->Columns().IsValidColumn(FHintData.Column);
    FHintData.BidiMode = HasColumn ? H->Columns()[FHintData.Column].BiDiMode() : Tree->BiDiMode();
    FHintData.Alignment = HasColumn ? H->Columns()[FHintData.Column].Alignment() : Tree->Alignment();
    if (FHintData.BidiMode != bdLeftToRight) FHintData.Alignment = Mirrored(FHintData.Alignment);
    fw::TCanvas& C = *Canvas();
    if (TooltipMode()) {
        C.Font().Assign(Tree->Font());
        if (auto* S = dynamic_cast<TCustomLazyStringTree*>(Tree))
            S->DoPaintText(FHintData.Node, &C, FHintData.Column, ttNormal);
    } else {
        C.Font().Assign(Font());
    }
    FTextHeight = C.TextHeight(u"X");
    if (!FHintData.DefaultHint.empty())
        FHintData.HintText = FHintData.DefaultHint;
    else if (FHintData.Node)
        FHintData.HintText = TooltipMode()
                                 ? Tree->DoGetNodeTooltip(FHintData.Node, FHintData.Column)
                                 : Tree->DoGetNodeHint(FHintData.Node, FHintData.Column);
    else
        FHintData.HintText = Hint;
    if (FHintData.HintText.empty()) return {};
    if (TooltipMode()) return CalcTooltipRect(FHintData.HintText);
    fw::TRect R{0, 0, MaxWidth, FTextHeight};
    C.DrawText(FHintData.HintText, R, fw::DT_CALCRECT | fw::DT_WORDBREAK | fw::DT_NOPREFIX);
    R.Bottom += 6;
    R.Right += 2 * Tree->TextMargin() + 2;
    return R;
}

fw::TRect TLazyTreeHintWindow::CalcTooltipRect(const std::u16string& Text) {
    TBaseLazyTree* Tree = FHintData.Tree;
    PLazyNode Node = FHintData.Node;
    fw::TCanvas& C = *Canvas();
    fw::TRect R;
    if (Node->States & vsMultiline) {
        R = Tree->GetDisplayRect(Node, FHintData.Column, false, true);
        fw::TRect M = R;
        C.DrawText(Text, M, fw::DT_CALCRECT | fw::DT_WORDBREAK | fw::DT_NOPREFIX);
        const bool Inside = R.Left >= 0 && R.Top >= Tree->RowAreaTop() &&
                            R.Right <= Tree->ClientWidth() && R.Bottom <= Tree->ClientHeight();
        if (static_cast<int>(Tree->GetNodeHeight(Node)) + 2 >= M.Height() && Inside) return {};
        R = {0, 0, R.Width() + 1, M.Height()};
    } else {
        const fw::TRect T = Tree->GetDisplayRect(Node, FHintData.Column, true, true);
        R = {0, 0, std::max(T.Width(), C.TextWidth(Text) + 2 * Tree->TextMargin()), T.Height()};
        if (Tree->PaintOptions() & toShowHorzGridLines) --R.Bottom;
    }
    return {-1, -1, R.Right + 1, R.Bottom + 1};
}

void TLazyTreeHintWindow::ActivateHint(fw::TRect Rect, const std::u16string& Hint) {
    if (Rect.IsEmpty()) {
        fw::Application()->CancelHint();
        if (Visible()) Hide();
        return;
    }
    TBaseLazyTree* Tree = FHintData.Tree;
    const bool WasAnimating = Tree && Tree->TreeStates().Contains(tsInAnimation);
    if (WasAnimating) Tree->DoStateChange({}, {tsInAnimation});
    if (FHintData.HintText.empty()) FHintData.HintText = Hint;
    FHintText = FHintData.HintText;
    // No larger than the screen: a tall row's size, or a handler's, may be more
    // than a picture holds.
    const int W = std::min(Rect.Width(), fw::ScreenWidth());
    const int H = std::min(Rect.Height(), fw::ScreenHeight());
    Rect.Left = std::max(0, std::min(Rect.Left, fw::ScreenWidth() - W));
    Rect.Top = std::max(0, std::min(Rect.Top, fw::ScreenHeight() - H));
    if (Visible()) Hide();
    SetBounds(Rect.Left, Rect.Top, W, H);
    for (fw::TBitmap* B : {&FBackground, &FDrawBuffer, &FTarget})
        B->SetSize(W, H);
    if (Tree && Tree->HandleAllocated()) Tree->Update();
    fw::CaptureScreen({Rect.Left, Rect.Top, Rect.Left + W, Rect.Top + H}, FBackground.Surface());
    FAnimation = Tree ? Tree->DoGetAnimationType() : hatNone;
    fw::TFreeGuard HoldTree(Tree); // freed by a timer during the animation, it waits
    DrawHintImage();
    Show();
    if (FAnimation == hatNone || !Tree) {
        Invalidate();
    } else {
        const std::shared_ptr<bool> Alive = FAlive;
        auto Step = [this, Alive](TBaseLazyTree*, int S, int Size, void*) {
            return *Alive && AnimationCallback(S, Size);
        };
        if (FAnimation == hatFade)
            Tree->Animate(255, 2 * Tree->AnimationDuration(), Step, nullptr);
        else
            Tree->Animate(static_cast<std::uint32_t>(H), Tree->AnimationDuration(), Step, nullptr);
        if (*Alive) { // a timer between the steps may have freed this window
            FAnimation = hatNone;
            Invalidate();
        }
    }
    if (WasAnimating && Tree) Tree->DoStateChange({tsCancelHintAnimation});
}

bool TLazyTreeHintWindow::AnimationCallback(int Step, int StepSize) {
    TBaseLazyTree* Tree = FHintData.Tree;
    if (HintWindowDestroyed || !Visible() || !Tree ||
        Tree->TreeStates().Contains(tsCancelHintAnimation))
        return false;
    PaintStep(Step, StepSize);
    return true;
}

void TLazyTreeHintWindow::DrawHintImage() {
    fw::TCanvas& C = FDrawBuffer.Canvas();
    TBaseLazyTree* Tree = FHintData.Tree;
    const fw::TRect All{0, 0, FDrawBuffer.Width(), FDrawBuffer.Height()};
    if (auto* Draw = dynamic_cast<TCustomLazyDrawTree*>(Tree); Draw && FHintData.Node) {
        Draw->DoDrawHint(C, FHintData.Node, All, FHintData.Column);
        return;
    }
    fw::TRect R = All;
    int Top = 2;
    if (TooltipMode()) {
        C.Font().Assign(Tree->Font());
        if (auto* S = dynamic_cast<TCustomLazyStringTree*>(Tree))
            S->DoPaintText(FHintData.Node, &C, FHintData.Column, ttNormal);
        Top = (FHintData.Node->States & vsMultiline) ? 1 : (All.Height() - FTextHeight) / 2;
    } else {
        C.Font().Assign(Font());
    }
    C.Font().SetColor(fw::clInfoText);
    C.Pen().SetColor(fw::clBlack);
    C.Brush().SetStyle(fw::bsSolid);
    C.Brush().SetColor(fw::clInfoBk);
    C.Rectangle(All);
    const int Margin = Tree ? Tree->TextMargin() : 2;
    R = {R.Left + Margin + 1, Top, R.Right - Margin - 1, R.Bottom - 1};
    unsigned Format = fw::DT_NOPREFIX;
    if (FHintData.BidiMode != bdLeftToRight) {
        Format |= fw::DT_RTLREADING | fw::DT_RIGHT;
        ++R.Right;
    }
    if (FHintData.Node && (FHintData.Node->States & vsMultiline)) Format |= fw::DT_WORDBREAK;
    if (!TooltipMode()) Format |= fw::DT_WORDBREAK;
    C.SetBkMode(fw::bkTransparent);
    C.DrawText(FHintData.HintText, R, Format);
}

void TLazyTreeHintWindow::PaintStep(int Step, int StepSize) {
    fw::TCanvas Window;
    if (!fw::AttachWindowCanvas(this, Window)) return;
    const int W = FDrawBuffer.Width(), H = FDrawBuffer.Height();
    if (StepSize == 0) {
        Window.Draw(0, 0, FDrawBuffer);
    } else if (FAnimation == hatSlide) {
        const int Rows = std::clamp(Step, 0, H);
        Window.CopyRect({0, 0, W, Rows}, FDrawBuffer.Canvas(), {0, H - Rows, W, H});
        Window.CopyRect({0, Rows, W, H}, FBackground.Canvas(), {0, Rows, W, H});
    } else {
        FTarget.Canvas().Draw(0, 0, FBackground);
        const fw::TSurface& S = FDrawBuffer.Surface();
        fw::TSurface& D = FTarget.Surface();
        const int Alpha = std::clamp(Step * 256 / 255, 0, 255);
        for (int Y = 0; Y < H; ++Y)
            AlphaBlendLine(S.Row(Y), D.Row(Y), W, abkConstant, Alpha, 0);
        Window.Draw(0, 0, FTarget);
    }
    fw::ScreenAreaChanged(BoundsRect());
}

void TLazyTreeHintWindow::Paint() {
    Canvas()->Draw(0, 0, FDrawBuffer);
}

} // namespace vel
