#include "TsxEvents.h"

#include <memory>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "PlugTestEnv.h"
#include "TsOwnedForm.h"

namespace vel {
namespace {

// The callback registrations made, with addresses written "cb".
std::vector<std::string> Registrations() {
    static const std::regex pointer("0x[0-9a-f]+");
    std::vector<std::string> out;
    for (const std::string& line : tsxhost::CallLog())
        if (line.find("CB(") != std::string::npos)
            out.push_back(std::regex_replace(line, pointer, "cb"));
    return out;
}

CtsxTxmx3f Translation(float x, float y, float z) {
    return CtsxTxmx3f{{1, 0, 0, x, 0, 1, 0, y, 0, 0, 1, z}};
}

class TEventsForm : public TTsOwnedForm {
public:
    explicit TEventsForm(int count) : TTsOwnedForm(nullptr) {
        LoadComponents([&] {
            fw::Create<TTsx>(this);
            for (int i = 0; i < count; ++i)
                Events.push_back(fw::Create<TTsxEvents>(this));
        });
    }
    std::vector<TTsxEvents*> Events;
};

class TsxEventsTest : public PlugFormTest<TEventsForm, true> {
protected:
    TTsxEvents& Make(int count = 1) {
        form = std::make_unique<TEventsForm>(count);
        return *form->Events.front();
    }
    void AssignAll(TTsxEvents& e, const std::string& tag = "") {
        e.OnSelectionChanged = [this, tag] { log.push_back(tag + "selection"); };
        e.OnObjectDestroy = [this, tag](CtsxSobj o) {
            log.push_back(tag + "destroy " + tsxhost::FullName(o));
        };
        e.OnActiveTimeChanged = [this, tag](float t) {
            log.push_back(tag + "time " + std::to_string(static_cast<int>(t)));
        };
        e.OnObjectMove = [this, tag](CtsxTxmx3f&, std::int16_t) { log.push_back(tag + "move"); };
    }
    void UseTheHost() {
        CtsxSobj a = tsxhost::AddCube("A", 1);
        tsxhost::Select(a);
        tsxhost::SetTime(12);
        tsxhost::Drag(Translation(1, 0, 0));
        tsxhost::Delete(a);
    }
    std::vector<std::string> log;
};

TEST_F(TsxEventsTest, RegistersWhatIsHandledOnceTheNumberIsKnown) {
    auto& e = Make();
    AssignAll(e);
    Start();
    EXPECT_EQ(Registrations(), (std::vector<std::string>{
                                   "tsxSelectionChangedCB(7, cb)", "tsxOnDestroyCB(7, cb)",
                                   "tsxActiveTimeChangedCB(7, cb)", "tsxCurrobjMoveCB(7, cb)"}));
    tsxhost::ClearCallLog();
    e.SetActive(true);
    e.SetActive(false);
    e.SetActive(false);
    EXPECT_EQ(Registrations(),
              (std::vector<std::string>{"tsxSelectionChangedCB(7, 0)", "tsxOnDestroyCB(7, 0)",
                                        "tsxActiveTimeChangedCB(7, 0)", "tsxCurrobjMoveCB(7, 0)"}));

    form.reset();
    testing::ResetPlugUnit();
    tsxhost::ClearCallLog();
    Make().OnActiveTimeChanged = [](float) {};
    Start();
    EXPECT_EQ(Registrations(), std::vector<std::string>{"tsxActiveTimeChangedCB(7, cb)"});
}

TEST_F(TsxEventsTest, HostActionsReachTheHandlersAndTheMoveIsRewritten) {
    auto& e = Make();
    AssignAll(e);
    Start();
    UseTheHost();
    EXPECT_EQ(log,
              (std::vector<std::string>{"selection", "time 12", "move", "destroy A", "selection"}));
    // What the move handler leaves in the matrix is what the host applies.
    e.SetActive(false);
    e.OnObjectMove = [](CtsxTxmx3f& m, std::int16_t) {
        EXPECT_EQ(m.m[3], 5);
        m = Translation(0, 2, 0);
    };
    e.SetActive(true);
    CtsxSobj a = tsxhost::AddCube("A", 1);
    tsxhost::Select(a);
    tsxhost::Drag(Translation(5, 0, 0));
    CtsxVec3f p;
    tsxGNodeGetLocation(a, &p);
    EXPECT_FLOAT_EQ(p.x, 0);
    EXPECT_FLOAT_EQ(p.y, 2);
}

TEST_F(TsxEventsTest, SilentOnceFinalizingOrDestroyed) {
    AssignAll(Make());
    Start();
    FinalizePlugUnit();
    UseTheHost();
    EXPECT_TRUE(log.empty());

    testing::ResetPlugUnit();
    AssignAll(Make());
    Start();
    tsxhost::ClearCallLog();
    form.reset();
    EXPECT_TRUE(Registrations().empty()); // the host stays registered...
    UseTheHost();                         // ...and reaches no freed handler
    EXPECT_TRUE(log.empty());
}

TEST_F(TsxEventsTest, LastRegisteredWinsAndFreedEarlyIsNeverActivated) {
    auto& first = Make(3);
    AssignAll(first, "1:");
    AssignAll(*form->Events[1], "2:");
    fw::Free(form->Events[2]); // freed before the number is known
    Start();
    tsxhost::Select(nullptr);
    fw::Free(&first);
    tsxhost::Select(nullptr);
    EXPECT_EQ(log, (std::vector<std::string>{"2:selection", "2:selection"}));
}

} // namespace
} // namespace vel
