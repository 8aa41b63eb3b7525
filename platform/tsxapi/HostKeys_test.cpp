#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "HostTestEnv.h"
#include "TsxHost.h"
#include "tsxapi.h"

namespace {

using namespace tsxhost;

std::vector<std::string> gLog;
int gTwist = 0;

int Stub() {
    return 0;
}
int OnAttrChanged(CtsxSobj obj, int attribute, float time) {
    float value[3];
    tsxSobjGetInterpolatedData(obj, attribute, time, value);
    gLog.push_back("attr " + NodeName(obj) + " " + std::to_string(attribute == gTwist) + " t" +
                   std::to_string(static_cast<int>(time)) + " v" +
                   std::to_string(static_cast<int>(value[0])));
    return 0;
}
void OnNotify(CtsxSobj obj, tsxObjectNotifyMessage* msg) {
    gLog.push_back("notify " + NodeName(obj) + " " + std::to_string(msg->code));
}
void OnTime() {
    gLog.push_back("time " + std::to_string(static_cast<int>(tsxAnimGetActiveTime())));
}

class KeysTest : public ::testing::Test {
protected:
    void SetUp() override {
        Reset();
        gLog.clear();
        tsxAttrCallbacks cb{0, 0, Stub, Stub, OnAttrChanged};
        const int16_t codes[3] = {9, 9, 9};
        gTwist = tsxAnimCreateAttribute(1, "Twist", &cb, 12, codes, 6);
        stiff = tsxAnimCreateAttribute(1, "Stiff", &cb, 4, codes, 2);
        obj = AddCube("A", 1);
    }
    CtsxFrame Key(int kind, float time, float value) {
        CtsxFrame f = tsxFrameCreate(kind);
        float data[3] = {value, value, value};
        tsxFrameSetData(f, data);
        tsxSobjInsertFrame(obj, f, 0, time);
        return f;
    }
    int stiff = 0;
    CtsxSobj obj = nullptr;
};

TEST_F(KeysTest, AttributeHandlesNeverCollideWithKeyKinds) {
    for (int h : {gTwist, stiff}) {
        EXPECT_NE(h, 0);
        EXPECT_NE(h, 2);
        EXPECT_NE(h, 3);
        EXPECT_NE(h, 4);
    }
    EXPECT_NE(gTwist, stiff);
    EXPECT_EQ(tsxFrameCreate(77), nullptr); // not a kind
}

TEST_F(KeysTest, InsertReplacesAndNextTimesWalkInOrder) {
    Key(stiff, 10, 1);
    Key(stiff, 5, 2);
    CtsxFrame old = Key(stiff, 20, 3);
    CtsxFrame replacement = Key(stiff, 20, 4);
    EXPECT_EQ(tsxFrameGetTime(old), -1.0f); // freed by the replacement
    EXPECT_EQ(tsxSobjGetFrame(obj, stiff, 0, 20), replacement);
    EXPECT_EQ(tsxSobjGetFrame(obj, stiff, 0, 20.5f), nullptr);

    EXPECT_EQ(tsxSobjGetFirstTime(obj, stiff), 5);
    EXPECT_EQ(tsxSobjGetNextTime(obj, stiff, 5), 10);
    EXPECT_EQ(tsxSobjGetNextTime(obj, stiff, 7), 10);
    EXPECT_EQ(tsxSobjGetNextTime(obj, stiff, 20), -1.0f);
    EXPECT_EQ(tsxSobjGetFirstTime(obj, gTwist), -1.0f);

    // Removing keeps the frame alive and free; it can go back elsewhere.
    CtsxFrame f = tsxSobjGetFrame(obj, stiff, 0, 10);
    tsxFrameRemove(f);
    EXPECT_EQ(tsxSobjGetNextTime(obj, stiff, 5), 20);
    tsxSobjInsertFrame(obj, f, 0, 30);
    EXPECT_EQ(tsxSobjGetNextTime(obj, stiff, 20), 30);
    CtsxFrame copy = nullptr;
    ASSERT_EQ(tsxFrameCopy(f, &copy), 1);
    float data = 0;
    EXPECT_EQ(tsxFrameGetData(copy, &data), 4);
    EXPECT_EQ(data, 1);
    tsxFrameDelete(f);
    EXPECT_EQ(tsxSobjGetNextTime(obj, stiff, 20), -1.0f);
    EXPECT_EQ(StaleUses(), 1); // the deliberate look at the freed frame
}

TEST_F(KeysTest, TreeNextTimeCoversDescendants) {
    CtsxSobj g = AddGroup("G");
    CtsxSobj child = AddCube("C", 1, g);
    tsxAnimSetActiveTime(3);
    tsxSobjSetFrame(child, TSX_KIND_LOCATION);
    tsxAnimSetActiveTime(8);
    tsxSobjSetFrame(g, TSX_KIND_LOCATION);
    EXPECT_EQ(tsxSobjGetNextTime(g, TSX_KIND_LOCATION, -1), 8);
    EXPECT_EQ(tsxSobjTreeGetNextTime(g, TSX_KIND_LOCATION, -1), 3);
    EXPECT_EQ(tsxSobjTreeGetNextTime(g, TSX_KIND_LOCATION, 3), 8);
    EXPECT_EQ(tsxSobjTreeGetNextTime(g, TSX_KIND_LOCATION, 8), -1.0f);
}

TEST_F(KeysTest, SetFrameKeysTheCurrentValueAndKeysInterpolate) {
    CtsxVec3f p{0, 0, 0};
    tsxGNodeSetLocation(obj, &p);
    tsxSobjSetFrame(obj, TSX_KIND_LOCATION);
    tsxAnimSetActiveTime(10);
    p = {10, 20, 0};
    tsxGNodeSetLocation(obj, &p);
    tsxSobjSetFrame(obj, TSX_KIND_LOCATION);
    tsxSobjSetFrame(obj, TSX_KIND_LOCATION); // same time: the same key
    EXPECT_EQ(tsxSobjGetNextTime(obj, TSX_KIND_LOCATION, 0), 10);
    EXPECT_EQ(tsxSobjGetNextTime(obj, TSX_KIND_LOCATION, 10), -1.0f);

    tsxAnimSetActiveTime(5);
    tsxGNodeGetLocation(obj, &p);
    EXPECT_FLOAT_EQ(p.x, 5);
    EXPECT_FLOAT_EQ(p.y, 10);
    tsxAnimSetActiveTime(50); // past the last key: the last value
    tsxGNodeGetLocation(obj, &p);
    EXPECT_FLOAT_EQ(p.x, 10);

    float v[3];
    EXPECT_EQ(tsxSobjGetInterpolatedData(obj, TSX_KIND_LOCATION, 2.5f, v), 1);
    EXPECT_FLOAT_EQ(v[1], 5);
    EXPECT_EQ(tsxSobjGetInterpolatedData(obj, stiff, 2.5f, v), 0);
}

TEST_F(KeysTest, LocationKeysLiveInParentSpace) {
    CtsxSobj g = AddGroup("G");
    CtsxSobj into = g;
    tsxAddSubobj(&into, obj);
    CtsxVec3f p{1, 0, 0};
    tsxGNodeSetLocation(obj, &p);
    tsxSobjSetFrame(obj, TSX_KIND_LOCATION);
    p = {0, 0, 5};
    tsxGNodeSetLocation(g, &p);
    tsxAnimSetActiveTime(0);
    tsxGNodeGetLocation(obj, &p);
    EXPECT_FLOAT_EQ(p.x, 1);
    EXPECT_FLOAT_EQ(p.z, 5); // follows its group
}

TEST_F(KeysTest, TimeChangeCallsAttributesThenNotifiesThenReportsTheTime) {
    tsxActiveTimeChangedCB(1, OnTime);
    CtsxSobj b = AddCube("B", 1);
    tsxRegisterNotifyCallback(obj, OnNotify, 1);
    tsxRegisterNotifyCallback(b, OnNotify, 1);
    Key(gTwist, 0, 0);
    Key(gTwist, 10, 20);
    Key(stiff, 4, 1);
    tsxAnimSetActiveTime(5);
    EXPECT_EQ(gLog, (std::vector<std::string>{"attr A 1 t5 v10", "attr A 0 t5 v1", "notify A 6",
                                              "time 5"}));
    float twist[3];
    tsxSobjGetInterpolatedData(obj, gTwist, 5, twist);
    EXPECT_FLOAT_EQ(twist[2], 10);
}

TEST_F(KeysTest, NonFiniteTimesChangeNothing) {
    tsxActiveTimeChangedCB(1, OnTime);
    CtsxVec3f p{1, 2, 3};
    tsxGNodeSetLocation(obj, &p);
    tsxSobjSetFrame(obj, TSX_KIND_LOCATION);
    Key(stiff, 4, 1);
    tsxAnimSetActiveTime(2);
    gLog.clear();
    const float nan = std::nanf("");
    const float inf = std::numeric_limits<float>::infinity();
    for (const float t : {nan, inf, -inf}) {
        tsxAnimSetActiveTime(t);
        SetTime(t); // nor can the user's timeline go there
    }
    EXPECT_EQ(tsxAnimGetActiveTime(), 2);
    EXPECT_TRUE(gLog.empty()); // no time change, so nobody hears of one
    // So a key is set at a time that has keys on both sides, never at an
    // infinite one (a share between it and the next would be no number).
    tsxSobjSetFrame(obj, TSX_KIND_LOCATION);
    EXPECT_NE(tsxSobjGetFrame(obj, TSX_KIND_LOCATION, 0, 2), nullptr);
    EXPECT_TRUE(std::isfinite(tsxSobjGetFirstTime(obj, TSX_KIND_LOCATION)));
    tsxGNodeGetLocation(obj, &p);
    EXPECT_EQ(p.x, 1);

    float v[3] = {7, 7, 7};
    EXPECT_EQ(tsxSobjGetInterpolatedData(obj, TSX_KIND_LOCATION, nan, v), 0);
    EXPECT_EQ(v[0], 1); // the current value, as for an object without keys
    // A key is never placed at no time at all.
    CtsxFrame f = tsxFrameCreate(stiff);
    for (const float t : {nan, inf, -inf})
        tsxSobjInsertFrame(obj, f, 0, t);
    EXPECT_EQ(tsxSobjGetNextTime(obj, stiff, 4), -1.0f);
    EXPECT_EQ(tsxSobjGetFirstTime(obj, stiff), 4);
    tsxFrameDelete(f);
    EXPECT_EQ(StaleUses(), 0);
}

TEST_F(KeysTest, DeletingAnObjectFreesItsKeys) {
    CtsxFrame f = Key(stiff, 1, 1);
    tsxSobjDelete(obj);
    EXPECT_EQ(tsxFrameGetTime(f), -1.0f);
    EXPECT_EQ(StaleUses(), 1);
}

} // namespace
