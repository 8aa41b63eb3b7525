#include "Clipbrd.h"
#include "NoDestroy.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>

namespace fw {
namespace {

struct TClipboardState {
    bool Open = false;
    bool Busy = false;
    HWND Opener = nullptr;
    HWND Owner = nullptr;
    std::vector<std::pair<UINT, THGlobal>> Blocks;
    std::shared_ptr<TClipboardDataSource> Source;
};

// Never destroyed: a data source may refer to windows that go first at exit.
TClipboardState& Clip() {
    static TNoDestroy<TClipboardState> S;
    return *S;
}

// Registered names by their lower-case spelling, and the spelling first given.
struct TFormatNames {
    std::map<std::string, UINT> Numbers;
    std::vector<std::string> Names; // index = number - CF_REGISTERED_FIRST
};

TFormatNames& Names() {
    static TNoDestroy<TFormatNames> N;
    return *N;
}

std::string Lower(std::string S) {
    for (char& C : S)
        C = static_cast<char>(std::tolower(static_cast<unsigned char>(C)));
    return S;
}

// The source goes; it hears of it after the clipboard no longer holds it.
void DropSource() {
    std::shared_ptr<TClipboardDataSource> Old = std::move(Clip().Source);
    Clip().Source.reset();
    if (Old) Old->Released();
}

THGlobal FindBlock(UINT Format) {
    for (auto& [F, B] : Clip().Blocks)
        if (F == Format) return B;
    return nullptr;
}

void PutBlock(UINT Format, THGlobal Data) {
    for (auto& [F, B] : Clip().Blocks)
        if (F == Format) {
            B = std::move(Data);
            return;
        }
    Clip().Blocks.emplace_back(Format, std::move(Data));
}

} // namespace

THGlobal GlobalAlloc(std::size_t Size) {
    return std::make_shared<std::vector<std::uint8_t>>(Size);
}

UINT RegisterClipboardFormat(const std::string& Name) {
    if (Name.empty()) return 0;
    TFormatNames& N = Names();
    const std::string Key = Lower(Name);
    if (auto It = N.Numbers.find(Key); It != N.Numbers.end()) return It->second;
    if (N.Names.size() >= 0x3FFF) return 0;
    const UINT Number = CF_REGISTERED_FIRST + static_cast<UINT>(N.Names.size());
    N.Names.push_back(Name);
    N.Numbers[Key] = Number;
    return Number;
}

std::string GetClipboardFormatName(UINT Format) {
    const TFormatNames& N = Names();
    if (Format < CF_REGISTERED_FIRST || Format - CF_REGISTERED_FIRST >= N.Names.size()) return {};
    return N.Names[Format - CF_REGISTERED_FIRST];
}

bool OpenClipboard(HWND Owner) {
    TClipboardState& S = Clip();
    if (S.Busy || S.Open) return false;
    S.Open = true;
    S.Opener = Owner;
    return true;
}

bool CloseClipboard() {
    TClipboardState& S = Clip();
    if (!S.Open) return false;
    S.Open = false;
    S.Opener = nullptr;
    return true;
}

bool ClipboardOpen() {
    return Clip().Open;
}

bool EmptyClipboard() {
    TClipboardState& S = Clip();
    if (!S.Open) return false;
    S.Blocks.clear();
    S.Owner = S.Opener;
    DropSource();
    return true;
}

HWND ClipboardOwner() {
    return Clip().Owner;
}

bool SetClipboardData(UINT Format, THGlobal Data) {
    if (!Clip().Open || Format == 0 || !Data) return false;
    PutBlock(Format, std::move(Data));
    return true;
}

THGlobal GetClipboardData(UINT Format) {
    TClipboardState& S = Clip();
    if (!S.Open) return nullptr;
    if (THGlobal B = FindBlock(Format)) return B;
    if (!S.Source) return nullptr;
    const std::vector<UINT> Offered = S.Source->Formats();
    if (std::find(Offered.begin(), Offered.end(), Format) == Offered.end()) return nullptr;
    THGlobal B = S.Source->Render(Format);
    if (B) PutBlock(Format, B);
    return B;
}

bool IsClipboardFormatAvailable(UINT Format) {
    const std::vector<UINT> All = ClipboardFormats();
    return std::find(All.begin(), All.end(), Format) != All.end();
}

std::vector<UINT> ClipboardFormats() {
    TClipboardState& S = Clip();
    std::vector<UINT> Result;
    for (const auto& [F, B] : S.Blocks)
        Result.push_back(F);
    if (S.Source)
        for (UINT F : S.Source->Formats())
            if (std::find(Result.begin(), Result.end(), F) == Result.end()) Result.push_back(F);
    return Result;
}

bool SetClipboardSource(std::shared_ptr<TClipboardDataSource> Source) {
    if (!OpenClipboard(nullptr)) return false;
    EmptyClipboard();
    Clip().Source = std::move(Source);
    CloseClipboard();
    return true;
}

std::shared_ptr<TClipboardDataSource> ClipboardSource() {
    return Clip().Source;
}

void FlushClipboard() {
    TClipboardState& S = Clip();
    if (!S.Source) return;
    for (UINT F : S.Source->Formats())
        if (!FindBlock(F))
            if (THGlobal B = S.Source->Render(F)) PutBlock(F, std::move(B));
    DropSource();
}

namespace {

// A format's block, opening the clipboard for the read unless it is open.
THGlobal ReadBlock(UINT Format) {
    const bool WasOpen = Clip().Open;
    if (!WasOpen && !OpenClipboard(nullptr)) return nullptr;
    THGlobal B = GetClipboardData(Format);
    if (!WasOpen) CloseClipboard();
    return B;
}

} // namespace

std::string ClipboardText() {
    THGlobal B = ReadBlock(CF_TEXT);
    if (!B) return {};
    const auto* P = reinterpret_cast<const char*>(B->data());
    return std::string(P, strnlen(P, B->size()));
}

void SetClipboardText(const std::string& Text) {
    if (!OpenClipboard(nullptr)) return;
    EmptyClipboard();
    THGlobal B = GlobalAlloc(Text.size() + 1);
    std::memcpy(B->data(), Text.data(), Text.size());
    SetClipboardData(CF_TEXT, std::move(B));
    CloseClipboard();
}

std::u16string ClipboardWideText() {
    THGlobal B = ReadBlock(CF_UNICODETEXT);
    if (!B) {
        std::u16string R;
        for (char C : ClipboardText())
            R.push_back(static_cast<char16_t>(static_cast<unsigned char>(C)));
        return R;
    }
    std::u16string R;
    for (std::size_t I = 0; I + 1 < B->size(); I += 2) {
        const auto U = static_cast<char16_t>((*B)[I] | ((*B)[I + 1] << 8));
        if (U == 0) break;
        R.push_back(U);
    }
    return R;
}

void SetClipboardWideText(const std::u16string& Text) {
    if (!OpenClipboard(nullptr)) return;
    EmptyClipboard();
    THGlobal W = GlobalAlloc(2 * (Text.size() + 1));
    THGlobal A = GlobalAlloc(Text.size() + 1);
    for (std::size_t I = 0; I < Text.size(); ++I) {
        (*W)[2 * I] = static_cast<std::uint8_t>(Text[I] & 0xFF);
        (*W)[2 * I + 1] = static_cast<std::uint8_t>(Text[I] >> 8);
        (*A)[I] = static_cast<std::uint8_t>(Text[I] <= 0xFF ? Text[I] : u'?');
    }
    SetClipboardData(CF_UNICODETEXT, std::move(W));
    SetClipboardData(CF_TEXT, std::move(A));
    CloseClipboard();
}

void SetClipboardBusy(bool Busy) {
    Clip().Busy = Busy;
}

void ResetClipboard() {
    TClipboardState& S = Clip();
    S.Blocks.clear();
    DropSource();
    S = TClipboardState{};
}

} // namespace fw
