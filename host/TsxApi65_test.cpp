#include "TsxApi65.h"

#include <gtest/gtest.h>

#include "Modules.h"
#include "TsxHost.h"

namespace vel {
namespace {

class SubDivBindingTest : public ::testing::Test {
protected:
    void SetUp() override { tsxhost::Reset(); }
    void TearDown() override {
        fw::ClearFailedSymbolLookups();
        tsxhost::Reset();
        LoadSubDivEntryPoints();
    }
};

TEST_F(SubDivBindingTest, From650TheFunctionsAreBoundAndWork) {
    tsxhost::SetVersion(650, 0);
    LoadSubDivEntryPoints();
    ASSERT_TRUE(HostHasSubDiv());
    const TSubDivEntryPoints& e = SubDiv();
    ASSERT_TRUE(e.tsxSubDivGetActiveLevel && e.tsxSubDivSetActiveLevel &&
                e.tsxSubDivMarkGeomChange);
    CtsxSobj s = tsxhost::AddSubDiv("S", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}});
    e.tsxSubDivSetActiveLevel(s, 0);
    EXPECT_EQ(e.tsxSubDivGetActiveLevel(s), 0);
    e.tsxSubDivMarkGeomChange(s);
    EXPECT_EQ(tsxhost::SubDivInfo(s).geomChanges, 1);
}

TEST_F(SubDivBindingTest, OlderHostsBindNothing) {
    for (short first : {649, -650}) {
        tsxhost::SetVersion(650, 0);
        LoadSubDivEntryPoints(); // an earlier binding must not survive
        tsxhost::SetVersion(first, 700);
        LoadSubDivEntryPoints();
        EXPECT_FALSE(HostHasSubDiv());
        EXPECT_FALSE(SubDiv().tsxSubDivGetActiveLevel || SubDiv().tsxSubDivSetActiveLevel ||
                     SubDiv().tsxSubDivMarkGeomChange);
    }
}

TEST_F(SubDivBindingTest, HostLackingOneFunction) {
    fw::FailSymbolLookup("tsxSubDivMarkGeomChange");
    LoadSubDivEntryPoints();
    EXPECT_TRUE(HostHasSubDiv());
    EXPECT_NE(SubDiv().tsxSubDivGetActiveLevel, nullptr);
    EXPECT_NE(SubDiv().tsxSubDivSetActiveLevel, nullptr);
    EXPECT_EQ(SubDiv().tsxSubDivMarkGeomChange, nullptr);
}

} // namespace
} // namespace vel
