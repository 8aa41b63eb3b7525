// The clipboard commands: copy and cut put a data object of the marked nodes
// on the framework's clipboard, paste inserts what a tree put there (moving
// the nodes when a tree of this process has a cut pending), and the string
// tree renders its texts as memory blocks.
#include "LazyTreeClipboard.h"
#include "LazyTreeDragDrop.h"
#include "LazyTreeInternal.h"

#include "Clipbrd.h"

#include <cstring>

namespace vel {

namespace {

// The clipboard's view of a tree's data object: its formats as memory blocks.
class TTreeClipboardSource : public fw::TClipboardDataSource {
public:
    explicit TTreeClipboardSource(std::shared_ptr<TLTDataObject> Data) : FData(std::move(Data)) {}

    std::vector<fw::UINT> Formats() override {
        std::vector<fw::UINT> Result;
        std::unique_ptr<TEnumFormatEtc> Enum;
        if (!FData || FData->EnumFormatEtc(DATADIR_GET, Enum) != S_OK || !Enum) return Result;
        TFormatEtc F;
        while (Enum->Next(1, &F, nullptr) == S_OK)
            Result.push_back(F.cfFormat);
        return Result;
    }

    fw::THGlobal Render(fw::UINT Format) override {
        if (!FData) return nullptr;
        TFormatEtc F;
        F.cfFormat = static_cast<std::uint16_t>(Format);
        F.tymed = TYMED_HGLOBAL;
        TStgMedium M;
        if (FData->GetData(F, M) != S_OK || M.tymed != TYMED_HGLOBAL) return nullptr;
        return M.hGlobal;
    }

    // The clipboard lets go: the data object goes, and with it a pending cut or copy.
    void Released() override { FData.reset(); }

