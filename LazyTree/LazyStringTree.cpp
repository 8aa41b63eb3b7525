// The string tree: text on demand, new text, cached widths and the caption chunk.
#include "LazyStringTree.h"

#include "LazyTreeStreams.h"
#include "LazyTreeUtils.h"

#include "Canvas.h"
#include "Font.h"

#include <cstring>

namespace vel {

TCustomLazyStringTree::TCustomLazyStringTree(fw::TComponent* AOwner) : TBaseLazyTree(AOwner) {
    FInternalDataOffset = AllocateInternalDataArea(sizeof(std::int32_t));
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

void TCustomLazyStringTree::SetDefaultText(const std::u16string& Value) {
    if (FDefaultText == Value) return;
    FDefaultText = Value;
    if (!Loading() && HandleAllocated()) Invalidate();
}

std::u16string TCustomLazyStringTree::GetText(PLazyNode Node, int Column) {
    LTAssert(Node != nullptr, "Node must not be nil.");
    if (Node != RootNode() && !(Node->States & vsInitialized)) InitNode(Node);
    std::u16string Result = FDefaultText;
    DoGetText(Node, Column, ttNormal, Result);
    return Result;
}

void TCustomLazyStringTree::SetText(PLazyNode Node, int Column, const std::u16string& Text) {
    DoNewText(Node, Column, Text);
    if (Node && Node != RootNode()) CachedWidth(Node) = 0;
    InvalidateNode(Node);
}

void TCustomLazyStringTree::DoGetText(PLazyNode Node, int Column, TLSTTextType TextType,
                                      std::u16string& Text) {
    if (OnGetText) OnGetText(this, Node, Column, TextType, Text);
}

void TCustomLazyStringTree::DoNewText(PLazyNode Node, int Column, const std::u16string& Text) {
    if (OnNewText) OnNewText(this, Node, Column, Text);
}

void TCustomLazyStringTree::DoPaintText(PLazyNode Node, fw::TCanvas* Canvas, int Column,
                                        TLSTTextType TextType) {
    if (OnPaintText) OnPaintText(this, Canvas, Node, Column, TextType);
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
    TBaseLazyTree::ReinitNode(Node, Recursive);
    if (Node && Node != RootNode()) {
        CachedWidth(Node) = 0;
        Node->States &= ~vsHeightMeasured;
    }
}

std::u16string TCustomLazyStringTree::GetNodeHint(PLazyNode Node, int Column) {
    std::u16string Result;
    for (char C : Hint())
        Result.push_back(static_cast<unsigned char>(C));
    if (OnGetHint) OnGetHint(this, Node, Column, ttNormal, Result);
    return Result;
}

std::u16string TCustomLazyStringTree::GetNodeTooltip(PLazyNode Node, int Column) {
    return GetText(Node, Column);
}

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

namespace vel {

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
    if (OnShortenString)
        OnShortenString(this, Canvas, Node, Column, S, TextSpace, RightToLeft, Result, Done);
    if (Done || !Canvas) return Result;
    return ShortenString(*Canvas, S, TextSpace, RightToLeft, EllipsisWidth);
}

int TCustomLazyStringTree::DoGetNodeWidth(PLazyNode Node, int Column, fw::TCanvas* Canvas) {
    if (!Node || Node == RootNode()) return 0;
    if (!Canvas) Canvas = this->Canvas();
    if ((Node->States & vsMultiline) && HeaderUseColumns() &&
        Header()->Columns().IsValidColumn(Column))
        return Header()->Columns()[Column].Width();
    bool Main = Column == HeaderMainColumn() || (!HeaderUseColumns() && Column <= NoColumn);
    if (!Main) return DoTextMeasuring(Canvas, Node, Column, GetText(Node, Column));
    std::int32_t& Cached = CachedWidth(Node);
    if (Cached == 0) Cached = DoTextMeasuring(Canvas, Node, Column, GetText(Node, Column));
    return Cached;
}

void TCustomLazyStringTree::DoPaintNode(TLTPaintInfo& PaintInfo) {
    fw::TCanvas* C = PaintInfo.Canvas;
    if (!C || !PaintInfo.Node) return;
    std::u16string Text = GetText(PaintInfo.Node, PaintInfo.Column);
    fw::TRect R = PaintInfo.ContentRect;
    R.Left += TextMargin();
    R.Right -= TextMargin();
    auto Prepare = [&](TLSTTextType Type) {
        C->Font().Assign(Font());
        DoPaintText(PaintInfo.Node, C, PaintInfo.Column, Type);
        if ((PaintInfo.Node->States & vsDisabled) || !Enabled())
            C->Font().SetColor(Colors()->DisabledColor());
        C->SetBkMode(fw::TBkMode::bkTransparent);
    };
    unsigned Format = fw::DT_SINGLELINE | fw::DT_VCENTER | fw::DT_NOPREFIX;
    if (!Text.empty()) {
        Prepare(ttNormal);
        bool RealColumn = HeaderUseColumns() && Header()->Columns().IsValidColumn(PaintInfo.Column);
        int TextWidth = C->TextWidth(std::u16string_view(Text));
        if (RealColumn && TextWidth > R.Right - R.Left)
            Text = DoShortenString(C, PaintInfo.Node, PaintInfo.Column, Text, R.Right - R.Left,
                                   PaintInfo.BidiMode != TBiDiMode::bdLeftToRight);
        if (PaintInfo.Alignment == TAlignment::taRightJustify)
            Format |= fw::DT_RIGHT;
        else if (PaintInfo.Alignment == TAlignment::taCenter)
            Format |= fw::DT_CENTER;
        fw::TRect T = R;
        C->DrawText(std::u16string_view(Text), T, Format);
    }
    if ((StringOptions() & toShowStaticText) && !(PaintInfo.Node->States & vsMultiline)) {
        std::u16string Static;
        DoGetText(PaintInfo.Node, PaintInfo.Column, ttStatic, Static);
        if (!Static.empty()) {
            Prepare(ttStatic);
            fw::TRect T = R;
            T.Left += PaintInfo.NodeWidth;
            C->DrawText(std::u16string_view(Static), T,
                        fw::DT_SINGLELINE | fw::DT_VCENTER | fw::DT_NOPREFIX);
        }
    }
}

} // namespace vel
