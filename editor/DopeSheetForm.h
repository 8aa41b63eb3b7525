#pragma once
// The dope sheet: the current skeleton's joints, then its bones, down the
// side; one column for each frame, headed by its number; a mark in each cell
// whose row holds keys at that frame (location and Stiff keys on a joint,
// Twist keys on a bone); and a record column showing the skeleton's
// recording flag.
//
// The names, the recording flag and the marks are read whenever the grid
// paints, so a repaint shows what the scene holds. The frames run from 0, or
// the first key before it, to the last key or the current frame, whichever
// is later; when that span is too wide for a column a frame, only the frames
// that hold keys and the current frame get a column. The name and record
// columns stay in place while the frames scroll.
//
// The rows follow the shown skeleton's shape (RigShape.h) whenever the
// message queue has emptied. The sheet keeps the key times it has seen. A
// rebuild of the same rows only looks for keys before the first and after
// the last it knew of, whether the first, the last and the one at the
// host's time are still there: a record costs the same at any frame. After
// a rig edit every track is looked at so; otherwise each idle pass looks at
// a few tracks in turn, for keys the host made or erased by itself. Each
// idle pass also checks a few of the keys seen between the ends, in turn, so
// that the columns of keys erased there go too.
#include <cstddef>
#include <cstdint>
#include <map>
#include <vector>

#include "Forms.h"
#include "HostRefs.h"
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
    // The key tracks an idle pass without a rig edit looks at (whole rows:
    // one more at most), taking turns: every track within tracks / this passes.
    static constexpr std::size_t TracksPerIdle = 32;
    // The keys seen that an idle pass checks are still there, taking turns.
    static constexpr std::size_t KeysCheckedPerIdle = 64;

    // Rebuilds the rows from the current skeleton (none without one, or
    // while its bag is gone) and fills them from the scene's keys.
    void RebuildGrid();
    // The columns reach the current frame, whose heading stands out.
    void FrameChanged();
    // Lists the rows again when the shown skeleton's shape has changed, else
    // looks for keys made since (as RebuildGrid does for the same rows).
    void Follow();

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
    // One kind of key a row shows, and the times of its keys seen so far.
    struct TKeyTrack {
        int Kind = 0;
        std::uint8_t Bit = 0;
        // Rising; each counted in FKeyed at its frame.
        std::vector<float> Times;
    };
    struct TDopeRow {
        // The joint or bone object, known again by when the row took it.
        THostRef Object;
        bool Bone = false;
        std::vector<TKeyTrack> Tracks;
    };

    void MakeKeyImages();
    void FillRows();
    // Looks for keys outside what each track has seen, at the host's time
    // and at the times the rig set meanwhile; true when a frame was added
    // below the highest one known.
    bool CatchUpKeys();
    void CatchUpRow(TDopeRow& Row, float Now, bool& Inside);
    void CatchUpTrack(CtsxSobj Node, TKeyTrack& Track, float Now, bool& Inside);
    // Keys seen at the ends of a track, or at the host's time, that are gone.
    void DropErasedEnds(CtsxSobj Node, TKeyTrack& Track, float First, float Now, bool& Inside);
    // The next few tracks' turn, for keys made outside the rig's edits.
    void LookAtSomeTracks(bool& Inside);
    // The next few keys seen between the ends: those gone are dropped.
    void CheckSomeKeys();
    // A key time seen (inserted in order), a key time gone.
    void AddTime(TKeyTrack& Track, float Time, bool& Inside);
    void DropTimes(TKeyTrack& Track, std::size_t From, std::size_t To);
    void AddKeyed(std::int32_t Frame, bool& Inside);
    void DropKeyed(std::int32_t Frame);
    // The frames the columns show: from 0 or the first keyed frame to the
    // last keyed frame or the current frame, or when that is too wide the
    // keyed frames and the current frame.
    struct TFrameSpan {
        std::int64_t First = 0, Last = 0;
        bool Sparse = false;
    };
    TFrameSpan WantedSpan() const;
    std::vector<std::int32_t> ChooseFrames() const;
    // The frames to add past the last column; false when the columns need
    // shaping again (a frame inside them, a change of kind, a shorter span).
    bool NewFramesPastTheEnd(std::vector<std::int32_t>& Added) const;
    void MarkCurrentFrame();
    // The columns show the frames chosen: new frames past the last column
    // are added, anything else shapes every column again.
    void UpdateColumns(bool Reshape);
    void ShapeColumns();
    void ShapeFrameColumns(std::size_t From);
    void CellLoaded(int DataCol, int DataRow, TtsVariant& Value) const;
    const TDopeRow* RowAt(int DataRow) const;

    TtsImageList* FKeyImages = nullptr;
    // The skeleton the rows were made for (its serial, 0 for none), and
    // its shape.
    std::uint64_t FSkeleton = 0;
    std::uint64_t FShape = 0;
    std::vector<TDopeRow> FRows;
    // Empty key-time lists of rows listed before, kept for their room.
    std::vector<std::vector<float>> FSpareTimes;
    // Every frame holding a key seen, with how many of them.
    std::map<std::int32_t, std::uint32_t> FKeyed;
    // Counts the frames FKeyed gained or lost.
    std::uint64_t FKeyedChanges = 0;
    // The frame of each frame column, rising; only keyed ones when sparse.
    std::vector<std::int32_t> FFrames;
    bool FSparse = false;
    // The column whose heading shows the current frame, 0 for none.
    int FMarkedCol = 0;
    // The rig's edit count when the keys were last looked for.
    std::uint64_t FKeysSeenAt = 0;
    // The times the rig set since, looked at while keys are caught up.
    std::vector<float> FTimesSet;
    // The row whose tracks an idle pass looks at next.
    std::size_t FNextRow = 0;
    // The key seen that an idle pass checks next: row, track, place.
    std::size_t FCheckRow = 0, FCheckTrack = 0, FCheckKey = 0;
};

// Made by the tool window, then kept for the module's life.
extern TDopeSheetForm* DopeSheetForm;

} // namespace vel
