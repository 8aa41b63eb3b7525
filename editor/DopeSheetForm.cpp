#include "DopeSheetForm.h"

#include <algorithm>
#include <cmath>
#include <climits>
#include <cstdint>
#include <span>
#include <string>

#include "Attributes.h"
#include "Bitmap.h"
#include "FrameControl.h"
#include "KeyTimes.h"
#include "ScopeExit.h"
#include "SkelMgr.h"
#include "Skeleton.h"
#include "Switchboard.h"
#include "RigShape.h"
#include "TsxHelper.h"

namespace vel {

TDopeSheetForm* DopeSheetForm = nullptr;

namespace {

constexpr int kRowHeight = 16;
constexpr int kFrameWidth = 18;
constexpr int kRecordWidth = 30;
constexpr int kKeySize = 11;
// Bone rows stand apart from joint rows; the current frame's heading stands out.
constexpr fw::TColor kBoneRowColor = 0xFAF1E8;
constexpr fw::TColor kCurrentFrameColor = 0x8CDCFF;
// Left out when a key mark is drawn.
constexpr fw::TColor kKeyBackground = fw::clFuchsia;

// One kind of key and the mark it adds (kind 0: the attribute of the bit).
struct TKeyKind {
    int Kind;
    std::uint8_t Bit;
};

int KindOf(const TKeyKind& K) {
    if (K.Kind) return K.Kind;
    return K.Bit == dkStiff ? StiffAttribute : TwistAttribute;
}

// The key kinds of a joint's row and of a bone's row.
const TKeyKind JointKinds[] = {{TSX_KIND_LOCATION, dkLocation}, {0, dkStiff}};
const TKeyKind BoneKinds[] = {{0, dkTwist}};

// Whether a key of the kind lies at a time that rounds to the frame.
bool KeyInFrame(CtsxSobj Node, int Kind, std::int32_t Frame) {
    float t = 0;
    if (Frame == INT32_MIN) {
        t = tsxSobjGetFirstTime(Node, Kind);
    } else {
        const float from = static_cast<float>(static_cast<double>(Frame) - 0.5);
        t = tsxSobjGetFrame(Node, Kind, 0, from) ? from : tsxSobjGetNextTime(Node, Kind, from);
    }
    // Only a key exactly half a frame below rounds down (ties go to even):
    // two steps at most.
    for (int step = 0; step < 3 && KeyAt(Node, Kind, t); ++step) {
        const std::int32_t frame = FrameNumber(t);
        if (frame >= Frame) return frame == Frame;
        const float next = tsxSobjGetNextTime(Node, Kind, t);
        if (!(next > t)) return false;
        t = next;
    }
    return false;
}

// The image a cell shows for the keys held there; none for no keys.
const char* KeyImageName(std::uint8_t Keys) {
    if (Keys & dkTwist) return "Twist";
    if ((Keys & dkLocation) && (Keys & dkStiff)) return "Key";
    if (Keys & dkLocation) return "Location";
    if (Keys & dkStiff) return "Stiff";
    return nullptr;
}

// A diamond Inset pixels inside the mark's square, on the transparent colour.
void AddKeyImage(TtsImageList& List, const char* Name, fw::TColor Fill, fw::TColor Edge,
                 int Inset) {
    fw::TBitmap mark(kKeySize, kKeySize);
    fw::TCanvas& c = mark.Canvas();
    c.Brush().SetColor(kKeyBackground);
    c.FillRect(fw::TRect{0, 0, kKeySize, kKeySize});
    c.Brush().SetColor(Fill);
    c.Pen().SetColor(Edge);
    const int mid = kKeySize / 2, far = kKeySize - 1 - Inset;
    c.Polygon({fw::TPoint{mid, Inset}, fw::TPoint{far, mid}, fw::TPoint{mid, far},
               fw::TPoint{Inset, mid}});
    TtsImage* image = List.Images().Add();
    image->SetBitmap(&mark);
    image->SetName(Name);
    image->SetTransparent(true); // the colour of the bottom-left pixel
}

int TextWidthIn(const fw::TFont& Font, const std::string& Text) {
    fw::TBitmap scratch(1, 1);
    scratch.Canvas().Font().Assign(Font);
    return scratch.Canvas().TextWidth(Text);
}

std::string RowName(const THostRef& Object) {
    const CtsxSobj object = LiveObject(Object);
    return object ? GetNodeName(object) : std::string();
}

} // namespace

TDopeSheetForm::TDopeSheetForm(fw::TComponent* AOwner) : fw::TForm(AOwner) {
    SetName("DopeSheetForm");
    SetCaption("Dope Sheet");
    LoadComponents([this] {
        FKeyImages = fw::Create<TtsImageList>(this);
        FKeyImages->SetName("KeyImages");
        DopeGrid = fw::Create<TtsGrid>(this);
        DopeGrid->SetName("DopeGrid");
        DopeGrid->SetParent(this);
        DopeGrid->SetAlign(fw::alClient);
    });
    MakeKeyImages();
    DopeGrid->SetImageList(FKeyImages);
    DopeGrid->SetRowBarOn(false);
    DopeGrid->SetReadOnly(true);
    DopeGrid->SetDefaultRowHeight(kRowHeight);
    DopeGrid->OnCellLoaded = [this](fw::TObject*, int DataCol, int DataRow, TtsVariant& Value) {
        CellLoaded(DataCol, DataRow, Value);
    };
    RebuildGrid();
    fw::AddIdleHandler(this, [this] { Follow(); });
}

TDopeSheetForm::~TDopeSheetForm() {
    fw::RemoveIdleHandler(this);
    // The grid goes with the form's components, after this body: it must not
    // reach back into a half-destroyed window.
    DopeGrid->OnCellLoaded = nullptr;
    if (DopeSheetForm == this) DopeSheetForm = nullptr;
}

void TDopeSheetForm::MakeKeyImages() {
    AddKeyImage(*FKeyImages, "Key", 0x14A0E6, 0x00406E, 0);
    AddKeyImage(*FKeyImages, "Location", fw::clWhite, 0x14A0E6, 0);
    AddKeyImage(*FKeyImages, "Stiff", 0xC86E96, 0x6E2E50, 2);
    AddKeyImage(*FKeyImages, "Twist", 0xD26E28, 0x6E3210, 0);
}

void TDopeSheetForm::RebuildGrid() {
    TSkeleton* skeleton = ShownSkeleton();
    if (skeleton && skeleton->Serial.Value == FSkeleton && SkeletonShape(skeleton) == FShape) {
        // The same rows: only keys they did not have before can be new.
        UpdateColumns(CatchUpKeys());
        DopeGrid->Invalidate();
        return;
    }
    FSkeleton = skeleton ? skeleton->Serial.Value : 0;
    FShape = SkeletonShape(skeleton);
    FillRows();
    CatchUpKeys();
    {
        auto update = fw::EnterScope([this] { DopeGrid->BeginUpdate(); },
                                     [this] { DopeGrid->EndUpdate(); });
        DopeGrid->SetRows(static_cast<int>(FRows.size()));
        for (int r = 1; r <= DopeGrid->Rows(); ++r)
            DopeGrid->Row(r)->SetColor(BoneRow(r) ? kBoneRowColor : clNoneTs);
        FMarkedCol = 0;
        FFrames.clear();
        UpdateColumns(true);
    }
    DopeGrid->Invalidate();
}

void TDopeSheetForm::Follow() {
    // Another shape: rows afresh; the same: keys made or erased meanwhile
    // (the rest frames recorded on leaving the setup page) move the columns.
    // The rig keys only inside its edits: after one every track is looked
    // at, else the next few in turn, for keys the host made or erased by
    // itself: an idle pass costs no more on a big rig than on a small one.
    TSkeleton* skeleton = ShownSkeleton();
    if (SkeletonShape(skeleton) != FShape) {
        RebuildGrid();
        return;
    }
    if (!skeleton) return;
    const std::uint64_t changes = FKeyedChanges;
    bool inside = false;
    if (EditCount() != FKeysSeenAt)
        inside = CatchUpKeys();
    else
        LookAtSomeTracks(inside);
    CheckSomeKeys();
    if (FKeyedChanges != changes) UpdateColumns(inside);
}

void TDopeSheetForm::LookAtSomeTracks(bool& Inside) {
    if (FRows.empty()) return;
    const float now = tsxAnimGetActiveTime();
    std::size_t tracks = 0;
    for (std::size_t rows = 0; rows < FRows.size() && tracks < TracksPerIdle; ++rows) {
        if (FNextRow >= FRows.size()) FNextRow = 0;
        TDopeRow& row = FRows[FNextRow++];
        tracks += row.Tracks.size();
        CatchUpRow(row, now, Inside);
    }
}

void TDopeSheetForm::CheckSomeKeys() {
    // A host call for each key checked and one for each row reached, and
    // a bounded number of steps however many tracks hold no keys.
    std::size_t budget = KeysCheckedPerIdle;
    std::size_t checkedRow = SIZE_MAX;
    bool alive = false;
    for (std::size_t steps = 0; budget > 0 && !FRows.empty() && steps < 4 * KeysCheckedPerIdle;
         ++steps) {
        if (FCheckRow >= FRows.size()) FCheckRow = FCheckTrack = FCheckKey = 0;
        TDopeRow& row = FRows[FCheckRow];
        if (FCheckTrack >= row.Tracks.size()) {
            ++FCheckRow;
            FCheckTrack = FCheckKey = 0;
            continue;
        }
        TKeyTrack& track = row.Tracks[FCheckTrack];
        if (FCheckKey < track.Times.size() && checkedRow != FCheckRow) {
            checkedRow = FCheckRow;
            alive = LiveObject(row.Object) != nullptr;
        }
        if (FCheckKey >= track.Times.size() || !alive) {
            ++FCheckTrack;
            FCheckKey = 0;
            continue;
        }
        if (THostKeys{row.Object.Object, track.Kind}.Has(track.Times[FCheckKey]))
            ++FCheckKey;
        else
            DropTimes(track, FCheckKey, FCheckKey + 1);
        --budget;
    }
}

void TDopeSheetForm::FillRows() {
    // The old tracks' key times keep their room for the new ones: listing
    // the rows again allocates nothing for the times it finds.
    for (TDopeRow& row : FRows)
        for (TKeyTrack& track : row.Tracks)
            if (track.Times.capacity() > 0) {
                track.Times.clear();
                FSpareTimes.push_back(std::move(track.Times));
            }
    FRows.clear();
    FKeyed.clear();
    ++FKeyedChanges;
    FNextRow = FCheckRow = FCheckTrack = FCheckKey = 0;
    TSkeleton* skeleton = ShownSkeleton();
    if (!skeleton) return;
    auto add = [this](CtsxSobj Node, bool Bone, std::span<const TKeyKind> Kinds) {
        TDopeRow row{RefTo(Node), Bone, {}};
        for (const TKeyKind& k : Kinds) {
            row.Tracks.push_back({KindOf(k), k.Bit, {}});
            if (!FSpareTimes.empty()) {
                row.Tracks.back().Times = std::move(FSpareTimes.back());
                FSpareTimes.pop_back();
            }
        }
        FRows.push_back(std::move(row));
    };
    for (const auto& joint : skeleton->Joints.List)
        add(joint->Node, false, JointKinds);
    for (const auto& bone : skeleton->Bones.List)
        add(bone->Node, true, BoneKinds);
}

void TDopeSheetForm::AddKeyed(std::int32_t Frame, bool& Inside) {
    const auto [at, made] = FKeyed.try_emplace(Frame, 0);
    ++at->second;
    if (!made) return;
    ++FKeyedChanges;
    if (Frame < FKeyed.rbegin()->first) Inside = true;
}

void TDopeSheetForm::DropKeyed(std::int32_t Frame) {
    const auto at = FKeyed.find(Frame);
    if (at == FKeyed.end() || --at->second > 0) return;
    FKeyed.erase(at);
    ++FKeyedChanges;
}

void TDopeSheetForm::AddTime(TKeyTrack& Track, float Time, bool& Inside) {
    std::vector<float>& times = Track.Times;
    if (times.empty() || Time > times.back()) {
        times.push_back(Time); // keys are mostly found rising
    } else {
        const auto at = std::lower_bound(times.begin(), times.end(), Time);
        if (at != times.end() && *at == Time) return;
        times.insert(at, Time);
    }
    AddKeyed(FrameNumber(Time), Inside);
}

void TDopeSheetForm::DropTimes(TKeyTrack& Track, std::size_t From, std::size_t To) {
    To = std::min(To, Track.Times.size());
    if (From >= To) return;
    const auto first = Track.Times.begin() + static_cast<std::ptrdiff_t>(From);
    const auto last = Track.Times.begin() + static_cast<std::ptrdiff_t>(To);
    for (auto it = first; it != last; ++it)
        DropKeyed(FrameNumber(*it));
    Track.Times.erase(first, last);
}

bool TDopeSheetForm::CatchUpKeys() {
    FKeysSeenAt = EditCount();
    bool inside = false, lost = false;
    FTimesSet = TakeTimesSet(lost);
    fw::TScopeExit done([this] { FTimesSet.clear(); });
    const float now = tsxAnimGetActiveTime();
    for (TDopeRow& row : FRows) {
        // Too many times went by to look at each: every key afresh.
        if (lost)
            for (TKeyTrack& track : row.Tracks)
                DropTimes(track, 0, track.Times.size());
        CatchUpRow(row, now, inside);
    }
    return inside;
}

void TDopeSheetForm::CatchUpRow(TDopeRow& Row, float Now, bool& Inside) {
    const CtsxSobj object = LiveObject(Row.Object);
    for (TKeyTrack& track : Row.Tracks) {
        if (!object)
            DropTimes(track, 0, track.Times.size()); // its keys went with it
        else
            CatchUpTrack(object, track, Now, Inside);
    }
}

void TDopeSheetForm::CatchUpTrack(CtsxSobj Node, TKeyTrack& Track, float Now, bool& Inside) {
    // Three host calls when nothing is new and the last key seen is at the
    // host's time, four otherwise.
    const THostKeys keys{Node, Track.Kind};
    const float first = keys.First();
    std::vector<float>& times = Track.Times;
    if (!IsKeyTime(keys, first)) {
        DropTimes(Track, 0, times.size()); // none left
        return;
    }
    auto add = [&](float t) {
        AddTime(Track, t, Inside);
        return true;
    };
    if (times.empty()) {
        WalkKeysFrom(keys, first, add); // every key, rising
        return;
    }
    DropErasedEnds(Node, Track, first, Now, Inside);
    if (times.empty()) {
        WalkKeysFrom(keys, first, add);
        return;
    }
    // Keys before the first one seen, put in front at once; then those
    // after the last one.
    const float seen = times.front();
    std::vector<float> before;
    WalkKeysFrom(keys, first, [&](float t) {
        if (!(t < seen)) return false;
        before.push_back(t);
        AddKeyed(FrameNumber(t), Inside);
        return true;
    });
    times.insert(times.begin(), before.begin(), before.end());
    const float last = times.back();
    const float next = keys.Next(last);
    if (next > last) WalkKeysFrom(keys, next, add);
    // The rig keyed inside its edits at the times it set, between the ends too.
    for (float t : FTimesSet)
        if (keys.Has(t)) AddTime(Track, t, Inside);
}

void TDopeSheetForm::DropErasedEnds(CtsxSobj Node, TKeyTrack& Track, float First, float Now,
                                    bool& Inside) {
    const THostKeys keys{Node, Track.Kind};
    std::vector<float>& times = Track.Times;
    // Before the host's first key every key seen has gone.
    DropTimes(Track, 0,
              static_cast<std::size_t>(std::lower_bound(times.begin(), times.end(), First) -
                                       times.begin()));
    // At the host's time: a key recorded again, or erased.
    if (std::isfinite(Now)) {
        if (keys.Has(Now)) {
            AddTime(Track, Now, Inside);
        } else if (const auto at = std::lower_bound(times.begin(), times.end(), Now);
                   at != times.end() && *at == Now) {
            const auto i = static_cast<std::size_t>(at - times.begin());
            DropTimes(Track, i, i + 1);
        }
    }
    // The last ones seen, back to one still there (the one at the host's
    // time was asked about just now).
    std::size_t end = times.size();
    while (end > 0 && times[end - 1] != Now && !keys.Has(times[end - 1]))
        --end;
    DropTimes(Track, end, times.size());
}

TDopeSheetForm::TFrameSpan TDopeSheetForm::WantedSpan() const {
    const std::int64_t now = CurrentFrame;
    TFrameSpan span;
    span.First = std::min<std::int64_t>(std::min<std::int64_t>(0, now),
                                        FKeyed.empty() ? 0 : FKeyed.begin()->first);
    span.Last = std::max<std::int64_t>(std::max<std::int64_t>(0, now),
                                       FKeyed.empty() ? 0 : FKeyed.rbegin()->first);
    span.Sparse = span.Last - span.First + 1 > MaxFrameSpan;
    return span;
}

std::vector<std::int32_t> TDopeSheetForm::ChooseFrames() const {
    const TFrameSpan span = WantedSpan();
    std::vector<std::int32_t> frames;
    if (span.Sparse) {
        frames.reserve(FKeyed.size() + 1);
        for (const auto& [frame, keys] : FKeyed)
            frames.push_back(frame);
        const auto at = std::lower_bound(frames.begin(), frames.end(), CurrentFrame);
        if (at == frames.end() || *at != CurrentFrame) frames.insert(at, CurrentFrame);
        return frames;
    }
    for (std::int64_t f = span.First; f <= span.Last; ++f)
        frames.push_back(static_cast<std::int32_t>(f));
    return frames;
}

bool TDopeSheetForm::NewFramesPastTheEnd(std::vector<std::int32_t>& Added) const {
    if (FFrames.empty()) return false;
    const TFrameSpan span = WantedSpan();
    const std::int64_t shownFirst = FFrames.front(), shownLast = FFrames.back();
    if (span.Sparse != FSparse || span.Last < shownLast) return false;
    if (!span.Sparse) {
        if (span.First != shownFirst) return false;
        for (std::int64_t f = shownLast + 1; f <= span.Last; ++f)
            Added.push_back(static_cast<std::int32_t>(f));
        return true;
    }
    // Every keyed frame and the current one: all of them shown already,
    // but for those past the last column.
    for (auto it = FKeyed.upper_bound(FFrames.back()); it != FKeyed.end(); ++it)
        Added.push_back(it->first);
    if (CurrentFrame > FFrames.back() && !FKeyed.contains(CurrentFrame))
        Added.insert(std::lower_bound(Added.begin(), Added.end(), CurrentFrame), CurrentFrame);
    // A frame shown that is neither keyed nor current (the last current one)
    // would make the count match with the current frame missing.
    for (const std::int32_t f : FFrames)
        if (f != CurrentFrame && !FKeyed.contains(f)) return false;
    const std::size_t wanted = FKeyed.size() + (FKeyed.contains(CurrentFrame) ? 0 : 1);
    return FFrames.size() + Added.size() == wanted;
}

void TDopeSheetForm::UpdateColumns(bool Reshape) {
    std::vector<std::int32_t> added;
    if (!Reshape && NewFramesPastTheEnd(added)) {
        // Only frames past the last column are new: the columns there are added.
        if (!added.empty()) {
            const std::size_t kept = FFrames.size();
            FFrames.insert(FFrames.end(), added.begin(), added.end());
            auto update = fw::EnterScope([this] { DopeGrid->BeginUpdate(); },
                                         [this] { DopeGrid->EndUpdate(); });
            DopeGrid->SetCols(FirstFrameCol - 1 + static_cast<int>(FFrames.size()));
            ShapeFrameColumns(kept);
        }
        MarkCurrentFrame();
        return;
    }
    FFrames = ChooseFrames();
    FSparse = WantedSpan().Sparse;
    {
        auto update = fw::EnterScope([this] { DopeGrid->BeginUpdate(); },
                                     [this] { DopeGrid->EndUpdate(); });
        FMarkedCol = 0;
        ShapeColumns();
    }
    MarkCurrentFrame();
}

void TDopeSheetForm::ShapeColumns() {
    DopeGrid->SetCols(FirstFrameCol - 1 + static_cast<int>(FFrames.size()));
    const fw::TFont& font = DopeGrid->GridFont();
    int nameWidth = TextWidthIn(font, "Name");
    for (const TDopeRow& row : FRows)
        nameWidth = std::max(nameWidth, TextWidthIn(font, RowName(row.Object)));
    TtsCol* name = DopeGrid->Col(NameCol);
    name->SetHeading("Name");
    name->SetWidth(std::clamp(nameWidth + 8, 60, 200));
    TtsCol* record = DopeGrid->Col(RecordCol);
    record->SetHeading("Rec");
    record->SetControlType(ctCheck);
    record->SetWidth(kRecordWidth);
    record->SetHeadingHorzAlignment(htaCenter);
    // The name and record columns stay while the frames scroll.
    DopeGrid->SetFixedCols(FirstFrameCol);
    ShapeFrameColumns(0);
}

void TDopeSheetForm::ShapeFrameColumns(std::size_t From) {
    // Every frame column (the grid's default) as wide as the widest number needs.
    int frameWidth = kFrameWidth;
    if (!FFrames.empty()) {
        const fw::TFont& heading = DopeGrid->HeadingFont();
        frameWidth = std::max({frameWidth, TextWidthIn(heading, std::to_string(FFrames.front())) + 6,
                               TextWidthIn(heading, std::to_string(FFrames.back())) + 6});
    }
    if (frameWidth != DopeGrid->DefaultColWidth()) DopeGrid->SetDefaultColWidth(frameWidth);
    for (std::size_t i = From; i < FFrames.size(); ++i) {
        TtsCol* column = DopeGrid->Col(FirstFrameCol + static_cast<int>(i));
        column->SetHeading(std::to_string(FFrames[i]));
        column->SetControlType(ctPicture);
        column->SetHeadingHorzAlignment(htaCenter);
        column->SetHeadingColor(clNoneTs);
    }
}

void TDopeSheetForm::FrameChanged() {
    // The columns reach the current frame.
    if (!ColOfFrame(CurrentFrame) && FSkeleton) UpdateColumns(false);
    MarkCurrentFrame();
}

void TDopeSheetForm::MarkCurrentFrame() {
    const int column = ColOfFrame(CurrentFrame);
    if (column == FMarkedCol) return;
    if (TtsCol* old = FMarkedCol ? DopeGrid->Col(FMarkedCol) : nullptr)
        old->SetHeadingColor(clNoneTs);
    FMarkedCol = column;
    if (column) DopeGrid->Col(column)->SetHeadingColor(kCurrentFrameColor);
}

bool TDopeSheetForm::FrameOfCol(int DataCol, std::int32_t& Frame) const {
    const int i = DataCol - FirstFrameCol;
    if (i < 0 || i >= static_cast<int>(FFrames.size())) return false;
    Frame = FFrames[static_cast<std::size_t>(i)];
    return true;
}

int TDopeSheetForm::ColOfFrame(std::int32_t Frame) const {
    const auto at = std::lower_bound(FFrames.begin(), FFrames.end(), Frame);
    if (at == FFrames.end() || *at != Frame) return 0;
    return FirstFrameCol + static_cast<int>(at - FFrames.begin());
}

std::uint8_t TDopeSheetForm::KeysAt(int DataCol, int DataRow) const {
    const TDopeRow* row = RowAt(DataRow);
    std::int32_t frame = 0;
    if (!row || !FrameOfCol(DataCol, frame)) return 0;
    const CtsxSobj object = LiveObject(row->Object);
    if (!object) return 0;
    // What the scene holds now: marks never lag behind the keys.
    std::uint8_t keys = 0;
    for (const TKeyTrack& track : row->Tracks)
        if (KeyInFrame(object, track.Kind, frame)) keys |= track.Bit;
    return keys;
}

CtsxSobj TDopeSheetForm::ObjectOfRow(int DataRow) const {
    const TDopeRow* row = RowAt(DataRow);
    return row ? LiveObject(row->Object) : nullptr;
}

bool TDopeSheetForm::BoneRow(int DataRow) const {
    const TDopeRow* row = RowAt(DataRow);
    return row && row->Bone;
}

const TDopeSheetForm::TDopeRow* TDopeSheetForm::RowAt(int DataRow) const {
    if (DataRow < 1 || DataRow > static_cast<int>(FRows.size())) return nullptr;
    return &FRows[static_cast<std::size_t>(DataRow - 1)];
}

void TDopeSheetForm::CellLoaded(int DataCol, int DataRow, TtsVariant& Value) const {
    const TDopeRow* row = RowAt(DataRow);
    if (!row) return;
    if (DataCol == NameCol) {
        Value = RowName(row->Object);
    } else if (DataCol == RecordCol) {
        // The flag as it is now: a repaint shows a change.
        if (const TSkeleton* skeleton = FSkeleton ? SkeletonBySerial(FSkeleton) : nullptr)
            Value = skeleton->Recording != 0;
    } else if (const char* image = KeyImageName(KeysAt(DataCol, DataRow))) {
        Value = std::string(image);
    }
}

} // namespace vel
