#pragma once
// Character stepping through zero-terminated 8-bit text that may hold
// double-byte characters; a CR LF or LF CR pair counts as one character.
// Indexes are 0-based byte positions; the text's terminator is its end.
//
// In a double-byte system code page (the platform's, fw::GetACP) a lead byte
// and the byte after it are one character. No such code page has a trail byte
// below 0x40, so a lead byte before a control character, a blank, a digit or
// the end stands alone: a damaged text never swallows a line break.
//
// Walks go forward from a character start (0, or one reached by stepping) at
// one step a character (CharLengthAt). A byte's kind in the middle of a text is
// found from the lead bytes right before it, never from the text's start.
#include <cstddef>
#include <string_view>

namespace vel {

// The system code page is a double-byte one. Asked of the platform at each
// call, so that a program (a test) may choose the code page.
bool FarEastLocale();

// The byte may lead a double-byte character of the system code page; the byte
// may be a trail byte (0x40 or above).
bool LeadsDoubleByte(unsigned char byte);
bool MayTrail(unsigned char byte);

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

// Length of the character that starts at start, a character start: 0 at the end.
int CharLengthAt(std::string_view text, std::size_t start);
// Where the character before start (a character start) begins; 0 at 0.
std::size_t PrevCharStart(std::string_view text, std::size_t start);
// The character start at or before index (clamped to the text): index itself
// unless it lies inside a double-byte character or a line break pair.
std::size_t CharStartAtOrBefore(std::string_view text, std::size_t index);
// Characters a text takes against an editor's maximum length, counted as the
// editor stores it: every CR followed by an LF (a lone CR counts two), a
// double-byte character one.
int EditCharCount(std::string_view text);

} // namespace vel
