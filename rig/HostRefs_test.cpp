#include "HostRefs.h"

#include <gtest/gtest.h>

#include "CoreTestEnv.h"
#include "Serial.h"

namespace vel {
namespace {

class HostRefsTest : public CoreTest {
protected:
    void SetUp() override {
        CoreTest::SetUp();
        tsxhost::SetReuseHandles(true);
    }
};

TEST_F(HostRefsTest, AHandleTheHostGaveAnotherObjectFindsNothing) {
    const CtsxSobj mine = tsxhost::AddCube("Mine", 1);
    const THostRef ref = RefTo(mine);
    EXPECT_EQ(LiveObject(ref), mine);
    // Deleted, under the rig's lock as well: the main form hears of it.
    {
        TEditScope quietly;
        tsxSobjDelete(mine);
    }
    const CtsxSobj users = tsxhost::AddCube("Users", 1);
    ASSERT_EQ(users, mine); // the host gave the user's object the same handle
    EXPECT_EQ(LiveObject(ref), nullptr);
    EXPECT_FALSE(Alive(ref));
    const THostRef theirs = RefTo(users); // taken after: the user's object
    EXPECT_EQ(LiveObject(theirs), users);
    EXPECT_EQ(LiveObject(THostRef{}), nullptr);
}

TEST_F(HostRefsTest, AClosedSceneTakesEveryEarlierReferenceWithIt) {
    const CtsxSobj cube = tsxhost::AddCube("Cube", 1);
    const THostRef ref = RefTo(cube);
    const TSerial made;
    const std::vector<std::uint8_t> bytes = tsxhost::SaveSceneToBytes();
    std::string error;
    ASSERT_TRUE(tsxhost::LoadSceneFromBytes(bytes, &error)) << error;
    const CtsxSobj loaded = tsxhost::FindByFullName("Cube");
    EXPECT_EQ(loaded, cube); // the load reused the freed handle
    EXPECT_FALSE(Alive(ref));
    EXPECT_TRUE(GoneSince(cube, made.Value));
    EXPECT_GT(LastSceneClose(), made.Value);
    EXPECT_TRUE(Alive(RefTo(loaded)));
    EXPECT_FALSE(GoneSince(loaded, TSerial().Value));
}

} // namespace
} // namespace vel
