// The string tree: text on demand, new text, painting and measuring the text,
// cached widths, multi-line nodes and the caption chunk.
#include "LazyStringTree.h"
#include "LazyTreeInternal.h"

#include "Filer.h"

#include "LazyTreeStreams.h"
#include "LazyTreeUtils.h"

#include "Canvas.h"
#include "Font.h"

#include <algorithm>
#include <cstring>

namespace vel {

namespace {

unsigned AlignmentFormat(TAlignment A) {
    return A == taRightJustify ? fw::DT_RIGHT : A == taCenter ? fw::DT_CENTER : fw::DT_LEFT;
}

} // namespace

TCustomLazyStringTree::TCustomLazyStringTree(fw::TComponent* AOwner) : TBaseLazyTree(AOwner) {
    AdoptClassObjects();
    FInternalDataOffset = AllocateInternalDataArea(sizeof(std::int32_t));
    MeasureFont();
}

std::unique_ptr<TCustomLazyTreeOptions> TCustomLazyStringTree::GetOptionsClass() {
    return std::make_unique<TStringTreeOptions>(this);
}

TLTStringOptions TCustomLazyStringTree::StringOptions() const {
    auto* O = dynamic_cast<TCustomStringTreeOptions*>(TreeOptions());
    return O ? O->StringOptions() : DefaultStringOptions;
}

std::int32_t& TCustomLazyStringTree::CachedWidth(PLazyNode Node) const {
    return *reinterpret_cast<std::int32_t*>(reinterpret_cast<std::uint8_t*>(Node) +
                                            FInternalDataOffset);
}

void TCustomLazyStringTree::ResetCachedWidths() {
    for (PLazyNode Run = GetFirstNoInit(); Run; Run = GetNextNoInit(Run))
        CachedWidth(Run) = 0;
}

void TCustomLazyStringTree::MeasureFont() {
    FMeasureCanvas.Font().Assign(Font());
    FTextHeight = FMeasureCanvas.TextHeight(std::u16string_view(u"X"));
    FEllipsisWidth = FMeasureCanvas.TextWidth(std::u16string_view(u"..."));
}

void TCustomLazyStringTree::FontChanged() {
    TBaseLazyTree::FontChanged();
    MeasureFont();
    ResetCachedWidths();
}

void TCustomLazyStringTree::MainColumnChanged() {
    TBaseLazyTree::MainColumnChanged();
    ResetCachedWidths();
}

void TCustomLazyStringTree::InvalidateNode(PLazyNode Node) {
    TBaseLazyTree::InvalidateNode(Node);
    if (!Node || Node == RootNode()) return;
    CachedWidth(Node) = 0;
    Node->States &= static_cast<TLazyNodeStates>(~vsHeightMeasured);
}

void TCustomLazyStringTree::SetDefaultText(const std::u16string& Value) {
    if (FDefaultText == Value) return;
    FDefaultText = Value;
    if (!Loading() && HandleAllocated()) Invalidate();
}

void TCustomLazyStringTree::DefineProperties(fw::TFiler& Filer) {
    TBaseLazyTree::DefineProperties(Filer);
    Filer.DefineProperty(
        "WideDefaultText",
        [this](const fw::TFilerValue& Value) {
            const auto* Text = std::get_if<std::u16string>(&Value);
            if (!Text) throw EReadError("Stream read error: WideDefaultText is a wide text");
            SetDefaultText(*Text);
        },
        [this] { return fw::TFilerValue{FDefaultText}; }, DefaultTextStored());
    Filer.DefineProperty(
        "StringOptions",
        [this](const fw::TFilerValue& Value) {
            const auto* Names = std::get_if<std::vector<std::string>>(&Value);
            if (!Names) throw EReadError("Stream read error: StringOptions is a set");
            ReadStringOptions(*Names);
        },
        nullptr, false);
}

void TCustomLazyStringTree::ReadStringOptions(const std::vector<std::string>& Identifiers) {
    auto* O = dynamic_cast<TCustomStringTreeOptions*>(TreeOptions());
    if (!O) return;
    TLTStringOptions Value = 0;
    for (const std::string& Name : Identifiers) {
        if (Name == "toSaveCaptions") Value |= toSaveCaptions;
        if (Name == "toShowStaticText") Value |= toShowStaticText;
    }
    O->SetStringOptions(Value);
}

std::u16string TCustomLazyStringTree::GetText(PLazyNode Node, int Column) {
    lt::TBusyScope Busy(*this);
    LTAssert(Node != nullptr, "Node must not be nil.");
    if (Node != RootNode() && !(Node->States & vsInitialized)) InitNode(Node);
    std::u16string Result = FDefaultText;
    DoGetText(Node, Column, ttNormal, Result);
    return Result;
}

void TCustomLazyStringTree::SetText(PLazyNode Node, int Column, const std::u16string& Text) {
    DoNewText(Node, Column, Text);
    InvalidateNode(Node);
}

void TCustomLazyStringTree::DoGetText(PLazyNode Node, int Column, TLSTTextType TextType,
                                      std::u16string& Text) {
    lt::Fire(*this, OnGetText, this, Node, Column, TextType, Text);
}

void TCustomLazyStringTree::DoNewText(PLazyNode Node, int Column, const std::u16string& Text) {
    lt::Fire(*this, OnNewText, this, Node, Column, Text);
}

void TCustomLazyStringTree::DoPaintText(PLazyNode Node, fw::TCanvas* Canvas, int Column,
                                        TLSTTextType TextType) {
    lt::Fire(*this, OnPaintText, this, Canvas, Node, Column, TextType);
}

bool TCustomLazyStringTree::DoGetCellIsEmpty(PLazyNode Node, int Column) {
    return GetText(Node, Column).empty() && TBaseLazyTree::DoGetCellIsEmpty(Node, Column);
}

int TCustomLazyStringTree::DoIncrementalSearch(PLazyNode Node, const std::u16string& Text) {
    if (OnIncrementalSearch) return TBaseLazyTree::DoIncrementalSearch(Node, Text);
    std::u16string S = GetText(Node, FocusedColumn());
    return S.compare(0, Text.size(), Text) == 0 ? 0 : 1;
}

void TCustomLazyStringTree::ReinitNode(PLazyNode Node, bool Recursive) {
    lt::TBusyScope Busy(*this); // the node stays until the reset below is done
    TBaseLazyTree::ReinitNode(Node, Recursive);
    if (Node && Node != RootNode()) {
        CachedWidth(Node) = 0;
        Node->States &= static_cast<TLazyNodeStates>(~vsHeightMeasured);
    }
}

std::u16string TCustomLazyStringTree::DoGetNodeHint(PLazyNode Node, int Column) {
    std::u16string Result = TBaseLazyTree::DoGetNodeHint(Node, Column);
    lt::Fire(*this, OnGetHint, this, Node, Column, ttNormal, Result);
    return Result;
}

std::u16string TCustomLazyStringTree::DoGetNodeTooltip(PLazyNode Node, int Column) {
    return GetText(Node, Column);
}

void TCustomLazyStringTree::RedirectFontChangeEvent(fw::TCanvas& Canvas) {
    FSavedFontChange = Canvas.Font().OnChange;
    FFontChanged = false;
    // The handler before is called through a copy: a redirect made inside
    // another (a paint handler that measures text) must not call itself.
    Canvas.Font().OnChange = [this, Before = FSavedFontChange](fw::TObject* Sender) {
        FFontChanged = true;
        if (Before) Before(Sender);
    };
}

bool TCustomLazyStringTree::PaintTextChangesFont(PLazyNode Node, fw::TCanvas& Canvas, int Column) {
    // The handler there before this redirect is put back on every exit path.
    const fw::TNotifyEvent Before = Canvas.Font().OnChange;
    RedirectFontChangeEvent(Canvas);
    fw::TScopeExit Restore([this, &Canvas, Before] {
        FSavedFontChange = Before;
        RestoreFontChangeEvent(Canvas);
    });
    DoPaintText(Node, &Canvas, Column, ttNormal);
    return FFontChanged;
}

void TCustomLazyStringTree::RestoreFontChangeEvent(fw::TCanvas& Canvas) {
    Canvas.Font().OnChange = FSavedFontChange;
    FSavedFontChange = nullptr;
}

void TCustomLazyStringTree::GetTextInfo(PLazyNode Node, int Column, fw::TFont& Font, fw::TRect& R,
                                        std::u16string& Text) {
    lt::TBusyScope Busy(*this, TBusyKind::Hold); // a query: frees none
    TBaseLazyTree::GetTextInfo(Node, Column, Font, R, Text);
    fw::TCanvas& C = FMeasureCanvas;
    C.Font().Assign(Font);
    const bool Changed = PaintTextChangesFont(Node, C, Column);
    int Height = FTextHeight;
    if (Changed) {
        Font.Assign(C.Font());
        Height = C.TextHeight(std::u16string_view(u"X"));
    }
    Text = GetText(Node, Column);
    R = GetDisplayRect(Node, Column, !(Node->States & vsMultiline), false);
    if (PaintOptions() & toShowHorzGridLines) --R.Bottom;
    const int Spare = R.Height() - Height;
    R.Top += Spare / 2;
    R.Bottom = R.Top + Height;
}

void TCustomLazyStringTree::AdjustPaintCellRect(TLTPaintInfo& PaintInfo, int& NextNonEmpty) {
    if (!(AutoOptions() & toAutoSpanColumns) || !HeaderUseColumns() ||
        PaintInfo.BidiMode != bdLeftToRight)
        return;
    TLazyTreeColumns& Columns = Header()->Columns();
    const std::uint32_t Stamp = Columns.ChangeStamp();
    int Next = Columns.GetNextVisibleColumn(PaintInfo.Column);
    while (Next >= 0 && Columns[Next].BiDiMode() == bdLeftToRight &&
           DoGetCellIsEmpty(PaintInfo.Node, Next)) {
        // The handler changed the columns: the span stops (a painter starts the row again).
        if (Columns.ChangeStamp() != Stamp) break;
        PaintInfo.CellRect.Right += Columns[Next].Width();
        PaintInfo.ContentRect.Right = PaintInfo.CellRect.Right;
        Next = Columns.GetNextVisibleColumn(Next);
    }
    NextNonEmpty = Next;
}

int TCustomLazyStringTree::ComputeNodeHeight(fw::TCanvas* Canvas, PLazyNode Node, int Column) {
    if (!Node || Node == RootNode()) return 0;
    if (!(Node->States & vsMultiline)) return Node->NodeHeight;
    fw::TCanvas& C = Canvas ? *Canvas : FMeasureCanvas;
    C.Font().Assign(Font());
    DoPaintText(Node, &C, Column, ttNormal);
    const std::u16string Text = GetText(Node, Column);
    TAlignment A = Alignment();
    TBiDiMode B = BiDiMode();
    if (HeaderUseColumns() && Header()->Columns().IsValidColumn(Column)) {
        A = Header()->Columns()[Column].Alignment();
        B = Header()->Columns()[Column].BiDiMode();
    }
    // Laid out as the painter lays it out: the whole cell after the indentation and
    // images, less the text margins.
    fw::TRect R = GetDisplayRect(Node, Column, false, true);
    TLTPaintInfo Cell;
    Cell.Node = Node;
    Cell.Column = Column;
    Cell.BidiMode = B;
    Cell.CellRect = R;
    int Next = Column;
    AdjustPaintCellRect(Cell, Next);
    R = Cell.CellRect;
    if (B == bdLeftToRight)
        R.Left += ContentLead(Node, Column);
    else
        R.Right -= ContentLead(Node, Column);
    R.Left += TextMargin();
    R.Right -= TextMargin();
    unsigned Format = fw::DT_TOP | fw::DT_NOPREFIX | fw::DT_CALCRECT | fw::DT_WORDBREAK |
                      fw::DT_EDITCONTROL | AlignmentFormat(A);
    if (B != bdLeftToRight) Format |= fw::DT_RTLREADING | fw::DT_RIGHT;
    R.Bottom = R.Top;
    C.DrawText(std::u16string_view(Text), R, Format);
    return R.Height();
}

int TCustomLazyStringTree::DoTextMeasuring(fw::TCanvas* Canvas, PLazyNode Node, int Column,
                                           const std::u16string& Text) {
    int Result = 2 * TextMargin();
    if (Text.empty() || !Canvas) return Result;
    Canvas->Font().Assign(Font());
    DoPaintText(Node, Canvas, Column, ttNormal);
    return Result + Canvas->TextWidth(std::u16string_view(Text));
}

std::u16string TCustomLazyStringTree::DoShortenString(fw::TCanvas* Canvas, PLazyNode Node,
                                                      int Column, const std::u16string& S,
                                                      int TextSpace, bool RightToLeft,
                                                      int EllipsisWidth) {
    std::u16string Result;
    bool Done = false;
    lt::Fire(*this, OnShortenString, this, Canvas, Node, Column, S, TextSpace, RightToLeft, Result,
             Done);
    if (Done || !Canvas) return Result;
    return ShortenString(*Canvas, S, TextSpace, RightToLeft, EllipsisWidth);
}

int TCustomLazyStringTree::DoGetNodeWidth(PLazyNode Node, int Column, fw::TCanvas* Canvas) {
    if (!Node || Node == RootNode()) return 0;
    if (!Canvas) Canvas = &FMeasureCanvas;
    if ((Node->States & vsMultiline) && HeaderUseColumns() &&
        Header()->Columns().IsValidColumn(Column))
        return Header()->Columns()[Column].Width();
    const bool Main = Column == HeaderMainColumn() || (!HeaderUseColumns() && Column <= NoColumn);
    fw::TCanvasStateSaver Saver(*Canvas);
    if (!Main) return DoTextMeasuring(Canvas, Node, Column, GetText(Node, Column));
    std::int32_t& Cached = CachedWidth(Node);
    if (Cached == 0) Cached = DoTextMeasuring(Canvas, Node, Column, GetText(Node, Column));
    return Cached;
}

// --- painting ------------------------------------------------------------------------------

bool TCustomLazyStringTree::CellSelectedForText(const TLTPaintInfo& PaintInfo) const {
    if (!(PaintInfo.PaintOptions & ipDrawSelection)) return false;
    if (PaintInfo.Column != PaintedFocusColumn() && !(SelectionOptions() & toFullRowSelect))
        return false;
    PLazyNode Node = PaintInfo.Node;
    const bool Selected = (Node->States & vsSelected) != 0;
    if (Node == DropTargetNode()) return LastDropMode() == dmOnNode || Selected;
    return Selected && (Focused() || (PaintOptions() & toPopupMode));
}

void TCustomLazyStringTree::PrepareTextFont(const TLTPaintInfo& PaintInfo) {
    fw::TCanvas& C = *PaintInfo.Canvas;
    C.Font().Assign(Font());
    if ((PaintOptions() & toHotTrack) && PaintInfo.Node == HotNode()) {
        C.Font().SetStyle(C.Font().Style() | fw::fsUnderline);
        C.Font().SetColor(Colors()->HotColor());
    }
    if (CellSelectedForText(PaintInfo)) C.Font().SetColor(fw::clHighlightText);
}

void TCustomLazyStringTree::DoPaintNode(TLTPaintInfo& PaintInfo) {
    fw::TCanvas* C = PaintInfo.Canvas;
    if (!C || !PaintInfo.Node) return;
    const std::u16string Text = GetText(PaintInfo.Node, PaintInfo.Column);
    if (!Text.empty()) {
        PrepareTextFont(PaintInfo);
        PaintNormalText(PaintInfo, Text);
    }
    if (Alignment() != taCenter && !(PaintInfo.Node->States & vsMultiline) &&
        (StringOptions() & toShowStaticText)) {
        std::u16string Static;
        DoGetText(PaintInfo.Node, PaintInfo.Column, ttStatic, Static);
        if (!Static.empty()) PaintStaticText(PaintInfo, Static);
    }
}

void TCustomLazyStringTree::PaintNormalText(TLTPaintInfo& PaintInfo, std::u16string Text) {
    fw::TCanvas& C = *PaintInfo.Canvas;
    PLazyNode Node = PaintInfo.Node;
    fw::TRect R = PaintInfo.ContentRect;
    R.Left += TextMargin();
    R.Right -= TextMargin();
    C.SetBkMode(fw::bkTransparent);
    const bool Disabled = (Node->States & vsDisabled) || !Enabled();
    const unsigned Reading = PaintInfo.BidiMode != bdLeftToRight ? fw::DT_RTLREADING : 0u;
    const bool Changed = PaintTextChangesFont(Node, C, PaintInfo.Column);
    if (Disabled) C.Font().SetColor(Colors()->DisabledColor());
    unsigned Format;
    if (Node->States & vsMultiline) {
        Format = AlignmentFormat(PaintInfo.Alignment) | fw::DT_NOPREFIX | fw::DT_WORDBREAK |
                 fw::DT_END_ELLIPSIS | fw::DT_EDITCONTROL | Reading;
    } else {
        int Ellipsis = FEllipsisWidth;
        if (Changed) {
            Ellipsis = 0;
            PaintInfo.NodeWidth = 2 * TextMargin() + C.TextWidth(std::u16string_view(Text));
        }
        Format = fw::DT_SINGLELINE | fw::DT_VCENTER | fw::DT_NOPREFIX | Reading;
        const bool RealColumn =
            HeaderUseColumns() && Header()->Columns().IsValidColumn(PaintInfo.Column);
        if (RealColumn && PaintInfo.NodeWidth - 2 * TextMargin() > R.Width()) {
            Text = DoShortenString(&C, Node, PaintInfo.Column, Text, R.Width(), Reading != 0,
                                   Ellipsis);
            if (PaintInfo.Alignment == taRightJustify) Format |= fw::DT_RIGHT;
        } else {
            Format |= AlignmentFormat(PaintInfo.Alignment);
        }
    }
    C.DrawText(std::u16string_view(Text), R, Format);
}

void TCustomLazyStringTree::PaintStaticText(const TLTPaintInfo& PaintInfo,
                                            const std::u16string& Text) {
    fw::TCanvas& C = *PaintInfo.Canvas;
    PLazyNode Node = PaintInfo.Node;
    C.Font().Assign(Font());
    if ((SelectionOptions() & toFullRowSelect) && CellSelectedForText(PaintInfo))
        C.Font().SetColor(fw::clHighlightText);
    C.SetBkMode(fw::bkTransparent);
    DoPaintText(Node, &C, PaintInfo.Column, ttStatic);
    if ((Node->States & vsDisabled) || !Enabled()) C.Font().SetColor(Colors()->DisabledColor());
    fw::TRect R = PaintInfo.ContentRect;
    const int Offset = TextMargin() + PaintInfo.NodeWidth;
    if (PaintInfo.Alignment == taRightJustify)
        R.Right -= Offset;
    else
        R.Left += Offset;
    unsigned Format = fw::DT_SINGLELINE | fw::DT_VCENTER | fw::DT_NOPREFIX;
    if (PaintInfo.BidiMode != bdLeftToRight) Format |= fw::DT_RTLREADING;
    if (PaintInfo.Alignment == taRightJustify) Format |= fw::DT_RIGHT;
    C.DrawText(std::u16string_view(Text), R, Format);
}

// --- the caption chunk ------------------------------------------------------------------------

void TCustomLazyStringTree::WriteChunks(TStream& Stream, PLazyNode Node) {
    TBaseLazyTree::WriteChunks(Stream, Node);
    if (!(StringOptions() & toSaveCaptions) || Node == RootNode() ||
        !(Node->States & vsInitialized))
        return;
    std::u16string S = GetText(Node, HeaderMainColumn());
    if (S.empty()) return;
    std::uint32_t Type = CaptionChunk;
    std::int32_t Size = static_cast<std::int32_t>(S.size() * 2);
    Stream.Write(&Type, 4);
    Stream.Write(&Size, 4);
    std::string Bytes(S.size() * 2, '\0');
    for (std::size_t I = 0; I < S.size(); ++I) {
        Bytes[2 * I] = static_cast<char>(S[I] & 0xFF);
        Bytes[2 * I + 1] = static_cast<char>(S[I] >> 8);
    }
    Stream.Write(Bytes.data(), Bytes.size());
}

bool TCustomLazyStringTree::ReadChunk(TStream& Stream, std::uint32_t Version, PLazyNode Node,
                                      std::uint32_t ChunkType, int ChunkSize) {
    if (ChunkType != CaptionChunk)
        return TBaseLazyTree::ReadChunk(Stream, Version, Node, ChunkType, ChunkSize);
    // The size was checked against the node chunk; read it in pieces anyway.
    std::u16string Text;
    std::int64_t Left = ChunkSize / 2;
    std::uint8_t Buf[512];
    while (Left > 0) {
        std::size_t N = static_cast<std::size_t>(std::min<std::int64_t>(Left, 256));
        if (Stream.Read(Buf, N * 2) != N * 2) ShowError(SStreamTooSmall, hcTFStreamTooSmall);
        for (std::size_t I = 0; I < N; ++I)
            Text.push_back(static_cast<char16_t>(Buf[2 * I] | (Buf[2 * I + 1] << 8)));
        Left -= static_cast<std::int64_t>(N);
    }
    if (ChunkSize % 2) Stream.SetPosition(Stream.Position() + 1);
    if (Node != RootNode()) SetText(Node, HeaderMainColumn(), Text);
    return true;
}

} // namespace vel
