#pragma once
// The dope sheet: the current skeleton's joints, then its bones, down the
// side; one column for each frame, headed by its number; a mark in each cell
// whose row holds keys at that frame (location and Stiff keys on a joint,
// Twist keys on a bone); and a record column showing the skeleton's
// recording flag.
//
// The marks are read from the scene's keys when the grid is rebuilt; the
// names and the recording flag whenever the grid paints, so a repaint shows
// a new flag. The frames run from 0, or the first key before it, to the last
// key; when that span is too wide for a column a frame, only the frames that
// hold keys get a column.
#include <cstdint>
#include <utility>
#include <vector>

#include "Forms.h"
#include "TSGrid.h"
#include "tsxapi.h"

namespace vel {

// The kinds of key a row holds at a frame.
enum TDopeKey : std::uint8_t { dkLocation = 1, dkStiff = 2, dkTwist = 4 };

class TDopeSheetForm : public fw::TForm {
public:
    explicit TDopeSheetForm(fw::TComponent* AOwner);
    ~TDopeSheetForm() override;

    TtsGrid* DopeGrid = nullptr;

    // The data columns: the row's name, the record flag, then the frames.
    static constexpr int NameCol = 1;
    static constexpr int RecordCol = 2;
    static constexpr int FirstFrameCol = 3;
    // The widest span of frames shown a column a frame.
    static constexpr std::int64_t MaxFrameSpan = 2000;

    // Rebuilds the rows from the current skeleton (none without one) and
    // fills them from the scene's keys.
    void RebuildGrid();
    // The current frame's heading stands out.
    void FrameChanged();

    // The frame a data column shows; false for the name and record columns.
    bool FrameOfCol(int DataCol, std::int32_t& Frame) const;
    // The data column showing a frame, 0 when none does.
    int ColOfFrame(std::int32_t Frame) const;
    // The kinds of key (TDopeKey bits) a row holds at a column's frame.
    std::uint8_t KeysAt(int DataCol, int DataRow) const;
    // The joint or bone object a row stands for; none when it has gone.
    CtsxSobj ObjectOfRow(int DataRow) const;
    bool BoneRow(int DataRow) const;

private:
    struct TDopeRow {
        CtsxSobj Object = nullptr;
        bool Bone = false;
        // The frames holding keys, rising, with the kinds held there.
        std::vector<std::pair<std::int32_t, std::uint8_t>> Keys;
    };

    void MakeKeyImages();
    void FillRows();
    void ChooseFrames();
    void ShapeColumns();
    void CellLoaded(int DataCol, int DataRow, TtsVariant& Value) const;
    const TDopeRow* RowAt(int DataRow) const;

    TtsImageList* FKeyImages = nullptr;
    // The bag of the skeleton the rows were made for.
    CtsxSobj FSkeletonBag = nullptr;
    std::vector<TDopeRow> FRows;
    // The frame of each frame column, rising.
    std::vector<std::int32_t> FFrames;
    // The column whose heading shows the current frame, 0 for none.
    int FMarkedCol = 0;
};

// Made by the tool window, then kept for the module's life.
extern TDopeSheetForm* DopeSheetForm;

} // namespace vel
