#pragma once
// The public face of the focused cell: its data position, its value as last
// loaded, the in-cell editor's text selection and the clipboard commands.
#include "TSGridData.h"

#include <functional>

namespace vel {

class TtsCurrentCell {
public:
    explicit TtsCurrentCell(TtsGridModel* grid) : FGrid(grid) {}
    ~TtsCurrentCell() { ClearValue(); }
    TtsCurrentCell(const TtsCurrentCell&) = delete;
    TtsCurrentCell& operator=(const TtsCurrentCell&) = delete;

    int DataCol() const;
    int DataRow() const;
    int LoadedCol() const { return FLoadedCol; }
    int LoadedRow() const { return FLoadedRow; }

    TtsVariant Value();
    bool SetValue(const TtsVariant& value, bool select, bool repaint);
    // Takes the value (and, with ownsObject, the object in it).
    void Load(const TtsVariant& value, bool ownsObject);
    void Reload();
    void ClearValue();

    int SelStart();
    int SelLength();
    void SetSelStart(int v);
    void SetSelLength(int v);

    bool CopyToClipboard();
    bool CutToClipboard(bool flag);
    bool DeleteSelection();
    bool PasteFromClipboard(bool flag);
    bool Paste();
    bool PasteFits(const std::string& text);
    bool IsEmpty();
    bool IsWholeTextSelected();
    TtsControlType ControlType() const;
    int TextExtent1() const;
    int TextExtent2() const;
    void Refresh();
    bool MoveToCol(int displayCol);

    bool StretchPicture() const;
    bool ShrinkPicture() const;
    bool CenterPicture() const;
    bool KeepAspectRatio() const;
    fw::TColor PictureColor = clNoneTs;

private:
    bool Valid() const;
    TtsGridLink* Editor() const;
    // A text-editing command on the editor, followed by a repaint of the cell.
    bool RunEditorCommand(const std::function<void(TtsGridLink&, bool)>& command, bool flag);
    bool Fallback(int sub, bool flag) const;

    TtsGridModel* FGrid;
    TtsVariant FValue;
    bool FOwnsObject = false;
    int FLoadedCol = -1;
    int FLoadedRow = -1;
    bool FStretch = true;
    bool FShrink = true;
    bool FCenter = true;
    bool FKeepAspect = false;
};

} // namespace vel
