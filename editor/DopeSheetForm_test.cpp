#include "DopeSheetForm.h"

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "EditorWindowsTestEnv.h"
#include "FrameControl.h"
#include "KeyRecording.h"
#include "ShuttleForm.h"
#include "Timers.h"
#include "VelLib.h"

namespace vel {
namespace {

using TMarks = std::map<std::int32_t, std::string>;

class DopeSheetTest : public EditorWindowsTest {
protected:
    // Three joints in a chain, two bones; the tool window open on its
    // animate page (no rest frames recorded on the way).
    TSkeleton* Arm() {
        TSkeleton* s = NewSkel();
        joints = Chain(s, {{0, 0, 0}, {1, 0, 0}, {3, 0, 0}});
        OpenOnAnimatePage = true;
        tsxhost::ClickLeft();
        fw::ProcessMessages();
        return s;
    }
    static void RecordAt(float frame) {
        velSetActiveFrame(frame);
        velRecord();
    }
    static TtsGrid* Grid() { return DopeSheetForm->DopeGrid; }
    static std::vector<std::int32_t> Frames() {
        std::vector<std::int32_t> frames;
        std::int32_t f = 0;
        for (int c = 1; c <= Grid()->Cols(); ++c)
            if (DopeSheetForm->FrameOfCol(c, f)) frames.push_back(f);
        return frames;
    }
    // The marks a row shows, by frame.
    static TMarks Marks(int row) {
        TMarks marks;
        std::int32_t f = 0;
        for (int c = TDopeSheetForm::FirstFrameCol; c <= Grid()->Cols(); ++c) {
            const std::string mark = VarToText(Grid()->CellValue(c, row));
            if (!mark.empty() && DopeSheetForm->FrameOfCol(c, f)) marks[f] = mark;
        }
        return marks;
    }
    static std::vector<std::string> Names() {
        std::vector<std::string> names;
        for (int r = 1; r <= Grid()->Rows(); ++r)
            names.push_back(VarToText(Grid()->CellValue(TDopeSheetForm::NameCol, r)));
        return names;
    }
    static std::string Heading(int col) { return Grid()->Col(col)->Heading(); }
    // The sheet shown, its paints counted by the cells they load.
    void ShowSheet() {
        ToolsForm->TreePages->SelectPage(ToolsForm->KeysSheet);
        fw::ProcessMessages();
        ASSERT_TRUE(Grid()->Showing());
        Grid()->OnCellLoaded = [this, load = Grid()->OnCellLoaded](fw::TObject* Sender, int c,
                                                                  int r, TtsVariant& v) {
            ++cellsLoaded;
            load(Sender, c, r, v);
        };
        Painted(); // what showing it left to paint
    }
    // Whether the grid had a paint waiting.
    bool Painted() {
        cellsLoaded = 0;
        fw::ProcessMessages();
        return cellsLoaded > 0;
    }

