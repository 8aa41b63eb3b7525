#pragma once
// Character stepping through zero-terminated 8-bit text that may hold
// double-byte characters; a CR LF or LF CR pair counts as one character.
// Indexes are 0-based byte positions; the text's terminator is its end.
#include <cstddef>
#include <string_view>

namespace vel {

// Set once at load from the system locale (never a double-byte one here).
extern const bool FarEastLocale;

enum class TtsByteKind { Single, Lead, Trail };
// Classification of the byte at index within the text.
TtsByteKind ByteKindAt(std::string_view text, std::size_t index);

bool IsLineBreakAt(std::string_view text, std::size_t index);
// Passes the break at index (one or a mixed pair); false when none is there.
bool SkipLineBreak(std::string_view text, std::size_t& index);
bool IsStringEnd(std::string_view text, std::size_t index);
int NextCharLength(std::string_view text, std::size_t index);
int PrevCharLength(std::string_view text, std::size_t index);
// Number of characters (not bytes) in the text.
int CharCount(std::string_view text);

} // namespace vel
