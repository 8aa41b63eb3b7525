#include "TSMbcs.h"

namespace vel {

// No double-byte code page is ever the system's here.
const bool FarEastLocale = false;

namespace {

bool IsLead(unsigned char) {
    return FarEastLocale;
}

unsigned char At(std::string_view t, std::size_t i) {
    return i < t.size() ? static_cast<unsigned char>(t[i]) : 0;
}

bool IsBreakByte(unsigned char c) {
    return c == 13 || c == 10;
}

} // namespace

TtsByteKind ByteKindAt(std::string_view text, std::size_t index) {
    TtsByteKind kind = TtsByteKind::Single;
    for (std::size_t i = 0; i <= index && i < text.size(); ++i) {
        if (kind == TtsByteKind::Lead)
            kind = TtsByteKind::Trail;
        else
            kind = IsLead(At(text, i)) ? TtsByteKind::Lead : TtsByteKind::Single;
    }
    return kind;
}

bool IsLineBreakAt(std::string_view text, std::size_t index) {
    return ByteKindAt(text, index) == TtsByteKind::Single && IsBreakByte(At(text, index));
}

bool SkipLineBreak(std::string_view text, std::size_t& index) {
    if (!IsLineBreakAt(text, index)) return false;
    const unsigned char first = At(text, index);
    ++index;
    const unsigned char next = At(text, index);
    if (IsBreakByte(next) && next != first) ++index;
    return true;
}

bool IsStringEnd(std::string_view text, std::size_t index) {
    return At(text, index) == 0;
}

int NextCharLength(std::string_view text, std::size_t index) {
    if (IsStringEnd(text, index)) return 0;
    if (IsLineBreakAt(text, index)) {
        std::size_t i = index;
        SkipLineBreak(text, i);
        return static_cast<int>(i - index);
    }
    return ByteKindAt(text, index) == TtsByteKind::Single ? 1 : 2;
}

int PrevCharLength(std::string_view text, std::size_t index) {
    if (index < 1) return 0;
    if (index == 1) return 1;
    if (IsLineBreakAt(text, index - 2)) {
        std::size_t i = index - 2;
        SkipLineBreak(text, i);
        if (i == index) return 2;
    }
    return ByteKindAt(text, index - 1) == TtsByteKind::Single ? 1 : 2;
}

int CharCount(std::string_view text) {
    int n = 0;
    std::size_t i = 0;
    while (i < text.size() && !IsStringEnd(text, i)) {
        i += static_cast<std::size_t>(NextCharLength(text, i));
        ++n;
    }
    return n;
}

} // namespace vel
