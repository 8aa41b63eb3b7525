#include "tsxfUtils.h"

#include <vector>

#include <gtest/gtest.h>

#include "TsxHost.h"

namespace vel {
namespace {

constexpr int kLoc = TSX_KIND_LOCATION;

void Key(CtsxSobj obj, float t, float x) {
    CtsxFrame f = tsxFrameCreate(kLoc);
    const CtsxVec3f v{x, 0, 0};
    tsxFrameSetData(f, &v);
    tsxSobjInsertFrame(obj, f, 0, t);
}

std::vector<float> Times(CtsxSobj obj) {
    std::vector<float> out;
    for (float t = tsxSobjGetFirstTime(obj, kLoc); t >= 0; t = tsxSobjGetNextTime(obj, kLoc, t))
        out.push_back(t);
    return out;
}

// x of the key at t, or -1 when there is none.
float KeyX(CtsxSobj obj, float t) {
    CtsxFrame f = tsxSobjGetFrame(obj, kLoc, 0, t);
    if (!f) return -1;
    CtsxVec3f v{};
    tsxFrameGetData(f, &v);
    return v.x;
}

bool IsLive(CtsxFrame f) {
    return tsxFrameGetKind(f) != 0;
}

// Insertion seams: record the frames handed over, fail on chosen calls.
std::vector<CtsxFrame> gInserted;
int gFailCall = -1; // 0-based call to fail; -2 fails all
void RecordingInsert(CtsxSobj obj, CtsxFrame frame, int reserved, float time) {
    const int call = static_cast<int>(gInserted.size());
    gInserted.push_back(frame);
    if (gFailCall == -2 || gFailCall == call) return;
    tsxSobjInsertFrame(obj, frame, reserved, time);
}

class KeyFrameTest : public ::testing::Test {
protected:
    void SetUp() override {
        tsxhost::Reset();
        gInserted.clear();
        gFailCall = -1;
        Obj = tsxhost::AddCube("Obj", 1);
        for (float t : {0.f, 10.f, 20.f, 30.f})
            Key(Obj, t, t + 1);
    }
    void TearDown() override {
        testing::SetInsertFrameFn(nullptr);
        tsxhost::Reset();
    }
    void Seam(int failCall) {
        gFailCall = failCall;
        testing::SetInsertFrameFn(&RecordingInsert);
    }
    CtsxSobj Obj = nullptr;
};

TEST_F(KeyFrameTest, Deletes) {
    CtsxFrame f = tsxSobjGetFrame(Obj, kLoc, 0, 10);
    DeleteKeyFrame(Obj, kLoc, 10);
    EXPECT_EQ(Times(Obj), (std::vector<float>{0, 20, 30}));
    EXPECT_FALSE(IsLive(f)); // freed, not only detached
    DeleteKeyFrame(Obj, kLoc, 15);
    EXPECT_EQ(Times(Obj).size(), 3u);

    DeleteKeyFramesFrom(Obj, kLoc, 100);
    EXPECT_EQ(Times(Obj).size(), 3u);
    DeleteKeyFramesFrom(Obj, kLoc, 20);
    EXPECT_EQ(Times(Obj), (std::vector<float>{0}));
    Key(Obj, 5, 0);
    DeleteKeyFramesFrom(Obj, kLoc, 0);
    EXPECT_TRUE(Times(Obj).empty());
    DeleteKeyFramesFrom(Obj, TSX_KIND_ROTATION, 0); // no keys of that kind: nothing
}

TEST_F(KeyFrameTest, Copies) {
    CtsxFrame copy = CopyKeyFrame(Obj, kLoc, 20);
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy, tsxSobjGetFrame(Obj, kLoc, 0, 20));
    CtsxVec3f v{};
    tsxFrameGetData(copy, &v);
    EXPECT_EQ(v.x, 21);
    tsxFrameDelete(copy);
    EXPECT_EQ(CopyKeyFrame(Obj, kLoc, 25), nullptr);

