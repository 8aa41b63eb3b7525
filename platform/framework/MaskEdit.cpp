#include "MaskEdit.h"

#include "Clipbrd.h"
#include "Input.h"

#include <cctype>

namespace fw {

namespace {

// One position of a mask: the character and whether it is a literal.
struct TMaskPos {
    char Ch;
    bool Literal;
};

// The mask's positions from `At` (a mask index), advancing it.
bool NextPos(std::string_view Mask, std::size_t& At, TMaskPos& P) {
    if (At >= Mask.size()) return false;
    if (Mask[At] == '\\' && At + 1 < Mask.size()) {
        P = {Mask[At + 1], true};
        At += 2;
        return true;
    }
    const char C = Mask[At++];
    const bool Input = C == '9' || C == '0' || C == '#' || C == 'L' || C == 'A' || C == '?';
    P = {C, !Input};
    return true;
}

bool Fits(const TMaskPos& P, char Ch) {
    const auto U = static_cast<unsigned char>(Ch);
    if (P.Literal) return Ch == P.Ch;
    switch (P.Ch) {
    case '9':
    case '0':
        return std::isdigit(U) != 0;
    case '#':
        return std::isdigit(U) || Ch == '+' || Ch == '-' || Ch == ' ';
    case 'L':
        return std::isalpha(U) != 0;
    case 'A':
        return std::isalnum(U) != 0;
    default:
        return true;
    }
}

} // namespace

bool MaskAccepts(std::string_view Mask, std::string_view Text) {
    std::size_t At = 0;
    TMaskPos P{};
    for (char Ch : Text)
        if (!NextPos(Mask, At, P) || !Fits(P, Ch)) return false;
    return true;
}

bool MaskLiteralAt(std::string_view Mask, int Pos, char& Literal) {
    std::size_t At = 0;
    TMaskPos P{};
    for (int I = 0; I <= Pos; ++I)
        if (!NextPos(Mask, At, P)) return false;
    Literal = P.Ch;
    return P.Literal;
}

int MaskLength(std::string_view Mask) {
    std::size_t At = 0;
    TMaskPos P{};
    int N = 0;
    while (NextPos(Mask, At, P))
        ++N;
    return N;
}

TMaskEdit::TMaskEdit(TComponent* AOwner) : TEdit(AOwner) {}

bool TMaskEdit::ValidEdit(const std::string& Value) {
    if (FEditMask.empty()) return true;
    std::string Result = Text();
    Result.replace(static_cast<std::size_t>(SelStart()), static_cast<std::size_t>(SelLength()),
                   Value);
    if (MaskAccepts(FEditMask, Result)) return true;
    MessageBeep();
    return false;
}

void TMaskEdit::KeyPress(char& Key) {
    TEdit::KeyPress(Key);
    const auto U = static_cast<unsigned char>(Key);
    if (Key == 0 || FEditMask.empty() || U < 0x20 || U == 0x7F || ReadOnly()) return;
    const int Start = SelStart();
    std::string Base = Text();
    Base.erase(static_cast<std::size_t>(Start), static_cast<std::size_t>(SelLength()));
    // Literals the mask asks for at the caret come first, by themselves.
    std::string Lead;
    for (;;) {
        std::string Try = Base;
        Try.insert(static_cast<std::size_t>(Start), Lead + Key);
        if (MaskAccepts(FEditMask, Try)) {
            SetSelText(Lead + Key);
            Key = 0;
            return;
        }
        char Literal = 0;
        if (!MaskLiteralAt(FEditMask, Start + static_cast<int>(Lead.size()), Literal)) break;
        Lead += Literal;
    }
    Key = 0;
    MessageBeep();
}

void TMaskEdit::DefaultHandler(TMessage& Message) {
    // A paste the mask refuses is dropped.
    if (Message.Msg == WM_PASTE && !ValidEdit(ClipboardText())) return;
    TEdit::DefaultHandler(Message);
}

} // namespace fw
