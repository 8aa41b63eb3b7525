// The string tree's in-place editor: a UTF-16 edit over the cell, one line or
// (for multi-line nodes) wrapped lines.
#pragma once

#include "LazyStringTree.h"
#include "WideEdit.h"

#include <memory>

namespace vel {

class TStringEditLink;

// Sent to the edit after its text changed: it grows or shrinks to the text.
constexpr fw::UINT CM_AUTOADJUST = fw::CM_BASE + 2005;

// The edit window over a cell.
class TLTEdit : public fw::TWideEdit {
public:
    explicit TLTEdit(TStringEditLink* Link);
    TStringEditLink* Link() const { return FLink; }
    void Detach() { FLink = nullptr; }

protected:
    void CreateParams(fw::TCreateParams& Params) override;
    void WndProc(fw::TMessage& Message) override;
    bool EditKey(std::uint16_t Key, fw::TShiftState Shift) override;
    void EditChar(char16_t Ch) override;
    void Change() override;
    void DoExit() override;

private:
    bool NodeMultiline() const;
    void AutoAdjust();
    void WindowDestroyed();

    TStringEditLink* FLink;
};

class TStringEditLink : public ILTEditLink {
public:
    TStringEditLink();
    ~TStringEditLink() override;

    bool BeginEdit() override;
    bool CancelEdit() override;
    bool EndEdit() override;
    bool PrepareEdit(TBaseLazyTree* Tree, void* Node, int Column) override;
    fw::TRect GetBounds() const override;
    void ProcessMessage(fw::TMessage& Message) override;
    void SetBounds(fw::TRect R) override;

    TLTEdit* Edit() const { return FEdit.get(); }
    TCustomLazyStringTree* Tree() const { return FTree; }
    PLazyNode Node() const { return FNode; }
    int Column() const { return FColumn; }
    TAlignment Alignment() const { return FAlignment; }
    const fw::TRect& TextBounds() const { return FTextBounds; }
    bool Stopping() const { return FStopping; }

private:
    void Detach();

    std::unique_ptr<TLTEdit> FEdit;
    TCustomLazyStringTree* FTree = nullptr;
    PLazyNode FNode = nullptr;
    int FColumn = NoColumn;
    TAlignment FAlignment = taLeftJustify;
    fw::TRect FTextBounds;
    bool FStopping = false;
};

} // namespace vel
