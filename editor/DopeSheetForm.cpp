#include "DopeSheetForm.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <map>
#include <string>

#include "Attributes.h"
#include "Bitmap.h"
#include "FrameControl.h"
#include "ScopeExit.h"
#include "SkelMgr.h"
#include "Skeleton.h"
#include "Switchboard.h"
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

// One kind of key and the mark it adds.
struct TKeyKind {
    int Kind;
    std::uint8_t Bit;
};

// The host keeps no key at -1, its answer for none, unless one is there.
bool KeyAt(CtsxSobj Node, int Kind, float Time) {
    return std::isfinite(Time) &&
           (Time != -1.0f || tsxSobjGetFrame(Node, Kind, 0, Time) != nullptr);
}

// The frames at which a host object holds keys of the kinds given, rising.
std::vector<std::pair<std::int32_t, std::uint8_t>> KeysOf(CtsxSobj Node,
                                                           std::initializer_list<TKeyKind> Kinds) {
    std::map<std::int32_t, std::uint8_t> frames;
    if (!Node || !tsxIsSobj(Node)) return {};
    for (const TKeyKind& k : Kinds) {
        for (float t = tsxSobjGetFirstTime(Node, k.Kind); KeyAt(Node, k.Kind, t);) {
            frames[FrameNumber(t)] |= k.Bit;
            const float next = tsxSobjGetNextTime(Node, k.Kind, t);
            if (!(next > t)) break; // the last key, or a host that does not move on
            t = next;
        }
    }
    return {frames.begin(), frames.end()};
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

std::string RowName(CtsxSobj Object) {
    return Object && tsxIsSobj(Object) ? GetNodeName(Object) : std::string();
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
}

TDopeSheetForm::~TDopeSheetForm() {
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
    TSkeleton* skeleton = CurrentSkeleton;
    FSkeletonBag = skeleton ? skeleton->Bag : nullptr;
    FillRows();
    ChooseFrames();
    {
        auto update = fw::EnterScope([this] { DopeGrid->BeginUpdate(); },
                                     [this] { DopeGrid->EndUpdate(); });
        DopeGrid->SetRows(static_cast<int>(FRows.size()));
        for (int r = 1; r <= DopeGrid->Rows(); ++r)
            DopeGrid->Row(r)->SetColor(BoneRow(r) ? kBoneRowColor : clNoneTs);
        ShapeColumns();
    }
    FMarkedCol = 0;
    FrameChanged();
}

void TDopeSheetForm::FillRows() {
    FRows.clear();
    TSkeleton* skeleton = CurrentSkeleton;
    if (!skeleton) return;
    for (const auto& joint : skeleton->Joints.List)
        FRows.push_back({joint->Node, false,
                         KeysOf(joint->Node, {{TSX_KIND_LOCATION, dkLocation},
                                              {StiffAttribute, dkStiff}})});
    for (const auto& bone : skeleton->Bones.List)
        FRows.push_back({bone->Node, true, KeysOf(bone->Node, {{TwistAttribute, dkTwist}})});
}

void TDopeSheetForm::ChooseFrames() {
    std::vector<std::int32_t> keyed;
    for (const TDopeRow& row : FRows)
        for (const auto& key : row.Keys)
            keyed.push_back(key.first);
    std::sort(keyed.begin(), keyed.end());
    keyed.erase(std::unique(keyed.begin(), keyed.end()), keyed.end());
    const std::int64_t first = std::min<std::int64_t>(0, keyed.empty() ? 0 : keyed.front());
    const std::int64_t last = std::max<std::int64_t>(0, keyed.empty() ? 0 : keyed.back());
    FFrames.clear();
    if (last - first + 1 > MaxFrameSpan) {
        FFrames = std::move(keyed);
        return;
    }
    for (std::int64_t f = first; f <= last; ++f)
        FFrames.push_back(static_cast<std::int32_t>(f));
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
    // Every frame column (the grid's default) as wide as the widest number needs.
    int frameWidth = kFrameWidth;
    if (!FFrames.empty()) {
        const fw::TFont& heading = DopeGrid->HeadingFont();
        frameWidth = std::max({frameWidth, TextWidthIn(heading, std::to_string(FFrames.front())) + 6,
                               TextWidthIn(heading, std::to_string(FFrames.back())) + 6});
    }
    DopeGrid->SetDefaultColWidth(frameWidth);
    for (std::size_t i = 0; i < FFrames.size(); ++i) {
        TtsCol* column = DopeGrid->Col(FirstFrameCol + static_cast<int>(i));
        column->SetHeading(std::to_string(FFrames[i]));
        column->SetControlType(ctPicture);
        column->SetHeadingHorzAlignment(htaCenter);
        column->SetHeadingColor(clNoneTs);
    }
}

void TDopeSheetForm::FrameChanged() {
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
    const auto at = std::lower_bound(row->Keys.begin(), row->Keys.end(), frame,
                                     [](const auto& key, std::int32_t f) { return key.first < f; });
    return at != row->Keys.end() && at->first == frame ? at->second : 0;
}

CtsxSobj TDopeSheetForm::ObjectOfRow(int DataRow) const {
    const TDopeRow* row = RowAt(DataRow);
    return row && row->Object && tsxIsSobj(row->Object) ? row->Object : nullptr;
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
        TSkeleton* skeleton = nullptr;
        if (FSkeletonBag && FindSkeletonByBag(FSkeletonBag, skeleton))
            Value = skeleton->Recording != 0;
    } else if (const char* image = KeyImageName(KeysAt(DataCol, DataRow))) {
        Value = std::string(image);
    }
}

} // namespace vel
