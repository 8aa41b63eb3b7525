#include "TsxPlug.h"

#include <cfenv>
#include <cmath>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Forms.h"
#include "Hooks.h"
#include "Input.h"
#include "Modules.h"
#include "TsOwnedForm.h"
#include "TsxHost.h"

namespace vel {
namespace {

std::vector<std::string> gLog;

// A component that queues its set-up the way the event components do.
class TQueuedComponent : public fw::TComponent {
public:
    TQueuedComponent(fw::TComponent* owner, std::string tag)
        : fw::TComponent(owner), FTag(std::move(tag)) {
        CallAfterInit(&TQueuedComponent::Run, this);
    }
    static void Run(void* self) {
        gLog.push_back("init " + static_cast<TQueuedComponent*>(self)->FTag);
    }

private:
    std::string FTag;
};

class TTestForm : public TTsOwnedForm {
public:
    explicit TTestForm(fw::TComponent* owner, std::string title = "Test Title",
                       TTsxStyle style = TTsxStyle::tsStayOn)
        : TTsOwnedForm(owner) {
        LoadComponents([&] {
            Tsx = fw::Create<TTsx>(this);
            Tsx->SetTitle(title);
            Tsx->SetAuthor("Orrendale");
            Tsx->SetResBmpId(101);
            Tsx->SetResStringId(1);
            Tsx->SetApiVersionNeeded(430);
            Tsx->SetTsxStyle(style);
            Tsx->OnPlugInit = [] { gLog.push_back("plug init"); };
            Tsx->OnLeftClick = [] { gLog.push_back("left"); };
            Tsx->OnRightClick = [] { gLog.push_back("right"); };
            Tsx->OnDeactivate = [] { gLog.push_back("deactivate"); };
            fw::Create<TQueuedComponent>(this, "a");
            fw::Create<TQueuedComponent>(this, "b");
        });
    }
    TTsx* Tsx = nullptr;
};

class PlugTest : public ::testing::Test {
protected:
    void SetUp() override {
        tsxhost::Reset();
        tsxhost::AttachPlugin(
            {tsxGetVersion, tsxGetData, tsxOnLeftClick, tsxOnRightClick, tsxDeactivate});
        testing::ResetPlugUnit();
        gLog.clear();
    }
    void TearDown() override {
        form.reset();
        FinalizePlugUnit(); // removes any hooks a test installed
        testing::ResetPlugUnit();
    }
    TTestForm& MakeForm(std::string title = "Test Title", TTsxStyle style = TTsxStyle::tsStayOn) {
        form = std::make_unique<TTestForm>(nullptr, std::move(title), style);
        return *form;
    }
    std::unique_ptr<TTestForm> form;
};

std::vector<std::uint8_t> Descriptor(int pluginId) {
    std::vector<std::uint8_t> buf(120, 0xCC);
    tsxGetData(reinterpret_cast<CtsxPluginData*>(buf.data()), pluginId);
    return buf;
}

TEST_F(PlugTest, StartUpQueueRunsOnceInOrder) {
    MakeForm();
    EXPECT_EQ(PluginId(), -1);
    EXPECT_EQ(testing::QueuedInitCount(), 2u);
    EXPECT_TRUE(gLog.empty());

    Descriptor(7);
    EXPECT_EQ(PluginId(), 7);
    EXPECT_TRUE(PluginInitialized());
    EXPECT_EQ(gLog, (std::vector<std::string>{"init a", "init b", "plug init"}));

    // Another number later: stored, nothing runs again.
    Descriptor(9);
    EXPECT_EQ(PluginId(), 9);
    EXPECT_EQ(gLog.size(), 3u);

    // After initialisation the work runs at once, in the caller's flow.
    CallAfterInit([](void*) { gLog.push_back("late"); }, nullptr);
    EXPECT_EQ(gLog.back(), "late");
}

TEST_F(PlugTest, WorkQueuedWhileTheQueueRunsIsNotLost) {
    auto& f = MakeForm();
    CallAfterInit(
        [](void*) {
            gLog.push_back("outer");
            CallAfterInit([](void*) { gLog.push_back("nested"); }, nullptr);
        },
        nullptr);
    f.Tsx->OnPlugInit = [] {
        gLog.push_back("plug init");
        CallAfterInit([](void*) { gLog.push_back("from plug init"); }, nullptr);
    };
    f.Tsx->InstallHandlers();
    Descriptor(1);
    EXPECT_EQ(gLog, (std::vector<std::string>{"init a", "init b", "outer", "nested", "plug init",
                                              "from plug init"}));
    EXPECT_EQ(testing::QueuedInitCount(), 0u);
}

TEST_F(PlugTest, StartUpWorkThatThrowsStopsNothingQueuedAfterIt) {
    auto& f = MakeForm();
    CallAfterInit([](void*) { throw std::runtime_error("queued"); }, nullptr);
    CallAfterInit([](void*) { gLog.push_back("after"); }, nullptr);
    f.Tsx->OnPlugInit = [] {
        gLog.push_back("plug init");
        throw std::runtime_error("plug init");
    };
    f.Tsx->InstallHandlers();
    Descriptor(1);
    EXPECT_EQ(gLog, (std::vector<std::string>{"init a", "init b", "after", "plug init"}));
    EXPECT_TRUE(PluginInitialized());
    EXPECT_EQ(testing::QueuedInitCount(), 0u);
    CallAfterInit([](void*) { gLog.push_back("late"); }, nullptr);
    EXPECT_EQ(gLog.back(), "late");
}

TEST_F(PlugTest, NoComponentsOnlyStoresTheNumberAndFillsTheDescriptor) {
    auto d = Descriptor(3);
    EXPECT_EQ(PluginId(), 3);
    EXPECT_FALSE(PluginInitialized());
    EXPECT_TRUE(gLog.empty());
    EXPECT_EQ(std::string(reinterpret_cast<char*>(d.data())), "Velmarch Pro");
}

TEST_F(PlugTest, DescriptorFieldsAndBounds) {
    struct Case {
        std::string title;
        bool terminated;
    };
    for (const Case& c : {Case{std::string(31, 'T'), true}, Case{std::string(32, 'U'), false},
                          Case{std::string(40, 'V'), false}}) {
        SCOPED_TRACE(c.title.size());
        form.reset();
        testing::ResetPlugUnit();
        MakeForm(c.title);
        form->Tsx->SetAuthor(std::string(64, 'A'));
        form->Tsx->SetResBmpId(0x12345);
        form->Tsx->SetResStringId(-2);
        form->Tsx->Loaded();
        auto d = Descriptor(1);
        const std::size_t n = std::min<std::size_t>(c.title.size(), 32);
        EXPECT_EQ(std::memcmp(d.data(), c.title.data(), n), 0);
        if (c.terminated) {
            EXPECT_EQ(d[n], 0);
        }
        // The 64-character author fills its field with no terminator.
        EXPECT_EQ(std::string(reinterpret_cast<char*>(d.data() + 32), 64), std::string(64, 'A'));
        EXPECT_EQ(d[96] | d[97] << 8, 0x2345);
        EXPECT_EQ(d[98] | d[99] << 8, 0xFFFE);
        for (std::size_t i = 100; i < d.size(); ++i)
            ASSERT_EQ(d[i], 0xCC) << i;
    }
}

TEST_F(PlugTest, ClickDeactivateAndActivateCycle) {
    MakeForm();
    Descriptor(5);
    EXPECT_EQ(tsxGetVersion(), 430);
    EXPECT_EQ(tsxOnLeftClick(), 1);
    EXPECT_TRUE(PluginActive());
    tsxOnRightClick();
    tsxDeactivate();
    EXPECT_FALSE(PluginActive());
    EXPECT_EQ(gLog.back(), "deactivate");
    EXPECT_EQ(gLog[gLog.size() - 2], "right");

    // Activation asks the host to click, which reaches the left-click export.
    gLog.clear();
    ActivatePlugin();
    EXPECT_TRUE(PluginActive());
    EXPECT_EQ(gLog, std::vector<std::string>{"left"});
    ActivatePlugin(); // already active: the host is not asked again
    EXPECT_EQ(gLog.size(), 1u);
}

TEST_F(PlugTest, HostWithoutTheEntryPointsByName) {
    fw::FailSymbolLookup("tsxForceLeftClick");
    fw::FailSymbolLookup("tsxGetMainViewHwnd");
    MakeForm();
    Descriptor(5);
    EXPECT_EQ(MainViewHwnd(), nullptr);
    gLog.clear();
    ActivatePlugin(); // nothing to click with: stays inactive, nothing called
    EXPECT_FALSE(PluginActive());
    EXPECT_TRUE(gLog.empty());
    fw::ClearFailedSymbolLookups();
}

TEST_F(PlugTest, EachStyleSetsActiveAsItShould) {
    for (auto style : {TTsxStyle::tsOneClick, TTsxStyle::tsStayOn, TTsxStyle::tsStayRes}) {
        form.reset();
        testing::ResetPlugUnit();
        MakeForm("t", style);
        Descriptor(1);
        gLog.clear();
        EXPECT_EQ(tsxOnLeftClick(), static_cast<int>(style));
        EXPECT_EQ(gLog, std::vector<std::string>{"left"});
        EXPECT_EQ(PluginActive(), style == TTsxStyle::tsStayOn);
    }
}

TEST_F(PlugTest, NothingHappensWhileFinalizing) {
    MakeForm();
    Descriptor(5);
    tsxOnLeftClick();
    FinalizePlugUnit();
    gLog.clear();
    tsxDeactivate();
    EXPECT_TRUE(PluginActive());
    tsxDeactivate();
    tsxDeactivate();
    EXPECT_TRUE(gLog.empty());

    testing::ResetPlugUnit();
    MakeForm();
    Descriptor(5);
    gLog.clear();
    FinalizePlugUnit();
    ActivatePlugin();
    EXPECT_FALSE(PluginActive());
    EXPECT_TRUE(gLog.empty());
}

TEST_F(PlugTest, HandlersAreCopiedAtLoadAndDroppedWithTheComponent) {
    auto& f = MakeForm();
    Descriptor(1);
    f.Tsx->OnLeftClick = [] { gLog.push_back("changed"); };
    tsxOnLeftClick();
    EXPECT_EQ(gLog.back(), "left");
    form.reset();
    gLog.clear();
    tsxOnLeftClick();
    tsxOnRightClick();
    tsxDeactivate();
    EXPECT_TRUE(gLog.empty());
}

TEST_F(PlugTest, ComponentNotOwnedByAFormSetsNothingUp) {
    fw::TComponent owner(nullptr);
    auto* t = fw::Create<TTsx>(&owner);
    t->OnPlugInit = [] { gLog.push_back("plug init"); };
    t->Loaded();
    Descriptor(1);
    EXPECT_TRUE(gLog.empty());
    EXPECT_EQ(t->OwnerForm(), nullptr);
}

int gNextHookCalls = 0;
fw::THookHandle gRecorder = nullptr;
fw::LRESULT RecordingHook(int code, fw::WPARAM w, fw::LPARAM l) {
    ++gNextHookCalls;
    return fw::CallNextHook(gRecorder, code, w, l);
}

TEST_F(PlugTest, HooksTrapInputAndPassItOnUnlessSwallowed) {
    gRecorder = fw::InstallThreadHook(fw::THookKind::Mouse, RecordingHook);
    gNextHookCalls = 0;
    auto& f = MakeForm();
    f.Tsx->SetHookMouse(true);
    f.Tsx->SetHookKeys(true);
    f.Tsx->Loaded();
    f.Tsx->Loaded(); // installed once only

    // No mouse handler: the message goes on to the next hook.
    fw::MouseMoveTo({10, 10});
    EXPECT_EQ(gNextHookCalls, 1);

    int trapped = 0;
    f.Tsx->OnTrapMouse = [&](std::uint32_t, std::uint32_t) {
        ++trapped;
        return false;
    };
    fw::MouseMoveTo({20, 20});
    EXPECT_EQ(trapped, 1);
    EXPECT_EQ(gNextHookCalls, 1);

    f.Tsx->OnTrapMouse = [&](std::uint32_t, std::uint32_t) { return true; };
    fw::MouseMoveTo({30, 30});
    EXPECT_EQ(gNextHookCalls, 2);

    std::vector<std::uint32_t> keys;
    f.Tsx->OnTrapKey = [&](std::uint32_t w, std::uint32_t) { keys.push_back(w); };
    fw::KeyDown('A');
    EXPECT_EQ(keys, std::vector<std::uint32_t>{'A'});

    // Unloading removes the plug-in's hooks; the recorder sees everything again.
    FinalizePlugUnit();
    fw::MouseMoveTo({40, 40});
    EXPECT_EQ(gNextHookCalls, 3);
    fw::RemoveHook(gRecorder);
}

TEST(SafeTrunc, TruncatesTowardZeroAndRejectsWhatDoesNotFit) {
    EXPECT_EQ(SafeTrunc(2.9f), 2);
    EXPECT_EQ(SafeTrunc(-2.9f), -2);
    EXPECT_EQ(SafeTrunc(0.0f), 0);
    // Low 32 bits of the 64-bit truncation.
    EXPECT_EQ(SafeTrunc(4294967296.0f), 0);
    EXPECT_EQ(SafeTrunc(4294967296.0f * 2 + 0), 0);
    EXPECT_EQ(SafeTrunc(3000000000.0f), static_cast<std::int32_t>(3000000000u));
    EXPECT_EQ(SafeTrunc(std::numeric_limits<float>::quiet_NaN()), 0);
    EXPECT_EQ(SafeTrunc(std::numeric_limits<float>::infinity()), 0);
    EXPECT_EQ(SafeTrunc(-std::numeric_limits<float>::infinity()), 0);
    EXPECT_EQ(SafeTrunc(1e30f), 0);
    EXPECT_EQ(SafeTrunc(-1e30f), 0);
    EXPECT_EQ(SafeTrunc(-9223372036854775808.0f), 0);
}

TEST(Fpu, ClearFpuExceptionsClearsPendingFlags) {
    volatile float zero = 0.0f;
    volatile float r = 1.0f / zero;
    (void)r;
    ClearFpuExceptions();
    EXPECT_EQ(std::fetestexcept(FE_ALL_EXCEPT), 0);
}

} // namespace
} // namespace vel