    CtsxSobj target = tsxhost::AddCube("T", 1);
    Key(target, 40, 99);
    EXPECT_TRUE(CopyKeyFrameBetween(Obj, target, kLoc, 10, 40)); // replaces the key there
    EXPECT_TRUE(CopyKeyFrameBetween(Obj, target, kLoc, 0, 7));
    EXPECT_FALSE(CopyKeyFrameBetween(Obj, target, kLoc, 5, 8));
    EXPECT_EQ(Times(target), (std::vector<float>{7, 40}));
    EXPECT_EQ(KeyX(target, 40), 11);
    EXPECT_EQ(KeyX(target, 7), 1);
    EXPECT_EQ(KeyX(Obj, 10), 11); // the source keeps its key
}

TEST_F(KeyFrameTest, CopyThatCannotBePlacedIsFreed) {
    Seam(-1);
    CtsxSobj gone = tsxhost::AddCube("Gone", 1);
    tsxSobjDelete(gone);
    EXPECT_FALSE(CopyKeyFrameBetween(Obj, gone, kLoc, 10, 10));
    ASSERT_EQ(gInserted.size(), 1u);
    EXPECT_FALSE(IsLive(gInserted[0]));

    gInserted.clear();
    Seam(-2);
    CtsxSobj target = tsxhost::AddCube("T", 1);
    EXPECT_FALSE(CopyKeyFrameBetween(Obj, target, kLoc, 10, 10));
    ASSERT_EQ(gInserted.size(), 1u);
    EXPECT_FALSE(IsLive(gInserted[0]));
    EXPECT_TRUE(Times(target).empty());
}

TEST_F(KeyFrameTest, CopyAllTakesTimesFromTheTreeAndKeysFromTheSource) {
    CtsxSobj group = tsxhost::AddGroup("G");
    CtsxSobj child = tsxhost::AddCube("Child", 1, group);
    Key(group, 0, 100);
    Key(group, 10, 110);
    Key(child, 5, 200);
    Key(child, 10, 210);
    CtsxSobj target = tsxhost::AddCube("T", 1);
    CopyAllKeyFrames(group, target, kLoc);
    EXPECT_EQ(Times(target), (std::vector<float>{0, 10}));
    EXPECT_EQ(KeyX(target, 0), 100);
    EXPECT_EQ(KeyX(target, 10), 110);
}

TEST_F(KeyFrameTest, Swaps) {
    CtsxFrame f10 = tsxSobjGetFrame(Obj, kLoc, 0, 10);
    EXPECT_TRUE(SwapKeyFrames(Obj, kLoc, 10, 30));
    EXPECT_EQ(KeyX(Obj, 10), 31);
    EXPECT_EQ(KeyX(Obj, 30), 11);
    EXPECT_EQ(tsxSobjGetFrame(Obj, kLoc, 0, 30), f10); // moved, not copied

    EXPECT_TRUE(SwapKeyFrames(Obj, kLoc, 20, 25)); // only time1 has a key
    EXPECT_EQ(Times(Obj), (std::vector<float>{0, 10, 25, 30}));
    EXPECT_EQ(KeyX(Obj, 25), 21);
    EXPECT_TRUE(SwapKeyFrames(Obj, kLoc, 22, 25)); // only time2 has a key
    EXPECT_EQ(Times(Obj), (std::vector<float>{0, 10, 22, 30}));

    EXPECT_TRUE(SwapKeyFrames(Obj, kLoc, 0, 0));
    EXPECT_EQ(KeyX(Obj, 0), 1);
    EXPECT_TRUE(SwapKeyFrames(Obj, kLoc, 50, 60));
    EXPECT_EQ(Times(Obj).size(), 4u);
}

TEST_F(KeyFrameTest, SwapThatFailsPutsBothKeysBack) {
    for (int failing : {0, 1}) {
        SCOPED_TRACE(failing);
        gInserted.clear();
        Seam(failing);
        EXPECT_FALSE(SwapKeyFrames(Obj, kLoc, 10, 30));
        EXPECT_EQ(Times(Obj), (std::vector<float>{0, 10, 20, 30}));
        EXPECT_EQ(KeyX(Obj, 10), 11);
        EXPECT_EQ(KeyX(Obj, 30), 31);
    }
}

TEST_F(KeyFrameTest, SwapThatCannotPutBackFreesTheFrames) {
    CtsxFrame f10 = tsxSobjGetFrame(Obj, kLoc, 0, 10);
    CtsxFrame f30 = tsxSobjGetFrame(Obj, kLoc, 0, 30);
    Seam(-2);
    EXPECT_FALSE(SwapKeyFrames(Obj, kLoc, 10, 30));
    EXPECT_FALSE(IsLive(f10));
    EXPECT_FALSE(IsLive(f30));
    EXPECT_EQ(Times(Obj), (std::vector<float>{0, 20}));
}

} // namespace
} // namespace vel
