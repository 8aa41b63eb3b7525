// The string tree's in-place editor: a one-line edit over the cell.
#pragma once

#include "LazyStringTree.h"
#include "StdCtrls.h"

#include <memory>

namespace vel {

class TStringEditLink;

// The edit window over a cell.
class TLTEdit : public fw::TEdit {
public:
    TLTEdit(TStringEditLink* Link);
    TStringEditLink* Link() const { return FLink; }
    void Detach() { FLink = nullptr; }

protected:
    void KeyDown(std::uint16_t& Key, fw::TShiftState Shift) override;
    void KeyPress(char& Key) override;
    void DoExit() override;

private:
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
    bool Stopping() const { return FStopping; }

private:
    std::unique_ptr<TLTEdit> FEdit;
    TCustomLazyStringTree* FTree = nullptr;
    PLazyNode FNode = nullptr;
    int FColumn = NoColumn;
    TAlignment FAlignment = taLeftJustify;
    fw::TRect FTextBounds;
    bool FStopping = false;
};

// UTF-16 text as the 8-bit edit shows it; false when a character does not fit in 8 bits.
bool WideToEditText(const std::u16string& Text, std::string& Out);
std::u16string EditTextToWide(const std::string& Text);

} // namespace vel