    std::vector<TJoint*> joints;
    int cellsLoaded = 0;
};

TMarks Each(std::initializer_list<std::int32_t> frames, const char* mark) {
    TMarks marks;
    for (std::int32_t f : frames)
        marks[f] = mark;
    return marks;
}

TEST_F(DopeSheetTest, JointsThenBonesDownTheSideAndARecordingShowsAtItsFrame) {
    TSkeleton* s = Arm();
    ASSERT_NE(DopeSheetForm, nullptr);
    EXPECT_EQ(DopeSheetForm->Parent(), ToolsForm->KeysSheet);
    EXPECT_EQ(DopeSheetForm->Owner(), ToolsForm);
    EXPECT_EQ(Grid()->Rows(), 5);
    EXPECT_EQ(Frames(), std::vector<std::int32_t>{0}); // nothing keyed yet
    EXPECT_EQ(Names(), (std::vector<std::string>{
                           GetNodeName(joints[0]->Node), GetNodeName(joints[1]->Node),
                           GetNodeName(joints[2]->Node), GetNodeName(s->Bones.Items(0)->Node),
                           GetNodeName(s->Bones.Items(1)->Node)}));
    EXPECT_FALSE(DopeSheetForm->BoneRow(3));
    EXPECT_TRUE(DopeSheetForm->BoneRow(4));
    EXPECT_EQ(DopeSheetForm->ObjectOfRow(4), s->Bones.Items(0)->Node);

    RecordAt(2);
    RecordAt(5); // the shuttle's record rebuilds the sheet
    EXPECT_EQ(Frames(), (std::vector<std::int32_t>{0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(Heading(TDopeSheetForm::FirstFrameCol + 5), "5");
    EXPECT_EQ(Heading(TDopeSheetForm::NameCol), "Name");
    EXPECT_EQ(Heading(TDopeSheetForm::RecordCol), "Rec");
    for (int r = 1; r <= 3; ++r)
        EXPECT_EQ(Marks(r), Each({2, 5}, "Key")) << r;
    for (int r = 4; r <= 5; ++r)
        EXPECT_EQ(Marks(r), Each({2, 5}, "Twist")) << r;
    EXPECT_EQ(DopeSheetForm->KeysAt(TDopeSheetForm::FirstFrameCol + 2, 1), dkLocation | dkStiff);
    EXPECT_EQ(DopeSheetForm->KeysAt(TDopeSheetForm::FirstFrameCol + 3, 1), 0);
    // The current frame's heading stands out, and follows the frame.
    const int five = DopeSheetForm->ColOfFrame(5), two = DopeSheetForm->ColOfFrame(2);
    EXPECT_NE(Grid()->Col(five)->HeadingColor(), clNoneTs);
    velSetActiveFrame(2);
    EXPECT_EQ(Grid()->Col(five)->HeadingColor(), clNoneTs);
    EXPECT_NE(Grid()->Col(two)->HeadingColor(), clNoneTs);
    velSetActiveFrame(40); // no column shows it
    EXPECT_EQ(Grid()->Col(two)->HeadingColor(), clNoneTs);
}

TEST_F(DopeSheetTest, ErasedAndCopiedKeysShowOnceTheGridIsRebuilt) {
    TSkeleton* s = Arm();
    RecordAt(2);
    RecordAt(6);
    EraseCurrentSkeletonFrame(true, false, 6);
    EditorServices().DopeSheetRebuildGrid();
    // The columns still reach the current frame, 6, now without marks.
    EXPECT_EQ(Frames(), (std::vector<std::int32_t>{0, 1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(Marks(1), Each({2}, "Key"));
    EXPECT_EQ(Marks(4), Each({2}, "Twist"));

    s->CopyKeys(2, 9);
    EditorServices().DopeSheetRebuildGrid();
    EXPECT_EQ(Frames().back(), 9);
    EXPECT_EQ(Marks(3), Each({2, 9}, "Key"));
    EXPECT_EQ(Marks(5), Each({2, 9}, "Twist"));
}

TEST_F(DopeSheetTest, TheColumnsFollowTheKeysThatAreLeft) {
    Arm();
    for (float f : {2.0f, 6.0f, 9.0f, 12.0f})
        RecordAt(f);
    velSetActiveFrame(3);
    // The last keys go: the columns end at the last key left.
    EraseCurrentSkeletonFrame(true, false, 12);
    EraseCurrentSkeletonFrame(true, false, 9);
    EditorServices().DopeSheetRebuildGrid();
    EXPECT_EQ(Frames(), (std::vector<std::int32_t>{0, 1, 2, 3, 4, 5, 6}));
    // The key at the current frame and the first keys go.
    RecordAt(3);
    EraseCurrentSkeletonFrame(true, false, 3);
    EraseCurrentSkeletonFrame(true, false, 6);
    EditorServices().DopeSheetRebuildGrid();
    EXPECT_EQ(Frames(), (std::vector<std::int32_t>{0, 1, 2, 3}));
    RecordAt(-4);
    EXPECT_EQ(Frames().front(), -4);
    EraseCurrentSkeletonFrame(true, false, -4);
    velSetActiveFrame(1);
    EditorServices().DopeSheetRebuildGrid();
    EXPECT_EQ(Frames(), (std::vector<std::int32_t>{0, 1, 2}));
    EXPECT_EQ(Marks(1), Each({2}, "Key"));
    // The host's own erasing: seen by the idle passes.
    for (TJoint* j : joints) {
        tsxFrameDelete(tsxSobjGetFrame(j->Node, TSX_KIND_LOCATION, 0, 2));
        tsxFrameDelete(tsxSobjGetFrame(j->Node, StiffAttribute, 0, 2));
    }
    for (int r = 4; r <= 5; ++r)
        tsxFrameDelete(tsxSobjGetFrame(DopeSheetForm->ObjectOfRow(r), TwistAttribute, 0, 2));
    for (int i = 0; i < 4; ++i)
        fw::ProcessMessages();
    EXPECT_EQ(Frames(), (std::vector<std::int32_t>{0, 1}));
}

TEST_F(DopeSheetTest, AWideSpanShowsTheKeyedFramesThatAreLeft) {
    TSkeleton* s = Arm();
    const std::int32_t far = 5 * TDopeSheetForm::MaxFrameSpan;
    for (std::int32_t f : {3, 40, far, far + 1})
        RecordAt(static_cast<float>(f));
    velSetActiveFrame(40);
    EXPECT_EQ(Frames(), (std::vector<std::int32_t>{3, 40, far, far + 1}));
    s->EraseKeys(static_cast<float>(far + 1));
    EditorServices().DopeSheetRebuildGrid();
    EXPECT_EQ(Frames(), (std::vector<std::int32_t>{3, 40, far}));
    // A keyed frame between others goes once the idle passes have looked.
    s->EraseKeys(static_cast<float>(far)); // the span is narrow again
    s->EraseKeys(3);
    EditorServices().DopeSheetRebuildGrid();
    EXPECT_EQ(Frames().size(), 41u);
    RecordAt(static_cast<float>(far));
    RecordAt(static_cast<float>(far + 7));
    velSetActiveFrame(far);
    s->EraseKeys(static_cast<float>(40)); // neither an end nor the current frame
    for (int i = 0; i < 4; ++i)
        fw::ProcessMessages();
    EXPECT_EQ(Frames(), (std::vector<std::int32_t>{far, far + 7}));
    // The current frame's column moves with the time, between the keys too.
    for (const float t : {3.0f, 40.0f, 5.0f}) {
        tsxhost::SetTime(t);
        fw::ProcessMessages();
        EXPECT_EQ(Frames(), (std::vector<std::int32_t>{static_cast<std::int32_t>(t), far, far + 7}));
        EXPECT_NE(DopeSheetForm->ColOfFrame(static_cast<std::int32_t>(t)), 0);
    }
}

TEST_F(DopeSheetTest, EachKindOfKeyHasItsMarkWhereverItsTimeFalls) {
    Arm();
    // A location key alone, a Stiff key alone, one at -1 (the host's word
    // for none) and one between frames.
    tsxAnimSetActiveTime(3);
    tsxSobjSetFrame(joints[0]->Node, TSX_KIND_LOCATION);
    tsxAnimSetActiveTime(-1);
    tsxSobjSetFrame(joints[0]->Node, TSX_KIND_LOCATION);
    const float stiff = 0.5f;
    tsxAnimSetActiveTime(4);
    KeyAttribute(joints[1]->Node, StiffAttribute, &stiff, true);
    tsxAnimSetActiveTime(7.6f);
    KeyAttribute(joints[1]->Node, StiffAttribute, &stiff, true);
    tsxSobjSetFrame(joints[1]->Node, TSX_KIND_LOCATION);
    EditorServices().DopeSheetRebuildGrid();
    EXPECT_EQ(Frames().front(), -1);
    EXPECT_EQ(Frames().back(), 8);
    EXPECT_EQ(Marks(1), (TMarks{{-1, "Location"}, {3, "Location"}}));
    EXPECT_EQ(Marks(2), (TMarks{{4, "Stiff"}, {8, "Key"}}));
    EXPECT_EQ(Marks(3), TMarks{});
    // A bone's location keys are not its own kind of key.
    tsxSobjSetFrame(DopeSheetForm->ObjectOfRow(4), TSX_KIND_LOCATION);
    EditorServices().DopeSheetRebuildGrid();
    EXPECT_EQ(Marks(4), TMarks{});
}

TEST_F(DopeSheetTest, AWideSpanOfFramesShowsOnlyTheKeyedOnes) {
    Arm();
    RecordAt(3);
    RecordAt(TDopeSheetForm::MaxFrameSpan - 1); // 0 to here: a column a frame
    EXPECT_EQ(Frames().size(), static_cast<std::size_t>(TDopeSheetForm::MaxFrameSpan));
    RecordAt(TDopeSheetForm::MaxFrameSpan);
    EXPECT_EQ(Frames(), (std::vector<std::int32_t>{3, TDopeSheetForm::MaxFrameSpan - 1,
                                                   TDopeSheetForm::MaxFrameSpan}));
    // Frames at the ends of the float range are kept within 32 bits.
    RecordAt(3e38f);
    RecordAt(-3e38f);
    EXPECT_EQ(Frames().front(), INT32_MIN);
    EXPECT_EQ(Frames().back(), INT32_MAX);
    EXPECT_EQ(Heading(Grid()->Cols()), "2147483647");
    EXPECT_EQ(Marks(1).size(), 5u);
    // The widest number fits its column.
    EXPECT_GT(Grid()->Col(Grid()->Cols())->Width(), 18);
    // The rest frames a page switch records fall between the keys seen.
    velSetupMode();
    velAnimateMode();
    fw::ProcessMessages();
    const std::vector<std::int32_t> frames = Frames();
    EXPECT_TRUE(std::binary_search(frames.begin(), frames.end(), 0));
    EXPECT_TRUE(std::binary_search(frames.begin(), frames.end(), 1));
}

TEST_F(DopeSheetTest, TheRecordColumnShowsTheFlagAndRepaintsWhenItChanges) {
    TSkeleton* s = Arm();
    ShowSheet();
    EXPECT_EQ(Grid()->CellValue(TDopeSheetForm::RecordCol, 1), TtsVariant(true));
    EXPECT_EQ(Grid()->EffectiveControlType(TDopeSheetForm::RecordCol, 1), ctCheck);
    ASSERT_FALSE(Painted());
    velSkeletonSetRecording(s->SkeletonObject, 0);
    EXPECT_TRUE(Painted());
    for (int r = 1; r <= Grid()->Rows(); ++r)
        EXPECT_EQ(Grid()->CellValue(TDopeSheetForm::RecordCol, r), TtsVariant(false)) << r;
    velSkeletonSetRecording(s->SkeletonObject, 1);
    EXPECT_TRUE(Painted());
    EXPECT_EQ(Grid()->CellValue(TDopeSheetForm::RecordCol, 5), TtsVariant(true));
    // The skeleton gone: the rows made for it show no flag.
    tsxhost::Delete(s->SkeletonObject);
    EXPECT_TRUE(VarIsEmpty(Grid()->CellValue(TDopeSheetForm::RecordCol, 1)));
}

TEST_F(DopeSheetTest, TheRowsFollowTheCurrentSkeletonAndASceneLoad) {
    TSkeleton* arm = Arm();
    RecordAt(4);
    // A row whose joint went shows nothing of it until the rows are rebuilt.
    const CtsxSobj gone = joints[2]->Node;
    {
        TEditScope quietly;
        tsxhost::Delete(gone);
    }
    EXPECT_EQ(DopeSheetForm->ObjectOfRow(3), nullptr);
    EXPECT_EQ(Names()[2], "");
    Grid()->Repaint();

    TSkeleton* other = NewSkel(); // made current: the sheet follows
    Chain(other, {{0, 0, 0}, {0, 1, 0}});
    EditorServices().DopeSheetRebuildGrid();
    EXPECT_EQ(Grid()->Rows(), 3);
    EXPECT_EQ(Frames(), (std::vector<std::int32_t>{0, 1, 2, 3, 4})); // to the current frame
    SetCurrentSkeleton(nullptr);
    EXPECT_EQ(Grid()->Rows(), 0);
    SetCurrentSkeleton(arm);
    EXPECT_EQ(Grid()->Rows(), 5);

    // After a load the rebuilt skeleton's rows come with its keys.
    const std::vector<std::uint8_t> scene = tsxhost::SaveSceneToBytes();
    std::string error;
    ASSERT_TRUE(tsxhost::LoadSceneFromBytes(scene, &error)) << error;
    fw::AdvanceClock(kLoadTimerInterval);
    ASSERT_NE(CurrentSkeleton, nullptr);
    ASSERT_NE(DopeSheetForm, nullptr);
    const int rows = CurrentSkeleton->Joints.Count() + CurrentSkeleton->Bones.Count();
    ASSERT_EQ(Grid()->Rows(), rows);
    int keyed = 0;
    for (int r = 1; r <= rows; ++r)
        keyed += Marks(r).contains(4) ? 1 : 0;
    EXPECT_GT(keyed, 0);
    EXPECT_EQ(Names()[0], GetNodeName(CurrentSkeleton->Joints.Items(0)->Node));
}

TEST_F(DopeSheetTest, TheOperationsReachTheSheetOnlyWhileItExists) {
    TEditorServices& editor = EditorWindows();
    TSkeleton* s = Arm();
    tsxAnimSetActiveTime(3);
    editor.ShuttleRecordKeys();
    EXPECT_EQ(Marks(1), Each({3}, "Key"));
    // A key inside the columns shows at once; one past them once the sheet
    // is rebuilt.
    tsxAnimSetActiveTime(0);
    KeyAttribute(s->Bones.Items(0)->Node, TwistAttribute, &s->Bones.Items(0)->Twist, false);
    EXPECT_EQ(Marks(4), Each({0, 3}, "Twist"));
    {
        TEditScope quietly; // the host's time stays the rig's own business
        tsxAnimSetActiveTime(12);
        KeyAttribute(s->Bones.Items(0)->Node, TwistAttribute, &s->Bones.Items(0)->Twist, false);
    }
    EXPECT_EQ(Frames().back(), 3);
    editor.DopeSheetRebuildGrid();
    EXPECT_EQ(Marks(4), Each({0, 3, 12}, "Twist"));
    ShowSheet();
    ASSERT_FALSE(Painted());
    editor.DopeGridInvalidate();
    EXPECT_TRUE(Painted());

    // The sheet goes with the tool window; the operations find none.
    FreeToolsForm();
    EXPECT_EQ(DopeSheetForm, nullptr);
    tsxhost::SetCallLog(true);
    editor.DopeSheetRebuildGrid();
    editor.DopeGridInvalidate();
    editor.ShuttleRecordKeys();
    velSkeletonSetRecording(s->SkeletonObject, 0);
    SetCurrentFrame(9);
    fw::ProcessMessages();
    EXPECT_TRUE(tsxhost::CallLog().empty());
}

} // namespace
} // namespace vel
