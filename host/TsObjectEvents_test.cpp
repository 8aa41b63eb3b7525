#include "TsObjectEvents.h"

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "TsxHost.h"
#include "TsxPlug.h"

namespace vel {
namespace {

class TsObjectEventsTest : public ::testing::Test {
protected:
    void SetUp() override {
        tsxhost::Reset();
        testing::ResetPlugUnit();
        InitializeObjectEventsUnit();
    }
    void TearDown() override {
        owner.reset();
        InitializeObjectEventsUnit();
        testing::ResetPlugUnit();
    }
    // An instance whose events log "tag:index-of-event object".
    TTsObjectEvents* Make(const std::string& tag) {
        auto* e = fw::Create<TTsObjectEvents>(owner.get());
        int i = 0;
        for (auto* ev : {&e->OnUndefined, &e->OnRefresh, &e->OnChange, &e->OnDelete, &e->OnObjNav,
                         &e->OnEyeNav, &e->OnAnimNav, &e->OnPEdit, &e->OnDeform, &e->OnGeomChange,
                         &e->OnUpdate, &e->OnEdit, &e->OnExtOb, &e->OnBoolean})
            *ev = [this, tag, i = i++](CtsxSobj obj, const tsxObjectNotifyMessage&) {
                log.push_back(tag + ":" + std::to_string(i) + " " + tsxhost::FullName(obj));
            };
        return e;
    }
    std::unique_ptr<fw::TComponent> owner = std::make_unique<fw::TComponent>(nullptr);
    std::vector<std::string> log;
};

TEST_F(TsObjectEventsTest, EachCodeRaisesItsEvent) {
    auto* e = Make("a");
    CtsxSobj obj = tsxhost::AddCube("Box", 1);
    e->WatchObject(obj);
    for (int code : {1, 2, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 0, 15, -1})
        tsxhost::SendNotify(obj, code);
    std::vector<std::string> expected;
    for (int i : {1, 2, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 0, 0, 0}) // 9 raises nothing
        expected.push_back("a:" + std::to_string(i) + " Box");
    EXPECT_EQ(log, expected);
    ObjectNotifyCallback(obj, nullptr);
    EXPECT_EQ(log.size(), expected.size());
}

TEST_F(TsObjectEventsTest, WhichInstanceHears) {
    auto* a = Make("a");
    CtsxSobj shared = tsxhost::AddCube("Shared", 1);
    CtsxSobj onlyB = tsxhost::AddCube("OnlyB", 1);
    CtsxSobj nobody = tsxhost::AddCube("Nobody", 1);
    tsxRegisterNotifyCallback(nobody, &ObjectNotifyCallback, 1);
    tsxhost::SendNotify(nobody, TSX_NOTIFY_CHANGE); // the only instance hears all
    auto* b = Make("b");
    b->WatchObject(shared);
    a->WatchObject(shared);
    b->WatchObject(onlyB);
    b->WatchObject(onlyB); // the host is asked again, the list holds it once
    EXPECT_EQ(b->WatchList(), (std::vector<CtsxSobj>{shared, onlyB}));
    b->UnwatchObject(shared);
    b->WatchObject(shared); // watched again: last
    EXPECT_EQ(b->WatchList(), (std::vector<CtsxSobj>{onlyB, shared}));
    for (CtsxSobj obj : {shared, onlyB, nobody})
        tsxhost::SendNotify(obj, TSX_NOTIFY_REFRESH);
    EXPECT_EQ(log, (std::vector<std::string>{"a:2 Nobody", "a:1 Shared", "b:1 OnlyB"}));
}

TEST_F(TsObjectEventsTest, DeleteUnwatchesBeforeOnDelete) {
    auto* a = Make("a");
    Make("b");
    CtsxSobj obj = tsxhost::AddCube("Box", 1);
    a->WatchObject(obj);
    a->OnDelete = [&](CtsxSobj o, const tsxObjectNotifyMessage&) {
        log.push_back(a->Watches(o) ? "still watched" : "deleted");
    };
    tsxhost::SendNotify(obj, TSX_NOTIFY_DELETE);
    tsxhost::SendNotify(obj, TSX_NOTIFY_CHANGE); // nobody of two watches it now
    EXPECT_EQ(log, std::vector<std::string>{"deleted"});
}

TEST_F(TsObjectEventsTest, SilentWhenDisabledFinalizingOrTheUnitHasEnded) {
    auto* a = Make("a");
    CtsxSobj obj = tsxhost::AddCube("Box", 1);
    a->WatchObject(obj);
    a->SetEnabled(false);
    tsxhost::SendNotify(obj, TSX_NOTIFY_DELETE);
    EXPECT_TRUE(a->Watches(obj));
    a->SetEnabled(true);
    FinalizePlugUnit();
    tsxhost::SendNotify(obj, TSX_NOTIFY_REFRESH);
    testing::ResetPlugUnit();
    FinalizeObjectEventsUnit();
    tsxhost::SendNotify(obj, TSX_NOTIFY_REFRESH);
    owner.reset(); // freed after the registry: nothing to leave
    tsxhost::SendNotify(obj, TSX_NOTIFY_REFRESH);
    EXPECT_TRUE(log.empty());
}

TEST_F(TsObjectEventsTest, TheUnitsEndTakesTheCallbackBackFromEveryObject) {
    auto* a = Make("a");
    CtsxSobj kept = tsxhost::AddCube("Kept", 1);
    CtsxSobj dropped = tsxhost::AddCube("Dropped", 1);
    CtsxSobj deleted = tsxhost::AddCube("Deleted", 1);
    for (CtsxSobj obj : {kept, dropped, deleted})
        a->WatchObject(obj);
    a->UnwatchObject(dropped); // the host still sends
    tsxhost::Delete(deleted);
    tsxhost::ResetStaleUses();
    FinalizeObjectEventsUnit();
    EXPECT_EQ(tsxhost::WatcherCount(kept), 0);
    EXPECT_EQ(tsxhost::WatcherCount(dropped), 0);
    EXPECT_EQ(tsxhost::StaleUses(), 0); // the deleted object is not asked
}

} // namespace
} // namespace vel
