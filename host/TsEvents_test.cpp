#include "TsEvents.h"

#include <functional>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "PlugTestEnv.h"
#include "TsOwnedForm.h"

namespace vel {
namespace {

// tsxRegisterEventCallback calls as "class,flag".
std::vector<std::string> EventRegistrations() {
    static const std::regex call(R"(tsxRegisterEventCallback\((-?\d+), 0x[0-9a-f]+, (\d)\))");
    std::vector<std::string> out;
    std::smatch m;
    for (const std::string& line : tsxhost::CallLog())
        if (std::regex_match(line, m, call)) out.push_back(m[1].str() + "," + m[2].str());
    return out;
}

class TEventsForm : public TTsOwnedForm {
public:
    explicit TEventsForm(const std::function<void(TTsEvents&)>& assign) : TTsOwnedForm(nullptr) {
        LoadComponents([&] {
            fw::Create<TTsx>(this);
            assign(*(Events = fw::Create<TTsEvents>(this)));
        });
    }
    TTsEvents* Events = nullptr;
};

class TsEventsTest : public PlugFormTest<TEventsForm, true> {
protected:
    TTsEvents& Start(const std::function<void(TTsEvents&)>& assign) {
        form = std::make_unique<TEventsForm>(assign);
        PlugFormTest::Start();
        return *form->Events;
    }
    // Each event logs its name and the record's second field.
    void AssignAll(TTsEvents& e) {
        int i = 0;
        for (auto* ev : {&e.OnRenderInit, &e.OnRenderBegin, &e.OnRenderEnd, &e.OnRenderFrameStart,
                         &e.OnRenderFrameEnd, &e.OnRenderAbort, &e.OnRenderError})
            *ev = [this, i = i++](const tsxEventRenderData& d) {
                log.push_back("render" + std::to_string(i) + " " + std::to_string(int(d.frame)));
            };
        for (auto* ev : {&e.OnMouseMessage, &e.OnMouseEvent, &e.OnMouseDrag})
            *ev = [this, i = i++](const tsxEventMouseData& d) {
                log.push_back("mouse" + std::to_string(i) + " " + std::to_string(d.x));
            };
        e.OnViewEvent = [this](const tsxEventViewMsgData& d) {
            log.push_back("view " + std::to_string(d.view));
        };
        for (auto* ev :
             {&e.OnAppStart, &e.OnAppClose, &e.OnSceneClose, &e.OnSceneNew, &e.OnSceneLoad})
            *ev = [this, i = i++] { log.push_back("general" + std::to_string(i)); };
        e.OnOtherGeneral = [this](std::int32_t c) { log.push_back("other " + std::to_string(c)); };
    }
    std::vector<std::string> log;
};

TEST_F(TsEventsTest, RegistersTheClassesWhoseHandlersAreAssigned) {
    const std::vector<std::pair<std::function<void(TTsEvents&)>, std::vector<std::string>>> cases =
        {{[](TTsEvents&) {}, {}},
         {[](TTsEvents& e) { e.OnRenderError = [](const tsxEventRenderData&) {}; }, {"0,1"}},
         {[](TTsEvents& e) { e.OnMouseDrag = [](const tsxEventMouseData&) {}; }, {"1,1"}},
         {[](TTsEvents& e) {
              e.OnOtherGeneral = [](std::int32_t) {};
              e.OnRenderBegin = [](const tsxEventRenderData&) {};
          },
          {"3,1", "0,1"}},
         {[this](TTsEvents& e) { AssignAll(e); }, {"3,1", "0,1", "1,1", "2,1"}}};
    for (const auto& [assign, expected] : cases) {
        form.reset();
        testing::ResetPlugUnit();
        tsxhost::ClearCallLog();
        Start(assign);
        EXPECT_EQ(EventRegistrations(), expected);
    }
    // Removed on destruction, all four classes whatever was registered.
    tsxhost::ClearCallLog();
    form.reset();
    EXPECT_EQ(EventRegistrations(), (std::vector<std::string>{"3,0", "0,0", "1,0", "2,0"}));
    tsxhost::SendGeneralEvent(e_tsxGA_SCNLOAD);
    EXPECT_TRUE(log.empty());
}

TEST_F(TsEventsTest, DispatchByClassAndCode) {
    Start([this](TTsEvents& e) { AssignAll(e); });
    for (int code : {0, 1, 2, 3, 4, 5, 7, -3})
        tsxhost::SendGeneralEvent(code);
    EXPECT_EQ(log, (std::vector<std::string>{"general10", "general11", "general12", "general13",
                                             "general14", "other 5", "other 7", "other -3"}));
    log.clear();
    for (int code : {0, 1, 2, 3, 4, 5, 6, 7, 9, -1})
        tsxhost::SendRenderEvent(code, static_cast<float>(10 + code));
    EXPECT_EQ(log, (std::vector<std::string>{"render0 10", "render1 11", "render2 12", "render3 13",
                                             "render4 14", "render5 15", "render6 16"}));
    log.clear();
    for (int code : {0, 1, 2, 3, 4})
        tsxhost::SendMouseEvent(code, 100 + code);
    EXPECT_EQ(log, (std::vector<std::string>{"mouse7 101", "mouse8 102", "mouse9 103"}));
    log.clear();
    tsxEventViewMsgData view{-40, 3};
    EventCallback(TSX_EVENT_VIEW, &view);
    EventCallback(4, &view);
    EventCallback(TSX_EVENT_GENERAL, nullptr);
    EXPECT_EQ(log, std::vector<std::string>{"view 3"});
}

TEST_F(TsEventsTest, GeneralCodeWithoutItsHandlerIsNotOther) {
    Start([this](TTsEvents& e) {
        e.OnOtherGeneral = [this](std::int32_t c) { log.push_back(std::to_string(c)); };
    });
    tsxhost::SendGeneralEvent(e_tsxGA_SCNLOAD);
    EXPECT_TRUE(log.empty());
}

} // namespace
} // namespace vel
