// The string tree: cells show text that the application hands out on demand.
#pragma once

#include "LazyTrees.h"

#include "Canvas.h"
#include "Clipbrd.h"

#include <string>

namespace vel {

enum class TLSTTextType : std::uint8_t { ttNormal, ttStatic };
using enum TLSTTextType;

// Which nodes a rendering exports, in tree order.
enum class TLSTTextSourceKind : std::uint8_t {
    tskAll,
    tskInitialized,
    tskSelected,
    tskCutCopySet,
    tskVisible
};
using enum TLSTTextSourceKind;

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
    // The stored "WideDefaultText": written only when it is not "Node".
    bool DefaultTextStored() const { return FDefaultText != u"Node"; }
    // The old stored "StringOptions" (read, never written): the options are
    // cleared, then toSaveCaptions and toShowStaticText are taken from the names.
    void ReadStringOptions(const std::vector<std::string>& Identifiers);
    // Adds "WideDefaultText" and the old "StringOptions" to the stored extras.
    void DefineProperties(fw::TFiler& Filer) override;
    std::u16string GetText(PLazyNode Node, int Column);
    void SetText(PLazyNode Node, int Column, const std::u16string& Text);
    using TBaseLazyTree::SetText; // the control's caption
    std::uint32_t InternalDataOffset() const { return FInternalDataOffset; }
    TLTStringOptions StringOptions() const;
    // The cached main-column width of a node (0 = not measured).
    std::int32_t& CachedWidth(PLazyNode Node) const;
    void ResetCachedWidths();
    // The tree font's height and the width of "..." in it.
    int TextHeight() const { return FTextHeight; }
    int EllipsisWidth() const { return FEllipsisWidth; }

    bool DoGetCellIsEmpty(PLazyNode Node, int Column) override;
    int DoIncrementalSearch(PLazyNode Node, const std::u16string& Text) override;
    void ReinitNode(PLazyNode Node, bool Recursive) override;
    void InvalidateNode(PLazyNode Node) override;
    void MainColumnChanged() override;
    std::u16string DoGetNodeHint(PLazyNode Node, int Column) override;
    std::u16string DoGetNodeTooltip(PLazyNode Node, int Column) override;
    void GetTextInfo(PLazyNode Node, int Column, fw::TFont& Font, fw::TRect& R,
                     std::u16string& Text) override;
    void AdjustPaintCellRect(TLTPaintInfo& PaintInfo, int& NextNonEmpty) override;

    virtual void DoGetText(PLazyNode Node, int Column, TLSTTextType TextType, std::u16string& Text);
    virtual void DoNewText(PLazyNode Node, int Column, const std::u16string& Text);
    virtual void DoPaintText(PLazyNode Node, fw::TCanvas* Canvas, int Column,
                             TLSTTextType TextType);
    virtual int DoTextMeasuring(fw::TCanvas* Canvas, PLazyNode Node, int Column,
                                const std::u16string& Text);
    virtual std::u16string DoShortenString(fw::TCanvas* Canvas, PLazyNode Node, int Column,
                                           const std::u16string& S, int TextSpace, bool RightToLeft,
                                           int EllipsisWidth = 0);
    // The height a multi-line node's text needs in the column; others keep theirs.
    virtual int ComputeNodeHeight(fw::TCanvas* Canvas, PLazyNode Node, int Column);
    int DoGetNodeWidth(PLazyNode Node, int Column, fw::TCanvas* Canvas = nullptr) override;
    void DoPaintNode(TLTPaintInfo& PaintInfo) override;
    std::unique_ptr<TCustomLazyTreeOptions> GetOptionsClass() override;
    // The native data first, then the text renderings as memory blocks.
    HRESULT RenderOLEData(const TFormatEtc& FormatEtcIn, TStgMedium& Medium,
                          bool ForClipboard) override;
    // A memory block holding the rendering (zero-terminated), or null for
    // another format than text, Unicode text, CSV, RTF and HTML.
    fw::THGlobal RenderClipboardText(std::uint16_t cfFormat, TLSTTextSourceKind Source);

    // While text is measured or painted, the canvas font tells the tree of changes.
    void RedirectFontChangeEvent(fw::TCanvas& Canvas);
    void RestoreFontChangeEvent(fw::TCanvas& Canvas);
    bool FontChangedByEvent() const { return FFontChanged; }

protected:
    void WriteChunks(TStream& Stream, PLazyNode Node) override;
    bool ReadChunk(TStream& Stream, std::uint32_t Version, PLazyNode Node, std::uint32_t ChunkType,
                   int ChunkSize) override;
    void FontChanged() override;

private:
    void PrepareTextFont(const TLTPaintInfo& PaintInfo);
    // OnPaintText on Canvas, the font's change redirected around it: whether it changed.
    bool PaintTextChangesFont(PLazyNode Node, fw::TCanvas& Canvas, int Column);
    void PaintNormalText(TLTPaintInfo& PaintInfo, std::u16string Text);
    void PaintStaticText(const TLTPaintInfo& PaintInfo, const std::u16string& Text);
    bool CellSelectedForText(const TLTPaintInfo& PaintInfo) const;
    void MeasureFont();

    std::u16string FDefaultText = u"Node";
    std::uint32_t FInternalDataOffset = 0;
    int FTextHeight = 0;
    int FEllipsisWidth = 0;
    bool FFontChanged = false;
    fw::TNotifyEvent FSavedFontChange;
    // Measures text without a surface (the paint canvas stays untouched).
    fw::TCanvas FMeasureCanvas;
};

class TLazyStringTree : public TCustomLazyStringTree {
public:
    using TCustomLazyStringTree::TCustomLazyStringTree;
};

} // namespace vel
