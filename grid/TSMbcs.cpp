#include "TSMbcs.h"

#include "CodePage.h"

#include <algorithm>

namespace vel {

bool FarEastLocale() {
    return fw::IsDBCSCodePage(fw::GetACP());
}

bool LeadsDoubleByte(unsigned char byte) {
    return byte >= 0x80 && fw::IsDBCSLeadByte(byte);
}

bool MayTrail(unsigned char byte) {
    return byte >= 0x40; // the lowest trail byte of every double-byte code page
}

namespace {

unsigned char At(std::string_view t, std::size_t i) {
    return i < t.size() ? static_cast<unsigned char>(t[i]) : 0;
}

bool IsLead(unsigned char c) {
    return LeadsDoubleByte(c);
}

bool CanTrail(unsigned char c) {
    return MayTrail(c);
}

bool IsBreakByte(unsigned char c) {
    return c == 13 || c == 10;
}

// Bytes that may lead, right before index: their count decides whether the
// byte at index trails one of them.
std::size_t LeadRunBefore(std::string_view t, std::size_t index) {
    std::size_t j = index;
    while (j > 0 && IsLead(At(t, j - 1)))
        --j;
    return index - j;
}

// Break bytes ending at index - 1 that alternate (CR LF CR ...): pairs are taken
// from the first of them, so their count says whether the last one is a pair's second.
std::size_t AlternatingBreaksBefore(std::string_view t, std::size_t index) {
    std::size_t j = index;
    while (j > 0 && IsBreakByte(At(t, j - 1)) && (j == index || At(t, j - 1) != At(t, j)))
        --j;
    return index - j;
}

} // namespace

TtsByteKind ByteKindAt(std::string_view text, std::size_t index) {
    const unsigned char c = At(text, index);
    if (index >= text.size() || !CanTrail(c)) return TtsByteKind::Single;
    if (LeadRunBefore(text, index) % 2 == 1) return TtsByteKind::Trail;
    return IsLead(c) && CanTrail(At(text, index + 1)) ? TtsByteKind::Lead : TtsByteKind::Single;
}

bool IsLineBreakAt(std::string_view text, std::size_t index) {
    // A break byte is never part of a double-byte character.
    return IsBreakByte(At(text, index));
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

int CharLengthAt(std::string_view text, std::size_t start) {
    const unsigned char c = At(text, start);
    if (c == 0) return 0;
    if (IsBreakByte(c)) {
        const unsigned char next = At(text, start + 1);
        return IsBreakByte(next) && next != c ? 2 : 1;
    }
    return IsLead(c) && CanTrail(At(text, start + 1)) ? 2 : 1;
}

std::size_t PrevCharStart(std::string_view text, std::size_t start) {
    start = std::min(start, text.size());
    if (start == 0) return 0;
    const unsigned char b = At(text, start - 1);
    if (IsBreakByte(b)) return start - (AlternatingBreaksBefore(text, start) % 2 == 0 ? 2 : 1);
    if (!CanTrail(b) || start < 2) return start - 1;
    // A byte that may lead, before a byte that may trail, would have taken it: as start
    // begins a character, that byte trails one. Only before a byte that cannot trail
    // (or at the end) do the lead bytes before it decide.
    if (IsLead(b) && start < text.size() && CanTrail(At(text, start))) return start - 2;
    return start - (LeadRunBefore(text, start - 1) % 2 == 1 ? 2 : 1);
}

std::size_t CharStartAtOrBefore(std::string_view text, std::size_t index) {
    index = std::min(index, text.size());
    if (index == 0 || index == text.size()) return index;
    const unsigned char c = At(text, index);
    const unsigned char b = At(text, index - 1);
    if (IsBreakByte(c) && IsBreakByte(b) && c != b)
        return AlternatingBreaksBefore(text, index) % 2 == 1 ? index - 1 : index;
    return ByteKindAt(text, index) == TtsByteKind::Trail ? index - 1 : index;
}

int CharCount(std::string_view text) {
    int n = 0;
    std::size_t i = 0;
    while (int len = CharLengthAt(text, i)) {
        i += static_cast<std::size_t>(len);
        ++n;
    }
    return n;
}

int EditCharCount(std::string_view text) {
    int n = 0;
    for (std::size_t i = 0; i < text.size();) {
        // A zero byte inside the text is stored too: it counts like any byte.
        const std::size_t len = static_cast<std::size_t>(std::max(1, CharLengthAt(text, i)));
        if (!IsBreakByte(At(text, i))) {
            n += 1; // one byte, or a double-byte character
        } else {
            for (std::size_t k = i; k < i + len; ++k)
                n += At(text, k) == 13 && At(text, k + 1) != 10 ? 2 : 1;
        }
        i += len;
    }
    return n;
}

} // namespace vel
