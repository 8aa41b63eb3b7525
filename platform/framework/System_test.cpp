#include "CodePage.h"
#include "Hooks.h"
#include "Input.h"
#include "ScopeExit.h"
#include "Modules.h"
#include "Timers.h"

#include <gtest/gtest.h>

#include <cfenv>
#include <string>
#include <vector>

namespace fw {
namespace {

bool EndsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

int LocalFunction() {
    return 1;
}

TEST(Modules, LoadsAModuleByFileNameAndFindsItsSymbols) {
    ModuleHandle h = LoadModule("libframework.so");
    ASSERT_NE(h, nullptr) << LastModuleError();
    void* sym = FindSymbol(h, "_ZN2fw12GetTickCountEv");
    EXPECT_EQ(sym, reinterpret_cast<void*>(&GetTickCount));
    EXPECT_EQ(FindSymbol(h, "no_such_symbol_here"), nullptr);
    EXPECT_TRUE(FreeModule(h));
}

TEST(Modules, MissingModulesAnswerNullWithAReason) {
    EXPECT_EQ(LoadModule("no-such-module.so"), nullptr);
    EXPECT_FALSE(LastModuleError().empty());
    EXPECT_EQ(LoadModule(""), nullptr);
    EXPECT_EQ(FindSymbol(nullptr, "x"), nullptr);
}

TEST(Modules, FindsLoadedModulesByBaseNameRegardlessOfCase) {
    ModuleHandle h = FindLoadedModule("LibFramework.so");
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h, ModuleOfAddress(reinterpret_cast<const void*>(&GetTickCount)));
    const std::string path = ModuleFileName(h);
    EXPECT_TRUE(EndsWith(path, "/libframework.so")) << path;
    EXPECT_EQ(path.front(), '/');
    EXPECT_EQ(FindLoadedModule("framework.so"), nullptr); // whole base names only
    EXPECT_EQ(FindLoadedModule(""), nullptr);
}

TEST(Modules, TheProgramIsAModuleToo) {
    ModuleHandle self = ModuleOfAddress(reinterpret_cast<const void*>(&LocalFunction));
    ASSERT_NE(self, nullptr);
    const std::string path = ModuleFileName(self);
    EXPECT_TRUE(EndsWith(path, "/framework_tests")) << path;
    EXPECT_EQ(ModuleFileName(nullptr), path);
    EXPECT_EQ(FindLoadedModule("framework_tests"), self);
    EXPECT_EQ(ModuleOfAddress(nullptr), nullptr);
}

TEST(FloatState, ClearingDropsPendingFlagsAndKeepsTheRoundingMode) {
    const int mode = std::fegetround();
    std::fesetround(FE_UPWARD);
    std::feraiseexcept(FE_DIVBYZERO | FE_INVALID);
    ASSERT_NE(std::fetestexcept(FE_ALL_EXCEPT), 0);
    ClearFloatExceptions();
    EXPECT_EQ(std::fetestexcept(FE_ALL_EXCEPT), 0);
    EXPECT_EQ(std::fegetround(), FE_UPWARD);
    std::fesetround(mode);
}

// Hook procedures are plain functions, so they report through globals.
std::vector<std::string> gHookLog;
THookHandle gFirst = nullptr;
THookHandle gSecond = nullptr;

LRESULT FirstHook(int code, WPARAM w, LPARAM l) {
    gHookLog.push_back("first");
    return CallNextHook(gFirst, code, w, l);
}
LRESULT SecondPassesOn(int code, WPARAM w, LPARAM l) {
    gHookLog.push_back("second");
    return CallNextHook(gSecond, code, w, l);
}
LRESULT SecondSwallows(int, WPARAM, LPARAM) {
    gHookLog.push_back("second");
    return 1;
}

TEST(Hooks, NewestRunsFirstAndPassesOnThroughCallNextHook) {
    gHookLog.clear();
    gFirst = InstallThreadHook(THookKind::Keyboard, FirstHook);
    gSecond = InstallThreadHook(THookKind::Keyboard, SecondPassesOn);
    EXPECT_EQ(RunHookChain(THookKind::Keyboard, HC_ACTION, 65, 0), 0);
    EXPECT_EQ(gHookLog, (std::vector<std::string>{"second", "first"}));
    gHookLog.clear();
    EXPECT_EQ(RunHookChain(THookKind::Mouse, HC_ACTION, 0, 0), 0); // another chain
    EXPECT_TRUE(gHookLog.empty());
    EXPECT_TRUE(RemoveHook(gSecond));
    EXPECT_TRUE(RemoveHook(gFirst));
    EXPECT_FALSE(RemoveHook(gFirst));
    EXPECT_FALSE(HasHooks(THookKind::Keyboard));
}

TEST(Hooks, AHookThatAnswersWithoutPassingOnStopsTheChain) {
    gHookLog.clear();
    gFirst = InstallThreadHook(THookKind::Mouse, FirstHook);
    gSecond = InstallThreadHook(THookKind::Mouse, SecondSwallows);
    EXPECT_EQ(RunHookChain(THookKind::Mouse, HC_ACTION, 0, 0), 1);
    EXPECT_EQ(gHookLog, std::vector<std::string>{"second"});
    RemoveHook(gSecond);
    gHookLog.clear();
    RunHookChain(THookKind::Mouse, HC_ACTION, 0, 0);
    EXPECT_EQ(gHookLog, std::vector<std::string>{"first"});
    RemoveHook(gFirst);
}

LRESULT CountSent(int, WPARAM, LPARAM l) {
    const auto* cwp = reinterpret_cast<const TCwpStruct*>(l);
    gHookLog.push_back(std::to_string(cwp->message));
    return 0;
}

TEST(Hooks, CallWndProcHookSeesSentMessages) {
    gHookLog.clear();
    HWND w = CreateWindowHandle([](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return 0; });
    THookHandle h = InstallThreadHook(THookKind::CallWndProc, CountSent);
    SendMessage(w, WM_NCACTIVATE, 0, 0);
    RemoveHook(h);
    SendMessage(w, WM_NCACTIVATE, 0, 0);
    EXPECT_EQ(gHookLog, std::vector<std::string>{std::to_string(WM_NCACTIVATE)});
    DestroyWindowHandle(w);
}

TEST(CodePages, AChosenDoubleByteCodePageHasItsLeadBytesAndTurnsTheMetricOn) {
    ASSERT_EQ(GetACP(), 1252u);
    EXPECT_EQ(GetSystemMetrics(SM_DBCSENABLED), 0);
    EXPECT_FALSE(IsDBCSLeadByte(0x81));
    TScopeExit Restore([] { SetSystemCodePage(1252); });
    EXPECT_FALSE(SetSystemCodePage(12345)); // unknown: nothing changes
    EXPECT_EQ(GetACP(), 1252u);
    ASSERT_TRUE(SetSystemCodePage(932));
    EXPECT_EQ(GetACP(), 932u);
    EXPECT_EQ(GetSystemMetrics(SM_DBCSENABLED), 1);
    // Shift-JIS: 0x81-0x9F and 0xE0-0xFC lead; the half-width kana between do not.
    for (int B : {0x81, 0x9F, 0xE0, 0xFC})
        EXPECT_TRUE(IsDBCSLeadByte(static_cast<std::uint8_t>(B))) << B;
    for (int B : {0x00, 0x0D, 0x41, 0x80, 0xA0, 0xDF, 0xFD, 0xFF})
        EXPECT_FALSE(IsDBCSLeadByte(static_cast<std::uint8_t>(B))) << B;
    EXPECT_TRUE(IsDBCSLeadByteEx(936, 0xFE));
    EXPECT_FALSE(IsDBCSLeadByteEx(1252, 0xFE));
    EXPECT_FALSE(IsDBCSLeadByteEx(777, 0x81));
    ASSERT_TRUE(SetSystemCodePage(1251));
    EXPECT_EQ(GetSystemMetrics(SM_DBCSENABLED), 0);
    EXPECT_FALSE(IsDBCSLeadByte(0x81));
}

} // namespace
} // namespace fw
