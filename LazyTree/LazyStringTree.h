// The string tree: cells show text that the application hands out on demand.
#pragma once

#include "LazyTrees.h"

#include <string>

namespace vel {

enum class TLSTTextType : std::uint8_t { ttNormal, ttStatic };
using enum TLSTTextType;

class TCustomLazyStringTree;
using TLSTGetTextEvent = std::function<void(TBaseLazyTree* Sender, PLazyNode Node, int Column,
                                            TLSTTextType TextType, std::u16string& CellText)>;
using TLSTNewTextEvent = std::function<void(TBaseLazyTree* Sender, PLazyNode Node, int Column,
                                            const std::u16string& NewText)>;
using TLTPaintText = std::function<void(TBaseLazyTree* Sender, fw::TCanvas* TargetCanvas,
                                        PLazyNode Node, int Column, TLSTTextType TextType)>;
using TLSTShortenStringEvent = std::function<void(
    TBaseLazyTree* Sender, fw::TCanvas* TargetCanvas, PLazyNode Node, int Column,
    const std::u16string& S, int TextSpace, bool RightToLeft, std::u16string& Result, bool& Done)>;

class TCustomLazyStringTree : public TBaseLazyTree {
public:
    explicit TCustomLazyStringTree(fw::TComponent* AOwner);

    TLTPaintText OnPaintText;
    TLSTGetTextEvent OnGetText;
    TLSTGetTextEvent OnGetHint;
    TLSTNewTextEvent OnNewText;
    TLSTShortenStringEvent OnShortenString;

    const std::u16string& DefaultText() const { return FDefaultText; }
    void SetDefaultText(const std::u16string& Value);
    std::u16string GetText(PLazyNode Node, int Column);
    void SetText(PLazyNode Node, int Column, const std::u16string& Text);
    using TBaseLazyTree::SetText; // the control's caption
    std::uint32_t InternalDataOffset() const { return FInternalDataOffset; }
    TLTStringOptions StringOptions() const;
    // The cached main-column width of a node (0 = not measured).
    std::int32_t& CachedWidth(PLazyNode Node) const;
    void ResetCachedWidths();

    bool DoGetCellIsEmpty(PLazyNode Node, int Column) override;
    int DoIncrementalSearch(PLazyNode Node, const std::u16string& Text) override;
    void ReinitNode(PLazyNode Node, bool Recursive) override;
    std::u16string GetNodeHint(PLazyNode Node, int Column);
    std::u16string GetNodeTooltip(PLazyNode Node, int Column);

    virtual void DoGetText(PLazyNode Node, int Column, TLSTTextType TextType, std::u16string& Text);
    virtual void DoNewText(PLazyNode Node, int Column, const std::u16string& Text);
    virtual void DoPaintText(PLazyNode Node, fw::TCanvas* Canvas, int Column,
                             TLSTTextType TextType);
    virtual int DoTextMeasuring(fw::TCanvas* Canvas, PLazyNode Node, int Column,
                                const std::u16string& Text);
    virtual std::u16string DoShortenString(fw::TCanvas* Canvas, PLazyNode Node, int Column,
                                           const std::u16string& S, int TextSpace, bool RightToLeft,
                                           int EllipsisWidth = 0);
    int DoGetNodeWidth(PLazyNode Node, int Column, fw::TCanvas* Canvas = nullptr) override;
    void DoPaintNode(TLTPaintInfo& PaintInfo) override;

protected:
    void WriteChunks(TStream& Stream, PLazyNode Node) override;
    bool ReadChunk(TStream& Stream, std::uint32_t Version, PLazyNode Node, std::uint32_t ChunkType,
                   int ChunkSize) override;

private:
    std::u16string FDefaultText = u"Node";
    std::uint32_t FInternalDataOffset = 0;
};

class TLazyStringTree : public TCustomLazyStringTree {
public:
    using TCustomLazyStringTree::TCustomLazyStringTree;
};

} // namespace vel