    const std::shared_ptr<TLTDataObject>& Data() const { return FData; }

private:
    std::shared_ptr<TLTDataObject> FData;
};

// What the clipboard holds as a data object: the tree's own, or one made of the blocks.
std::shared_ptr<TLTDataObject> ClipboardDataObject() {
    if (auto* Own = dynamic_cast<TTreeClipboardSource*>(fw::ClipboardSource().get()))
        return Own->Data();
    auto Data = std::make_shared<TLTDataObject>(nullptr, true);
    if (!fw::OpenClipboard(nullptr)) return nullptr;
    for (fw::UINT Format : fw::ClipboardFormats()) {
        TFormatEtc F;
        F.cfFormat = static_cast<std::uint16_t>(Format);
        TStgMedium M;
        M.tymed = TYMED_HGLOBAL;
        M.hGlobal = fw::GetClipboardData(Format);
        if (M.hGlobal) Data->SetData(F, M, true);
    }
    fw::CloseClipboard();
    return Data;
}

} // namespace

void ReleaseTreeClipboardData() {
    if (!dynamic_cast<TTreeClipboardSource*>(fw::ClipboardSource().get())) return;
    if (!fw::OpenClipboard(nullptr)) return;
    fw::EmptyClipboard();
    fw::CloseClipboard();
}

void TBaseLazyTree::ReleaseClipboardData() {
    auto* Own = dynamic_cast<TTreeClipboardSource*>(fw::ClipboardSource().get());
    if (!Own || !Own->Data() || Own->Data()->Owner() != this) return;
    if (!fw::OpenClipboard(nullptr)) return;
    fw::EmptyClipboard();
    fw::CloseClipboard();
}

void TBaseLazyTree::CopyToClipboard() {
    lt::TBusyScope Busy(*this);
    if (FSelectionCount == 0) return;
    auto Data = std::make_shared<TLTDataObject>(this, true);
    if (!fw::SetClipboardSource(std::make_shared<TTreeClipboardSource>(std::move(Data)))) return;
    MarkCutCopyNodes();
    DoStateChange({tsCopyPending});
    Invalidate();
}

void TBaseLazyTree::CutToClipboard() {
    lt::TBusyScope Busy(*this);
    if (FSelectionCount == 0 || ReadOnly()) return;
    auto Data = std::make_shared<TLTDataObject>(this, true);
    if (!fw::SetClipboardSource(std::make_shared<TTreeClipboardSource>(std::move(Data)))) return;
    MarkCutCopyNodes();
    DoStateChange({tsCutPending}, {tsCopyPending});
    Invalidate();
}

bool TBaseLazyTree::PasteFromClipboard() {
    lt::TBusyScope Busy(*this);
    if (ReadOnly()) return false;
    if (!fw::OpenClipboard(HandleAllocated() ? Handle() : nullptr))
        ShowError(SClipboardFailed, hcTFClipboardFailed);
    fw::CloseClipboard();
    std::shared_ptr<TLTDataObject> Data = ClipboardDataObject();
    if (!Data) ShowError(SClipboardFailed, hcTFClipboardFailed);
    TBaseLazyTree* Source = GetTreeFromDataObject(Data.get());
    const bool Optimized = Source && Source->TreeStates().Contains(tsCutPending);
    const bool Result = ProcessOLEData(Source, Data.get(), FFocusedNode, FDefaultPasteMode, Optimized);
    // A paste that inserted nothing leaves the source's cut or copy pending.
    if (Result && Source && (Source != this || Source->InState(tsCutPending)))
        Source->FinishCutOrCopy();
    return Result;
}

void TBaseLazyTree::FinishCutOrCopy() {
    // A cut's nodes went with their moves (a cut pastes by moving); the ones
    // still marked were refused and stay where they are.
    if (InState(tsCutPending) || InState(tsCopyPending)) CancelCutOrCopy();
}

void TBaseLazyTree::RepaintNode(PLazyNode Node) {
    InvalidateNode(Node);
    if (HandleAllocated()) Update();
}

void TBaseLazyTree::InvalidateColumn(int Column) {
    if (FUpdateCount > 0 || !HandleAllocated() || !HeaderUseColumns() ||
        !Header()->Columns().IsValidColumn(Column))
        return;
    int Left = 0, Right = 0;
    Header()->Columns().GetColumnBounds(Column, Left, Right); // scrolled already
    InvalidateRect({Left, RowAreaTop(), Right, ClientHeight()});
}

// --- the string tree's renderings ---------------------------------------------------------

HRESULT TCustomLazyStringTree::RenderOLEData(const TFormatEtc& FormatEtcIn, TStgMedium& Medium,
                                             bool ForClipboard) {
    const HRESULT Base = TBaseLazyTree::RenderOLEData(FormatEtcIn, Medium, ForClipboard);
    if (Base == S_OK) return Base;
    fw::THGlobal Block =
        RenderClipboardText(FormatEtcIn.cfFormat, ForClipboard ? tskCutCopySet : tskSelected);
    if (!Block) return Base;
    Medium = TStgMedium{};
    Medium.tymed = TYMED_HGLOBAL;
    Medium.hGlobal = std::move(Block);
    return S_OK;
}

fw::THGlobal TCustomLazyStringTree::RenderClipboardText(std::uint16_t cfFormat,
                                                        TLSTTextSourceKind Source) {
    auto Bytes = [](const std::string& S) {
        fw::THGlobal B = fw::GlobalAlloc(S.size() + 1);
        std::memcpy(B->data(), S.data(), S.size());
        return B;
    };
    ClipboardFormatRegistry();
    if (cfFormat == fw::CF_TEXT) return Bytes(RenderText(*this, Source, '\t'));
    if (cfFormat == fw::CF_UNICODETEXT) {
        const std::u16string S = RenderUnicodeText(*this, Source, u'\t');
        fw::THGlobal B = fw::GlobalAlloc(2 * (S.size() + 1));
        for (std::size_t I = 0; I < S.size(); ++I) {
            (*B)[2 * I] = static_cast<std::uint8_t>(S[I] & 0xFF);
            (*B)[2 * I + 1] = static_cast<std::uint8_t>(S[I] >> 8);
        }
        return B;
    }
    // The list separator of the system's locale here is the comma.
    if (cfFormat == ClipboardFormatNumber("CSV")) return Bytes(RenderText(*this, Source, ','));
    if (cfFormat == ClipboardFormatNumber("Rich Text Format") ||
        cfFormat == ClipboardFormatNumber("Rich Text Format Without Objects"))
        return Bytes(RenderRTF(*this, Source));
    if (cfFormat == ClipboardFormatNumber("HTML Format"))
        return Bytes(WrapHTMLFragment(RenderHTML(*this, Source)));
    return nullptr;
}

} // namespace vel
