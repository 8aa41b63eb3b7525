#include "ScopeExit.h"
#include "Types.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace fw {
namespace {

TEST(ScopeExit, LeavesOnEveryWayOut) {
    std::vector<std::string> Log;
    {
        TScopeExit G([&] { Log.push_back("normal"); });
    }
    try {
        TScopeExit G([&] { Log.push_back("unwound"); });
        throw std::runtime_error("body");
    } catch (const std::runtime_error&) {
        Log.push_back("caught");
    }
    {
        TScopeExit G([&] { Log.push_back("released"); });
        G.Release();
    }
    EXPECT_EQ(Log, (std::vector<std::string>{"normal", "unwound", "caught"}));
}

TEST(ScopeExit, LeaveRunsOnceAndPassesItsExceptionOn) {
    int Runs = 0;
    try {
        TScopeExit G([&] {
            ++Runs;
            throw std::runtime_error("handler");
        });
        G.Leave();
        ADD_FAILURE() << "the leave step's exception was lost";
    } catch (const std::runtime_error& E) {
        EXPECT_STREQ(E.what(), "handler");
    }
    EXPECT_EQ(Runs, 1); // the destructor did not run it again
}

TEST(ScopeExit, ADestructorReportsTheLeaveStepsExceptionInsteadOfThrowing) {
    testing::internal::CaptureStderr();
    try {
        TScopeExit G([] { throw std::runtime_error("second"); });
        throw std::logic_error("first");
    } catch (const std::logic_error& E) {
        // The body's exception arrives; the leave step's is reported.
        EXPECT_STREQ(E.what(), "first");
    }
    {
        TScopeExit G([] { throw 7; });
    }
    const std::string Err = testing::internal::GetCapturedStderr();
    EXPECT_NE(Err.find("leave step failed: second"), std::string::npos) << Err;
    EXPECT_NE(Err.find("leave step failed: unknown exception"), std::string::npos) << Err;
}

TEST(ScopeExit, EnterScopeGuardsOnlyAnEnterThatSucceeded) {
    int Depth = 0;
    {
        auto G = EnterScope([&] { ++Depth; }, [&] { --Depth; });
        EXPECT_EQ(Depth, 1);
    }
    EXPECT_EQ(Depth, 0);
    EXPECT_THROW(
        { auto G = EnterScope([] { throw std::runtime_error("enter"); }, [&] { --Depth; }); },
        std::runtime_error);
    EXPECT_EQ(Depth, 0);
}

} // namespace
} // namespace fw

namespace {
// The handler probe runs before every event fired, set or not, and only inside its scope.
TEST(HandlerProbe, RunsAtEveryFiredEventWithinItsScope) {
    int Probed = 0, Called = 0;
    const fw::THandlerProbe Probe = [&] { ++Probed; };
    fw::TNotifyEvent Set = [&](fw::TObject*) { ++Called; }, Unset;
    {
        fw::TProbeScope Scope(Probe);
        EXPECT_TRUE(fw::HandlerProbeActive());
        fw::CallHandler(Set, nullptr);
        fw::CallHandler(Unset, nullptr);
    }
    fw::CallHandler(Set, nullptr);
    EXPECT_FALSE(fw::HandlerProbeActive());
    EXPECT_EQ(Probed, 2);
    EXPECT_EQ(Called, 2);
}
} // namespace
