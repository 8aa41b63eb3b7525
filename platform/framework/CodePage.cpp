#include "CodePage.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <bitset>

namespace fw {
namespace {

struct TLeadRange {
    std::uint8_t First;
    std::uint8_t Last;
};

struct TCodePage {
    unsigned Number;
    std::bitset<256> Lead;
};

TCodePage Make(unsigned Number, std::initializer_list<TLeadRange> Ranges) {
    TCodePage P{Number, {}};
    for (const TLeadRange& R : Ranges)
        for (unsigned B = R.First; B <= R.Last; ++B)
            P.Lead.set(B);
    return P;
}

// The platform's code pages; the double-byte ones with their lead-byte ranges.
const std::array<TCodePage, 16>& Pages() {
    static const std::array<TCodePage, 16> All{
        Make(1252, {}),
        Make(437, {}),
        Make(850, {}),
        Make(874, {}),
        Make(1250, {}),
        Make(1251, {}),
        Make(1253, {}),
        Make(1254, {}),
        Make(1255, {}),
        Make(1256, {}),
        Make(1257, {}),
        Make(1258, {}),
        Make(932, {{0x81, 0x9F}, {0xE0, 0xFC}}),
        Make(936, {{0x81, 0xFE}}),
        Make(949, {{0x81, 0xFE}}),
        Make(950, {{0x81, 0xFE}}),
    };
    return All;
}

const TCodePage* Find(unsigned Number) {
    const auto& All = Pages();
    const auto It = std::find_if(All.begin(), All.end(),
                                 [Number](const TCodePage& P) { return P.Number == Number; });
    return It == All.end() ? nullptr : &*It;
}

// Read from any thread; set by the program's main thread.
std::atomic<const TCodePage*>& Current() {
    static std::atomic<const TCodePage*> Page{&Pages()[0]};
    return Page;
}

} // namespace

unsigned GetACP() {
    return Current().load(std::memory_order_relaxed)->Number;
}

bool SetSystemCodePage(unsigned Number) {
    const TCodePage* P = Find(Number);
    if (!P) return false;
    Current().store(P, std::memory_order_relaxed);
    return true;
}

bool IsDBCSCodePage(unsigned Number) {
    const TCodePage* P = Find(Number);
    return P && P->Lead.any();
}

bool IsDBCSLeadByte(std::uint8_t Byte) {
    return Current().load(std::memory_order_relaxed)->Lead.test(Byte);
}

bool IsDBCSLeadByteEx(unsigned Number, std::uint8_t Byte) {
    const TCodePage* P = Find(Number);
    return P && P->Lead.test(Byte);
}

} // namespace fw
